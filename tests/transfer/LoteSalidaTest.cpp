// What the batch program reads and what it writes for its operator: the command line, the
// terminal's bar, a log's lines, the closing table, the messages and the report.
#include "LoteApoyo.h"
#include "Opciones.h"
#include "Progreso.h"
#include "TextoVisible.h"
#include "TransferFixture.h"
#include "Utf8.h"

#include <nlohmann/json.hpp>

#include <chrono>
#include <fstream>
#include <poll.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

Opciones Leer(std::vector<std::string> args) {
    args.insert(args.begin(), "traspaso-maestros-lote");
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    return LeerOpciones(static_cast<int>(args.size()), argv.data());
}

std::string Rechazo(const std::vector<std::string>& args) {
    try {
        Leer(args);
    } catch (const std::exception& e) {
        return e.what();
    }
    return "";
}

TEST(LoteOpcionesTest, TheUsualFormsAreRead) {
    const std::vector<std::string> lista = {"--empresas", "l.txt"};
    for (const auto& forma : std::vector<std::vector<std::string>>{
             {"-j2"}, {"-j", "2"}, {"--trabajos", "2"}, {"--trabajos=2"}}) {
        std::vector<std::string> a = lista;
        a.insert(a.end(), forma.begin(), forma.end());
        a.push_back("agentes");
        EXPECT_EQ(Leer(a).trabajos, 2) << forma[0];
    }
    // Options after the transfers too; "--" ends the options; "-" is standard output.
    Opciones o =
        Leer({"agentes", "--origen=/o", "--destino", "/d.fdb", "--informe", "-", "--", "clientes"});
    EXPECT_EQ(o.origen, "/o");
    EXPECT_EQ(o.destino, "/d.fdb");
    EXPECT_EQ(o.informe, "-");
    EXPECT_EQ(o.traspasos, (std::vector<std::string>{"agentes", "clientes"}));
    EXPECT_TRUE(Leer({"-h"}).ayuda);
    o = Leer(
        {"--empresas", "l", "--registros", "/r", "--esperar-turno", "9", "--ensayo", "agentes"});
    EXPECT_EQ(o.registros, "/r");
    EXPECT_EQ(o.esperarTurno, 9);
    EXPECT_TRUE(o.ensayo);
}

TEST(LoteOpcionesTest, MistakesAndOptionsWithoutEffectAreRefused) {
    const std::vector<std::string> uno = {"--origen", "/o", "--destino", "/d.fdb"};
    auto con = [&](std::vector<std::string> mas) {
        std::vector<std::string> a = uno;
        a.insert(a.end(), mas.begin(), mas.end());
        return a;
    };
    struct Caso {
        std::vector<std::string> args;
        std::string mensaje;
    };
    for (const Caso& c : std::vector<Caso>{
             {{"--empresas", "l", "-json", "agentes"}, "opción desconocida «-json»"},
             {con({"-x", "agentes"}), "opción desconocida «-x»"},
             {con({"--destinos=x", "agentes"}), "opción desconocida «--destinos=x»"},
             {con({"--ensayo=si", "agentes"}), "--ensayo no lleva valor"},
             {con({"agentes", "--informe"}), "falta el valor de --informe"},
             {{"--empresas", "l", "agentes", "-j"}, "falta el valor de -j"},
             {{"--empresas", "l", "-j", "0", "agentes"}, "-j necesita un número entero desde 1"},
             {con({"-j2", "agentes"}), "-j solo tiene sentido con --empresas"},
             {con({"--trabajos", "2", "agentes"}), "--trabajos solo tiene sentido con --empresas"},
             {con({"--registros", "/r", "agentes"}), "--registros solo tiene sentido con"},
             {con({"--revisar", "--confirmar-cada", "10", "agentes"}),
              "--confirmar-cada no tiene sentido con --revisar"},
             {con({"--revisar", "--esperar-turno", "10", "agentes"}),
              "--esperar-turno no tiene sentido con --revisar"},
             {con({"--ensayo", "--confirmar-cada", "10", "agentes"}),
              "--confirmar-cada no tiene sentido con --ensayo"},
             {con({"--", "--ensayo", "agentes"}), "traspaso desconocido «--ensayo»"},
             {con({"facturas"}), "traspaso desconocido «facturas»"},
             {con({}), "falta qué traspasar"},
         }) {
        EXPECT_NE(Rechazo(c.args).find(c.mensaje), std::string::npos) << c.mensaje << "\n"
                                                                      << Rechazo(c.args);
    }
}

