#include "Proceso.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <poll.h>
#include <pthread.h>
#include <stdexcept>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

bool Quitada(const std::string& variable, const std::vector<std::string>& quitar) {
    std::string nombre = variable.substr(0, variable.find('='));
    for (const std::string& q : quitar) {
        if (!q.empty() && q.back() == '*') {
            if (nombre.rfind(q.substr(0, q.size() - 1), 0) == 0) return true;
        } else if (nombre == q) {
            return true;
        }
    }
    return false;
}

std::vector<std::string> Entorno(const Proceso::Opciones& o) {
    std::vector<std::string> quitar = o.quitar;
    for (const std::string& p : o.poner)
        quitar.push_back(p.substr(0, p.find('=')));
    std::vector<std::string> e;
    for (char** v = environ; *v; ++v)
        if (!Quitada(*v, quitar)) e.emplace_back(*v);
    e.insert(e.end(), o.poner.begin(), o.poner.end());
    return e;
}

std::vector<char*> Punteros(std::vector<std::string>& v) {
    std::vector<char*> p;
    for (std::string& s : v)
        p.push_back(s.data());
    p.push_back(nullptr);
    return p;
}

// The line as a terminal leaves it: what follows its last carriage return.
std::string Visible(std::string linea) {
    while (!linea.empty() && linea.back() == '\r')
        linea.pop_back();
    std::size_t cr = linea.rfind('\r');
    return cr == std::string::npos ? linea : linea.substr(cr + 1);
}

} // namespace

std::size_t UltimoProgreso(const std::string& texto) {
    // The bar is "... [####    ] K/N  ..."; a K not yet followed by its "/" may be cut short.
    for (std::size_t p = texto.rfind("] "); p != std::string::npos && p > 0;
         p = texto.rfind("] ", p - 1)) {
        std::size_t i = p + 2, k = 0;
        bool cifras = false;
        while (i < texto.size() && texto[i] >= '0' && texto[i] <= '9') {
            k = k * 10 + static_cast<std::size_t>(texto[i] - '0');
            ++i;
            cifras = true;
        }
        if (cifras && i < texto.size() && texto[i] == '/') return k;
    }
    return 0;
}

std::vector<std::string> Fin::Lineas(const std::string& prefijo) const {
    std::vector<std::string> r;
    std::size_t inicio = 0;
    while (inicio < err.size()) {
        std::size_t fin = err.find('\n', inicio);
        if (fin == std::string::npos) fin = err.size();
        std::string l = Visible(err.substr(inicio, fin - inicio));
        if (l.rfind(prefijo, 0) == 0) r.push_back(l);
        inicio = fin + 1;
    }
    return r;
}

std::vector<std::string> Fin::Errores() const {
    std::vector<std::string> r = Lineas("Error: ");
    for (const std::string& l : Lineas("Error al cerrar: "))
        r.push_back(l);
    return r;
}

std::string Fin::Todo() const {
    std::string e;
    for (const std::string& l : Lineas(""))
        if (l.find("] ") == std::string::npos || l.find(" reg/s") == std::string::npos)
            e += l + "\n";
    return "estado " + std::to_string(estado) + ", señal " + std::to_string(senal) +
           (colgado ? ", COLGADO" : "") + ", " + std::to_string(segundos) + " s\n--- salida\n" +
           out + "--- errores\n" + e;
}

