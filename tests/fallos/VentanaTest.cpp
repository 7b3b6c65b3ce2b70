// The window program told to end by SIGTERM (a logout, a system shutdown): with the summary box
// of a transfer open, idle after a transfer, idle before any, and before it shows. It must be
// gone within a few seconds, by its own close (exit status 0), with everything committed.
#include "Apoyo.h"

#include "TestDatabase.h"

#include <csignal>
#include <thread>

#ifndef VENTANA
#error "VENTANA must name the window program"
#endif
#ifndef PULSADOR
#error "PULSADOR must name the library that drives the window"
#endif

namespace fs = std::filesystem;

namespace {

class Ventana : public ::testing::Test {
protected:
    static constexpr std::size_t kAgentes = 3000;
    void SetUp() override {
        fs::create_directory(facturaPlus);
        fs::create_directory(casa.Fichero("run"));
        fs::permissions(casa.Fichero("run"), fs::perms::owner_all);
        CreateFixtureDatabase(base); // the window's preset target: ~/FacturaPlus/Orvalia.fdb
        EscribirAgentes(facturaPlus, kAgentes, "Agente");
    }
    Proceso::Opciones Abrir(const std::string& pulsar = "", bool aceptar = false,
                            const std::string& destino = "") {
        Proceso::Opciones o;
        o.argv = {VENTANA};
        o.poner = {"HOME=" + casa.Ruta(), "XDG_RUNTIME_DIR=" + casa.Fichero("run"),
                   "QT_QPA_PLATFORM=offscreen", std::string("LD_PRELOAD=") + PULSADOR};
        if (!pulsar.empty()) o.poner.push_back("FALLOS_PULSAR=" + pulsar);
        if (aceptar) o.poner.push_back("FALLOS_ACEPTAR=1");
        if (!destino.empty()) o.poner.push_back("FALLOS_DESTINO=" + destino);
        return o;
    }
    Fin Terminar(Proceso& p) {
        p.Marcar();
        p.Senal(SIGTERM);
        Fin f = p.Terminar(30s);
        EXPECT_FALSE(f.colgado) << f.Todo();
        EXPECT_LT(f.segundos, 5.0) << f.Todo();
        return f;
    }
    int Agentes() { return Contar(base, "select count(*) from AGENTESVENTA"); }
    // Read before anything else attaches: what the program's own close left in the header.
    void CerradaPorElPrograma() {
        Cabecera c = LeerCabecera(base);
        EXPECT_EQ(c.activa + 1, c.siguiente)
            << "the header is not what a commit and a detach leave: the program did not close "
               "the database itself\n"
            << c.texto;
        EXPECT_EQ(c.interesante + 1, c.activa) << "a transaction left undone\n" << c.texto;
    }

