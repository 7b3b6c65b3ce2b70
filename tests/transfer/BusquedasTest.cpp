// Within a transfer each code is looked up in the target once and remembered: the rows written
// must be exactly those the lookups' own statements give, code by code, on a target with codes
// it repeats, codes it lacks, codes too long for their column and empty codes.
#include "Reglas.h"
#include "TransferFixture.h"

namespace {

class BusquedasTest : public TransferTest {
protected:
    void SetUp() override {
        TransferTest::SetUp();
        // Two payment methods and two agents under one code each: the first row returned counts.
        Ejecutar("insert into FORMASPAGO values (7, 'CON', 'CONTADO OTRA VEZ', 3)");
        Ejecutar("insert into AGENTESVENTA (IDAGENTESVENTA, CODIGO) values (5, '001')");
        Ejecutar("insert into AGENTESVENTA (IDAGENTESVENTA, CODIGO) values (6, '001')");
        Ejecutar("insert into AGENTESVENTA (IDAGENTESVENTA, CODIGO) values (8, '002')");
        // The first row of a code is the first stored, whatever its identifier.
        Ejecutar("insert into AGENTESVENTA (IDAGENTESVENTA, CODIGO) values (12, '003')");
        Ejecutar("insert into AGENTESVENTA (IDAGENTESVENTA, CODIGO) values (11, '003')");
        // Stored with a trailing blank, which the comparison ignores.
        Ejecutar("insert into AGENTESVENTA (IDAGENTESVENTA, CODIGO) values (13, '004 ')");
        Ejecutar("insert into FAMILIASARTICULOS (IDFAMILIASARTICULOS, CODIGO) values (3, 'ALIM')");
        Ejecutar("insert into FAMILIASARTICULOS (IDFAMILIASARTICULOS, CODIGO) values (4, 'ALIM')");
        Ejecutar("insert into FAMILIASARTICULOS (IDFAMILIASARTICULOS, CODIGO) values (9, 'BEBI')");
    }
};

TEST_F(BusquedasTest, RememberedLookupsWriteWhatTheLookupStatementsGiveCodeByCode) {
    const char* pagos[] = {"CON", "30", "CON", "XXX", "CONTADO", "", "30", "CON"};
    const char* agentes[] = {"001", "002 ", "009", "003", "", "002", "004", "009"};
    std::vector<Fila> clientes;
    for (int i = 0; i < 8; ++i)
        clientes.push_back({{"CCODCLI", "C" + std::to_string(i)},
                            {"CCODPAGO", pagos[i]},
                            {"CCODAGE", agentes[i]}});
    Tabla("clientes", clientes);
    Tabla("PROVINC", {});
    const char* familias[] = {"ALIM", "BEBID", "ALIMENTOS", "NADA", "", "BEBI", "ALIM"};
    std::vector<Fila> articulos;
    for (int i = 0; i < 7; ++i)
        articulos.push_back({{"CREF", "A" + std::to_string(i)}, {"CCODFAM", familias[i]}});
    Tabla("articulo", articulos);
    Tabla("stocks", {});
    Tabla("Artcom", {});

    ASSERT_TRUE(datos->TraspasoClientes());
    ASSERT_TRUE(datos->TraspasoArticulos());
    EXPECT_TRUE(ui.avisos.empty()) << ui.avisos.front();

    // The lookups' own statements, asked afresh for each record's code.
    Reabrir();
    int32_t defecto = I(Leer("select first 1 IDFORMASPAGO from FORMASPAGO")[0]["IDFORMASPAGO"]);
    for (int i = 0; i < 8; ++i) {
        auto fila = Leer("select FORMAPAGO, AGENTEVENTA from CLIENTES where CODIGO = 'C" +
                         std::to_string(i) + "'");
        ASSERT_EQ(fila.size(), 1u);
        int32_t pago = datos->BuscarIdFormaPago(Primeros(pagos[i], 4));
        EXPECT_EQ(fila[0]["FORMAPAGO"], Variant(pago != 0 ? pago : defecto)) << pagos[i];
        int32_t agente = datos->BuscarIdAgenteVenta(agentes[i]);
        EXPECT_EQ(fila[0]["AGENTEVENTA"], agente != 0 ? Variant(agente) : Variant()) << agentes[i];
    }
    for (int i = 0; i < 7; ++i) {
        auto fila =
            Leer("select FAMILIA from ARTICULOS where CODIGO = 'A" + std::to_string(i) + "'");
        ASSERT_EQ(fila.size(), 1u);
        std::optional<int32_t> familia = datos->BuscarIdFamilia(familias[i]);
        EXPECT_EQ(fila[0]["FAMILIA"], familia ? Variant(*familia) : Variant()) << familias[i];
    }
    // And what the statements give is what the target says, first rows first.
    EXPECT_EQ(datos->BuscarIdFormaPago("CON"), 1);
    EXPECT_EQ(datos->BuscarIdAgenteVenta("001"), 5);
    EXPECT_EQ(datos->BuscarIdAgenteVenta("003"), 12);
    EXPECT_EQ(datos->BuscarIdAgenteVenta("004"), 13);
    EXPECT_EQ(datos->BuscarIdAgenteVenta("002 "), 8);
    EXPECT_EQ(datos->BuscarIdFamilia("ALIMENTOS"), std::optional<int32_t>(3));
}

// Remembered for one transfer only: a code the target gains between two runs is found by the
// second.
TEST_F(BusquedasTest, WhatATransferRemembersIsForgottenByTheNext) {
    Tabla("clientes", {{{"CCODCLI", "C1"}, {"CCODAGE", "010"}}});
    Tabla("PROVINC", {});
    ASSERT_TRUE(datos->TraspasoClientes());
    EXPECT_EQ(Leer("select AGENTEVENTA from CLIENTES")[0]["AGENTEVENTA"], Variant());
    Ejecutar("insert into AGENTESVENTA (IDAGENTESVENTA, CODIGO) values (10, '010')");
    ASSERT_TRUE(datos->TraspasoClientes());
    EXPECT_EQ(Leer("select AGENTEVENTA from CLIENTES")[0]["AGENTEVENTA"], Variant(int32_t{10}));
}

// A target whose codes compare without regard to case finds a code however it is written, and
// of two codes that it takes for one, the first stored: the table read whole must not answer
// otherwise.
TEST_F(BusquedasTest, ACollationThatFoldsCaseIsAnsweredAsTheTargetCompares) {
    Ejecutar("create domain CODIGO_SIN_MAYUSCULAS as varchar(4) character set WIN1252 collate "
             "WIN_PTBR");
    Ejecutar("alter table AGENTESVENTA alter CODIGO type CODIGO_SIN_MAYUSCULAS");
    Ejecutar("insert into AGENTESVENTA (IDAGENTESVENTA, CODIGO) values (20, 'ab')");
    Tabla("clientes", {{{"CCODCLI", "C1"}, {"CCODAGE", "AB"}},
                       {{"CCODCLI", "C2"}, {"CCODAGE", "ab"}},
                       {{"CCODCLI", "C3"}, {"CCODAGE", "Ab"}}});
    Tabla("PROVINC", {});
    auto agentes = [&] {
        std::vector<Variant> v;
        for (auto& fila : Leer("select AGENTEVENTA from CLIENTES order by CODIGO"))
            v.push_back(fila["AGENTEVENTA"]);
        return v;
    };
    const Variant veinte(int32_t{20});
    ASSERT_TRUE(datos->TraspasoClientes());
    EXPECT_EQ(agentes(), (std::vector<Variant>{veinte, veinte, veinte}));

    // Now 'AB' is a second row of the same code for the target: the first one stays the answer.
    Ejecutar("insert into AGENTESVENTA (IDAGENTESVENTA, CODIGO) values (21, 'AB')");
    ASSERT_TRUE(datos->TraspasoClientes());
    EXPECT_EQ(agentes(), (std::vector<Variant>{veinte, veinte, veinte}));
    EXPECT_EQ(datos->BuscarIdAgenteVenta("AB"), 20);
}

} // namespace
