// A table that another program changes while a query walks it: cut short, replaced, removed or
// rewritten, it ends the walk with an error that names it; grown, it is walked to the end. The
// records already read stay readable either way, and nothing crashes.
#include "DbfWriter.h"
#include "Session.h"
#include "SourceQuery.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

constexpr std::size_t kRecords = 3 * SourceQuery::kRecordsBetweenChecks;
const std::vector<FieldDecl> kLayout = {{"CCOD", FieldKind::Text, 6},
                                        {"NIMP", FieldKind::Float, 0}};

std::string Table(std::size_t records, int first = 0) {
    DbfWriter w({{"CCOD", 'C', 6}, {"NIMP", 'N', 8, 2}});
    for (std::size_t i = 0; i < records; ++i)
        w.Add({"C" + std::to_string(first + i), std::to_string(i) + ".5"});
    return w.Bytes();
}

void Spit(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary)
        .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

class ChangedTableTest : public ::testing::Test {
protected:
    void SetUp() override {
        session.AddStandardAlias("Datos", dir.Path().string(), "DBASE");
        query.SetDatabaseName("Datos");
        Spit(path, Table(kRecords));
    }
    // Walks the rest of the query, reading each record; the error that ends it, or "".
    std::string WalkToTheEnd(std::size_t& walked) {
        try {
            for (; !query.Eof(); query.Next(), ++walked)
                (void)query.FieldByName("CCOD").AsString();
        } catch (const DbfError& e) {
            return e.what();
        }
        return "";
    }

    TempDir dir;
    std::string path = dir.File("cuentas.dbf");
    Session session{"Prueba"};
    SourceQuery query{session, "qCuentas", 0, {"select * from cuentas"}, kLayout};
};

