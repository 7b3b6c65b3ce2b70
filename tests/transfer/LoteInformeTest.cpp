// Where the batch program's report may go: never over the target database or into the source
// folder, never over a file that is not one of its reports, and never left half written.
#include "LoteApoyo.h"
#include "TransferFixture.h"

#include <nlohmann/json.hpp>

#include <fstream>
#include <sys/stat.h>

namespace fs = std::filesystem;

namespace {

class LoteInformeTest : public TransferTest {
protected:
    void SetUp() override {
        TransferTest::SetUp();
        datos.reset(); // the batch program opens the target
        Agentes({{{"CCODAGE", "001"}}, {{"CCODAGE", "002"}}});
    }
    SalidaLote Correr(const std::string& informe, const std::string& destino = "") {
        return EjecutarLote({"--origen", carpeta, "--destino", destino.empty() ? base : destino,
                             "--informe", informe, "agentes"});
    }
    // Every file of the source folder with its bytes: what must not change.
    std::map<std::string, std::string> Carpeta() {
        std::map<std::string, std::string> r;
        for (const auto& e : fs::recursive_directory_iterator(carpeta))
            r[e.path().string()] = e.is_regular_file() ? LeerFichero(e.path().string()) : "";
        return r;
    }
    int Agentes() { return I(Leer("select count(*) as N from AGENTESVENTA")[0]["N"]); }
    using TransferTest::Agentes;
};

TEST_F(LoteInformeTest, AReportPathThatIsTheTargetIsRefusedBeforeTheRun) {
    const std::string antes = LeerFichero(base);
    fs::create_directory(dir.File("otra"));
    fs::create_hard_link(base, dir.File("otra/enlace.fdb"));
    fs::create_symlink(base, dir.File("simbolico.fdb"));
    for (const std::string& informe : {base, dir.File("otra/../orvalia.fdb"),
                                       dir.File("otra/enlace.fdb"), dir.File("simbolico.fdb")}) {
        SalidaLote s = Correr(informe);
        EXPECT_EQ(s.estado, 2) << informe << "\n" << s.err;
        EXPECT_NE(s.err.find("es la base de datos de destino"), std::string::npos)
            << informe << "\n"
            << s.err;
        EXPECT_EQ(s.out, "") << "refused before anything ran\n" << s.out;
        EXPECT_EQ(LeerFichero(base), antes) << "the database is as it was";
    }
    EXPECT_EQ(Agentes(), 0);
    // Through a server the path is the server's: the same path is refused before connecting.
    SalidaLote s = Correr("/datos/empresa.fdb", "servidor.example:/datos/empresa.fdb");
    EXPECT_EQ(s.estado, 2);
    EXPECT_NE(s.err.find("es la base de datos de destino «servidor.example:/datos/empresa.fdb»"),
              std::string::npos)
        << s.err;
}

TEST_F(LoteInformeTest, AReportPathInsideTheSourceFolderIsRefused) {
    fs::create_directory(carpeta + "/copias");
    fs::create_symlink(carpeta, dir.File("atajo"));
    const auto antes = Carpeta();
    for (const std::string& informe :
         {carpeta + "/agentes.dbf", carpeta + "/informe.json", carpeta + "/copias/informe.json",
          dir.File("atajo/informe.json")}) {
        SalidaLote s = Correr(informe);
        EXPECT_EQ(s.estado, 2) << informe << "\n" << s.err;
        EXPECT_NE(s.err.find("está dentro de la carpeta de FacturaPlus"), std::string::npos)
            << informe << "\n"
            << s.err;
        EXPECT_EQ(Carpeta(), antes) << informe << ": the source folder changed";
    }
    EXPECT_EQ(Agentes(), 0);
}

TEST_F(LoteInformeTest, OnlyAPreviousReportIsReplacedAndThroughATemporaryFile) {
    const std::string informe = dir.File("informe.json");
    std::ofstream(informe) << "notas que no son un informe\n";
    SalidaLote s = Correr(informe);
    EXPECT_EQ(s.estado, 2);
    EXPECT_NE(s.err.find("ya existe y no es un informe de este programa"), std::string::npos)
        << s.err;
    EXPECT_EQ(LeerFichero(informe), "notas que no son un informe\n");
    EXPECT_EQ(Agentes(), 0);

    fs::remove(informe);
    ASSERT_EQ(Correr(informe).estado, 0);
    struct stat primero {};
    ASSERT_EQ(stat(informe.c_str(), &primero), 0);
    EXPECT_EQ(primero.st_mode & 0777, 0644u);
    // A second run replaces its own report, by renaming a complete one over it.
    ASSERT_EQ(Correr(informe).estado, 0);
    struct stat segundo {};
    ASSERT_EQ(stat(informe.c_str(), &segundo), 0);
    EXPECT_NE(primero.st_ino, segundo.st_ino) << "written in place, not renamed over";
    nlohmann::json j = nlohmann::json::parse(LeerFichero(informe));
    EXPECT_EQ(j["traspasos"][0]["actualizados"], 2);
    std::vector<std::string> ficheros;
    for (const auto& e : fs::directory_iterator(dir.Path()))
        if (e.path().filename().string().find("informe") != std::string::npos)
            ficheros.push_back(e.path().filename().string());
    EXPECT_EQ(ficheros, std::vector<std::string>{"informe.json"}) << "no temporary file left";

    for (const std::string& malo : {dir.File("no-hay/informe.json"), dir.Path().string()}) {
        SalidaLote m = Correr(malo);
        EXPECT_EQ(m.estado, 2) << malo;
        EXPECT_NE(m.err.find("--informe «" + malo + "»"), std::string::npos) << m.err;
        EXPECT_EQ(m.out, "") << malo;
    }
}

} // namespace