TEST(TextoVisibleTest, ControlCharactersAndBadBytesAreShownByNumber) {
    struct Caso {
        std::string dentro, fuera;
    };
    for (const Caso& c : std::vector<Caso>{
             {"Añadidos: 9", "Añadidos: 9"},
             {"\x1b]0;t\x07", "<0x1B>]0;t<0x07>"},
             {"uno\ndos\r\t", "uno<0x0A>dos<0x0D><0x09>"},
             {"\x7f\xc2\x85", "<0x7F><0x85>"}, // DEL and NEL (C1)
             {"a\xe2\x80\xae"
              "b\xe2\x80\xa8",
              "a<U+202E>b<U+2028>"},           // reordering, line separator
             {"\xD1o\xF1o", "<0xD1>o<0xF1>o"}, // Latin-1, not UTF-8
         })
        EXPECT_EQ(TextoVisible(c.dentro), c.fuera) << c.fuera;
    EXPECT_EQ(MensajeVisible("Error: \x1b[31m\nmotor: x\x07"), "Error: <0x1B>[31m\nmotor: x<0x07>")
        << "a message keeps its own lines";
}

TEST(LoteProgresoTest, TheBarFitsTheTerminalAndTellsTheTimeLeftOnlyOnceTheRateHasSettled) {
    Avance a{"artículos-con-un-nombre-largo.dbf", 1200, 3000, 10.0};
    for (int columnas : {10, 20, 40, 60, 80, 132, 300}) {
        std::string b = Barra(a, columnas);
        EXPECT_LE(utf8::Length(b), static_cast<std::size_t>(columnas - 1)) << columnas << ": " << b;
        if (columnas >= 40) {
            EXPECT_NE(b.find("] 1200/3000"), std::string::npos) << columnas << ": " << b;
        }
    }
    EXPECT_NE(Barra(a, 132).find("120 reg/s  quedan 00:15"), std::string::npos) << Barra(a, 132);
    EXPECT_EQ(Quedan(a), 15);
    EXPECT_FALSE(Quedan(Avance{"a.dbf", 500, 3000, 1.0})) << "one second in: no telling yet";
    EXPECT_FALSE(Quedan(Avance{"a.dbf", 5, 3000, 10.0})) << "five records in: no telling yet";
    EXPECT_NE(Barra(Avance{"a.dbf", 500, 3000, 1.0}, 80).find("quedan --:--"), std::string::npos);
    EXPECT_EQ(LineaDeRegistro(a, "14:03:12"),
              "14:03:12 artículos-con-un-nombre-largo.dbf: 1200 de 3000 registros, 120.0 reg/s, "
              "quedan 00:15");
}

TEST(LoteProgresoTest, TheClosingTableHasALineATransferAndATotal) {
    std::string t =
        TablaFinal({{"agentes", 8, 0, 1, 9, 0.5, 0, {}}, {"articulos", 18, 2, 0, 20, 1.25, 0, {}}},
                   Tabla::Traspaso);
    EXPECT_EQ(t, "Traspaso   Añadidos  Actualizados  Rechazados  Segundos\n"
                 "agentes           8             0           1       0.5\n"
                 "articulos        18             2           0       1.2\n"
                 "Total            26             2           1       1.8\n");
    std::string r = TablaFinal({{"agentes", 0, 0, 3, 9, 0.5, 0, {}}}, Tabla::Revision);
    EXPECT_NE(r.find("Registros  Con avisos"), std::string::npos) << r;
    EXPECT_NE(r.find("\nTotal             9           3       0.5\n"), std::string::npos) << r;
}

// The batch program on a terminal of `columnas` columns: everything it wrote there.
std::string EnTerminal(const std::vector<std::string>& args, int columnas, double& segundos) {
    winsize w{};
    w.ws_col = static_cast<unsigned short>(columnas);
    w.ws_row = 24;
    int maestro = -1;
    auto inicio = std::chrono::steady_clock::now();
    pid_t pid = forkpty(&maestro, nullptr, nullptr, &w);
    if (pid == 0) {
        std::vector<std::string> a = args;
        a.insert(a.begin(), LOTE);
        std::vector<char*> argv;
        for (std::string& s : a)
            argv.push_back(s.data());
        argv.push_back(nullptr);
        execv(LOTE, argv.data());
        _exit(127);
    }
    std::string todo;
    char b[4096];
    for (;;) {
        pollfd p{maestro, POLLIN, 0};
        if (poll(&p, 1, 60000) <= 0) break;
        ssize_t n = read(maestro, b, sizeof b);
        if (n <= 0) break; // EIO once the program has gone
        todo.append(b, static_cast<std::size_t>(n));
    }
    waitpid(pid, nullptr, 0);
    segundos = std::chrono::duration<double>(std::chrono::steady_clock::now() - inicio).count();
    close(maestro);
    return todo;
}

