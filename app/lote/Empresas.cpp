#include "Empresas.h"

#include "Error.h"
#include "Informe.h"
#include "RutaInforme.h"
#include "TextoVisible.h"

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

struct EnMarcha {
    std::size_t indice;
    std::string informe, registro;
};

// This same program for one company, its output to a log of its own and its report to a file.
pid_t Lanzar(const std::string& programa, const Opciones& o, const Empresa& e, const EnMarcha& m) {
    std::vector<std::string> args = {programa,  "--origen",  e.origen, "--destino",
                                     e.destino, "--informe", m.informe};
    if (o.ensayo) args.push_back("--ensayo");
    if (o.revisar) args.push_back("--revisar");
    if (o.esperarTurno > 0) {
        args.push_back("--esperar-turno");
        args.push_back(std::to_string(o.esperarTurno));
    }
    if (o.confirmarCada != 1) {
        args.push_back("--confirmar-cada");
        args.push_back(std::to_string(o.confirmarCada));
    }
    args.insert(args.end(), o.traspasos.begin(), o.traspasos.end());
    pid_t pid = fork();
    if (pid < 0) throw Error(std::string("No se puede crear un proceso: ") + std::strerror(errno));
    if (pid == 0) {
        setpgid(0, 0);
        prctl(PR_SET_PDEATHSIG, SIGTERM); // the program that ran it died: it stops as on TERM
        int fd = open(m.registro.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        if (fd >= 0) {
            dup2(fd, STDOUT_FILENO);
            dup2(fd, STDERR_FILENO);
        }
        std::vector<char*> argv;
        for (std::string& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
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
    std::vector<Empresa> empresas = LeerEmpresas(o.empresas);
    if (!o.informe.empty()) ComprobarRutaInforme(o.informe, empresas);
    fs::path dir = fs::temp_directory_path() / ("traspaso-empresas-" + std::to_string(getpid()));
    fs::create_directories(dir);
    std::map<pid_t, EnMarcha> enMarcha;
    std::vector<int> estados(empresas.size(), 2);
    std::vector<Informe> informes(empresas.size());
    std::size_t siguiente = 0, hechas = 0;
    auto nombre = [&](std::size_t i) {
        return "[" + std::to_string(i + 1) + "/" + std::to_string(empresas.size()) + "] " +
               TextoVisible(empresas[i].origen);
    };
    AtenderSenales();
    int pasada = 0; // the signal passed on to the running companies
    std::time_t matarEn = 0;
    while (hechas < siguiente || (!senalRecibida && siguiente < empresas.size())) {
        while (!senalRecibida && siguiente < empresas.size() &&
               enMarcha.size() < static_cast<std::size_t>(o.trabajos)) {
            EnMarcha m{siguiente, (dir / (std::to_string(siguiente) + ".json")).string(),
                       (dir / (std::to_string(siguiente) + ".log")).string()};
            pid_t pid = Lanzar(programa, o, empresas[siguiente], m);
            std::printf("%s -> %s: en marcha (registro en %s)\n", nombre(siguiente).c_str(),
                        TextoVisible(empresas[siguiente].destino).c_str(), m.registro.c_str());
            std::fflush(stdout);
            enMarcha.emplace(pid, m);
            ++siguiente;
        }
        if (senalRecibida && !pasada) {
            pasada = senalRecibida;
            for (const auto& [pid, m] : enMarcha)
                kill(pid, pasada);
            matarEn = std::time(nullptr) + kSegundosParaMatar;
        }
        if (pasada && std::time(nullptr) >= matarEn)
            for (const auto& [pid, m] : enMarcha)
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
        EnMarcha m = it->second;
        enMarcha.erase(it);
        ++hechas;
        int estado = WIFEXITED(st) ? WEXITSTATUS(st) : 128 + WTERMSIG(st);
        estados[m.indice] = estado;
        std::string detalle;
        try {
            informes[m.indice] = Informe::Leer(m.informe);
            detalle = informes[m.indice].error;
        } catch (const std::exception& e) {
            detalle = e.what();
        }
        std::printf("%s: terminada, estado %d%s%s\n", nombre(m.indice).c_str(), estado,
                    detalle.empty() ? "" : ": ", MensajeVisible(detalle).c_str());
        std::fflush(stdout);
    }

    // The summary: one line a company, added/updated/refused per transfer.
    std::vector<std::string> columnas;
    for (const std::string& t : o.traspasos) {
        if (t == "articulos") columnas.push_back("familias");
        columnas.push_back(t);
    }
    std::printf("\nResumen (añadidos/actualizados/rechazados):\n%-40s", "Empresa");
    for (const std::string& c : columnas)
        std::printf(" %-16s", c.c_str());
    std::printf(" Estado\n");
    int peor = 0;
    for (std::size_t i = 0; i < empresas.size(); ++i) {
        std::printf("%-40s", TextoVisible(empresas[i].origen).c_str());
        for (const std::string& c : columnas)
            std::printf(" %-16s", Recuentos(informes[i], c).c_str());
        if (i < siguiente) {
            std::printf(" %d\n", estados[i]);
            peor = std::max(peor, estados[i]);
        } else {
            std::printf(" sin empezar\n");
        }
    }
    if (senalRecibida) {
        std::printf("Interrumpido por la señal %s: %zu empresas sin empezar.\n",
                    senalRecibida == SIGINT   ? "INT (Ctrl+C)"
                    : senalRecibida == SIGHUP ? "HUP (se ha cerrado el terminal)"
                                              : "TERM",
                    empresas.size() - siguiente);
        peor = 128 + senalRecibida;
    }
    std::fflush(stdout);
    return peor;
}
