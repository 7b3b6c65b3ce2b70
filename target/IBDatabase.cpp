#include "IBDatabase.h"

#include "Error.h"
#include "FbError.h"
#include "IBTransaction.h"
#include "RutaBase.h"
#include "Utf8.h"

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <langinfo.h>
#include <locale.h>
#include <optional>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

static_assert(std::atomic<isc_db_handle>::is_always_lock_free,
              "a signal handler reads the handle to cancel");

std::atomic<bool> abandonadas{false};

void AddDpbString(std::vector<char>& dpb, char tag, const std::string& valor) {
    auto n = std::min<std::size_t>(valor.size(), 255);
    dpb.push_back(tag);
    dpb.push_back(static_cast<char>(n));
    dpb.insert(dpb.end(), valor.begin(), valor.begin() + static_cast<std::ptrdiff_t>(n));
}

void AddDpbNumber(std::vector<char>& dpb, char tag, int32_t valor) {
    dpb.push_back(tag);
    dpb.push_back(4);
    auto v = static_cast<uint32_t>(valor);
    for (int i = 0; i < 4; ++i) // little-endian, as the engine reads a clumplet number
        dpb.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

bool EsUtf8(const std::string& s) {
    char32_t cp;
    for (std::size_t i = 0; i < s.size();)
        if (!utf8::Next(s, i, cp)) return false;
    return true;
}

// The codes of an attach that reached no server, or a server that never answered: nothing was
// lost, since nothing had been connected.
bool SinServidor(const ISC_STATUS* st) {
    for (const ISC_STATUS* p = st; *p != isc_arg_end;) {
        ISC_STATUS kind = *p++;
        if (kind == isc_arg_gds &&
            (*p == isc_network_error || *p == isc_connect_reject || *p == isc_net_read_err ||
             *p == isc_net_write_err || *p == isc_net_connect_err))
            return true;
        p += kind == isc_arg_cstring ? 2 : 1;
    }
    return false;
}

bool Tiene(const ISC_STATUS* st, ISC_STATUS codigo) {
    for (const ISC_STATUS* p = st; *p != isc_arg_end;) {
        ISC_STATUS kind = *p++;
        if (kind == isc_arg_gds && *p == codigo) return true;
        p += kind == isc_arg_cstring ? 2 : 1;
    }
    return false;
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
    if (cortada_) {
        Abandonar();
        return;
    }
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

void IBDatabase::SetCredenciales(const std::string& usuario, const std::string& clave) {
    usuario_ = usuario;
    clave_ = clave;
}

void IBDatabase::SetEsperaConexion(int segundos) {
    if (segundos < 1)
        throw Error("La espera por el servidor ha de ser de 1 segundo o más, no " +
                    std::to_string(segundos));
    esperaConexion_ = segundos;
}

void IBDatabase::Open() {
    if (Connected()) return;
    if (nombre_.empty()) throw Error("Database name is missing");
    cortada_ = false;
    if (EsUtf8(nombre_)) return Attach(nombre_, true);
    // Bytes that are not UTF-8 (a name written on a system of another code page) go as they are,
    // without the UTF-8 flag: the library takes them in the system's code page. Where that code
    // page is UTF-8 too (or plain ASCII) the library cannot convert them at all; a file on this
    // machine is then reached through a second name of plain ASCII beside it, a hard link that
    // goes again once the engine holds the file open.
    try {
        Attach(nombre_, false);
        return;
    } catch (const FbError& e) {
        if (!e.HasGdsCode(isc_transliteration_failed)) throw;
    }
    RutaBase r = AnalizarRuta(nombre_);
    std::string carpeta = r.fichero.substr(0, r.fichero.rfind('/') + 1);
    if (!r.EnEstaMaquina() || !EsUtf8(carpeta))
        throw Error("No se ha podido conectar con la base de datos: su nombre no es texto UTF-8 "
                    "y Firebird no sabe convertirlo; cámbiele el nombre");
    std::string enlace = carpeta + ".traspaso-maestros-" + std::to_string(getpid()) + ".fdb";
    unlink(enlace.c_str());
    if (link(r.fichero.c_str(), enlace.c_str()) != 0)
        throw Error("No se ha podido conectar con la base de datos: su nombre no es texto UTF-8 "
                    "y no se ha podido darle otro nombre a su lado (" +
                    std::string(std::strerror(errno)) + ")");
    try {
        Attach(r.servidor.empty() ? enlace : r.servidor + ":" + enlace, true);
    } catch (...) {
        unlink(enlace.c_str());
        throw;
    }
    unlink(enlace.c_str());
}

void IBDatabase::Attach(const std::string& nombre, bool utf8) {
    std::vector<char> dpb{isc_dpb_version1};
    AddDpbString(dpb, isc_dpb_user_name, usuario_);
    AddDpbString(dpb, isc_dpb_password, clave_);
    AddDpbNumber(dpb, isc_dpb_connect_timeout, esperaConexion_);
    if (utf8) {
        dpb.push_back(isc_dpb_utf8_filename);
        dpb.push_back(0);
    }
    ISC_STATUS_ARRAY st;
    isc_db_handle h = 0;
    auto inicio = std::chrono::steady_clock::now();
    enlace_.AntesDeConectar();
    conectando_ = true;
    {
        std::optional<CtypeUtf8> ctype;
        if (utf8) ctype.emplace();
        AntesDeLlamarAFirebird();
        api_.attach(st, nombre.c_str(), &h, static_cast<short>(dpb.size()), dpb.data());
    }
    conectando_ = false;
    enlace_.DespuesDeConectar(h != 0);
    const bool cortadaAlConectar = cortada_;
    if (h == 0) cortada_ = false;
    if (h == 0 || st[1] != 0) {
        double segundos =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - inicio).count();
        std::string motivo;
        if (cortadaAlConectar)
            motivo = "Se ha dejado de esperar al servidor de la base de datos, que no respondía: "
                     "se ha abandonado la conexión.";
        else if (SinServidor(st) && segundos >= esperaConexion_ - 0.5)
            motivo = "El servidor de la base de datos no ha respondido en " +
                     std::to_string(esperaConexion_) +
                     (esperaConexion_ == 1 ? " segundo." : " segundos.");
        else if (SinServidor(st) || Tiene(st, isc_connect_reject))
            motivo = "No se ha podido llegar al servidor de la base de datos.";
        CheckStatus(st, "conectar con " + nombre_, motivo);
    }
    handle_ = h;
    cancelable_ = h;
    ++attaches_;
    ++generacion_;
    RecordarFichero();
}

void IBDatabase::RecordarFichero() {
    fichero_.clear();
    RutaBase r = AnalizarRuta(nombre_);
    struct stat st {};
    if (!r.EnEstaMaquina() || r.fichero.empty() || stat(r.fichero.c_str(), &st) != 0) return;
    fichero_ = r.fichero;
    dispositivo_ = st.st_dev;
    inodo_ = st.st_ino;
}

void IBDatabase::ComprobarFichero() const {
    if (!Connected() || fichero_.empty()) return;
    struct stat st {};
    std::string que;
    if (stat(fichero_.c_str(), &st) != 0)
        que = errno == ENOENT
                  ? "se ha borrado"
                  : "ya no se puede consultar (" + std::string(std::strerror(errno)) + ")";
    else if (st.st_dev != dispositivo_ || st.st_ino != inodo_)
        que = "se ha sustituido por otro fichero";
    if (que.empty()) return;
    throw Error("La base de datos " + nombre_ + " " + que +
                " mientras este programa la tenía abierta: lo que se ha escrito en ella desde "
                "entonces ha ido al fichero anterior, que ya no está en ninguna carpeta, y se "
                "pierde al cerrar. Vuelva a poner la base de datos en su sitio y repita el "
                "traspaso.");
}

void IBDatabase::Close() {
    if (!Connected()) return;
    if (cortada_) {
        Abandonar();
        throw Error("Se ha abandonado la conexión con " + nombre_ +
                    " sin confirmar ni desconectar, porque el servidor no respondía; lo que no "
                    "estuviera confirmado lo deshace el servidor.");
    }
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
    enlace_.Olvidar();
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
    enlace_.Olvidar();
    abandonadas = true;
}

bool IBDatabase::HayAbandonadas() {
    return abandonadas;
}

bool IBDatabase::Cortar() noexcept {
    if (!Connected() && !conectando_) return false;
    // Said before the link goes: the call that the cut wakes must already find it said, or its
    // error would read as a connection lost on its own.
    cortada_ = true;
    if (enlace_.Cortar()) return true;
    cortada_ = false;
    return false;
}

void IBDatabase::CancelarEnSegundoPlano() noexcept {
    isc_db_handle h = cancelable_.load();
    if (h == 0) return;
    try {
        std::thread([h] {
            ISC_STATUS_ARRAY st;
            isc_db_handle copia = h;
            fb_cancel_operation(st, &copia, fb_cancel_raise);
        }).detach();
    } catch (...) {
        // No thread to spare: the cut that follows a cancel without effect still comes.
    }
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
