// A table whose header names the wrong code page, through a real transfer into a real target:
// the run warns of it once, reads it as its header says, and reads it in the page the operator
// chooses when told to; the batch program's review counts the warning as a finding.
#include "CodePage.h"
#include "LoteApoyo.h"
#include "TransferFixture.h"
#include "Utf8.h"
#include "Win1252.h"

#include <fstream>
#include <set>
#include <sys/wait.h>

namespace {

// Records the tables the run reports, besides what Grabadora records.
class ConTablas : public Grabadora {
public:
    void Tabla(const InfoTabla& t) override { tablas.push_back(t); }
    std::vector<InfoTabla> tablas;
};

void Reetiquetar(const std::string& ruta, uint8_t byte) {
    std::fstream f(ruta, std::ios::in | std::ios::out | std::ios::binary);
    f.seekp(29);
    f.put(static_cast<char>(byte));
}

// Each `marca` of record r (0-based) becomes the byte 0x80 + r.
void ConByteAlto(const std::string& ruta, char marca) {
    std::string b = LeerFichero(ruta);
    const std::size_t cabecera = static_cast<uint8_t>(b[8]) | static_cast<uint8_t>(b[9]) << 8;
    const std::size_t largo = static_cast<uint8_t>(b[10]) | static_cast<uint8_t>(b[11]) << 8;
    for (std::size_t i = cabecera; i < b.size() && b[i] != 0x1A; ++i)
        if (b[i] == marca) b[i] = static_cast<char>(0x80 + (i - cabecera) / largo);
    std::ofstream(ruta, std::ios::binary | std::ios::trunc) << b;
}

class PaginaDeCodigosTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::filesystem::create_directory(carpeta);
        CreateFixtureDatabase(base);
        Nuevo();
    }
    void Nuevo() {
        datos = std::make_unique<TDatos>(ui);
        datos->CrearAlias(carpeta);
        datos->SetRutaDestino(base);
    }
    std::vector<std::string> AvisosDePagina() const {
        std::vector<std::string> v;
        for (const std::string& a : ui.avisos)
            if (a.find("la cabecera dice página") != std::string::npos) v.push_back(a);
        return v;
    }
    std::string Nombre(const std::string& codigo) {
        auto filas =
            QueryRows(base, "select NOMBRE from AGENTESVENTA where CODIGO = '" + codigo + "'");
        return filas.empty() ? "(ninguna fila)" : std::get<std::string>(filas[0]["NOMBRE"]);
    }

    TempDir dir;
    std::string carpeta = dir.File("FacturaPlus");
    std::string base = dir.File("orvalia.fdb");
    ConTablas ui;
    std::unique_ptr<TDatos> datos;
};

TEST_F(PaginaDeCodigosTest, TheDemoAgentsLabelledWindowsWarnOnceAndTheOperatorsPageReadsThemRight) {
    ASSERT_EQ(std::system((std::string(DEMO) + " '" + carpeta + "' >/dev/null").c_str()), 0);
    Reetiquetar(carpeta + "/agentes.dbf", 0x03);

    EXPECT_TRUE(datos->TraspasoAgentes());
    std::vector<std::string> avisos = AvisosDePagina();
    ASSERT_EQ(avisos.size(), 1u) << "once for the table, not per record";
    EXPECT_EQ(avisos[0].rfind("agentes.dbf: la cabecera dice página 1252 (Windows), pero el texto "
                              "se lee mucho mejor como 850 (DOS): «Martínez», «Ibáñez»",
                              0),
              0u)
        << avisos[0];
    ASSERT_FALSE(ui.tablas.empty());
    EXPECT_EQ(ui.tablas[0].fichero, "agentes.dbf");
    EXPECT_EQ(ui.tablas[0].pagina, 1252);
    EXPECT_EQ(ui.tablas[0].sospecha, avisos[0]);
    for (std::size_t i = 1; i < ui.tablas.size(); ++i)
        EXPECT_EQ(ui.tablas[i].sospecha, "") << ui.tablas[i].fichero << ", rightly labelled";
    // Read as the header says: what the operator is warned of is what was committed, and a
    // byte that 1252 does not have (850's ü) refuses its record.
    EXPECT_EQ(Nombre("001"), "Jos‚ Luis Mart¡nez Ib\u00A0¤ez");
    EXPECT_EQ(Nombre("003"), "(ninguna fila)");
    bool refused = false;
    for (const std::string& a : ui.avisos)
        refused = refused || a.find("tabla agentes.dbf, campo CAPEAGE, registro 3: el byte 0x81 "
                                    "no existe en la página de códigos 1252") != std::string::npos;
    EXPECT_TRUE(refused);

    // Another session of the program, with the page chosen for that table.
    ui = ConTablas{};
    Nuevo();
    datos->PaginaDeCodigos("agentes", 850);
    EXPECT_TRUE(datos->TraspasoAgentes());
    EXPECT_EQ(ui.Textos().back(), "Agentes Añadidos: 1,   Actualizados: 7");
    EXPECT_EQ(Nombre("001"), "José Luis Martínez Ibáñez");
    EXPECT_EQ(Nombre("003"), "Ángel Güell Comas");
    EXPECT_EQ(Nombre("009"), "Íñigo Zubizarreta");
    EXPECT_TRUE(AvisosDePagina().empty());
    ASSERT_FALSE(ui.tablas.empty());
    EXPECT_EQ(ui.tablas[0].razon, "página de códigos 850 (DOS), elegida por el operador");
    EXPECT_EQ(ui.tablas[0].sospecha, "");

    EXPECT_EQ(Mensaje([&] { datos->PaginaDeCodigos("agentes", 65001); }),
              "La página de códigos 65001 elegida para la tabla «agentes» no es ninguna de las "
              "que se conocen: 437, 737, 850, 852, 857, 860, 861, 863, 865, 866, 1250, 1251, "
              "1252, 1253 y 1254");
}

