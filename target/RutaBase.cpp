#include "RutaBase.h"

#include "Ascii.h"

#include <unistd.h>

namespace {

bool EsLocal(std::string host) {
    auto barra = host.find('/'); // host/port or host/service
    if (barra != std::string::npos) host.erase(barra);
    if (host.size() >= 2 && host.front() == '[' && host.back() == ']')
        host = host.substr(1, host.size() - 2);
    host = ascii::Lower(host);
    if (host == "localhost" || host == "ip6-localhost" || host == "::1" ||
        host.rfind("127.", 0) == 0)
        return true;
    char propio[256] = {};
    return gethostname(propio, sizeof propio - 1) == 0 && host == ascii::Lower(propio);
}

} // namespace

bool RutaBase::EnEstaMaquina() const {
    return servidor.empty() || EsLocal(servidor);
}

RutaBase AnalizarRuta(const std::string& nombre) {
    for (const char* esquema : {"inet://", "inet4://", "inet6://"}) {
        std::string e = esquema;
        if (ascii::Lower(nombre.substr(0, e.size())) != e) continue;
        std::string resto = nombre.substr(e.size());
        auto barra = resto.find('/');
        if (barra == std::string::npos) return {resto, ""};
        std::string host = resto.substr(0, barra);
        if (auto dos = host.rfind(':');
            dos != std::string::npos && host.find(']') == std::string::npos)
            host.erase(dos); // inet://host:port/path
        return {host, resto.substr(barra + 1)};
    }
    // A path that starts at the root is a file here, even when a colon follows in it.
    if (nombre.empty() || nombre[0] == '/' || nombre[0] == '.') return {"", nombre};
    std::size_t dos;
    if (nombre[0] == '[') {
        auto cierre = nombre.find(']');
        dos = cierre == std::string::npos ? std::string::npos : nombre.find(':', cierre);
    } else {
        dos = nombre.find(':');
    }
    if (dos == std::string::npos || dos == 0) return {"", nombre};
    return {nombre.substr(0, dos), nombre.substr(dos + 1)};
}
