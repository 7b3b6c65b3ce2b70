// A server that stops answering: frozen in the middle of a run (SIGSTOP), or a socket that
// accepts the connection and never replies. A run never waits for it beyond its bounds: an
// attach fails within the connect timeout, saying that the server did not answer, and after
// Ctrl+C or TERM the program is gone within seconds whatever the server does, saying how many
// records are known to be committed.
#include "Apoyo.h"

#include <csignal>
#include <thread>

namespace {

class Silencio : public Fallo, public ::testing::WithParamInterface<int> {
protected:
    // Waits until the bar has stood still for a while: the program waits for the server.
    static std::size_t Parado(Proceso& p) {
        std::size_t antes = p.Progreso();
        for (int i = 0; i < 50; ++i) {
            std::this_thread::sleep_for(200ms); // polling a condition, bounded by the loop
            std::size_t ahora = p.Progreso();
            if (ahora == antes) return ahora;
            antes = ahora;
        }
        return antes;
    }
};

TEST_P(Silencio, ServerFrozenMidRunThenASignalEndsTheRunWithinSeconds) {
    const int senal = GetParam();
    Carpeta propia;
    std::unique_ptr<Servidor> srv = Servidor::Propio(propia.Ruta());
    std::string fichero = Base("orvalia.fdb");
    std::string base = srv->Ruta(fichero);
    EscribirAgentes(origen, kAgentes, "Agente");
    Proceso p(Lote(origen, base, "agentes", true));
    ASSERT_GE(p.EsperarProgreso(300, 60s), 300u) << p.Terminar(1s).Todo();
    srv->Congelar();
    std::size_t hechos = Parado(p);
    p.Marcar();
    p.Senal(senal);
    Fin f = p.Terminar(30s);
    srv->Descongelar();
    EXPECT_FALSE(f.colgado) << f.Todo();
    EXPECT_LT(f.segundos, 10.0) << f.Todo();
    EXPECT_EQ(f.estado, 128 + senal) << f.Todo();
    EXPECT_NE(f.err.find("se ha abandonado la conexión"), std::string::npos) << f.Todo();
    EXPECT_NE(f.err.find("que se sepa"), std::string::npos)
        << "the count is said to be what is known\n"
        << f.Todo();
    long confirmados = ConfirmadosSegunElError(f.err);
    EXPECT_GE(confirmados, static_cast<long>(hechos)) << f.Todo();

    // The server, back, undoes what was not committed: the records told, and at most the one
    // in progress, whose commit may have reached it.
    int filas = Contar(base, "select count(*) from AGENTESVENTA");
    EXPECT_GE(filas, confirmados);
    EXPECT_LE(filas, confirmados + 1);
    EXPECT_EQ(Contar(base, "select count(distinct CODIGO) from AGENTESVENTA"), filas);
}

TEST_F(Silencio, ASecondCtrlCGivesUpOnAFrozenServerAtOnce) {
    Carpeta propia;
    std::unique_ptr<Servidor> srv = Servidor::Propio(propia.Ruta());
    std::string base = srv->Ruta(Base("orvalia.fdb"));
    EscribirAgentes(origen, kAgentes, "Agente");
    Proceso p(Lote(origen, base, "agentes", true));
    ASSERT_GE(p.EsperarProgreso(300, 60s), 300u) << p.Terminar(1s).Todo();
    srv->Congelar();
    Parado(p);
    p.Marcar();
    p.Senal(SIGINT);
    std::this_thread::sleep_for(500ms);
    p.Senal(SIGINT);
    Fin f = p.Terminar(30s);
    srv->Descongelar();
    EXPECT_LT(f.segundos, 2.5) << f.Todo();
    EXPECT_EQ(f.estado, 130) << f.Todo();
    EXPECT_NE(f.err.find("se ha abandonado la conexión"), std::string::npos) << f.Todo();
}

INSTANTIATE_TEST_SUITE_P(Senales, Silencio, ::testing::Values(SIGINT, SIGTERM),
                         [](const auto& i) { return i.param == SIGINT ? "INT" : "TERM"; });

class Mudez : public Fallo {};

TEST_F(Mudez, ASocketThatNeverAnswersFailsTheAttachWithinTheConnectTimeout) {
    Mudo mudo;
    EscribirAgentes(origen, 10, "Agente");
    Fin f = Ejecutar(Lote(origen, mudo.Ruta("/datos/orvalia.fdb")), 90s);
    EXPECT_FALSE(f.colgado) << f.Todo();
    EXPECT_GE(mudo.Aceptadas(), 1) << "it never reached the socket";
    EXPECT_GT(f.segundos, 15.0) << "it gave up before the connect timeout\n" << f.Todo();
    EXPECT_LT(f.segundos, 30.0) << f.Todo();
    EXPECT_EQ(f.estado, 2) << f.Todo();
    ASSERT_EQ(f.Errores().size(), 1u) << f.Todo();
    EXPECT_NE(f.err.find("El servidor de la base de datos no ha respondido en 20 segundos"),
              std::string::npos)
        << f.Todo();
    EXPECT_EQ(f.err.find("perdido la conexión"), std::string::npos)
        << "a connection never made is not a lost one\n"
        << f.Todo();
}

TEST_F(Mudez, CtrlCDuringAnAttachThatGetsNoAnswerEndsAtOnce) {
    Mudo mudo;
    EscribirAgentes(origen, 10, "Agente");
    Proceso p(Lote(origen, mudo.Ruta("/datos/orvalia.fdb")));
    ASSERT_TRUE(p.EsperarSalida("Actualizando Agentes", 30s)) << p.Terminar(1s).Todo();
    std::this_thread::sleep_for(1s); // well into the attach
    p.Marcar();
    p.Senal(SIGINT);
    Fin f = p.Terminar(30s);
    EXPECT_FALSE(f.colgado) << f.Todo();
    EXPECT_LT(f.segundos, 3.0) << f.Todo();
    EXPECT_EQ(f.estado, 130) << f.Todo();
    EXPECT_EQ(f.out.find("Agentes Añadidos"), std::string::npos) << f.Todo();
}

} // namespace
