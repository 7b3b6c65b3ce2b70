// The target database deleted or replaced while a run writes to it. The engine goes on writing
// the file it opened, which no path reaches any more: every commit succeeds and the rows are
// nowhere once the run ends. The run must not say it succeeded.
#include "Apoyo.h"

#include "TestDatabase.h"

#include <csignal>

namespace fs = std::filesystem;

namespace {

struct Caso {
    const char* nombre;
    bool servidor;  // through the suite's server, or opened in process
    bool sustituir; // another database put in its place, or the file deleted
};

void PrintTo(const Caso& c, std::ostream* o) {
    *o << c.nombre;
}

class Destino : public Fallo, public ::testing::WithParamInterface<Caso> {};

TEST_P(Destino, ATargetDeletedOrReplacedMidRunEndsWithAnError) {
    const Caso c = GetParam();
    std::string fichero = Base("orvalia.fdb");
    std::string base = c.servidor ? servidor().Ruta(fichero) : fichero;
    EscribirAgentes(origen, kAgentes, "Agente");
    // The bar at every record, and nobody reading it: the program stops mid-run, blocked writing
    // it, however fast its records go.
    Proceso::Opciones o = Lote(origen, base, "agentes", true);
    o.poner = {"TRASPASO_BARRA_MS=0"};
    Proceso p(o);
    ASSERT_GE(p.EsperarProgreso(300, 60s), 300u) << p.Terminar(1s).Todo();
    p.LeerError(false);
    ASSERT_TRUE(p.EsperarBloqueadoEscribiendo(30s)) << p.Terminar(1s).Todo();
    p.Senal(SIGSTOP);
    if (c.sustituir) {
        CreateFixtureDatabase(dir.Fichero("otra.fdb"));
        fs::rename(dir.Fichero("otra.fdb"), fichero);
    } else {
        fs::remove(fichero);
    }
    p.Senal(SIGCONT);
    p.LeerError(true);
    Fin f = p.Terminar(60s);
    EXPECT_FALSE(f.colgado) << f.Todo();
    EXPECT_EQ(f.estado, 2) << f.Todo();
    EXPECT_EQ(f.out.find("Agentes Añadidos"), std::string::npos) << "success was said\n"
                                                                 << f.Todo();
    ASSERT_EQ(f.Errores().size(), 1u) << f.Todo();
    EXPECT_NE(
        f.Errores()[0].find(c.sustituir ? "se ha sustituido por otro fichero" : "se ha borrado"),
        std::string::npos)
        << f.Todo();
}

INSTANTIATE_TEST_SUITE_P(Casos, Destino,
                         ::testing::Values(Caso{"BorradaEmbebida", false, false},
                                           Caso{"SustituidaEmbebida", false, true},
                                           Caso{"BorradaEnServidor", true, false},
                                           Caso{"SustituidaEnServidor", true, true}),
                         [](const auto& i) { return std::string(i.param.nombre); });

} // namespace
