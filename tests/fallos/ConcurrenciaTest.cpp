// Two batch runs of the same transfer on one database through the server: the second waits for
// the first, and no code ever ends up twice.
#include "Apoyo.h"

#include <csignal>

namespace {

constexpr const char* kEspera = "Esperando a que termine otro traspaso";

class Concurrencia : public Fallo {
protected:
    void Comprobar(const std::string& base) {
        EXPECT_EQ(Contar(base, "select count(*) from AGENTESVENTA"), static_cast<int>(kAgentes));
        EXPECT_EQ(Contar(base, "select count(distinct CODIGO) from AGENTESVENTA"),
                  static_cast<int>(kAgentes))
            << "a code inserted twice";
    }
};

TEST_F(Concurrencia, TheSecondRunWaitsForTheFirstAndNoCodeIsTwice) {
    std::string base = Remota("orvalia.fdb");
    EscribirAgentes(origen, kAgentes, "Agente");
    Proceso primero(Lote(origen, base, "agentes", true));
    // Held still once it has its turn and has committed a record, so that the second surely
    // finds it running.
    ASSERT_GE(primero.EsperarProgreso(1, 60s), 1u) << primero.Terminar(1s).Todo();
    primero.Senal(SIGSTOP);
    Proceso segundo(Lote(origen, base));
    bool espera = segundo.EsperarSalida(kEspera, 30s);
    primero.Senal(SIGCONT);
    Fin a = primero.Terminar(120s);
    Fin b = segundo.Terminar(120s);
    EXPECT_TRUE(espera) << b.Todo();
    EXPECT_NE(b.out.find("«AGENTESVENTA»"), std::string::npos)
        << "says which transfer it waits for\n"
        << b.out;
    EXPECT_EQ(a.estado, 0) << a.Todo();
    EXPECT_EQ(b.estado, 0) << b.Todo();
    EXPECT_NE(a.out.find("Agentes Añadidos: 3000,   Actualizados: 0"), std::string::npos) << a.out;
    // Only after the first ended: every code is there already.
    EXPECT_NE(b.out.find("Agentes Añadidos: 0,   Actualizados: 3000"), std::string::npos) << b.out;
    Comprobar(base);
}

// A run that finds the turn taken says so once, waits at most --esperar-turno seconds and then
// ends naming who holds it; stopped while it waits, it says which table it was waiting for.
TEST_F(Concurrencia, TheWaitForTheTurnIsToldOnceHasABoundAndCanBeStopped) {
    std::string base = Remota("orvalia.fdb");
    EscribirAgentes(origen, kAgentes, "Agente");
    Proceso primero(Lote(origen, base, "agentes", true));
    ASSERT_GE(primero.EsperarProgreso(1, 60s), 1u) << primero.Terminar(1s).Todo();
    primero.Senal(SIGSTOP);

    Proceso::Opciones o = Lote(origen, base);
    o.argv.insert(o.argv.end(), {"--esperar-turno", "3"});
    Fin f = Ejecutar(o, 60s);
    EXPECT_EQ(f.estado, 2) << f.Todo();
    EXPECT_GE(f.segundos, 3.0) << f.Todo();
    EXPECT_LT(f.segundos, 20.0) << f.Todo();
    std::size_t lineas = 0;
    for (std::size_t p = 0; (p = f.out.find(kEspera, p)) != std::string::npos; ++p)
        ++lineas;
    EXPECT_EQ(lineas, 1u) << f.Todo();
    ASSERT_EQ(f.Errores().size(), 1u) << f.Todo();
    EXPECT_NE(f.Errores()[0].find("después de esperar 3 segundos a que termine: «AGENTESVENTA»"),
              std::string::npos)
        << f.Todo();

    Proceso segundo(Lote(origen, base));
    ASSERT_TRUE(segundo.EsperarSalida(kEspera, 30s)) << segundo.Terminar(1s).Todo();
    segundo.Marcar();
    segundo.Senal(SIGINT);
    Fin g = segundo.Terminar(30s);
    primero.Senal(SIGCONT);
    EXPECT_EQ(g.estado, 130) << g.Todo();
    EXPECT_LT(g.segundos, 3.0) << g.Todo();
    EXPECT_NE(g.err.find("Traspaso interrumpido por la señal INT (Ctrl+C) mientras esperaba su "
                         "turno para escribir en AGENTESVENTA: ningún registro escrito."),
              std::string::npos)
        << g.Todo();
    EXPECT_EQ(primero.Terminar(120s).estado, 0);
    Comprobar(base);
}

TEST_F(Concurrencia, TwoRunsStartedAtOnceInsertEachCodeOnce) {
    EscribirAgentes(origen, kAgentes, "Agente");
    for (int vuelta = 0; vuelta < 3; ++vuelta) {
        SCOPED_TRACE("vuelta " + std::to_string(vuelta));
        std::string base = Remota("orvalia" + std::to_string(vuelta) + ".fdb");
        Proceso a(Lote(origen, base)), b(Lote(origen, base));
        Fin fa = a.Terminar(120s), fb = b.Terminar(120s);
        EXPECT_EQ(fa.estado, 0) << fa.Todo();
        EXPECT_EQ(fb.estado, 0) << fb.Todo();
        long anadidos =
            NumeroTras(fa.out, "Agentes Añadidos: ") + NumeroTras(fb.out, "Agentes Añadidos: ");
        EXPECT_EQ(anadidos, static_cast<long>(kAgentes)) << fa.out << fb.out;
        Comprobar(base);
    }
}

// A dry run changes rows it never commits: they stay locked until its rollback at the end. It
// keeps its turn until then, so a real run started meanwhile waits for the turn and then goes at
// full speed, instead of waiting for each locked row and skipping it.
TEST_F(Concurrencia, ARealRunWaitsForTheTurnOfADryRunNotForItsLockedRows) {
    const std::size_t n = 300;
    std::string base = Remota("orvalia.fdb");
    EscribirClientes(origen, n, "Antes", "Banco antes");
    EscribirArticulos(origen, 3000);
    ASSERT_EQ(Ejecutar(Lote(origen, base, "clientes")).estado, 0);
    EscribirClientes(origen, n, "Luego", "Banco luego");

    Proceso::Opciones o = Lote(origen, base, "clientes", true);
    o.argv.insert(o.argv.end(), {"--ensayo", "articulos"});
    Proceso ensayo(o);
    // Held still past its clients, every one of them changed and locked, in its articles.
    ASSERT_TRUE(ensayo.EsperarSalida("Clientes Añadidos: 0,   Actualizados: 300", 60s))
        << ensayo.Terminar(1s).Todo();
    ensayo.Senal(SIGSTOP);
    Proceso real(Lote(origen, base, "clientes"));
    bool espera = real.EsperarSalida(kEspera, 30s);
    ensayo.Senal(SIGCONT);
    Fin fe = ensayo.Terminar(120s);
    real.Marcar(); // the dry run has ended: its rows are free
    Fin fr = real.Terminar(120s);
    EXPECT_TRUE(espera) << "the real run did not wait for the turn\n" << fr.Todo();
    EXPECT_NE(fe.out.find("Artículos Añadidos: 3000"), std::string::npos) << fe.Todo();
    EXPECT_EQ(fr.estado, 0) << fr.Todo();
    EXPECT_TRUE(fr.Lineas("Aviso:").empty()) << "a row waited for and skipped\n" << fr.Todo();
    EXPECT_NE(fr.out.find("Clientes Añadidos: 0,   Actualizados: 300"), std::string::npos)
        << fr.Todo();
    EXPECT_LT(fr.segundos, n * 1.0) << "each record under a second\n" << fr.Todo();
    EXPECT_EQ(Contar(base, "select count(*) from CLIENTES where NOMBRE starting with 'Luego'"),
              static_cast<int>(n));
}

} // namespace
