#include "Medida.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <spawn.h>
#include <sstream>
#include <stdexcept>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

constexpr int kCanal = 3; // the descriptor a child reports through

std::string LeerTodo(int fd) {
    std::string s;
    char b[4096];
    ssize_t n;
    while ((n = read(fd, b, sizeof b)) != 0) {
        if (n < 0) {
            if (errno == EINTR) continue;
            break;
        }
        s.append(b, static_cast<std::size_t>(n));
    }
    return s;
}

void Escribir(const std::string& s) {
    const char* p = s.data();
    std::size_t quedan = s.size();
    while (quedan > 0) {
        ssize_t n = write(kCanal, p, quedan);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return; // no parent listening: nothing else to tell
        p += n;
        quedan -= static_cast<std::size_t>(n);
    }
}

} // namespace

Resumen Resumir(std::vector<double> v) {
    Resumen r;
    if (v.empty()) return r;
    std::sort(v.begin(), v.end());
    std::size_t n = v.size();
    r.mediana = n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
    r.minimo = v.front();
    r.maximo = v.back();
    r.muestras = static_cast<int>(n);
    return r;
}

std::string Texto(const Resumen& r, int decimales) {
    char b[96];
    if (r.muestras <= 1)
        std::snprintf(b, sizeof b, "%.*f", decimales, r.mediana);
    else
        std::snprintf(b, sizeof b, "%.*f [%.*f–%.*f]", decimales, r.mediana, decimales, r.minimo,
                      decimales, r.maximo);
    return b;
}

Resultado EjecutarHijo(const std::string& programa, const std::vector<std::string>& argumentos,
                       const std::string& errores) {
    int tubo[2];
    if (pipe2(tubo, O_CLOEXEC) != 0)
        throw std::runtime_error("pipe: " + std::string(strerror(errno)));

    std::vector<std::string> args{programa};
    args.insert(args.end(), argumentos.begin(), argumentos.end());
    std::vector<char*> argv;
    for (auto& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t acciones;
    posix_spawn_file_actions_init(&acciones);
    posix_spawn_file_actions_adddup2(&acciones, tubo[1], kCanal);
    posix_spawn_file_actions_addopen(&acciones, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    if (!errores.empty())
        posix_spawn_file_actions_addopen(&acciones, STDERR_FILENO, errores.c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0644);

    auto inicio = std::chrono::steady_clock::now();
    pid_t pid = 0;
    int e = posix_spawn(&pid, programa.c_str(), &acciones, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&acciones);
    close(tubo[1]);
    if (e != 0) {
        close(tubo[0]);
        throw std::runtime_error("cannot run " + programa + ": " + strerror(e));
    }
    std::string informe = LeerTodo(tubo[0]);
    close(tubo[0]);
    int estado = 0;
    struct rusage uso {};
    while (wait4(pid, &estado, 0, &uso) < 0 && errno == EINTR) {
    }
    Resultado r;
    r.pared = std::chrono::duration<double>(std::chrono::steady_clock::now() - inicio).count();
    r.picoMb = static_cast<double>(uso.ru_maxrss) / 1024.0;
    int salida = WIFEXITED(estado) ? WEXITSTATUS(estado) : 128 + WTERMSIG(estado);
    if (informe.rfind("ok", 0) == 0) {
        std::istringstream in(informe.substr(2));
        double v;
        while (in >> v)
            r.valores.push_back(v);
        r.ok = salida == 0;
        if (!r.ok) r.error = "exit status " + std::to_string(salida);
    } else if (informe.rfind("error ", 0) == 0) {
        r.error = informe.substr(6);
    } else if (informe.empty()) {
        r.valores = {static_cast<double>(salida)};
        r.ok = WIFEXITED(estado);
        if (!r.ok) r.error = "killed by signal " + std::to_string(WTERMSIG(estado));
    } else {
        r.error = "unreadable report: " + informe;
    }
    return r;
}

void InformarAlPadre(const std::vector<double>& valores) {
    std::string s = "ok";
    char b[64];
    for (double v : valores) {
        std::snprintf(b, sizeof b, " %.9g", v);
        s += b;
    }
    Escribir(s + "\n");
}

void InformarFalloAlPadre(const std::string& error) {
    Escribir("error " + error + "\n");
}
