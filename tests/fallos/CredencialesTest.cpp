// The user and password of a server target, from ISC_USER and ISC_PASSWORD as Firebird's own
// tools take them.
#include "Apoyo.h"

#include <cstdio>

namespace {

class Credenciales : public Fallo {
protected:
    Servidor& servidor() override { return *propio_; }
    void SetUp() override {
        Fallo::SetUp();
        propio_ = Servidor::Propio(carpetaServidor_.Ruta());
    }
    Carpeta carpetaServidor_;
    std::unique_ptr<Servidor> propio_;
};

TEST_F(Credenciales, TheBatchProgramTakesTheUserAndPasswordFromTheEnvironment) {
    std::string base = Remota("orvalia.fdb");
    EscribirAgentes(origen, 5, "Agente");
    // A user of this server's own, with no rights on the database.
    std::string sql = carpetaServidor_.Fichero("usuario.sql");
    {
        std::FILE* f = std::fopen(sql.c_str(), "w");
        std::fputs("create user PRUEBA password 'otra';\ncommit;\n", f);
        std::fclose(f);
    }
    std::string orden = "isql-fb -q -user SYSDBA -password quietlamp -i '" + sql + "' '" +
                        servidor().Ruta(carpetaServidor_.Ruta() + "/security3.fdb") +
                        "' >/dev/null 2>&1";
    ASSERT_EQ(std::system(orden.c_str()), 0);

    Proceso::Opciones o = Lote(origen, base);
    o.poner = {"ISC_USER=SYSDBA", "ISC_PASSWORD=mala"};
    Fin f = Ejecutar(o, 60s);
    EXPECT_EQ(f.estado, 2) << f.Todo();
    EXPECT_NE(f.err.find("La base de datos no admite el usuario o la contraseña"),
              std::string::npos)
        << f.Todo();

    o.poner = {"ISC_USER=PRUEBA", "ISC_PASSWORD=otra"};
    f = Ejecutar(o, 60s);
    EXPECT_EQ(f.estado, 2) << f.Todo();
    // Connected, as a user the tables do not know: not SYSDBA.
    EXPECT_NE(f.err.find("no permission for SELECT access to TABLE"), std::string::npos)
        << f.Todo();
    EXPECT_EQ(f.err.find("no admite el usuario"), std::string::npos) << f.Todo();

    o.poner = {"ISC_PASSWORD=quietlamp"}; // the user stays the fixed one
    o.quitar = {"ISC_USER"};
    f = Ejecutar(o, 60s);
    EXPECT_EQ(f.estado, 0) << f.Todo();
    EXPECT_EQ(Contar(base, "select count(*) from AGENTESVENTA"), 5);
}

} // namespace
