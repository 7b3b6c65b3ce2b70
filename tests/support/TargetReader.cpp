#include "TargetReader.h"

#include "IBDatabase.h"
#include "IBSQL.h"
#include "IBTransaction.h"

namespace {

template <class F> void InTransaction(const std::string& database, F&& work) {
    IBDatabase db;
    IBTransaction tr(db);
    db.SetDefaultTransaction(&tr);
    db.SetDatabaseName(database);
    db.Open();
    tr.StartTransaction();
    IBSQL q(db, tr);
    work(q);
    q.Close();
    tr.Commit();
}

} // namespace

std::vector<Row> QueryRows(const std::string& database, const std::string& sql) {
    std::vector<Row> rows;
    InTransaction(database, [&](IBSQL& q) {
        q.SetText(sql);
        q.ExecQuery();
        for (; !q.Eof(); q.Next()) {
            Row r;
            for (int i = 0; i < q.FieldCount(); ++i)
                r[q.Field(i).Name()] = q.Field(i).AsVariant();
            rows.push_back(std::move(r));
        }
    });
    return rows;
}

void ExecSql(const std::string& database, const std::string& sql) {
    InTransaction(database, [&](IBSQL& q) {
        q.SetText(sql);
        q.ExecQuery();
    });
}
