// The session's side of faulty folders and values: table names that differ only in case, paths
// that are no regular files, kinds of columns, texts read as numbers, and the query texts and
// grid texts that garbage reaches.
#include "Comprobar.h"
#include "DbfWriter.h"
#include "LocalSql.h"
#include "Session.h"
#include "SourceQuery.h"
#include "TempDir.h"
#include "Utf8.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <sys/stat.h>

namespace fs = std::filesystem;

namespace {

const std::vector<FieldDecl> kLayout = {{"CCOD", FieldKind::Text, 6},
                                        {"NIMP", FieldKind::Float, 0}};

class SessionFilesTest : public ::testing::Test {
protected:
    void SetUp() override {
        session.AddStandardAlias("Datos", dir.Path().string(), "DBASE");
        query.SetDatabaseName("Datos");
    }
    static void WriteAgentes(const std::string& path, const std::string& code) {
        DbfWriter w({{"CCOD", 'C', 6}, {"NIMP", 'N', 8, 2}});
        w.Add({code, "1"});
        w.Write(path);
    }
    TempDir dir;
    Session session{"Prueba"};
    SourceQuery query{session, "qAgentes", 0, {"select * from agentes"}, kLayout};
};

TEST_F(SessionFilesTest, TwoFilesWhoseNamesDifferOnlyInCaseAreAnErrorNamingBoth) {
    WriteAgentes(dir.File("Agentes.dbf"), "A");
    query.Open();
    EXPECT_EQ(query.FieldByName("CCOD").AsString(), "A");
    query.Close();

    // A second one appearing later is noticed at the next opening, not hidden by what was found.
    WriteAgentes(dir.File("AGENTES.DBF"), "B");
    std::string m = Mensaje([&] { query.Open(); });
    EXPECT_EQ(m, "En la carpeta «" + dir.Path().string() +
                     "» hay 2 ficheros para la tabla «agentes» que solo se distinguen por "
                     "mayúsculas y minúsculas: «AGENTES.DBF» y «Agentes.dbf»; no se sabe cuál "
                     "leer, deje solo uno");
    EXPECT_FALSE(query.Active());

    fs::remove(dir.File("Agentes.dbf"));
    query.Open();
    EXPECT_EQ(query.FieldByName("CCOD").AsString(), "B");
}

TEST_F(SessionFilesTest, APathNamedLikeATableThatIsNoFileSaysWhatItIs) {
    ASSERT_EQ(mkfifo(dir.File("agentes.dbf").c_str(), 0600), 0);
    std::string m = Mensaje([&] { query.Open(); });
    EXPECT_EQ(m, "Tabla «" + dir.File("agentes.dbf") +
                     "»: no es un fichero normal: es una tubería (FIFO)");
    fs::remove(dir.File("agentes.dbf"));

    fs::create_symlink(dir.File("borrado.dbf"), dir.File("agentes.dbf"));
    m = Mensaje([&] { query.Open(); });
    EXPECT_NE(m.find("agentes.dbf»: es un enlace roto: apunta a «" + dir.File("borrado.dbf")),
              std::string::npos)
        << m;
}

TEST_F(SessionFilesTest, AVisualFoxProDoubleIsCalledADouble) {
    DbfWriter w({{"CCOD", 'C', 6}, {"NIMP", 'B', 8}});
    w.Write(dir.File("agentes.dbf"));
    EXPECT_EQ(Mensaje([&] { query.Open(); }),
              "qAgentes: Tipo no concuerda para el campo 'NIMP'. Se espera: Float. Actual: Double");
}

TEST_F(SessionFilesTest, ATextReadAsANumberMustBeAFiniteDecimalNumber) {
    DbfWriter w({{"CCOD", 'C', 6}, {"NIMP", 'N', 8, 2}});
    for (const char* text : {" 12.5", "-3e2", "inf", "nan", "0x10", "1e999", "12,5"})
        w.Add({text, "1"});
    w.Write(dir.File("agentes.dbf"));
    SourceQuery& q = query;
    q.Open();
    EXPECT_EQ(q.FieldByName("CCOD").AsFloat(), 12.5);
    q.Next();
    EXPECT_EQ(q.FieldByName("CCOD").AsFloat(), -300.0);
    for (const char* bad : {"inf", "nan", "0x10", "1e999", "12,5"}) {
        q.Next();
        EXPECT_EQ(Mensaje([&] { q.FieldByName("CCOD").AsFloat(); }),
                  "qAgentes: tabla agentes.dbf, campo CCOD, registro " +
                      std::to_string(q.CurrentRecord() + 1) + ": «" + bad + "» no es un número");
    }
}

TEST_F(SessionFilesTest, GarbageNeverReachesAViewOrAMessageAsRawBytes) {
    DbfWriter w({{"CCOD", 'C', 6}, {"NIMP", 'N', 8, 2}});
    w.Add({"A", "1\xFF"}).Add({"B", "  7.25"});
    w.Write(dir.File("agentes.dbf"));
    query.Open();
    query.Next();
    EXPECT_EQ(query.DisplayText(0, 1), "#error");
    EXPECT_EQ(query.DisplayText(1, 1), "7.25");

    // A declared field the table lacks, named with bytes that are not UTF-8 (found by fuzzing).
    std::vector<FieldDecl> odd = {{"CN\xE9\x7F", FieldKind::Text, 6}};
    SourceQuery q(session, "qRaro", 0, {"select * from agentes"}, odd);
    q.SetDatabaseName("Datos");
    EXPECT_EQ(Mensaje([&] { q.Open(); }), "qRaro: Campo 'CN<0xE9><0x7F>' no encontrado");

    std::string m = Mensaje([] { ParseLocalSql("Select * from artículo"); });
    EXPECT_EQ(m, "Consulta no admitida «Select * from artículo»: carácter «í» inesperado");
    m = Mensaje([] {
        ParseLocalSql("Select * from art\xED"
                      "culo\nwhere a = :b");
    });
    EXPECT_EQ(m, "Consulta no admitida «Select * from art<0xED>culo where a = :b»: carácter "
                 "«<0xED>» inesperado");
}

TEST_F(SessionFilesTest, TheCountMismatchOfTheQueriedTableIsAtHand) {
    DbfWriter w({{"CCOD", 'C', 6}, {"NIMP", 'N', 8, 2}});
    w.Add({"A", "1"}).Add({"B", "2"});
    w.recordCountOverride = 7;
    w.Write(dir.File("agentes.dbf"));
    query.Open();
    ASSERT_NE(query.Table(), nullptr);
    EXPECT_EQ(query.Table()->CountMismatch(),
              "La tabla agentes.dbf declara 7 registros en su cabecera y se han leído 2: el "
              "fichero acaba tras el registro 2.");
}

} // namespace
