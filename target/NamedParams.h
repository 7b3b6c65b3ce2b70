#pragma once
// Turns the ":NAME" parameters of an SQL text into the client library's positional markers.
#include <string>
#include <string_view>
#include <vector>

struct MarkedSql {
    std::string sql;                // the text with every parameter replaced by '?'
    std::vector<std::string> names; // the upper-cased name of each marker, in text order
};

// A colon inside a string literal ('...' or "...") or a comment (-- or /* */) is not a parameter.
MarkedSql ReplaceNamedParams(std::string_view text);
