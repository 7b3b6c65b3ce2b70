// A row that another user of the database holds with an uncommitted change: the run waits the
// lock time-out for it, warns once and goes on; Ctrl+C while it waits ends the run within
// seconds, with the record in progress undone.
#include "Apoyo.h"

#include <csignal>
#include <thread>

namespace {

class Bloqueo : public Fallo {
protected:
    // Polls until the program `p` has been running a statement that begins with `inicio` for a
    // second, a thousand times what any other takes, while its bar (the records committed, which
    // grouped commits hold back) is not past `antes`: it waits for the held row.
    bool EsperaLaFila(Proceso& p, const std::string& base, std::size_t antes,
                      const std::string& inicio) {
        auto hasta = std::chrono::steady_clock::now() + 60s;
        while (std::chrono::steady_clock::now() < hasta) {
            if (p.Progreso() <= antes && SentenciaEnCurso(base, p.Pid(), inicio, 1000)) return true;
            if (p.Progreso() > antes) return false;
            std::this_thread::sleep_for(50ms); // polling a condition, bounded by `hasta`
        }
        return false;
    }
};

TEST_F(Bloqueo, AHeldRowIsWarnedOnceAfterTheLockTimeoutAndEveryOtherRowIsUpdated) {
    std::string base = Remota("orvalia.fdb");
    EscribirAgentes(origen, kAgentes, "Antes");
    ASSERT_EQ(Ejecutar(Lote(origen, base)).estado, 0);
    const std::size_t k = 1500;
    const std::string codigo = Codigo(k - 1);
    OtroUsuario otro(base,
                     "update AGENTESVENTA set NOMBRE = 'Del otro' where CODIGO = '" + codigo + "'");

    EscribirAgentes(origen, kAgentes, "Luego");
    Fin f = Ejecutar(Lote(origen, base), 120s);
    otro.Soltar();
    EXPECT_FALSE(f.colgado) << f.Todo();
    EXPECT_LT(f.segundos, 40.0) << "one wait of the 10 s lock time-out, not one per statement";
    EXPECT_EQ(f.estado, 1) << f.Todo();
    std::vector<std::string> avisos = f.Lineas("Aviso:");
    ASSERT_EQ(avisos.size(), 1u) << f.Todo();
    EXPECT_NE(avisos[0].find("agentes.dbf, registro 1500, código «" + codigo + "»"),
              std::string::npos)
        << avisos[0];
    EXPECT_NE(f.err.find("en uso por otro usuario"), std::string::npos) << f.Todo();
    EXPECT_NE(f.out.find("Agentes Añadidos: 0,   Actualizados: 2999"), std::string::npos) << f.out;

    EXPECT_EQ(Contar(base, "select count(*) from AGENTESVENTA where NOMBRE starting with 'Luego'"),
              2999);
    EXPECT_EQ(Contar(base, "select count(*) from AGENTESVENTA where CODIGO = '" + codigo +
                               "' and NOMBRE starting with 'Antes'"),
              1);
    EXPECT_EQ(Contar(base, "select count(*) from AGENTESVENTA"), 3000);
    EXPECT_EQ(Contar(base, "select count(distinct CODIGO) from AGENTESVENTA"), 3000);
}

TEST_F(Bloqueo, CtrlCWhileWaitingEndsWithinSecondsAndUndoesTheRecordInProgress) {
    // A client's update and then its collection address, one record: the address is the row held,
    // so that the client's own row is already changed, uncommitted, when Ctrl+C comes.
    const std::size_t n = 300, k = 120;
    std::string base = Remota("orvalia.fdb");
    EscribirClientes(origen, n, "Antes", "Banco antes");
    ASSERT_EQ(Ejecutar(Lote(origen, base, "clientes")).estado, 0);
    const std::string codigo = CodigoCliente(k - 1);
    OtroUsuario otro(base, "update DOMICILIOSCOBRO set NOMBRE = 'Del otro' where CLIENTE = (select "
                           "IDCLIENTES from CLIENTES where CODIGO = '" +
                               codigo + "')");

    EscribirClientes(origen, n, "Luego", "Banco luego");
    Proceso::Opciones o = Lote(origen, base, "clientes", true);
    o.poner = {"TRASPASO_BARRA_MS=0"}; // the bar at every record: it shows exactly where it waits
    Proceso p(o);
    ASSERT_TRUE(EsperaLaFila(p, base, k - 1, "UPDATE DomiciliosCobro")) << p.Terminar(30s).Todo();
    p.Marcar();
    p.Senal(SIGINT);
    Fin f = p.Terminar(30s);
    otro.Soltar();
    EXPECT_FALSE(f.colgado) << f.Todo();
    EXPECT_LT(f.segundos, 8.0) << "cancelled a few seconds after Ctrl+C, not at the lock time-out\n"
                               << f.Todo();
    EXPECT_EQ(f.estado, 130) << f.Todo();
    EXPECT_TRUE(f.Lineas("Aviso:").empty()) << "the cancelled record is not a record's warning\n"
                                            << f.Todo();

    // Committed before: the first k-1 clients, whole; the one in progress: none of it.
    EXPECT_EQ(Contar(base, "select count(*) from CLIENTES where NOMBRE starting with 'Luego'"),
              static_cast<int>(k - 1));
    EXPECT_EQ(
        Contar(base,
               "select count(*) from DOMICILIOSCOBRO where NOMBRE starting with 'Banco luego'"),
        static_cast<int>(k - 1));
    EXPECT_EQ(Contar(base, "select count(*) from CLIENTES where CODIGO = '" + codigo +
                               "' and NOMBRE starting with 'Antes'"),
              1)
        << "the client of the interrupted record was left half written";
    EXPECT_EQ(Contar(base, "select count(*) from CLIENTES"), static_cast<int>(n));
}

} // namespace
