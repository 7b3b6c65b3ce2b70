// A row that another user of the target holds: the record waits a bounded time and is warned
// about, and a cancel undoes the record in progress and ends the run saying what was kept.
#include "FbError.h"
#include "TransferFixture.h"

#include <atomic>
#include <chrono>
#include <thread>

namespace {

// Another user editing agent `codigo` in the target, without committing.
class Editor {
public:
    Editor(const std::string& base, const std::string& codigo) : tr_(db_), sql_(db_, tr_) {
        db_.SetDefaultTransaction(&tr_);
        db_.SetDatabaseName(base);
        db_.Open();
        tr_.StartTransaction();
        sql_.SetText("update AGENTESVENTA set NOMBRE = 'editando' where CODIGO = '" + codigo + "'");
        sql_.ExecQuery();
    }
    void Soltar() { tr_.Rollback(); }

private:
    IBDatabase db_;
    IBTransaction tr_;
    IBSQL sql_;
};

class BloqueoTest : public TransferTest {
protected:
    void SetUp() override {
        TransferTest::SetUp();
        Agentes({{{"CCODAGE", "001"}}, {{"CCODAGE", "002"}}, {{"CCODAGE", "003"}}});
        EXPECT_TRUE(datos->TraspasoAgentes());
        Reabrir();
        Agentes({{{"CCODAGE", "001"}, {"CNBRAGE", "Uno"}},
                 {{"CCODAGE", "002"}, {"CNBRAGE", "Dos"}},
                 {{"CCODAGE", "003"}, {"CNBRAGE", "Tres"}}});
    }
};

TEST_F(BloqueoTest, ARowInUseFailsItsRecordAfterTheWaitAndTheWalkGoesOn) {
    Editor otro(base, "002");
    datos->IBTransaction1().SetLockTimeout(1);
    EXPECT_TRUE(datos->TraspasoAgentes());
    ASSERT_EQ(ui.avisos.size(), 1u);
    EXPECT_NE(ui.avisos[0].find("en uso por otro usuario"), std::string::npos) << ui.avisos[0];
    EXPECT_EQ(ui.registros[0].codigo, "002");
    EXPECT_EQ(ui.Textos().back(), "Agentes Añadidos: 0,   Actualizados: 2");
    otro.Soltar();
    auto f = Leer("select CODIGO, NOMBRE from AGENTESVENTA order by CODIGO");
    EXPECT_EQ(S(f[0]["NOMBRE"]).substr(0, 3), "Uno");
    EXPECT_EQ(S(f[2]["NOMBRE"]).substr(0, 4), "Tres");
}

TEST_F(BloqueoTest, ACancelUndoesTheRecordInProgressAndKeepsTheOnesBefore) {
    Editor otro(base, "002");
    datos->IBTransaction1().SetLockTimeout(60);
    std::atomic<bool> fin{false}, primero{false};
    ui.alAtender = [&] { primero = true; };
    std::thread cancelador([&] {
        // The run is waiting on record 2 once record 1 has been handled; cancel until it ends.
        while (!fin) {
            if (primero) datos->CancelarOperacion();
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
    });
    auto e = Captura<FbError>([&] { datos->TraspasoAgentes(); });
    fin = true;
    cancelador.join();
    ASSERT_TRUE(e.has_value()) << "the cancel ends the run";
    EXPECT_TRUE(e->Cancelada());
    std::string m = e->what();
    EXPECT_NE(m.find("se ha detenido en el registro 2 de 3"), std::string::npos) << m;
    EXPECT_NE(m.find("en el registro 2 de 3 de agentes.dbf (código «002»); hasta él, 1 registro "
                     "confirmado."),
              std::string::npos)
        << m;
    otro.Soltar();
    datos->Cerrar();
    auto f = Leer("select CODIGO, NOMBRE from AGENTESVENTA order by CODIGO");
    EXPECT_EQ(S(f[0]["NOMBRE"]).substr(0, 3), "Uno") << "committed before the cancel";
    EXPECT_EQ(S(f[1]["NOMBRE"]), " ") << "the cancelled record left nothing";
    EXPECT_EQ(S(f[2]["NOMBRE"]), " ") << "and the walk went no further";
}

} // namespace
