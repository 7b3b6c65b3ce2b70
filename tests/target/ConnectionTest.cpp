// The connection and the transaction against real embedded databases.
#include "Comprobar.h"
#include "FallaRed.h"
#include "FbError.h"
#include "IBDatabase.h"
#include "IBSQL.h"
#include "IBTransaction.h"
#include "KillChild.h"
#include "TargetConnection.h"
#include "TempDir.h"
#include "TestDatabase.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace {

class ConnectionTest : public ::testing::Test {
protected:
    void SetUp() override { CreateFixtureDatabase(path); }
    TempDir dir;
    std::string path = dir.File("orvalia.fdb");
};

TEST_F(ConnectionTest, DatabaseNameRules) {
    IBDatabase db;
    EXPECT_EQ(db.DatabaseName(), "");
    EXPECT_FALSE(db.Connected());
    {
        auto e = Captura<Error>([&] { db.Open(); });
        ASSERT_TRUE(e.has_value()) << "an empty name must be refused";
        EXPECT_STREQ(e->what(), "Database name is missing");
    }
    db.SetDatabaseName(path);
    db.Open();
    db.SetDatabaseName(path); // the same name again does nothing
    {
        auto e = Captura<Error>([&] { db.SetDatabaseName(dir.File("otra.fdb")); });
        ASSERT_TRUE(e.has_value()) << "another name while connected must be refused";
        EXPECT_STREQ(e->what(), "Cannot perform operation -- DB is currently open");
    }
    EXPECT_EQ(db.DatabaseName(), path);
    db.Close();
    db.SetDatabaseName(dir.File("otra.fdb"));
    EXPECT_EQ(db.DatabaseName(), dir.File("otra.fdb"));
}

TEST_F(ConnectionTest, OpenConnectionIsReusedWithoutSecondAttach) {
    IBDatabase db;
    db.SetDatabaseName(path);
    db.Open();
    db.Open();
    EXPECT_EQ(db.AttachCount(), 1);
    EXPECT_TRUE(db.Connected());
}

TEST_F(ConnectionTest, AttachErrorsCarryEngineMessageAndCode) {
    IBDatabase db;
    db.SetDatabaseName(dir.File("no-existe.fdb"));
    {
        auto e = Captura<FbError>([&] { db.Open(); });
        ASSERT_TRUE(e.has_value());
        EXPECT_EQ(e->GdsCode(), 335544344L); // I/O error
        EXPECT_NE(std::string(e->what()).find("no-existe.fdb"), std::string::npos) << e->what();
        EXPECT_NE(std::string(e->what()).find('\n'), std::string::npos) << "every engine line";
    }
    std::string notADb = dir.File("texto.fdb");
    FILE* f = std::fopen(notADb.c_str(), "w");
    for (int i = 0; i < 400; ++i)
        std::fputs("esto no es una base de datos, aunque lo parezca\n", f);
    std::fclose(f);
    IBDatabase db2;
    db2.SetDatabaseName(notADb);
    {
        auto e = Captura<FbError>([&] { db2.Open(); });
        ASSERT_TRUE(e.has_value());
        EXPECT_EQ(e->GdsCode(), 335544323L) << e->what(); // not a valid database
        EXPECT_EQ(e->SqlCode(), -922);
    }
    EXPECT_FALSE(db2.Connected());
}

TEST_F(ConnectionTest, CloseCommitsAnActiveTransaction) {
    {
        Target t(path);
        t.db.Open();
        t.tr.StartTransaction();
        IBSQL ins(t.db, t.tr);
        ins.SetText("insert into TARIFAS (IDTARIFAS, CODIGO) values (7, 'X')");
        ins.ExecQuery();
        t.db.Close();
        EXPECT_FALSE(t.tr.InTransaction());
    }
    {
        // The destructors never commit: they may run while unwinding from an error.
        Target t(path);
        t.db.Open();
        t.tr.StartTransaction();
        IBSQL ins(t.db, t.tr);
        ins.SetText("insert into TARIFAS (IDTARIFAS, CODIGO) values (8, 'Y')");
        ins.ExecQuery();
    }
    Target t(path);
    EXPECT_EQ(t.Count("select count(*) as N from TARIFAS where IDTARIFAS in (7, 8)"), 1);
    EXPECT_EQ(t.Count("select count(*) as N from TARIFAS where IDTARIFAS = 7"), 1);
}

TEST_F(ConnectionTest, TransactionStates) {
    Target t(path);
    EXPECT_THROW(t.tr.StartTransaction(), Error) << "no connection yet";
    t.db.Open();
    EXPECT_FALSE(t.tr.InTransaction());
    t.tr.StartTransaction();
    EXPECT_TRUE(t.tr.InTransaction());
    t.tr.CommitRetaining();
    EXPECT_TRUE(t.tr.InTransaction());
    t.tr.Commit();
    EXPECT_FALSE(t.tr.InTransaction());
    EXPECT_THROW(t.tr.CommitRetaining(), Error);
}

TEST_F(ConnectionTest, CommitRetainingKeepsCursorOpen) {
    Target t(path);
    t.db.Open();
    t.tr.StartTransaction();
    IBSQL sel(t.db, t.tr);
    sel.SetText("select IDMONEDAS from MONEDAS order by IDMONEDAS");
    sel.ExecQuery();
    EXPECT_EQ(sel.FieldByName("IDMONEDAS").AsInteger(), 1);
    t.tr.CommitRetaining();
    ASSERT_TRUE(sel.Open());
    ASSERT_TRUE(sel.Next());
    EXPECT_EQ(sel.FieldByName("IDMONEDAS").AsInteger(), 2);
    EXPECT_FALSE(sel.Next());
    t.tr.Commit();
    EXPECT_FALSE(sel.Open()) << "a full commit closes the cursor";
    sel.Close(); // and closing it again is harmless
}

TEST_F(ConnectionTest, WorkCommittedRetainingSurvivesKill) {
    KilledChild c = RunUntilItSpeaksThenKill({FB_CHILD, path, "3"});
    EXPECT_EQ(c.said, "listo\n");
    EXPECT_TRUE(c.killedBySignal);

    Target t(path);
    EXPECT_EQ(t.Count("select count(*) as N from TARIFAS where IDTARIFAS > 100"), 3)
        << "the three rows committed retaining are there, the uncommitted fourth is not";
}

} // namespace

namespace {

TEST_F(ConnectionTest, FailedDetachAndFetchAreReportedAndLeaveAConsistentState) {
    Target t(path);
    t.Begin();
    IBDatabase& db = t.db;
    IBSQL sel(db, t.tr);
    sel.SetText("select IDMONEDAS from MONEDAS");
    db.Api().fetch = [](ISC_STATUS* st, isc_stmt_handle*, unsigned short, XSQLDA*) {
        return FallaRed(st);
    };
    EXPECT_THROW(sel.ExecQuery(), FbError);
    db.Api().fetch = isc_dsql_fetch;
    sel.Close();
    t.tr.Commit();

    db.Api().detach = [](ISC_STATUS* st, isc_db_handle* h) {
        isc_detach_database(st, h); // really let go, then report a failure as a lost link would
        return FallaRed(st);
    };
    EXPECT_THROW(db.Close(), FbError);
    EXPECT_FALSE(db.Connected()) << "the handle is gone whatever the library said";
}

} // namespace