// The batch program's review finds nothing in a clean table, and the wrong label once it is
// there: exit status 1, the pages named on the error output.
TEST_F(PaginaDeCodigosTest, TheReviewCountsTheWrongLabelAsAFinding) {
    datos.reset();
    std::vector<Fila> filas;
    const char* nombres[] = {"José", "María", "Íñigo", "Begoña", "Andrés", "Lucía"};
    for (int i = 0; i < 6; ++i)
        filas.push_back({{"CCODAGE", "00" + std::to_string(i)},
                         {"CNBRAGE", nombres[i]},
                         {"CAPEAGE", "Núñez Peña"}});
    WriteFacturaPlusTable(carpeta, "agentes", filas, 0x02);
    auto revisar = [&](std::string& err) {
        std::string cmd = std::string(LOTE) + " --revisar --origen '" + carpeta + "' --destino '" +
                          base + "' agentes >/dev/null 2>" + dir.File("err");
        int rc = std::system(cmd.c_str());
        err = LeerFichero(dir.File("err"));
        return WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
    };
    std::string err;
    EXPECT_EQ(revisar(err), 0) << err;
    Reetiquetar(carpeta + "/agentes.dbf", 0x03);
    EXPECT_EQ(revisar(err), 1);
    EXPECT_NE(err.find("agentes.dbf: la cabecera dice página 1252 (Windows), pero el texto se lee "
                       "mucho mejor como 850 (DOS)"),
              std::string::npos)
        << err;
}

// The operator's choice from the batch program: the names arrive right, and both its output and
// its report say who chose the page.
TEST_F(PaginaDeCodigosTest, TheBatchProgramsChoiceReadsTheRelabelledTableRightAndSaysSo) {
    datos.reset();
    ASSERT_EQ(std::system((std::string(DEMO) + " '" + carpeta + "' >/dev/null").c_str()), 0);
    Reetiquetar(carpeta + "/agentes.dbf", 0x03);
    SalidaLote s =
        EjecutarLote({"--pagina-de-codigos", "agentes=850", "--informe", dir.File("informe.json"),
                      "--origen", carpeta, "--destino", base, "agentes"});
    EXPECT_EQ(s.estado, 1) << "the demo's refused e-mail\n" << s.err;
    EXPECT_EQ(Nombre("001"), "José Luis Martínez Ibáñez");
    EXPECT_NE(s.out.find("agentes.dbf: página de códigos 850 (DOS), elegida por el operador"),
              std::string::npos)
        << s.out;
    EXPECT_EQ(s.err.find("la cabecera dice página"), std::string::npos) << s.err;
    std::string informe = LeerFichero(dir.File("informe.json"));
    EXPECT_NE(informe.find("elegida por el operador"), std::string::npos) << informe;
    EXPECT_NE(informe.find("\"paginaDeCodigos\": 850"), std::string::npos) << informe;
}

