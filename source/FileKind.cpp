#include "FileKind.h"

#include "Printable.h"

#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

std::string SystemError(int error) {
    switch (error) {
    case EACCES:
    case EPERM:
        return "no hay permiso para leerlo";
    case ENOENT:
        return "no existe";
    case ENOTDIR:
        return "una parte de la ruta no es una carpeta";
    case ENAMETOOLONG:
        return "la ruta es demasiado larga";
    case EMFILE:
    case ENFILE:
        return "hay demasiados ficheros abiertos";
    case EIO:
        return "error de entrada/salida del disco";
    case ENOMEM:
        return "no hay memoria";
    case ESTALE:
        return "el fichero de red ya no es válido";
    default:
        return std::string(std::strerror(error)) + " (error " + std::to_string(error) + ")";
    }
}

std::string NonRegularKind(mode_t mode) {
    if (S_ISDIR(mode)) return "es una carpeta, no un fichero";
    const char* kind = S_ISFIFO(mode)   ? "una tubería (FIFO)"
                       : S_ISCHR(mode)  ? "un dispositivo de caracteres"
                       : S_ISBLK(mode)  ? "un dispositivo de bloques"
                       : S_ISSOCK(mode) ? "un socket"
                                        : "un fichero especial";
    return std::string("no es un fichero normal: es ") + kind;
}

std::string NotARegularFile(const std::string& path) {
    struct stat st {};
    if (stat(path.c_str(), &st) == 0) return S_ISREG(st.st_mode) ? "" : NonRegularKind(st.st_mode);
    int e = errno;
    struct stat link {};
    if (e == ENOENT && lstat(path.c_str(), &link) == 0 && S_ISLNK(link.st_mode)) {
        char target[4096];
        ssize_t n = readlink(path.c_str(), target, sizeof target);
        std::string to = n > 0 ? printable::Utf8(std::string_view(target, n)) : "?";
        return "es un enlace roto: apunta a «" + to + "», que no existe";
    }
    if (e == ELOOP) return "es un enlace que acaba apuntando a sí mismo";
    if (e == ENOENT) return "no existe";
    return "no se puede consultar: " + SystemError(e);
}
