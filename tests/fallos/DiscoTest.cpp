// A target that cannot be written: the disk full, the database read-only. One error and exit
// status 2, never a warning for each record; what was committed before stays.
#include "Apoyo.h"

#include "TestDatabase.h"

#include <cerrno>
#include <cstring>
#include <sys/mount.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

class Disco : public Fallo {
protected:
    void UnError(const Fin& f, const std::string& motivo) {
        EXPECT_FALSE(f.colgado) << f.Todo();
        EXPECT_EQ(f.estado, 2) << f.Todo();
        EXPECT_TRUE(f.Lineas("Aviso:").empty()) << f.Todo();
        EXPECT_EQ(f.Errores().size(), 1u) << "one error, told once\n" << f.Todo();
        EXPECT_NE(f.err.find(motivo), std::string::npos) << f.Todo();
    }
};

TEST_F(Disco, DiskFullMidRun) {
    // Room for the fixture and a few hundred agents, not for all of them.
    std::uintmax_t tamano = fs::file_size(TM_TEMPLATE_DB) + 160 * 1024;
    DiscoPequeno disco(dir.Fichero("disco"), tamano);
    if (!disco.Montado())
        GTEST_SKIP() << "no se puede montar un tmpfs pequeño (hace falta ser root con "
                        "CAP_SYS_ADMIN): "
                     << disco.Error();
    std::string fichero = dir.Fichero("disco/orvalia.fdb");
    CreateFixtureDatabase(fichero);
    std::string base = servidor().Ruta(fichero);
    EscribirAgentes(origen, kAgentes, "Agente");
    Fin f = Ejecutar(Lote(origen, base), 60s);
    UnError(f, "el disco esté lleno");
    long confirmados = ConfirmadosSegunElError(f.err);
    EXPECT_GT(confirmados, 0) << f.Todo();
    EXPECT_EQ(Contar(base, "select count(*) from AGENTESVENTA"), confirmados)
        << "the records said to be committed, no more and no fewer";
    EXPECT_EQ(Contar(base, "select count(distinct CODIGO) from AGENTESVENTA"), confirmados);
}

TEST_F(Disco, ReadOnlyDatabase) {
    std::string base = Remota("orvalia.fdb");
    Herramienta h = Gfix("-mode read_only", base);
    ASSERT_EQ(h.estado, 0) << h.texto;
    EscribirAgentes(origen, kAgentes, "Agente");
    Fin f = Ejecutar(Lote(origen, base), 60s);
    UnError(f, "La base de datos es de solo lectura");
    EXPECT_EQ(Contar(base, "select count(*) from AGENTESVENTA"), 0);
}

} // namespace
