// Closing: destructors that never commit, and a connection lost under the closing commit.
#include "Comprobar.h"
#include "FallaRed.h"
#include "FbError.h"
#include "IBQuery.h"
#include "TargetConnection.h"
#include "TempDir.h"
#include "TestDatabase.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace {

class ConnectionCloseTest : public ::testing::Test {
protected:
    void SetUp() override { CreateFixtureDatabase(path); }
    static void Insertar(Target& t, int id) {
        IBSQL ins(t.db, t.tr);
        ins.SetText("insert into TARIFAS (IDTARIFAS, CODIGO) values (" + std::to_string(id) +
                    ", 'X')");
        ins.ExecQuery();
    }
    int Filas(int id) {
        Target t(path);
        return t.Count("select count(*) as N from TARIFAS where IDTARIFAS = " + std::to_string(id));
    }
    TempDir dir;
    std::string path = dir.File("orvalia.fdb");
};

TEST_F(ConnectionCloseTest, DestructorsRollBackAndNeverCommit) {
    int commits = 0, rollbacks = 0;
    {
        // Unwinding from an error, as a transfer that fails half-way does.
        try {
            Target t(path);
            t.db.Api().commit = [&](ISC_STATUS* st, isc_tr_handle* tr) {
                ++commits;
                return isc_commit_transaction(st, tr);
            };
            t.db.Api().rollback = [&](ISC_STATUS* st, isc_tr_handle* tr) {
                ++rollbacks;
                return isc_rollback_transaction(st, tr);
            };
            t.Begin();
            Insertar(t, 701);
            throw std::runtime_error("a record failed");
        } catch (const std::runtime_error&) {
        }
    }
    EXPECT_EQ(commits, 0);
    EXPECT_EQ(rollbacks, 1);
    EXPECT_EQ(Filas(701), 0);

    // A transaction that goes before its connection stops being its default one.
    Target t(path);
    {
        IBTransaction corta(t.db);
        t.db.SetDefaultTransaction(&corta);
        t.db.Open();
        corta.StartTransaction();
        IBSQL ins(t.db, corta);
        ins.SetText("insert into TARIFAS (IDTARIFAS, CODIGO) values (703, 'X')");
        ins.ExecQuery();
    }
    EXPECT_EQ(t.db.DefaultTransaction(), nullptr);
    t.db.Close(); // nothing left to commit, and no transaction that is gone
    EXPECT_EQ(Filas(703), 0);
}

TEST_F(ConnectionCloseTest, AQueryThatStartedTheTransactionDoesNotCommitItWhenDestroyed) {
    Target t(path);
    Target otro(path);
    try {
        IBQuery q(t.db, t.tr);
        q.SetText({"select IDMONEDAS from MONEDAS"});
        q.Open(); // connects and starts the shared transaction by itself
        Insertar(t, 706);
        throw std::runtime_error("a record failed");
    } catch (const std::runtime_error&) {
    }
    EXPECT_TRUE(t.tr.InTransaction());
    EXPECT_EQ(otro.Count("select count(*) as N from TARIFAS where IDTARIFAS = 706"), 0);
    t.tr.Rollback();
}

TEST_F(ConnectionCloseTest, LostConnectionAtCloseIsOneError) {
    Target t(path);
    t.Begin();
    Insertar(t, 704);
    int detaches = 0;
    // The link goes down under the commit: the engine drops the transaction with it.
    t.db.Api().commit = [](ISC_STATUS* st, isc_tr_handle* tr) {
        isc_rollback_transaction(st, tr);
        return FallaRed(st);
    };
    t.db.Api().detach = [&](ISC_STATUS* st, isc_db_handle* h) {
        ++detaches;
        isc_detach_database(st, h);
        return FallaRed(st); // and the detach complains about the link as well
    };
    {
        auto e = Captura<FbError>([&] { t.db.Close(); });
        ASSERT_TRUE(e.has_value()) << "the commit failed";
        EXPECT_TRUE(e->ConexionPerdida());
        EXPECT_EQ(e->Operacion(), "confirmar la transacción en " + path) << "the commit's error";
        EXPECT_EQ(std::string(e->what()).rfind("Se ha perdido la conexión con la base de datos. "
                                               "No se ha podido confirmar la transacción en " +
                                                   path + ".\n",
                                               0),
                  0u)
            << e->what();
    }
    EXPECT_EQ(detaches, 1);
    EXPECT_FALSE(t.db.Connected());
    EXPECT_FALSE(t.tr.InTransaction());
    EXPECT_NO_THROW(t.db.Close()) << "closing again has nothing left to report";
    EXPECT_EQ(Filas(704), 0);
}

TEST_F(ConnectionCloseTest, OtherCommitFailureAtCloseKeepsTheTransaction) {
    Target t(path);
    t.Begin();
    Insertar(t, 705);
    t.db.Api().commit = [](ISC_STATUS* st, isc_tr_handle*) {
        st[0] = isc_arg_gds;
        st[1] = isc_deadlock;
        st[2] = isc_arg_end;
        return st[1];
    };
    EXPECT_THROW(t.db.Close(), FbError);
    EXPECT_TRUE(t.db.Connected()) << "the connection is fine: the caller decides";
    EXPECT_TRUE(t.tr.InTransaction());
    t.db.Api().commit = isc_commit_transaction;
    t.db.Close();
    EXPECT_EQ(Filas(705), 1);
}

} // namespace
