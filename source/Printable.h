#pragma once
// Bytes from a table or a folder shown inside a message: a message is UTF-8 text, and a byte
// that is not is written as its hexadecimal value, so that the operator can still see it.
#include "Utf8.h"

#include <cstdio>
#include <string>
#include <string_view>

namespace printable {

inline std::string HexByte(unsigned char b) {
    char s[8];
    std::snprintf(s, sizeof s, "<0x%02X>", b);
    return s;
}

// Raw bytes of a table (field names, numbers, dates): printable ASCII as is, anything else
// (control bytes, and bytes above 127, which are in the table's code page) in hexadecimal.
inline std::string Bytes(std::string_view raw) {
    std::string out;
    for (char c : raw) {
        auto b = static_cast<unsigned char>(c);
        if (b >= 0x20 && b < 0x7F)
            out += c;
        else
            out += HexByte(b);
    }
    return out;
}

// Text that should be UTF-8 (paths, query texts): valid printable characters as they are, line
// ends and tabs as blanks, other control bytes and the bytes of a malformed sequence in
// hexadecimal.
inline std::string Utf8(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size();) {
        std::size_t start = i;
        char32_t cp = 0;
        if (text[i] == '\n' || text[i] == '\r' || text[i] == '\t') {
            out += ' ';
            ++i;
        } else if (utf8::Next(text, i, cp) && cp >= 0x20 && cp != 0x7F &&
                   !(cp >= 0x80 && cp < 0xA0)) {
            out.append(text.substr(start, i - start));
        } else {
            out += HexByte(static_cast<unsigned char>(text[start]));
            i = start + 1;
        }
    }
    return out;
}

} // namespace printable
