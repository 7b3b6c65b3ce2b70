// The batch program's tools for people who migrate many companies: dry run, report, review,
// grouped commits and a list of companies.
#include "TransferFixture.h"

#include <nlohmann/json.hpp>

#include <fstream>
#include <sys/wait.h>

namespace {

struct Salida {
    int estado = -1;
    std::string out, err;
};

Salida Lote(const std::vector<std::string>& args) {
    TempDir tmp;
    std::string cmd = LOTE;
    for (const std::string& a : args)
        cmd += " '" + a + "'";
    cmd += " >" + tmp.File("out") + " 2>" + tmp.File("err");
    // What a run of many companies keeps (its logs, after a failure) goes with this folder.
    cmd = "TMPDIR='" + tmp.Path().string() + "' " + cmd;
    int rc = std::system(cmd.c_str());
    return {WIFEXITED(rc) ? WEXITSTATUS(rc) : -1, LeerFichero(tmp.File("out")),
            LeerFichero(tmp.File("err"))};
}

// Every row of every table a transfer writes, as text, to compare a target before and after.
std::string Volcado(const std::string& base) {
    std::string v;
    for (const char* t :
         {"AGENTESVENTA", "CLIENTES", "DOMICILIOSCOBRO", "PROVEEDORES", "FAMILIASARTICULOS",
          "ARTICULOS", "TARIFASARTICULOS", "INTERVALOSTARIFASARTICULOS", "ARTICULOSALMACEN"}) {
        v += std::string("== ") + t + "\n";
        for (const Row& r : QueryRows(base, std::string("select * from ") + t + " order by 1")) {
            for (const auto& [columna, valor] : r)
                v += columna + "=" +
                     std::visit(
                         [](const auto& x) -> std::string {
                             using T = std::decay_t<decltype(x)>;
                             if constexpr (std::is_same_v<T, std::monostate>)
                                 return "NULL";
                             else if constexpr (std::is_same_v<T, std::string>)
                                 return x;
                             else if constexpr (std::is_same_v<T, Timestamp>)
                                 return x.ToString();
                             else
                                 return std::to_string(x);
                         },
                         valor) +
                     ";";
            v += "\n";
        }
    }
    return v;
}

class LoteHerramientasTest : public TransferTest {
protected:
    void SetUp() override {
        TransferTest::SetUp();
        datos.reset(); // the batch program opens the target
        Tabla("Artcom", {});
        Tabla("stocks", {{{"CREF", "A1"}, {"NSTOCK", "5"}}});
        Tabla("familias", {{{"CCODFAM", "FERR"}, {"CNOMFAM", "Ferretería"}},
                           {{"CCODFAM", "PAPE"}, {"CNOMFAM", "Papelería"}}});
        Tabla("articulo", {{{"CREF", "A1"}, {"CCODFAM", "FERR"}, {"NPVP", "2"}},
                           {{"CREF", "A2"}, {"CCODFAM", "XXXX"}}});
        Agentes({{{"CCODAGE", "001"}, {"CNBRAGE", "Ana"}},
                 {{"CCODAGE", "002"}, {"EMAIL", std::string(45, 'e')}},
                 {{"CCODAGE", "003"}, {"CNBRAGE", "Íñigo"}}});
        Tabla("clientes", {{{"CCODCLI", "1"}, {"CCODAGE", "001"}}, {{"CCODCLI", "2"}}});
    }
    std::vector<std::string> Todo(std::vector<std::string> antes) {
        antes.insert(antes.end(),
                     {"--origen", carpeta, "--destino", base, "agentes", "clientes", "articulos"});
        return antes;
    }
};

TEST_F(LoteHerramientasTest, DryRunLeavesEveryRowAsItWasAndForetellsTheRealRun) {
    // A target that already holds some of the codes.
    Ejecutar("insert into AGENTESVENTA (IDAGENTESVENTA, CODIGO, NOMBRE) values (90, '003', 'x')");
    Ejecutar("insert into CLIENTES (IDCLIENTES, CODIGO, NOMBRE) values (91, '2', 'y')");
    std::string antes = Volcado(base);
    Salida ensayo = Lote(Todo({"--ensayo"}));
    EXPECT_EQ(ensayo.estado, 1) << ensayo.err;
    EXPECT_EQ(Volcado(base), antes) << "a dry run leaves every row as it was";
    EXPECT_NE(ensayo.out.find("solo los generadores"), std::string::npos) << ensayo.out;

    Salida real = Lote(Todo({}));
    EXPECT_EQ(real.estado, 1) << real.err;
    auto resumenes = [](const std::string& out) {
        std::string r;
        for (std::size_t i = 0; (i = out.find("Añadid", i)) != std::string::npos; ++i)
            r += out.substr(out.rfind('\n', i) + 1, out.find('\n', i) - out.rfind('\n', i));
        return r;
    };
    EXPECT_EQ(resumenes(ensayo.out), resumenes(real.out));
    EXPECT_NE(resumenes(real.out).find("Agentes Añadidos: 1,   Actualizados: 1"), std::string::npos)
        << real.out;
    EXPECT_EQ(ensayo.err, real.err) << "the same refusals, each with its table, record and code";
    EXPECT_NE(real.err.find("Aviso: agentes.dbf, registro 2, código «002»: Parámetro EMAIL1"),
              std::string::npos)
        << real.err;
    EXPECT_NE(Volcado(base), antes);
}

TEST_F(LoteHerramientasTest, ReportIsStrictJsonWithTheRunsCountsAndWarnings) {
    std::string ruta = dir.File("informe.json");
    Salida s = Lote(Todo({"--informe", ruta}));
    ASSERT_EQ(s.estado, 1) << s.err;
    nlohmann::json j = nlohmann::json::parse(LeerFichero(ruta)); // throws on anything not JSON
    EXPECT_EQ(j["origen"], carpeta);
    EXPECT_EQ(j["destino"], base);
    EXPECT_EQ(j["modo"], "traspaso");
    EXPECT_EQ(j["completo"], true);
    EXPECT_EQ(j["estado"], 1);
    EXPECT_TRUE(j["error"].is_null());
    ASSERT_EQ(j["traspasos"].size(), 4u);
    auto& a = j["traspasos"][0];
    EXPECT_EQ(a["nombre"], "agentes");
    EXPECT_EQ(a["anadidos"], 2);
    EXPECT_EQ(a["actualizados"], 0);
    EXPECT_EQ(a["rechazados"], 1);
    EXPECT_EQ(a["registros"], 3);
    ASSERT_EQ(a["avisos"].size(), 1u);
    EXPECT_EQ(a["avisos"][0]["registro"], 2);
    EXPECT_EQ(a["avisos"][0]["codigo"], "002");
    EXPECT_EQ(a["avisos"][0]["parametro"], "EMAIL1");
    EXPECT_EQ(a["tablas"][0]["fichero"], "agentes.dbf");
    EXPECT_EQ(a["tablas"][0]["paginaDeCodigos"], 850);
    EXPECT_EQ(a["tablas"][0]["cabeceraCuadra"], true);
    EXPECT_EQ(j["traspasos"][2]["nombre"], "familias");
    EXPECT_EQ(j["traspasos"][3]["nombre"], "articulos");
    EXPECT_EQ(j["traspasos"][3]["anadidos"], 2);

    // A run that an error ends still writes what it has, marked incomplete.
    std::filesystem::remove(carpeta + "/clientes.dbf");
    Salida e = Lote(Todo({"--informe", ruta}));
    EXPECT_EQ(e.estado, 2);
    nlohmann::json k = nlohmann::json::parse(LeerFichero(ruta));
    EXPECT_EQ(k["completo"], false);
    EXPECT_NE(k["error"].get<std::string>().find("clientes.dbf"), std::string::npos) << k["error"];
    ASSERT_GE(k["traspasos"].size(), 1u);
    EXPECT_EQ(k["traspasos"][0]["actualizados"], 2);
}

TEST_F(LoteHerramientasTest, ReviewFindsEachPlantedCaseAndWritesNothing) {
    Agentes({{{"CCODAGE", "001"}},
             {{"CCODAGE", "002"}, {"EMAIL", std::string(45, 'e')}},
             {{"CCODAGE", "001"}}});
    Tabla("familias", {{{"CCODFAM", "FERR"}}, {{"CCODFAM", "FERRE"}}});
    // A header that promises a record the file does not hold.
    DbfWriter corto({{"CCODPROV", 'C', 4, 0}, {"CNOMPROV", 'C', 30, 0}});
    corto.Add({"28", "Madrid"});
    corto.recordCountOverride = 2;
    corto.Write(carpeta + "/PROVINC.dbf");
    Agentes({{{"CCODAGE", "001"}, {"CCODPROV", "28"}},
             {{"CCODAGE", "002"}, {"EMAIL", std::string(45, 'e')}},
             {{"CCODAGE", "001"}}});
    std::string antes = Volcado(base);
    Salida s = Lote(Todo({"--revisar"}));
    EXPECT_EQ(s.estado, 1);
    EXPECT_EQ(Volcado(base), antes) << "a review writes nothing";
    EXPECT_NE(s.err.find("código «001»: El código «001» ya está en el registro 1"),
              std::string::npos)
        << s.err;
    EXPECT_NE(s.err.find("El código «FERRE» se escribe «FERR», igual que el «FERR» del registro 1"),
              std::string::npos)
        << s.err;
    EXPECT_NE(s.err.find("código «002»: Parámetro EMAIL1: el texto"), std::string::npos) << s.err;
    EXPECT_NE(s.err.find("La familia «XXXX» no está en el destino"), std::string::npos) << s.err;
    EXPECT_EQ(s.err.find("La familia «FERR»"), std::string::npos)
        << "the families the same run would write are not missing";
    EXPECT_EQ(s.err.find("El agente «001»"), std::string::npos) << s.err;
    EXPECT_NE(s.err.find("PROVINC.dbf"), std::string::npos) << "the header count: " << s.err;
    EXPECT_NE(s.out.find("agentes.dbf: página de códigos 850"), std::string::npos) << s.out;
}

TEST_F(LoteHerramientasTest, GroupedCommitsStillTakeEveryRecordAndSkipTheFailingOneAlone) {
    std::vector<Fila> filas;
    for (int i = 1; i <= 120; ++i)
        filas.push_back({{"CCODAGE", std::to_string(i)},
                         {"EMAIL", i == 77 ? std::string(45, 'e') : std::string("a@b.es")}});
    Agentes(filas);
    Salida s = Lote({"--confirmar-cada", "50", "--origen", carpeta, "--destino", base, "agentes"});
    EXPECT_EQ(s.estado, 1) << s.err;
    EXPECT_NE(s.err.find("código «77»: Parámetro EMAIL1"), std::string::npos) << s.err;
    EXPECT_NE(s.out.find("Agentes Añadidos: 119,   Actualizados: 0"), std::string::npos) << s.out;
    EXPECT_EQ(I(Leer("select count(*) as N from AGENTESVENTA")[0]["N"]), 119);
    EXPECT_TRUE(Leer("select CODIGO from AGENTESVENTA where CODIGO = '77'").empty());
    EXPECT_EQ(
        Lote({"--confirmar-cada", "0", "--origen", carpeta, "--destino", base, "agentes"}).estado,
        2);
}

TEST_F(LoteHerramientasTest, ListOfCompaniesRunsEachAndTheWorstStatusWins) {
    std::string otra = dir.File("otra.fdb");
    CreateFixtureDatabase(otra);
    std::string lista = dir.File("empresas.txt");
    std::ofstream(lista) << "# origen\tdestino\n"
                         << carpeta << "\t" << base << "\n\n"
                         << carpeta << "\t" << dir.File("no-existe.fdb") << "\n"
                         << carpeta << "\t" << otra << "\n";
    Salida s = Lote({"--empresas", lista, "agentes"});
    EXPECT_EQ(s.estado, 2) << s.out << s.err;
    EXPECT_NE(s.out.find("Resumen (añadidos/actualizados/rechazados)"), std::string::npos) << s.out;
    EXPECT_NE(s.out.find("[2/3]"), std::string::npos);
    EXPECT_EQ(I(Leer("select count(*) as N from AGENTESVENTA")[0]["N"]), 2);
    EXPECT_EQ(I(QueryRows(otra, "select count(*) as N from AGENTESVENTA")[0]["N"]), 2);
    // The table: the two complete runs, the failure.
    std::size_t lineas = 0;
    for (std::size_t i = s.out.find("Resumen"); (i = s.out.find(carpeta, i)) != std::string::npos;
         i += carpeta.size())
        ++lineas;
    EXPECT_GE(lineas, 3u);
    EXPECT_NE(s.out.find("2/0/1"), std::string::npos) << s.out;

    // Two at a time gives the same rows as one at a time.
    std::string una = dir.File("una.fdb"), dos = dir.File("dos.fdb");
    CreateFixtureDatabase(una);
    CreateFixtureDatabase(dos);
    std::ofstream(lista, std::ios::trunc) << carpeta << "\t" << una << "\n";
    EXPECT_EQ(Lote({"--empresas", lista, "agentes", "clientes"}).estado, 1);
    std::ofstream(lista, std::ios::trunc) << carpeta << "\t" << dos << "\n"
                                          << carpeta << "\t" << otra << "\n";
    EXPECT_EQ(Lote({"--empresas", lista, "-j", "2", "agentes", "clientes"}).estado, 1);
    auto filas = [](const std::string& b) {
        return QueryRows(b, "select CODIGO, NOMBRE, EMAIL1 from AGENTESVENTA order by CODIGO");
    };
    EXPECT_EQ(filas(una), filas(dos));
    EXPECT_EQ(QueryRows(una, "select CODIGO, NOMBRE from CLIENTES order by CODIGO"),
              QueryRows(dos, "select CODIGO, NOMBRE from CLIENTES order by CODIGO"));
}

TEST_F(LoteHerramientasTest, ProgressLinesWithoutATerminal) {
    // Standard error is a file here: no progress bar, no control characters.
    Salida s = Lote({"--origen", carpeta, "--destino", base, "agentes"});
    EXPECT_EQ(s.err.find('\r'), std::string::npos);
}

} // namespace
