// Test helper: the things a test can only see in a process of its own.
//   fb_child BASE N              inserts N rows committing each retained, says "listo", then
//                                waits to be killed with one more row left uncommitted
//   fb_child abrir BASE          takes the locale from the environment, connects and says
//                                "conectada <currencies>"
//   fb_child senal BASE TERM|INT gets the signal while blocked in a system call, as the window
//                                does in its event loop, then works on, commits and closes,
//                                saying "senal <flag>" and "cerrada"
#include "IBDatabase.h"
#include "IBSQL.h"
#include "IBTransaction.h"
#include "Senales.h"

#include <clocale>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <string>
#include <unistd.h>

namespace {

volatile std::sig_atomic_t bandera = 0;

void AlRecibir(int) {
    bandera = 1;
}

struct Conexion {
    IBDatabase db;
    IBTransaction tr{db};
    explicit Conexion(const char* base) {
        db.SetDefaultTransaction(&tr);
        db.SetDatabaseName(base);
        db.Open();
        tr.StartTransaction();
    }
    void Ejecutar(const std::string& texto) {
        IBSQL s(db, tr);
        s.SetText(texto);
        s.ExecQuery();
    }
};

int Insertar(const char* base, int n) {
    Conexion c(base);
    IBSQL ins(c.db, c.tr);
    ins.SetText("insert into TARIFAS (IDTARIFAS, CODIGO) values (:ID, :CODIGO)");
    for (int i = 1; i <= n + 1; ++i) {
        ins.ParamByName("ID").SetAsInteger(100 + i);
        ins.ParamByName("CODIGO").SetAsString("K" + std::to_string(i));
        ins.ExecQuery();
        if (i <= n) c.tr.CommitRetaining();
    }
    std::printf("listo\n");
    std::fflush(stdout);
    for (;;)
        pause();
}

int Abrir(const char* base) {
    std::setlocale(LC_ALL, "");
    Conexion c(base);
    IBSQL q(c.db, c.tr);
    q.SetText("select count(*) as N from MONEDAS");
    q.ExecQuery();
    std::printf("conectada %d\n", q.FieldByName("N").AsInteger());
    q.Close();
    c.db.Close();
    return 0;
}

int Senal(const char* base, int senal) {
    // Blocked from the start, so that every thread the library makes blocks it too and the
    // signal can only arrive where this thread waits for it.
    sigset_t solo, anterior;
    sigemptyset(&solo);
    sigaddset(&solo, senal);
    sigprocmask(SIG_BLOCK, &solo, &anterior);
    std::signal(senal, AlRecibir);
    RechazarCierrePorSenal(&bandera);

    Conexion c(base);
    c.Ejecutar("update MONEDAS set NOMBRE = 'ANTES' where IDMONEDAS = 1");
    raise(senal);
    sigsuspend(&anterior); // returns with errno EINTR, as poll() does in an event loop
    std::printf("senal %d\n", static_cast<int>(bandera));
    std::fflush(stdout);
    c.Ejecutar("update MONEDAS set NOMBRE = 'DESPUES' where IDMONEDAS = 2");
    c.db.Close();
    std::printf("cerrada\n");
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    try {
        if (argc == 3 && std::strcmp(argv[1], "abrir") == 0) return Abrir(argv[2]);
        if (argc == 4 && std::strcmp(argv[1], "senal") == 0)
            return Senal(argv[2], std::strcmp(argv[3], "INT") == 0 ? SIGINT : SIGTERM);
        if (argc == 3) return Insertar(argv[1], std::atoi(argv[2]));
    } catch (const std::exception& e) {
        std::printf("error: %s\n", e.what());
        return 1;
    }
    return 2;
}
