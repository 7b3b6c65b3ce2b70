// Comparing the source with a target already written, and writing only what changed, on the
// demo company: what a comparison lists after the target was changed by hand, that it writes
// nothing at all, and that a run of only the changes leaves every other row as it was.
#include "LocaleEspanol.h"
#include "TransferFixture.h"

#include <cstdlib>
#include <filesystem>

namespace {

const char* const kTablas[] = {
    "FAMILIASARTICULOS", "ARTICULOS", "TARIFASARTICULOS", "INTERVALOSTARIFASARTICULOS",
    "ARTICULOSALMACEN",  "CLIENTES",  "DOMICILIOSCOBRO",  "PROVEEDORES",
    "AGENTESVENTA"};
const char* const kGeneradores[] = {"GENIDFAMILIASARTICULOS", "GENIDARTICULOS",
                                    "GENIDCLIENTES",          "GENIDDOMICILIOSCOBRO",
                                    "GENIDPROVEEDORES",       "GENIDAGENTESVENTA"};

std::string Texto(const Hallazgo& h) {
    switch (h.tipo) {
    case Hallazgo::Tipo::Diferencia:
        return h.tabla + " «" + h.codigo + "» " + h.columna + ": «" + h.destino + "» / «" +
               h.origen + "»";
    case Hallazgo::Tipo::Nuevo:
        return "nuevo " + h.tabla + " «" + h.codigo + "»";
    case Hallazgo::Tipo::SoloEnDestino:
        return "solo en destino " + h.tabla + " «" + h.codigo + "»";
    }
    return {};
}

class ComparacionTest : public TransferTest {
protected:
    void SetUp() override {
        TransferTest::SetUp();
        ASSERT_EQ(std::system((std::string(DEMO) + " '" + carpeta + "' >/dev/null").c_str()), 0);
    }
    // Every transfer, in the order an operator is told to run them.
    void Todos(TDatos::Modo modo, bool soloCambios = false) {
        Reabrir();
        datos->SetModo(modo);
        datos->SetSoloCambios(soloCambios);
        ui.hallazgos.clear();
        ui.avisos.clear();
        rechazados = sinCambios = 0;
        for (const TraspasoOfrecido& o : TraspasosOfrecidos())
            for (const PasoDeTraspaso& p : o.pasos) {
                ASSERT_TRUE(p.ejecutar(*datos)) << p.nombre;
                rechazados += datos->RegistrosRechazados;
                sinCambios += datos->RegistrosSinCambios;
            }
        datos->Cerrar();
        datos.reset();
    }
    // One step of a transfer ("clientes", "familias", ...) in a data module of its own.
    void Uno(const std::string& paso, TDatos::Modo modo, bool soloCambios = false) {
        Reabrir();
        datos->SetModo(modo);
        datos->SetSoloCambios(soloCambios);
        ui.hallazgos.clear();
        ui.avisos.clear();
        for (const TraspasoOfrecido& o : TraspasosOfrecidos())
            for (const PasoDeTraspaso& p : o.pasos) {
                if (p.nombre == paso) {
                    ASSERT_TRUE(p.ejecutar(*datos)) << p.nombre;
                }
            }
        rechazados = datos->RegistrosRechazados;
        sinCambios = datos->RegistrosSinCambios;
        datos->Cerrar();
        datos.reset();
    }
    std::vector<std::string> Hallazgos() const {
        std::vector<std::string> v;
        for (const Hallazgo& h : ui.hallazgos)
            v.push_back(Texto(h));
        return v;
    }
    // Every row of every table the transfers write, and where the generators stand.
    std::vector<std::vector<Row>> Volcado() {
        std::vector<std::vector<Row>> v;
        for (const char* t : kTablas)
            v.push_back(Leer(std::string("select * from ") + t + " order by 1"));
        for (const char* g : kGeneradores)
            v.push_back(Leer(std::string("select gen_id(") + g + ", 0) as G from rdb$database"));
        return v;
    }
    int rechazados = 0, sinCambios = 0;
};

TEST_F(ComparacionTest, AfterARunTheComparisonFindsNothingButWhatTheRunRefusedAndWritesNothing) {
    Todos(TDatos::Modo::Traspaso);
    int refusedByTheRun = rechazados;
    EXPECT_GT(refusedByTheRun, 0) << "the demo has an e-mail too long for its column";
    // A second run: the update of an agent keeps the surname's blanks, the insert trimmed them.
    Todos(TDatos::Modo::Traspaso);

    auto antes = Volcado();
    Todos(TDatos::Modo::Comparacion);
    EXPECT_EQ(Hallazgos(), std::vector<std::string>{});
    EXPECT_EQ(rechazados, refusedByTheRun) << "refused as the run refused them, nothing else";
    ASSERT_EQ(ui.avisos.size(), static_cast<std::size_t>(refusedByTheRun));
    EXPECT_NE(ui.avisos[0].find("EMAIL1"), std::string::npos) << ui.avisos[0];
    EXPECT_EQ(Volcado(), antes) << "not a row, not a generator step";
}

TEST_F(ComparacionTest, AfterOneRunAnAgentsSurnameWithBlanksIsWhatASecondRunWouldChange) {
    Todos(TDatos::Modo::Traspaso);
    Todos(TDatos::Modo::Comparacion);
    EXPECT_EQ(Hallazgos(),
              (std::vector<std::string>{
                  "AGENTESVENTA «002» NOMBRE: «María Núñez Peña» / «María  Núñez Peña»"}));
}

TEST_F(ComparacionTest, ListsExactlyWhatWasChangedInTheTargetAndWritesNothing) {
    Todos(TDatos::Modo::Traspaso);
    Todos(TDatos::Modo::Traspaso);
    Ejecutar("update CLIENTES set NOMBRE = 'Otro nombre' where CODIGO = '430002'");
    Ejecutar("update INTERVALOSTARIFASARTICULOS set IMPORTEVENTA = 99.5 where TARIFAARTICULO = "
             "(select t.IDTARIFASARTICULOS from TARIFASARTICULOS t join ARTICULOS a on "
             "a.IDARTICULOS = t.ARTICULO where a.CODIGO = 'A1001')");
    Ejecutar("update ARTICULOSALMACEN set STOCKACTUAL1 = 1 where ARTICULOCARACTERISTICA = "
             "(select IDARTICULOS from ARTICULOS where CODIGO = 'A1002')");
    Ejecutar("update PROVEEDORES set NUMEROCUENTA = '9999999999' where CODIGO = '400003'");
    Ejecutar("delete from INTERVALOSTARIFASARTICULOS where TARIFAARTICULO in (select "
             "IDTARIFASARTICULOS from TARIFASARTICULOS where ARTICULO = (select IDARTICULOS "
             "from ARTICULOS where CODIGO = 'A1003'))");
    Ejecutar("delete from TARIFASARTICULOS where ARTICULO = (select IDARTICULOS from ARTICULOS "
             "where CODIGO = 'A1003')");
    Ejecutar("delete from ARTICULOSALMACEN where ARTICULOCARACTERISTICA = (select IDARTICULOS "
             "from ARTICULOS where CODIGO = 'A1003')");
    Ejecutar("delete from ARTICULOS where CODIGO = 'A1003'");
    Ejecutar("insert into CLIENTES (IDCLIENTES, CODIGO, NOMBRE) values (900, 'X9', 'Solo aquí')");

    auto antes = Volcado();
    Todos(TDatos::Modo::Comparacion);
    EXPECT_EQ(Volcado(), antes);
    std::vector<std::string> h = Hallazgos();
    std::sort(h.begin(), h.end());
    EXPECT_EQ(h, (std::vector<std::string>{
                     "ARTICULOSALMACEN «A1002» STOCKACTUAL1: «1» / «20»",
                     "CLIENTES «430002» NOMBRE: «Otro nombre» / «Ferretería El Clavo»",
                     "IntervalosTarifasArticulos «A1001» IMPORTEVENTA: «99.5» / «0.95»",
                     "PROVEEDORES «400003» NUMEROCUENTA: «9999999999» / «0200051332»",
                     "nuevo ARTICULOS «A1003»",
                     "solo en destino CLIENTES «X9»",
                 }));
}

// The window runs under the desktop's locale, where the C library reads "0.95" as 0 and writes
// 99.5 as "99,5": prices keep their decimals, and a comparison shows them with their point.
TEST_F(ComparacionTest, UnderASpanishLocaleDecimalsAreWrittenAndComparedWithTheirPoint) {
    LocaleEspanol es;
    ASSERT_TRUE(es.Activa());
    Todos(TDatos::Modo::Traspaso);
    auto a = Leer("select a.PRECIOMEDIOCOSTE, i.IMPORTEVENTA from ARTICULOS a join "
                  "TARIFASARTICULOS t on t.ARTICULO = a.IDARTICULOS join "
                  "INTERVALOSTARIFASARTICULOS i on i.TARIFAARTICULO = t.IDTARIFASARTICULOS "
                  "where a.CODIGO = 'A1001'");
    ASSERT_EQ(a.size(), 1u);
    EXPECT_EQ(D(a[0]["PRECIOMEDIOCOSTE"]), static_cast<double>(0.475f));
    EXPECT_EQ(D(a[0]["IMPORTEVENTA"]), static_cast<double>(0.95f));
    Ejecutar("update INTERVALOSTARIFASARTICULOS set IMPORTEVENTA = 99.5 where TARIFAARTICULO = "
             "(select t.IDTARIFASARTICULOS from TARIFASARTICULOS t join ARTICULOS a on "
             "a.IDARTICULOS = t.ARTICULO where a.CODIGO = 'A1001')");
    Todos(TDatos::Modo::Comparacion);
    std::vector<std::string> h = Hallazgos();
    std::sort(h.begin(), h.end());
    EXPECT_EQ(h, (std::vector<std::string>{
                     "AGENTESVENTA «002» NOMBRE: «María Núñez Peña» / «María  Núñez Peña»",
                     "IntervalosTarifasArticulos «A1001» IMPORTEVENTA: «99.5» / «0.95»",
                 }));
}

TEST_F(ComparacionTest, WritingOnlyWhatChangedLeavesEveryOtherRowAsItWas) {
    Todos(TDatos::Modo::Traspaso);
    Todos(TDatos::Modo::Traspaso);
    // The update of a client writes its registration date from the clock: a row the run leaves
    // alone keeps this one.
    Ejecutar("update CLIENTES set FECHAALTACLIENTE = '2001-01-01'");
    Ejecutar("update CLIENTES set NOMBRE = 'Otro nombre' where CODIGO = '430002'");
    Ejecutar("update PROVEEDORES set NUMEROCUENTA = '9999999999' where CODIGO = '400003'");

    Todos(TDatos::Modo::Traspaso, true);
    auto c = Leer("select CODIGO, NOMBRE, FECHAALTACLIENTE from CLIENTES order by CODIGO");
    int tocados = 0;
    for (const Row& r : c) {
        bool viejo = std::get<Timestamp>(r.at("FECHAALTACLIENTE")).year == 2001;
        if (S(r.at("CODIGO")) == "430002") {
            EXPECT_FALSE(viejo) << "the changed client is written";
            EXPECT_EQ(S(r.at("NOMBRE")), "Ferretería El Clavo");
        } else {
            EXPECT_TRUE(viejo) << S(r.at("CODIGO")) << " was written though nothing changed";
        }
        tocados += viejo ? 0 : 1;
    }
    EXPECT_EQ(tocados, 1);
    EXPECT_EQ(S(Leer("select NUMEROCUENTA from PROVEEDORES where CODIGO = '400003'")[0].at(
                  "NUMEROCUENTA")),
              "0200051332");
    EXPECT_GT(sinCambios, 40) << "every other record of the demo";

    // Now the target holds what the source says.
    Ejecutar("update CLIENTES set FECHAALTACLIENTE = '2001-01-01'");
    Todos(TDatos::Modo::Traspaso, true);
    EXPECT_EQ(
        Leer("select count(*) as N from CLIENTES where FECHAALTACLIENTE > '2001-01-02'")[0].at("N"),
        Variant(int32_t{0}));
}

TEST_F(ComparacionTest, AnUnreadableStockTableLeavesTheRestComparedAndWrittenWhereItChanged) {
    Todos(TDatos::Modo::Traspaso);
    std::filesystem::remove(carpeta + "/stocks.dbf");
    Ejecutar("update ARTICULOS set NOMBRE = 'Cambiado a mano' where CODIGO = 'A1001'");
    Ejecutar("update INTERVALOSTARIFASARTICULOS set IMPORTEVENTA = 99.5 where TARIFAARTICULO = "
             "(select t.IDTARIFASARTICULOS from TARIFASARTICULOS t join ARTICULOS a on "
             "a.IDARTICULOS = t.ARTICULO where a.CODIGO = 'A1002')");
    Uno("articulos", TDatos::Modo::Comparacion);
    EXPECT_EQ(
        Hallazgos(),
        (std::vector<std::string>{
            "ARTICULOS «A1001» NOMBRE: «Cambiado a mano» / «Aceite de oliva virgen extra 1 l»",
            "IntervalosTarifasArticulos «A1002» IMPORTEVENTA: «99.5» / «1.7»"}));
    EXPECT_EQ(rechazados, 0);
    ASSERT_EQ(ui.avisos.size(), 1u) << "the stock table, once";
    EXPECT_NE(ui.avisos[0].find("stocks.dbf"), std::string::npos);

    Uno("articulos", TDatos::Modo::Traspaso, true);
    EXPECT_EQ(ui.avisos.size(), 1u);
    EXPECT_EQ(S(Leer("select NOMBRE from ARTICULOS where CODIGO = 'A1001'")[0]["NOMBRE"]),
              "Aceite de oliva virgen extra 1 l");
    Uno("articulos", TDatos::Modo::Comparacion);
    EXPECT_EQ(Hallazgos(), std::vector<std::string>{});
}

TEST_F(ComparacionTest, ARowAnEarlierTransferWouldCreateIsADifferenceOfItsOwn) {
    Todos(TDatos::Modo::Traspaso);
    Todos(TDatos::Modo::Traspaso);
    Ejecutar("update ARTICULOS set FAMILIA = NULL where FAMILIA = (select IDFAMILIASARTICULOS "
             "from FAMILIASARTICULOS where CODIGO = 'FERR')");
    Ejecutar("delete from FAMILIASARTICULOS where CODIGO = 'FERR'");
    Todos(TDatos::Modo::Comparacion);
    EXPECT_EQ(Hallazgos(), (std::vector<std::string>{
                               "nuevo FAMILIASARTICULOS «FERR»",
                               "ARTICULOS «A1010» FAMILIA: «NULL» / «la familia nueva «FERR»»",
                               "ARTICULOS «A1011» FAMILIA: «NULL» / «la familia nueva «FERR»»",
                               "ARTICULOS «A1012» FAMILIA: «NULL» / «la familia nueva «FERR»»",
                           }));
}

TEST_F(ComparacionTest, ARefusedRecordsFollowUpsAreComparedAndWrittenAsARunWritesThem) {
    Tabla("clientes", {{{"CCODCLI", "C1"}, {"CPTLCLI", "41001"}, {"CCUENTA", "1234567890"}}});
    Uno("clientes", TDatos::Modo::Traspaso);
    Tabla("clientes", {{{"CCODCLI", "C1"}, {"CPTLCLI", "4100100000"}, {"CCUENTA", "1234567890"}}});
    Ejecutar("update DOMICILIOSCOBRO set NUMEROCUENTA = '0000000000'");

    Uno("clientes", TDatos::Modo::Comparacion);
    EXPECT_EQ(rechazados, 1);
    ASSERT_EQ(ui.avisos.size(), 1u);
    EXPECT_NE(ui.avisos[0].find("CODIGOPOSTAL"), std::string::npos) << ui.avisos[0];
    EXPECT_EQ(Hallazgos(), std::vector<std::string>{
                               "DomiciliosCobro «C1» NUMEROCUENTA: «0000000000» / «1234567890»"});

    Uno("clientes", TDatos::Modo::Traspaso, true);
    EXPECT_EQ(ui.avisos.size(), 1u);
    EXPECT_EQ(S(Leer("select NUMEROCUENTA from DOMICILIOSCOBRO")[0]["NUMEROCUENTA"]), "1234567890");
}

// A code cut on a blank is written with it; the target's equality ignores trailing blanks, and
// so does the comparison.
TEST_F(ComparacionTest, ACodeCutOnABlankIsTheRowItWasWrittenTo) {
    Tabla("familias", {{{"CCODFAM", "AB  X"}, {"CNOMFAM", "Con blancos"}}});
    Uno("familias", TDatos::Modo::Traspaso);
    EXPECT_EQ(S(Leer("select CODIGO from FAMILIASARTICULOS")[0]["CODIGO"]), "AB  ");
    Uno("familias", TDatos::Modo::Comparacion);
    EXPECT_EQ(Hallazgos(), std::vector<std::string>{});
    EXPECT_EQ(rechazados, 0);
}

TEST_F(ComparacionTest, AFollowUpWhoseTableTheTargetLacksIsToldOnceAndTheRestIsWritten) {
    Ejecutar("drop trigger CLIENTES_AI");
    Ejecutar("drop table DOMICILIOSCOBRO");
    Tabla("clientes", {{{"CCODCLI", "C1"}}, {{"CCODCLI", "C2"}}, {{"CCODCLI", "C3"}}});
    Uno("clientes", TDatos::Modo::Traspaso);
    ASSERT_EQ(ui.avisos.size(), 1u);
    EXPECT_NE(ui.avisos[0].find("no tiene la tabla DOMICILIOSCOBRO"), std::string::npos)
        << ui.avisos[0];
    EXPECT_NE(ui.avisos[0].find("domicilio de cobro"), std::string::npos) << ui.avisos[0];
    EXPECT_EQ(Leer("select * from CLIENTES").size(), 3u);
}

} // namespace
