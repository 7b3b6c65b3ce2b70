#pragma once
// ASCII case folding for names (fields, tables, parameters, keywords): names are compared without
// regard to case, and only the 26 Latin letters have a case there. And whether a text is plain
// ASCII, which no code page needs to convert.
#include <string>
#include <string_view>

namespace ascii {

inline char Upper(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}
inline char Lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}
inline std::string Upper(std::string_view s) {
    std::string r(s);
    for (char& c : r)
        c = Upper(c);
    return r;
}
inline std::string Lower(std::string_view s) {
    std::string r(s);
    for (char& c : r)
        c = Lower(c);
    return r;
}
inline bool EqualNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (Upper(a[i]) != Upper(b[i])) return false;
    return true;
}

// Whether every byte is below 128: such text reads the same in UTF-8 and in every code page.
inline bool SoloAscii(std::string_view s) {
    unsigned char todos = 0;
    for (char c : s)
        todos |= static_cast<unsigned char>(c);
    return todos < 0x80;
}

} // namespace ascii
