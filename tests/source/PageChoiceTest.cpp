// Tables whose header names a code page: the text is weighed all the same, and a table whose text
// reads much better in the other page than the header's is told about, never read otherwise;
// the operator can choose the page of one table or of all.
#include "Comprobar.h"
#include "DbfTable.h"
#include "DbfWriter.h"
#include "OrigenFacturaPlus.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

// The byte at header offset 29 of a table file, rewritten: a copy whose label says another page.
void Relabel(const std::string& path, uint8_t driver) {
    std::fstream f(path, std::ios::in | std::ios::out | std::ios::binary);
    f.seekp(29);
    f.put(static_cast<char>(driver));
}

// The demonstration folder, as scripts/demo writes it: every table in 850, labelled 0x02.
class DemoTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(std::system((std::string(DEMO) + " '" + carpeta + "' >/dev/null").c_str()), 0);
    }
    std::vector<std::string> Tables() const {
        std::vector<std::string> t;
        for (const auto& e : fs::directory_iterator(carpeta))
            t.push_back(e.path().string());
        std::sort(t.begin(), t.end());
        return t;
    }
    TempDir dir;
    std::string carpeta = dir.File("demo");
};

TEST_F(DemoTest, TheDemoTablesAsWrittenAreNotSuspect) {
    std::vector<std::string> tables = Tables();
    ASSERT_GE(tables.size(), 8u);
    for (const std::string& path : tables) {
        DbfTable t(path);
        EXPECT_EQ(t.Page().Number(), 850) << path;
        EXPECT_EQ(t.PageWarning(), "") << path;
    }
}

TEST_F(DemoTest, AgentsLabelledWindowsAreSuspectButStillReadAsTheHeaderSays) {
    const std::string path = carpeta + "/agentes.dbf";
    Relabel(path, 0x03);
    DbfTable t(path);
    EXPECT_EQ(t.Page().Number(), 1252) << "the source is only read: the header's page is kept";
    EXPECT_EQ(t.PageReason(),
              "página de códigos 1252 (Windows), por el byte de idioma 0x03 de la cabecera");
    const std::string& w = t.PageWarning();
    EXPECT_EQ(w.rfind("agentes.dbf: la cabecera dice página 1252 (Windows), pero el texto se lee "
                      "mucho mejor como 850 (DOS): «",
                      0),
              0u)
        << w;
    EXPECT_NE(w.find("«Martínez»"), std::string::npos) << "the words read in 850: " << w;
    EXPECT_NE(w.find("se lee en la 1252, como dice la cabecera"), std::string::npos) << w;
    // Read as labelled, the names come out as the operator would see them committed.
    int name = t.FieldIndex("CAPEAGE");
    EXPECT_EQ(t.Text(0, name), "Mart¡nez Ib\u00A0¤ez");

    // The same text labelled 850 by another byte of the DOS family is not suspect.
    Relabel(path, 0x14);
    EXPECT_EQ(DbfTable(path).PageWarning(), "");
    // Labelled 437, the Spanish letters are the same bytes: nothing to tell either.
    Relabel(path, 0x01);
    EXPECT_EQ(DbfTable(path).PageWarning(), "");
}

TEST_F(DemoTest, TheOperatorsPageIsTheOneReadAndNothingIsSuspected) {
    const std::string path = carpeta + "/agentes.dbf";
    Relabel(path, 0x03);
    DbfTable t(path, 850);
    EXPECT_EQ(t.Page().Number(), 850);
    EXPECT_EQ(t.PageReason(), "página de códigos 850 (DOS), elegida por el operador");
    EXPECT_EQ(t.PageWarning(), "");
    EXPECT_EQ(t.Text(0, t.FieldIndex("CNBRAGE")) + " " + t.Text(0, t.FieldIndex("CAPEAGE")),
              "José Luis Martínez Ibáñez");
    EXPECT_THROW_MSG(DbfTable(path, 999), DbfError,
                     "la página de códigos 999 no es ninguna de las que se conocen (437, 737, "
                     "850");
}

