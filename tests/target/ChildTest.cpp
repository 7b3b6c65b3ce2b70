// What only a process of its own can show: the locale it runs under, a signal it gets.
#include "Hijo.h"
#include "TargetConnection.h"
#include "TempDir.h"
#include "TestDatabase.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

using namespace std::chrono_literals;

TEST(ConnectionChildTest, AccentedDatabasePathUnderAnyLocale) {
    TempDir dir;
    std::filesystem::create_directory(dir.Path() / "Año 2024");
    std::string path = dir.File("Año 2024/Ñoño.fdb");
    CreateFixtureDatabase(path);
    for (const char* locale : {"C", "C.UTF-8"}) {
        Hijo h =
            EjecutarConPlazo({FB_CHILD, "abrir", path}, {std::string("LC_ALL=") + locale}, 60s);
        EXPECT_TRUE(h.terminado) << locale << ": " << h.salida;
        EXPECT_EQ(h.estado, 0) << locale << ": " << h.salida;
        EXPECT_NE(h.salida.find("conectada 2"), std::string::npos) << locale << ": " << h.salida;
    }
}

// A signal that interrupts a blocking call leaves EINTR in errno; the client library then spun
// for ever in the detach. The shutdown it would start on the signal is refused, so the
// connection keeps working after it.
TEST(ConnectionChildTest, SignalDuringAWaitThenCommitAndClose) {
    for (const char* senal : {"TERM", "INT"}) {
        TempDir dir;
        std::string path = dir.File("orvalia.fdb");
        CreateFixtureDatabase(path);
        Hijo h = EjecutarConPlazo({FB_CHILD, "senal", path, senal}, {}, 20s);
        ASSERT_TRUE(h.terminado) << senal << ": did not end, killed; it said: " << h.salida;
        EXPECT_EQ(h.estado, 0) << senal << ": " << h.salida;
        EXPECT_NE(h.salida.find("senal 1\n"), std::string::npos) << senal << ": " << h.salida;
        EXPECT_NE(h.salida.find("cerrada\n"), std::string::npos) << senal << ": " << h.salida;
        Target t(path);
        EXPECT_EQ(t.Count("select count(*) as N from MONEDAS where NOMBRE in ('ANTES', 'DESPUES')"),
                  2)
            << "both updates committed, the one after the signal too";
    }
}

} // namespace
