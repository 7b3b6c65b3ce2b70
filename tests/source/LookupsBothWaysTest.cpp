// The side lookups answer from an index of the table and, within a run, from memory; their
// answers must be those of reading the table from its first record to its last, as the rules of
// the lookups say: the first live row of a province, every non-empty comment line of an article
// in file order, every live stock row of an article in file order. Compared here on the same
// data, with codes missing, repeated, deleted, blank-padded, in other case, and sharing a hash.
#include "DbfWriter.h"
#include "OrigenFacturaPlus.h"
#include "TempDir.h"
#include "Utf8.h"

#include <gtest/gtest.h>

#include <unordered_map>

namespace {

// The rows of `table` whose column `key` equals `code` as the engine compares it (its bytes in
// the table's page, cut at a NUL and without trailing blanks), live ones only, in file order:
// a scan of the whole file, with no index.
std::vector<uint32_t> Scan(const DbfTable& t, const std::string& key, const std::string& code) {
    std::vector<uint32_t> rows;
    std::optional<std::string> bytes = t.Page().Encode(code);
    if (!bytes) return rows;
    std::string_view k(*bytes);
    k = k.substr(0, k.find('\0'));
    while (!k.empty() && k.back() == ' ')
        k.remove_suffix(1);
    int c = t.FieldIndex(key);
    for (uint32_t r = 0; r < t.RecordCount(); ++r)
        if (!t.IsDeleted(r) && t.Key(r, c) == k) rows.push_back(r);
    return rows;
}

std::string ProvinceByScan(const DbfTable& t, const std::string& code) {
    if (code.empty()) return {};
    std::vector<uint32_t> rows = Scan(t, "CCODPROV", code);
    return rows.empty() ? "" : utf8::FirstChars(t.Text(rows[0], t.FieldIndex("CNOMPROV")), 25);
}

std::string LongNameByScan(const DbfTable& t, const std::string& code) {
    if (code.empty()) return {};
    std::string name;
    for (uint32_t r : Scan(t, "CREF", code))
        name += t.Text(r, t.FieldIndex("CCOMENT"));
    return name;
}

std::vector<double> StockByScan(const DbfTable& t, const std::string& code) {
    std::vector<double> v;
    for (uint32_t r : Scan(t, "CREF", code))
        v.push_back(t.Number(r, t.FieldIndex("NSTOCK")));
    return v;
}

// Two different codes of six characters with the same hash in an index.
std::pair<std::string, std::string> CodesSharingAHash() {
    std::unordered_map<uint32_t, std::string> seen;
    for (int i = 0;; ++i) {
        std::string code = "H" + std::to_string(100000 + i);
        auto [it, fresh] = seen.emplace(OpenedTable::KeyHash(code), code);
        if (!fresh) return {it->second, code};
    }
}

class LookupsBothWaysTest : public ::testing::Test {
protected:
    void SetUp() override {
        origen.CrearAlias(dir.Path().string());
        collision = CodesSharingAHash();

        DbfWriter p({{"CCODPROV", 'C', 4}, {"CNOMPROV", 'C', 30}});
        p.Add({"28", Cp850("Madrid")});
        p.Add({"29", Cp850("Málaga (borrada)")}, true); // the first row of 29 is deleted
        p.Add({"29", Cp850("Málaga")});
        p.Add({"29", "Otra"});
        p.Add({"38", Cp850("Santa Cruz de Tenerife (Canarias)")});
        p.Add({" 8", "Con un blanco delante"});
        p.Add({"ab", "minúsculas"});
        p.Add({"AB", "MAYÚSCULAS"});
        p.Add({"50", ""}); // a name left blank
        p.Add({collision.first.substr(0, 4), "primera"});
        p.Write(dir.File("PROVINC.DBF"));

        DbfWriter c({{"CREF", 'C', 18}, {"CCOMENT", 'C', 100}});
        c.Add({"A", "AB"}).Add({"B", "XX"}).Add({"A", ""}).Add({"A", "CD"});
        c.Add({"A", "borrada"}, true).Add({"B", "YY"}).Add({"A", "EF"});
        c.Add({collision.first, "uno"}).Add({collision.second, "otro"});
        c.Add({"Ñ1", Cp850("eñe")}).Add({"a", "minúscula"});
        c.Write(dir.File("Artcom.dbf"));

        std::vector<Fila> s = {{{"CREF", "A"}, {"NSTOCK", "1"}},
                               {{"CREF", "B"}, {"NSTOCK", "2"}},
                               {{"CREF", "A"}, {"NSTOCK", "3"}},
                               {{"CCODALM", "X"}, {"CREF", "BORRADO"}, {"NSTOCK", "9"}},
                               {{"CREF", collision.second}, {"NSTOCK", "7"}},
                               {{"CREF", collision.first}, {"NSTOCK", "8"}}};
        WriteFacturaPlusTable(dir.Path().string(), "stocks", s, 0x02, {"X"});
    }

    std::vector<double> Stock(const std::string& code) {
        SourceQuery& q = origen.qStock;
        q.Close();
        q.SetParam("PARCODIGO", code);
        q.Open();
        std::vector<double> v;
        for (; !q.Eof(); q.Next())
            v.push_back(q.FieldByName("NSTOCK").AsFloat());
        return v;
    }

