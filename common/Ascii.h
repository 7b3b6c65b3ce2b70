#pragma once
// ASCII case folding for names (fields, tables, parameters, keywords): names are compared without
// regard to case, and only the 26 Latin letters have a case there. And whether a text is plain
// ASCII, which no code page needs to convert.
#include <cstdint>
#include <cstring>
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
    // Names mostly come written as they are stored.
    if (a.empty() || std::memcmp(a.data(), b.data(), a.size()) == 0) return true;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (Upper(a[i]) != Upper(b[i])) return false;
    return true;
}

// Whether every byte is below 128: such text reads the same in UTF-8 and in every code page.
// Eight bytes at a time: every text field of every record passes here when a table opens.
inline bool SoloAscii(std::string_view s) {
    const char* p = s.data();
    std::size_t n = s.size();
    uint64_t todos = 0;
    for (; n >= 8; p += 8, n -= 8) {
        uint64_t ocho;
        std::memcpy(&ocho, p, 8);
        todos |= ocho;
    }
    for (; n > 0; ++p, --n)
        todos |= static_cast<unsigned char>(*p);
    return (todos & 0x8080808080808080ULL) == 0;
}

} // namespace ascii
