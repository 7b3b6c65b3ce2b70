#pragma once
// The small local-SQL dialect the source queries are written in:
//   select * | col[, col...] from table [where col = :param] [;]
// Keywords and names without regard to case; anything else is refused.
#include <optional>
#include <string>
#include <vector>

struct LocalSelect {
    std::vector<std::string> columns; // empty for '*'
    std::string table;
    struct Where {
        std::string column;
        std::string param; // as written, without the colon
    };
    std::optional<Where> where;
};

// Throws an Error that quotes the text when it is not of that shape.
LocalSelect ParseLocalSql(const std::string& text);
