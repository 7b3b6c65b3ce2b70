// Which failures are the whole database's and which a record's own, and what the operator reads
// first: status vectors built by hand for what a test cannot provoke, real ones where it can.
#include "Comprobar.h"
#include "FbError.h"
#include "TargetConnection.h"
#include "TempDir.h"
#include "TestDatabase.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <vector>

namespace {

ISC_STATUS Texto(const char* s) {
    return reinterpret_cast<ISC_STATUS>(s);
}

// What the error says of itself: AfectaALaBase, ConexionPerdida, FilaEnUso, Cancelada.
struct Clases {
    bool afecta, perdida, filaEnUso, cancelada;
    bool operator==(const Clases&) const = default;
};

struct Caso {
    const char* nombre;
    std::vector<ISC_STATUS> status;
    Clases clases;
    const char* primeraFrase; // before "No se ha podido ...", empty when there is none
};

const char* const kPerdida = "Se ha perdido la conexión con la base de datos.";
const char* const kEnUso = "La fila está en uso por otro usuario de la base de datos.";

const std::vector<Caso>& Casos() {
    static const std::vector<Caso> casos = {
        {"red",
         {isc_arg_gds, isc_network_error, isc_arg_string, Texto("servidor"), isc_arg_end},
         {true, true, false, false},
         kPerdida},
        {"lectura de red",
         {isc_arg_gds, isc_network_error, isc_arg_string, Texto("servidor"), isc_arg_gds,
          isc_net_read_err, isc_arg_end},
         {true, true, false, false},
         kPerdida},
        {"conexión perdida",
         {isc_arg_gds, isc_lost_db_connection, isc_arg_end},
         {true, true, false, false},
         kPerdida},
        {"conexión cerrada",
         {isc_arg_gds, isc_att_shutdown, isc_arg_end},
         {true, true, false, false},
         "La conexión con la base de datos ha sido cerrada."},
        {"base cerrada",
         {isc_arg_gds, isc_shutdown, isc_arg_string, Texto("/b.fdb"), isc_arg_end},
         {true, true, false, false},
         "La base de datos está cerrada por su administrador."},
        {"disco lleno",
         {isc_arg_gds, isc_io_error, isc_arg_string, Texto("write"), isc_arg_string,
          Texto("/b.fdb"), isc_arg_gds, isc_io_write_err, isc_arg_unix, ENOSPC, isc_arg_end},
         {true, false, false, false},
         "No se puede leer o escribir el fichero de la base de datos (puede que no exista, que "
         "falte permiso o que el disco esté lleno)."},
        {"solo lectura",
         {isc_arg_gds, isc_read_only_database, isc_arg_end},
         {true, false, false, false},
         "La base de datos es de solo lectura."},
        {"cancelada",
         {isc_arg_gds, isc_cancelled, isc_arg_end},
         {true, false, false, true},
         "Operación cancelada por el usuario."},
        {"truncado",
         {isc_arg_gds, isc_arith_except, isc_arg_gds, isc_string_truncation, isc_arg_end},
         {false, false, false, false},
         ""},
        {"bloqueo",
         {isc_arg_gds, isc_lock_conflict, isc_arg_end},
         {false, false, true, false},
         kEnUso},
        {"espera agotada",
         {isc_arg_gds, isc_lock_timeout, isc_arg_end},
         {false, false, true, false},
         kEnUso},
        {"abrazo mortal",
         {isc_arg_gds, isc_deadlock, isc_arg_gds, isc_update_conflict, isc_arg_gds,
          isc_concurrent_transaction, isc_arg_number, 45, isc_arg_end},
         {false, false, true, false},
         kEnUso},
    };
    return casos;
}

TEST(FbErrorTest, KindsOfFailureAndTheirFirstSentence) {
    for (const Caso& c : Casos()) {
        SCOPED_TRACE(c.nombre);
        std::vector<ISC_STATUS> st = c.status;
        try {
            CheckStatus(st.data(), "ejecutar «X»");
            ADD_FAILURE() << "an error status must throw";
        } catch (const FbError& e) {
            Clases dichas{e.AfectaALaBase(), e.ConexionPerdida(), e.FilaEnUso(), e.Cancelada()};
            EXPECT_TRUE(dichas == c.clases);
            EXPECT_EQ(e.GdsCode(), c.status[1]);
            EXPECT_EQ(e.Operacion(), "ejecutar «X»");
            std::string m = e.what();
            std::string primera = std::string(c.primeraFrase) + (*c.primeraFrase ? " " : "") +
                                  "No se ha podido ejecutar «X».";
            EXPECT_EQ(m.substr(0, m.find('\n')), primera);
            EXPECT_GT(m.size(), primera.size() + 1) << "the engine's words follow: " << m;
        }
    }
    ISC_STATUS bien[] = {isc_arg_gds, 0, isc_arg_end};
    EXPECT_NO_THROW(CheckStatus(bien, "ejecutar «X»"));
}

class ConnectionErrorTest : public ::testing::Test {
protected:
    void SetUp() override { CreateFixtureDatabase(path); }
    void Gfix(const std::string& opciones) {
        std::string orden = "gfix " + opciones + " -user SYSDBA '" + path + "' >/dev/null 2>&1";
        ASSERT_EQ(std::system(orden.c_str()), 0) << orden;
    }
    TempDir dir;
    std::string path = dir.File("orvalia.fdb");
};

TEST_F(ConnectionErrorTest, ReadOnlyDatabase) {
    Gfix("-mode read_only");
    Target t(path);
    {
        auto e = Captura<FbError>([&] {
            t.Begin();
            IBSQL upd(t.db, t.tr);
            upd.SetText("update MONEDAS set NOMBRE = 'X'");
            upd.ExecQuery();
        });
        ASSERT_TRUE(e.has_value()) << "a read-only database takes no update";
        EXPECT_TRUE(e->AfectaALaBase()) << e->what();
        EXPECT_FALSE(e->ConexionPerdida());
        EXPECT_EQ(std::string(e->what()).rfind("La base de datos es de solo lectura. ", 0), 0u)
            << e->what();
    }
}

TEST_F(ConnectionErrorTest, ShutDownDatabase) {
    Gfix("-shut full -force 0");
    Target t(path);
    {
        auto e = Captura<FbError>([&] { t.db.Open(); });
        ASSERT_TRUE(e.has_value()) << "a shut-down database takes no connection";
        EXPECT_EQ(e->GdsCode(), isc_shutdown) << e->what();
        EXPECT_TRUE(e->AfectaALaBase());
        EXPECT_TRUE(e->ConexionPerdida());
        EXPECT_EQ(std::string(e->what()).rfind("La base de datos está cerrada por su "
                                               "administrador. No se ha podido conectar con " +
                                                   path + ".\n",
                                               0),
                  0u)
            << e->what();
    }
}

TEST_F(ConnectionErrorTest, MissingFileIsTheDatabasesFailure) {
    Target t(dir.File("no-existe.fdb"));
    {
        auto e = Captura<FbError>([&] { t.db.Open(); });
        ASSERT_TRUE(e.has_value());
        EXPECT_TRUE(e->AfectaALaBase()) << e->what();
        EXPECT_FALSE(e->ConexionPerdida()) << "there never was a connection";
    }
}

TEST_F(ConnectionErrorTest, ARecordsOwnRefusalsLeaveTheDatabaseAlone) {
    Target t(path);
    t.Begin();
    const char* const sentencias[] = {
        "insert into TARIFAS (IDTARIFAS, CODIGO) values (600, 'DEMASIADO LARGO')",
        "insert into TARIFAS (IDTARIFAS, CODIGO) values ('cuarenta', 'A')",
        "insert into TARIFAS (IDTARIFAS, CODIGO) values (NULL, 'A')",
        "insert into TARIFAS (IDTARIFAS, CODIGO) values (1, 'A')", // the fixture's own tariff
    };
    for (const char* sql : sentencias) {
        SCOPED_TRACE(sql);
        IBSQL s(t.db, t.tr);
        s.SetText(sql);
        try {
            s.ExecQuery();
            ADD_FAILURE() << "refused by the engine";
        } catch (const FbError& e) {
            EXPECT_FALSE(e.AfectaALaBase()) << e.what();
            EXPECT_FALSE(e.FilaEnUso()) << e.what();
            EXPECT_EQ(
                std::string(e.what()).rfind(std::string("No se ha podido ejecutar «") + sql, 0), 0u)
                << e.what();
        }
    }
    t.tr.Commit(); // and the transaction goes on
}

} // namespace