TEST_F(ChangedTableTest, ChangesMidWalkEndItWithAnErrorNamingTheTable) {
    struct Case {
        const char* name;
        std::function<void(const std::string&)> change;
        std::string why; // "" when the walk must go on to the end
    } cases[] = {
        {"cut in half",
         [](const std::string& p) { ASSERT_EQ(truncate(p.c_str(), fs::file_size(p) / 2), 0); },
         "se ha acortado de"},
        {"emptied, as a copy over it starts",
         [](const std::string& p) { ASSERT_EQ(truncate(p.c_str(), 0), 0); }, "a 0 bytes"},
        {"replaced by renaming another file over it",
         [this](const std::string& p) {
             Spit(dir.File("nuevo.tmp"), Table(kRecords, 100000));
             fs::rename(dir.File("nuevo.tmp"), p);
         },
         "otro fichero ha ocupado su lugar"},
        {"removed", [](const std::string& p) { fs::remove(p); }, "ya no está en la carpeta"},
        {"rewritten in place with another record length",
         [](const std::string& p) {
             std::fstream f(p, std::ios::in | std::ios::out | std::ios::binary);
             f.seekp(10);
             f.put('\x07');
         },
         "su cabecera ya no es la que se leyó"},
        {"grown by records added at the end",
         [](const std::string& p) {
             std::string more = Table(kRecords + 10);
             std::fstream f(p, std::ios::in | std::ios::out | std::ios::binary);
             f.write(more.data(), static_cast<std::streamsize>(more.size()));
         },
         ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Spit(path, Table(kRecords));
        query.Open();
        for (int i = 0; i < 10; ++i) {
            query.Next();
            (void)query.FieldByName("CCOD").AsString();
        }
        c.change(path);
        // The record the walk is on stays readable: it was read into the program's own memory.
        EXPECT_EQ(query.FieldByName("CCOD").AsString(), "C10");
        EXPECT_EQ(query.FieldByName("NIMP").AsFloat(), 10.5);
        std::size_t walked = 0;
        std::string error = WalkToTheEnd(walked);
        if (c.why.empty()) {
            EXPECT_EQ(error, "");
            EXPECT_EQ(walked, kRecords - 10) << "the records read at the start, no more";
        } else {
            EXPECT_NE(error.find("qCuentas: Tabla «" + path + "»: ha cambiado durante el traspaso"),
                      std::string::npos)
                << error;
            EXPECT_NE(error.find(c.why), std::string::npos) << error;
            EXPECT_LE(walked, SourceQuery::kRecordsBetweenChecks) << "noticed within a stretch";
        }
        query.Close();
    }
}

// Records are read from the file as the walk reaches them: one deleted or brought back under the
// walk, or garbage where a deletion flag was, ends it as a change, never as another row.
TEST_F(ChangedTableTest, ARecordRewrittenInPlaceAheadOfTheWalkEndsIt) {
    struct Case {
        char flag;
        const char* why;
    } cases[] = {{'*', "el registro 2001 se ha borrado"},
                 {'\x07', "el registro 2001 tiene ahora la marca de borrado 0x07"}};
    for (const Case& c : cases) {
        Spit(path, Table(kRecords));
        query.Open();
        (void)query.FieldByName("CCOD").AsString();
        {
            std::fstream f(path, std::ios::in | std::ios::out | std::ios::binary);
            const std::streamoff header = 32 + 2 * 32 + 1, record = 1 + 6 + 8;
            f.seekp(header + 2000 * record);
            f.put(c.flag);
        }
        std::size_t walked = 0;
        std::string error = WalkToTheEnd(walked);
        EXPECT_NE(error.find("ha cambiado durante el traspaso (" + std::string(c.why) + ")"),
                  std::string::npos)
            << error;
        // Noticed when the piece of the file that holds it is read, before it is delivered.
        EXPECT_LE(walked, 2000u);
        EXPECT_GE(walked + SourceQuery::kRecordsBetweenChecks, 2000u);
        query.Close();
    }
    // A deleted record brought back is a change as well.
    DbfWriter w({{"CCOD", 'C', 6}, {"NIMP", 'N', 8, 2}});
    for (std::size_t i = 0; i < kRecords; ++i)
        w.Add({"C" + std::to_string(i), "1"}, i == 2500);
    Spit(path, w.Bytes());
    query.Open();
    EXPECT_EQ(query.RowCount(), kRecords - 1);
    {
        std::fstream f(path, std::ios::in | std::ios::out | std::ios::binary);
        f.seekp(32 + 2 * 32 + 1 + 2500 * 15);
        f.put(' ');
    }
    std::size_t walked = 0;
    EXPECT_NE(WalkToTheEnd(walked).find("el registro 2501 se ha recuperado"), std::string::npos);
    query.Close();
}

// The grid reads delivered rows again; when the file has been cut under them it shows an error
// mark in their place, and the lookups of a side table cut under its index give nothing.
TEST_F(ChangedTableTest, RowsReadAgainFromACutFileAreMarksNotCrashes) {
    query.Open();
    std::size_t walked = 0;
    ASSERT_EQ(WalkToTheEnd(walked), "");
    ASSERT_EQ(query.DeliveredCount(), kRecords);
    ASSERT_EQ(truncate(path.c_str(), 32 + 2 * 32 + 1 + 100 * 15), 0);
    EXPECT_EQ(query.DisplayText(kRecords - 1, 0), "C" + std::to_string(kRecords - 1))
        << "the last rows walked are at hand";
    query.Table()->ReleaseBuffers();
    EXPECT_EQ(query.DisplayText(5, 0), "C5") << "still in the file";
    EXPECT_EQ(query.DisplayText(99, 1), "99.5") << "the last record the file still holds";
    EXPECT_EQ(query.DisplayText(kRecords - 2, 0), "#error");
    EXPECT_EQ(query.DisplayText(100, 1), "#error");
    query.Close();

    SourceQuery filtered{session, "qFiltro", 0, {"select * from cuentas where CCOD = :p"}, kLayout};
    filtered.SetDatabaseName("Datos");
    Spit(path, Table(kRecords));
    session.ConfiarDurante(std::chrono::hours(1)); // a run that takes the table as it was
    filtered.SetParam("p", "C7");
    filtered.Open();
    EXPECT_EQ(filtered.FieldByName("NIMP").AsFloat(), 7.5);
    filtered.Table()->ReleaseBuffers(); // nothing of it left in memory but its index
    filtered.Close();
    ASSERT_EQ(truncate(path.c_str(), 32 + 2 * 32 + 1 + 1000 * 15), 0);
    filtered.SetParam("p", "C3000");
    std::string error;
    try {
        filtered.Open();
    } catch (const DbfError& e) {
        error = e.what();
    }
    EXPECT_NE(error.find("qFiltro: Tabla «" + path + "»: ha cambiado durante el traspaso"),
              std::string::npos)
        << error;
    EXPECT_FALSE(filtered.Active());
}

TEST_F(ChangedTableTest, TheNextOpeningReadsTheNewFile) {
    query.Open();
    query.Next();
    Spit(dir.File("nuevo.tmp"), Table(5, 500));
    fs::rename(dir.File("nuevo.tmp"), path);
    std::size_t walked = 0;
    EXPECT_NE(WalkToTheEnd(walked), "");
    query.Close();
    query.Open();
    EXPECT_EQ(query.RowCount(), 5u);
    EXPECT_EQ(query.FieldByName("CCOD").AsString(), "C500");
}

// A query opened again and again keeps its columns bound while its table is the same; a new file
// with the fields in another order, and another field before them, is read by its own columns.
TEST_F(ChangedTableTest, ANewFileWithItsFieldsElsewhereIsReadByItsOwnColumns) {
    query.Open();
    EXPECT_EQ(query.FieldByName("CCOD").AsString(), "C0");
    query.Close();
    query.Open();
    EXPECT_EQ(query.FieldByName("NIMP").AsFloat(), 0.5);
    query.Close();
    DbfWriter w({{"CNOTA", 'C', 10}, {"NIMP", 'N', 8, 2}, {"CCOD", 'C', 6}});
    w.Add({"nota", "7.25", "X1"});
    Spit(dir.File("nuevo.tmp"), w.Bytes());
    fs::rename(dir.File("nuevo.tmp"), path);
    query.Open();
    EXPECT_EQ(query.FieldByName("CCOD").AsString(), "X1");
    EXPECT_EQ(query.FieldByName("NIMP").AsFloat(), 7.25);
}

TEST_F(ChangedTableTest, TheSessionReusesAFileOnlyWhileItIsTheSameFile) {
    query.Open();
    query.Close();
    int loads = session.TablesLoaded();
    query.Open();
    query.Close();
    EXPECT_EQ(session.TablesLoaded(), loads) << "unchanged: reused";

    // Another file of the same size and time put in its place is read anew.
    struct stat before {};
    ASSERT_EQ(stat(path.c_str(), &before), 0);
    Spit(dir.File("nuevo.tmp"), Table(kRecords, 90000));
    const struct timespec times[2] = {before.st_atim, before.st_mtim};
    ASSERT_EQ(utimensat(AT_FDCWD, dir.File("nuevo.tmp").c_str(), times, 0), 0);
    fs::rename(dir.File("nuevo.tmp"), path);
    query.Open();
    EXPECT_EQ(session.TablesLoaded(), loads + 1);
    EXPECT_EQ(query.FieldByName("CCOD").AsString(), "C90000");
}

} // namespace
