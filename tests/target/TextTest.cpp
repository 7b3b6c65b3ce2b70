// Text between the program's UTF-8 and the target's Windows-1252 bytes.
#include "Comprobar.h"
#include "Error.h"
#include "IBDatabase.h"
#include "IBSQL.h"
#include "IBTransaction.h"
#include "NamedParams.h"
#include "TargetConnection.h"
#include "TempDir.h"
#include "TestDatabase.h"
#include "Win1252.h"

#include <gtest/gtest.h>

namespace {

TEST(Win1252Test, RoundTripOfSpanishAndEuro) {
    std::string texto = "ESPAÑA ñandú €uro «comillas» Ü ç ª º";
    std::string bytes = Utf8ToCp1252(texto, "P");
    EXPECT_EQ(static_cast<unsigned char>(bytes[4]), 0xD1);
    EXPECT_EQ(static_cast<unsigned char>(Utf8ToCp1252("€", "P")[0]), 0x80);
    EXPECT_EQ(Cp1252ToUtf8(bytes), texto);
}

TEST(Win1252Test, CharacterOutsideIsRefusedNamingPlaceAndCharacter) {
    {
        auto e = Captura<Error>([&] { Utf8ToCp1252("Łódź", "Parámetro NOMBRE"); });
        ASSERT_TRUE(e.has_value());
        std::string m = e->what();
        EXPECT_NE(m.find("Parámetro NOMBRE"), std::string::npos) << m;
        EXPECT_NE(m.find("U+0141"), std::string::npos) << m;
    }
    EXPECT_THROW(Utf8ToCp1252("\xC3", "P"), Error) << "truncated UTF-8";
    EXPECT_THROW(Utf8ToCp1252("\xC0\xAF", "P"), Error) << "overlong UTF-8";
    EXPECT_THROW(Utf8ToCp1252("\xC2\x81", "P"), Error) << "C1 control, undefined in 1252";
}

TEST(NamedParamsTest, MarkersAndNames) {
    auto m = ReplaceNamedParams("a = :Uno and b = 'it''s :no' and c = :uno_2$ and d = :UNO");
    EXPECT_EQ(m.sql, "a = ? and b = 'it''s :no' and c = ? and d = ?");
    EXPECT_EQ(m.names, (std::vector<std::string>{"UNO", "UNO_2$", "UNO"}));
    EXPECT_EQ(ReplaceNamedParams("x = :1 or y = ':").names.size(), 0u);
}

TEST(TextToTargetTest, AccentStoredAsWindows1252Byte) {
    TempDir dir;
    std::string path = dir.File("orvalia.fdb");
    CreateFixtureDatabase(path);
    Target t(path);
    t.Begin();
    IBSQL sql(t.db, t.tr);
    sql.SetText("insert into AGENTESVENTA (IDAGENTESVENTA, PAIS) values (1, :PAIS)");
    sql.ParamByName("PAIS").SetAsString("ESPAÑA");
    sql.ExecQuery();
    {
        auto e = Captura<Error>([&] { sql.ParamByName("PAIS").SetAsString("Ελλάδα"); });
        ASSERT_TRUE(e.has_value());
        EXPECT_NE(std::string(e->what()).find("PAIS"), std::string::npos);
    }
    t.tr.Commit();
    t.db.Close();
    // Read back by another program, so that our own reading cannot hide a wrong byte.
    std::string out = RunIsql(path, "select ascii_val(substring(PAIS from 5 for 1)) as B, "
                                    "char_length(PAIS) as L from AGENTESVENTA;");
    EXPECT_NE(out.find("209"), std::string::npos) << out;
    EXPECT_NE(out.find(" 6"), std::string::npos) << out;
}

} // namespace
