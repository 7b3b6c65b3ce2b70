// A table whose header names the wrong code page, through a real transfer into a real target:
// the run warns of it once, reads it as its header says, and reads it in the page the operator
// chooses when told to; the batch program's review counts the warning as a finding.
#include "LoteApoyo.h"
#include "TransferFixture.h"

#include <fstream>
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

} // namespace
