#include "Win1252.h"

#include "Error.h"
#include "Utf8.h"
#include "Valores.h"

#include <array>
#include <cstdint>
#include <cstdio>

namespace {

// Code points of the bytes 0x80..0x9F; 0 marks the five bytes Windows-1252 leaves undefined.
constexpr std::array<char32_t, 32> kAlto = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

std::string Describe(char32_t cp) {
    char codigo[16];
    std::snprintf(codigo, sizeof codigo, "U+%04X", static_cast<unsigned>(cp));
    std::string texto;
    utf8::Append(texto, cp);
    return "'" + texto + "' (" + codigo + ")";
}

} // namespace

std::string Utf8ToCp1252(std::string_view utf8, std::string_view donde1, std::string_view nombre) {
    auto donde = [&] { return std::string(donde1) + std::string(nombre); };
    std::string out;
    out.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size();) {
        // ASCII is the same bytes in Windows-1252, and most of any text: its runs go whole.
        std::size_t ascii = i;
        while (ascii < utf8.size() && static_cast<unsigned char>(utf8[ascii]) < 0x80)
            ++ascii;
        out.append(utf8.data() + i, ascii - i);
        if ((i = ascii) == utf8.size()) break;
        char32_t cp = 0;
        if (!utf8::Next(utf8, i, cp))
            throw ValorNoAdmitido(donde() + ": el texto no es UTF-8 válido (byte " +
                                  std::to_string(i) + ")");
        if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) {
            out += static_cast<char>(cp);
            continue;
        }
        std::size_t k = 0;
        while (k < kAlto.size() && (kAlto[k] == 0 || kAlto[k] != cp))
            ++k;
        if (k == kAlto.size())
            throw ValorNoAdmitido(
                donde() + ": el carácter " + Describe(cp) +
                " no existe en el juego de caracteres Windows-1252 de la base de datos");
        out += static_cast<char>(0x80 + k);
    }
    return out;
}

std::string Cp1252ToUtf8(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size() + bytes.size() / 8);
    for (char c : bytes) {
        auto b = static_cast<unsigned char>(c);
        char32_t cp = b;
        if (b >= 0x80 && b < 0xA0 && kAlto[b - 0x80] != 0) cp = kAlto[b - 0x80];
        utf8::Append(out, cp);
    }
    return out;
}
