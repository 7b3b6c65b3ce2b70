// Reading dBase bytes: values, code pages, and the broken files seen in the wild.
#include "DbfTable.h"
#include "Comprobar.h"
#include "DbfWriter.h"
#include "LocaleEspanol.h"
#include "Session.h"
#include "SourceQuery.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <sys/stat.h>

namespace {

std::string Slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}
void Spit(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary)
        .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

DbfWriter Sample() {
    DbfWriter w({{"CCOD", 'C', 6},
                 {"NIMP", 'N', 8, 2},
                 {"LACT", 'L', 1},
                 {"DALTA", 'D', 8},
                 {"FTASA", 'F', 10, 3}});
    w.Add({" A1", "12.50", "T", "20240229", "1.5E+01"});
    w.Add({"B2", "", "?", "        ", ""}, true);
    w.Add({"C3", "-3", "n", "00000000", "  "});
    return w;
}

TEST(DbfTableTest, ValuesByTypeWithTheirBlankRules) {
    TempDir dir;
    Sample().Write(dir.File("t.dbf"));
    DbfTable t(dir.File("t.dbf"));
    ASSERT_EQ(t.RecordCount(), 3u);
    EXPECT_FALSE(t.IsDeleted(0));
    EXPECT_TRUE(t.IsDeleted(1));
    EXPECT_EQ(t.Text(0, 0), " A1") << "leading blanks stay, trailing go";
    EXPECT_EQ(t.Number(0, 1), 12.5);
    EXPECT_TRUE(t.Logical(0, 2));
    EXPECT_EQ(t.DateValue(0, 3), (Date{2024, 2, 29}));
    EXPECT_EQ(t.Number(0, 4), 15.0);
    EXPECT_EQ(t.Number(1, 1), 0.0) << "blank reads 0";
    EXPECT_FALSE(t.Logical(1, 2)) << "'?' is false";
    EXPECT_FALSE(t.DateValue(1, 3).has_value()) << "blank is no date";
    EXPECT_EQ(t.Number(2, 1), -3.0);
    EXPECT_FALSE(t.Logical(2, 2));
    EXPECT_FALSE(t.DateValue(2, 3).has_value()) << "zeros are no date";
    EXPECT_EQ(t.FieldIndex("nimp"), 1);
    EXPECT_EQ(t.FieldIndex("NADA"), -1);
}

// Plain decimals take a short way to their value: it must be, bit for bit, the value the C
// library's full reading gives, at every length, sign and place of the point, near the limit of
// exact mantissas and past it.
TEST(DbfTableTest, EveryNumberReadsAsTheFullReadingGivesIt) {
    std::mt19937_64 azar(20261209);
    std::vector<std::string> textos = {"0", "-0", "+0.0", ".5", "-.5", "5.", "0.1", "0.3",
                                       "999999999999999", "9999999999999999", "-1234567890.12345",
                                       "0.0000000000000000000001", "123456789012345678901",
                                       "9007199254740993", "1.5E+01", "-2e-3", "  42  "};
    for (int n = 0; n < 3000; ++n) {
        int cifras = 1 + static_cast<int>(azar() % 20);
        std::string t;
        for (int k = 0; k < cifras; ++k)
            t += static_cast<char>('0' + azar() % 10);
        if (azar() % 3) t.insert(azar() % (t.size() + 1), ".");
        if (azar() % 4 == 0) t.insert(0, azar() % 2 ? "-" : "+");
        textos.push_back(t);
    }
    DbfWriter w({{"NVAL", 'N', 24, 0}});
    for (const std::string& t : textos)
        w.Add({t});
    TempDir dir;
    w.Write(dir.File("n.dbf"));
    DbfTable tabla(dir.File("n.dbf"));
    for (std::size_t r = 0; r < textos.size(); ++r) {
        double esperado = std::strtod(textos[r].c_str(), nullptr);
        double leido = tabla.Number(static_cast<uint32_t>(r), 0);
        EXPECT_EQ(std::memcmp(&leido, &esperado, sizeof leido), 0)
            << "«" << textos[r] << "»: " << leido << " en vez de " << esperado;
    }
}

