// Two connections of one process on one database file, as two users of the database: a row
// that one holds, what the other sees, and a wait the other cancels.
#include "Comprobar.h"
#include "FbError.h"
#include "TargetConnection.h"
#include "TempDir.h"
#include "TestDatabase.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <thread>

namespace {

class ConnectionLockTest : public ::testing::Test {
protected:
    void SetUp() override {
        CreateFixtureDatabase(path);
        a.Begin();
        b.Begin();
    }
    static void Exec(Target& t, const std::string& sql) {
        IBSQL s(t.db, t.tr);
        s.SetText(sql);
        s.ExecQuery();
    }
    TempDir dir;
    std::string path = dir.File("orvalia.fdb");
    Target a{path};
    Target b{path};
};

TEST_F(ConnectionLockTest, RowHeldByAnotherUserFailsAfterTheWaitThenSucceeds) {
    Exec(a, "update MONEDAS set NOMBRE = 'DE A' where IDMONEDAS = 1");
    b.tr.Commit();
    b.tr.SetLockTimeout(1);
    b.tr.StartTransaction();
    IBSQL upd(b.db, b.tr);
    upd.SetText("update MONEDAS set NOMBRE = 'DE B' where IDMONEDAS = 1");
    {
        auto e = Captura<FbError>([&] { upd.ExecQuery(); });
        ASSERT_TRUE(e.has_value()) << "the row is held by the other connection";
        std::string m = e->what();
        EXPECT_EQ(m.rfind("La fila está en uso por otro usuario de la base de datos. No se ha "
                          "podido ejecutar «update MONEDAS",
                          0),
                  0u)
            << m;
        EXPECT_EQ(m.substr(0, m.find('\n')).find("deadlock"), std::string::npos)
            << "the engine's own words follow, never in the first sentence: " << m;
        EXPECT_TRUE(e->HasGdsCode(isc_deadlock) || e->HasGdsCode(isc_lock_timeout)) << m;
        EXPECT_TRUE(e->FilaEnUso());
        EXPECT_FALSE(e->AfectaALaBase()) << "a later record may find its row free";
        EXPECT_FALSE(e->ConexionPerdida());
    }
    a.tr.Commit();
    upd.ExecQuery(); // the same statement, once the other user has committed
    b.tr.Commit();
    EXPECT_EQ(a.Count("select count(*) as N from MONEDAS where NOMBRE = 'DE B'"), 1);
}

TEST_F(ConnectionLockTest, EachStatementSeesWhatOthersCommitted) {
    const std::string cuenta = "select count(*) as N from TARIFAS where IDTARIFAS > 9000";
    EXPECT_EQ(b.Count(cuenta), 0);
    Exec(a, "insert into TARIFAS (IDTARIFAS, CODIGO) values (9001, 'A')");
    EXPECT_EQ(b.Count(cuenta), 0) << "not committed yet";
    a.tr.Commit();
    EXPECT_EQ(b.Count(cuenta), 1) << "the same transaction of b";
    b.tr.CommitRetaining();
    a.tr.StartTransaction();
    Exec(a, "insert into TARIFAS (IDTARIFAS, CODIGO) values (9002, 'B')");
    a.tr.CommitRetaining();
    EXPECT_EQ(b.Count(cuenta), 2) << "after a commit retaining";
}

TEST_F(ConnectionLockTest, LockTimeoutRange) {
    EXPECT_EQ(b.tr.LockTimeout(), IBTransaction::kLockTimeoutPorDefecto);
    EXPECT_EQ(IBTransaction::kLockTimeoutPorDefecto, 10);
    EXPECT_THROW(b.tr.SetLockTimeout(0), Error);
    EXPECT_THROW(b.tr.SetLockTimeout(-5), Error);
    EXPECT_THROW(b.tr.SetLockTimeout(IBTransaction::kLockTimeoutMaximo + 1), Error);
    b.tr.SetLockTimeout(IBTransaction::kLockTimeoutMaximo);
    EXPECT_EQ(b.tr.LockTimeout(), IBTransaction::kLockTimeoutMaximo);
}

// The blocked call runs in a thread; the test cancels until that call returns, within a bound
// far below the wait it was given, and lets the row go if the cancel never arrives.
TEST_F(ConnectionLockTest, CancelInterruptsAWaitFromAnotherThread) {
    Exec(a, "update MONEDAS set NOMBRE = 'DE A' where IDMONEDAS = 2");
    b.tr.Commit();
    b.tr.SetLockTimeout(30);
    b.tr.StartTransaction();
    IBSQL upd(b.db, b.tr);
    upd.SetText("update MONEDAS set NOMBRE = 'DE B' where IDMONEDAS = :ID");
    upd.ParamByName("ID").SetAsInteger(2);

    std::mutex m;
    std::condition_variable cv;
    bool acabada = false;
    std::optional<FbError> error;
    std::thread hilo([&] {
        try {
            upd.ExecQuery();
        } catch (const FbError& e) {
            error = e;
        }
        std::lock_guard<std::mutex> l(m);
        acabada = true;
        cv.notify_one();
    });
    const auto limite = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    {
        std::unique_lock<std::mutex> l(m);
        while (!acabada && std::chrono::steady_clock::now() < limite) {
            b.db.CancelarOperacion();
            cv.wait_for(l, std::chrono::milliseconds(50), [&] { return acabada; });
        }
    }
    bool cancelada = acabada;
    if (!cancelada) a.tr.Rollback(); // frees the row, so that the thread can end
    hilo.join();
    ASSERT_TRUE(cancelada) << "the wait went on after being cancelled";
    ASSERT_TRUE(error.has_value()) << "the update went through";
    EXPECT_TRUE(error->Cancelada());
    EXPECT_TRUE(error->AfectaALaBase()) << "no later record gets past a cancel";
    EXPECT_EQ(std::string(error->what()).rfind("Operación cancelada por el usuario.", 0), 0u)
        << error->what();

    // A cancel sent after the call had ended still waits for the next one; clear it.
    ISC_STATUS_ARRAY st;
    fb_cancel_operation(st, b.db.Handle(), fb_cancel_disable);
    fb_cancel_operation(st, b.db.Handle(), fb_cancel_enable);
    b.tr.Rollback();
    a.tr.Commit();
    EXPECT_EQ(b.Count("select count(*) as N from MONEDAS where NOMBRE = 'DE A'"), 1);
}

TEST(ConnectionCancelTest, CancelWithoutConnectionDoesNothing) {
    IBDatabase db;
    db.CancelarOperacion();
    EXPECT_FALSE(db.Connected());
}

} // namespace
