// The list of companies and what running many of them leaves behind.
#include "LoteApoyo.h"
#include "TransferFixture.h"

#include <nlohmann/json.hpp>

#include <fstream>

namespace {

class LoteEmpresasTest : public TransferTest {
protected:
    void SetUp() override {
        TransferTest::SetUp();
        datos.reset(); // the batch program opens the targets
        Agentes({{{"CCODAGE", "001"}}, {{"CCODAGE", "002"}}});
    }
    std::string lista = dir.File("empresas.txt");
};

TEST_F(LoteEmpresasTest, AListSavedWithAByteOrderMarkAndWindowsLineEndsIsRead) {
    std::ofstream(lista) << "\xEF\xBB\xBF" << carpeta << "\t" << base << "\r\n";
    SalidaLote s = EjecutarLote({"--empresas", lista, "agentes"});
    EXPECT_EQ(s.estado, 0) << s.out << s.err;
    EXPECT_EQ(I(Leer("select count(*) as N from AGENTESVENTA")[0]["N"]), 2);
}

} // namespace

namespace {

namespace fs = std::filesystem;

// The folders a run of many companies left in `tmp`.
std::vector<std::string> Dejadas(const std::string& tmp) {
    std::vector<std::string> r;
    for (const auto& e : fs::directory_iterator(tmp))
        if (e.path().filename().string().rfind("traspaso-empresas-", 0) == 0)
            r.push_back(e.path().string());
    return r;
}

TEST_F(LoteEmpresasTest, LogsGoToAPrivateFolderThatGoesAfterACleanRunAndStaysAfterAFailure) {
    TempDir tmp;
    const std::string entorno = "TMPDIR=" + tmp.Path().string();
    std::ofstream(lista) << carpeta << "\t" << base << "\n";
    SalidaLote s = EjecutarLote({"--empresas", lista, "agentes"}, {entorno});
    ASSERT_EQ(s.estado, 0) << s.out << s.err;
    EXPECT_NE(s.out.find(tmp.Path().string() + "/traspaso-empresas-"), std::string::npos)
        << "the log is said, in a folder of its own\n"
        << s.out;
    EXPECT_TRUE(Dejadas(tmp.Path().string()).empty()) << "a clean run leaves no folder";

    std::ofstream(lista) << carpeta << "\t" << base << "\n"
                         << carpeta << "\t" << dir.File("no-hay.fdb") << "\n";
    s = EjecutarLote({"--empresas", lista, "agentes"}, {entorno});
    EXPECT_EQ(s.estado, 2) << s.out << s.err;
    std::vector<std::string> dejadas = Dejadas(tmp.Path().string());
    ASSERT_EQ(dejadas.size(), 1u) << s.out;
    EXPECT_NE(s.out.find("Los registros de cada empresa quedan en " + dejadas[0]),
              std::string::npos)
        << s.out;
    EXPECT_EQ(fs::status(dejadas[0]).permissions() & fs::perms::all, fs::perms::owner_all)
        << "private to its owner";
    std::string registro = LeerFichero(dejadas[0] + "/02-FacturaPlus.log");
    EXPECT_NE(registro.find("no-hay.fdb"), std::string::npos) << registro;
}

TEST_F(LoteEmpresasTest, ALinkPlantedWhereALogWouldGoIsLeftAloneAndItsTargetUnchanged) {
    const std::string registros = dir.File("registros");
    fs::create_directory(registros);
    const std::string victima = dir.File("victima.txt");
    std::ofstream(victima) << "no tocar\n";
    fs::create_symlink(victima, registros + "/01-FacturaPlus.log");
    std::ofstream(lista) << carpeta << "\t" << base << "\n";
    SalidaLote s = EjecutarLote({"--empresas", lista, "--registros", registros, "agentes"});
    EXPECT_EQ(s.estado, 0) << s.out << s.err;
    EXPECT_EQ(LeerFichero(victima), "no tocar\n");
    EXPECT_TRUE(fs::is_symlink(registros + "/01-FacturaPlus.log"));
    EXPECT_EQ(fs::read_symlink(registros + "/01-FacturaPlus.log"), victima);
    std::string log = LeerFichero(registros + "/01-FacturaPlus-2.log");
    EXPECT_NE(log.find("Agentes Añadidos: 2"), std::string::npos) << log;
    EXPECT_NE(s.out.find(registros + "/01-FacturaPlus-2.log"), std::string::npos) << s.out;
    // Given with --registros, the logs stay there, and no private folder is needed for them.
    EXPECT_EQ(
        EjecutarLote({"--empresas", lista, "--registros", dir.File("no-hay"), "agentes"}).estado,
        2);
}

TEST_F(LoteEmpresasTest, OneReportHoldsEveryCompany) {
    const std::string otra = dir.File("otra.fdb");
    CreateFixtureDatabase(otra);
    std::ofstream(lista) << "# dos empresas\n"
                         << carpeta << "\t" << base << "\n"
                         << carpeta << "\t" << otra << "\n";
    const std::string informe = dir.File("informe.json");
    SalidaLote s =
        EjecutarLote({"--empresas", lista, "-j2", "--informe", informe, "--", "agentes"});
    ASSERT_EQ(s.estado, 0) << s.out << s.err;
    nlohmann::json j = nlohmann::json::parse(LeerFichero(informe));
    EXPECT_EQ(j["programa"], "traspaso-maestros-lote");
    EXPECT_EQ(j["lista"], lista);
    EXPECT_EQ(j["completo"], true);
    EXPECT_EQ(j["estado"], 0);
    ASSERT_EQ(j["empresas"].size(), 2u);
    EXPECT_EQ(j["empresas"][0]["linea"], 2);
    EXPECT_EQ(j["empresas"][0]["destino"], base);
    EXPECT_EQ(j["empresas"][1]["linea"], 3);
    EXPECT_EQ(j["empresas"][1]["destino"], otra);
    for (const auto& e : j["empresas"]) {
        EXPECT_EQ(e["estado"], 0);
        ASSERT_EQ(e["traspasos"].size(), 1u);
        EXPECT_EQ(e["traspasos"][0]["nombre"], "agentes");
        EXPECT_EQ(e["traspasos"][0]["anadidos"], 2);
    }
    // To standard output: the document alone there, the rest on standard error.
    s = EjecutarLote({"--empresas", lista, "--informe", "-", "agentes"});
    EXPECT_EQ(s.estado, 0) << s.err;
    nlohmann::json k = nlohmann::json::parse(s.out);
    EXPECT_EQ(k["empresas"].size(), 2u);
    EXPECT_EQ(k["empresas"][0]["traspasos"][0]["actualizados"], 2);
    EXPECT_NE(s.err.find("Resumen (añadidos/actualizados/rechazados)"), std::string::npos);
}

} // namespace