// The window runs with the desktop's locale, where strtod stops at the point and printf writes
// a comma: a dBase number still reads whole, and is written back with its point.
TEST(DbfTableTest, NumbersReadTheSameUnderASpanishLocale) {
    TempDir dir;
    Sample().Write(dir.File("t.dbf"));
    DbfWriter w({{"CNUM", 'C', 12}, {"NIMP", 'N', 10, 3}});
    w.Add({" 0.475", "0.475"});
    w.Add({"-1.5e2", "-12.125"});
    w.Add({"1,5", "+7.5"});
    w.Write(dir.File("n.dbf"));
    LocaleEspanol es;
    ASSERT_TRUE(es.Activa());
    DbfTable t(dir.File("t.dbf"));
    EXPECT_EQ(t.Number(0, 1), 12.5);
    EXPECT_EQ(t.Number(0, 4), 15.0);
    DbfTable n(dir.File("n.dbf"));
    EXPECT_EQ(n.Number(0, 1), 0.475);
    EXPECT_EQ(n.Number(1, 1), -12.125);
    EXPECT_EQ(n.Number(2, 1), 7.5);

    Session session{"Prueba"};
    session.AddStandardAlias("A", dir.Path().string(), "DBASE");
    SourceQuery q(session, "q", 0, {"select * from n"},
                  {{"CNUM", FieldKind::Text, 12}, {"NIMP", FieldKind::Float, 0}});
    q.SetDatabaseName("A");
    q.Open();
    EXPECT_EQ(q.FieldByName("NIMP").AsString(), "0.475") << "as the grid shows it";
    EXPECT_EQ(q.FieldByName("CNUM").AsFloat(), 0.475) << "a number kept in a text field";
    q.Next();
    EXPECT_EQ(q.FieldByName("NIMP").AsString(), "-12.125");
    EXPECT_EQ(q.FieldByName("CNUM").AsFloat(), -150.0);
    q.Next();
    EXPECT_THROW_MSG(q.FieldByName("CNUM").AsFloat(), DbfError, "«1,5» no es un número");
}

// Plain ASCII is copied without conversion, found eight bytes at a time: a byte above 127
// anywhere, in a whole word or in the tail, must still be converted.
TEST(DbfTableTest, OneAccentedByteAnywhereInATextIsConverted) {
    const CodePage page = *CodePage::ByNumber(1252);
    for (std::size_t size = 1; size <= 19; ++size)
        for (std::size_t at = 0; at < size; ++at) {
            std::string bytes(size, 'a');
            bytes[at] = '\xE9';
            std::string utf8;
            uint8_t bad = 0;
            ASSERT_TRUE(page.Decode(bytes, utf8, bad));
            EXPECT_EQ(utf8, std::string(at, 'a') + "é" + std::string(size - at - 1, 'a'))
                << size << " bytes, accent at " << at;
        }
}

// Trailing blanks go eight at a time, then one by one; blanks inside the text stay.
TEST(DbfTableTest, TrailingBlanksGoWhateverTheirNumber) {
    TempDir dir;
    DbfWriter w({{"CTEXTO", 'C', 20}});
    std::vector<std::string> texts;
    for (std::size_t n = 0; n <= 20; ++n)
        texts.push_back(std::string(n, 'x'));
    texts.push_back("a         b");
    texts.push_back("        c");
    texts.push_back("d       ");
    for (const std::string& t : texts)
        w.Add({t});
    w.Write(dir.File("t.dbf"));
    DbfTable t(dir.File("t.dbf"));
    for (std::size_t r = 0; r < texts.size(); ++r) {
        std::string expected = texts[r].substr(0, texts[r].find_last_not_of(' ') + 1);
        if (texts[r].find_first_not_of(' ') == std::string::npos) expected.clear();
        EXPECT_EQ(t.Text(static_cast<uint32_t>(r), 0), expected) << "record " << r;
    }
}

