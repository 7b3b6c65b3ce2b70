// The report written where it would do harm: over the target database through the server, or
// over a table of the source folder, refused before the run with both left as they were; and
// a report that does not fit on its disk, which leaves the previous one whole.
#include "Apoyo.h"

#include "Comprobar.h"
#include "TestDatabase.h"

#include <fstream>

namespace fs = std::filesystem;

namespace {

class Informe : public Fallo {};

TEST_F(Informe, RefusedForTheTargetThroughAServerAndForASourceTable) {
    std::string fichero = Base("orvalia.fdb");
    std::string base = servidor().Ruta(fichero);
    EscribirAgentes(origen, 50, "Agente");
    const std::string bytesBase = LeerFichero(fichero);
    const std::string tabla = origen + "/agentes.dbf";
    const std::string bytesTabla = LeerFichero(tabla);
    for (const std::string& informe : {fichero, tabla}) {
        Proceso::Opciones o = Lote(origen, base);
        o.argv.insert(o.argv.end(), {"--informe", informe});
        Fin f = Ejecutar(o, 30s);
        EXPECT_EQ(f.estado, 2) << f.Todo();
        EXPECT_EQ(f.out, "") << "refused before the run\n" << f.Todo();
        ASSERT_EQ(f.Errores().size(), 1u) << f.Todo();
        EXPECT_NE(f.Errores()[0].find("--informe «" + informe + "»"), std::string::npos)
            << f.Todo();
    }
    EXPECT_EQ(LeerFichero(fichero), bytesBase);
    EXPECT_EQ(LeerFichero(tabla), bytesTabla);
    EXPECT_EQ(Contar(base, "select count(*) from AGENTESVENTA"), 0) << "and a sound database";
}

TEST_F(Informe, AReportThatDoesNotFitLeavesThePreviousOneWhole) {
    DiscoPequeno disco(dir.Fichero("disco"), 64 * 1024);
    if (!disco.Montado())
        GTEST_SKIP() << "no se puede montar un tmpfs pequeño (hace falta ser root con "
                        "CAP_SYS_ADMIN): "
                     << disco.Error();
    EscribirAgentes(origen, 50, "Agente");
    const std::string informe = dir.Fichero("disco/informe.json");
    Proceso::Opciones o = Lote(origen, Remota("orvalia.fdb"));
    o.argv.insert(o.argv.end(), {"--informe", informe});
    Fin f = Ejecutar(o, 30s);
    ASSERT_EQ(f.estado, 0) << f.Todo();
    const std::string previo = LeerFichero(informe);
    ASSERT_NE(previo.find("\"programa\": \"traspaso-maestros-lote\""), std::string::npos);
    // The disk filled by something else, to within less than a report.
    {
        std::ofstream relleno(dir.Fichero("disco/relleno"));
        std::string kb(1024, 'x');
        while (relleno << kb && relleno.flush()) {
        }
    }
    f = Ejecutar(o, 30s);
    EXPECT_EQ(f.estado, 2) << f.Todo();
    EXPECT_NE(f.err.find("No se ha podido escribir el informe «" + informe + "»"),
              std::string::npos)
        << f.Todo();
    EXPECT_EQ(LeerFichero(informe), previo) << "the previous report is whole";
    std::vector<std::string> ficheros;
    for (const auto& e : fs::directory_iterator(dir.Fichero("disco")))
        ficheros.push_back(e.path().filename().string());
    std::sort(ficheros.begin(), ficheros.end());
    EXPECT_EQ(ficheros, (std::vector<std::string>{"informe.json", "relleno"}))
        << "no temporary file left";
}

} // namespace
