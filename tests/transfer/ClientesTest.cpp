// The clients transfer end to end, with the principal collection address.
#include "FbError.h"
#include "Traspaso.h"
#include "TransferFixture.h"
#include "Tratamiento.h"

namespace {

double Simple(double v) {
    return static_cast<double>(static_cast<float>(v));
}

Fila Cliente(const std::string& codigo, const std::string& nombre = "Bar La Alegría") {
    return {{"CCODCLI", codigo}, {"CNOMCLI", nombre}};
}

TEST_F(TransferTest, ClientsEmptyTableStillReadsTheDefaults) {
    Tabla("clientes", {});
    EXPECT_TRUE(datos->TraspasoClientes());
    EXPECT_EQ(ui.Textos(),
              (std::vector<std::string>{"Abriendo consulta de Clientes",
                                        "Consulta de Clientes ABIERTA", "Actualizando Clientes",
                                        "Clientes Añadidos: 0,   Actualizados: 0"}));
    EXPECT_TRUE(datos->IBTransaction1().InTransaction());
    EXPECT_TRUE(Leer("select * from CLIENTES").empty());

    Reabrir();
    Ejecutar("drop table TARIFAS");
    ui.estados.clear();
    EXPECT_THROW_MSG(datos->TraspasoClientes(), Error, "no tiene la tabla TARIFAS");
    EXPECT_EQ(ui.Textos().back(), "Actualizando Clientes") << "no summary after an error";
}

TEST_F(TransferTest, ClientsEveryParameterAndTheCollectionAddress) {
    Ejecutar("insert into AGENTESVENTA (IDAGENTESVENTA, CODIGO) values (7, '001')");
    Tabla("PROVINC", {{{"CCODPROV", "41"}, {"CNOMPROV", "Sevilla"}}});
    Tabla("clientes",
          {{{"CCODCLI", "430001"},
            {"CNOMCLI", "Supermercados Hermanos Muñoz y Asociados del Aljarafe, S.L."},
            {"CDIRCLI", "Avenida de la Constitución, 24, bajo"},
            {"CPOBCLI", "Castilleja de la Cuesta, barriada alta"},
            {"CCODPROV", "41"},
            {"CPTLCLI", "41950"},
            {"CTFO1CLI", "954 11 22 33 ext 4"},
            {"CTFO2CLI", "600 111 222"},
            {"CFAXCLI", "954 11 22 34"},
            {"CDNICIF", "B41234567-XYZ"},
            {"NDIA1PAGO", "15"},
            {"NDIA2PAGO", "0"},
            {"NDIA3PAGO", "31"},
            {"EMAIL", "pedidos@munoz.es"},
            {"NRIESGO", "1234567.89"},
            {"NCOPFAC", "2"},
            {"CNACCLI", "ESPA"},
            {"NDTOESP", "7.3"},
            {"CSUBCTA", "430000001"},
            {"CCODPAGO", "30"},
            {"CCODAGE", "001"},
            {"CNBRBCO", "Banco Popular Español, oficina principal"},
            {"CDIRBCO", "Calle Sierpes, 1"},
            {"CPOBBCO", "Sevilla"},
            {"CPROVBCO", "41"},
            {"CNACBCO", "ESPA"},
            {"CTFOBCO", "954 00 00 00 ext 12"},
            {"CFAXBCO", "954 00 00 01"},
            {"CENTIDAD", "0075"},
            {"CAGENCIA", "0001"},
            {"CCUENTA", "0123456789"}},
           {{"CCODCLI", "430002"},
            {"NDIA1PAGO", "32"},
            {"NDIA2PAGO", "15"},
            {"NDIA3PAGO", "0"},
            {"CNACCLI", "espa"},
            {"CCODPAGO", ""},
            {"CCODAGE", ""}},
           {{"CCODCLI", "430003"}, {"NDIA1PAGO", "31"}, {"CCODPAGO", "ZZ"}, {"CCODAGE", "999"}},
           {{"CCODCLI", "430004"}}});
    Timestamp antes = Timestamp::Now();
    datos->TraspasoClientes();
    Timestamp despues = Timestamp::Now();
    ASSERT_TRUE(ui.avisos.empty()) << ui.avisos.front();
    EXPECT_EQ(ui.Textos().back(), "Clientes Añadidos: 4,   Actualizados: 0");
    auto f = Leer("select * from CLIENTES order by CODIGO");
    ASSERT_EQ(f.size(), 4u);
    EXPECT_EQ(S(f[0]["CODIGO"]), "430001");
    EXPECT_EQ(S(f[0]["NOMBRE"]), "Supermercados Hermanos Muñoz y Asociados del Aljar");
    EXPECT_EQ(S(f[0]["RAZONSOCIAL"]), "Supermercados Hermanos Muñoz y Asoc");
    EXPECT_EQ(S(f[0]["DIRECCION"]), "Avenida de la Constitución, 24, bajo");
    EXPECT_EQ(S(f[0]["LOCALIDAD"]), "Castilleja de la Cuesta, barriada a");
    EXPECT_EQ(S(f[0]["CODIGOPOSTAL"]), "41950");
    EXPECT_EQ(S(f[0]["PROVINCIA"]), "Sevilla");
    EXPECT_EQ(S(f[0]["PAIS"]), "ESPAÑA");
    EXPECT_EQ(S(f[0]["TELEFONO1"]), "954 11 22 33 ex");
    EXPECT_EQ(S(f[0]["TELEFONO2"]), "600 111 222");
    EXPECT_EQ(S(f[0]["FAX"]), "954 11 22 34");
    EXPECT_EQ(S(f[0]["EMAIL1"]), "pedidos@munoz.es");
    EXPECT_EQ(S(f[0]["NIF"]), "B41234567-XY");
    EXPECT_EQ(I(f[0]["CLIENTEFUTURO"]), 0);
    EXPECT_EQ(D(f[0]["DESCUENTO1"]), Simple(7.3));
    EXPECT_EQ(D(f[0]["DESCUENTO2"]), 0.0);
    EXPECT_EQ(D(f[0]["COMISION"]), 0.0);
    EXPECT_EQ(D(f[0]["RIESGOCONCEDIDO"]), Simple(1234567.89)) << "about seven digits";
    EXPECT_NE(D(f[0]["RIESGOCONCEDIDO"]), 1234567.89);
    EXPECT_EQ(I(f[0]["DIAFIJOPAGO1"]), 15);
    EXPECT_TRUE(IsNull(f[0]["DIAFIJOPAGO2"]));
    EXPECT_EQ(I(f[0]["DIAFIJOPAGO3"]), 31);
    EXPECT_EQ(S(f[0]["CUENTACONTABLE"]), "430000001");
    EXPECT_TRUE(IsNull(f[0]["REFERENCIABLOQUEO"]));
    for (const char* c :
         {"ALBARANVALORADO", "FACTURAACUMULADA", "TRANSPORTEINCLUIDO", "APLICARDTOSOBREIVA",
          "APLICARFINCSOBREIVA", "CLIENTEX", "FACTURAPORALBARAN"})
        EXPECT_EQ(I(f[0][c]), 0) << c;
    EXPECT_EQ(D(f[0]["DTOTOTALPIEFACTURA"]), 0.0);
    EXPECT_EQ(I(f[0]["COPIASFACTURA"]), 2);
    Timestamp alta = std::get<Timestamp>(f[0]["FECHAALTACLIENTE"]);
    EXPECT_LE(antes.ToString(), alta.ToString());
    EXPECT_LE(alta.ToString(), despues.ToString());
    EXPECT_EQ(I(f[0]["TARIFA"]), 1);
    EXPECT_EQ(I(f[0]["FORMAPAGO"]), 2);
    EXPECT_EQ(I(f[0]["CARTERA"]), 1) << "the default portfolio even when the lookup matched";
    EXPECT_EQ(I(f[0]["GRUPOEMPRESAS"]), 1);
    EXPECT_EQ(I(f[0]["REGIMENIVA"]), 1);
    EXPECT_EQ(I(f[0]["MONEDA"]), 2) << "the highest currency, not the first row";
    EXPECT_EQ(I(f[0]["FACTURAAGRUPADA"]), 1);
    EXPECT_EQ(I(f[0]["AGENTEVENTA"]), 7);

    // Days 32, 15, 0 after 15, 0, 31: nothing carries over from the record before.
    EXPECT_TRUE(IsNull(f[1]["DIAFIJOPAGO1"]));
    EXPECT_EQ(I(f[1]["DIAFIJOPAGO2"]), 15);
    EXPECT_TRUE(IsNull(f[1]["DIAFIJOPAGO3"]));
    EXPECT_EQ(S(f[1]["PAIS"]), "espa");
    EXPECT_EQ(I(f[1]["FORMAPAGO"]), 1) << "empty payment code: the default";
    EXPECT_TRUE(IsNull(f[1]["AGENTEVENTA"])) << "empty agent code: NULL";
    EXPECT_EQ(S(f[1]["PROVINCIA"]), "");
    EXPECT_EQ(S(f[1]["NOMBRE"]), "");
    EXPECT_EQ(I(f[2]["DIAFIJOPAGO1"]), 31);
    EXPECT_EQ(I(f[2]["FORMAPAGO"]), 1) << "unknown payment code: the default";
    EXPECT_TRUE(IsNull(f[2]["AGENTEVENTA"])) << "unknown agent: NULL";
    EXPECT_EQ(S(f[3]["PAIS"]), "");

    auto d = Leer("select c.CODIGO, d.* from DOMICILIOSCOBRO d join CLIENTES c on c.IDCLIENTES = "
                  "d.CLIENTE where d.DOMICILIOPRINCIPAL = 1 order by c.CODIGO");
    ASSERT_EQ(d.size(), 4u);
    EXPECT_EQ(S(d[0]["NOMBRE"]), "Banco Popular Español, oficina prin");
    EXPECT_EQ(S(d[0]["DIRECCION"]), "Calle Sierpes, 1");
    EXPECT_EQ(S(d[0]["LOCALIDAD"]), "Sevilla");
    EXPECT_EQ(S(d[0]["PROVINCIA"]), "41") << "no province-name lookup for the bank";
    EXPECT_EQ(S(d[0]["CODIGOPOSTAL"]), "41") << "the bank's province field, whole";
    EXPECT_EQ(S(d[0]["PAIS"]), "ESPA") << "no ESPAÑA rule for the bank";
    EXPECT_EQ(S(d[0]["TELEFONO1"]), "954 00 00 00 ex");
    EXPECT_EQ(S(d[0]["FAX"]), "954 00 00 01");
    EXPECT_EQ(S(d[0]["CODIGOBANCO"]), "0075");
    EXPECT_EQ(S(d[0]["CODIGOSUCURSAL"]), "0001");
    EXPECT_EQ(S(d[0]["NUMEROCUENTA"]), "0123456789");
    EXPECT_EQ(S(d[1]["NOMBRE"]), "") << "every record writes its own bank data";
}

TEST_F(TransferTest, ClientsSecondRunUpdatesEveryClientAndItsCollectionAddressAgain) {
    Tabla("clientes", {Cliente("1"), Cliente("2")});
    datos->TraspasoClientes();
    auto primera = Leer("select IDCLIENTES, CODIGO, FECHAALTACLIENTE from CLIENTES order by 1");
    Ejecutar("update CLIENTES set FECHAALTACLIENTE = '2001-01-01'");
    Ejecutar("update DOMICILIOSCOBRO set NOMBRE = 'a mano'");
    Tabla("clientes", {{{"CCODCLI", "1"}, {"CNBRBCO", "Banco nuevo"}}, Cliente("2")});
    datos->TraspasoClientes();
    EXPECT_EQ(ui.Textos().back(), "Clientes Añadidos: 0,   Actualizados: 2");
    auto segunda = Leer("select IDCLIENTES, CODIGO, FECHAALTACLIENTE from CLIENTES order by 1");
    ASSERT_EQ(segunda.size(), 2u);
    EXPECT_EQ(segunda[0]["IDCLIENTES"], primera[0]["IDCLIENTES"]);
    EXPECT_NE(std::get<Timestamp>(segunda[0]["FECHAALTACLIENTE"]).year, 2001)
        << "the registration date is the latest run's";
    auto d = Leer("select NOMBRE from DOMICILIOSCOBRO order by CLIENTE");
    EXPECT_EQ(S(d[0]["NOMBRE"]), "Banco nuevo");
    EXPECT_EQ(S(d[1]["NOMBRE"]), "");
}

TEST_F(TransferTest, ClientsWithEmptyDefaultTablesGetZero) {
    for (const char* t : {"FORMASPAGO", "MONEDAS", "REGIMENESIVA", "TARIFAS"})
        Ejecutar(std::string("delete from ") + t);
    Tabla("clientes", {Cliente("1")});
    datos->TraspasoClientes();
    auto f = Leer("select FORMAPAGO, CARTERA, MONEDA, REGIMENIVA, TARIFA from CLIENTES");
    ASSERT_EQ(f.size(), 1u);
    for (const char* c : {"FORMAPAGO", "CARTERA", "MONEDA", "REGIMENIVA", "TARIFA"})
        EXPECT_EQ(I(f[0][c]), 0) << c;
}

TEST_F(TransferTest, ClientWhoseInsertFailsIsWarnedOnceAndItsAddressIsNotTouched) {
    // A client with identifier 0 exists: an address update with 0 would land on it.
    Ejecutar("insert into CLIENTES (IDCLIENTES, CODIGO, NOMBRE) values (0, 'CERO', 'Cero')");
    Ejecutar("update DOMICILIOSCOBRO set NOMBRE = 'intacto'");
    Tabla("clientes",
          {{{"CCODCLI", "1"}, {"CDIRCLI", std::string(61, 'd')}, {"CNBRBCO", "X"}}, Cliente("2")});
    datos->TraspasoClientes();
    ASSERT_EQ(ui.avisos.size(), 1u) << "one warning: the address block does not run";
    EXPECT_NE(ui.avisos[0].find("DIRECCION"), std::string::npos) << ui.avisos[0];
    EXPECT_EQ(ui.Textos().back(), "Clientes Añadidos: 1,   Actualizados: 0");
    auto d = Leer("select NOMBRE from DOMICILIOSCOBRO where CLIENTE = 0");
    ASSERT_EQ(d.size(), 1u);
    EXPECT_EQ(S(d[0]["NOMBRE"]), "intacto");
}

TEST_F(TransferTest, ClientWithoutPrincipalAddressChangesNothingAndSaysNothing) {
    Tabla("clientes", {Cliente("1")});
    datos->TraspasoClientes();
    Ejecutar("delete from DOMICILIOSCOBRO");
    Ejecutar("insert into DOMICILIOSCOBRO (IDDOMICILIOSCOBRO, CLIENTE, DOMICILIOPRINCIPAL, NOMBRE) "
             "select 100, IDCLIENTES, 0, 'secundario' from CLIENTES");
    Tabla("clientes", {{{"CCODCLI", "1"}, {"CNBRBCO", "Banco"}}});
    datos->TraspasoClientes();
    EXPECT_TRUE(ui.avisos.empty());
    EXPECT_EQ(S(Leer("select NOMBRE from DOMICILIOSCOBRO")[0]["NOMBRE"]), "secundario");
}

TEST_F(TransferTest, OneRecordCanRaiseTwoWarningsOneFromEachBlock) {
    // An existing client: its update fails, and its address is still updated, which fails too.
    Ejecutar("insert into CLIENTES (IDCLIENTES, CODIGO) values (50, '1')");
    WriteFacturaPlusTable(
        carpeta, "clientes",
        {{{"CCODCLI", "1"}, {"CDIRCLI", std::string(61, 'd')}, {"CENTIDAD", "12345"}},
         Cliente("2")},
        0x02, {}, {{"CENTIDAD", 6}});
    datos->TraspasoClientes();
    ASSERT_EQ(ui.avisos.size(), 2u);
    EXPECT_NE(ui.avisos[0].find("DIRECCION"), std::string::npos) << ui.avisos[0];
    EXPECT_NE(ui.avisos[1].find("CODIGOBANCO"), std::string::npos) << ui.avisos[1];
    EXPECT_EQ(ui.registros[0].posicion, 1u);
    EXPECT_EQ(ui.registros[1].posicion, 1u);
    EXPECT_EQ(ui.Textos().back(), "Clientes Añadidos: 1,   Actualizados: 0");
}

TEST_F(TransferTest, NewClientsIdentifierComesFromItsOwnInsert) {
    // Another connection drawing from the generator right after our insert, made certain by a
    // trigger: the generator's current value is then someone else's.
    Ejecutar("create trigger OTRO_CLIENTE for CLIENTES after insert position 10 as "
             "declare variable X integer; begin X = gen_id(GENIDCLIENTES, 5); end");
    Tabla("clientes", {{{"CCODCLI", "1"}, {"CNBRBCO", "Banco del uno"}},
                       {{"CCODCLI", "2"}, {"CNBRBCO", "Banco del dos"}}});
    datos->TraspasoClientes();
    ASSERT_TRUE(ui.avisos.empty()) << ui.avisos.front();
    auto d = Leer("select c.CODIGO, d.NOMBRE from DOMICILIOSCOBRO d join CLIENTES c on "
                  "c.IDCLIENTES = d.CLIENTE order by c.CODIGO");
    ASSERT_EQ(d.size(), 2u);
    EXPECT_EQ(S(d[0]["NOMBRE"]), "Banco del uno");
    EXPECT_EQ(S(d[1]["NOMBRE"]), "Banco del dos");
}

TEST_F(TransferTest, ClientCodeWiderThanTheColumnIsFoundAgainByItsWrittenCut) {
    WriteFacturaPlusTable(carpeta, "clientes", {{{"CCODCLI", "CLIENTE01"}}}, 0x02, {},
                          {{"CCODCLI", 10}});
    datos->TraspasoClientes();
    datos->TraspasoClientes();
    EXPECT_EQ(ui.Textos().back(), "Clientes Añadidos: 0,   Actualizados: 1");
    EXPECT_EQ(Leer("select CODIGO from CLIENTES").size(), 1u);
}

// The record's fields are found by where the mapping's names lie: a name that arrives in a
// string another name used before must still read its own field, whatever case it is written in.
TEST_F(TransferTest, ARecordsFieldIsReadByItsNameWhereverTheNameLies) {
    Tabla("clientes", {{{"CCODCLI", "430001"}, {"CNOMCLI", "Bar Pepe"}, {"CPOBCLI", "Écija"}}});
    SourceQuery& q = datos->qClientes();
    q.Open();
    q.First();
    const CamposDeConsulta campos(q);
    std::string nombre = "CCODCLI";
    EXPECT_EQ(campos.Texto(nombre), "430001");
    EXPECT_EQ(campos.Texto(nombre), "430001");
    nombre.replace(0, nombre.size(), "CNOMCLI"); // same characters' place, another field
    EXPECT_EQ(campos.Texto(nombre), "Bar Pepe");
    nombre.replace(0, nombre.size(), "cpobcli");
    EXPECT_EQ(campos.Texto(nombre), "Écija");
    nombre.replace(0, nombre.size(), "CNADA00");
    EXPECT_THROW(campos.Texto(nombre), DbfError);
    q.Close();
}

// A binding finds its text fields' places once, for the source it binds from: records of another
// source, where the same name stands elsewhere, are read by their own places.
TEST_F(TransferTest, ABindingReadsEachSourceByItsOwnPlaces) {
    Tabla("articulo", {{{"CREF", "A-1"}, {"CDETALLE", "Tornillo"}}});
    Tabla("stocks", {{{"CCODALM", "ALM"}, {"CREF", "S-2"}}}); // CREF second here, first there
    SourceQuery& articulos = datos->qArticulos();
    SourceQuery& stock = datos->qStock();
    stock.SetParam("PARCODIGO", "S-2");
    articulos.Open();
    stock.Open();
    datos->IBDatabase1().Open();
    datos->IBTransaction1().StartTransaction();
    IBSQL s(datos->IBDatabase1(), datos->IBTransaction1());
    s.SetText("select cast(:CODIGO as varchar(18)) from RDB$DATABASE");
    const std::vector<Linea> lineas = {{"CODIGO", Campo("CREF")}};
    Enlazador enlazar;
    std::unique_ptr<Busquedas> busquedas = NuevasBusquedas(*datos);
    auto leido = [&](const SourceQuery& q) {
        const CamposDeConsulta campos(q);
        enlazar(s, lineas, Envio::Ambas, Fuente{campos, *busquedas});
        s.ExecQuery();
        std::string v = s.Field(0).AsString();
        s.Close();
        return v;
    };
    EXPECT_EQ(leido(articulos), "A-1");
    EXPECT_EQ(leido(stock), "S-2");
    EXPECT_EQ(leido(articulos), "A-1");
    datos->IBTransaction1().Rollback();
}

} // namespace
