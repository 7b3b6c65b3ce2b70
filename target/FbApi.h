#pragma once
// The client-library calls whose failures a real database seldom gives on demand (attach,
// transaction control, execute, fetch), gathered in one place so that a test can make one of
// them fail and follow the error path.
#include <ibase.h>

#include <functional>

struct FbApi {
    std::function<ISC_STATUS(ISC_STATUS*, const char*, isc_db_handle*, short, const char*)> attach =
        [](ISC_STATUS* st, const char* name, isc_db_handle* h, short n, const char* dpb) {
            return isc_attach_database(st, 0, name, h, n, dpb);
        };
    std::function<ISC_STATUS(ISC_STATUS*, isc_db_handle*)> detach = isc_detach_database;
    std::function<ISC_STATUS(ISC_STATUS*, isc_tr_handle*, isc_db_handle*)> start =
        [](ISC_STATUS* st, isc_tr_handle* tr, isc_db_handle* db) {
            return isc_start_transaction(st, tr, 1, db, 0, nullptr);
        };
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
