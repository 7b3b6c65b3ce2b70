#pragma once
// A value from the data (a code, a name, a text a column refused) shown inside a message for
// the operator: control characters would act on the terminal or the log that shows it (an
// escape sequence retitles the window or paints the screen, a line break forges a line of its
// own), so each is written as its number. Bytes that are not UTF-8 are shown the same way.
#include "Utf8.h"

#include <cstdio>
#include <string>
#include <string_view>

inline std::string TextoVisible(std::string_view texto) {
    std::string out;
    out.reserve(texto.size());
    char b[16];
    for (std::size_t i = 0; i < texto.size();) {
        std::size_t inicio = i;
        char32_t cp = 0;
        if (!utf8::Next(texto, i, cp)) {
            std::snprintf(b, sizeof b, "<0x%02X>", static_cast<unsigned char>(texto[i]));
            out += b;
            ++i;
            continue;
        }
        // C0 and C1 controls, DEL, and the marks that reorder or break a line of text.
        bool control = cp < 0x20 || (cp >= 0x7F && cp <= 0x9F) || cp == 0x2028 || cp == 0x2029 ||
                       (cp >= 0x200E && cp <= 0x200F) || (cp >= 0x202A && cp <= 0x202E) ||
                       (cp >= 0x2066 && cp <= 0x2069);
        if (!control) {
            out.append(texto.substr(inicio, i - inicio));
        } else if (cp < 0x100) {
            std::snprintf(b, sizeof b, "<0x%02X>", static_cast<unsigned>(cp));
            out += b;
        } else {
            std::snprintf(b, sizeof b, "<U+%04X>", static_cast<unsigned>(cp));
            out += b;
        }
    }
    return out;
}

// The same for a whole message whose own line breaks are kept: every other control character
// is shown by its number.
inline std::string MensajeVisible(std::string_view texto) {
    std::string out;
    std::size_t inicio = 0;
    for (std::size_t fin; (fin = texto.find('\n', inicio)) != std::string_view::npos;
         inicio = fin + 1)
        out += TextoVisible(texto.substr(inicio, fin - inicio)) + "\n";
    return out + TextoVisible(texto.substr(inicio));
}
