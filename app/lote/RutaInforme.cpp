#include "RutaInforme.h"

#include "Empresas.h"
#include "Error.h"
#include "TDatos.h"
#include "TextoVisible.h"

#include <nlohmann/json.hpp>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

constexpr std::uintmax_t kInformeMaximo = 64 * 1024 * 1024;

std::string Entre(const std::string& ruta) {
    return "«" + TextoVisible(ruta) + "»";
}

bool MismoFichero(const std::string& a, const std::string& b) {
    struct stat sa {
    }, sb{};
    return stat(a.c_str(), &sa) == 0 && stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
           sa.st_ino == sb.st_ino;
}

fs::path Absoluta(const std::string& ruta) {
    std::error_code ec;
    fs::path p = fs::weakly_canonical(fs::absolute(ruta, ec), ec);
    return ec ? fs::absolute(ruta).lexically_normal() : p;
}

// Whether the folder `dentro` is `carpeta` or lies under it, following what the disk says
// (links, other names of the same folder), not only how the paths are written.
bool DentroDe(const fs::path& dentro, const std::string& carpeta) {
    struct stat sc {};
    if (stat(carpeta.c_str(), &sc) == 0) {
        for (fs::path p = dentro;; p = p.parent_path()) {
            struct stat sp {};
            if (stat(p.c_str(), &sp) == 0 && sp.st_dev == sc.st_dev && sp.st_ino == sc.st_ino)
                return true;
            if (p == p.parent_path()) break;
        }
    }
    const fs::path c = Absoluta(carpeta);
    auto [fin, _] = std::mismatch(c.begin(), c.end(), dentro.begin(), dentro.end());
    return fin == c.end();
}

bool EsUnInforme(const fs::path& ruta) {
    std::error_code ec;
    if (fs::file_size(ruta, ec) > kInformeMaximo || ec) return false;
    std::ifstream f(ruta);
    nlohmann::json j = nlohmann::json::parse(f, nullptr, false);
    return j.is_object() && j.value("programa", "") == "traspaso-maestros-lote";
}

} // namespace

void ComprobarRutaInforme(const std::string& ruta, const std::vector<Empresa>& empresas) {
    if (ruta == "-") return;
    const fs::path p = Absoluta(ruta);
    const std::string cabeza = "--informe " + Entre(ruta) + ": ";
    for (const Empresa& e : empresas) {
        TDatos::FicheroDestino d = TDatos::FicheroDelDestino(e.destino);
        bool mismo = d.enEstaMaquina && MismoFichero(d.ruta, ruta);
        if (!mismo && !d.ruta.empty())
            mismo = d.servidor ? fs::path(d.ruta).lexically_normal() == p : Absoluta(d.ruta) == p;
        if (mismo)
            throw Error(cabeza + "es la base de datos de destino " + Entre(e.destino) +
                        ", y el informe la sustituiría. Elija otro fichero para el informe.");
        if (DentroDe(p.parent_path(), e.origen))
            throw Error(cabeza + "está dentro de la carpeta de FacturaPlus " + Entre(e.origen) +
                        ", que este programa solo lee. Elija otro sitio para el informe.");
    }
    std::error_code ec;
    fs::file_status st = fs::status(p, ec);
    if (fs::exists(st)) {
        if (fs::is_directory(st)) throw Error(cabeza + "es una carpeta, no un fichero.");
        if (!fs::is_regular_file(st) || !EsUnInforme(p))
            throw Error(cabeza + "ya existe y no es un informe de este programa; no se "
                                 "sobrescribe. Elija otro nombre, o bórrelo usted si sobra.");
    }
    const fs::path carpeta = p.parent_path();
    if (!fs::is_directory(carpeta, ec))
        throw Error(cabeza + "la carpeta " + Entre(carpeta.string()) + " no existe.");
    if (access(carpeta.c_str(), W_OK | X_OK) != 0)
        throw Error(cabeza + "no se puede escribir en la carpeta " + Entre(carpeta.string()) +
                    ": " + std::strerror(errno) + ".");
}

void EscribirInforme(const std::string& ruta, const std::string& texto) {
    if (ruta == "-") {
        std::fwrite(texto.data(), 1, texto.size(), stdout);
        std::fflush(stdout);
        return;
    }
    const fs::path p = fs::absolute(ruta);
    std::string temporal = (p.parent_path() / ("." + p.filename().string() + ".XXXXXX")).string();
    auto fallo = [&](const std::string& que) {
        return Error("No se ha podido escribir el informe " + Entre(ruta) + ": " + que);
    };
    int fd = mkstemp(temporal.data());
    if (fd < 0) throw fallo(std::strerror(errno));
    std::size_t hecho = 0;
    int error = 0;
    while (hecho < texto.size() && error == 0) {
        ssize_t n = write(fd, texto.data() + hecho, texto.size() - hecho);
        if (n > 0)
            hecho += static_cast<std::size_t>(n);
        else if (n < 0 && errno != EINTR)
            error = errno;
    }
    if (error == 0 && fchmod(fd, 0644) != 0) error = errno;
    if (error == 0 && fsync(fd) != 0) error = errno;
    if (close(fd) != 0 && error == 0) error = errno;
    if (error == 0 && rename(temporal.c_str(), p.c_str()) != 0) error = errno;
    if (error != 0) {
        unlink(temporal.c_str());
        throw fallo(std::strerror(error));
    }
}
