// The source folder misbehaving: the table replaced or cut short by another program while a
// run walks it, and a FIFO where a table should be.
#include "Apoyo.h"

#include "DbfWriter.h"

#include <csignal>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

class Origen : public Fallo {
protected:
    // Runs the agents transfer, changes the table with the run held still after a few hundred
    // records, and checks that it ends with one error that names the table, keeping what it
    // had committed.
    void CambiarEnMarcha(const std::function<void(const std::string& tabla)>& cambio) {
        std::string base = Remota("orvalia.fdb");
        EscribirAgentes(origen, kAgentes, "Agente");
        std::string tabla = origen + "/agentes.dbf";
        Proceso p(Lote(origen, base, "agentes", true));
        std::size_t hechos = p.EsperarProgreso(300, 60s);
        ASSERT_GE(hechos, 300u) << p.Terminar(1s).Todo();
        ASSERT_LT(hechos, kAgentes - SourceQueryChecks())
            << "too late to be noticed before the end";
        p.Senal(SIGSTOP);
        cambio(tabla);
        p.Senal(SIGCONT);
        Fin f = p.Terminar(60s);
        EXPECT_FALSE(f.colgado) << f.Todo();
        EXPECT_EQ(f.senal, 0) << "a crash\n" << f.Todo();
        EXPECT_EQ(f.estado, 2) << f.Todo();
        std::vector<std::string> errores = f.Errores();
        ASSERT_EQ(errores.size(), 1u) << f.Todo();
        EXPECT_NE(f.err.find("agentes.dbf"), std::string::npos) << "names the table\n" << f.Todo();
        EXPECT_TRUE(f.Lineas("Aviso:").empty()) << f.Todo();
        long confirmados = ConfirmadosSegunElError(f.err);
        EXPECT_GE(confirmados, static_cast<long>(hechos)) << f.Todo();
        EXPECT_EQ(Contar(base, "select count(*) from AGENTESVENTA"), confirmados)
            << "the rows in the database are not the records the error says were committed\n"
            << f.Todo();
        std::set<std::string> codigos = CodigosAgentes(base);
        for (std::size_t i = 0; i < hechos; ++i)
            EXPECT_TRUE(codigos.count(Codigo(i))) << "record " << i + 1 << " was told committed";
        EXPECT_EQ(
            Contar(base, "select count(*) from AGENTESVENTA where NOMBRE starting with 'Otro'"), 0)
            << "nothing of the new table was taken for the old one";
    }
    // The records a walk may go on after a change before it looks at the file again.
    static std::size_t SourceQueryChecks() { return 1024; }
};

TEST_F(Origen, TableReplacedMidRun) {
    CambiarEnMarcha([&](const std::string& tabla) {
        Carpeta otra;
        EscribirAgentes(otra.Ruta(), kAgentes, "Otro");
        std::string nueva = origen + "/agentes.nueva";
        fs::copy_file(otra.Fichero("agentes.dbf"), nueva);
        fs::rename(nueva, tabla); // as a copy program or an unzip replaces a file
    });
}

TEST_F(Origen, TableTruncatedMidRun) {
    CambiarEnMarcha([&](const std::string& tabla) {
        ASSERT_EQ(truncate(tabla.c_str(), static_cast<off_t>(fs::file_size(tabla) / 2)), 0);
    });
}

TEST_F(Origen, AFifoInPlaceOfTheTableEndsPromptlyWithAClearError) {
    ASSERT_EQ(mkfifo((origen + "/agentes.dbf").c_str(), 0644), 0);
    Fin f = Ejecutar(Lote(origen, Remota("orvalia.fdb")), 30s);
    EXPECT_FALSE(f.colgado) << "it waited for a writer on the FIFO\n" << f.Todo();
    EXPECT_LT(f.segundos, 10.0);
    EXPECT_EQ(f.estado, 2) << f.Todo();
    EXPECT_NE(f.err.find("agentes.dbf"), std::string::npos) << f.Todo();
    EXPECT_NE(f.err.find("tubería (FIFO)"), std::string::npos) << "says what the path is\n"
                                                               << f.Todo();
}

} // namespace
