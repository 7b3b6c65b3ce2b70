#pragma once
// The values that travel to and from the target: a date and time to the second, and a variant.
#include "Error.h"

#include <cstdint>
#include <string>
#include <variant>

struct Timestamp {
    int year = 1899, month = 12, day = 30; // the "zero date" of the old client tools
    int hour = 0, minute = 0, second = 0;

    // The local date and time now, fractions of a second dropped.
    static Timestamp Now();
    bool operator==(const Timestamp&) const = default;
    std::string ToString() const; // "YYYY-MM-DD HH:MM:SS"
};

// A value of any kind the target can return; std::monostate stands for NULL.
using Variant = std::variant<std::monostate, int32_t, int64_t, double, std::string, Timestamp>;

inline bool IsNull(const Variant& v) {
    return std::holds_alternative<std::monostate>(v);
}

// A value that its parameter cannot take: a character Windows-1252 lacks, a text longer than its
// column, a number that is not finite or does not fit. It is the record's data that is at fault,
// never the connection, so a caller can treat it as "this value matches nothing".
class ValorNoAdmitido : public Error {
public:
    using Error::Error;
};
