// Grouped commits: by count, and by how long the oldest record not yet committed has waited, so
// that a slow run never holds much uncommitted work however large its groups.
#include "TransferFixture.h"

#include <thread>

namespace {

class ConfirmacionTest : public TransferTest {
protected:
    void SetUp() override {
        TransferTest::SetUp();
        std::vector<Fila> filas;
        for (int i = 1; i <= 7; ++i)
            filas.push_back({{"CCODAGE", std::to_string(100 + i)}});
        Agentes(filas);
        Tabla("PROVINC", {});
        // Before each record is handled: what another connection sees committed by then.
        ui.alAtender = [this] {
            vistos.push_back(I(Leer("select count(*) as N from AGENTESVENTA")[0]["N"]));
            if (pausa.count()) std::this_thread::sleep_for(pausa);
        };
    }
    std::vector<int32_t> vistos;
    std::chrono::milliseconds pausa{0};
};

TEST_F(ConfirmacionTest, EveryNRecordsAndAtTheEnd) {
    datos->SetConfirmarCada(3);
    ASSERT_TRUE(datos->TraspasoAgentes());
    EXPECT_EQ(vistos, (std::vector<int32_t>{0, 0, 3, 3, 3, 6, 7}));
}

TEST_F(ConfirmacionTest, SoonerWhenTheOldestRecordNotCommittedHasWaitedItsTime) {
    datos->SetConfirmarCada(1000, std::chrono::milliseconds(250));
    pausa = std::chrono::milliseconds(300);
    ASSERT_TRUE(datos->TraspasoAgentes());
    // Each record comes more than the bound after the one before: the second of every pair
    // finds the first waiting too long, and both are committed.
    EXPECT_EQ(vistos, (std::vector<int32_t>{0, 2, 2, 4, 4, 6, 7}));
}

TEST_F(ConfirmacionTest, OneByOneByDefault) {
    ASSERT_TRUE(datos->TraspasoAgentes());
    EXPECT_EQ(vistos, (std::vector<int32_t>{1, 2, 3, 4, 5, 6, 7}));
    EXPECT_THROW_MSG(datos->SetConfirmarCada(0), Error, "0 registros");
}

} // namespace
