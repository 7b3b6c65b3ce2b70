#pragma once
// What the fault tests share: the Firebird server they go through, fast temporary folders,
// source tables of many agents, the batch program, the Firebird tools, and a connection that
// holds a row as another user of the database would.
#include "IBDatabase.h"
#include "IBSQL.h"
#include "IBTransaction.h"
#include "Proceso.h"
#include "TargetReader.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <memory>
#include <set>
#include <string>
#include <sys/types.h>
#include <thread>
#include <vector>

using namespace std::chrono_literals;

// A temporary folder for one test, on a memory file system when the machine has one: with
// forced writes on, each record's commit is a few synchronous page writes, which a disk makes
// a hundred times slower, and these tests are about faults, not disks.
class Carpeta {
public:
    Carpeta();
    ~Carpeta();
    Carpeta(const Carpeta&) = delete;
    Carpeta& operator=(const Carpeta&) = delete;
    const std::string& Ruta() const { return ruta_; }
    std::string Fichero(const std::string& nombre) const { return ruta_ + "/" + nombre; }

private:
    std::string ruta_;
};

// A small memory file system of its own, mounted for one test (root with CAP_SYS_ADMIN only;
// Montado() says whether it could be).
class DiscoPequeno {
public:
    DiscoPequeno(const std::string& ruta, std::uintmax_t bytes);
    ~DiscoPequeno();
    DiscoPequeno(const DiscoPequeno&) = delete;
    DiscoPequeno& operator=(const DiscoPequeno&) = delete;
    bool Montado() const { return montado_; }
    const std::string& Error() const { return error_; }

private:
    std::string ruta_;
    bool montado_ = false;
    std::string error_;
};

// A Firebird 3 server on loopback with its own port, configuration, security database and lock
// folder (tests/fallos/servidor makes them).
class Servidor {
public:
    // The one the suite's ctest fixture started.
    static Servidor& Comun();
    // One of the test's own in `carpeta`, for tests that kill it; it dies with the test process
    // and is stopped when the object goes.
    static std::unique_ptr<Servidor> Propio(const std::string& carpeta);
    ~Servidor();

    std::string Ruta(const std::string& fichero) const; // localhost/PORT:fichero
    int Puerto() const { return puerto_; }
    pid_t Pid() const { return pid_; }
    // SIGKILL, as a crash or the OOM killer does; returns once the process is gone.
    void Matar();
    // SIGSTOP and SIGCONT: a server that stops answering, its connections open, and comes back.
    void Congelar();
    void Descongelar();
    // Starts it again (a server of the test's own), on the same port when it is free.
    void Arrancar();

private:
    Servidor(std::string carpeta, bool propio) : carpeta_(std::move(carpeta)), propio_(propio) {}
    std::string carpeta_;
    bool propio_;
    int puerto_ = 0;
    pid_t pid_ = -1;
};

// A socket on loopback that accepts every connection and never answers: a server hung, or
// something else listening on Firebird's port. Stops with the object.
class Mudo {
public:
    Mudo();
    ~Mudo();
    Mudo(const Mudo&) = delete;
    Mudo& operator=(const Mudo&) = delete;
    int Puerto() const { return puerto_; }
    std::string Ruta(const std::string& fichero) const; // 127.0.0.1/PORT:fichero
    int Aceptadas() const { return aceptadas_; }

private:
    int fd_ = -1;
    int puerto_ = 0;
    std::atomic<int> aceptadas_{0};
    std::atomic<bool> fin_{false};
    std::vector<int> conexiones_;
    std::thread hilo_;
};

// Source tables: `n` agents whose codes follow the record order (Codigo(0) is record 1), each
// named "<nombre> <code>".
std::string Codigo(std::size_t i);
void EscribirAgentes(const std::string& carpeta, std::size_t n, const std::string& nombre);
// `n` clients, each with its bank name "<banco> <code>" (it goes to the collection address).
std::string CodigoCliente(std::size_t i);
void EscribirClientes(const std::string& carpeta, std::size_t n, const std::string& nombre,
                      const std::string& banco);

// `n` articles of one family, with the side tables they are read with (empty).
void EscribirArticulos(const std::string& carpeta, std::size_t n);

// The batch program on `origen` and `destino`, with more arguments after the transfers.
Proceso::Opciones Lote(const std::string& origen, const std::string& destino,
                       const std::string& traspaso = "agentes", bool barra = false);
// Runs it to its end (at most `plazo`).
Fin Ejecutar(const Proceso::Opciones& o, Plazo plazo = 120s);

// A Firebird tool with SYSDBA's password; its output, both streams.
struct Herramienta {
    int estado = -1;
    std::string texto;
};
Herramienta Gfix(const std::string& argumentos, const std::string& base);
// `gfix -v -full`, retried while the server still holds a connection that just died; its
// output: empty when the database is sound.
std::string Validar(const std::string& base);

// The errors of a validation's text, without the warnings of pages that a server killed in the
// middle of its work leaves allocated and unreferenced (orphan pages, index pages whose parent
// entry it never wrote, data pages its pointer page does not list yet): space the engine's
// careful writes let it lose, no data. "" when none.
std::string SinPaginasHuerfanas(const std::string& validacion);

// The transaction numbers in a database file's header page, read with fbstat -h (a plain path,
// no process holding it). A program that commits and detaches leaves the oldest active one
// just below the next and the oldest interesting one just below that; one that dies leaves
// the numbers its connection found when it attached.
struct Cabecera {
    long interesante = -1, activa = -1, siguiente = -1;
    std::string texto;
};
Cabecera LeerCabecera(const std::string& fichero);

// The agents as rows of text, every column but the identifier and the date of the run, in
// code order: what two runs that converge have in common.
std::vector<std::string> Agentes(const std::string& base);
std::set<std::string> CodigosAgentes(const std::string& base);
int Contar(const std::string& base, const std::string& sql); // the first column of one row

// Another user of the database: a connection of its own that runs `sql` in a transaction and
// keeps it open, holding whatever rows it changed, until Soltar or its end (a rollback).
class OtroUsuario {
public:
    OtroUsuario(const std::string& base, const std::string& sql);
    ~OtroUsuario();
    void Soltar();

private:
    IBDatabase db_;
    IBTransaction tr_{db_};
    std::unique_ptr<IBSQL> q_;
};

// Whether process `pid` has had a statement running on `base` for `desdeMs` milliseconds or more
// whose text begins with `inicio`: the way to know that it waits for a row another user holds.
bool SentenciaEnCurso(const std::string& base, pid_t pid, const std::string& inicio,
                      int desdeMs = 0);

// A number that follows `antes` in `texto`, or -1.
long NumeroTras(const std::string& texto, const std::string& antes);
// The records an error says were committed before it stopped ("...; hasta él, N registros
// confirmados"), or -1.
long ConfirmadosSegunElError(const std::string& texto);

// A folder of source tables and fresh target databases under one temporary folder, through
// the suite's server.
class Fallo : public ::testing::Test {
protected:
    static constexpr std::size_t kAgentes = 3000;
    void SetUp() override { std::filesystem::create_directory(origen); }
    // A new target database copied from the fixture; its file path.
    std::string Base(const std::string& nombre);
    // The same, as the server names it.
    std::string Remota(const std::string& nombre) { return servidor().Ruta(Base(nombre)); }
    virtual Servidor& servidor() { return Servidor::Comun(); }
    // A clean run of `kAgentes` agents on a database of its own: what every rerun must give.
    std::vector<std::string> Referencia(const std::string& nombre);

    Carpeta dir;
    std::string origen = dir.Fichero("FacturaPlus");
};