// Few accents give little evidence: a table with a word or two in the other page is not told
// about, whatever its label.
TEST(PageChoiceTest, AFewAccentsAreNoEvidence) {
    TempDir dir;
    struct Case {
        const char* name;
        uint8_t label;
        std::string text; // already in bytes
    } cases[] = {
        {"one 850 name labelled 1252", 0x03, Cp850("Muñoz")},
        {"two 850 words labelled 1252", 0x03, Cp850("José Peña")},
        {"one 1252 name labelled 850", 0x02, Cp1252("Ibáñez")},
        {"three 1252 words labelled 850", 0x02, Cp1252("Cádiz, Jaén y León")},
    };
    for (const Case& c : cases) {
        DbfWriter w({{"CNOMBRE", 'C', 40}, {"CCOD", 'C', 4}});
        w.languageDriver = c.label;
        w.Add({c.text, "1"}).Add({"Calle Mayor", "2"}).Add({"GARCIA", "3"});
        w.Write(dir.File("pocos.dbf"));
        DbfTable t(dir.File("pocos.dbf"));
        EXPECT_EQ(t.PageWarning(), "") << c.name;
        EXPECT_EQ(t.Page().Number(), c.label == 0x03 ? 1252 : 850) << c.name;
    }
}

TEST(PageChoiceTest, ATableOfAnotherFamilyIsNotWeighed) {
    // Cyrillic in 866: neither of the Spanish pages is in question.
    TempDir dir;
    DbfWriter w({{"CNOMBRE", 'C', 40}});
    w.languageDriver = 0x26; // 866
    for (int i = 0; i < 20; ++i)
        w.Add({std::string("\x8C\xAE\xE1\xAA\xA2\xA0 \xA8 \xA4\xE0\xE3\xA3\xA8\xA5")});
    w.Write(dir.File("ruso.dbf"));
    DbfTable t(dir.File("ruso.dbf"));
    EXPECT_EQ(t.Page().Number(), 866);
    EXPECT_EQ(t.PageWarning(), "");
}

// The session reads a table in the page chosen for it, or for every table; a specific choice
// wins over the general one, and taking the choice back reads the header's page again.
TEST(PageChoiceTest, TheSessionAppliesTheOperatorsChoicePerTableOrForAll) {
    TempDir dir;
    std::vector<Fila> agentes = {{{"CCODAGE", "001"}, {"CNBRAGE", "Íñigo"}}};
    WriteFacturaPlusTable(dir.Path().string(), "agentes", agentes, 0x02);
    Relabel(dir.File("agentes.dbf"), 0x03);
    DbfWriter p({{"CCODPROV", 'C', 4}, {"CNOMPROV", 'C', 30}});
    p.languageDriver = 0x03;
    p.Add({"28", Cp850("Málaga")});
    p.Write(dir.File("PROVINC.DBF"));

    OrigenFacturaPlus origen(nullptr);
    origen.CrearAlias(dir.Path().string());
    auto nombre = [&] {
        origen.qAgentesVenta.Open();
        std::string n = origen.qAgentesVenta.FieldByName("CNBRAGE").AsString();
        std::string razon = origen.qAgentesVenta.Table()->PageReason();
        origen.qAgentesVenta.Close();
        return n + " | " + razon;
    };
    EXPECT_EQ(nombre(), "Ö¤igo | página de códigos 1252 (Windows), por el byte de idioma 0x03 de "
                        "la cabecera");
    origen.Session1.PaginaDeCodigos("AGENTES.DBF", 850);
    EXPECT_EQ(nombre(), "Íñigo | página de códigos 850 (DOS), elegida por el operador");
    EXPECT_EQ(origen.NombreProvincia("28"), "M\u00A0laga") << "only the agents were chosen";

    origen.Session1.PaginaDeCodigos("", 437);
    EXPECT_EQ(origen.NombreProvincia("28"), "Málaga") << "437 for every other table";
    EXPECT_EQ(nombre(), "Íñigo | página de códigos 850 (DOS), elegida por el operador")
        << "the table's own choice wins";
    origen.Session1.PaginaDeCodigos("agentes", 0);
    EXPECT_EQ(nombre(), "╓ñigo | página de códigos 437 (DOS, EE. UU.), elegida por el operador");
    origen.Session1.PaginaDeCodigos("", 0);
    EXPECT_EQ(nombre(), "Ö¤igo | página de códigos 1252 (Windows), por el byte de idioma 0x03 de "
                        "la cabecera");

    EXPECT_EQ(Mensaje([&] { origen.Session1.PaginaDeCodigos("clientes", 65001); }),
              "La página de códigos 65001 elegida para la tabla «clientes» no es ninguna de las "
              "que se conocen: 437, 737, 850, 852, 857, 860, 861, 863, 865, 866, 1250, 1251, "
              "1252, 1253 y 1254");
    EXPECT_EQ(Mensaje([&] { origen.Session1.PaginaDeCodigos("", -1); }),
              "La página de códigos -1 no es ninguna de las que se conocen: 437, 737, 850, 852, "
              "857, 860, 861, 863, 865, 866, 1250, 1251, 1252, 1253 y 1254");
}

} // namespace
