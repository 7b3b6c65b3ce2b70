#include "IBTransaction.h"

#include "Error.h"
#include "FbError.h"
#include "IBDatabase.h"

IBTransaction::IBTransaction(IBDatabase& db) : db_(db) {}

IBTransaction::~IBTransaction() {
    if (!InTransaction()) return;
    try {
        Commit();
    } catch (...) {
        // Nothing to report to; the engine undoes an uncommitted transaction.
        handle_ = 0;
    }
}

void IBTransaction::StartTransaction() {
    if (InTransaction()) throw Error("La transacción ya está activa");
    if (!db_.Connected())
        throw Error("No se puede iniciar la transacción: no hay conexión con la base de datos");
    ISC_STATUS_ARRAY st;
    isc_tr_handle h = 0;
    db_.Api().start(st, &h, db_.Handle());
    CheckStatus(st, "iniciar la transacción");
    handle_ = h;
    ++generacion_;
}

void IBTransaction::CommitRetaining() {
    if (!InTransaction()) throw Error("La transacción no está activa");
    ISC_STATUS_ARRAY st;
    db_.Api().commitRetaining(st, &handle_);
    CheckStatus(st, "confirmar la transacción");
}

void IBTransaction::Commit() {
    if (!InTransaction()) throw Error("La transacción no está activa");
    ISC_STATUS_ARRAY st;
    db_.Api().commit(st, &handle_);
    CheckStatus(st, "confirmar la transacción");
    handle_ = 0;
    ++generacion_;
}

void IBTransaction::Rollback() {
    if (!InTransaction()) return;
    ISC_STATUS_ARRAY st;
    db_.Api().rollback(st, &handle_);
    CheckStatus(st, "deshacer la transacción");
    handle_ = 0;
    ++generacion_;
}
