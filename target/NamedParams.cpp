#include "NamedParams.h"

#include "Ascii.h"

namespace {

bool IsNameStart(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
}
bool IsNameChar(char c) {
    return IsNameStart(c) || (c >= '0' && c <= '9') || c == '$';
}

// Copies a quoted literal starting at `i` (a doubled quote stays inside it); returns the end.
std::size_t SkipQuoted(std::string_view t, std::size_t i, std::string& out) {
    char q = t[i];
    out += t[i++];
    while (i < t.size()) {
        out += t[i];
        if (t[i] == q) {
            if (i + 1 < t.size() && t[i + 1] == q) {
                out += t[++i];
            } else {
                return i + 1;
            }
        }
        ++i;
    }
    return i;
}

std::size_t SkipUntil(std::string_view t, std::size_t i, std::string_view fin, std::string& out) {
    auto end = t.find(fin, i);
    end = end == std::string_view::npos ? t.size() : end + fin.size();
    out.append(t.substr(i, end - i));
    return end;
}

} // namespace

MarkedSql ReplaceNamedParams(std::string_view t) {
    MarkedSql r;
    r.sql.reserve(t.size());
    std::size_t i = 0;
    while (i < t.size()) {
        char c = t[i];
        if (c == '\'' || c == '"') {
            i = SkipQuoted(t, i, r.sql);
        } else if (c == '-' && i + 1 < t.size() && t[i + 1] == '-') {
            i = SkipUntil(t, i, "\n", r.sql);
        } else if (c == '/' && i + 1 < t.size() && t[i + 1] == '*') {
            i = SkipUntil(t, i + 2, "*/", r.sql.append("/*"));
        } else if (c == ':' && i + 1 < t.size() && IsNameStart(t[i + 1])) {
            std::size_t j = i + 1;
            while (j < t.size() && IsNameChar(t[j]))
                ++j;
            r.names.push_back(ascii::Upper(t.substr(i + 1, j - i - 1)));
            r.sql += '?';
            i = j;
        } else {
            r.sql += c;
            ++i;
        }
    }
    return r;
}