class LoteSalidaTest : public TransferTest {
protected:
    void SetUp() override {
        TransferTest::SetUp();
        datos.reset(); // the batch program opens the target
    }
};

TEST_F(LoteSalidaTest, TheBarIsDrawnAtMostTenTimesASecondAndFitsTheTerminal) {
    std::vector<Fila> filas;
    for (int i = 0; i < 3000; ++i)
        filas.push_back({{"CCODAGE", std::to_string(i)}});
    Agentes(filas);
    for (int columnas : {80, 40}) {
        double segundos = 0;
        std::string t =
            // Grouped commits: a walk of a second or two, not of a commit to the disk a record.
            EnTerminal(
                {"--confirmar-cada", "500", "--origen", carpeta, "--destino", base, "agentes"},
                columnas, segundos);
        ASSERT_NE(t.find("Agentes Añadidos: "), std::string::npos) << t;
        std::size_t dibujos = 0;
        for (std::size_t p = 0; (p = t.find("] ", p)) != std::string::npos; ++p)
            ++dibujos;
        EXPECT_GE(dibujos, 1u) << t;
        EXPECT_LE(dibujos, static_cast<std::size_t>(10 * segundos) + 2)
            << dibujos << " bars in " << segundos << " s";
        // Each drawing of the bar, and each blanking of it, within the terminal's width: a
        // longer one would wrap and leave blank lines behind.
        std::string trozo;
        for (char c : t) {
            if (c != '\r' && c != '\n') {
                trozo += c;
                continue;
            }
            bool barra = trozo.find("] ") != std::string::npos;
            bool blanco = !trozo.empty() && trozo.find_first_not_of(' ') == std::string::npos;
            if (barra || blanco) {
                EXPECT_LT(utf8::Length(trozo), static_cast<std::size_t>(columnas)) << trozo;
            }
            trozo.clear();
        }
    }
}

TEST_F(LoteSalidaTest, WarningsNameTheFileTheRecordAndTheCodeAsWrittenAndTheRunEndsWithATable) {
    WriteFacturaPlusTable(
        carpeta, "clientes",
        {{{"CCODCLI", "CLI00001"}, {"CPTLCLI", "123456789"}}, {{"CCODCLI", "CLI00002"}}}, 0x02, {},
        {{"CCODCLI", 8}});
    SalidaLote s = EjecutarLote({"--origen", carpeta, "--destino", base, "clientes"});
    EXPECT_EQ(s.estado, 1) << s.err;
    EXPECT_NE(s.err.find("Aviso: clientes.dbf, registro 1, código «CLI00001»: Parámetro "
                         "CODIGOPOSTAL"),
              std::string::npos)
        << s.err;
    EXPECT_EQ(s.err.find("qClientes"), std::string::npos) << s.err;
    EXPECT_NE(s.out.find("Clientes Añadidos: 1,   Actualizados: 0\n\nTraspaso  Añadidos  "
                         "Actualizados  Rechazados  Segundos\nclientes         1             0"
                         "           1"),
              std::string::npos)
        << s.out;
    EXPECT_NE(s.out.find("\nTotal            1             0           1"), std::string::npos)
        << s.out;

    // Without a terminal, a log line every few seconds says the time of day.
    SalidaLote sin = EjecutarLote({"--origen", dir.File("no-hay"), "--destino", base, "clientes"});
    EXPECT_EQ(sin.estado, 2);
    EXPECT_NE(sin.err.find("La carpeta de las tablas «" + dir.File("no-hay") + "» no existe"),
              std::string::npos)
        << sin.err;
    EXPECT_EQ(sin.err.find("Aux_Impor"), std::string::npos) << "the alias is no concern of his";
}

TEST_F(LoteSalidaTest, TheReportGoesToStandardOutputAloneAndIsWrittenWhateverTheBytesOfAPath) {
    // A source folder named on a system of another code page.
    const std::string latin1 = dir.File("Empresa \xD1");
    fs::create_directory(latin1);
    WriteFacturaPlusTable(latin1, "agentes", {{{"CCODAGE", "001"}}});
    SalidaLote s =
        EjecutarLote({"--origen", latin1, "--destino", base, "--informe", "-", "agentes"});
    EXPECT_EQ(s.estado, 0) << s.err;
    nlohmann::json j = nlohmann::json::parse(s.out); // the whole of standard output
    EXPECT_EQ(j["origen"], dir.File("Empresa \xEF\xBF\xBD")) << "a replacement character";
    EXPECT_EQ(j["traspasos"][0]["anadidos"], 1);
    EXPECT_NE(s.err.find("Agentes Añadidos: 1,   Actualizados: 0"), std::string::npos) << s.err;
}

} // namespace
