#include "Apoyo.h"

#include "DbfWriter.h"
#include "TestDatabase.h"

#include <array>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <netinet/in.h>
#include <poll.h>
#include <sstream>
#include <stdexcept>
#include <sys/mount.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#ifndef FALLOS_SCRIPT
#error "FALLOS_SCRIPT must name tests/fallos/servidor"
#endif
#ifndef FALLOS_SERVIDOR
#error "FALLOS_SERVIDOR must name the folder of the suite's server"
#endif
#ifndef LOTE
#error "LOTE must name the batch program"
#endif

namespace fs = std::filesystem;

namespace {

const char* const kBinarioServidor = "/usr/sbin/firebird";
const char* const kUsuario = "-user SYSDBA -password quietlamp";

std::string Comillas(const std::string& s) {
    std::string r = "'";
    for (char c : s)
        r += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return r + "'";
}

Herramienta Orden(const std::string& orden) {
    Herramienta h;
    FILE* p = popen((orden + " 2>&1").c_str(), "r");
    if (!p) throw std::runtime_error("no se puede ejecutar " + orden);
    std::array<char, 4096> b;
    std::size_t n;
    while ((n = fread(b.data(), 1, b.size(), p)) > 0)
        h.texto.append(b.data(), n);
    int rc = pclose(p);
    h.estado = WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
    return h;
}

std::string Texto(const Variant& v) {
    struct {
        std::string operator()(std::monostate) { return "<null>"; }
        std::string operator()(int32_t i) { return std::to_string(i); }
        std::string operator()(int64_t i) { return std::to_string(i); }
        std::string operator()(double d) { return std::to_string(d); }
        std::string operator()(const std::string& s) { return "«" + s + "»"; }
        std::string operator()(const Timestamp&) { return "<fecha>"; }
    } visita;
    return std::visit(visita, v);
}

int PuertoLibre() {
    int s = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = 0;
    socklen_t n = sizeof a;
    if (s < 0 || bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
        getsockname(s, reinterpret_cast<sockaddr*>(&a), &n) != 0)
        throw std::runtime_error("no hay un puerto libre");
    close(s);
    return ntohs(a.sin_port);
}

bool Responde(const std::string& carpeta, int puerto) {
    std::string orden =
        "echo 'select 1 from rdb$database;' | isql-fb -q " + std::string(kUsuario) + " " +
        Comillas("localhost/" + std::to_string(puerto) + ":" + carpeta + "/security3.fdb");
    return Orden(orden).estado == 0;
}

} // namespace

// ---- folders ----

Carpeta::Carpeta() {
    std::string base = fs::temp_directory_path().string();
    if (access("/dev/shm", W_OK) == 0) base = "/dev/shm";
    std::string plantilla = base + "/tm-fallos-XXXXXX";
    if (!mkdtemp(plantilla.data())) throw std::runtime_error("mkdtemp");
    ruta_ = plantilla;
}

Carpeta::~Carpeta() {
    std::error_code ec;
    fs::remove_all(ruta_, ec);
}

DiscoPequeno::DiscoPequeno(const std::string& ruta, std::uintmax_t bytes) : ruta_(ruta) {
    fs::create_directory(ruta_);
    std::string opciones = "size=" + std::to_string(bytes);
    if (mount("tmpfs", ruta_.c_str(), "tmpfs", 0, opciones.c_str()) == 0)
        montado_ = true;
    else
        error_ = std::strerror(errno);
}

DiscoPequeno::~DiscoPequeno() {
    if (montado_) umount2(ruta_.c_str(), MNT_DETACH);
}

// ---- the server ----

Servidor& Servidor::Comun() {
    static std::unique_ptr<Servidor> comun;
    if (!comun) {
        // Started by the suite's ctest fixture, or by hand with tests/fallos/servidor.
        const char* carpeta = FALLOS_SERVIDOR;
        comun.reset(new Servidor(carpeta, false));
        std::ifstream(std::string(carpeta) + "/puerto") >> comun->puerto_;
        std::ifstream(std::string(carpeta) + "/pid") >> comun->pid_;
        if (comun->puerto_ <= 0 || comun->pid_ <= 0 || kill(comun->pid_, 0) != 0)
            throw std::runtime_error(std::string("no hay servidor en ") + carpeta +
                                     ": la suite se pasa con ctest -L fallos, que lo arranca");
    }
    return *comun;
}

std::unique_ptr<Servidor> Servidor::Propio(const std::string& carpeta) {
    std::unique_ptr<Servidor> s(new Servidor(carpeta, true));
    s->Arrancar();
    return s;
}

