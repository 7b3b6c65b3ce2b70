#include "IBDatabase.h"

#include "Error.h"
#include "FbError.h"
#include "IBTransaction.h"

#include <cstring>
#include <vector>

namespace {

void AddDpbString(std::vector<char>& dpb, char tag, const char* valor) {
    auto n = std::strlen(valor);
    dpb.push_back(tag);
    dpb.push_back(static_cast<char>(n));
    dpb.insert(dpb.end(), valor, valor + n);
}

} // namespace

IBDatabase::~IBDatabase() {
    try {
        Close();
    } catch (...) {
        // A destructor cannot report; the engine undoes what it could not commit.
        ISC_STATUS_ARRAY st;
        if (transaccion_ && transaccion_->InTransaction()) transaccion_->Forget();
        if (handle_) isc_detach_database(st, &handle_);
    }
}

void IBDatabase::SetDatabaseName(const std::string& nombre) {
    if (nombre == nombre_) return;
    if (Connected()) throw Error("Cannot perform operation -- DB is currently open");
    nombre_ = nombre;
}

void IBDatabase::Open() {
    if (Connected()) return;
    if (nombre_.empty()) throw Error("Database name is missing");
    std::vector<char> dpb{isc_dpb_version1};
    AddDpbString(dpb, isc_dpb_user_name, kUserName);
    AddDpbString(dpb, isc_dpb_password, kPassword);
    ISC_STATUS_ARRAY st;
    isc_db_handle h = 0;
    api_.attach(st, nombre_.c_str(), &h, static_cast<short>(dpb.size()), dpb.data());
    CheckStatus(st, "conectar con " + nombre_);
    handle_ = h;
    ++attaches_;
    ++generacion_;
}

void IBDatabase::Close() {
    if (!Connected()) return;
    if (transaccion_ && transaccion_->InTransaction()) transaccion_->Commit();
    ISC_STATUS_ARRAY st;
    api_.detach(st, &handle_);
    handle_ = 0;
    ++generacion_;
    CheckStatus(st, "desconectar de " + nombre_);
}