Proceso::Proceso(const Opciones& o) {
    std::vector<std::string> args = o.argv;
    std::vector<std::string> entorno = Entorno(o);
    std::vector<char*> argv = Punteros(args);
    std::vector<char*> envp = Punteros(entorno);

    int salida[2];
    if (pipe2(salida, O_CLOEXEC) != 0) throw std::runtime_error("pipe");
    int errores[2] = {-1, -1};
    std::string esclavo;
    if (o.terminal) {
        int maestro = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (maestro < 0 || grantpt(maestro) != 0 || unlockpt(maestro) != 0)
            throw std::runtime_error("posix_openpt");
        esclavo = ptsname(maestro);
        errores[0] = maestro;
    } else if (pipe2(errores, O_CLOEXEC) != 0) {
        throw std::runtime_error("pipe");
    }
    argv0_ = o.argv.empty() ? "" : o.argv[0];
    marca_ = std::chrono::steady_clock::now();
    // A signal sent at once must find the program's own dispositions, not this process's (the
    // client library handles SIGINT and SIGTERM here): held back until the child has reset them.
    sigset_t todas, antes;
    sigfillset(&todas);
    pthread_sigmask(SIG_SETMASK, &todas, &antes);
    pid_ = fork();
    if (pid_ != 0) pthread_sigmask(SIG_SETMASK, &antes, nullptr);
    if (pid_ < 0) throw std::runtime_error("fork");
    if (pid_ > 0 && o.grupo) setpgid(pid_, pid_); // both sides: a signal may follow at once
    if (pid_ == 0) {
        // Only async-signal-safe calls from here to exec: the test process has threads.
        for (int s = 1; s < NSIG; ++s)
            if (s != SIGKILL && s != SIGSTOP) signal(s, SIG_DFL);
        sigset_t ninguna;
        sigemptyset(&ninguna);
        sigprocmask(SIG_SETMASK, &ninguna, nullptr);
        prctl(PR_SET_PDEATHSIG, SIGKILL); // never outlives a test that dies
        if (o.grupo) setpgid(0, 0);
        int nulo = open("/dev/null", O_RDONLY);
        dup2(nulo, STDIN_FILENO);
        dup2(salida[1], STDOUT_FILENO);
        int e = o.terminal ? open(esclavo.c_str(), O_RDWR | O_NOCTTY) : errores[1];
        dup2(e, STDERR_FILENO);
        execve(argv[0], argv.data(), envp.data());
        _exit(127);
    }
    close(salida[1]);
    if (errores[1] >= 0) close(errores[1]);
    out_ = salida[0];
    err_ = errores[0];
    if (pipe2(despertar_, O_CLOEXEC) != 0) throw std::runtime_error("pipe");
    lector_ = std::thread([this] { Leer(); });
}

Proceso::~Proceso() {
    if (!esperado_) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
    if (lector_.joinable()) lector_.join();
    close(despertar_[0]);
    close(despertar_[1]);
}

void Proceso::Leer() {
    pollfd fds[3] = {{out_, POLLIN, 0}, {err_, POLLIN, 0}, {despertar_[0], POLLIN, 0}};
    char buf[8192];
    while (fds[0].fd >= 0 || fds[1].fd >= 0) {
        {
            std::lock_guard<std::mutex> l(m_);
            fds[1].events = pausa_ ? 0 : POLLIN; // a hang-up is reported all the same
        }
        if (poll(fds, 3, -1) < 0) {
            if (errno == EINTR) continue;
            break;
        }
        if (fds[2].revents) {
            char c;
            (void)!read(despertar_[0], &c, 1);
        }
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || fds[i].revents == 0) continue;
            ssize_t n = read(fds[i].fd, buf, sizeof buf);
            if (n > 0) {
                std::lock_guard<std::mutex> l(m_);
                (i == 0 ? out_texto_ : err_texto_).append(buf, static_cast<std::size_t>(n));
                cambio_.notify_all();
            } else if (n == 0 || (errno != EINTR && errno != EAGAIN)) {
                // End of file; a terminal says EIO once the program has closed its side.
                close(fds[i].fd);
                fds[i].fd = -1;
            }
        }
    }
    std::lock_guard<std::mutex> l(m_);
    cerrado_ = true;
    final_ = std::chrono::steady_clock::now();
    cambio_.notify_all();
}

void Proceso::LeerError(bool si) {
    {
        std::lock_guard<std::mutex> l(m_);
        pausa_ = !si;
    }
    char c = 0;
    (void)!write(despertar_[1], &c, 1);
}

