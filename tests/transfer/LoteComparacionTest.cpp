// The batch program's comparison and its run of only the changes, as an operator uses them on
// the demo company: the lines it prints, its exit status, its report, the options it refuses,
// and the same per company under --empresas; and the code page an operator chooses.
#include "LoteApoyo.h"
#include "TransferFixture.h"

#include <nlohmann/json.hpp>

#include <fstream>

namespace {

using json = nlohmann::json;

class LoteComparacionTest : public TransferTest {
protected:
    void SetUp() override {
        TransferTest::SetUp();
        datos.reset(); // the batch program opens the target
        ASSERT_EQ(std::system((std::string(DEMO) + " '" + carpeta + "' >/dev/null").c_str()), 0);
    }
    SalidaLote Lote(std::vector<std::string> antes,
                    const std::vector<std::string>& traspasos = {"agentes", "proveedores",
                                                                 "clientes", "articulos"}) {
        antes.insert(antes.end(), {"--origen", carpeta, "--destino", base});
        antes.insert(antes.end(), traspasos.begin(), traspasos.end());
        return EjecutarLote(antes);
    }
    std::vector<std::string> Lineas(const std::string& texto, const std::string& empiezan) {
        std::vector<std::string> v;
        std::size_t p = 0;
        while (p < texto.size()) {
            std::size_t fin = texto.find('\n', p);
            std::string l = texto.substr(p, fin - p);
            if (l.rfind(empiezan, 0) == 0) v.push_back(l);
            p = fin == std::string::npos ? texto.size() : fin + 1;
        }
        return v;
    }
    json Informe(const std::string& ruta) {
        std::ifstream f(ruta);
        return json::parse(f);
    }
};

TEST_F(LoteComparacionTest, TheComparisonSaysWhatDiffersExitsOneAndReportsIt) {
    ASSERT_EQ(Lote({}).estado, 1) << "the demo's refused e-mail";
    ASSERT_EQ(Lote({}).estado, 1);
    Ejecutar("update CLIENTES set NOMBRE = 'Juan Perez' where CODIGO = '430002'");
    Ejecutar("insert into CLIENTES (IDCLIENTES, CODIGO, NOMBRE) values (900, 'X9', 'Solo aquí')");
    const std::string informe = dir.File("comparacion.json");

    SalidaLote s = Lote({"--comparar", "--informe", informe});
    EXPECT_EQ(s.estado, 1) << s.err;
    EXPECT_EQ(Lineas(s.out, "Diferencia:"),
              std::vector<std::string>{"Diferencia: CLIENTES «430002» NOMBRE: destino «Juan "
                                       "Perez» / origen «Ferretería El Clavo»"});
    EXPECT_EQ(Lineas(s.out, "Solo en destino:"),
              std::vector<std::string>{"Solo en destino: CLIENTES «X9»"});
    EXPECT_EQ(Lineas(s.out, "Nuevo:"), std::vector<std::string>{});
    EXPECT_NE(s.err.find("EMAIL1"), std::string::npos) << "refused as a run refuses it";

    json j = Informe(informe);
    EXPECT_EQ(j["modo"], "comparacion");
    EXPECT_EQ(j["estado"], 1);
    const json& c = j["traspasos"][2];
    ASSERT_EQ(c["nombre"], "clientes");
    EXPECT_EQ(c["comparacion"]["iguales"], 12);
    EXPECT_EQ(c["comparacion"]["distintos"], 1);
    EXPECT_EQ(c["comparacion"]["nuevos"], 0);
    EXPECT_EQ(c["comparacion"]["soloEnDestino"], 1);
    EXPECT_EQ(c["comparacion"]["codigosSoloEnDestino"], json::array({"X9"}));
    ASSERT_EQ(c["diferencias"].size(), 1u);
    EXPECT_EQ(c["diferencias"][0], (json{{"tabla", "CLIENTES"},
                                         {"codigo", "430002"},
                                         {"columna", "NOMBRE"},
                                         {"destino", "Juan Perez"},
                                         {"origen", "Ferretería El Clavo"}}));
    EXPECT_EQ(j["traspasos"][0]["rechazados"], 1);

    // Only the changed client is written; then the target holds what the source says. What is
    // left only in the target does not make the comparison fail.
    SalidaLote w = Lote({"--solo-cambios"}, {"clientes"});
    EXPECT_EQ(w.estado, 0) << w.err;
    EXPECT_NE(w.out.find("Clientes Añadidos: 0,   Actualizados: 1\n"), std::string::npos) << w.out;
    EXPECT_NE(w.out.find("Clientes sin cambios: 12\n"), std::string::npos) << w.out;
    SalidaLote d = Lote({"--comparar"}, {"proveedores", "clientes", "articulos"});
    EXPECT_EQ(d.estado, 0) << d.out << d.err;
    EXPECT_EQ(Lineas(d.out, "Diferencia:"), std::vector<std::string>{});
}

TEST_F(LoteComparacionTest, ANewRecordMakesTheComparisonFailAndNothingIsWritten) {
    ASSERT_EQ(Lote({}, {"proveedores"}).estado, 0);
    Ejecutar("delete from PROVEEDORES where CODIGO = '400003'");
    auto antes = Leer("select * from PROVEEDORES order by 1");
    auto generador = Leer("select gen_id(GENIDPROVEEDORES, 0) as G from rdb$database");
    SalidaLote s = Lote({"--comparar"}, {"proveedores"});
    EXPECT_EQ(s.estado, 1);
    EXPECT_EQ(Lineas(s.out, "Nuevo:"), std::vector<std::string>{"Nuevo: PROVEEDORES «400003»"});
    EXPECT_EQ(Leer("select * from PROVEEDORES order by 1"), antes);
    EXPECT_EQ(Leer("select gen_id(GENIDPROVEEDORES, 0) as G from rdb$database"), generador);
}

TEST_F(LoteComparacionTest, OptionsThatCannotGoTogetherAreRefusedBeforeAnything) {
    for (const auto& args :
         std::vector<std::vector<std::string>>{{"--comparar", "--ensayo"},
                                               {"--comparar", "--revisar"},
                                               {"--solo-cambios", "--revisar"},
                                               {"--solo-cambios", "--comparar"},
                                               {"--comparar", "--confirmar-cada", "5"},
                                               {"--pagina-de-codigos", "=850"},
                                               {"--pagina-de-codigos", "agentes=ocho"}}) {
        SalidaLote s = Lote(args, {"agentes"});
        EXPECT_EQ(s.estado, 2) << args[0] << " " << args[1] << "\n" << s.err;
    }
    EXPECT_TRUE(Leer("select * from AGENTESVENTA").empty());
    // A dry run of only the changes writes nothing either.
    SalidaLote e = Lote({"--solo-cambios", "--ensayo"}, {"agentes"});
    EXPECT_EQ(e.estado, 1) << e.err;
    EXPECT_NE(e.out.find("Agentes Añadidos: 8"), std::string::npos) << e.out;
    EXPECT_TRUE(Leer("select * from AGENTESVENTA").empty());
}

TEST_F(LoteComparacionTest, EachCompanyIsComparedOnItsOwnAndTheReportHoldsThemAll) {
    ASSERT_EQ(Lote({}, {"proveedores"}).estado, 0);
    std::string otra = dir.File("otra.fdb");
    CreateFixtureDatabase(otra);
    std::string lista = dir.File("empresas.txt");
    std::ofstream(lista) << carpeta << "\t" << base << "\n" << carpeta << "\t" << otra << "\n";
    std::string informe = dir.File("todas.json");
    SalidaLote s =
        EjecutarLote({"--empresas", lista, "--comparar", "--informe", informe, "proveedores"});
    EXPECT_EQ(s.estado, 1) << s.out << s.err;
    json j = Informe(informe);
    ASSERT_EQ(j["empresas"].size(), 2u);
    const json& a = j["empresas"][0]["traspasos"][0]["comparacion"];
    const json& b = j["empresas"][1]["traspasos"][0]["comparacion"];
    EXPECT_EQ(a["iguales"], 9);
    EXPECT_EQ(a["nuevos"], 0);
    EXPECT_EQ(b["nuevos"], 9) << "the other target is empty";
    EXPECT_TRUE(Leer("select * from PROVEEDORES").size() == 9u);
}

} // namespace
