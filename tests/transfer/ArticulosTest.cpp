// Families, then articles with their tariff-1 prices and warehouse-1 stock, end to end.
#include "FbError.h"
#include "TransferFixture.h"

#include <cmath>

namespace {

double Simple(double v) {
    return static_cast<double>(static_cast<float>(v));
}

Fila Articulo(const std::string& ref, const std::string& detalle = "Tornillo") {
    return {{"CREF", ref}, {"CDETALLE", detalle}};
}

// Prices and stock of an article as the follow-ups leave them.
struct Figuras {
    double pvp, pvpIva, beneficio, max, min, inicial, actual;
};
class ArticulosTest : public TransferTest {
protected:
    void SetUp() override {
        TransferTest::SetUp();
        Tabla("Artcom", {}); // every FacturaPlus folder has them, often empty
        Tabla("stocks", {});
    }
    Figuras De(const std::string& codigo) {
        auto p = Leer("select i.IMPORTEVENTA, i.IMPORTEVENTACONIVA, i.PORCENTAJEBENEFICIO from "
                      "INTERVALOSTARIFASARTICULOS i join TARIFASARTICULOS t on "
                      "t.IDTARIFASARTICULOS = i.TARIFAARTICULO join ARTICULOS a on a.IDARTICULOS "
                      "= t.ARTICULO where i.DESDE = 1 and a.CODIGO = '" +
                      codigo + "'");
        auto s = Leer("select s.* from ARTICULOSALMACEN s join ARTICULOS a on a.IDARTICULOS = "
                      "s.ARTICULOCARACTERISTICA where s.ALMACEN = 1 and a.CODIGO = '" +
                      codigo + "'");
        EXPECT_EQ(p.size(), 1u) << codigo;
        EXPECT_EQ(s.size(), 1u) << codigo;
        if (p.empty() || s.empty()) return {};
        return {D(p[0]["IMPORTEVENTA"]),        D(p[0]["IMPORTEVENTACONIVA"]),
                D(p[0]["PORCENTAJEBENEFICIO"]), D(s[0]["STOCKMAXIMO1"]),
                D(s[0]["STOCKMINIMO1"]),        D(s[0]["STOCKINICIAL1"]),
                D(s[0]["STOCKACTUAL1"])};
    }
};

TEST_F(ArticulosTest, FamiliesSharingFourCharactersEndAsOneWithTheLastName) {
    Tabla("familias", {{{"CCODFAM", "BEBID"}, {"CNOMFAM", "Bebidas"}},
                       {{"CCODFAM", "BEBIB"}, {"CNOMFAM", "Bebibles"}},
                       {{"CCODFAM", "BEB"}, {"CNOMFAM", "Corto"}},
                       {{"CCODFAM", "BEBI"}, {"CNOMFAM", "Bebidas y licores"}}});
    EXPECT_TRUE(datos->TraspasoFamilias());
    EXPECT_EQ(ui.Textos(),
              (std::vector<std::string>{"Actualizando Familias de Artículos",
                                        "Familias de Artículos Añadidas: 2,   Actualizadas: 2"}))
        << "no opening texts for the families' query";
    auto f = Leer("select CODIGO, NOMBRE, GRUPOEMPRESAS, GRUPOFAMILIA from FAMILIASARTICULOS "
                  "order by CODIGO");
    ASSERT_EQ(f.size(), 2u);
    EXPECT_EQ(S(f[0]["CODIGO"]), "BEB");
    EXPECT_EQ(S(f[1]["CODIGO"]), "BEBI");
    EXPECT_EQ(S(f[1]["NOMBRE"]), "Bebidas y licores");
    EXPECT_EQ(I(f[1]["GRUPOEMPRESAS"]), 1);
    EXPECT_EQ(I(f[1]["GRUPOFAMILIA"]), 1);
}

TEST_F(ArticulosTest, ExistingFamilyKeepsItsGroupsAndASecondRunAddsNothing) {
    Ejecutar("insert into FAMILIASARTICULOS (IDFAMILIASARTICULOS, CODIGO, NOMBRE, GRUPOEMPRESAS, "
             "GRUPOFAMILIA) values (40, 'FERR', 'Viejo', 3, 4)");
    Tabla("familias", {{{"CCODFAM", "FERR"}, {"CNOMFAM", "Ferretería"}},
                       {{"CCODFAM", "PAPE"}, {"CNOMFAM", "Papelería"}}});
    datos->TraspasoFamilias();
    EXPECT_EQ(ui.Textos().back(), "Familias de Artículos Añadidas: 1,   Actualizadas: 1");
    datos->TraspasoFamilias();
    EXPECT_EQ(ui.Textos().back(), "Familias de Artículos Añadidas: 0,   Actualizadas: 2");
    auto f = Leer("select * from FAMILIASARTICULOS where IDFAMILIASARTICULOS = 40");
    EXPECT_EQ(S(f[0]["NOMBRE"]), "Ferretería");
    EXPECT_EQ(I(f[0]["GRUPOEMPRESAS"]), 3);
    EXPECT_EQ(I(f[0]["GRUPOFAMILIA"]), 4);
}

TEST_F(ArticulosTest, EmptyFamiliesTableConnectsButStartsNoTransaction) {
    Tabla("familias", {});
    EXPECT_TRUE(datos->TraspasoFamilias());
    EXPECT_TRUE(datos->IBDatabase1().Connected());
    EXPECT_FALSE(datos->IBTransaction1().InTransaction());
    EXPECT_EQ(ui.Textos().back(), "Familias de Artículos Añadidas: 0,   Actualizadas: 0");
}

TEST_F(ArticulosTest, EveryParameterOfANewArticle) {
    Ejecutar("insert into FAMILIASARTICULOS (IDFAMILIASARTICULOS, CODIGO) values (9, 'FERR')");
    Tabla("articulo", {{{"CREF", "A1001"},           {"CDETALLE", "   " + std::string(60, 'x')},
                        {"CCODFAM", "FERRE"},        {"CCODEBAR", "8410000000017"},
                        {"CCODPRO", "400001"},       {"CREFPROV", "REF-PROV-1"},
                        {"CDES_TAC", "Tornillo"},    {"LKIT", "T"},
                        {"NTARA", "0.25"},           {"NUNIDADES", "12"},
                        {"NCOSTEPROM", "12.34"},     {"CSCTAVTAS", "700000001"},
                        {"CSCTACPRAS", "600000001"}, {"LCTRLSTOCK", "T"},
                        {"NTIPOCODE", "4"},          {"NPVP", "12.34"},
                        {"NPCONIVA", "14.93"},       {"NBENEFPVP", "50"},
                        {"NSTOCKMAX", "100"},        {"NSTOCKMIN", "5"}},
                       {{"CREF", "A1002"}, {"CCODFAM", "NOEX"}, {"NTIPOCODE", "9"}}});
    Tabla("Artcom", {{{"CREF", "A1001"}, {"CCOMENT", "AB"}},
                     {{"CREF", "A1002"}, {"CCOMENT", "otro"}},
                     {{"CREF", "A1001"}, {"CCOMENT", ""}},
                     {{"CREF", "A1001"}, {"CCOMENT", "CD"}}});
    Tabla("stocks", {{{"CCODALM", "001"}, {"CREF", "A1001"}, {"NSTOCK", "40"}},
                     {{"CCODALM", "002"}, {"CREF", "A1001"}, {"NSTOCK", "3"}}});
    Timestamp antes = Timestamp::Now();
    EXPECT_TRUE(datos->TraspasoArticulos());
    Timestamp despues = Timestamp::Now();
    ASSERT_TRUE(ui.avisos.empty()) << ui.avisos.front();
    EXPECT_EQ(ui.Textos(),
              (std::vector<std::string>{"Abriendo consulta de Artículos",
                                        "Consulta de Artículos ABIERTA", "Actualizando Artículos",
                                        "Artículos Añadidos: 2,   Actualizados: 0"}));
    auto f = Leer("select * from ARTICULOS order by CODIGO");
    ASSERT_EQ(f.size(), 2u);
    Row& a = f[0];
    EXPECT_EQ(S(a["CODIGO"]), "A1001");
    EXPECT_EQ(S(a["NOMBRE"]), std::string(50, 'x')) << "leading blanks gone, then 50";
    EXPECT_EQ(S(a["NOMBRELARGO"]), "ABCD");
    EXPECT_EQ(S(a["CODIGOEAN"]), "8410000000017");
    EXPECT_EQ(S(a["PARTNUMBER"]), "400001");
    EXPECT_EQ(S(a["REFERENCIAPROVEEDOR"]), "REF-PROV-1");
    EXPECT_EQ(S(a["TEXTOTICKET"]), "Tornillo");
    EXPECT_EQ(I(a["COMPUESTO"]), 1);
    EXPECT_EQ(I(a["NUMEROSSERIE"]), 1);
    EXPECT_EQ(I(a["LOTES"]), 1);
    EXPECT_EQ(D(a["PESOUNIDAD"]), 0.25);
    EXPECT_EQ(D(a["UNIDADESCAJA"]), 12.0);
    EXPECT_EQ(D(a["UNIDADESPAQUETE"]), 0.0);
    EXPECT_TRUE(IsNull(a["UNIDADMEDIDAVENTAS"]));
    for (const char* c : {"PRECIOMEDIOCOSTE", "PRECIOULTIMACOMPRA", "PRECIOMEDIOCOSTEESTANDARD",
                          "PRECIOMEDIOCOSTEINICIAL"})
        EXPECT_EQ(D(a[c]), 12.340000152587891) << c;
    for (const char* c :
         {"FECHAULTIMACOMPRA", "FECHAULTIMAVENTA", "FECHAALTA", "FECHAMODIFICACION"}) {
        std::string t = std::get<Timestamp>(a[c]).ToString();
        EXPECT_LE(antes.ToString(), t) << c;
        EXPECT_LE(t, despues.ToString()) << c;
    }
    for (const char* c : {"DOBLESTOCK", "DESCATALOGADO", "PAGINACATALOGO", "MESESGARANTIACOMPRA",
                          "MESESGARANTIAVENTA", "ARTICULOSVARIOS", "BLOQUEADO", "PUNTOVERDESN",
                          "ESARTICULOPUNTOVERDE", "PUNTOVERDEINCLUIDO", "PUBLICAR_ARTICULO_WEB",
                          "OFERTA_WEB", "NOVEDAD_WEB"})
        EXPECT_EQ(I(a[c]), 0) << c;
    for (const char* c :
         {"GASTOMEDIO", "CANTIDADMINIMOPEDIDO", "CANTIDADPRODUCIDA", "PRECIOPUNTOVERDE", "VOLUMEN",
          "LARGO", "ANCHO", "ALTO", "UNIDADES", "PVP_OFERTA_WEB"})
        EXPECT_EQ(D(a[c]), 0.0) << c;
    for (const char* c :
         {"GASTOMEDIOINICIAL", "ARTICULOPUNTOVERDE", "TIPOARTICULO", "PROVEEDORHABITUAL",
          "ENVASEASOCIADO", "GAMA", "FABRICANTE", "MARCA", "ALMACENEXCLUSIVO"})
        EXPECT_TRUE(IsNull(a[c])) << c;
    for (int i = 1; i <= 10; ++i)
        EXPECT_TRUE(IsNull(a["CARACTERISTICAARTICULO" + std::to_string(i)])) << i;
    EXPECT_EQ(S(a["CUENTACONTABLE"]), "700000001");
    EXPECT_EQ(S(a["CUENTACONTABLECOMPRAS"]), "600000001");
    EXPECT_EQ(I(a["USOCOMPRA"]), 1);
    EXPECT_EQ(I(a["USOVENTA"]), 1);
    EXPECT_EQ(I(a["AFECTASTOCK"]), 1);
    EXPECT_EQ(I(a["GRUPOEMPRESAS"]), 1);
    EXPECT_EQ(I(a["IVA"]), 1);
    EXPECT_EQ(I(a["CONCEPTO"]), 1);
    EXPECT_EQ(I(a["FAMILIA"]), 9) << "FERRE found under FERR";
    EXPECT_EQ(S(a["TIPODIMENSIONARTICULO"]), "A");
    EXPECT_EQ(I(a["TIPOCODIGOBARRAS"]), 7);
    EXPECT_EQ(std::get<Timestamp>(a["FECHA_INICIO_OFERTA_WEB"]), Timestamp{});
    EXPECT_EQ(std::get<Timestamp>(a["FECHA_FIN_OFERTA_WEB"]).ToString(), "1899-12-30 00:00:00");

    Row& b = f[1];
    EXPECT_TRUE(IsNull(b["FAMILIA"])) << "a family the target lacks";
    EXPECT_EQ(I(b["TIPOCODIGOBARRAS"]), 0) << "type 9";
    EXPECT_EQ(I(b["COMPUESTO"]), 0) << "blank kit flag";
    EXPECT_EQ(S(b["NOMBRELARGO"]), "otro");

    Figuras p = De("A1001");
    EXPECT_EQ(p.pvp, 12.340000152587891);
    EXPECT_EQ(p.pvpIva, Simple(14.93));
    EXPECT_EQ(p.beneficio, 50.0);
    EXPECT_EQ(p.max, 100.0);
    EXPECT_EQ(p.min, 5.0);
    EXPECT_EQ(p.inicial, 40.0) << "the first stock row only";
    EXPECT_EQ(p.actual, 40.0);
    Figuras q = De("A1002");
    EXPECT_EQ(q.inicial, 0.0) << "no stock row: 0, nothing carried from the article before";
    EXPECT_EQ(q.actual, 0.0);
    EXPECT_EQ(q.max, 0.0);
}

TEST_F(ArticulosTest, ExistingArticleChangesInItsNineteenColumnsOnly) {
    Tabla("articulo", {{{"CREF", "A1"}, {"CDETALLE", "Primero"}, {"NTIPOCODE", "2"}}});
    datos->TraspasoArticulos();
    Ejecutar("update ARTICULOS set NUMEROSSERIE = 0, LOTES = 0, FECHAALTA = '2001-02-03', "
             "IVA = 4, CARACTERISTICAARTICULO3 = 33, TIPODIMENSIONARTICULO = 'B'");
    Tabla("articulo", {{{"CREF", "A1"},
                        {"CDETALLE", "Segundo"},
                        {"NTIPOCODE", "3"},
                        {"LKIT", "T"},
                        {"NCOSTEPROM", "2.5"},
                        {"CDES_TAC", "Ticket"}}});
    datos->TraspasoArticulos();
    EXPECT_EQ(ui.Textos().back(), "Artículos Añadidos: 0,   Actualizados: 1");
    auto a = Leer("select * from ARTICULOS")[0];
    EXPECT_EQ(S(a["NOMBRE"]), "Segundo");
    EXPECT_EQ(I(a["TIPOCODIGOBARRAS"]), 3);
    EXPECT_EQ(I(a["COMPUESTO"]), 1);
    EXPECT_EQ(D(a["PRECIOMEDIOCOSTEINICIAL"]), 2.5);
    EXPECT_EQ(S(a["TEXTOTICKET"]), "Ticket");
    EXPECT_EQ(I(a["NUMEROSSERIE"]), 0);
    EXPECT_EQ(I(a["LOTES"]), 0);
    EXPECT_EQ(std::get<Timestamp>(a["FECHAALTA"]).ToString(), "2001-02-03 00:00:00");
    EXPECT_EQ(I(a["IVA"]), 4);
    EXPECT_EQ(I(a["CARACTERISTICAARTICULO3"]), 33);
    EXPECT_EQ(S(a["TIPODIMENSIONARTICULO"]), "B");
}

TEST_F(ArticulosTest, TwoRecordsWithOneCodeGiveOneAddedAndOneUpdated) {
    Tabla("articulo", {Articulo("X", "Uno"), Articulo("X", "Dos")});
    datos->TraspasoArticulos();
    EXPECT_EQ(ui.Textos().back(), "Artículos Añadidos: 1,   Actualizados: 1");
    auto f = Leer("select NOMBRE from ARTICULOS");
    ASSERT_EQ(f.size(), 1u);
    EXPECT_EQ(S(f[0]["NOMBRE"]), "Dos");
}

TEST_F(ArticulosTest, OnlyTheLowerTariffRowsFromOneIntervalChange) {
    Tabla("articulo", {{{"CREF", "A1"}, {"NPVP", "1"}}});
    datos->TraspasoArticulos();
    // A second tariff-1 row with a higher identifier, and a second interval from 10 units.
    Ejecutar("insert into TARIFASARTICULOS (IDTARIFASARTICULOS, TARIFA, ARTICULO) select 500, 1, "
             "IDARTICULOS from ARTICULOS");
    Ejecutar("insert into INTERVALOSTARIFASARTICULOS (IDINTERVALOSTARIFASARTICULOS, "
             "TARIFAARTICULO, DESDE, IMPORTEVENTA) values (500, 500, 1, -1)");
    Ejecutar("insert into INTERVALOSTARIFASARTICULOS (IDINTERVALOSTARIFASARTICULOS, "
             "TARIFAARTICULO, DESDE, IMPORTEVENTA) select 501, min(IDTARIFASARTICULOS), 10, -2 "
             "from TARIFASARTICULOS");
    Tabla("articulo", {{{"CREF", "A1"}, {"NPVP", "12.34"}}});
    datos->TraspasoArticulos();
    auto f = Leer("select IDINTERVALOSTARIFASARTICULOS as I, IMPORTEVENTA from "
                  "INTERVALOSTARIFASARTICULOS order by DESDE, 1");
    ASSERT_EQ(f.size(), 3u);
    EXPECT_EQ(D(f[0]["IMPORTEVENTA"]), 12.340000152587891) << "the lower tariff row, from 1";
    EXPECT_EQ(D(f[1]["IMPORTEVENTA"]), -1.0) << "the higher tariff row is left alone";
    EXPECT_EQ(D(f[2]["IMPORTEVENTA"]), -2.0) << "the interval from 10 is left alone";
}

TEST_F(ArticulosTest, TargetWithoutPriceOrStockRowsChangesNothingAndSaysNothing) {
    Ejecutar("drop trigger ARTICULOS_AI");
    Tabla("articulo", {{{"CREF", "A1"}, {"NPVP", "3"}, {"NSTOCKMAX", "9"}}});
    Tabla("stocks", {{{"CREF", "A1"}, {"NSTOCK", "4"}}});
    datos->TraspasoArticulos();
    EXPECT_TRUE(ui.avisos.empty());
    EXPECT_EQ(ui.Textos().back(), "Artículos Añadidos: 1,   Actualizados: 0");
    EXPECT_TRUE(Leer("select * from ARTICULOSALMACEN").empty());
}

TEST_F(ArticulosTest, MissingStockTableWarnsOnceAndLeavesTheStockWhileTheRestTakesEffect) {
    std::filesystem::remove(carpeta + "/stocks.dbf");
    Tabla("articulo", {{{"CREF", "A1"}, {"NPVP", "3"}, {"NSTOCKMAX", "9"}},
                       {{"CREF", "A2"}, {"NPVP", "4"}, {"NSTOCKMAX", "9"}},
                       {{"CREF", "A3"}, {"NPVP", "5"}, {"NSTOCKMAX", "9"}}});
    datos->TraspasoArticulos();
    ASSERT_EQ(ui.avisos.size(), 1u) << "once a run, not once an article";
    EXPECT_NE(ui.avisos[0].find("stocks.dbf"), std::string::npos) << ui.avisos[0];
    EXPECT_EQ(ui.Textos().back(), "Artículos Añadidos: 3,   Actualizados: 0");
    EXPECT_EQ(De("A2").pvp, 4.0) << "the price step still ran";
    EXPECT_EQ(De("A3").max, 0.0) << "no stock figure is made up for a table not read";

    // The next run tells it again, once.
    ui.avisos.clear();
    datos->TraspasoArticulos();
    EXPECT_EQ(ui.avisos.size(), 1u);
}

TEST_F(ArticulosTest, RefusedInsertWarnsOnceAndWritesNoPriceOrStock) {
    // An article with identifier 0 exists: follow-ups with 0 would land on it.
    Ejecutar("insert into ARTICULOS (IDARTICULOS, CODIGO) values (0, 'CERO')");
    Ejecutar("update INTERVALOSTARIFASARTICULOS set IMPORTEVENTA = 77");
    WriteFacturaPlusTable(carpeta, "articulo",
                          {{{"CREF", "A1"}, {"CCODPRO", "1234567"}, {"NPVP", "3"}}, Articulo("A2")},
                          0x02, {}, {{"CCODPRO", 7}});
    Tabla("stocks", {{{"CREF", "A1"}, {"NSTOCK", "4"}}});
    datos->TraspasoArticulos();
    ASSERT_EQ(ui.avisos.size(), 1u);
    EXPECT_NE(ui.avisos[0].find("PARTNUMBER"), std::string::npos) << ui.avisos[0];
    EXPECT_EQ(ui.Textos().back(), "Artículos Añadidos: 1,   Actualizados: 0");
    EXPECT_EQ(De("CERO").pvp, 77.0);
    EXPECT_EQ(De("CERO").actual, 0.0);
}

TEST_F(ArticulosTest, NewArticlesIdentifierComesFromItsOwnInsert) {
    Ejecutar("create trigger OTRO_ARTICULO for ARTICULOS after insert position 10 as "
             "declare variable X integer; begin X = gen_id(GENIDARTICULOS, 5); end");
    Tabla("articulo", {{{"CREF", "A1"}, {"NPVP", "1.5"}}, {{"CREF", "A2"}, {"NPVP", "2.5"}}});
    datos->TraspasoArticulos();
    ASSERT_TRUE(ui.avisos.empty()) << ui.avisos.front();
    EXPECT_EQ(De("A1").pvp, 1.5);
    EXPECT_EQ(De("A2").pvp, 2.5);
}

TEST_F(ArticulosTest, FamilyCodeTheTargetCannotHoldMatchesNoFamily) {
    Ejecutar("insert into FAMILIASARTICULOS (IDFAMILIASARTICULOS, CODIGO) values (9, 'FERR')");
    Tabla("articulo", {{{"CREF", "A1"}, {"CCODFAM", "FERR"}}, {{"CREF", "A2"}, {"CCODFAM", "─"}}});
    datos->TraspasoArticulos();
    EXPECT_TRUE(ui.avisos.empty()) << ui.avisos.front();
    auto f = Leer("select CODIGO, FAMILIA from ARTICULOS order by CODIGO");
    ASSERT_EQ(f.size(), 2u);
    EXPECT_EQ(I(f[0]["FAMILIA"]), 9);
    EXPECT_TRUE(IsNull(f[1]["FAMILIA"])) << "a code Windows-1252 cannot hold is in no family";
}

} // namespace
