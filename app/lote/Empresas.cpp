#include "Empresas.h"

#include "Error.h"
#include "Informe.h"
#include "RutaInforme.h"
#include "TextoVisible.h"

#include <nlohmann/json.hpp>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <map>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#ifndef TM_VERSION
#define TM_VERSION "0"
#endif

namespace fs = std::filesystem;

namespace {

// INT, TERM and HUP to the program that runs the companies: it passes the signal on to the
// running ones (each in a process group of its own, so that a Ctrl+C at the terminal reaches
// them once, through it), starts no more, and still prints its summary.
volatile std::sig_atomic_t senalRecibida = 0;

void AlRecibir(int s) {
    if (!senalRecibida) senalRecibida = s;
}

void Despertar(int) {}

void AtenderSenales() {
    struct sigaction sa {};
    sigemptyset(&sa.sa_mask);
    sa.sa_handler = AlRecibir; // no SA_RESTART: the wait for a company returns with EINTR
    for (int s : {SIGINT, SIGTERM, SIGHUP})
        sigaction(s, &sa, nullptr);
    sa.sa_handler = Despertar; // the wait also wakes every second, to look again
    sigaction(SIGALRM, &sa, nullptr);
}

// A company still running this long after the signal was passed on is ended by force.
constexpr int kSegundosParaMatar = 20;

// A folder of this run's own, made fresh and private (mode 0700) so that no one else can put
// or replace anything in it; removed at the end unless kept.
class CarpetaPrivada {
public:
    CarpetaPrivada() {
        std::string plantilla = (fs::temp_directory_path() / "traspaso-empresas-XXXXXX").string();
        if (!mkdtemp(plantilla.data()))
            throw Error("No se puede crear una carpeta temporal en " +
                        fs::temp_directory_path().string() + ": " + std::strerror(errno));
        ruta_ = plantilla;
    }
    ~CarpetaPrivada() {
        std::error_code ec;
        if (!conservar_) fs::remove_all(ruta_, ec);
    }
    CarpetaPrivada(const CarpetaPrivada&) = delete;
    CarpetaPrivada& operator=(const CarpetaPrivada&) = delete;
    const fs::path& Ruta() const { return ruta_; }
    void Conservar() { conservar_ = true; }

private:
    fs::path ruta_;
    bool conservar_ = false;
};

// The log of company `i` in `carpeta`, created afresh: never a file that is there already,
// never through a link. Another name is tried when the first is taken (a folder given with
// --registros may hold an earlier run's logs). Its descriptor; its path in `ruta`.
int AbrirRegistro(const fs::path& carpeta, std::size_t i, const Empresa& e, std::string& ruta) {
    std::string base = fs::path(e.origen).lexically_normal().filename().string();
    if (base.empty()) base = fs::path(e.origen).lexically_normal().parent_path().filename();
    for (char& c : base)
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '-' && c != '_' && c != '.')
            c = '_';
    char n[16];
    std::snprintf(n, sizeof n, "%02zu", i + 1);
    for (int intento = 1; intento <= 100; ++intento) {
        ruta = (carpeta / (std::string(n) + "-" + base +
                           (intento > 1 ? "-" + std::to_string(intento) : "") + ".log"))
                   .string();
        int fd = open(ruta.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd >= 0) return fd;
        if (errno != EEXIST) break;
    }
    throw Error("No se puede crear el registro " + TextoVisible(ruta) + ": " +
                std::strerror(errno));
}

// This same program for one company, its output to its log and its report to a file.
pid_t Lanzar(const std::string& programa, const Opciones& o, const Empresa& e,
             const std::string& informe, int registro) {
    std::vector<std::string> args = {programa,  "--origen",  e.origen, "--destino",
                                     e.destino, "--informe", informe};
    if (o.ensayo) args.push_back("--ensayo");
    if (o.revisar) args.push_back("--revisar");
    if (o.comparar) args.push_back("--comparar");
    if (o.soloCambios) args.push_back("--solo-cambios");
    for (const auto& [tabla, pagina] : o.paginas) {
        args.push_back("--pagina-de-codigos");
        args.push_back((tabla.empty() ? "" : tabla + "=") + std::to_string(pagina));
    }
    if (o.esperarTurno > 0) {
        args.push_back("--esperar-turno");
        args.push_back(std::to_string(o.esperarTurno));
    }
    if (o.confirmarCada > 0) {
        args.push_back("--confirmar-cada");
        args.push_back(std::to_string(o.confirmarCada));
    }
    args.push_back("--");
    args.insert(args.end(), o.traspasos.begin(), o.traspasos.end());
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = fork();
    if (pid < 0) throw Error(std::string("No se puede crear un proceso: ") + std::strerror(errno));
    if (pid == 0) {
        setpgid(0, 0);
        prctl(PR_SET_PDEATHSIG, SIGTERM); // the program that ran it died: it stops as on TERM
        dup2(registro, STDOUT_FILENO);
        dup2(registro, STDERR_FILENO);
        execv(programa.c_str(), argv.data());
        _exit(127);
    }
    return pid;
}

