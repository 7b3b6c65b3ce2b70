// Session, alias, local SQL, declared layouts, filtered queries, open reports and lookups.
#include "Comprobar.h"
#include "DbfWriter.h"
#include "LocalSql.h"
#include "OrigenFacturaPlus.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>

namespace fs = std::filesystem;

namespace {

class SourceTest : public ::testing::Test {
protected:
    SourceTest() : origen([this](const std::string& t) { reports.push_back(t); }) {}
    void SetUp() override { origen.CrearAlias(dir.Path().string()); }
    TempDir dir;
    std::vector<std::string> reports;
    OrigenFacturaPlus origen;
};

TEST(LocalSqlTest, TheShapesTheQueriesUse) {
    LocalSelect a = ParseLocalSql("Select * from articulo");
    EXPECT_TRUE(a.columns.empty());
    EXPECT_EQ(a.table, "articulo");
    EXPECT_FALSE(a.where);
    LocalSelect s = ParseLocalSql("Select * from stocks\nwhere CREF = :PARCODIGO;");
    ASSERT_TRUE(s.where);
    EXPECT_EQ(s.where->column, "CREF");
    EXPECT_EQ(s.where->param, "PARCODIGO");
    LocalSelect p =
        ParseLocalSql("SELECT CNOMPROV, CCODPROV FROM PROVINC\nWHERE ccodprov = :parcodigo");
    EXPECT_EQ(p.columns, (std::vector<std::string>{"CNOMPROV", "CCODPROV"}));
    for (const char* bad :
         {"delete from articulo", "Select * from a where x = 'uno'", "Select * from a where x > :p",
          "Select * from a order by x", "Select from a", "Select * from a; drop"}) {
        std::string m = Mensaje([&] { ParseLocalSql(bad); });
        EXPECT_NE(m.find(std::string("«") + bad + "»"), std::string::npos) << m;
    }
}

TEST_F(SourceTest, AliasIsBuiltRebuiltAndRemoved) {
    const Alias& a = origen.Session1.GetAlias("Aux_Impor_FacturaPlus");
    EXPECT_EQ(a.type, "STANDARD");
    EXPECT_EQ(a.params.at("PATH"), dir.Path().string());
    EXPECT_EQ(a.params.at("DEFAULT DRIVER"), "DBASE");
    EXPECT_EQ(origen.Session1.SessionName(), "Session1_1");
    origen.CrearAlias("/no/existe");
    EXPECT_EQ(origen.Session1.GetAlias("AUX_IMPOR_FACTURAPLUS").params.at("PATH"), "/no/existe");
    std::string m = Mensaje([&] { origen.qAgentesVenta.Open(); });
    EXPECT_NE(m.find("/no/existe"), std::string::npos) << m;
    origen.EliminarAlias();
    EXPECT_FALSE(origen.Session1.IsAlias("Aux_Impor_FacturaPlus"));
    origen.EliminarAlias(); // nothing left to delete is not an error
}

TEST_F(SourceTest, TableNamesMatchFilesWithoutRegardToCase) {
    DbfWriter w({{"CREF", 'C', 18}, {"CCOMENT", 'C', 100}});
    w.Add({"X", "uno"});
    w.Write(dir.File("ARTCOM.DBF"));
    EXPECT_EQ(origen.NombreLargoArticulo("X"), "uno");
    std::string m = Mensaje([&] { origen.qAgentesVenta.Open(); });
    EXPECT_NE(m.find("No se encuentra la tabla «agentes»"), std::string::npos) << m;
}

TEST_F(SourceTest, LayoutIsCheckedWhenTheQueryOpens) {
    // Extra columns and other text widths open; a missing declared field does not.
    DbfWriter w({{"CREF", 'C', 30}, {"CCOMENT", 'C', 20}, {"CEXTRA", 'C', 5}});
    w.Add({"R1", "hola", "zz"});
    w.Write(dir.File("Artcom.dbf"));
    origen.qArticulosNombreLargo.SetParam("PARCODIGO", "R1");
    origen.qArticulosNombreLargo.Open();
    EXPECT_EQ(origen.qArticulosNombreLargo.FieldByName("cComent").AsString(), "hola");
    EXPECT_NE(Mensaje([&] {
                  origen.qArticulosNombreLargo.FieldByName("CEXTRA");
              }).find("qArticulosNombreLargo: el campo 'CEXTRA' no existe en la consulta"),
              std::string::npos);
    origen.qArticulosNombreLargo.Close();

    std::vector<Fila> rows = {{{"CCODCLI", "1"}}};
    WriteFacturaPlusTable(dir.Path().string(), "clientes", rows);
    std::string full = dir.File("clientes.dbf");
    // Rename the last column, CRINFORMA, so the table lacks it.
    std::string bytes;
    {
        std::ifstream in(full, std::ios::binary);
        bytes.assign(std::istreambuf_iterator<char>(in), {});
    }
    auto at = bytes.find("CRINFORMA");
    ASSERT_NE(at, std::string::npos);
    bytes.replace(at, 9, "CRINFORMX");
    std::ofstream(full, std::ios::binary)
        .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    EXPECT_EQ(Mensaje([&] { origen.qClientes.Open(); }),
              "qClientes: Campo 'CRINFORMA' no encontrado");
    EXPECT_FALSE(origen.qClientes.Active());

    DbfWriter p({{"CCODPROV", 'C', 4}, {"CNOMPROV", 'N', 4}});
    p.Write(dir.File("provinc.dbf"));
    origen.qProvincias.SetParam("parcodigo", "28");
    EXPECT_EQ(Mensaje([&] { origen.qProvincias.Open(); }),
              "qProvincias: Tipo no concuerda para el campo 'CNOMPROV'. Se espera: String. Actual: "
              "Float");
}

TEST_F(SourceTest, WalkSkipsDeletedRecordsAndReadsBlanks) {
    WriteFacturaPlusTable(dir.Path().string(), "agentes",
                          {{{"CCODAGE", "A1"}, {"CNBRAGE", "Ana"}, {"NCOM1", "1.5"}},
                           {{"CCODAGE", "B2"}, {"CNBRAGE", "Borrado"}},
                           {{"CCODAGE", " C3"}, {"CNBRAGE", "Carmen"}}},
                          0x02, {"B2"});
    SourceQuery& q = origen.qAgentesVenta;
    q.Open();
    q.First();
    std::vector<std::string> codes;
    for (; !q.Eof(); q.Next())
        codes.push_back(q.FieldByName("CCODAGE").AsString());
    EXPECT_EQ(codes, (std::vector<std::string>{"A1", " C3"}));
    EXPECT_EQ(q.DeliveredCount(), 2u);
    EXPECT_EQ(reports, (std::vector<std::string>{"Abriendo consulta de Agentes de Venta",
                                                 "Consulta de Agentes de Venta ABIERTA"}));
    q.First(); // a run that starts again begins at the first record
    EXPECT_EQ(q.FieldByName("NCOM1").AsFloat(), 1.5);
    q.Next();
    EXPECT_EQ(q.FieldByName("NCOM1").AsFloat(), 0.0);
    EXPECT_EQ(q.FieldByName("NCOM1").AsInteger(), 0);
    EXPECT_EQ(q.FieldByName("CDNINIF").AsString(), "");
    q.Close();
    EXPECT_FALSE(q.Active());
    EXPECT_EQ(q.DeliveredCount(), 0u);
}

TEST_F(SourceTest, FilteredQueriesCompareIgnoringTrailingBlanksWithCase) {
    DbfWriter w({{"CCODALM", 'C', 3},
                 {"CREF", 'C', 18},
                 {"NSTOCK", 'N', 10, 2},
                 {"NUNIDADES", 'N', 10, 2},
                 {"CPROP1", 'C', 20},
                 {"CPROP2", 'C', 20},
                 {"CUBICACION", 'C', 10}});
    w.Add({"001", "REF1", "5"}).Add({"002", "ref1", "6"}).Add({"003", "REF1  ", "7"});
    w.Add({"004", " REF1", "8"}).Add({"005", "REF1", "9"}, true).Add({"006", "REF1", "10"});
    w.Write(dir.File("stocks.dbf"));
    SourceQuery& q = origen.qStock;
    std::vector<double> seen;
    q.SetParam("ParCodigo", "REF1 ");
    q.Open();
    for (; !q.Eof(); q.Next())
        seen.push_back(q.FieldByName("NSTOCK").AsFloat());
    EXPECT_EQ(seen, (std::vector<double>{5, 7, 10})) << "file order, live rows only";
    q.Close();
    q.SetParam("PARCODIGO", "NADA");
    q.Open();
    EXPECT_TRUE(q.Eof());
    EXPECT_EQ(q.FieldByName("NSTOCK").AsFloat(), 0.0) << "no row reads as blank";
    q.Close();
    // The index is built once and reused while the file is unchanged.
    int loads = origen.Session1.TablesLoaded();
    for (int i = 0; i < 50; ++i) {
        q.SetParam("PARCODIGO", "ref1");
        q.Open();
        EXPECT_EQ(q.FieldByName("NSTOCK").AsFloat(), 6.0);
        q.Close();
    }
    EXPECT_EQ(origen.Session1.TablesLoaded(), loads);
    EXPECT_TRUE(reports.empty()) << "qStock reports nothing";
}

TEST_F(SourceTest, ChangedFileIsReadAgain) {
    DbfWriter a({{"CCODPROV", 'C', 4}, {"CNOMPROV", 'C', 30}});
    a.Add({"28", "Madrid"});
    a.Write(dir.File("PROVINC.DBF"));
    EXPECT_EQ(origen.NombreProvincia("28"), "Madrid");
    DbfWriter b({{"CCODPROV", 'C', 4}, {"CNOMPROV", 'C', 30}});
    b.Add({"28", "Madrid (capital)"}).Add({"08", "Barcelona"});
    b.Write(dir.File("PROVINC.DBF"));
    EXPECT_EQ(origen.NombreProvincia("08"), "Barcelona");
}

TEST_F(SourceTest, WithinATrustedSpanAReopenedTableIsNotLookedAtAgain) {
    DbfWriter a({{"CCODPROV", 'C', 4}, {"CNOMPROV", 'C', 30}});
    a.Add({"28", "Madrid"});
    a.Write(dir.File("PROVINC.DBF"));
    origen.Session1.ConfiarDurante(std::chrono::hours(1));
    EXPECT_EQ(origen.NombreProvincia("28"), "Madrid");
    int loads = origen.Session1.TablesLoaded();
    DbfWriter b({{"CCODPROV", 'C', 4}, {"CNOMPROV", 'C', 30}});
    b.Add({"28", "Madrid (capital)"});
    b.Write(dir.File("PROVINC.DBF"));
    EXPECT_EQ(origen.NombreProvincia("28"), "Madrid") << "the copy checked a moment ago";
    EXPECT_EQ(origen.Session1.TablesLoaded(), loads);
    origen.Session1.ConfiarDurante(std::chrono::milliseconds(0)); // forgets what it checked
    EXPECT_EQ(origen.NombreProvincia("28"), "Madrid (capital)");
    EXPECT_EQ(origen.Session1.TablesLoaded(), loads + 1);
}

TEST_F(SourceTest, LookupsAbsorbErrorsAndFollowTheirRules) {
    EXPECT_EQ(origen.NombreProvincia("28"), "") << "no PROVINC table at all";
    EXPECT_EQ(origen.NombreLargoArticulo("X"), "") << "no Artcom table at all";
    DbfWriter p({{"CCODPROV", 'C', 4}, {"CNOMPROV", 'C', 30}});
    p.Add({"28", Cp850("Santa Cruz de Tenerife (Canarias)")}).Add({"29", Cp850("Málaga")});
    p.Add({"29", "Otra"});
    p.Write(dir.File("provinc.dbf"));
    EXPECT_EQ(origen.NombreProvincia("28"), "Santa Cruz de Tenerife (C") << "cut to 25";
    EXPECT_EQ(origen.NombreProvincia("29"), "Málaga") << "the first row counts";
    EXPECT_EQ(origen.NombreProvincia("99"), "");
    EXPECT_EQ(origen.NombreProvincia(""), "");
    EXPECT_FALSE(origen.qProvincias.Active());

    DbfWriter c({{"CREF", 'C', 18}, {"CCOMENT", 'C', 100}});
    c.Add({"A", "AB"}).Add({"B", "XX"}).Add({"A", ""}).Add({"A", "CD"});
    c.Write(dir.File("artcom.dbf"));
    EXPECT_EQ(origen.NombreLargoArticulo("A"), "ABCD");
    EXPECT_EQ(origen.NombreLargoArticulo("Z"), "");
    EXPECT_EQ(origen.NombreLargoArticulo(""), "");
    EXPECT_FALSE(origen.qArticulosNombreLargo.Active());
    EXPECT_TRUE(reports.empty());
}

TEST_F(SourceTest, TheFolderIsNeverWritten) {
    WriteFacturaPlusTable(dir.Path().string(), "agentes",
                          {{{"CCODAGE", "A1"}, {"CCODPROV", "28"}}});
    DbfWriter p({{"CCODPROV", 'C', 4}, {"CNOMPROV", 'C', 30}});
    p.Add({"28", "Madrid"});
    p.Write(dir.File("PROVINC.dbf"));
    auto snapshot = [&] {
        std::map<std::string, std::pair<std::string, fs::file_time_type>> s;
        for (const auto& e : fs::directory_iterator(dir.Path())) {
            std::ifstream in(e.path(), std::ios::binary);
            s[e.path().filename().string()] = {std::string(std::istreambuf_iterator<char>(in), {}),
                                               fs::last_write_time(e.path())};
        }
        return s;
    };
    auto before = snapshot();
    origen.qAgentesVenta.Open();
    for (; !origen.qAgentesVenta.Eof(); origen.qAgentesVenta.Next())
        origen.NombreProvincia(origen.qAgentesVenta.FieldByName("CCODPROV").AsString());
    origen.qAgentesVenta.Close();
    EXPECT_EQ(snapshot(), before);
}

} // namespace
