// The terminal or the pipe the batch program writes to going away: a terminal closed under it
// (SIGHUP) stops the run as TERM does, with its message and its report; a standard output or
// error closed early (a pipe into `head`) ends nothing.
#include "Apoyo.h"

#include "Comprobar.h"
#include "DbfWriter.h"

#include <csignal>
#include <nlohmann/json.hpp>

namespace {

class Terminal : public Fallo {
protected:
    // Runs `orden` with bash; its exit status, or -1.
    static int Bash(const std::string& orden) {
        std::string c = "bash -c '" + orden + "'";
        int rc = std::system(c.c_str());
        return WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
    }
};

TEST_F(Terminal, AClosedTerminalStopsTheRunWithItsMessageAndItsReport) {
    std::string base = Remota("orvalia.fdb");
    EscribirAgentes(origen, kAgentes, "Agente");
    std::string informe = dir.Fichero("informe.json");
    Proceso::Opciones o = Lote(origen, base, "agentes", true);
    o.argv.insert(o.argv.end(), {"--informe", informe});
    Proceso p(o);
    ASSERT_GE(p.EsperarProgreso(300, 60s), 300u) << p.Terminar(1s).Todo();
    p.Marcar();
    p.Senal(SIGHUP);
    Fin f = p.Terminar(30s);
    EXPECT_FALSE(f.colgado) << f.Todo();
    EXPECT_EQ(f.senal, 0) << "killed by the signal, not stopped\n" << f.Todo();
    EXPECT_EQ(f.estado, 128 + SIGHUP) << f.Todo();
    EXPECT_LT(f.segundos, 5.0) << f.Todo();
    std::vector<std::string> fin = f.Lineas("Traspaso interrumpido por la señal HUP");
    ASSERT_EQ(fin.size(), 1u) << f.Todo();
    long dichos = NumeroTras(fin[0], "hasta él, ");
    EXPECT_EQ(Contar(base, "select count(*) from AGENTESVENTA"), dichos) << fin[0];
    nlohmann::json j = nlohmann::json::parse(LeerFichero(informe));
    EXPECT_EQ(j["completo"], false);
    EXPECT_EQ(j["estado"], 128 + SIGHUP);
    EXPECT_NE(j["error"].get<std::string>().find("HUP"), std::string::npos) << j["error"];
    EXPECT_EQ(j["traspasos"][0]["anadidos"], dichos);
}

TEST_F(Terminal, AStandardOutputOrErrorClosedEarlyEndsNothing) {
    const std::size_t n = 600;
    EscribirClientes(origen, n, "Cliente", "Banco");
    // Agents whose e-mail does not fit: a warning on standard error each.
    std::vector<Fila> agentes;
    for (const char* c : {"001", "002", "003", "004"})
        agentes.push_back({{"CCODAGE", c}, {"EMAIL", std::string(45, 'e')}});
    agentes.push_back({{"CCODAGE", "005"}});
    WriteFacturaPlusTable(origen, "agentes", agentes);
    for (const char* redireccion :
         {"| head -1 >/dev/null", "2>&1 >/dev/null | head -c1 >/dev/null"}) {
        SCOPED_TRACE(redireccion);
        std::string base =
            Remota(std::string("orvalia") + (redireccion[0] == '|' ? "1" : "2") + ".fdb");
        // The closed pipe is written to long after it closed: by the later status lines, and
        // by the progress lines of a log every few seconds.
        int estado = Bash(std::string(LOTE) + " --origen " + origen + " --destino " + base +
                          " agentes clientes " + redireccion + "; exit ${PIPESTATUS[0]}");
        EXPECT_EQ(estado, 1) << "four agents warned about, nothing else";
        EXPECT_EQ(Contar(base, "select count(*) from AGENTESVENTA"), 1);
        EXPECT_EQ(Contar(base, "select count(*) from CLIENTES"), static_cast<int>(n))
            << "the transfer after the closed output ran too";
    }
}

// Values of the source that would act on a terminal or forge a line of a log: an escape
// sequence that retitles the window, a colour, a line break followed by a summary line.
TEST_F(Terminal, ValuesWithControlCharactersAreShownEscaped) {
    const std::string correo = "\x1b]0;titulo\x07\x1b[31mrojo\nAgentes Añadidos: 999,   "
                               "Actualizados: 0 " +
                               std::string(20, 'x');
    WriteFacturaPlusTable(origen, "agentes",
                          {{{"CCODAGE", "\x1b[m"}, {"EMAIL", correo}}, {{"CCODAGE", "002"}}});
    Fin f = Ejecutar(Lote(origen, Remota("orvalia.fdb"), "agentes", true), 60s);
    EXPECT_EQ(f.estado, 1) << f.Todo();
    for (const std::string* flujo : {&f.out, &f.err}) {
        EXPECT_EQ(flujo->find('\x1b'), std::string::npos) << "a raw escape\n" << *flujo;
        EXPECT_EQ(flujo->find('\x07'), std::string::npos) << "a raw bell\n" << *flujo;
        EXPECT_EQ(flujo->find("\nAgentes Añadidos: 999"), std::string::npos) << "a forged line\n"
                                                                             << *flujo;
    }
    std::vector<std::string> avisos = f.Lineas("Aviso:");
    ASSERT_EQ(avisos.size(), 1u) << f.Todo();
    EXPECT_NE(avisos[0].find("código «<0x1B>[m»"), std::string::npos) << avisos[0];
    EXPECT_NE(avisos[0].find("«<0x1B>]0;titulo<0x07><0x1B>[31mrojo<0x0A>Agentes Añadidos: 999"),
              std::string::npos)
        << avisos[0];
    EXPECT_NE(f.out.find("Agentes Añadidos: 1,   Actualizados: 0"), std::string::npos) << f.out;
}

} // namespace
