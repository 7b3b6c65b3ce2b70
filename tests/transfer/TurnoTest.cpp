// One transfer at a time per target: a second one waits while another connection runs one.
#include "TransferFixture.h"

#include <chrono>

namespace {

// Another program's connection to the same target, marked as running a transfer.
class OtroTraspaso {
public:
    explicit OtroTraspaso(const std::string& base) : tr_(db_), sql_(db_, tr_) {
        db_.SetDefaultTransaction(&tr_);
        db_.SetDatabaseName(base);
        db_.Open();
        tr_.StartTransaction();
        Marcar("'CLIENTES'");
    }
    void Terminar() { Marcar("NULL"); }

private:
    void Marcar(const std::string& valor) {
        sql_.SetText("select rdb$set_context('USER_SESSION', 'TRASPASO_MAESTROS', " + valor +
                     ") from rdb$database");
        sql_.ExecQuery();
        sql_.Close();
        tr_.CommitRetaining();
    }
    IBDatabase db_;
    IBTransaction tr_;
    IBSQL sql_;
};

TEST_F(TransferTest, ASecondTransferWaitsForTheFirstAndThenRuns) {
    Agentes({{{"CCODAGE", "001"}}, {{"CCODAGE", "002"}}});
    OtroTraspaso otro(base);
    int esperas = 0;
    ui.alAtender = [&] {
        if (ui.atendidos.back().posicion != 0) return;
        if (++esperas == 3) otro.Terminar(); // the other transfer ends while this one waits
    };
    EXPECT_TRUE(datos->TraspasoAgentes());
    EXPECT_GE(esperas, 3) << "it waited, and went on only after the other ended";
    auto textos = ui.Textos();
    ASSERT_GE(textos.size(), 4u);
    EXPECT_NE(textos[3].find("Esperando a que termine otro traspaso en esta base de datos"),
              std::string::npos)
        << textos[3];
    EXPECT_NE(textos[3].find("CLIENTES"), std::string::npos) << "says which one: " << textos[3];
    EXPECT_EQ(textos.back(), "Agentes Añadidos: 2,   Actualizados: 0");
}

TEST_F(TransferTest, AWaitIsToldOnceAndEndsAtItsBoundNamingWhoHoldsTheTurn) {
    Agentes({{{"CCODAGE", "001"}}});
    OtroTraspaso otro(base);
    datos->SetEsperaTurno(2);
    EXPECT_EQ(datos->EsperaTurno(), 2);
    EXPECT_THROW(datos->SetEsperaTurno(0), Error);
    auto inicio = std::chrono::steady_clock::now();
    auto e = Captura<Error>([&] { datos->TraspasoAgentes(); });
    double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - inicio).count();
    ASSERT_TRUE(e.has_value()) << "the wait has a bound";
    EXPECT_GE(s, 2.0);
    EXPECT_LT(s, 5.0);
    EXPECT_NE(std::string(e->what()).find("después de esperar 2 segundos a que termine: «CLIENTES» "
                                          "desde "),
              std::string::npos)
        << e->what();
    int esperas = 0, dichas = 0;
    for (const RegistroEnCurso& r : ui.atendidos)
        esperas += r.posicion == 0 ? 1 : 0;
    for (const std::string& t : ui.Textos())
        dichas += t.rfind("Esperando a que termine otro traspaso", 0) == 0 ? 1 : 0;
    EXPECT_GE(esperas, 10) << "it looked for a stop all the while";
    EXPECT_EQ(dichas, 1) << "the same line once, not every tenth of a second";
    datos.reset();
    EXPECT_TRUE(Leer("select * from AGENTESVENTA").empty());
}

TEST_F(TransferTest, AStopWhileWaitingForTheTurnWritesNothing) {
    Agentes({{{"CCODAGE", "001"}}});
    OtroTraspaso otro(base);
    ui.alAtender = [&] { datos->SolicitarParada(); };
    EXPECT_FALSE(datos->TraspasoAgentes());
    EXPECT_FALSE(datos->IBTransaction1().InTransaction());
    datos.reset();
    EXPECT_TRUE(Leer("select * from AGENTESVENTA").empty());
}

TEST_F(TransferTest, TheTurnIsGivenBackWhenARunEnds) {
    Agentes({{{"CCODAGE", "001"}}});
    EXPECT_TRUE(datos->TraspasoAgentes());
    // Another connection sees no mark left by the finished run, even with this one still open.
    auto marcas = Leer("select count(*) as N from MON$CONTEXT_VARIABLES where "
                       "MON$VARIABLE_NAME = 'TRASPASO_MAESTROS'");
    EXPECT_EQ(I(marcas[0]["N"]), 0);
    // And a failing run gives it back too.
    Reabrir(); // lets go of the statements on the table about to be dropped
    Ejecutar("alter table CLIENTES drop constraint FK_CLIENTES_AGENTEVENTA");
    Ejecutar("drop table AGENTESVENTA");
    EXPECT_ANY_THROW(datos->TraspasoAgentes());
    marcas = Leer("select count(*) as N from MON$CONTEXT_VARIABLES where "
                  "MON$VARIABLE_NAME = 'TRASPASO_MAESTROS'");
    EXPECT_EQ(I(marcas[0]["N"]), 0);
}

} // namespace
