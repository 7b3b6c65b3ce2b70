#pragma once
// The connection to the target database (IBDatabase1).
#include "Enlace.h"
#include "FbApi.h"

#include <ibase.h>

#include <atomic>
#include <string>
#include <sys/types.h>

class IBTransaction;

class IBDatabase {
public:
    IBDatabase() = default;
    IBDatabase(const IBDatabase&) = delete;
    IBDatabase& operator=(const IBDatabase&) = delete;
    // Rolls back an active default transaction and detaches, never commits: it may run while
    // unwinding from an error. Never throws.
    ~IBDatabase();

    const std::string& DatabaseName() const { return nombre_; }
    // The same name again does nothing; another name while connected is refused.
    void SetDatabaseName(const std::string& nombre);

    bool Connected() const { return handle_ != 0; }
    // Attaches with the credentials set (SYSDBA by default); "Database name is missing" when the
    // name is empty. A name that is valid UTF-8 is taken as UTF-8 whatever the process's locale;
    // one that is not is passed as the bytes it is (see Open in the .cpp). A server that does not
    // answer within EsperaConexion() seconds fails the attach, saying so.
    void Open();
    // Commits the default transaction if active, then detaches. When that commit fails because
    // the connection is gone, the transaction is forgotten, the connection let go and that one
    // error thrown. A connection that was cut is let go without a call, and an Error says so.
    void Close();

    // The user and password of the next attaches.
    void SetCredenciales(const std::string& usuario, const std::string& clave);
    const std::string& Usuario() const { return usuario_; }

    // Seconds an attach waits for a server to answer (Firebird's connect timeout); from 1.
    static constexpr int kEsperaConexion = 20;
    void SetEsperaConexion(int segundos);
    int EsperaConexion() const { return esperaConexion_; }

    // Gives up on a server that does not answer: the call waiting on it (an attach included)
    // fails at once with a lost link, and every later one too; the connection is then let go
    // without a word to the library (see Abandonar). Safe from another thread; a connection in
    // process has no link to cut (false). The program that cut a connection must end with
    // _exit: the client library's clean-up at exit waits on it.
    bool Cortar() noexcept;
    bool Cortada() const { return cortada_; }
    // Whether an attach is in progress (in another thread's view).
    bool Conectando() const { return conectando_; }

    // The file attached, when it is on this machine: whether the database's path still names it.
    // Throws an Error when the file was deleted or another put in its place since the attach
    // (the engine goes on writing the old one, which no path reaches: nothing written is kept).
    void ComprobarFichero() const;

    // Asks the server something trivial: throws the FbError of a connection that no longer works
    // (the link lost, the database shut down), to tell such a failure from the odd error the
    // statement that met it may have given.
    void Comprobar();

    // Lets go of a connection that the server has shut or lost, without a word to the library:
    // after a shutdown, a commit or a detach on it can wait for an answer that never comes. Its
    // transaction is forgotten; the server undid or will undo what was not committed.
    void Abandonar() noexcept;
    // Whether this process let any connection go so: the library's own clean-up at exit then
    // waits on it or crashes, and the program must end with _exit once its output is flushed.
    static bool HayAbandonadas();

    // Interrupts what this connection is doing or waiting for in another thread (a lock wait,
    // a long statement): that call fails with an FbError whose Cancelada() is true. Safe from a
    // signal handler or another thread; does nothing when not connected.
    void CancelarOperacion() noexcept;
    // The same from a thread of its own, which may wait for a server that does not answer while
    // the caller goes on; it holds a copy of the handle, never this object.
    void CancelarEnSegundoPlano() noexcept;

    void SetDefaultTransaction(IBTransaction* tr) { transaccion_ = tr; }
    IBTransaction* DefaultTransaction() const { return transaccion_; }
    isc_db_handle* Handle() { return &handle_; }
    // The client-library calls this connection, its transaction and its statements make.
    FbApi& Api() { return api_; }

    // How many attaches this object has made; a reused connection does not count again.
    int AttachCount() const { return attaches_; }
    // Changes at every attach and detach, so that statements know their handles went stale.
    unsigned Generation() const { return generacion_; }

    static constexpr unsigned short kDialect = 1;
    static constexpr const char* kUserName = "SYSDBA";
    static constexpr const char* kPassword = "quietlamp";

private:
    void Detach(); // lets the connection go; the library's complaint, if any, is thrown after
    void Attach(const std::string& nombre, bool utf8);
    void RecordarFichero();

    FbApi api_;
    std::string nombre_;
    std::string usuario_ = kUserName, clave_ = kPassword;
    int esperaConexion_ = kEsperaConexion;
    Enlace enlace_;
    std::atomic<bool> cortada_{false};
    std::atomic<bool> conectando_{false};
    // The attached file's identity (device and inode) and path, when it is on this machine.
    std::string fichero_;
    dev_t dispositivo_ = 0;
    ino_t inodo_ = 0;
    isc_db_handle handle_ = 0;
    // The handle as another thread or a signal handler may read it while this one works.
    std::atomic<isc_db_handle> cancelable_{0};
    IBTransaction* transaccion_ = nullptr;
    int attaches_ = 0;
    unsigned generacion_ = 0;
};
