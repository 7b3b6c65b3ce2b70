#pragma once
// The connection to the target database (IBDatabase1).
#include "FbApi.h"

#include <ibase.h>

#include <atomic>
#include <string>

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
    // Attaches as SYSDBA; "Database name is missing" when the name is empty. The name is UTF-8,
    // whatever the process's locale.
    void Open();
    // Commits the default transaction if active, then detaches. When that commit fails because
    // the connection is gone, the transaction is forgotten, the connection let go and that one
    // error thrown.
    void Close();

    // Asks the server something trivial: throws the FbError of a connection that no longer works
    // (the link lost, the database shut down), to tell such a failure from the odd error the
    // statement that met it may have given.
    void Comprobar();

    // Lets go of a connection that the server has shut or lost, without a word to the library:
    // after a shutdown, a commit or a detach on it can wait for an answer that never comes. Its
    // transaction is forgotten; the server undid or will undo what was not committed.
    void Abandonar() noexcept;

    // Interrupts what this connection is doing or waiting for in another thread (a lock wait,
    // a long statement): that call fails with an FbError whose Cancelada() is true. Safe from a
    // signal handler or another thread; does nothing when not connected.
    void CancelarOperacion() noexcept;

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

    FbApi api_;
    std::string nombre_;
    isc_db_handle handle_ = 0;
    // The handle as another thread or a signal handler may read it while this one works.
    std::atomic<isc_db_handle> cancelable_{0};
    IBTransaction* transaccion_ = nullptr;
    int attaches_ = 0;
    unsigned generacion_ = 0;
};
