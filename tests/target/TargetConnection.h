#pragma once
// A connection and its transaction on one test database, as the target tests open them.
#include "IBDatabase.h"
#include "IBSQL.h"
#include "IBTransaction.h"

#include <string>

struct Target {
    IBDatabase db;
    IBTransaction tr{db};
    explicit Target(const std::string& path) {
        db.SetDefaultTransaction(&tr);
        db.SetDatabaseName(path);
    }
    void Begin() {
        db.Open();
        tr.StartTransaction();
    }
    int Count(const std::string& sql) {
        if (!db.Connected()) db.Open();
        bool started = !tr.InTransaction();
        if (started) tr.StartTransaction();
        IBSQL q(db, tr);
        q.SetText(sql);
        q.ExecQuery();
        int n = q.FieldByName("N").AsInteger();
        q.Close();
        if (started) tr.Commit();
        return n;
    }
};