    // Every code asked of every lookup, the index's answer against the scan's.
    void CompareEveryCode(const std::string& how) {
        SCOPED_TRACE(how);
        DbfTable provinc(dir.File("PROVINC.DBF")), artcom(dir.File("Artcom.dbf")),
            stocks(dir.File("stocks.dbf"));
        const std::vector<std::string> codes = {"28",
                                                "29",
                                                "38",
                                                " 8",
                                                "8",
                                                "ab",
                                                "AB",
                                                "Ab",
                                                "50",
                                                "99",
                                                "",
                                                "28 ",
                                                "A",
                                                "A  ",
                                                " A",
                                                "a",
                                                "B",
                                                "Z",
                                                "BORRADO",
                                                "Ñ1",
                                                "€",
                                                collision.first,
                                                collision.second,
                                                collision.first.substr(0, 4)};
        for (int pass = 0; pass < 2; ++pass) // the second pass answers from memory in a run
            for (const std::string& code : codes) {
                EXPECT_EQ(origen.NombreProvincia(code), ProvinceByScan(provinc, code)) << code;
                EXPECT_EQ(origen.NombreLargoArticulo(code), LongNameByScan(artcom, code)) << code;
                EXPECT_EQ(Stock(code), StockByScan(stocks, code)) << code;
            }
        origen.qStock.Close();
    }

    TempDir dir;
    OrigenFacturaPlus origen{nullptr};
    std::pair<std::string, std::string> collision;
};

TEST_F(LookupsBothWaysTest, TheIndexGivesWhatAScanGives) {
    ASSERT_NE(collision.first, collision.second);
    ASSERT_EQ(OpenedTable::KeyHash(collision.first), OpenedTable::KeyHash(collision.second));
    CompareEveryCode("outside a run");
    origen.Session1.ConfiarDurante(std::chrono::hours(1));
    CompareEveryCode("within a run");
    origen.Session1.ConfiarDurante(std::chrono::milliseconds(0));
    origen.Session1.SoltarTablas();
    CompareEveryCode("after the run let go of its tables");
    // And a few answers spelled out, so that the scan itself is checked against the rules.
    EXPECT_EQ(origen.NombreProvincia("29"), "Málaga") << "the first live row";
    EXPECT_EQ(origen.NombreProvincia("38"), "Santa Cruz de Tenerife (C") << "cut to 25";
    EXPECT_EQ(origen.NombreProvincia("28 "), "Madrid") << "trailing blanks do not count";
    EXPECT_EQ(origen.NombreProvincia("8"), "") << "leading ones do";
    EXPECT_EQ(origen.NombreProvincia("Ab"), "") << "nor does another case match";
    EXPECT_EQ(origen.NombreLargoArticulo("A"), "ABCDEF");
    EXPECT_EQ(origen.NombreLargoArticulo(collision.second), "otro");
    EXPECT_EQ(Stock(collision.first), std::vector<double>{8});
    EXPECT_EQ(Stock("BORRADO"), std::vector<double>{});
}

// Within a run a province is read once; outside one, at every lookup. Its answer is the same.
TEST_F(LookupsBothWaysTest, WithinARunAProvinceIsReadOnce) {
    int opened = 0;
    origen.qProvincias.AfterOpen = [&](SourceQuery&) { ++opened; };
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(origen.NombreProvincia("29"), "Málaga");
        EXPECT_EQ(origen.NombreProvincia("99"), "");
    }
    EXPECT_EQ(opened, 6);
    opened = 0;
    origen.Session1.ConfiarDurante(std::chrono::hours(1));
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(origen.NombreProvincia("29"), "Málaga");
        EXPECT_EQ(origen.NombreProvincia("99"), "");
    }
    EXPECT_EQ(opened, 2) << "one reading per code";
    // A run that ends forgets them; the next one reads the table as it is then.
    origen.Session1.ConfiarDurante(std::chrono::milliseconds(0));
    DbfWriter p({{"CCODPROV", 'C', 4}, {"CNOMPROV", 'C', 30}});
    p.Add({"29", "Malaca"});
    p.Write(dir.File("PROVINC.DBF"));
    origen.Session1.ConfiarDurante(std::chrono::hours(1));
    EXPECT_EQ(origen.NombreProvincia("29"), "Malaca");
    EXPECT_EQ(opened, 3);
}

// A province table that cannot be read is no answer to keep: each lookup tries again and says
// why, and finds the table once it is there.
TEST_F(LookupsBothWaysTest, AFailedLookupIsNotKept) {
    std::vector<std::string> failures;
    origen.AlFallarBusqueda = [&](const std::string& q, const std::string& e) {
        failures.push_back(q + ": " + e);
    };
    std::filesystem::rename(dir.File("PROVINC.DBF"), dir.File("aparte.dbf"));
    origen.Session1.ConfiarDurante(std::chrono::hours(1));
    EXPECT_EQ(origen.NombreProvincia("28"), "");
    EXPECT_EQ(origen.NombreProvincia("28"), "");
    ASSERT_EQ(failures.size(), 2u);
    EXPECT_NE(failures[0].find("qProvincias: No se encuentra la tabla «PROVINC»"),
              std::string::npos)
        << failures[0];
    std::filesystem::rename(dir.File("aparte.dbf"), dir.File("PROVINC.DBF"));
    EXPECT_EQ(origen.NombreProvincia("28"), "Madrid");
}

} // namespace