TEST(DbfTableTest, GarbageValuesAreErrorsWithTheirPlace) {
    TempDir dir;
    DbfWriter w({{"CCOD", 'C', 4}, {"NIMP", 'N', 6, 2}, {"LACT", 'L', 1}, {"DALTA", 'D', 8}});
    w.Add({"A", "******", "X", "20230231"});
    w.Add({"B", "1,50", "T", "2023AB01"});
    w.Add({"C", "1.5.2", "T", "20231301"});
    w.Write(dir.File("malos.dbf"));
    DbfTable t(dir.File("malos.dbf"));
    struct Case {
        std::function<void()> read;
        std::string fragment;
    } cases[] = {
        {[&] { t.Number(0, 1); }, "tabla malos.dbf, campo NIMP, registro 1: «******» no es un "
                                  "número (el valor desbordó el campo)"},
        {[&] { t.Number(1, 1); }, "campo NIMP, registro 2: «1,50» no es un número"},
        {[&] { t.Number(2, 1); }, "registro 3: «1.5.2» no es un número"},
        {[&] { t.Logical(0, 2); }, "campo LACT, registro 1: «X» no es un valor lógico"},
        {[&] { t.DateValue(0, 3); }, "registro 1: «20230231» no es una fecha válida"},
        {[&] { t.DateValue(1, 3); }, "registro 2: «2023AB01» no es una fecha"},
        {[&] { t.DateValue(2, 3); }, "registro 3: «20231301» no es una fecha válida"},
    };
    for (const Case& c : cases) {
        try {
            c.read();
            ADD_FAILURE() << "expected an error: " << c.fragment;
        } catch (const DbfError& e) {
            EXPECT_NE(std::string(e.what()).find(c.fragment), std::string::npos) << e.what();
        }
    }
}

TEST(DbfTableTest, DeletedFlagsEndMarkerAndShortFiles) {
    TempDir dir;
    DbfWriter w({{"C", 'C', 3}});
    w.Add({"uno"}).Add({"dos"}).Add({"tre"});
    w.recordCountOverride = 10; // the header claims more than there is
    std::string bytes = w.Bytes();
    bytes.pop_back(); // no 0x1A at the end
    bytes += "cu";    // and half a record
    Spit(dir.File("a.dbf"), bytes);
    DbfTable t(dir.File("a.dbf"));
    EXPECT_EQ(t.HeaderRecordCount(), 10u);
    EXPECT_EQ(t.RecordCount(), 3u) << "only whole records are delivered";

    // A 0x1A in a deletion-flag position before the counted end ends the data there.
    DbfWriter w2({{"C", 'C', 3}});
    w2.Add({"uno"}).Add({"dos"});
    std::string b2 = w2.Bytes();
    b2[32 + 32 + 1 + 4] = '\x1A';
    Spit(dir.File("b.dbf"), b2);
    EXPECT_EQ(DbfTable(dir.File("b.dbf")).RecordCount(), 1u);

    // A header count of 0 with records present: the records are read, not lost.
    DbfWriter w3({{"C", 'C', 3}});
    w3.Add({"uno"}).Add({"dos"});
    w3.recordCountOverride = 0;
    w3.Write(dir.File("c.dbf"));
    EXPECT_EQ(DbfTable(dir.File("c.dbf")).RecordCount(), 2u);
}

TEST(DbfTableTest, LongClipperCharacterFieldAndWiderRecords) {
    TempDir dir;
    DbfWriter w({{"CNOTA", 'C', 44, 1}, {"N", 'N', 2}}); // 44 + 256 = 300 characters
    std::string b = w.Bytes();
    // Record length 1 + 300 + 2 = 303, and one record.
    b[10] = static_cast<char>(303 & 0xFF);
    b[11] = static_cast<char>(303 >> 8);
    b[4] = 1;
    b.pop_back();
    b += " " + std::string(299, 'x') + "y" + " 7" + "\x1A";
    Spit(dir.File("largo.dbf"), b);
    DbfTable t(dir.File("largo.dbf"));
    EXPECT_EQ(t.Fields()[0].length, 300u);
    EXPECT_EQ(t.Text(0, 0).size(), 300u);
    EXPECT_EQ(t.Number(0, 1), 7);

    // A record length larger than the fields need is stepped over.
    DbfWriter w2({{"C", 'C', 2}});
    std::string b2 = w2.Bytes();
    b2[10] = 5;
    b2[4] = 2;
    b2.pop_back();
    b2 += " ab.. cd..";
    Spit(dir.File("ancho.dbf"), b2);
    DbfTable t2(dir.File("ancho.dbf"));
    EXPECT_EQ(t2.Text(1, 0), "cd");
}

