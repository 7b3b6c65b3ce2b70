#include "LocalSql.h"

#include "Ascii.h"
#include "Error.h"
#include "Printable.h"
#include "Utf8.h"

#include <cctype>

namespace {

struct Token {
    enum Kind { Name, Param, Star, Comma, Equals, Semicolon, End } kind;
    std::string text;
};

bool NameChar(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '_';
}

std::vector<Token> Tokenize(const std::string& t, const std::string& quoted) {
    std::vector<Token> out;
    std::size_t i = 0;
    while (i < t.size()) {
        char c = t[i];
        if (std::isspace(static_cast<unsigned char>(c))) {
            ++i;
        } else if (NameChar(c)) {
            std::size_t j = i;
            while (j < t.size() && NameChar(t[j]))
                ++j;
            out.push_back({Token::Name, t.substr(i, j - i)});
            i = j;
        } else if (c == ':' && i + 1 < t.size() && NameChar(t[i + 1])) {
            std::size_t j = i + 1;
            while (j < t.size() && NameChar(t[j]))
                ++j;
            out.push_back({Token::Param, t.substr(i + 1, j - i - 1)});
            i = j;
        } else if (c == '*' || c == ',' || c == '=' || c == ';') {
            out.push_back({c == '*'   ? Token::Star
                           : c == ',' ? Token::Comma
                           : c == '=' ? Token::Equals
                                      : Token::Semicolon,
                           std::string(1, c)});
            ++i;
        } else {
            // The whole character, when it is UTF-8; its first byte in hexadecimal otherwise.
            std::size_t end = i;
            char32_t cp = 0;
            if (!utf8::Next(t, end, cp)) end = i + 1;
            throw Error("Consulta no admitida " + quoted + ": carácter «" +
                        printable::Utf8(std::string_view(t).substr(i, end - i)) + "» inesperado");
        }
    }
    out.push_back({Token::End, ""});
    return out;
}

bool IsKeyword(const Token& t, const char* word) {
    if (t.kind != Token::Name) return false;
    std::size_t n = 0;
    for (; word[n]; ++n)
        if (n >= t.text.size() || ascii::Lower(t.text[n]) != word[n]) return false;
    return n == t.text.size();
}

} // namespace

LocalSelect ParseLocalSql(const std::string& text) {
    const std::string quoted = "«" + printable::Utf8(text) + "»";
    auto fail = [&](const std::string& why) -> void {
        throw Error("Consulta no admitida " + quoted + ": " + why);
    };
    std::vector<Token> tk = Tokenize(text, quoted);
    std::size_t i = 0;
    LocalSelect s;
    if (!IsKeyword(tk[i++], "select")) fail("debe empezar por SELECT");
    if (tk[i].kind == Token::Star) {
        ++i;
    } else {
        for (;;) {
            if (tk[i].kind != Token::Name || IsKeyword(tk[i], "from")) fail("falta una columna");
            s.columns.push_back(tk[i++].text);
            if (tk[i].kind != Token::Comma) break;
            ++i;
        }
    }
    if (!IsKeyword(tk[i++], "from")) fail("falta FROM");
    if (tk[i].kind != Token::Name) fail("falta la tabla");
    s.table = tk[i++].text;
    if (IsKeyword(tk[i], "where")) {
        ++i;
        if (tk[i].kind != Token::Name) fail("falta la columna de WHERE");
        LocalSelect::Where w;
        w.column = tk[i++].text;
        if (tk[i++].kind != Token::Equals) fail("WHERE solo admite una igualdad");
        if (tk[i].kind != Token::Param) fail("WHERE solo compara con un parámetro");
        w.param = tk[i++].text;
        s.where = w;
    }
    if (tk[i].kind == Token::Semicolon) ++i;
    if (tk[i].kind != Token::End) fail("sobra «" + tk[i].text + "»");
    return s;
}
