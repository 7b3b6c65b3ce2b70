#include "Texto.h"

#include "Utf8.h"

namespace {
bool Blanco(char c) {
    return static_cast<unsigned char>(c) <= 32;
}
} // namespace

std::string Primeros(const std::string& s, std::size_t n) {
    return utf8::FirstChars(s, n);
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