TEST(DbfTableTest, CodePagesFromLanguageDriverAndFromText) {
    TempDir dir;
    std::string spanish = "Ñandú Muñoz Peña Ibáñez";
    struct Case {
        uint8_t driver;
        std::string bytes;
        int page;
    } cases[] = {
        {0x02, Cp850(spanish), 850},   {0x14, Cp850(spanish), 850},   {0x01, Cp850(spanish), 437},
        {0x03, Cp1252(spanish), 1252}, {0x57, Cp1252(spanish), 1252}, {0x00, Cp850(spanish), 850},
        {0x00, Cp1252(spanish), 1252}, {0x00, "PLAIN ASCII", 850},    {0x7F, Cp1252(spanish), 1252},
    };
    for (const Case& c : cases) {
        DbfWriter w({{"CNOM", 'C', 40}});
        w.languageDriver = c.driver;
        w.Add({c.bytes});
        w.Write(dir.File("cp.dbf"));
        DbfTable t(dir.File("cp.dbf"));
        EXPECT_EQ(t.Page().Number(), c.page)
            << "driver " << int(c.driver) << ": " << t.PageReason();
        if (c.page != 437 && c.bytes != "PLAIN ASCII") {
            EXPECT_EQ(t.Text(0, 0), spanish);
        }
        if (c.driver == 0 || c.driver == 0x7F) {
            EXPECT_NE(t.PageReason().find("deducida del texto"), std::string::npos);
        }
    }
    // A byte that 1252 leaves undefined is an error with its place, never a '?'.
    DbfWriter w({{"CNOM", 'C', 4}});
    w.languageDriver = 0x03;
    w.Add({"a\x81"});
    w.Write(dir.File("mal.dbf"));
    {
        auto e = Captura<DbfError>([&] { DbfTable(dir.File("mal.dbf")).Text(0, 0); });
        ASSERT_TRUE(e.has_value());
        EXPECT_NE(std::string(e->what()).find("campo CNOM, registro 1: el byte 0x81"),
                  std::string::npos)
            << e->what();
    }
}

TEST(DbfTableTest, FilesWrittenByAnIndependentTool) {
    DbfTable p(std::string(TM_FIXTURES_DIR) + "/dbf/provinc850.dbf");
    EXPECT_EQ(p.Page().Number(), 850);
    ASSERT_EQ(p.RecordCount(), 4u);
    EXPECT_EQ(p.Text(1, p.FieldIndex("CNOMPROV")), "Málaga");
    EXPECT_EQ(p.Text(2, p.FieldIndex("CNOMPROV")), "A Coruña");
    EXPECT_EQ(p.Number(0, p.FieldIndex("NHAB")), 6750000);
    EXPECT_TRUE(p.Logical(1, p.FieldIndex("LCOSTA")));
    EXPECT_EQ(p.DateValue(1, p.FieldIndex("DALTA")), (Date{1982, 12, 30}));
    EXPECT_FALSE(p.DateValue(2, p.FieldIndex("DALTA")).has_value());

    DbfTable a(std::string(TM_FIXTURES_DIR) + "/dbf/agentes1252.dbf");
    EXPECT_EQ(a.Page().Number(), 1252);
    EXPECT_EQ(a.Text(0, a.FieldIndex("CAPEAGE")), "Muñoz Pérez");
    EXPECT_EQ(a.Text(1, a.FieldIndex("CNBRAGE")), "Ángela");
    EXPECT_EQ(a.Number(1, a.FieldIndex("NCOM1")), 12.25);

    // The same 850 file with its language byte cleared is judged from its text.
    TempDir dir;
    std::string b = Slurp(std::string(TM_FIXTURES_DIR) + "/dbf/provinc850.dbf");
    b[29] = 0;
    Spit(dir.File("sin.dbf"), b);
    DbfTable s(dir.File("sin.dbf"));
    EXPECT_EQ(s.Page().Number(), 850);
    EXPECT_EQ(s.Text(2, 1), "A Coruña");
}

