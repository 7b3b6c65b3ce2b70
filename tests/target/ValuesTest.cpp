// Values a parameter cannot take are the record's fault, refused before they reach the server
// with their own error type and the parameter's name; what only the server can judge stays an
// engine error.
#include "FbError.h"
#include "TargetConnection.h"
#include "TempDir.h"
#include "TestDatabase.h"

#include <gtest/gtest.h>

#include <chrono>
#include <ctime>
#include <functional>
#include <limits>
#include <thread>

namespace {

class StatementValuesTest : public ::testing::Test {
protected:
    void SetUp() override {
        CreateFixtureDatabase(path);
        t.Begin();
        sql.SetText("insert into AGENTESVENTA (IDAGENTESVENTA, CODIGO, PORCENTAJECOMISION, "
                    "FECHAALTA) values (:ID, :CODIGO, :PORCENTAJE, :FECHA)");
    }
    TempDir dir;
    std::string path = dir.File("orvalia.fdb");
    Target t{path};
    IBSQL sql{t.db, t.tr};
};

TEST_F(StatementValuesTest, RefusedValuesNameTheirParameter) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    struct Caso {
        const char* que;
        const char* parametro;
        std::function<void(IBSQL&)> enlazar;
    };
    const Caso casos[] = {
        {"text longer than its column", "CODIGO",
         [](IBSQL& s) { s.ParamByName("CODIGO").SetAsString("ABCDE"); }},
        {"character outside Windows-1252", "CODIGO",
         [](IBSQL& s) { s.ParamByName("CODIGO").SetAsString("Ł"); }},
        {"bytes that are not UTF-8", "CODIGO",
         [](IBSQL& s) { s.ParamByName("CODIGO").SetAsString("\xC3"); }},
        {"too long, through a variant", "CODIGO",
         [](IBSQL& s) { s.ParamByName("CODIGO").SetAsVariant(std::string("ABCDE")); }},
        {"single NaN", "PORCENTAJE",
         [nan](IBSQL& s) { s.ParamByName("PORCENTAJE").SetAsSingle(nan); }},
        {"single too large", "PORCENTAJE",
         [](IBSQL& s) { s.ParamByName("PORCENTAJE").SetAsSingle(1e39); }},
        {"single infinite", "PORCENTAJE",
         [inf](IBSQL& s) { s.ParamByName("PORCENTAJE").SetAsSingle(-inf); }},
        {"double infinite", "PORCENTAJE",
         [inf](IBSQL& s) { s.ParamByName("PORCENTAJE").SetAsDouble(inf); }},
        {"double NaN, through a variant", "PORCENTAJE",
         [nan](IBSQL& s) { s.ParamByName("PORCENTAJE").SetAsVariant(nan); }},
        {"30 February", "FECHA",
         [](IBSQL& s) {
             s.ParamByName("FECHA").SetAsTimestamp({2023, 2, 30, 0, 0, 0});
         }},
        {"29 February of a common year", "FECHA",
         [](IBSQL& s) {
             s.ParamByName("FECHA").SetAsTimestamp({1900, 2, 29, 0, 0, 0});
         }},
        {"month 13", "FECHA",
         [](IBSQL& s) {
             s.ParamByName("FECHA").SetAsTimestamp({2024, 13, 1, 0, 0, 0});
         }},
        {"year 0", "FECHA",
         [](IBSQL& s) {
             s.ParamByName("FECHA").SetAsTimestamp({0, 1, 1, 0, 0, 0});
         }},
        {"hour 24", "FECHA",
         [](IBSQL& s) {
             s.ParamByName("FECHA").SetAsTimestamp({2024, 1, 1, 24, 0, 0});
         }},
    };
    for (const Caso& c : casos) {
        SCOPED_TRACE(c.que);
        try {
            c.enlazar(sql);
            ADD_FAILURE() << "must be refused";
        } catch (const ValorNoAdmitido& e) {
            EXPECT_EQ(std::string(e.what()).rfind(std::string("Parámetro ") + c.parametro, 0), 0u)
                << e.what();
        }
    }
    // None of them reached the statement: it still runs with what was bound well.
    sql.ParamByName("ID").SetAsInteger(1);
    sql.ParamByName("CODIGO").SetAsString("ABCD");
    sql.ParamByName("FECHA").SetAsTimestamp({2024, 2, 29, 23, 59, 59});
    sql.ParamByName("PORCENTAJE").SetAsSingle(3.4e38);
    sql.ExecQuery();
    IBSQL q(t.db, t.tr);
    q.SetText("select CODIGO, FECHAALTA from AGENTESVENTA where IDAGENTESVENTA = 1");
    q.ExecQuery();
    EXPECT_EQ(q.FieldByName("CODIGO").AsString(), "ABCD");
    EXPECT_EQ(q.FieldByName("FECHAALTA").AsString(), "2024-02-29 23:59:59");
}

