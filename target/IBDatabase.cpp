#include "IBDatabase.h"

#include "Error.h"
#include "FbError.h"
#include "IBTransaction.h"

#include <cerrno>
#include <cstring>
#include <langinfo.h>
#include <locale.h>
#include <vector>

namespace {

static_assert(std::atomic<isc_db_handle>::is_always_lock_free,
              "a signal handler reads the handle to cancel");

void AddDpbString(std::vector<char>& dpb, char tag, const char* valor) {
    auto n = std::strlen(valor);
    dpb.push_back(tag);
    dpb.push_back(static_cast<char>(n));
    dpb.insert(dpb.end(), valor, valor + n);
}

// The client library converts a database name through the character set of the locale in force
// at its first attach, and keeps that choice: under the "C" locale an accented name cannot be
// converted at all ("Cannot transliterate character between character sets"). The program's
// names are UTF-8 whatever the locale says, so an attach runs with a UTF-8 LC_CTYPE in this
// thread only, leaving the rest of the process as it was.
class CtypeUtf8 {
public:
    CtypeUtf8() {
        if (std::strcmp(nl_langinfo(CODESET), "UTF-8") == 0) return;
        locale_t base = duplocale(uselocale(locale_t(0)));
        if (base == locale_t(0)) return;
        utf8_ = newlocale(LC_CTYPE_MASK, "C.UTF-8", base);
        if (utf8_ == locale_t(0)) {
            freelocale(base);
            return;
        }
        anterior_ = uselocale(utf8_);
    }
    ~CtypeUtf8() {
        if (utf8_ == locale_t(0)) return;
        uselocale(anterior_);
        freelocale(utf8_);
    }
    CtypeUtf8(const CtypeUtf8&) = delete;
    CtypeUtf8& operator=(const CtypeUtf8&) = delete;

private:
    locale_t utf8_ = locale_t(0);
    locale_t anterior_ = locale_t(0);
};

} // namespace

IBDatabase::~IBDatabase() {
    if (!Connected()) return;
    if (transaccion_ && transaccion_->InTransaction()) {
        try {
            transaccion_->Rollback();
        } catch (...) {
            transaccion_->Forget(); // the engine undoes it when the connection goes
        }
    }
    try {
        Detach();
    } catch (...) {
        // A destructor cannot report; the handle is gone whatever the library said.
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
    dpb.push_back(isc_dpb_utf8_filename);
    dpb.push_back(0);
    ISC_STATUS_ARRAY st;
    isc_db_handle h = 0;
    {
        CtypeUtf8 utf8;
        AntesDeLlamarAFirebird();
        api_.attach(st, nombre_.c_str(), &h, static_cast<short>(dpb.size()), dpb.data());
    }
    CheckStatus(st, "conectar con " + nombre_);
    handle_ = h;
    cancelable_ = h;
    ++attaches_;
    ++generacion_;
}

void IBDatabase::Close() {
    if (!Connected()) return;
    if (transaccion_ && transaccion_->InTransaction()) {
        try {
            transaccion_->Commit();
        } catch (const FbError& e) {
            if (!e.ConexionPerdida()) throw;
            // The engine has dropped the transaction with the connection: one error is enough.
            transaccion_->Forget();
            try {
                Detach();
            } catch (const Error&) {
            }
            throw;
        }
    }
    Detach();
}

void IBDatabase::Detach() {
    cancelable_ = 0;
    ISC_STATUS_ARRAY st;
    AntesDeLlamarAFirebird();
    api_.detach(st, &handle_);
    handle_ = 0;
    ++generacion_;
    CheckStatus(st, "desconectar de " + nombre_);
}

void IBDatabase::Comprobar() {
    if (!Connected()) return;
    const char pregunta[] = {isc_info_ods_version, isc_info_end};
    char respuesta[32];
    ISC_STATUS_ARRAY st;
    AntesDeLlamarAFirebird();
    isc_database_info(st, &handle_, sizeof pregunta, pregunta, sizeof respuesta, respuesta);
    CheckStatus(st, "comprobar la conexión con " + nombre_);
}

void IBDatabase::Abandonar() noexcept {
    if (!Connected()) return;
    if (transaccion_ && transaccion_->InTransaction()) transaccion_->Forget();
    cancelable_ = 0;
    handle_ = 0;
    ++generacion_;
}

void IBDatabase::CancelarOperacion() noexcept {
    const int guardado = errno; // a signal handler must leave errno as it found it
    isc_db_handle h = cancelable_.load();
    if (h != 0) {
        ISC_STATUS_ARRAY st;
        fb_cancel_operation(st, &h, fb_cancel_raise);
    }
    errno = guardado;
}