void Servidor::Arrancar() {
    if (!propio_) throw std::logic_error("el servidor común lo arranca ctest");
    if (access(kBinarioServidor, X_OK) != 0)
        throw std::runtime_error("falta /usr/sbin/firebird (firebird3.0-server; scripts/setup)");
    for (int intento = 0; intento < 5; ++intento) {
        int puerto = puerto_ && intento == 0 ? puerto_ : PuertoLibre();
        Herramienta p = Orden(std::string(FALLOS_SCRIPT) + " preparar " + Comillas(carpeta_) + " " +
                              std::to_string(puerto));
        if (p.estado != 0) throw std::runtime_error("servidor preparar: " + p.texto);
        std::string conf = "FIREBIRD=" + carpeta_, lock = "FIREBIRD_LOCK=" + carpeta_ + "/lock",
                    tmp = "FIREBIRD_TMP=" + carpeta_ + "/tmp", log = carpeta_ + "/firebird.out";
        pid_t pid = fork();
        if (pid < 0) throw std::runtime_error("fork");
        if (pid == 0) {
            prctl(PR_SET_PDEATHSIG, SIGKILL); // a test that dies takes its server with it
            int f = open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
            int nulo = open("/dev/null", O_RDONLY);
            dup2(nulo, STDIN_FILENO);
            dup2(f, STDOUT_FILENO);
            dup2(f, STDERR_FILENO);
            char* argv[] = {const_cast<char*>(kBinarioServidor), nullptr};
            char* envp[] = {conf.data(), lock.data(), tmp.data(),
                            const_cast<char*>("PATH=/usr/sbin:/usr/bin:/sbin:/bin"), nullptr};
            execve(kBinarioServidor, argv, envp);
            _exit(127);
        }
        auto hasta = std::chrono::steady_clock::now() + 20s;
        bool vivo = true;
        while (std::chrono::steady_clock::now() < hasta) {
            if (waitpid(pid, nullptr, WNOHANG) == pid) {
                vivo = false;
                break;
            }
            if (Responde(carpeta_, puerto)) {
                puerto_ = puerto;
                pid_ = pid;
                return;
            }
            std::this_thread::sleep_for(50ms); // polling a condition, bounded by `hasta`
        }
        if (vivo) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
        }
    }
    throw std::runtime_error("el servidor no arranca; véase " + carpeta_ + "/firebird.out");
}

void Servidor::Matar() {
    if (pid_ <= 0) return;
    kill(pid_, SIGKILL);
    if (propio_) waitpid(pid_, nullptr, 0);
    pid_ = -1;
}

Servidor::~Servidor() {
    if (propio_ && pid_ > 0) {
        kill(pid_, SIGTERM);
        auto hasta = std::chrono::steady_clock::now() + 10s;
        while (waitpid(pid_, nullptr, WNOHANG) == 0) {
            if (std::chrono::steady_clock::now() > hasta) {
                kill(pid_, SIGKILL);
                waitpid(pid_, nullptr, 0);
                break;
            }
            std::this_thread::sleep_for(20ms);
        }
    }
}

void Servidor::Congelar() {
    if (pid_ > 0) kill(pid_, SIGSTOP);
}

void Servidor::Descongelar() {
    if (pid_ > 0) kill(pid_, SIGCONT);
}

std::string Servidor::Ruta(const std::string& fichero) const {
    return "localhost/" + std::to_string(puerto_) + ":" + fichero;
}

// ---- a socket that never answers ----

Mudo::Mudo() {
    fd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t n = sizeof a;
    if (fd_ < 0 || bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
        listen(fd_, 16) != 0 || getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &n) != 0)
        throw std::runtime_error("no se puede escuchar en loopback");
    puerto_ = ntohs(a.sin_port);
    hilo_ = std::thread([this] {
        while (!fin_) {
            pollfd p{fd_, POLLIN, 0};
            if (poll(&p, 1, 50) <= 0) continue;
            int c = accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC);
            if (c < 0) continue;
            conexiones_.push_back(c); // held open, never read or written
            ++aceptadas_;
        }
    });
}

Mudo::~Mudo() {
    fin_ = true;
    hilo_.join();
    for (int c : conexiones_)
        close(c);
    close(fd_);
}

std::string Mudo::Ruta(const std::string& fichero) const {
    return "127.0.0.1/" + std::to_string(puerto_) + ":" + fichero;
}

// ---- source tables ----

std::string Codigo(std::size_t i) {
    // Three characters, as the agents' code field holds: 36 hundreds.
    static const char* kPrimera = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ";
    return {kPrimera[i / 100], static_cast<char>('0' + i / 10 % 10),
            static_cast<char>('0' + i % 10)};
}