bool Proceso::EsperarBloqueadoEscribiendo(Plazo plazo) {
    // /proc/PID/syscall: the number of the call the main thread is blocked in, then its
    // arguments; write(2, ...) is the bar waiting for room on the terminal.
    auto hasta = std::chrono::steady_clock::now() +
                 std::chrono::duration_cast<std::chrono::steady_clock::duration>(plazo);
    std::string ruta = "/proc/" + std::to_string(pid_) + "/syscall";
    while (std::chrono::steady_clock::now() < hasta) {
        std::ifstream f(ruta);
        long numero = -1;
        std::string fd;
        if (f >> numero >> fd && numero == SYS_write && fd == "0x2") return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(5)); // polling, bounded by `hasta`
    }
    return false;
}

void Proceso::Senal(int s) {
    if (!esperado_) kill(pid_, s);
}

void Proceso::SenalAlGrupo(int s) {
    if (!esperado_) kill(-pid_, s);
}

bool Proceso::EsperarArranque(Plazo plazo) {
    auto hasta = std::chrono::steady_clock::now() +
                 std::chrono::duration_cast<std::chrono::steady_clock::duration>(plazo);
    std::string enlace = "/proc/" + std::to_string(pid_) + "/exe";
    while (std::chrono::steady_clock::now() < hasta) {
        std::error_code ec;
        if (std::filesystem::read_symlink(enlace, ec) == argv0_) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(1)); // polling, bounded by `hasta`
    }
    return false;
}

void Proceso::Marcar() {
    std::lock_guard<std::mutex> l(m_);
    marca_ = std::chrono::steady_clock::now();
}

bool Proceso::Esperar(
    const std::function<bool(const std::string& out, const std::string& err)>& hecho, Plazo plazo) {
    std::unique_lock<std::mutex> l(m_);
    auto hasta = std::chrono::steady_clock::now() +
                 std::chrono::duration_cast<std::chrono::steady_clock::duration>(plazo);
    cambio_.wait_until(l, hasta, [&] { return hecho(out_texto_, err_texto_) || cerrado_; });
    return hecho(out_texto_, err_texto_);
}

bool Proceso::EsperarSalida(const std::string& texto, Plazo plazo) {
    return Esperar([&](const std::string& o,
                       const std::string&) { return o.find(texto) != std::string::npos; },
                   plazo);
}

bool Proceso::EsperarError(const std::string& texto, Plazo plazo) {
    return Esperar([&](const std::string&,
                       const std::string& e) { return e.find(texto) != std::string::npos; },
                   plazo);
}

std::size_t Proceso::EsperarProgreso(std::size_t k, Plazo plazo) {
    Esperar([&](const std::string&, const std::string& e) { return UltimoProgreso(e) >= k; },
            plazo);
    return Progreso();
}

std::size_t Proceso::Progreso() const {
    std::lock_guard<std::mutex> l(m_);
    return UltimoProgreso(err_texto_);
}

Fin Proceso::Terminar(Plazo plazo) {
    Fin f;
    {
        std::unique_lock<std::mutex> l(m_);
        auto hasta = std::chrono::steady_clock::now() +
                     std::chrono::duration_cast<std::chrono::steady_clock::duration>(plazo);
        if (!cambio_.wait_until(l, hasta, [&] { return cerrado_; })) {
            f.colgado = true;
            kill(pid_, SIGKILL);
            cambio_.wait(l, [&] { return cerrado_; });
        }
    }
    int st = 0;
    waitpid(pid_, &st, 0);
    esperado_ = true;
    if (lector_.joinable()) lector_.join();
    std::lock_guard<std::mutex> l(m_);
    if (WIFEXITED(st)) f.estado = WEXITSTATUS(st);
    if (WIFSIGNALED(st)) f.senal = WTERMSIG(st);
    f.segundos = std::chrono::duration<double>(final_ - marca_).count();
    f.out = out_texto_;
    f.err = err_texto_;
    // FALLOS_VER=1 shows every run, to look at what the program said when a test passes.
    if (const char* ver = std::getenv("FALLOS_VER"); ver && std::string(ver) == "1")
        std::printf("=== %s\n%s\n", argv0_.c_str(), f.Todo().c_str());
    return f;
}
