#include "Hijo.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <poll.h>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

using Reloj = std::chrono::steady_clock;

// The current environment with the given NAME=value entries in place of their namesakes.
std::vector<std::string> Entorno(const std::vector<std::string>& extra) {
    std::vector<std::string> r;
    for (char** e = environ; *e; ++e) {
        std::string v = *e;
        std::string nombre = v.substr(0, v.find('='));
        bool sustituida = false;
        for (const std::string& x : extra)
            sustituida |= x.substr(0, x.find('=')) == nombre;
        if (!sustituida) r.push_back(v);
    }
    r.insert(r.end(), extra.begin(), extra.end());
    return r;
}

std::vector<char*> Punteros(std::vector<std::string>& v) {
    std::vector<char*> p;
    for (std::string& s : v)
        p.push_back(s.data());
    p.push_back(nullptr);
    return p;
}

} // namespace

Hijo EjecutarConPlazo(const std::vector<std::string>& argv, const std::vector<std::string>& extra,
                      std::chrono::seconds plazo) {
    std::vector<std::string> args = argv;
    std::vector<std::string> entorno = Entorno(extra);
    std::vector<char*> pa = Punteros(args), pe = Punteros(entorno);
    int fds[2];
    if (pipe(fds) != 0) throw std::runtime_error("pipe failed");
    pid_t pid = fork();
    if (pid < 0) throw std::runtime_error("fork failed");
    if (pid == 0) {
        dup2(fds[1], STDOUT_FILENO);
        dup2(fds[1], STDERR_FILENO);
        close(fds[0]);
        close(fds[1]);
        execve(pa[0], pa.data(), pe.data());
        _exit(127);
    }
    close(fds[1]);
    Hijo r;
    const auto limite = Reloj::now() + plazo;
    bool fin = false;
    while (!fin) {
        auto quedan = std::chrono::duration_cast<std::chrono::milliseconds>(limite - Reloj::now());
        if (quedan.count() <= 0) break;
        pollfd p{fds[0], POLLIN, 0};
        int n = poll(&p, 1, static_cast<int>(quedan.count()));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        char buffer[4096];
        ssize_t leidos = read(fds[0], buffer, sizeof buffer);
        if (leidos > 0)
            r.salida.append(buffer, static_cast<std::size_t>(leidos));
        else
            fin = true; // the child closed its output: it has ended
    }
    close(fds[0]);
    if (!fin) kill(pid, SIGKILL);
    int estado = 0;
    waitpid(pid, &estado, 0);
    r.terminado = fin && WIFEXITED(estado);
    if (r.terminado) r.estado = WEXITSTATUS(estado);
    return r;
}
