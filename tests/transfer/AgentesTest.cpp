// The agents transfer end to end: dBase folder in, rows of a real target database out.
#include "FallaRed.h"
#include "FbError.h"
#include "TransferFixture.h"

namespace {

const std::string kResumenVacio = "Agentes Añadidos: 0,   Actualizados: 0";

Fila Agente(const std::string& codigo, const std::string& nombre = "Ana",
            const std::string& apellido = "López") {
    return {{"CCODAGE", codigo}, {"CNBRAGE", nombre}, {"CAPEAGE", apellido}};
}

TEST_F(TransferTest, EmptyTableStillReadsTheDefaultAndShowsZeroCounts) {
    Agentes({});
    EXPECT_TRUE(datos->TraspasoAgentes());
    EXPECT_EQ(ui.Textos(), (std::vector<std::string>{"Abriendo consulta de Agentes de Venta",
                                                     "Consulta de Agentes de Venta ABIERTA",
                                                     "Actualizando Agentes", kResumenVacio}));
    EXPECT_TRUE(ui.estados.back().second) << "the summary goes to a box";
    EXPECT_TRUE(datos->IBTransaction1().InTransaction()) << "committed retaining, still active";
    EXPECT_EQ(ui.mensajes, 0);

    // The default's table is needed even with no agent: without tablaiva the empty run fails,
    // naming it, before any record.
    Reabrir(); // let go of the table before dropping it
    Ejecutar("drop table TABLAIVA");
    ui.estados.clear();
    EXPECT_THROW_MSG(datos->TraspasoAgentes(), Error, "no tiene la tabla TABLAIVA");
    EXPECT_EQ(ui.Textos().back(), "Actualizando Agentes") << "no summary after an error";
}

TEST_F(TransferTest, FirstRunInsertsSecondRunUpdates) {
    Agentes({Agente("001"), Agente("002"), Agente("003")});
    EXPECT_TRUE(datos->TraspasoAgentes());
    EXPECT_EQ(ui.Textos().back(), "Agentes Añadidos: 3,   Actualizados: 0");
    EXPECT_EQ(datos->RegistrosAnadidos, 3);
    auto primera = Leer("select IDAGENTESVENTA, CODIGO from AGENTESVENTA order by IDAGENTESVENTA");
    ASSERT_EQ(primera.size(), 3u);
    EXPECT_TRUE(datos->TraspasoAgentes());
    EXPECT_EQ(ui.Textos().back(), "Agentes Añadidos: 0,   Actualizados: 3");
    auto segunda = Leer("select IDAGENTESVENTA, CODIGO from AGENTESVENTA order by IDAGENTESVENTA");
    EXPECT_EQ(segunda, primera) << "same rows, updated in place";
    EXPECT_EQ(datos->IBDatabase1().AttachCount(), 1) << "the second run reuses the connection";
    EXPECT_EQ(ui.mensajes, 6);
}

TEST_F(TransferTest, TwoRecordsWithOneCode) {
    Agentes({Agente("007", "Primero"), Agente("007", "Segundo")});
    datos->TraspasoAgentes();
    EXPECT_EQ(ui.Textos().back(), "Agentes Añadidos: 1,   Actualizados: 1");
    auto filas = Leer("select NOMBRE from AGENTESVENTA");
    ASSERT_EQ(filas.size(), 1u);
    EXPECT_EQ(S(filas[0]["NOMBRE"]), "Segundo López");
}

TEST_F(TransferTest, EveryParameterOfTheInsert) {
    WriteFacturaPlusTable(
        carpeta, "PROVINC",
        {{{"CCODPROV", "28"}, {"CNOMPROV", "Madrid"}},
         {{"CCODPROV", "38"}, {"CNOMPROV", "Santa Cruz de Tenerife (Canarias)"}}});
    Agentes({{{"CCODAGE", "A1"},
              {"CNBRAGE", "  José María  "},
              {"CAPEAGE", " Núñez "},
              {"CDIRAGE", std::string(40, 'd')},
              {"CPOBAGE", "Alcalá de Henares, municipio de la Comunidad"},
              {"CPTLAGE", "28801"},
              {"CCODPROV", "28"},
              {"CNACAGE", "ESPA"},
              {"CTFOAGE", "91 888 77 66 ext 123"},
              {"CFAXAGE", "91 888 77 67"},
              {"EMAIL", "jm@ejemplo.es"},
              {"CDNINIF", "12345678Z-ABC"},
              {"NCOM1", "12.34"}},
             {{"CCODAGE", "A2"},
              {"CNBRAGE", std::string(30, 'n')},
              {"CAPEAGE", "Apellidos"},
              {"CCODPROV", "38"},
              {"CNACAGE", "espa"}},
             {{"CCODAGE", "A3"}, {"CCODPROV", "99"}}});
    Timestamp antes = Timestamp::Now();
    datos->TraspasoAgentes();
    Timestamp despues = Timestamp::Now();
    ASSERT_TRUE(ui.avisos.empty()) << ui.avisos.front();
    auto f = Leer("select CODIGO, NOMBRE, DIRECCION, LOCALIDAD, CODIGOPOSTAL, PROVINCIA, PAIS, "
                  "TELEFONO1, FAX, EMAIL1, NIF, PORCENTAJECOMISION, IMPORTECOMISION, COMISIONFIJA, "
                  "CUENTACONTABLE, COMISIONESAGENTE, FECHAALTA, IVA, EMPRESA from AGENTESVENTA "
                  "order by CODIGO");
    ASSERT_EQ(f.size(), 3u);
    EXPECT_EQ(S(f[0]["CODIGO"]), "A1");
    EXPECT_EQ(S(f[0]["NOMBRE"]), "José María Núñez") << "both trimmed around one blank";
    EXPECT_EQ(S(f[0]["DIRECCION"]), std::string(35, 'd'));
    EXPECT_EQ(S(f[0]["LOCALIDAD"]), "Alcalá de Henares, municipio de la ");
    EXPECT_EQ(S(f[0]["CODIGOPOSTAL"]), "28801");
    EXPECT_EQ(S(f[0]["PROVINCIA"]), "Madrid");
    EXPECT_EQ(S(f[0]["PAIS"]), "ESPAÑA");
    EXPECT_EQ(S(f[0]["TELEFONO1"]), "91 888 77 66 ex");
    EXPECT_EQ(S(f[0]["FAX"]), "91 888 77 67");
    EXPECT_EQ(S(f[0]["EMAIL1"]), "jm@ejemplo.es");
    EXPECT_EQ(S(f[0]["NIF"]), "12345678Z-AB");
    EXPECT_EQ(D(f[0]["PORCENTAJECOMISION"]), 0.0);
    EXPECT_EQ(D(f[0]["IMPORTECOMISION"]), 12.340000152587891) << "narrowed to single precision";
    EXPECT_EQ(I(f[0]["COMISIONFIJA"]), 0);
    EXPECT_TRUE(IsNull(f[0]["CUENTACONTABLE"]));
    EXPECT_EQ(I(f[0]["COMISIONESAGENTE"]), 0);
    Timestamp alta = std::get<Timestamp>(f[0]["FECHAALTA"]);
    EXPECT_LE(antes.ToString(), alta.ToString());
    EXPECT_LE(alta.ToString(), despues.ToString());
    EXPECT_EQ(I(f[0]["IVA"]), 3) << "the first row of tablaiva";
    EXPECT_EQ(I(f[0]["EMPRESA"]), 1);

    EXPECT_EQ(S(f[1]["NOMBRE"]), std::string(30, 'n') + " Apel") << "30 + blank + 4 = 35";
    EXPECT_EQ(S(f[1]["PROVINCIA"]), "Santa Cruz de Tenerife (C");
    EXPECT_EQ(S(f[1]["PAIS"]), "espa") << "only \"ESPA\" exactly becomes ESPAÑA";
    EXPECT_EQ(S(f[2]["NOMBRE"]), " ") << "the joining blank is always there";
    EXPECT_EQ(S(f[2]["PROVINCIA"]), "");
    EXPECT_EQ(S(f[2]["PAIS"]), "");
    EXPECT_EQ(D(f[2]["IMPORTECOMISION"]), 0.0);
}

TEST_F(TransferTest, UpdateKeepsTheCodeAsReadAndWhatWasSetByHand) {
    Agentes({{{"CCODAGE", " 04"}, {"CNBRAGE", " Eva "}, {"CAPEAGE", " Gil"}}});
    datos->TraspasoAgentes();
    Reabrir();
    Ejecutar("update AGENTESVENTA set PORCENTAJECOMISION = 7.5, CUENTACONTABLE = '4100001'");
    datos->TraspasoAgentes();
    ASSERT_TRUE(ui.avisos.empty()) << ui.avisos.front();
    EXPECT_EQ(ui.Textos().back(), "Agentes Añadidos: 0,   Actualizados: 1")
        << "a code with a leading blank is found again";
    datos->TraspasoAgentes();
    EXPECT_EQ(ui.Textos().back(), "Agentes Añadidos: 0,   Actualizados: 1");
    auto f = Leer("select CODIGO, NOMBRE, PORCENTAJECOMISION, CUENTACONTABLE from AGENTESVENTA");
    ASSERT_EQ(f.size(), 1u);
    EXPECT_EQ(S(f[0]["CODIGO"]), " 04");
    EXPECT_EQ(S(f[0]["NOMBRE"]), "Eva  Gil") << "the update keeps the surname as read";
    EXPECT_EQ(D(f[0]["PORCENTAJECOMISION"]), 7.5);
    EXPECT_EQ(S(f[0]["CUENTACONTABLE"]), "4100001");
}

TEST_F(TransferTest, EmptyTablaivaGivesIvaZero) {
    Ejecutar("delete from TABLAIVA");
    Agentes({Agente("001")});
    datos->TraspasoAgentes();
    EXPECT_EQ(I(Leer("select IVA from AGENTESVENTA")[0]["IVA"]), 0);
}

TEST_F(TransferTest, FailingRecordIsWarnedSkippedAndTheRestGoIn) {
    Agentes({Agente("001"),
             {{"CCODAGE", "002"}, {"EMAIL", std::string(41, 'e')}},
             {{"CCODAGE", "003"}, {"NCOM1", "********"}},
             Agente("004")});
    datos->TraspasoAgentes();
    ASSERT_EQ(ui.avisos.size(), 2u);
    EXPECT_NE(ui.avisos[0].find("EMAIL1"), std::string::npos) << ui.avisos[0];
    EXPECT_NE(ui.avisos[0].find("41"), std::string::npos) << ui.avisos[0];
    EXPECT_EQ(ui.registros[0].posicion, 2u);
    EXPECT_EQ(ui.registros[0].total, 4u);
    EXPECT_EQ(ui.registros[0].codigo, "002");
    EXPECT_NE(ui.avisos[1].find("campo NCOM1, registro 3"), std::string::npos) << ui.avisos[1];
    EXPECT_EQ(ui.Textos().back(), "Agentes Añadidos: 2,   Actualizados: 0");
    auto f = Leer("select CODIGO from AGENTESVENTA order by CODIGO");
    ASSERT_EQ(f.size(), 2u);
    EXPECT_EQ(S(f[1]["CODIGO"]), "004");
}

TEST_F(TransferTest, MissingTargetTableInTheLookupEndsTheRun) {
    Ejecutar("alter table CLIENTES drop constraint FK_CLIENTES_AGENTEVENTA");
    Ejecutar("drop table AGENTESVENTA");
    Agentes({Agente("001"), Agente("002")});
    EXPECT_THROW_MSG(datos->TraspasoAgentes(), Error,
                     "no tiene la tabla AGENTESVENTA, que necesita el traspaso de Agentes");
    EXPECT_EQ(ui.Textos().back(), "Actualizando Agentes");
    EXPECT_TRUE(ui.avisos.empty());
    EXPECT_TRUE(datos->qAgentesVenta().Active()) << "the query stays open after an error";
}

TEST_F(TransferTest, MissingSourceTableEndsTheRunWithTheEngineMessage) {
    EXPECT_THROW_MSG(datos->TraspasoAgentes(), Error, "agentes.dbf");
    EXPECT_EQ(ui.Textos(), (std::vector<std::string>{"Abriendo consulta de Agentes de Venta"}));
    EXPECT_FALSE(datos->IBDatabase1().Connected()) << "the target is not touched";
}

TEST_F(TransferTest, DeletedRecordsAreNotTransferred) {
    Agentes({Agente("001"), Agente("002"), Agente("003")}, {"002"});
    datos->TraspasoAgentes();
    EXPECT_EQ(ui.Textos().back(), "Agentes Añadidos: 2,   Actualizados: 0");
}

TEST_F(TransferTest, StopRequestEndsAfterTheCurrentRecordIsCommitted) {
    Agentes({Agente("001"), Agente("002"), Agente("003"), Agente("004")});
    ui.alAtender = [&] {
        if (ui.mensajes == 2) datos->SolicitarParada();
    };
    EXPECT_FALSE(datos->TraspasoAgentes());
    EXPECT_FALSE(datos->Ejecutando());
    EXPECT_EQ(ui.Textos().back(), "Actualizando Agentes") << "no summary";
    datos.reset(); // the closing commit; the two records were committed already
    EXPECT_EQ(Leer("select CODIGO from AGENTESVENTA").size(), 2u);
}

TEST_F(TransferTest, ClosingCommitsDisconnectsAndDeletesTheAlias) {
    Agentes({Agente("001")});
    datos->TraspasoAgentes();
    datos->Cerrar();
    EXPECT_FALSE(datos->IBTransaction1().InTransaction());
    EXPECT_FALSE(datos->IBDatabase1().Connected());
    EXPECT_FALSE(datos->Session1().IsAlias("Aux_Impor_FacturaPlus"));
    EXPECT_EQ(Leer("select CODIGO from AGENTESVENTA").size(), 1u);
}

TEST_F(TransferTest, CodeLookups) {
    Ejecutar("insert into FAMILIASARTICULOS (IDFAMILIASARTICULOS, CODIGO) values (5, 'BEBI')");
    Ejecutar("insert into FORMASPAGO (IDFORMASPAGO, CODIGO) values (9, 'DUP')");
    Ejecutar("insert into FORMASPAGO (IDFORMASPAGO, CODIGO) values (8, 'DUP')");
    Ejecutar("insert into AGENTESVENTA (IDAGENTESVENTA, CODIGO) values (4, '001')");
    EXPECT_EQ(datos->BuscarIdFormaPago(""), 0);
    EXPECT_FALSE(datos->IBDatabase1().Connected()) << "an empty code runs no query";
    EXPECT_EQ(datos->BuscarIdFamilia("BEBID"), 5) << "found under its first four characters";
    EXPECT_TRUE(datos->IBQueryFamiliasArticulos().Active()) << "left open for the next call";
    EXPECT_FALSE(datos->BuscarIdFamilia("VINOS").has_value());
    EXPECT_EQ(datos->BuscarIdFormaPago("30"), 2);
    EXPECT_EQ(datos->BuscarIdFormaPago("NADA"), 0);
    int dup = datos->BuscarIdFormaPago("DUP");
    EXPECT_TRUE(dup == 9 || dup == 8);
    EXPECT_EQ(datos->BuscarIdAgenteVenta("001"), 4);
    EXPECT_EQ(datos->BuscarIdAgenteVenta(" 001"), 0) << "no trimming on the client side";
}

} // namespace

