// The suppliers transfer end to end, and the value rules it shares with the clients.
#include "FbError.h"
#include "Reglas.h"
#include "TransferFixture.h"

namespace {

double Simple(double v) {
    return static_cast<double>(static_cast<float>(v));
}

Fila Proveedor(const std::string& codigo, const std::string& nombre = "Suministros Sur") {
    return {{"CCODPRO", codigo}, {"CNOMPRO", nombre}};
}

TEST(ReglasTest, BankControlDigits) {
    EXPECT_EQ(DigitosControl("2100", "0418", "0200051332"), "45");
    EXPECT_EQ(DigitosControl("2100", "0001", "0200051332"), "05") << "with its leading zero";
    EXPECT_EQ(DigitosControl("0000", "0000", "0000000000"), "00") << "11 is written 0";
    EXPECT_EQ(DigitosControl("0000", "0000", "0000000002"), "01") << "10 is written 1";
    EXPECT_EQ(DigitosControl("2100", "0418", "0200051332  "), "45") << "trailing blanks aside";
    for (auto [e, s, c] : std::vector<std::tuple<std::string, std::string, std::string>>{
             {"21A0", "0418", "0200051332"},
             {"2100", "418", "0200051332"},
             {"2100", "0418", "200051332"},
             {"2100", "0418", ""},
             {" 2100", "0418", "0200051332"},
             {"2100", "0418", "02000513321"}})
        EXPECT_FALSE(DigitosControl(e, s, c).has_value()) << e << "/" << s << "/" << c;
}

TEST(ReglasTest, CountryAndFixedDay) {
    EXPECT_EQ(Pais("ESPA"), "ESPAÑA");
    EXPECT_EQ(Pais("espa"), "espa");
    EXPECT_EQ(Pais("ESPA "), "ESPA ");
    EXPECT_EQ(Pais(""), "");
    EXPECT_EQ(DiaFijo(15), 15);
    EXPECT_EQ(DiaFijo(31), 31);
    EXPECT_FALSE(DiaFijo(0).has_value());
    EXPECT_FALSE(DiaFijo(32).has_value());
    EXPECT_EQ(DiaFijo(-3), -3) << "compared as signed: only 0 and above 31 are dropped";
}

TEST_F(TransferTest, SuppliersEmptyTableStillReadsTheDefaults) {
    Tabla("proveedo", {});
    EXPECT_TRUE(datos->TraspasoProveedores());
    EXPECT_EQ(ui.Textos(),
              (std::vector<std::string>{
                  "Abriendo consulta de Proveedores", "Consulta de Proveedores ABIERTA",
                  "Actualizando Proveedores", "Proveedores Añadidos: 0,   Actualizados: 0"}));
    EXPECT_TRUE(ui.estados.back().second);
    EXPECT_TRUE(datos->IBTransaction1().InTransaction()) << "committed retaining, still active";

    Reabrir();
    Ejecutar("drop table REGIMENESIVA");
    ui.estados.clear();
    EXPECT_THROW_MSG(datos->TraspasoProveedores(), Error, "no tiene la tabla REGIMENESIVA");
    EXPECT_EQ(ui.Textos().back(), "Actualizando Proveedores") << "no summary after an error";
}

TEST_F(TransferTest, SuppliersEveryParameter) {
    Tabla("PROVINC", {{{"CCODPROV", "28"}, {"CNOMPROV", "Madrid"}}});
    Tabla("proveedo", {{{"CCODPRO", "400001"},
                        {"CNOMPRO", "Distribuciones Alimentarias del Guadalquivir y Sierra Norte"},
                        {"CDIRPRO", "Polígono Industrial Las Salinas, nave 7"},
                        {"CPOBPRO", "San Sebastián de los Reyes, urbanización"},
                        {"CCODPROV", "28"},
                        {"CPTLPRO", "28701"},
                        {"CTFO1PRO", "91 555 12 34 ext 55"},
                        {"CTFO2PRO", "91 555 12 35"},
                        {"CFAX", "91 555 12 36 (fax)"},
                        {"CNIFDNI", "B12345678-XYZ"},
                        {"CCODPAGO", "30"},
                        {"CNBRBCO", "Caja de Ahorros y Pensiones de Barcelona"},
                        {"CDIRBCO", "Avenida Diagonal, 621-629, planta baja"},
                        {"CPOBBCO", "Barcelona"},
                        {"CENTIDAD", "2100"},
                        {"CAGENCIA", "0418"},
                        {"CCUENTA", "0200051332"},
                        {"CSUBCTA", "400000001"},
                        {"CNACPRO", "ESPA"},
                        {"CPERCONT", "Doña María de las Mercedes Fernández"},
                        {"NIRPFA", "7.3"},
                        {"EMAIL", "compras@ejemplo.es"}},
                       {{"CCODPRO", "400002"},
                        {"CNACPRO", "espa"},
                        {"CENTIDAD", "2100"},
                        {"CAGENCIA", "0001"},
                        {"CCUENTA", "0200051332"},
                        {"NIRPFA", "15"}},
                       {{"CCODPRO", "400003"},
                        {"CCODPAGO", "ZZ"},
                        {"CENTIDAD", "21A0"},
                        {"CAGENCIA", "0418"},
                        {"CCUENTA", "0200051332"}}});
    datos->TraspasoProveedores();
    ASSERT_TRUE(ui.avisos.empty()) << ui.avisos.front();
    EXPECT_EQ(ui.Textos().back(), "Proveedores Añadidos: 3,   Actualizados: 0");
    auto f = Leer("select * from PROVEEDORES order by CODIGO");
    ASSERT_EQ(f.size(), 3u);
    EXPECT_EQ(S(f[0]["CODIGO"]), "400001");
    EXPECT_EQ(S(f[0]["NOMBRE"]), "Distribuciones Alimentarias del Gua");
    EXPECT_EQ(S(f[0]["RAZONSOCIAL"]), "Distribuciones Alimentarias del Gua");
    EXPECT_EQ(S(f[0]["DIRECCION"]), "Polígono Industrial Las Salinas, nave 7") << "whole";
    EXPECT_EQ(S(f[0]["LOCALIDAD"]), "San Sebastián de los Reyes, urbaniz");
    EXPECT_EQ(S(f[0]["CODIGOPOSTAL"]), "28701");
    EXPECT_EQ(S(f[0]["PROVINCIA"]), "Madrid");
    EXPECT_EQ(S(f[0]["PAIS"]), "ESPAÑA");
    EXPECT_EQ(S(f[0]["TELEFONO1"]), "91 555 12 34 ex");
    EXPECT_EQ(S(f[0]["TELEFONO2"]), "91 555 12 35");
    EXPECT_EQ(S(f[0]["FAX"]), "91 555 12 36 (f");
    EXPECT_EQ(S(f[0]["EMAIL1"]), "compras@ejemplo.es");
    EXPECT_EQ(S(f[0]["NIF"]), "B12345678-XY");
    EXPECT_EQ(D(f[0]["PORCENTAJERETENCIONIRPF"]), Simple(7.3)) << "single precision";
    EXPECT_NE(D(f[0]["PORCENTAJERETENCIONIRPF"]), 7.3);
    EXPECT_EQ(S(f[0]["NOMBREBANCO"]), "Caja de Ahorros y Pensiones de Barc");
    EXPECT_EQ(S(f[0]["DIRECCIONBANCO"]), "Avenida Diagonal, 621-629, planta b");
    EXPECT_EQ(S(f[0]["LOCALIDADBANCO"]), "Barcelona");
    EXPECT_EQ(S(f[0]["CODIGOBANCO"]), "2100");
    EXPECT_EQ(S(f[0]["CODIGOSUCURSAL"]), "0418");
    EXPECT_EQ(S(f[0]["DC"]), "45");
    EXPECT_EQ(S(f[0]["NUMEROCUENTA"]), "0200051332");
    EXPECT_EQ(S(f[0]["REPRESENTANTENOMBRE"]), "Doña María de las Mercedes Fernánde");
    EXPECT_EQ(S(f[0]["CUENTACONTABLE"]), "400000001");
    EXPECT_EQ(I(f[0]["GRUPOEMPRESAS"]), 1);
    EXPECT_EQ(I(f[0]["TARIFA"]), 1);
    EXPECT_EQ(I(f[0]["MONEDA"]), 1) << "the first row of monedas, not the highest";
    EXPECT_EQ(I(f[0]["REGIMENIVA"]), 1);
    EXPECT_EQ(I(f[0]["FORMAPAGO"]), 2) << "payment code 30 found";
    EXPECT_EQ(I(f[0]["CARTERA"]), 1) << "the default portfolio even when the lookup matched";

    EXPECT_EQ(S(f[1]["PAIS"]), "espa");
    EXPECT_EQ(I(f[1]["FORMAPAGO"]), 1) << "empty code: the default payment method";
    EXPECT_EQ(S(f[1]["DC"]), "05");
    EXPECT_EQ(D(f[1]["PORCENTAJERETENCIONIRPF"]), 15.0);
    EXPECT_EQ(S(f[1]["PROVINCIA"]), "");

    EXPECT_EQ(S(f[2]["PAIS"]), "");
    EXPECT_EQ(I(f[2]["FORMAPAGO"]), 1) << "unknown code: the default payment method";
    EXPECT_TRUE(IsNull(f[2]["DC"])) << "an entity that is not four digits";
    EXPECT_EQ(I(f[2]["CARTERA"]), 1);
}

TEST_F(TransferTest, SuppliersSecondRunUpdatesInPlaceAndRecomputesTheControlDigits) {
    Tabla(
        "proveedo",
        {{{"CCODPRO", "1"}, {"CENTIDAD", "2100"}, {"CAGENCIA", "0418"}, {"CCUENTA", "0200051332"}},
         Proveedor("2")});
    datos->TraspasoProveedores();
    auto primera = Leer("select IDPROVEEDORES, CODIGO from PROVEEDORES order by 1");
    Ejecutar("update PROVEEDORES set DC = '99', NOMBRE = 'a mano'");
    datos->TraspasoProveedores();
    EXPECT_EQ(ui.Textos().back(), "Proveedores Añadidos: 0,   Actualizados: 2");
    EXPECT_EQ(Leer("select IDPROVEEDORES, CODIGO from PROVEEDORES order by 1"), primera);
    auto f = Leer("select DC, NOMBRE from PROVEEDORES order by CODIGO");
    EXPECT_EQ(S(f[0]["DC"]), "45") << "the update writes the computed digits too";
    EXPECT_TRUE(IsNull(f[1]["DC"])) << "no account: NULL, not two blanks or zeros";
    EXPECT_EQ(S(f[1]["NOMBRE"]), "Suministros Sur");
}

TEST_F(TransferTest, SuppliersWithEmptyDefaultTablesGetZero) {
    for (const char* t : {"FORMASPAGO", "MONEDAS", "REGIMENESIVA", "TARIFAS"})
        Ejecutar(std::string("delete from ") + t);
    Tabla("proveedo", {{{"CCODPRO", "1"}, {"CCODPAGO", "30"}}});
    datos->TraspasoProveedores();
    auto f = Leer("select FORMAPAGO, CARTERA, MONEDA, REGIMENIVA, TARIFA from PROVEEDORES");
    ASSERT_EQ(f.size(), 1u);
    for (const char* c : {"FORMAPAGO", "CARTERA", "MONEDA", "REGIMENIVA", "TARIFA"})
        EXPECT_EQ(I(f[0][c]), 0) << c;
}

TEST_F(TransferTest, SuppliersValueTooLongFailsOnlyItsRecordNamingTheFirstBadParameter) {
    Tabla("proveedo",
          {Proveedor("1"),
           {{"CCODPRO", "2"}, {"CDIRPRO", std::string(61, 'd')}, {"CPTLPRO", "280010000"}},
           Proveedor("3")});
    datos->TraspasoProveedores();
    ASSERT_EQ(ui.avisos.size(), 1u);
    EXPECT_NE(ui.avisos[0].find("DIRECCION"), std::string::npos) << ui.avisos[0];
    EXPECT_EQ(ui.registros[0].codigo, "2");
    EXPECT_EQ(ui.Textos().back(), "Proveedores Añadidos: 2,   Actualizados: 0");
}

TEST_F(TransferTest, SuppliersCodeWiderThanTheColumnIsFoundAgainByItsWrittenCut) {
    WriteFacturaPlusTable(carpeta, "proveedo", {{{"CCODPRO", "PROV00012"}}}, 0x02, {},
                          {{"CCODPRO", 10}});
    datos->TraspasoProveedores();
    datos->TraspasoProveedores();
    EXPECT_EQ(ui.Textos().back(), "Proveedores Añadidos: 0,   Actualizados: 1");
    auto f = Leer("select CODIGO from PROVEEDORES");
    ASSERT_EQ(f.size(), 1u) << "not inserted again on the second run";
    EXPECT_EQ(S(f[0]["CODIGO"]), "PROV000");
}

TEST_F(TransferTest, UnreadableProvinceTableIsSaidOncePerRun) {
    Tabla("proveedo", {{{"CCODPRO", "1"}, {"CCODPROV", "28"}},
                       {{"CCODPRO", "2"}, {"CCODPROV", "41"}},
                       {{"CCODPRO", "3"}, {"CCODPROV", "08"}}});
    datos->TraspasoProveedores();
    ASSERT_EQ(ui.avisos.size(), 1u);
    EXPECT_NE(ui.avisos[0].find("PROVINC"), std::string::npos) << ui.avisos[0];
    EXPECT_EQ(ui.registros[0].posicion, 1u);
    EXPECT_EQ(ui.Textos().back(), "Proveedores Añadidos: 3,   Actualizados: 0")
        << "the records still go in, with an empty province";
    datos->TraspasoProveedores();
    EXPECT_EQ(ui.avisos.size(), 2u) << "said again in the next run";
}

} // namespace