void EscribirAgentes(const std::string& carpeta, std::size_t n, const std::string& nombre) {
    std::vector<Fila> filas;
    for (std::size_t i = 0; i < n; ++i) {
        std::string c = Codigo(i);
        filas.push_back({{"CCODAGE", c},
                         {"CNBRAGE", nombre + " " + c},
                         {"CDIRAGE", "Calle " + c},
                         {"CPOBAGE", "Córdoba"},
                         {"CTFOAGE", "957" + c},
                         {"NCOM1", std::to_string(i % 100)}});
    }
    WriteFacturaPlusTable(carpeta, "agentes", filas);
}

std::string CodigoCliente(std::size_t i) {
    std::string n = std::to_string(i);
    return "C" + std::string(n.size() < 5 ? 5 - n.size() : 0, '0') + n;
}

void EscribirClientes(const std::string& carpeta, std::size_t n, const std::string& nombre,
                      const std::string& banco) {
    std::vector<Fila> filas;
    for (std::size_t i = 0; i < n; ++i) {
        std::string c = CodigoCliente(i);
        filas.push_back(
            {{"CCODCLI", c}, {"CNOMCLI", nombre + " " + c}, {"CNBRBCO", banco + " " + c}});
    }
    WriteFacturaPlusTable(carpeta, "clientes", filas);
}

void EscribirArticulos(const std::string& carpeta, std::size_t n) {
    WriteFacturaPlusTable(carpeta, "familias", {{{"CCODFAM", "FAMI"}, {"CNOMFAM", "Familia"}}});
    std::vector<Fila> filas;
    for (std::size_t i = 0; i < n; ++i)
        filas.push_back({{"CREF", "A" + std::to_string(10000 + i)},
                         {"CDETALLE", "Artículo " + std::to_string(i)},
                         {"CCODFAM", "FAMI"}});
    WriteFacturaPlusTable(carpeta, "articulo", filas);
    WriteFacturaPlusTable(carpeta, "stocks", {});
    WriteFacturaPlusTable(carpeta, "Artcom", {});
}

// ---- the batch program ----

Proceso::Opciones Lote(const std::string& origen, const std::string& destino,
                       const std::string& traspaso, bool barra) {
    Proceso::Opciones o;
    o.argv = {LOTE, "--origen", origen, "--destino", destino, traspaso};
    o.terminal = barra;
    return o;
}

Fin Ejecutar(const Proceso::Opciones& o, Plazo plazo) {
    Proceso p(o);
    return p.Terminar(plazo);
}

// ---- tools ----

Herramienta Gfix(const std::string& argumentos, const std::string& base) {
    return Orden("gfix " + argumentos + " " + kUsuario + " " + Comillas(base));
}

std::string Validar(const std::string& base) {
    auto hasta = std::chrono::steady_clock::now() + 30s;
    for (;;) {
        Herramienta h = Gfix("-v -full", base);
        // A client that died a moment ago may still count as attached for a while.
        bool ocupada = h.texto.find("secondary server attachments") != std::string::npos ||
                       h.texto.find("lock time-out") != std::string::npos;
        if (!ocupada || std::chrono::steady_clock::now() > hasta)
            return h.estado == 0 ? h.texto : "gfix " + std::to_string(h.estado) + ": " + h.texto;
        std::this_thread::sleep_for(100ms); // polling a condition, bounded by `hasta`
    }
}

std::string SinPaginasHuerfanas(const std::string& validacion) {
    std::istringstream in(validacion);
    std::string linea, resto;
    bool otras = false;
    while (std::getline(in, linea)) {
        // "Number of database page warnings", "... index page ...", "... pointer page ...":
        // what validation counts as a warning; an error is counted as an error.
        const std::size_t numero = linea.find("Number of ");
        if (numero != std::string::npos &&
            linea.find(" page warnings", numero) != std::string::npos)
            continue;
        otras = otras || linea.find("Summary of validation errors") == std::string::npos;
        resto += linea + "\n";
    }
    return otras ? resto : "";
}

Cabecera LeerCabecera(const std::string& fichero) {
    Cabecera c;
    c.texto = Orden("fbstat -h " + Comillas(fichero)).texto;
    auto campo = [&](const std::string& nombre) {
        std::size_t p = c.texto.find(nombre);
        if (p == std::string::npos) return -1L;
        p = c.texto.find_first_of("0123456789", p + nombre.size());
        return p == std::string::npos ? -1L : std::stol(c.texto.substr(p));
    };
    c.interesante = campo("Oldest transaction");
    c.activa = campo("Oldest active");
    c.siguiente = campo("Next transaction");
    return c;
}

