#include "Comprobar.h"

#include <fstream>
#include <iterator>

std::string LeerFichero(const std::string& ruta) {
    std::ifstream in(ruta, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::string Mensaje(const std::function<void()>& f) {
    try {
        f();
    } catch (const std::exception& e) {
        return e.what();
    }
    return "(no error)";
}