// Text a caller already holds in Windows-1252 goes as those bytes; when refused, the operator
// reads it as text, not as bytes.
TEST_F(StatementValuesTest, WindowsBytesGoAsTheyAreAndAreShownAsTextWhenRefused) {
    try {
        sql.ParamByName("CODIGO").SetAsCp1252("Pe\xF1" "ab");
        ADD_FAILURE() << "five characters in a column of four";
    } catch (const ValorNoAdmitido& e) {
        EXPECT_STREQ(e.what(), "Parámetro CODIGO: el texto «Peñab» tiene 5 caracteres y su "
                               "columna admite 4");
    }
    sql.ParamByName("ID").SetAsInteger(1);
    sql.ParamByName("CODIGO").SetAsCp1252("Pe\xF1" "a");
    sql.ParamByName("FECHA").SetNull();
    sql.ParamByName("PORCENTAJE").SetNull();
    sql.ExecQuery();
    IBSQL q(t.db, t.tr);
    q.SetText("select CODIGO from AGENTESVENTA where IDAGENTESVENTA = 1");
    q.ExecQuery();
    EXPECT_EQ(q.FieldByName("CODIGO").AsString(), "Peña");
}

// The local time is worked out once a second: it must still be the local time, and move on.
TEST(TimestampTest, NowIsTheLocalTimeAndMovesOnWithTheClock) {
    auto local = [](std::time_t t) {
        std::tm l{};
        localtime_r(&t, &l);
        return Timestamp{l.tm_year + 1900, l.tm_mon + 1, l.tm_mday, l.tm_hour, l.tm_min, l.tm_sec};
    };
    Timestamp antes = Timestamp::Now();
    std::time_t empieza = std::time(nullptr);
    while (std::time(nullptr) == empieza)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    for (int intento = 0; intento < 3; ++intento) {
        std::time_t t = std::time(nullptr);
        Timestamp ahora = Timestamp::Now();
        if (std::time(nullptr) != t) continue; // the second turned meanwhile
        EXPECT_EQ(ahora, local(t));
        EXPECT_NE(ahora, antes);
        return;
    }
    ADD_FAILURE() << "the clock kept turning";
}

TEST_F(StatementValuesTest, ANumberTooLargeForAnIntegerColumnIsTheEnginesRefusal) {
    IBSQL ins(t.db, t.tr);
    ins.SetText("insert into TARIFAS (IDTARIFAS, CODIGO) values (:ID, 'X')");
    for (double v : {1e10, -3e9}) {
        ins.ParamByName("ID").SetAsSingle(v); // a finite single: bound without complaint
        try {
            ins.ExecQuery();
            ADD_FAILURE() << v << " does not fit an INTEGER";
        } catch (const ValorNoAdmitido& e) {
            ADD_FAILURE() << "the engine's judgement, not the binding's: " << e.what();
        } catch (const FbError& e) {
            EXPECT_TRUE(e.HasGdsCode(isc_arith_except)) << e.what();
            EXPECT_FALSE(e.AfectaALaBase());
        }
    }
}

} // namespace
