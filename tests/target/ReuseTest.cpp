// A statement whose text goes back to one it held before reuses that preparation, and nothing
// else a caller can see changes.
#include "Comprobar.h"
#include "FbError.h"
#include "TargetConnection.h"
#include "TempDir.h"
#include "TestDatabase.h"

#include <gtest/gtest.h>

namespace {

const char* const kInsert = "insert into TARIFAS (IDTARIFAS, CODIGO) values (:ID, :CODIGO)";
const char* const kPorCodigo = "select IDMONEDAS from MONEDAS where CODIGO = :C";
const char* const kTodas = "select IDMONEDAS from MONEDAS order by IDMONEDAS";

class StatementReuseTest : public ::testing::Test {
protected:
    void SetUp() override {
        CreateFixtureDatabase(path);
        t.Begin();
    }
    std::string Codigo(int id) {
        IBSQL q(t.db, t.tr);
        q.SetText("select CODIGO from TARIFAS where IDTARIFAS = " + std::to_string(id));
        q.ExecQuery();
        return q.FieldByName("CODIGO").AsString();
    }
    // The statements the server holds prepared for this connection, seen by another one.
    int PreparadasEnElServidor() {
        IBSQL q(t.db, t.tr);
        q.SetText("select CURRENT_CONNECTION as ID from RDB$DATABASE");
        q.ExecQuery();
        int id = q.FieldByName("ID").AsInteger();
        q.Close();
        Target otra(path);
        return otra.Count("select count(*) as N from MON$STATEMENTS where MON$ATTACHMENT_ID = " +
                          std::to_string(id)) -
               1; // the one that asks
    }
    TempDir dir;
    std::string path = dir.File("orvalia.fdb");
    Target t{path};
    IBSQL sql{t.db, t.tr};
};

TEST_F(StatementReuseTest, BackToAnEarlierTextStartsWithZeroValuesAndNoPrepare) {
    sql.SetText(kInsert);
    sql.ParamByName("ID").SetAsInteger(501);
    sql.ParamByName("CODIGO").SetAsString("VIEJ");
    sql.ExecQuery();
    sql.SetText(kPorCodigo);
    sql.ParamByName("C").SetAsString("EUR");
    sql.ExecQuery();
    EXPECT_EQ(sql.FieldByName("IDMONEDAS").AsInteger(), 2);
    EXPECT_EQ(sql.PrepareCount(), 2);

    sql.SetText(kInsert);
    EXPECT_FALSE(sql.Prepared()) << "as after any new text";
    EXPECT_EQ(sql.ParamCount(), 2);
    sql.ParamByName("ID").SetAsInteger(502);
    sql.ExecQuery();
    EXPECT_EQ(Codigo(502), "") << "the value bound before the switch must not come back";
    EXPECT_EQ(Codigo(501), "VIEJ");

    sql.SetText(kPorCodigo);
    EXPECT_FALSE(sql.FieldByName("IDMONEDAS").IsNull());
    EXPECT_EQ(sql.FieldByName("IDMONEDAS").AsInteger(), 0) << "the old row's value is gone";
    sql.ExecQuery(); // :C unbound, so the empty code: no row
    EXPECT_TRUE(sql.Eof());
    EXPECT_EQ(sql.FieldByName("IDMONEDAS").AsInteger(), 0);
    EXPECT_EQ(sql.PrepareCount(), 2) << "both texts reused";

    // Setting the very text it has drops the bound values too.
    sql.SetText(kPorCodigo);
    sql.ParamByName("C").SetAsString("PTA");
    sql.SetText(kPorCodigo);
    sql.ExecQuery();
    EXPECT_TRUE(sql.Eof());
    EXPECT_EQ(sql.PrepareCount(), 2);
}

TEST_F(StatementReuseTest, EveryExecutionHasAFreshCursor) {
    sql.SetText(kTodas);
    sql.ExecQuery();
    EXPECT_EQ(sql.FieldByName("IDMONEDAS").AsInteger(), 1); // left open on its first row
    sql.SetText(kPorCodigo);
    sql.ParamByName("C").SetAsString("EUR");
    sql.ExecQuery();
    sql.SetText(kTodas);
    EXPECT_FALSE(sql.Open());
    EXPECT_FALSE(sql.Next()) << "no cursor until it runs again";
    sql.ExecQuery();
    EXPECT_EQ(sql.FieldByName("IDMONEDAS").AsInteger(), 1) << "the new run's rows, from the first";
    ASSERT_TRUE(sql.Next());
    EXPECT_EQ(sql.Field(0).AsInteger(), 2);
    EXPECT_FALSE(sql.Next());
    EXPECT_EQ(sql.PrepareCount(), 2);
}

TEST_F(StatementReuseTest, CursorLeftOpenWhenTheTransactionEnded) {
    sql.SetText(kTodas);
    sql.ExecQuery();
    t.tr.Commit();
    t.tr.StartTransaction();
    sql.ExecQuery();
    EXPECT_EQ(sql.FieldByName("IDMONEDAS").AsInteger(), 1);
    t.tr.Commit();
    t.tr.StartTransaction();
    sql.SetText(kTodas);
    sql.ExecQuery();
    ASSERT_TRUE(sql.Next());
    EXPECT_EQ(sql.FieldByName("IDMONEDAS").AsInteger(), 2);
    EXPECT_EQ(sql.PrepareCount(), 1);
}

TEST_F(StatementReuseTest, FailedExecutionLeavesTheKeptStatementUsable) {
    t.tr.SetLockTimeout(1);
    sql.SetText(kInsert);
    sql.ParamByName("ID").SetAsInteger(1); // the fixture's own tariff
    sql.ParamByName("CODIGO").SetAsString("DUPL");
    EXPECT_THROW(sql.ExecQuery(), FbError);
    sql.ParamByName("ID").SetAsString("cuarenta");
    EXPECT_THROW(sql.ExecQuery(), FbError);
    sql.SetText(kPorCodigo);
    sql.ParamByName("C").SetAsString("EUR");
    sql.ExecQuery();
    sql.SetText(kInsert);
    sql.ParamByName("ID").SetAsInteger(503);
    sql.ParamByName("CODIGO").SetAsString("BIEN");
    sql.ExecQuery();
    EXPECT_EQ(Codigo(503), "BIEN");
    EXPECT_EQ(sql.PrepareCount(), 2);
}

TEST_F(StatementReuseTest, TheLeastRecentlyUsedGoesFirst) {
    auto texto = [](int i) { return "select " + std::to_string(i) + " as N from RDB$DATABASE"; };
    const int n = static_cast<int>(IBSQL::kPreparacionesGuardadas);
    for (int i = 0; i <= n; ++i) { // one more than it keeps: the first goes
        sql.SetText(texto(i));
        sql.ExecQuery();
        EXPECT_EQ(sql.FieldByName("N").AsInteger(), i);
    }
    EXPECT_EQ(sql.PrepareCount(), n + 1);
    sql.SetText(texto(1));
    sql.ExecQuery();
    EXPECT_EQ(sql.PrepareCount(), n + 1) << "kept";
    sql.SetText(texto(0));
    sql.ExecQuery();
    EXPECT_EQ(sql.FieldByName("N").AsInteger(), 0);
    EXPECT_EQ(sql.PrepareCount(), n + 2) << "dropped, so prepared again";
    sql.SetText(texto(1));
    sql.ExecQuery();
    EXPECT_EQ(sql.PrepareCount(), n + 2) << "used recently, so kept when the first came back";
    sql.Close();

    EXPECT_EQ(PreparadasEnElServidor(), n) << "a dropped preparation is freed on the server";
    {
        IBSQL otra(t.db, t.tr);
        otra.SetText(texto(99));
        otra.Prepare();
        EXPECT_EQ(PreparadasEnElServidor(), n + 1);
    }
    EXPECT_EQ(PreparadasEnElServidor(), n) << "and all of an object's go with it";
}

TEST_F(StatementReuseTest, ReconnectingPreparesAgain) {
    sql.SetText(kInsert);
    sql.ParamByName("ID").SetAsInteger(504);
    sql.ExecQuery();
    t.tr.Commit();
    t.db.Close();
    EXPECT_FALSE(sql.Prepared());
    t.Begin();
    sql.SetText(kPorCodigo);
    sql.ParamByName("C").SetAsString("EUR");
    sql.ExecQuery();
    sql.SetText(kInsert);
    sql.ParamByName("ID").SetAsInteger(505);
    sql.ExecQuery();
    EXPECT_EQ(sql.PrepareCount(), 3) << "the first connection's preparations died with it";
    EXPECT_EQ(Codigo(505), "");
}

TEST_F(StatementReuseTest, AParameterOfAnEarlierTextIsRefused) {
    sql.SetText(kInsert);
    IBParam& id = sql.ParamByName("ID");
    sql.SetText(kPorCodigo);
    EXPECT_THROW(id.SetAsInteger(1), Error) << "before the new text is prepared";
    sql.Prepare();
    {
        auto e = Captura<Error>([&] { id.SetAsInteger(1); });
        ASSERT_TRUE(e.has_value()) << "it would bind into another statement";
        EXPECT_NE(std::string(e->what()).find("ID"), std::string::npos) << e->what();
    }
    sql.ParamByName("C").SetAsString("EUR");
    sql.ExecQuery();
    EXPECT_EQ(sql.FieldByName("IDMONEDAS").AsInteger(), 2);
}

} // namespace
