// Tables are read a window of records at a time: every record must read as written whatever the
// order of the reads (a walk, the grid going back, lookups that jump), with records of any
// length and deleted records anywhere; and a session forgets what a run read once it ends.
#include "Comprobar.h"
#include "DbfWriter.h"
#include "OrigenFacturaPlus.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <set>

namespace {

struct Written {
    std::vector<std::string> codes;
    std::vector<bool> deleted;
    std::vector<uint32_t> live; // record numbers of the live ones, in order
};

// `records` records whose code and amount follow from their number; deleted: every seventh, the
// first and the last, and a run of fifty in the middle. `filler` widens each record.
Written Write(const std::string& path, uint32_t records, int filler) {
    std::vector<DbfColumn> columns = {{"CCOD", 'C', 8}, {"NIMP", 'N', 10, 2}};
    for (int i = 0; i < filler; ++i)
        columns.push_back({"CRELLENO" + std::to_string(i), 'C', 254});
    DbfWriter w(columns);
    Written out;
    for (uint32_t r = 0; r < records; ++r) {
        bool deleted =
            r % 7 == 3 || r == 0 || r + 1 == records || (r >= records / 2 && r < records / 2 + 50);
        std::vector<std::string> values = {"C" + std::to_string(r), std::to_string(r) + ".25"};
        for (int i = 0; i < filler; ++i)
            values.push_back(std::string(200, static_cast<char>('a' + (r + i) % 26)));
        w.Add(values, deleted);
        out.codes.push_back("C" + std::to_string(r));
        out.deleted.push_back(deleted);
        if (!deleted) out.live.push_back(r);
    }
    w.Write(path);
    return out;
}

// Reads every record in `order`, and says which read otherwise than written.
std::vector<std::string> Misread(const DbfTable& t, const Written& w,
                                 const std::vector<uint32_t>& order) {
    std::vector<std::string> wrong;
    for (uint32_t r : order) {
        bool ok = t.Text(r, 0) == w.codes[r] && t.Number(r, 1) == r + 0.25 &&
                  t.IsDeleted(r) == w.deleted[r];
        if (!ok && wrong.size() < 10) wrong.push_back(std::to_string(r));
    }
    return wrong;
}

TEST(WindowedReadTest, EveryRecordReadsAsWrittenInAnyOrder) {
    TempDir dir;
    struct Size {
        const char* name;
        uint32_t records;
        int filler; // 20 x 254 bytes: each record larger than the smallest window
    } sizes[] = {{"short records", 20000, 0}, {"records of 5 KB", 300, 20}};
    for (const Size& size : sizes) {
        SCOPED_TRACE(size.name);
        const std::string path = dir.File("tabla.dbf");
        Written w = Write(path, size.records, size.filler);
        DbfTable t(path);
        ASSERT_EQ(t.RecordCount(), size.records);
        ASSERT_EQ(t.LiveCount(), w.live.size());

        std::vector<uint32_t> forward, backward, jumping, twoCursors;
        for (uint32_t r = 0; r < size.records; ++r) {
            forward.push_back(r);
            backward.push_back(size.records - 1 - r);
            jumping.push_back(static_cast<uint32_t>((r * 7919ull) % size.records));
            // A walk and a grid that looks back at what was delivered a while ago.
            twoCursors.push_back(r);
            twoCursors.push_back(r / 3);
        }
        EXPECT_EQ(Misread(t, w, forward), std::vector<std::string>{});
        EXPECT_EQ(Misread(t, w, backward), std::vector<std::string>{});
        EXPECT_EQ(Misread(t, w, jumping), std::vector<std::string>{});
        EXPECT_EQ(Misread(t, w, twoCursors), std::vector<std::string>{});
        t.ReleaseBuffers();
        EXPECT_EQ(Misread(t, w, jumping), std::vector<std::string>{}) << "read again";

        std::vector<uint32_t> live;
        for (uint32_t n = 0; n < t.LiveCount(); ++n)
            live.push_back(t.LiveRecord(n));
        EXPECT_EQ(live, w.live);
    }
}

TEST(WindowedReadTest, AQueryWalksTheLiveRecordsAndTheGridReadsEveryDeliveredRowAgain) {
    TempDir dir;
    Session session("Prueba");
    session.AddStandardAlias("Datos", dir.Path().string(), "DBASE");
    Written w = Write(dir.File("cuentas.dbf"), 5000, 0);
    SourceQuery q(session, "qCuentas", 0, {"select * from cuentas"},
                  {{"CCOD", FieldKind::Text, 8}, {"NIMP", FieldKind::Float, 0}});
    q.SetDatabaseName("Datos");
    q.Open();
    EXPECT_EQ(q.RowCount(), w.live.size());
    const int code = q.FieldNo("ccod");
    std::vector<std::string> walked;
    for (; !q.Eof(); q.Next()) {
        EXPECT_EQ(q.DeliveredCount(), walked.size() + 1);
        walked.push_back(q.Field(code).AsString());
        EXPECT_EQ(q.CurrentRecord(), w.live[walked.size() - 1]);
    }
    ASSERT_EQ(walked.size(), w.live.size());
    for (std::size_t i = 0; i < walked.size(); ++i)
        ASSERT_EQ(walked[i], w.codes[w.live[i]]) << i;
    // The grid keeps every delivered row, first to last and back again.
    EXPECT_EQ(q.DeliveredCount(), walked.size());
    for (std::size_t row = walked.size(); row-- > 0;)
        ASSERT_EQ(q.DisplayText(row, 0), walked[row]) << row;
    EXPECT_EQ(q.DisplayText(0, 1), std::to_string(w.live[0]) + ".25");
    EXPECT_EQ(q.DisplayText(walked.size(), 0), "") << "not delivered";
    q.Close();
    EXPECT_EQ(q.DeliveredCount(), 0u);
}

TEST(WindowedReadTest, FieldsAreFoundByNameOnceOrEveryTimeAlike) {
    TempDir dir;
    OrigenFacturaPlus origen(nullptr);
    origen.CrearAlias(dir.Path().string());
    WriteFacturaPlusTable(dir.Path().string(), "agentes",
                          {{{"CCODAGE", "A1"}, {"CNBRAGE", "Ana"}, {"EMAIL", "a@b.es"}}});
    SourceQuery& q = origen.qAgentesVenta;
    q.Open();
    for (std::size_t i = 0; i < q.Fields().size(); ++i) {
        const std::string name = q.Fields()[i].name;
        std::string lower = name;
        for (char& c : lower)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        EXPECT_EQ(q.FieldNo(name), static_cast<int>(i));
        EXPECT_EQ(q.FieldNo(lower), static_cast<int>(i));
        EXPECT_EQ(q.Field(q.FieldNo(lower)).AsString(), q.FieldByName(name).AsString());
    }
    EXPECT_EQ(q.FieldByName("cNbRaGe").AsString(), "Ana");
    EXPECT_THROW_MSG(q.FieldNo("CNBRAGEX"), DbfError,
                     "qAgentesVenta: el campo 'CNBRAGEX' no existe en la consulta");
    EXPECT_THROW_MSG(q.FieldNo(std::string(40, 'C')), DbfError, "no existe en la consulta");
    EXPECT_THROW_MSG(q.FieldNo(""), DbfError, "el campo '' no existe en la consulta");
    q.Close();
}

// What a run opened is forgotten when it ends: a table no query holds is read anew next time;
// one a query still holds keeps answering, its index built again when it is asked.
TEST(WindowedReadTest, TheSessionLetsGoOfWhatARunRead) {
    TempDir dir;
    OrigenFacturaPlus origen(nullptr);
    origen.CrearAlias(dir.Path().string());
    WriteFacturaPlusTable(dir.Path().string(), "stocks",
                          {{{"CREF", "R1"}, {"NSTOCK", "4"}},
                           {{"CREF", "R2"}, {"NSTOCK", "5"}},
                           {{"CREF", "R1"}, {"NSTOCK", "6"}}});
    WriteFacturaPlusTable(dir.Path().string(), "agentes", {{{"CCODAGE", "A1"}}});
    auto stocks = [&](const std::string& ref) {
        SourceQuery& s = origen.qStock;
        s.Close();
        s.SetParam("PARCODIGO", ref);
        s.Open();
        std::vector<double> v;
        for (; !s.Eof(); s.Next())
            v.push_back(s.FieldByName("NSTOCK").AsFloat());
        return v;
    };
    EXPECT_EQ(stocks("R1"), (std::vector<double>{4, 6}));
    origen.qAgentesVenta.Open();
    origen.qAgentesVenta.Close();
    int loads = origen.Session1.TablesLoaded();
    EXPECT_EQ(stocks("R2"), (std::vector<double>{5}));
    EXPECT_EQ(origen.Session1.TablesLoaded(), loads) << "kept while the session holds it";

    origen.qStock.Close();
    origen.qStock.SetParam("PARCODIGO", "R2");
    origen.qStock.Open();
    origen.Session1.SoltarTablas(); // qStock is still open, the agents are not
    EXPECT_EQ(origen.qStock.FieldByName("NSTOCK").AsFloat(), 5) << "the held one still reads";
    EXPECT_EQ(stocks("R1"), (std::vector<double>{4, 6})) << "its index built again";
    EXPECT_EQ(origen.Session1.TablesLoaded(), loads) << "the held table was not forgotten";
    origen.qAgentesVenta.Open();
    EXPECT_EQ(origen.Session1.TablesLoaded(), loads + 1) << "the agents were";
    origen.qAgentesVenta.Close();
    origen.qStock.Close();
    origen.Session1.SoltarTablas();
    EXPECT_EQ(stocks("R2"), (std::vector<double>{5}));
    EXPECT_EQ(origen.Session1.TablesLoaded(), loads + 2);
}

} // namespace
