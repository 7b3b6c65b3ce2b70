#include "Texto.h"

namespace {
bool Blanco(char c) {
    return static_cast<unsigned char>(c) <= 32;
}
} // namespace

std::string Primeros(const std::string& s, std::size_t n) {
    std::size_t i = 0, chars = 0;
    while (i < s.size() && chars < n) {
        ++i;
        while (i < s.size() && (static_cast<unsigned char>(s[i]) & 0xC0) == 0x80)
            ++i;
        ++chars;
    }
    return s.substr(0, i);
}

std::string SinIniciales(const std::string& s) {
    std::size_t b = 0;
    while (b < s.size() && Blanco(s[b]))
        ++b;
    return s.substr(b);
}

std::string Recortado(const std::string& s) {
    std::string r = SinIniciales(s);
    while (!r.empty() && Blanco(r.back()))
        r.pop_back();
    return r;
}