// Text goes to the target without passing through UTF-8 when its page maps onto Windows-1252 byte
// by byte: every high byte of every page must still arrive as the character it decodes to, cut
// where the decoded text would be cut, and be refused with the same message where it has no
// place in the target (a byte the page leaves undefined, a character Windows-1252 lacks).
TEST_F(PaginaDeCodigosTest, EveryHighByteOfEveryPageArrivesAsItsCharacterOrIsRefusedAsBefore) {
    // What Windows-1252 holds, from the conversion the other way; its five undefined bytes are
    // not characters of it.
    std::set<std::string> repertorio;
    for (int b = 0x80; b < 0x100; ++b)
        if (b != 0x81 && b != 0x8D && b != 0x8F && b != 0x90 && b != 0x9D)
            repertorio.insert(Cp1252ToUtf8(std::string(1, static_cast<char>(b))));

    const std::vector<std::pair<uint8_t, int>> paginas = {
        {0x01, 437},  {0x02, 850}, {0x03, 1252}, {0x64, 852},  {0x66, 865},
        {0x65, 866},  {0x24, 860}, {0x67, 861},  {0x1C, 863},  {0x6B, 857},
        {0x6A, 737},  {0xC8, 1250}, {0xC9, 1251}, {0xCB, 1253}, {0xCA, 1254}};
    int escritos = 0, rechazados = 0;
    for (const auto& [driver, numero] : paginas) {
        SCOPED_TRACE("página " + std::to_string(numero));
        const CodePage pagina = *CodePage::ByNumber(numero);
        std::vector<Fila> filas;
        for (int b = 0x80; b < 0x100; ++b)
            filas.push_back({{"CCODAGE", std::to_string(b)},
                             {"CNBRAGE", "Agente"},
                             // Cut to 35 characters: the byte is the 35th, and one more goes.
                             {"CDIRAGE", std::string(34, 'a') + "~~"},
                             {"CPOBAGE", "x~y"}});
        WriteFacturaPlusTable(carpeta, "agentes", filas);
        ConByteAlto(carpeta + "/agentes.dbf", '~');
        Reetiquetar(carpeta + "/agentes.dbf", driver);
        ui = ConTablas{};
        Nuevo();
        datos->TraspasoAgentes();

        std::vector<std::string> avisos;
        for (const std::string& a : ui.avisos)
            if (a.find("la cabecera dice página") == std::string::npos) avisos.push_back(a);
        auto avisado = [&](const std::string& texto) {
            return std::any_of(avisos.begin(), avisos.end(), [&](const std::string& a) {
                return a.find(texto) != std::string::npos;
            });
        };
        std::size_t esperados = 0;
        for (int b = 0x80; b < 0x100; ++b) {
            const std::string codigo = std::to_string(b);
            SCOPED_TRACE("byte " + codigo);
            std::string caracter;
            uint8_t malo = 0;
            if (!pagina.Decode(std::string(1, static_cast<char>(b)), caracter, malo)) {
                ++esperados, ++rechazados;
                char hex[8];
                std::snprintf(hex, sizeof hex, "0x%02X", b);
                EXPECT_TRUE(avisado("campo CDIRAGE, registro " + std::to_string(b - 0x7F) +
                                    ": el byte " + hex + " no existe en la página de códigos " +
                                    std::to_string(numero)));
                continue;
            }
            if (!repertorio.count(caracter)) {
                ++esperados, ++rechazados;
                EXPECT_TRUE(avisado("Parámetro DIRECCION: el carácter '" + caracter + "'"));
                continue;
            }
            ++escritos;
            auto filasDestino = QueryRows(base,
                "select DIRECCION, LOCALIDAD from AGENTESVENTA where CODIGO = '" + codigo + "'");
            ASSERT_EQ(filasDestino.size(), 1u);
            EXPECT_EQ(std::get<std::string>(filasDestino[0]["DIRECCION"]),
                      std::string(34, 'a') + caracter);
            EXPECT_EQ(std::get<std::string>(filasDestino[0]["LOCALIDAD"]), "x" + caracter + "y");
        }
        EXPECT_EQ(avisos.size(), esperados);
    }
    // Every page has characters of both kinds, so both ways were taken.
    EXPECT_GT(escritos, 800);
    EXPECT_GT(rechazados, 900);
}

} // namespace