struct Broken {
    const char* name;
    std::function<std::string()> bytes;
    const char* fragment;
};

std::string Good() {
    DbfWriter w({{"CCOD", 'C', 4}, {"NIMP", 'N', 5, 1}});
    w.Add({"A", "1.5"});
    return w.Bytes();
}
std::string With(std::size_t at, std::string_view patch) {
    std::string b = Good();
    b.replace(at, patch.size(), patch);
    return b;
}

TEST(DbfTableTest, BrokenFilesGiveErrorsThatNameFileAndFault) {
    const Broken cases[] = {
        {"empty", [] { return std::string(); }, "el fichero está vacío"},
        {"short", [] { return Good().substr(0, 20); }, "tiene 20 bytes, menos que los 32"},
        {"text file", [] { return std::string("REF;NOMBRE\nA;uno\nB;dos\nC;tres\nD;cuatro\n"); },
         "no es el de una tabla dBase"},
        {"dBase 7", [] { return With(0, "\x04"); }, "es una tabla de dBase 7"},
        {"header under 65", [] { return With(8, std::string("\x20\x00", 2)); },
         "menos de los que ocupa un solo campo"},
        {"header past end", [] { return With(8, std::string("\x00\x10", 2)); },
         "la cabecera declara 4096 bytes y el fichero tiene"},
        {"record length 0", [] { return With(10, std::string("\x00\x00", 2)); },
         "la longitud de registro es 0"},
        {"fields past record", [] { return With(10, std::string("\x05\x00", 2)); },
         "los campos ocupan 10 bytes por registro y la cabecera declara registros de 5"},
        {"no terminator", [] { return With(96, "\x20"); }, "falta el byte 0x0D"},
        {"field length 0", [] { return With(32 + 16, std::string("\x00", 1)); },
         "el campo CCOD tiene longitud 0"},
        {"nameless field", [] { return With(32, std::string("\x00", 1)); },
         "el campo 1 no tiene nombre"},
        {"duplicate names", [] { return With(64, std::string("CCOD\0", 5)); },
         "el campo CCOD está repetido"},
        {"logical of 2",
         [] {
             std::string b = With(64 + 11, "L");
             return b;
         },
         "es lógico y mide 5 bytes"},
        {"decimals not below length", [] { return With(64 + 17, "\x05"); },
         "declara 5 decimales en 5 posiciones"},
        {"bad deletion flag",
         [] {
             std::string b = Good();
             b[97] = 'X';
             return b;
         },
         "el registro 1 tiene la marca de borrado 0x58"},
    };
    TempDir dir;
    for (const Broken& c : cases) {
        std::string path = dir.File("roto.dbf");
        Spit(path, c.bytes());
        try {
            DbfTable t(path);
            ADD_FAILURE() << c.name << ": no error";
        } catch (const DbfError& e) {
            std::string m = e.what();
            EXPECT_NE(m.find(path), std::string::npos) << c.name << ": " << m;
            EXPECT_NE(m.find(c.fragment), std::string::npos) << c.name << ": " << m;
        }
    }
}

TEST(DbfTableTest, NotAFile) {
    TempDir dir;
    std::filesystem::create_directory(dir.File("carpeta.dbf"));
    EXPECT_THROW(DbfTable(dir.File("carpeta.dbf")), DbfError);
    EXPECT_THROW(DbfTable(dir.File("no-existe.dbf")), DbfError);
}

TEST(DbfTableTest, NotReadable) {
    if (geteuid() == 0) GTEST_SKIP() << "root reads whatever the permissions say";
    TempDir dir;
    Spit(dir.File("cerrado.dbf"), Good());
    chmod(dir.File("cerrado.dbf").c_str(), 0);
    EXPECT_THROW(DbfTable(dir.File("cerrado.dbf")), DbfError);
}

} // namespace
