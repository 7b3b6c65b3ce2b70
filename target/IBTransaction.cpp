#include "IBTransaction.h"

#include "Error.h"
#include "FbError.h"
#include "IBDatabase.h"

#include <cstdint>
#include <vector>

namespace {

std::vector<char> Tpb(int lockTimeout) {
    std::vector<char> tpb{isc_tpb_version3,
                          isc_tpb_write,
                          isc_tpb_read_committed,
                          isc_tpb_rec_version,
                          isc_tpb_wait,
                          isc_tpb_lock_timeout,
                          4};
    auto v = static_cast<uint32_t>(lockTimeout);
    for (int i = 0; i < 4; ++i) // little-endian, as the engine reads a clumplet number
        tpb.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
    return tpb;
}

} // namespace

IBTransaction::IBTransaction(IBDatabase& db) : db_(db) {}

IBTransaction::~IBTransaction() {
    if (db_.DefaultTransaction() == this) db_.SetDefaultTransaction(nullptr);
    if (!InTransaction()) return;
    try {
        Rollback();
    } catch (...) {
        // Nothing to report to; the engine undoes an uncommitted transaction by itself.
        Forget();
    }
}

std::string IBTransaction::Donde() const {
    return db_.DatabaseName().empty() ? std::string() : " en " + db_.DatabaseName();
}

void IBTransaction::SetLockTimeout(int seconds) {
    if (seconds < 1 || seconds > kLockTimeoutMaximo)
        throw Error("La espera por una fila en uso ha de ser de 1 a " +
                    std::to_string(kLockTimeoutMaximo) + " segundos, no " +
                    std::to_string(seconds));
    lockTimeout_ = seconds;
}

void IBTransaction::StartTransaction() {
    if (InTransaction()) throw Error("La transacción ya está activa");
    if (!db_.Connected())
        throw Error("No se puede iniciar la transacción: no hay conexión con la base de datos");
    std::vector<char> tpb = Tpb(lockTimeout_);
    ISC_STATUS_ARRAY st;
    isc_tr_handle h = 0;
    AntesDeLlamarAFirebird();
    db_.Api().start(st, &h, db_.Handle(), static_cast<unsigned short>(tpb.size()), tpb.data());
    CheckStatus(st, "iniciar la transacción" + Donde());
    handle_ = h;
    ++generacion_;
}

void IBTransaction::CommitRetaining() {
    if (!InTransaction()) throw Error("La transacción no está activa");
    ISC_STATUS_ARRAY st;
    AntesDeLlamarAFirebird();
    db_.Api().commitRetaining(st, &handle_);
    if (Fallo(st)) CheckStatus(st, "confirmar la transacción" + Donde());
}

void IBTransaction::Commit() {
    if (!InTransaction()) throw Error("La transacción no está activa");
    ISC_STATUS_ARRAY st;
    AntesDeLlamarAFirebird();
    db_.Api().commit(st, &handle_);
    CheckStatus(st, "confirmar la transacción" + Donde());
    handle_ = 0;
    ++generacion_;
}

void IBTransaction::Rollback() {
    if (!InTransaction()) return;
    ISC_STATUS_ARRAY st;
    AntesDeLlamarAFirebird();
    db_.Api().rollback(st, &handle_);
    CheckStatus(st, "deshacer la transacción" + Donde());
    handle_ = 0;
    ++generacion_;
}
