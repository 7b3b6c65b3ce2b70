// The statements and the query against real embedded databases.
#include "Comprobar.h"
#include "FbError.h"
#include "IBDatabase.h"
#include "IBQuery.h"
#include "IBSQL.h"
#include "IBTransaction.h"
#include "TempDir.h"
#include "TestDatabase.h"

#include <gtest/gtest.h>

namespace {

class StatementTest : public ::testing::Test {
protected:
    void SetUp() override {
        CreateFixtureDatabase(path);
        db.SetDefaultTransaction(&tr);
        db.SetDatabaseName(path);
        db.Open();
        tr.StartTransaction();
    }
    // Runs a one-row select and gives the column, read through a statement of its own.
    IBSQL& Select(const std::string& sql) {
        check.Close();
        check.SetText(sql);
        check.ExecQuery();
        return check;
    }
    void Exec(const std::string& sql) {
        IBSQL s(db, tr);
        s.SetText(sql);
        s.ExecQuery();
    }

    TempDir dir;
    std::string path = dir.File("orvalia.fdb");
    IBDatabase db;
    IBTransaction tr{db};
    IBSQL sql{db, tr};
    IBSQL check{db, tr};
};

TEST_F(StatementTest, RepeatedNameIsOneParameter) {
    // The article's trigger gives it its warehouse-1 row.
    Exec("insert into ARTICULOS (IDARTICULOS, CODIGO) values (5, 'A5')");
    sql.SetText("UPDATE ARTICULOSALMACEN SET STOCKMAXIMO1 = :STOCKMAXIMO,     STOCKINICIAL1 = "
                ":STOCKACTUAL,     STOCKACTUAL1 = :StockActual WHERE (ALMACEN = 1) AND "
                "(ARTICULOCARACTERISTICA = :ParArticulo)");
    EXPECT_EQ(sql.ParamCount(), 3);
    sql.ParamByName("parArticulo").SetAsInteger(5);
    sql.ParamByName("STOCKMAXIMO").SetAsSingle(10);
    sql.ParamByName("stockactual").SetAsSingle(7.5);
    sql.ExecQuery();
    auto& r = Select("select STOCKINICIAL1, STOCKACTUAL1, STOCKMAXIMO1 from ARTICULOSALMACEN");
    EXPECT_EQ(r.FieldByName("STOCKINICIAL1").AsDouble(), 7.5);
    EXPECT_EQ(r.FieldByName("stockactual1").AsDouble(), 7.5);
    EXPECT_EQ(r.FieldByName("StockMaximo1").AsDouble(), 10);
}

// A place found once binds the same parameter as its name, every occurrence of it, and stays
// right when the text comes back from the statement's kept preparations.
TEST_F(StatementTest, ParameterPlacesAreFoundOnceAndStayWithTheirText) {
    Exec("insert into ARTICULOS (IDARTICULOS, CODIGO) values (5, 'A5')");
    const char* stock = "UPDATE ARTICULOSALMACEN SET STOCKMAXIMO1 = :STOCKMAXIMO, STOCKINICIAL1 = "
                        ":STOCKACTUAL, STOCKACTUAL1 = :StockActual WHERE (ALMACEN = 1) AND "
                        "(ARTICULOCARACTERISTICA = :ParArticulo)";
    sql.SetText(stock);
    int articulo = sql.ParamIndex("pararticulo"), actual = sql.ParamIndex("STOCKACTUAL");
    EXPECT_EQ(sql.ParamIndex("STOCKMAXIMO"), 0);
    EXPECT_EQ(actual, 1);
    EXPECT_EQ(articulo, 2);
    EXPECT_EQ(sql.ParamIndex("STOCKMINIMO"), -1);
    EXPECT_THROW(sql.Param(3), Error);
    EXPECT_THROW_MSG(sql.ParamByName("STOCKMINIMO"), Error, "STOCKMINIMO");

    sql.SetText("select 1 from RDB$DATABASE where 1 = :UNO");
    sql.ParamByName("UNO").SetAsInteger(1);
    sql.SetText(stock); // back from the kept preparations
    sql.Param(articulo).SetAsInteger(5);
    sql.Param(0).SetAsSingle(10);
    sql.Param(actual).SetAsSingle(7.5);
    sql.ExecQuery();
    auto& r = Select("select STOCKINICIAL1, STOCKACTUAL1, STOCKMAXIMO1 from ARTICULOSALMACEN");
    EXPECT_EQ(r.FieldByName("STOCKINICIAL1").AsDouble(), 7.5);
    EXPECT_EQ(r.FieldByName("STOCKACTUAL1").AsDouble(), 7.5);
    EXPECT_EQ(r.FieldByName("STOCKMAXIMO1").AsDouble(), 10);
}

TEST_F(StatementTest, ColonsInLiteralsAndCommentsAreNotParameters) {
    sql.SetText(
        std::vector<std::string>{"select ':NOPAR' as A, \":TAMPOCO\" as B /* :NI */ -- :NADA",
                                 "from MONEDAS where CODIGO = :C"});
    EXPECT_EQ(sql.ParamCount(), 1);
    sql.ParamByName("C").SetAsString("EUR");
    sql.ExecQuery();
    EXPECT_EQ(sql.FieldByName("A").AsString(), ":NOPAR");
    EXPECT_EQ(sql.FieldByName("B").AsString(), ":TAMPOCO");
}

TEST_F(StatementTest, SingleFloatNarrowingReachesDoubleColumn) {
    sql.SetText("insert into TABLAIVA (IDTABLAIVA, PORCENTAJE) values (:ID, :P)");
    sql.ParamByName("ID").SetAsInteger(10);
    sql.ParamByName("P").SetAsSingle(12.34);
    sql.ExecQuery();
    sql.ParamByName("ID").SetAsInteger(11);
    sql.ParamByName("P").SetAsDouble(12.34);
    sql.ExecQuery();
    EXPECT_EQ(Select("select PORCENTAJE from TABLAIVA where IDTABLAIVA = 10")
                  .FieldByName("PORCENTAJE")
                  .AsDouble(),
              12.340000152587891);
    EXPECT_EQ(Select("select PORCENTAJE from TABLAIVA where IDTABLAIVA = 11")
                  .FieldByName("PORCENTAJE")
                  .AsDouble(),
              12.34);
}

TEST_F(StatementTest, TextLongerThanColumnIsRefusedAtBind) {
    sql.SetText("insert into FAMILIASARTICULOS (IDFAMILIASARTICULOS, CODIGO, NOMBRE) values (1, "
                ":CODIGO, :NOMBRE)");
    sql.ParamByName("CODIGO").SetAsString("ABCD"); // fits exactly
    {
        auto e =
            Captura<Error>([&] { sql.ParamByName("NOMBRE").SetAsString(std::string(31, 'x')); });
        ASSERT_TRUE(e.has_value()) << "31 characters into VARCHAR(30) must be refused";
        std::string m = e->what();
        EXPECT_NE(m.find("NOMBRE"), std::string::npos) << m;
        EXPECT_NE(m.find("31"), std::string::npos) << m;
        EXPECT_NE(m.find("30"), std::string::npos) << m;
    }
    // Characters count, not bytes: thirty accented letters fit.
    sql.ParamByName("NOMBRE").SetAsString("ñññññññññññññññññññññññññññññá");
    sql.ExecQuery();
    EXPECT_EQ(Select("select NOMBRE from FAMILIASARTICULOS").FieldByName("NOMBRE").AsString(),
              "ñññññññññññññññññññññññññññññá");
}

TEST_F(StatementTest, ServerConvertsTextToIntegerColumn) {
    sql.SetText("insert into TARIFAS (IDTARIFAS, CODIGO) values (:ID, :CODIGO)");
    sql.ParamByName("ID").SetAsString("42");
    sql.ParamByName("CODIGO").SetAsInteger(1234);
    sql.ExecQuery();
    EXPECT_EQ(
        Select("select CODIGO from TARIFAS where IDTARIFAS = 42").FieldByName("CODIGO").AsString(),
        "1234");
    sql.ParamByName("ID").SetAsString("cuarenta");
    {
        auto e = Captura<FbError>([&] { sql.ExecQuery(); });
        ASSERT_TRUE(e.has_value());
        EXPECT_TRUE(e->HasGdsCode(335544334L)) << e->what(); // conversion error from string
    }
}

TEST_F(StatementTest, SelectWithoutRowReadsZero) {
    sql.SetText("select IDAGENTESVENTA from AGENTESVENTA where codigo = :ParCodigo");
    sql.ParamByName("PARCODIGO").SetAsString("ZZZ");
    sql.ExecQuery();
    EXPECT_TRUE(sql.Eof());
    EXPECT_FALSE(sql.FieldByName("IDAgentesVenta").IsNull());
    EXPECT_EQ(sql.FieldByName("IDAgentesVenta").AsInteger(), 0);

    // A row first, then a run with no row: the old row's value must not stay behind.
    Exec("insert into AGENTESVENTA (IDAGENTESVENTA, CODIGO) values (9, 'A1')");
    sql.ParamByName("PARCODIGO").SetAsString("A1");
    sql.ExecQuery();
    EXPECT_EQ(sql.FieldByName("IDAGENTESVENTA").AsInteger(), 9);
    sql.ParamByName("PARCODIGO").SetAsString("ZZZ");
    sql.ExecQuery();
    EXPECT_EQ(sql.FieldByName("IDAGENTESVENTA").AsInteger(), 0);
}

TEST_F(StatementTest, UnboundParametersGoWithZeroValues) {
    sql.SetText("insert into AGENTESVENTA (IDAGENTESVENTA, CODIGO, NOMBRE, PORCENTAJECOMISION, "
                "COMISIONFIJA, FECHAALTA, IVA) values (:ID, :CODIGO, :NOMBRE, :PORCENTAJE, :FIJA, "
                ":FECHA, :IVA)");
    sql.ParamByName("ID").SetAsInteger(1);
    sql.ExecQuery();
    auto& r = Select("select * from AGENTESVENTA where IDAGENTESVENTA = 1");
    EXPECT_FALSE(r.FieldByName("CODIGO").IsNull());
    EXPECT_EQ(r.FieldByName("CODIGO").AsString(), "");
    EXPECT_EQ(r.FieldByName("PORCENTAJECOMISION").AsDouble(), 0.0);
    EXPECT_FALSE(r.FieldByName("PORCENTAJECOMISION").IsNull());
    EXPECT_EQ(r.FieldByName("COMISIONFIJA").AsInteger(), 0);
    EXPECT_EQ(std::get<Timestamp>(r.FieldByName("FECHAALTA").AsVariant()),
              (Timestamp{1858, 11, 17, 0, 0, 0}));
}

TEST_F(StatementTest, BoundValuesStayUntilReboundOrReprepared) {
    sql.SetText("insert into TARIFAS (IDTARIFAS, CODIGO) values (:ID, :CODIGO)");
    sql.ParamByName("CODIGO").SetAsString("MISM");
    sql.ParamByName("ID").SetAsInteger(20);
    sql.ExecQuery();
    sql.ParamByName("ID").SetAsInteger(21);
    sql.ExecQuery();
    EXPECT_EQ(sql.PrepareCount(), 1);
    EXPECT_EQ(Select("select count(*) as N from TARIFAS where CODIGO = 'MISM'")
                  .FieldByName("N")
                  .AsInteger(),
              2);
    sql.ParamByName("CODIGO").SetNull();
    sql.ParamByName("ID").SetAsInteger(22);
    sql.ExecQuery();
    EXPECT_TRUE(
        Select("select CODIGO from TARIFAS where IDTARIFAS = 22").FieldByName("CODIGO").IsNull());
    sql.ParamByName("CODIGO").SetAsVariant(std::string("OTRO")); // binding clears the NULL
    sql.ParamByName("ID").SetAsVariant(Variant(int32_t{23}));
    sql.ExecQuery();
    EXPECT_EQ(
        Select("select CODIGO from TARIFAS where IDTARIFAS = 23").FieldByName("CODIGO").AsString(),
        "OTRO");
    sql.ParamByName("CODIGO").SetAsVariant(Variant{});
    sql.ParamByName("ID").SetAsInteger(24);
    sql.ExecQuery();
    EXPECT_TRUE(
        Select("select CODIGO from TARIFAS where IDTARIFAS = 24").FieldByName("CODIGO").IsNull());

    // Setting the text again drops the bound values; the kept preparation is reused.
    sql.SetText("insert into TARIFAS (IDTARIFAS, CODIGO) values (:ID, :CODIGO)");
    EXPECT_FALSE(sql.Prepared());
    sql.ParamByName("ID").SetAsInteger(25);
    sql.ExecQuery();
    EXPECT_EQ(sql.PrepareCount(), 1);
    EXPECT_EQ(
        Select("select CODIGO from TARIFAS where IDTARIFAS = 25").FieldByName("CODIGO").AsString(),
        "");
}

TEST_F(StatementTest, TimestampsToTheSecond) {
    sql.SetText("insert into AGENTESVENTA (IDAGENTESVENTA, FECHAALTA) values (:ID, :F)");
    sql.ParamByName("ID").SetAsInteger(1);
    sql.ParamByName("F").SetAsTimestamp(Timestamp{2026, 12, 8, 13, 45, 59});
    sql.ExecQuery();
    sql.ParamByName("ID").SetAsInteger(2);
    sql.ParamByName("F").SetAsTimestamp(Timestamp{});
    sql.ExecQuery();
    EXPECT_EQ(Select("select FECHAALTA from AGENTESVENTA where IDAGENTESVENTA = 1")
                  .FieldByName("FECHAALTA")
                  .AsString(),
              "2026-12-08 13:45:59");
    EXPECT_EQ(Select("select FECHAALTA from AGENTESVENTA where IDAGENTESVENTA = 2")
                  .FieldByName("FECHAALTA")
                  .AsString(),
              "1899-12-30 00:00:00");
    // Stored exactly: no fraction of a second creeps in.
    EXPECT_EQ(Select("select count(*) as N from AGENTESVENTA where FECHAALTA = '30-DEC-1899 "
                     "00:00:00' or FECHAALTA = '8-DEC-2026 13:45:59'")
                  .FieldByName("N")
                  .AsInteger(),
              2);
}

TEST_F(StatementTest, UnknownNamesAreErrorsThatNameThem) {
    sql.SetText("select IDMONEDAS from MONEDAS where CODIGO = :C");
    {
        auto e = Captura<Error>([&] { sql.ParamByName("NOEXISTE"); });
        ASSERT_TRUE(e.has_value());
        EXPECT_NE(std::string(e->what()).find("NOEXISTE"), std::string::npos);
    }
    sql.ParamByName("C").SetAsString("EUR");
    sql.ExecQuery();
    {
        auto e = Captura<Error>([&] { sql.FieldByName("IDNADA"); });
        ASSERT_TRUE(e.has_value());
        EXPECT_NE(std::string(e->what()).find("IDNADA"), std::string::npos);
    }
}

TEST_F(StatementTest, EngineErrorsKeepEveryLineAndTheCode) {
    sql.SetText("select IDX from TABLA_QUE_NO_EXISTE where codigo = :ParCodigo");
    {
        auto e = Captura<FbError>([&] { sql.ParamByName("ParCodigo").SetAsString("1"); });
        ASSERT_TRUE(e.has_value());
        std::string m = e->what();
        EXPECT_EQ(e->SqlCode(), -204);
        EXPECT_EQ(e->GdsCode(), 335544569L);
        EXPECT_NE(m.find("Table unknown"), std::string::npos) << m;
        EXPECT_NE(m.find("TABLA_QUE_NO_EXISTE"), std::string::npos) << m;
    }
}

TEST_F(StatementTest, InsertReturningExposesColumns) {
    sql.SetText("insert into AGENTESVENTA (IDAGENTESVENTA, CODIGO) values "
                "(GEN_ID(GENIDAGENTESVENTA, 1), :CODIGO) returning IDAGENTESVENTA");
    sql.ParamByName("CODIGO").SetAsString("R1");
    sql.ExecQuery();
    int first = sql.FieldByName("IDAGENTESVENTA").AsInteger();
    sql.ParamByName("CODIGO").SetAsString("R2");
    sql.ExecQuery();
    EXPECT_EQ(sql.FieldByName("IDAGENTESVENTA").AsInteger(), first + 1);
    EXPECT_EQ(Select("select CODIGO from AGENTESVENTA where IDAGENTESVENTA = " +
                     std::to_string(first + 1))
                  .FieldByName("CODIGO")
                  .AsString(),
              "R2");
}

TEST_F(StatementTest, StatementNeedsActiveTransaction) {
    tr.Commit();
    sql.SetText("select IDMONEDAS from MONEDAS");
    EXPECT_THROW(sql.ExecQuery(), Error);
}

TEST(QueryTest, OpensConnectionAndTransactionByItself) {
    TempDir dir;
    std::string path = dir.File("orvalia.fdb");
    CreateFixtureDatabase(path);
    IBDatabase db;
    IBTransaction tr(db);
    db.SetDefaultTransaction(&tr);
    db.SetDatabaseName(path);
    IBQuery q(db, tr);
    q.SetText({"SELECT IDFORMASPAGO", " FROM FORMASPAGO WHERE CODIGO = :PARCODIGO"});
    q.ParamByName("parcodigo").SetAsString("30");
    q.Open();
    EXPECT_TRUE(db.Connected());
    EXPECT_TRUE(tr.InTransaction());
    EXPECT_EQ(std::get<int32_t>(q.FieldAsVariant("IDFORMASPAGO")), 2);
    EXPECT_EQ(q.FieldAsInteger("idformaspago"), 2);
    q.ParamByName("PARCODIGO").SetAsString("NADA");
    q.Open();
    EXPECT_TRUE(IsNull(q.FieldAsVariant("IDFORMASPAGO"))) << "no row reads as NULL";
    EXPECT_TRUE(q.FieldIsNull("IDFORMASPAGO"));
    EXPECT_EQ(q.FieldAsInteger("IDFORMASPAGO"), 0);
    EXPECT_THROW(q.FieldAsVariant("OTRA"), Error);
    q.Close();
    EXPECT_FALSE(q.Active());
}

} // namespace
