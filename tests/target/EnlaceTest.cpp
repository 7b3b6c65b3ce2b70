// Where a database is, and a connection that cannot trust what it reaches: a server that never
// answers, the file swapped under it, a name that is not UTF-8, another program holding it.
#include "Comprobar.h"
#include "Error.h"
#include "FbError.h"
#include "Hijo.h"
#include "IBSQL.h"
#include "RutaBase.h"
#include "TargetConnection.h"
#include "TempDir.h"
#include "TestDatabase.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

TEST(RutaBaseTest, FileOrServerAndWhetherOnThisMachine) {
    struct Caso {
        const char* nombre;
        const char* servidor;
        const char* fichero;
        bool aqui;
    };
    char propio[256] = {};
    gethostname(propio, sizeof propio - 1);
    const std::string maquina = std::string(propio) + ":/b/c.fdb";
    for (const Caso& c : std::initializer_list<Caso>{
             {"/datos/orvalia.fdb", "", "/datos/orvalia.fdb", true},
             {"orvalia.fdb", "", "orvalia.fdb", true},
             {"/datos/a:b.fdb", "", "/datos/a:b.fdb", true}, // a colon inside a path
             {"localhost:/datos/o.fdb", "localhost", "/datos/o.fdb", true},
             {"LocalHost/3051:/datos/o.fdb", "LocalHost/3051", "/datos/o.fdb", true},
             {"127.0.0.1/3050:/d/o.fdb", "127.0.0.1/3050", "/d/o.fdb", true},
             {"[::1]/3050:/d/o.fdb", "[::1]/3050", "/d/o.fdb", true},
             {"servidor:/datos/o.fdb", "servidor", "/datos/o.fdb", false},
             {"10.0.0.7/3050:C:\\datos\\o.fdb", "10.0.0.7/3050", "C:\\datos\\o.fdb", false},
             {"inet://localhost//d/o.fdb", "localhost", "/d/o.fdb", true},
             {"inet://otro:3050/empresa", "otro", "empresa", false},
             {maquina.c_str(), propio, "/b/c.fdb", true},
         }) {
        RutaBase r = AnalizarRuta(c.nombre);
        EXPECT_EQ(r.servidor, c.servidor) << c.nombre;
        EXPECT_EQ(r.fichero, c.fichero) << c.nombre;
        EXPECT_EQ(r.EnEstaMaquina(), c.aqui) << c.nombre;
    }
}

// A socket on loopback that completes every connection and never says a word.
class Mudo {
public:
    Mudo() {
        fd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t n = sizeof a;
        EXPECT_EQ(bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
        EXPECT_EQ(listen(fd_, 8), 0);
        getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &n);
        puerto_ = ntohs(a.sin_port);
    }
    ~Mudo() { close(fd_); }
    std::string Ruta() const { return "127.0.0.1/" + std::to_string(puerto_) + ":/d/o.fdb"; }

private:
    int fd_ = -1;
    int puerto_ = 0;
};

double Segundos(std::chrono::steady_clock::time_point desde) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - desde).count();
}

TEST(EnlaceTest, AnAttachToASilentServerEndsAtTheConnectTimeoutAndSaysSo) {
    Mudo mudo;
    IBDatabase db;
    EXPECT_EQ(db.EsperaConexion(), IBDatabase::kEsperaConexion);
    db.SetEsperaConexion(1);
    db.SetDatabaseName(mudo.Ruta());
    auto inicio = std::chrono::steady_clock::now();
    auto e = Captura<FbError>([&] { db.Open(); });
    double s = Segundos(inicio);
    ASSERT_TRUE(e.has_value());
    EXPECT_GE(s, 0.9);
    EXPECT_LT(s, 5.0);
    EXPECT_EQ(std::string(e->what()).rfind("El servidor de la base de datos no ha respondido en 1 "
                                           "segundo. No se ha podido conectar con " +
                                               mudo.Ruta(),
                                           0),
              0u)
        << e->what();
    EXPECT_FALSE(db.Connected());
    EXPECT_THROW(db.SetEsperaConexion(0), Error);
}