std::string Recuentos(const Informe& i, const std::string& traspaso) {
    for (const TraspasoInforme& t : i.traspasos)
        if (t.nombre == traspaso)
            return std::to_string(t.anadidos) + "/" + std::to_string(t.actualizados) + "/" +
                   std::to_string(t.rechazados);
    return "-";
}

// What was learnt of one company.
struct Resultado {
    bool empezada = false;
    int estado = 2;
    std::string registro, informe; // its log and its report
    Informe leido;
    std::string error; // why its report could not be read, if it could not
};

// One document for the whole run: each company's own report, with its line in the list and the
// status it ended with, in the order of the list.
std::string InformeConjunto(const Opciones& o, const std::vector<Empresa>& empresas,
                            const std::vector<Resultado>& r, const std::string& inicio,
                            int estado) {
    using json = nlohmann::ordered_json;
    json j = {{"programa", "traspaso-maestros-lote"},
              {"version", TM_VERSION},
              {"lista", o.empresas},
              {"modo", o.revisar  ? "revision"
                       : o.ensayo ? "ensayo"
                                  : "traspaso"},
              {"inicio", inicio},
              {"fin", AhoraIso()},
              {"completo", true},
              {"estado", estado},
              {"empresas", json::array()}};
    for (std::size_t i = 0; i < empresas.size(); ++i) {
        json e = {{"linea", empresas[i].linea},
                  {"origen", empresas[i].origen},
                  {"destino", empresas[i].destino}};
        json propio;
        if (r[i].empezada) {
            std::ifstream f(r[i].informe);
            propio = json::parse(f, nullptr, false);
        }
        if (propio.is_object()) {
            for (auto& [clave, valor] : propio.items())
                if (clave != "programa" && clave != "version") e[clave] = valor;
        } else {
            e["completo"] = false;
            e["error"] = r[i].empezada ? "No se ha podido leer su informe: " + r[i].error
                                       : std::string("No ha llegado a empezar");
            e["traspasos"] = json::array();
        }
        e["estado"] = r[i].empezada ? json(r[i].estado) : json(nullptr);
        if (!e.value("completo", false)) j["completo"] = false;
        j["empresas"].push_back(e);
    }
    return j.dump(2, ' ', false, json::error_handler_t::replace) + "\n";
}

} // namespace

std::vector<Empresa> LeerEmpresas(const std::string& ruta) {
    std::ifstream f(ruta);
    if (!f) throw Error("No se puede leer la lista de empresas " + ruta);
    std::vector<Empresa> empresas;
    std::string linea;
    for (int n = 1; std::getline(f, linea); ++n) {
        // A list saved by a Windows editor begins with a byte-order mark.
        if (n == 1 && linea.rfind("\xEF\xBB\xBF", 0) == 0) linea.erase(0, 3);
        if (!linea.empty() && linea.back() == '\r') linea.pop_back();
        if (linea.find_first_not_of(" \t") == std::string::npos || linea[0] == '#') continue;
        auto tab = linea.find('\t');
        if (tab == std::string::npos || tab == 0 || tab + 1 == linea.size() ||
            linea.find('\t', tab + 1) != std::string::npos)
            throw Error(ruta + ", línea " + std::to_string(n) +
                        ": se esperaba ORIGEN<tabulador>DESTINO y hay «" + linea + "»");
        empresas.push_back({linea.substr(0, tab), linea.substr(tab + 1), n});
    }
    if (empresas.empty()) throw Error("La lista de empresas " + ruta + " no tiene ninguna");
    return empresas;
}

