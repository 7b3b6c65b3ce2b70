#pragma once
// The connection to the target database (IBDatabase1).
#include "FbApi.h"

#include <ibase.h>

#include <string>

class IBTransaction;

class IBDatabase {
public:
    IBDatabase() = default;
    IBDatabase(const IBDatabase&) = delete;
    IBDatabase& operator=(const IBDatabase&) = delete;
    ~IBDatabase(); // commits an active default transaction and detaches; never throws

    const std::string& DatabaseName() const { return nombre_; }
    // The same name again does nothing; another name while connected is refused.
    void SetDatabaseName(const std::string& nombre);

    bool Connected() const { return handle_ != 0; }
    void Open();  // attach as SYSDBA; "Database name is missing" when the name is empty
    void Close(); // commits the default transaction if active, then detaches

    void SetDefaultTransaction(IBTransaction* tr) { transaccion_ = tr; }
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
    FbApi api_;
    std::string nombre_;
    isc_db_handle handle_ = 0;
    IBTransaction* transaccion_ = nullptr;
    int attaches_ = 0;
    unsigned generacion_ = 0;
};
