#pragma once
// ASCII case folding for names (fields, tables, parameters, keywords): names are compared without
// regard to case, and only the 26 Latin letters have a case there.
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

} // namespace ascii