int EjecutarEmpresas(const Opciones& o, const std::string& programa) {
    const std::string inicio = AhoraIso();
    std::vector<Empresa> empresas = LeerEmpresas(o.empresas);
    if (!o.informe.empty()) ComprobarRutaInforme(o.informe, empresas);
    if (!o.registros.empty()) {
        std::error_code ec;
        if (!fs::is_directory(o.registros, ec))
            throw Error("--registros «" + TextoVisible(o.registros) + "»: la carpeta no existe");
        if (access(o.registros.c_str(), W_OK | X_OK) != 0)
            throw Error("--registros «" + TextoVisible(o.registros) +
                        "»: no se puede escribir en ella: " + std::strerror(errno));
    }
    // With the report on standard output, that stream carries the report alone.
    std::FILE* salida = o.informe == "-" ? stderr : stdout;
    CarpetaPrivada trabajo; // the companies' reports, and their logs unless --registros
    const fs::path registros = o.registros.empty() ? trabajo.Ruta() : fs::path(o.registros);

    std::map<pid_t, std::size_t> enMarcha;
    std::vector<Resultado> r(empresas.size());
    std::size_t siguiente = 0, hechas = 0;
    auto nombre = [&](std::size_t i) {
        return "[" + std::to_string(i + 1) + "/" + std::to_string(empresas.size()) + "] " +
               TextoVisible(empresas[i].origen);
    };
    auto empezar = [&](std::size_t i) {
        r[i].informe = (trabajo.Ruta() / (std::to_string(i + 1) + ".json")).string();
        int fd = AbrirRegistro(registros, i, empresas[i], r[i].registro);
        pid_t pid = Lanzar(programa, o, empresas[i], r[i].informe, fd);
        close(fd);
        r[i].empezada = true;
        enMarcha.emplace(pid, i);
        std::fprintf(salida, "%s -> %s: en marcha (registro en %s)\n", nombre(i).c_str(),
                     TextoVisible(empresas[i].destino).c_str(),
                     TextoVisible(r[i].registro).c_str());
        std::fflush(salida);
    };
    AtenderSenales();
    int pasada = 0; // the signal passed on to the running companies
    std::time_t matarEn = 0;
    while (hechas < siguiente || (!senalRecibida && siguiente < empresas.size())) {
        while (!senalRecibida && siguiente < empresas.size() &&
               enMarcha.size() < static_cast<std::size_t>(o.trabajos)) {
            const std::size_t i = siguiente++;
            try {
                empezar(i);
            } catch (const std::exception& e) {
                // This company cannot start; the others go on.
                r[i].empezada = true;
                r[i].error = e.what();
                ++hechas;
                std::fprintf(salida, "%s: no ha podido empezar: %s\n", nombre(i).c_str(),
                             MensajeVisible(e.what()).c_str());
            }
        }
        if (senalRecibida && !pasada) {
            pasada = senalRecibida;
            for (const auto& [pid, i] : enMarcha)
                kill(pid, pasada);
            matarEn = std::time(nullptr) + kSegundosParaMatar;
        }
        if (pasada && std::time(nullptr) >= matarEn)
            for (const auto& [pid, i] : enMarcha)
                kill(pid, SIGKILL);
        int st = 0;
        alarm(1); // a signal that came just before the wait is seen within a second
        pid_t pid = waitpid(-1, &st, 0);
        alarm(0);
        if (pid < 0) {
            if (errno == EINTR) continue;
            break;
        }
        auto it = enMarcha.find(pid);
        if (it == enMarcha.end()) continue;
        const std::size_t i = it->second;
        enMarcha.erase(it);
        ++hechas;
        r[i].estado = WIFEXITED(st) ? WEXITSTATUS(st) : 128 + WTERMSIG(st);
        std::string detalle;
        try {
            r[i].leido = Informe::Leer(r[i].informe);
            detalle = r[i].leido.error;
        } catch (const std::exception& e) {
            r[i].error = detalle = e.what();
        }
        std::fprintf(salida, "%s: terminada, estado %d%s%s\n", nombre(i).c_str(), r[i].estado,
                     detalle.empty() ? "" : ": ", MensajeVisible(detalle).c_str());
        std::fflush(salida);
    }

    // The summary: one line a company, added/updated/refused per transfer.
    std::vector<std::string> columnas;
    for (const std::string& t : o.traspasos) {
        if (t == "articulos") columnas.push_back("familias");
        columnas.push_back(t);
    }
    std::fprintf(salida, "\nResumen (añadidos/actualizados/rechazados):\n%-40s", "Empresa");
    for (const std::string& c : columnas)
        std::fprintf(salida, " %-16s", c.c_str());
    std::fprintf(salida, " Estado\n");
    int peor = 0;
    for (std::size_t i = 0; i < empresas.size(); ++i) {
        std::fprintf(salida, "%-40s", TextoVisible(empresas[i].origen).c_str());
        for (const std::string& c : columnas)
            std::fprintf(salida, " %-16s", Recuentos(r[i].leido, c).c_str());
        if (r[i].empezada) {
            std::fprintf(salida, " %d\n", r[i].estado);
            peor = std::max(peor, r[i].estado);
        } else {
            std::fprintf(salida, " sin empezar\n");
        }
    }
    if (senalRecibida) {
        std::fprintf(salida, "Interrumpido por la señal %s: %zu empresas sin empezar.\n",
                     senalRecibida == SIGINT   ? "INT (Ctrl+C)"
                     : senalRecibida == SIGHUP ? "HUP (se ha cerrado el terminal)"
                                               : "TERM",
                     empresas.size() - siguiente);
        peor = 128 + senalRecibida;
    }
    // The logs of a run where anything went wrong are kept, and said where.
    if (peor != 0 && o.registros.empty()) {
        trabajo.Conservar();
        std::fprintf(salida, "Los registros de cada empresa quedan en %s\n",
                     TextoVisible(trabajo.Ruta().string()).c_str());
    }
    std::fflush(salida);
    if (!o.informe.empty()) {
        try {
            EscribirInforme(o.informe, InformeConjunto(o, empresas, r, inicio, peor));
        } catch (const std::exception& e) {
            std::fprintf(stderr, "Error: %s\n", MensajeVisible(e.what()).c_str());
            peor = std::max(peor, 2);
        }
    }
    return peor;
}
