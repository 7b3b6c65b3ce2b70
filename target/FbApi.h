#pragma once
// The client-library calls whose failures a real database seldom gives on demand (attach,
// transaction control, execute, fetch), gathered in one place so that a test can make one of
// them fail and follow the error path.
#include <ibase.h>

#include <cerrno>
#include <functional>

struct FbApi {
    std::function<ISC_STATUS(ISC_STATUS*, const char*, isc_db_handle*, short, const char*)> attach =
        [](ISC_STATUS* st, const char* name, isc_db_handle* h, short n, const char* dpb) {
            return isc_attach_database(st, 0, name, h, n, dpb);
        };
    std::function<ISC_STATUS(ISC_STATUS*, isc_db_handle*)> detach = isc_detach_database;
    // The transaction parameter block comes from the transaction (its isolation and lock wait).
    std::function<ISC_STATUS(ISC_STATUS*, isc_tr_handle*, isc_db_handle*, unsigned short,
                             const char*)>
        start = [](ISC_STATUS* st, isc_tr_handle* tr, isc_db_handle* db, unsigned short n,
                   const char* tpb) { return isc_start_transaction(st, tr, 1, db, n, tpb); };
    std::function<ISC_STATUS(ISC_STATUS*, isc_tr_handle*)> commitRetaining = isc_commit_retaining;
    std::function<ISC_STATUS(ISC_STATUS*, isc_tr_handle*)> commit = isc_commit_transaction;
    std::function<ISC_STATUS(ISC_STATUS*, isc_tr_handle*)> rollback = isc_rollback_transaction;
    std::function<ISC_STATUS(ISC_STATUS*, isc_tr_handle*, isc_stmt_handle*, unsigned short, XSQLDA*,
                             XSQLDA*)>
        execute = [](ISC_STATUS* st, isc_tr_handle* tr, isc_stmt_handle* s, unsigned short d,
                     XSQLDA* in, XSQLDA* out) {
            return out ? isc_dsql_execute2(st, tr, s, d, in, out)
                       : isc_dsql_execute(st, tr, s, d, in);
        };
    std::function<ISC_STATUS(ISC_STATUS*, isc_stmt_handle*, unsigned short, XSQLDA*)> fetch =
        isc_dsql_fetch;
};

// Firebird 3.0 opens its shared files (the lock table at an attach, the monitoring area at a
// detach) with a loop that retries fstat() for as long as errno reads EINTR, without looking at
// whether fstat() failed. A signal that interrupted an earlier blocking call of the same thread
// (the window's poll(), a pause()) leaves EINTR behind, and the next detach then spins at full
// CPU for ever. Every call into the client library starts from a clean errno.
inline void AntesDeLlamarAFirebird() noexcept {
    errno = 0;
}
