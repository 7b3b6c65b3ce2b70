#pragma once
// The single transaction of the target connection (IBTransaction1).
#include <ibase.h>

class IBDatabase;

class IBTransaction {
public:
    explicit IBTransaction(IBDatabase& db);
    IBTransaction(const IBTransaction&) = delete;
    IBTransaction& operator=(const IBTransaction&) = delete;
    ~IBTransaction(); // commits when still active; never throws

    bool InTransaction() const { return handle_ != 0; }
    void StartTransaction(); // the server's default parameters
    void CommitRetaining();  // durable; the transaction and its cursors stay alive
    void Commit();           // durable; the transaction ends
    void Rollback();

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
    IBDatabase& db_;
    isc_tr_handle handle_ = 0;
    unsigned generacion_ = 0;
};
