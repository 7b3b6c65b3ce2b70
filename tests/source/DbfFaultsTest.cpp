// Faults of real files: record counts that disagree with the header, NULs inside text, numbers
// too large for a double, files that are no tables, paths that are no regular files, and the
// bytes such faults put into messages.
#include "Comprobar.h"
#include "DbfTable.h"
#include "DbfWriter.h"
#include "TempDir.h"
#include "Utf8.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <sys/stat.h>
#include <unistd.h>

namespace {

void Spit(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary)
        .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

bool ValidUtf8(const std::string& s) {
    for (std::size_t i = 0; i < s.size();) {
        char32_t cp = 0;
        if (!utf8::Next(s, i, cp)) return false;
    }
    return true;
}

// Five records of one 3-byte field: header 65 bytes, records of 4 from offset 65.
constexpr std::size_t kFirstRecord = 32 + 32 + 1;
constexpr std::size_t kRecord = 4;
DbfWriter Five() {
    DbfWriter w({{"C", 'C', 3}});
    w.Add({"uno"}).Add({"dos"}).Add({"tre"}).Add({"cua"}).Add({"cin"});
    return w;
}

TEST(DbfFaultsTest, RecordCountAgainstTheHeaderIsReportedNotHidden) {
    struct Case {
        const char* name;
        std::function<std::string()> bytes;
        uint32_t read;
        std::string mismatch; // "" when the counts agree
    } cases[] = {
        {"counts agree", [] { return Five().Bytes(); }, 5, ""},
        {"no end mark, counts agree",
         [] {
             DbfWriter w = Five();
             w.endOfFileMarker = false;
             return w.Bytes();
         },
         5, ""},
        {"end-of-file mark in the flag of record 2",
         [] {
             std::string b = Five().Bytes();
             b[kFirstRecord + kRecord] = '\x1A';
             return b;
         },
         1,
         "La tabla t.dbf declara 5 registros en su cabecera y se han leído 1: hay una marca de "
         "fin de fichero (0x1A) donde empieza el registro 2."},
        {"cut in the middle of record 4",
         [] { return Five().Bytes().substr(0, kFirstRecord + 3 * kRecord + 2); }, 3,
         "La tabla t.dbf declara 5 registros en su cabecera y se han leído 3: el fichero se corta "
         "a mitad del registro 4."},
        {"ends after record 3, with its end mark",
         [] { return Five().Bytes().substr(0, kFirstRecord + 3 * kRecord) + "\x1A"; }, 3,
         "se han leído 3: el fichero acaba tras el registro 3."},
        {"ends after the header", [] { return Five().Bytes().substr(0, kFirstRecord); }, 0,
         "declara 5 registros en su cabecera y se han leído 0: el fichero acaba tras la "
         "cabecera."},
        {"header counts 0 with data present",
         [] {
             DbfWriter w = Five();
             w.recordCountOverride = 0;
             return w.Bytes();
         },
         5,
         "La tabla t.dbf declara 0 registros en su cabecera y se han leído 5: la cabecera no "
         "lleva la cuenta y se leen los registros que hay."},
        {"header counts 0xFFFFFFFF",
         [] {
             DbfWriter w = Five();
             w.recordCountOverride = 0xFFFFFFFF;
             return w.Bytes();
         },
         5, "declara 4294967295 registros en su cabecera y se han leído 5"},
        {"header counts fewer than there are: the header rules",
         [] {
             DbfWriter w = Five();
             w.recordCountOverride = 3;
             return w.Bytes();
         },
         3, ""},
    };
    TempDir dir;
    for (const Case& c : cases) {
        Spit(dir.File("t.dbf"), c.bytes());
        DbfTable t(dir.File("t.dbf"));
        EXPECT_EQ(t.RecordCount(), c.read) << c.name;
        if (c.mismatch.empty()) {
            EXPECT_EQ(t.CountMismatch(), "") << c.name;
        } else {
            EXPECT_NE(t.CountMismatch().find(c.mismatch), std::string::npos)
                << c.name << ": " << t.CountMismatch();
        }
    }
}

TEST(DbfFaultsTest, TextEndsAtTheFirstNulForReadingAndComparing) {
    TempDir dir;
    DbfWriter w({{"CNOM", 'C', 12}, {"NIMP", 'N', 6, 2}});
    w.Add({std::string("Ana\0Lopez", 9), std::string("12\0\0", 4)});
    w.Add({std::string("\0basura", 7), "3"});
    w.Add({std::string("Luis \0 ", 7), "4"});
    w.Write(dir.File("nul.dbf"));
    DbfTable t(dir.File("nul.dbf"));
    EXPECT_EQ(t.Text(0, 0), "Ana");
    EXPECT_EQ(t.Key(0, 0), "Ana");
    EXPECT_EQ(t.Text(1, 0), "");
    EXPECT_EQ(t.Key(1, 0), "");
    EXPECT_EQ(t.Text(2, 0), "Luis") << "blanks before the NUL go too";
    EXPECT_EQ(t.Key(2, 0), "Luis");
    EXPECT_EQ(t.Number(0, 1), 12.0) << "a number padded with NULs still reads";
}

TEST(DbfFaultsTest, NumbersBeyondADoubleAreRefusedWithTheirPlace) {
    TempDir dir;
    DbfWriter w({{"NIMP", 'N', 10, 0}, {"FTASA", 'F', 12, 0}});
    w.Add({"1E+400", "-1E+400"});
    w.Add({"1E-400", "1.5E+308"});
    w.Write(dir.File("enorme.dbf"));
    DbfTable t(dir.File("enorme.dbf"));
    EXPECT_EQ(Mensaje([&] { t.Number(0, 0); }),
              "tabla enorme.dbf, campo NIMP, registro 1: «1E+400» no es un número (excede lo que "
              "se puede representar)");
    EXPECT_NE(
        Mensaje([&] { t.Number(0, 1); }).find("campo FTASA, registro 1: «-1E+400» no es un número"),
        std::string::npos);
    EXPECT_EQ(t.Number(1, 0), 0.0) << "too small is zero, not an error";
    EXPECT_EQ(t.Number(1, 1), 1.5E+308);
}

struct NotATable {
    const char* name;
    std::function<std::string()> bytes;
    const char* fragment;
};

std::string Good() {
    DbfWriter w({{"CCOD", 'C', 4}, {"NIMP", 'N', 5, 1}});
    w.Add({"A", "1.5"}).Add({"B", "2.5"});
    return w.Bytes();
}

// The header of Good() declared `extra` bytes longer, with `fill` in between.
std::string LongHeader(std::size_t extra, char fill) {
    std::string b = Good();
    std::size_t header = 32 + 64 + 1 + extra;
    b.insert(32 + 64 + 1, std::string(extra, fill));
    b[8] = static_cast<char>(header & 0xFF);
    b[9] = static_cast<char>(header >> 8);
    return b;
}

TEST(DbfFaultsTest, FilesThatAreNoTablesSaySo) {
    const NotATable cases[] = {
        {"CSV starting with a digit that is a version byte",
         [] { return std::string("0;Agente;Madrid\n1;Otro;Sevilla\n2;Más;Cádiz\n"); },
         "no es una tabla dBase: parece un fichero de texto que empieza por «0;Agente;Madrid»"},
        {"CSV with a header line starting with C",
         [] { return std::string("CODIGO;NOMBRE;POBLACION;PROVINCIA\r\nA1;Ana;Lugo;Lugo\r\n"); },
         "parece un fichero de texto que empieza por «CODIGO;NOMBRE;POBLACION;…»"},
        {"text whose first byte is no version",
         [] { return std::string("REF;NOMBRE\nA;uno\nB;dos\nC;tres\nD;cuatro\n"); },
         "el byte de versión 0x52 no es el de una tabla dBase: parece un fichero de texto"},
        {"text in Latin-1 shows its bytes in hexadecimal",
         [] {
             return std::string("0;Pe\xF1"
                                "a;Le\xF3n;Espa\xF1"
                                "a;y m\xE1s texto\n1;otra\n");
         },
         "empieza por «0;Pe<0xF1>a;Le<0xF3>n;Espa<0xF1>a;y m<0xE1>s…»"},
        {"header far past its fields, padded with blanks", [] { return LongHeader(600, ' '); },
         "la cabecera declara 697 bytes, pero su lista de campos acaba en el byte 97 y los 600 "
         "bytes que siguen no son relleno"},
        {"field name of garbage bytes, repeated",
         [] {
             std::string b = Good();
             b.replace(32, 11, "CN\xE9\xFFOMBRExx");
             b.replace(64, 11, "CN\xE9\xFFOMBRExx");
             return b;
         },
         "el campo CN<0xE9><0xFF>OMBRExx está repetido"},
    };
    TempDir dir;
    for (const NotATable& c : cases) {
        std::string path = dir.File("agentes.dbf");
        Spit(path, c.bytes());
        std::string m = Mensaje([&] { DbfTable t(path); });
        EXPECT_NE(m.find(path), std::string::npos) << c.name << ": " << m;
        EXPECT_NE(m.find(c.fragment), std::string::npos) << c.name << ": " << m;
        EXPECT_TRUE(ValidUtf8(m)) << c.name << ": " << m;
    }

    // What writers leave after the field list is no fault: Visual FoxPro's 263-byte link to
    // its database, or NULs of any length.
    std::string vfp = LongHeader(263, '\0');
    vfp.replace(32 + 64 + 1, 12, "..\\datos.dbc");
    vfp[0] = 0x30;
    Spit(dir.File("vfp.dbf"), vfp);
    DbfTable t(dir.File("vfp.dbf"));
    ASSERT_EQ(t.RecordCount(), 2u);
    EXPECT_EQ(t.Text(1, 0), "B");
    Spit(dir.File("nuls.dbf"), LongHeader(2000, '\0'));
    EXPECT_EQ(DbfTable(dir.File("nuls.dbf")).Number(1, 1), 2.5);
}

TEST(DbfFaultsTest, GarbageBytesInNamesAndValuesAreShownInHexadecimal) {
    TempDir dir;
    DbfWriter w({{"NIMP\xE9", 'N', 6, 2}, {"LACT", 'L', 1}, {"DALTA", 'D', 8}});
    w.Add({"1\xA0\x35", "\xF1", "2024\x01\x30\xFF"});
    w.Write(dir.File("basura.dbf"));
    DbfTable t(dir.File("basura.dbf"));
    std::string number = Mensaje([&] { t.Number(0, 0); });
    EXPECT_EQ(number, "tabla basura.dbf, campo NIMP<0xE9>, registro 1: «1<0xA0>5» no es un número");
    std::string logical = Mensaje([&] { t.Logical(0, 1); });
    EXPECT_EQ(logical, "tabla basura.dbf, campo LACT, registro 1: «<0xF1>» no es un valor lógico");
    std::string date = Mensaje([&] { t.DateValue(0, 2); });
    EXPECT_NE(date.find("«2024<0x01>0<0xFF> » no es una fecha"), std::string::npos) << date;
    for (const std::string& m : {number, logical, date})
        EXPECT_TRUE(ValidUtf8(m)) << m;
}

TEST(DbfFaultsTest, PathsThatAreNoRegularFilesAreNamedForWhatTheyAre) {
    TempDir dir;
    ASSERT_EQ(mkfifo(dir.File("tuberia.dbf").c_str(), 0600), 0);
    std::filesystem::create_symlink("/dev/null", dir.File("dispositivo.dbf"));
    std::filesystem::create_symlink(dir.File("no-esta.dbf"), dir.File("roto.dbf"));
    std::filesystem::create_symlink(dir.File("bucle.dbf"), dir.File("bucle.dbf"));
    std::filesystem::create_directory(dir.File("carpeta.dbf"));
    struct Case {
        const char* file;
        std::string fragment;
    } cases[] = {
        // Opening a FIFO to read would wait for a writer: the test would hang here.
        {"tuberia.dbf", "no es un fichero normal: es una tubería (FIFO)"},
        {"dispositivo.dbf", "no es un fichero normal: es un dispositivo de caracteres"},
        {"roto.dbf",
         "es un enlace roto: apunta a «" + dir.File("no-esta.dbf") + "», que no existe"},
        {"bucle.dbf", "es un enlace que acaba apuntando a sí mismo"},
        {"carpeta.dbf", "es una carpeta, no un fichero"},
        {"nada.dbf", "no existe"},
    };
    for (const Case& c : cases) {
        std::string m = Mensaje([&] { DbfTable t(dir.File(c.file)); });
        EXPECT_EQ(m, "Tabla «" + dir.File(c.file) + "»: " + c.fragment) << c.file;
    }
}

} // namespace
