#include "Reglas.h"

#include "Utf8.h"

namespace {

bool Blanco(char c) {
    return static_cast<unsigned char>(c) <= 32;
}

std::string SinFinales(std::string s) {
    while (!s.empty() && s.back() == ' ')
        s.pop_back();
    return s;
}

bool SonDigitos(const std::string& s, std::size_t n) {
    if (s.size() != n) return false;
    for (char c : s)
        if (c < '0' || c > '9') return false;
    return true;
}

// The weights 1, 2, 4, 8, 5, 10, 9, 7, 3, 6 over ten digits; 11 is written 0 and 10 is 1.
char Digito(const std::string& diez) {
    static constexpr int kPesos[10] = {1, 2, 4, 8, 5, 10, 9, 7, 3, 6};
    int suma = 0;
    for (int i = 0; i < 10; ++i)
        suma += (diez[i] - '0') * kPesos[i];
    int d = 11 - suma % 11;
    if (d == 11) d = 0;
    if (d == 10) d = 1;
    return static_cast<char>('0' + d);
}

} // namespace

std::string Primeros(const std::string& s, std::size_t n) {
    return utf8::FirstChars(s, n);
}

std::string_view SinIniciales(std::string_view s) {
    std::size_t b = 0;
    while (b < s.size() && Blanco(s[b]))
        ++b;
    return s.substr(b);
}

std::string SinIniciales(const std::string& s) {
    return std::string(SinIniciales(std::string_view(s)));
}

std::string Recortado(const std::string& s) {
    std::string r = SinIniciales(s);
    while (!r.empty() && Blanco(r.back()))
        r.pop_back();
    return r;
}

std::string Pais(const std::string& nacion) {
    return nacion == "ESPA" ? "ESPAÑA" : nacion;
}

std::optional<int32_t> DiaFijo(int32_t dia) {
    if (dia != 0 && dia <= 31) return dia;
    return std::nullopt;
}

std::optional<std::string> DigitosControl(const std::string& entidad, const std::string& sucursal,
                                          const std::string& cuenta) {
    std::string e = SinFinales(entidad), s = SinFinales(sucursal), c = SinFinales(cuenta);
    if (!SonDigitos(e, 4) || !SonDigitos(s, 4) || !SonDigitos(c, 10)) return std::nullopt;
    return std::string{Digito("00" + e + s), Digito(c)};
}

int32_t TipoCodigoBarras(int32_t tipo) {
    switch (tipo) {
    case 2:
        return 1;
    case 3:
        return 3;
    case 4:
        return 7;
    default:
        return 0;
    }
}