std::vector<std::string> Agentes(const std::string& base) {
    std::vector<std::string> r;
    for (const Row& f :
         QueryRows(base, "select CODIGO, NOMBRE, DIRECCION, LOCALIDAD, CODIGOPOSTAL, PROVINCIA, "
                         "PAIS, TELEFONO1, FAX, EMAIL1, NIF, PORCENTAJECOMISION, IMPORTECOMISION, "
                         "COMISIONFIJA, CUENTACONTABLE, COMISIONESAGENTE, IVA, EMPRESA "
                         "from AGENTESVENTA order by CODIGO, IDAGENTESVENTA")) {
        std::string t;
        for (const char* c :
             {"CODIGO", "NOMBRE", "DIRECCION", "LOCALIDAD", "CODIGOPOSTAL", "PROVINCIA", "PAIS",
              "TELEFONO1", "FAX", "EMAIL1", "NIF", "PORCENTAJECOMISION", "IMPORTECOMISION",
              "COMISIONFIJA", "CUENTACONTABLE", "COMISIONESAGENTE", "IVA", "EMPRESA"})
            t += Texto(f.at(c)) + "|";
        r.push_back(t);
    }
    return r;
}

std::set<std::string> CodigosAgentes(const std::string& base) {
    std::set<std::string> r;
    for (const Row& f : QueryRows(base, "select CODIGO from AGENTESVENTA"))
        r.insert(std::get<std::string>(f.at("CODIGO")));
    return r;
}

int Contar(const std::string& base, const std::string& sql) {
    std::vector<Row> r = QueryRows(base, sql);
    if (r.empty() || r.front().empty()) throw std::runtime_error("sin filas: " + sql);
    const Variant& v = r.front().begin()->second;
    if (auto* i = std::get_if<int32_t>(&v)) return *i;
    if (auto* l = std::get_if<int64_t>(&v)) return static_cast<int>(*l);
    if (auto* d = std::get_if<double>(&v)) return static_cast<int>(*d);
    throw std::runtime_error("no es un número: " + sql);
}

OtroUsuario::OtroUsuario(const std::string& base, const std::string& sql) {
    db_.SetDefaultTransaction(&tr_);
    db_.SetDatabaseName(base);
    db_.Open();
    tr_.StartTransaction();
    q_ = std::make_unique<IBSQL>(db_, tr_);
    q_->SetText(sql);
    q_->ExecQuery();
}

OtroUsuario::~OtroUsuario() {
    q_.reset();
    try {
        Soltar();
    } catch (...) {
        // The connection goes anyway; the engine undoes what it held.
    }
}

void OtroUsuario::Soltar() {
    if (tr_.InTransaction()) tr_.Rollback();
}

bool SentenciaEnCurso(const std::string& base, pid_t pid, const std::string& inicio, int desdeMs) {
    return Contar(base, "select count(*) from MON$STATEMENTS s join MON$ATTACHMENTS a on "
                        "a.MON$ATTACHMENT_ID = s.MON$ATTACHMENT_ID where a.MON$REMOTE_PID = " +
                            std::to_string(pid) + " and s.MON$STATE = 1 and s.MON$SQL_TEXT like '" +
                            inicio + "%' and datediff(millisecond from s.MON$TIMESTAMP to " +
                            "current_timestamp) >= " + std::to_string(desdeMs)) > 0;
}

long NumeroTras(const std::string& texto, const std::string& antes) {
    std::size_t p = texto.find(antes);
    if (p == std::string::npos) return -1;
    p += antes.size();
    std::size_t fin = p;
    while (fin < texto.size() && texto[fin] >= '0' && texto[fin] <= '9')
        ++fin;
    return fin == p ? -1 : std::stol(texto.substr(p, fin - p));
}

long ConfirmadosSegunElError(const std::string& texto) {
    for (const char* cola : {" registros confirmados", " registro confirmado"}) {
        std::size_t p = texto.find(cola);
        if (p == std::string::npos) continue;
        std::size_t inicio = p;
        while (inicio > 0 && texto[inicio - 1] >= '0' && texto[inicio - 1] <= '9')
            --inicio;
        if (inicio < p) return std::stol(texto.substr(inicio, p - inicio));
    }
    return -1;
}

// ---- the fixture ----

std::string Fallo::Base(const std::string& nombre) {
    std::string f = dir.Fichero(nombre);
    CreateFixtureDatabase(f);
    return f;
}

std::vector<std::string> Fallo::Referencia(const std::string& nombre) {
    std::string base = Remota("referencia.fdb");
    EscribirAgentes(origen, kAgentes, nombre);
    Fin f = Ejecutar(Lote(origen, base));
    EXPECT_EQ(f.estado, 0) << f.Todo();
    return Agentes(base);
}
