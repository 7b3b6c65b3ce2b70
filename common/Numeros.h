#pragma once
// Numbers to and from text the same way whatever the process's locale. The window's toolkit
// takes the locale from the environment at start, and with a Spanish one the C library's strtod
// reads "12.50" as 12 (it stops at the point) and printf writes 12.5 as "12,5": the prices of a
// dBase table, whose numbers always use a point, would lose their decimals.
#include <charconv>
#include <cstdlib>
#include <locale.h>
#include <optional>
#include <string>
#include <string_view>

namespace numeros {

// The whole of `s` as strtod reads a decimal number in the "C" locale: blanks (spaces, not tabs
// or line ends) before it, an optional sign, digits with an optional point, an optional
// exponent. nullopt when anything else is left over or there is no number. A value too large for a
// double is an infinity, as strtod gives it: callers that cannot take one say so.
inline std::optional<double> Leer(std::string_view s) {
    std::size_t i = 0;
    while (i < s.size() && s[i] == ' ')
        ++i;
    s.remove_prefix(i);
    // from_chars takes a minus but not a plus.
    std::string_view cifras = s;
    if (!cifras.empty() && cifras[0] == '+') {
        cifras.remove_prefix(1);
        if (!cifras.empty() && cifras[0] == '-') return std::nullopt;
    }
    // Neither "inf", "nan" nor hexadecimal: a number written by a person or a dBase writer.
    if (cifras.find_first_not_of("+-.0123456789eE") != std::string_view::npos) return std::nullopt;
    double v = 0;
    auto [fin, error] = std::from_chars(cifras.data(), cifras.data() + cifras.size(), v,
                                        std::chars_format::general);
    if (error == std::errc::invalid_argument || fin != cifras.data() + cifras.size())
        return std::nullopt;
    if (error == std::errc::result_out_of_range) {
        // Overflow or underflow: the value strtod gives (an infinity, or 0 and the subnormals),
        // asked of it in the "C" locale whatever the process's is.
        static const locale_t c = newlocale(LC_ALL_MASK, "C", locale_t{});
        std::string texto(cifras);
        return strtod_l(texto.c_str(), nullptr, c);
    }
    return v;
}

// `v` as printf's "%.*g" writes it in the "C" locale: `cifras` significant digits, a point.
inline std::string Escribir(double v, int cifras) {
    char b[64];
    auto [fin, error] = std::to_chars(b, b + sizeof b, v, std::chars_format::general, cifras);
    if (error != std::errc()) return "?"; // 64 characters hold any double at 17 digits
    return std::string(b, fin);
}

} // namespace numeros
