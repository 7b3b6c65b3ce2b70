#pragma once
// The single transaction of the target connection (IBTransaction1).
#include <ibase.h>

#include <string>

class IBDatabase;

class IBTransaction {
public:
    explicit IBTransaction(IBDatabase& db);
    IBTransaction(const IBTransaction&) = delete;
    IBTransaction& operator=(const IBTransaction&) = delete;
    // Rolls back when still active, never commits: it may run while unwinding from an error.
    // Never throws.
    ~IBTransaction();

    bool InTransaction() const { return handle_ != 0; }
    // Read committed (each statement sees the rows committed so far, also by other users), for
    // writing, waiting at most LockTimeout() seconds for a row another user holds.
    void StartTransaction();
    void CommitRetaining(); // durable; the transaction and its cursors stay alive
    void Commit();          // durable; the transaction ends
    void Rollback();

    static constexpr int kLockTimeoutPorDefecto = 10;
    static constexpr int kLockTimeoutMaximo = 32767;
    // Seconds a statement waits for a row that another user holds before it fails; from the
    // next StartTransaction on. From 1 to kLockTimeoutMaximo.
    void SetLockTimeout(int seconds);
    int LockTimeout() const { return lockTimeout_; }

    isc_tr_handle* Handle() { return &handle_; }
    IBDatabase& Database() { return db_; }
    // Changes whenever a transaction starts or ends, so that cursors know they were closed.
    unsigned Generation() const { return generacion_; }
    // Called by the connection when it detaches underneath an ended transaction.
    void Forget() {
        handle_ = 0;
        ++generacion_;
    }

private:
    std::string Donde() const; // " en <database>", for error messages

    IBDatabase& db_;
    isc_tr_handle handle_ = 0;
    unsigned generacion_ = 0;
    int lockTimeout_ = kLockTimeoutPorDefecto;
};