namespace {

TEST_F(TransferTest, FailedCommitEndsTheRunAndTheRecordWaitsForTheNextCommit) {
    Agentes({Agente("001"), Agente("002"), Agente("003")});
    int commits = 0;
    datos->IBDatabase1().Api().commitRetaining = [&](ISC_STATUS* st, isc_tr_handle* tr) {
        if (++commits == 3) return FallaRed(st); // the default's commit, then records 1 and 2
        return isc_commit_retaining(st, tr);
    };
    auto e = Captura<FbError>([&] { datos->TraspasoAgentes(); });
    ASSERT_TRUE(e.has_value());
    EXPECT_NE(std::string(e->what()).find("Unable to complete network request"), std::string::npos)
        << e->what();
    EXPECT_EQ(e->SqlCode(), -902);
    EXPECT_EQ(ui.Textos().back(), "Actualizando Agentes");
    EXPECT_EQ(datos->RegistrosAnadidos, 2) << "the counts keep the values reached";
    EXPECT_EQ(Leer("select CODIGO from AGENTESVENTA").size(), 1u)
        << "record 2 is not committed yet";
    datos->Cerrar();
    EXPECT_EQ(Leer("select CODIGO from AGENTESVENTA").size(), 2u) << "the closing commit takes it";
}

} // namespace
