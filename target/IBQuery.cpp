#include "IBQuery.h"

#include "IBDatabase.h"
#include "IBTransaction.h"

IBQuery::IBQuery(IBDatabase& db, IBTransaction& tr) : db_(db), tr_(tr), sql_(db, tr) {}

IBQuery::~IBQuery() {
    // Only the cursor: committing here, while unwinding from an error, would make the shared
    // transaction's unfinished work durable.
    try {
        sql_.Close();
    } catch (...) {
        // Closing a cursor cannot lose work; nothing to report.
    }
}

IBParam& IBQuery::ParamByName(std::string_view name) {
    if (!db_.Connected()) db_.Open();
    if (!tr_.InTransaction()) {
        tr_.StartTransaction();
        startedTransaction_ = true;
    }
    return sql_.ParamByName(name);
}

void IBQuery::Open() {
    Close();
    if (!db_.Connected()) db_.Open();
    if (!tr_.InTransaction()) {
        tr_.StartTransaction();
        startedTransaction_ = true;
    }
    sql_.ExecQuery();
    active_ = true;
}

void IBQuery::Close() {
    bool wasActive = active_;
    active_ = false;
    sql_.Close();
    if (wasActive && startedTransaction_ && tr_.InTransaction()) tr_.CommitRetaining();
    if (!tr_.InTransaction()) startedTransaction_ = false;
}

Variant IBQuery::FieldAsVariant(std::string_view name) {
    IBField& f = sql_.FieldByName(name);
    if (!active_ || sql_.Eof()) return std::monostate{};
    return f.AsVariant();
}

bool IBQuery::FieldIsNull(std::string_view name) {
    return IsNull(FieldAsVariant(name));
}

int32_t IBQuery::FieldAsInteger(std::string_view name) {
    IBField& f = sql_.FieldByName(name);
    if (!active_ || sql_.Eof()) return 0;
    return f.AsInteger();
}