    Carpeta casa;
    std::string facturaPlus = casa.Fichero("FacturaPlus");
    std::string base = facturaPlus + "/Orvalia.fdb";
};

TEST_F(Ventana, SigtermWithTheSummaryOfATransferOpen) {
    Proceso p(Abrir("Agentes DBF -> GDB"));
    ASSERT_TRUE(p.EsperarError("pulsador: caja Agentes Añadidos: 3000", 120s))
        << p.Terminar(1s).Todo();
    Fin f = Terminar(p);
    EXPECT_EQ(f.estado, 0) << f.Todo();
    CerradaPorElPrograma();
    EXPECT_EQ(Agentes(), static_cast<int>(kAgentes));
    EXPECT_EQ(Contar(base, "select count(distinct CODIGO) from AGENTESVENTA"),
              static_cast<int>(kAgentes));
    EXPECT_EQ(Validar(base), "");
}

TEST_F(Ventana, SigtermIdleAfterATransfer) {
    Proceso p(Abrir("Agentes DBF -> GDB", true));
    ASSERT_TRUE(p.EsperarError("pulsador: aceptada", 120s)) << p.Terminar(1s).Todo();
    Fin f = Terminar(p);
    EXPECT_EQ(f.estado, 0) << f.Todo();
    EXPECT_EQ(f.err.find("pulsador: caja", f.err.find("pulsador: aceptada")), std::string::npos)
        << "no box (an error at the close) after the summary\n"
        << f.Todo();
    CerradaPorElPrograma();
    EXPECT_EQ(Agentes(), static_cast<int>(kAgentes));
    EXPECT_EQ(Validar(base), "");
}

TEST_F(Ventana, SigtermDuringATransfer) {
    Proceso p(Abrir("Agentes DBF -> GDB"));
    ASSERT_TRUE(p.EsperarError("pulsador: estado Actualizando Agentes", 120s))
        << p.Terminar(1s).Todo();
    Fin f = Terminar(p);
    EXPECT_EQ(f.estado, 0) << f.Todo();
    EXPECT_EQ(f.err.find("pulsador: caja"), std::string::npos)
        << "stopped after a record: neither a summary nor an error\n"
        << f.Todo();
    CerradaPorElPrograma();
    int hechos = Agentes();
    EXPECT_LT(hechos, static_cast<int>(kAgentes)) << "it did not stop";
    EXPECT_EQ(Contar(base, "select count(distinct CODIGO) from AGENTESVENTA"), hechos);
    EXPECT_EQ(Validar(base), "");
    // The batch program finishes what the window left.
    Fin otra = Ejecutar(Lote(facturaPlus, base), 60s);
    EXPECT_EQ(otra.estado, 0) << otra.Todo();
    EXPECT_NE(otra.out.find("Agentes Añadidos: " + std::to_string(kAgentes - hechos) +
                            ",   Actualizados: " + std::to_string(hechos)),
              std::string::npos)
        << otra.out;
}

// Through a server that stops answering: the window is gone within seconds of TERM all the same,
// giving up the connection, both in the middle of a transfer and idle after one (its closing
// commit has a bound).
TEST_F(Ventana, SigtermWithTheServerFrozen) {
    Carpeta propia;
    std::unique_ptr<Servidor> srv = Servidor::Propio(propia.Ruta());
    for (bool durante : {true, false}) {
        SCOPED_TRACE(durante ? "during a transfer" : "idle after a transfer");
        std::string fichero = casa.Fichero(durante ? "durante.fdb" : "despues.fdb");
        CreateFixtureDatabase(fichero);
        Proceso p(Abrir("Agentes DBF -> GDB", !durante, srv->Ruta(fichero)));
        ASSERT_TRUE(p.EsperarError(
            durante ? "pulsador: estado Actualizando Agentes" : "pulsador: aceptada", 120s))
            << p.Terminar(1s).Todo();
        // After the summary, the transfer gives its turn back: idle only a moment later.
        if (!durante) std::this_thread::sleep_for(1s);
        srv->Congelar();
        std::this_thread::sleep_for(500ms); // a record or a commit now waits for the server
        p.Marcar();
        p.Senal(SIGTERM);
        Fin f = p.Terminar(30s);
        srv->Descongelar();
        EXPECT_FALSE(f.colgado) << f.Todo();
        EXPECT_LT(f.segundos, 10.0) << f.Todo();
        EXPECT_EQ(f.senal, 0) << "ended by itself, not by the signal\n" << f.Todo();
        int filas = Contar(srv->Ruta(fichero), "select count(*) from AGENTESVENTA");
        EXPECT_EQ(Contar(srv->Ruta(fichero), "select count(distinct CODIGO) from AGENTESVENTA"),
                  filas);
        if (!durante) {
            EXPECT_EQ(filas, static_cast<int>(kAgentes));
        }
    }
}

TEST_F(Ventana, SigtermIdleBeforeAnyTransfer) {
    Proceso p(Abrir());
    ASSERT_TRUE(p.EsperarError("pulsador: ventana", 60s)) << p.Terminar(1s).Todo();
    Fin f = Terminar(p);
    EXPECT_EQ(f.estado, 0) << f.Todo();
    EXPECT_EQ(f.err.find("pulsador: caja"), std::string::npos) << f.Todo();
    EXPECT_EQ(Agentes(), 0);
}

TEST_F(Ventana, SigtermBeforeTheWindowShows) {
    Proceso p(Abrir());
    ASSERT_TRUE(p.EsperarArranque(10s));
    Fin f = Terminar(p);
    // Before it handles the signal it dies of it; after, it closes itself.
    EXPECT_TRUE(f.estado == 0 || f.senal == SIGTERM) << f.Todo();
    EXPECT_EQ(Agentes(), 0);
    EXPECT_EQ(Validar(base), "");
}

} // namespace