TEST(EnlaceTest, CuttingAnAttachInProgressEndsItAtOnce) {
    Mudo mudo;
    IBDatabase db;
    db.SetDatabaseName(mudo.Ruta()); // the full connect timeout: only the cut ends it soon
    std::atomic<bool> cortada{false};
    std::thread otro([&] {
        while (!db.Conectando())
            std::this_thread::sleep_for(1ms); // polling a condition the attach raises at once
        std::this_thread::sleep_for(300ms);
        cortada = db.Cortar();
    });
    auto inicio = std::chrono::steady_clock::now();
    auto e = Captura<FbError>([&] { db.Open(); });
    double s = Segundos(inicio);
    otro.join();
    EXPECT_TRUE(cortada);
    ASSERT_TRUE(e.has_value());
    EXPECT_LT(s, 3.0);
    EXPECT_NE(std::string(e->what()).find("Se ha dejado de esperar al servidor"), std::string::npos)
        << e->what();
    EXPECT_FALSE(db.Connected());
    EXPECT_FALSE(db.Cortada()) << "nothing is left to let go";
}

class FicheroTest : public ::testing::Test {
protected:
    void SetUp() override { CreateFixtureDatabase(path); }
    TempDir dir;
    std::string path = dir.File("orvalia.fdb");
};

TEST_F(FicheroTest, AFileDeletedOrReplacedUnderTheConnectionIsTold) {
    {
        Target t(path);
        t.Begin();
        EXPECT_NO_THROW(t.db.ComprobarFichero());
        EXPECT_FALSE(t.db.Cortar()) << "a database in process has no link to cut";
        // A copy put in its place, as `mv` or an unpacked backup does.
        CreateFixtureDatabase(dir.File("otra.fdb"));
        fs::rename(dir.File("otra.fdb"), path);
        auto e = Captura<Error>([&] { t.db.ComprobarFichero(); });
        ASSERT_TRUE(e.has_value());
        EXPECT_NE(std::string(e->what()).find("La base de datos " + path +
                                              " se ha sustituido por otro fichero"),
                  std::string::npos)
            << e->what();
    }
    {
        Target t(path);
        t.Begin();
        fs::remove(path);
        auto e = Captura<Error>([&] { t.db.ComprobarFichero(); });
        ASSERT_TRUE(e.has_value());
        EXPECT_NE(std::string(e->what()).find("se ha borrado"), std::string::npos) << e->what();
    }
}

TEST_F(FicheroTest, ANameThatIsNotUtf8OpensTheFileItNames) {
    const std::string latin1 = dir.File("\xD1o\xF1o.fdb"); // "Ñoño" in Latin-1
    fs::rename(path, latin1);
    {
        Target t(latin1);
        t.Begin();
        IBSQL s(t.db, t.tr);
        s.SetText("update MONEDAS set NOMBRE = 'LATIN1' where IDMONEDAS = 1");
        s.ExecQuery();
        t.tr.Commit();
        EXPECT_NO_THROW(t.db.ComprobarFichero());
        t.db.Close();
    }
    std::vector<std::string> ficheros;
    for (const auto& e : fs::directory_iterator(dir.Path()))
        ficheros.push_back(e.path().filename().string());
    EXPECT_EQ(ficheros, std::vector<std::string>{"\xD1o\xF1o.fdb"})
        << "no second name left beside it";
    fs::rename(latin1, path);
    Target t(path);
    EXPECT_EQ(t.Count("select count(*) as N from MONEDAS where NOMBRE = 'LATIN1'"), 1);
}

TEST_F(FicheroTest, ADatabaseAnotherProgramHoldsInProcessIsSaidAsSuch) {
    Target t(path);
    t.Begin(); // this process's engine holds the file now
    Hijo h = EjecutarConPlazo({FB_CHILD, "abrir", path}, {}, 60s);
    ASSERT_TRUE(h.terminado) << h.salida;
    EXPECT_EQ(h.estado, 1) << h.salida;
    EXPECT_NE(h.salida.find("la base de datos está abierta por otro programa"), std::string::npos)
        << h.salida;
    EXPECT_EQ(h.salida.find("que falte permiso"), std::string::npos)
        << "not a missing file, a permission or a full disk\n"
        << h.salida;
}

} // namespace
