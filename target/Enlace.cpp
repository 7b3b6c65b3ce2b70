#include "Enlace.h"

#include <cstdlib>
#include <dirent.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>

namespace {

bool EsSocketTcp(int fd) {
    struct stat st {};
    if (fstat(fd, &st) != 0 || !S_ISSOCK(st.st_mode)) return false;
    int tipo = 0;
    socklen_t n = sizeof tipo;
    if (getsockopt(fd, SOL_SOCKET, SO_TYPE, &tipo, &n) != 0 || tipo != SOCK_STREAM) return false;
    sockaddr_storage a{};
    n = sizeof a;
    if (getsockname(fd, reinterpret_cast<sockaddr*>(&a), &n) != 0) return false;
    return a.ss_family == AF_INET || a.ss_family == AF_INET6;
}

} // namespace

std::set<int> Enlace::SocketsTcp() {
    std::set<int> r;
    DIR* d = opendir("/proc/self/fd");
    if (!d) return r;
    const int propio = dirfd(d);
    while (dirent* e = readdir(d)) {
        char* fin = nullptr;
        long fd = std::strtol(e->d_name, &fin, 10);
        if (fin == e->d_name || *fin != '\0' || fd == propio) continue;
        if (EsSocketTcp(static_cast<int>(fd))) r.insert(static_cast<int>(fd));
    }
    closedir(d);
    return r;
}

void Enlace::AntesDeConectar() {
    std::set<int> antes = SocketsTcp();
    std::lock_guard<std::mutex> l(m_);
    antes_ = std::move(antes);
    propios_.clear();
    conectando_ = true;
}

void Enlace::DespuesDeConectar(bool conectado) {
    std::set<int> ahora = conectado ? SocketsTcp() : std::set<int>();
    std::lock_guard<std::mutex> l(m_);
    conectando_ = false;
    propios_.clear();
    for (int fd : ahora)
        if (!antes_.count(fd)) propios_.push_back(fd);
}

bool Enlace::Cortar() noexcept {
    try {
        std::lock_guard<std::mutex> l(m_);
        std::vector<int> cortar = propios_;
        if (conectando_)
            for (int fd : SocketsTcp())
                if (!antes_.count(fd)) cortar.push_back(fd);
        bool alguno = false;
        for (int fd : cortar)
            alguno = shutdown(fd, SHUT_RDWR) == 0 || alguno;
        return alguno;
    } catch (...) {
        return false; // out of memory listing the descriptors: nothing was shut
    }
}

void Enlace::Olvidar() noexcept {
    std::lock_guard<std::mutex> l(m_);
    propios_.clear();
    conectando_ = false;
}
