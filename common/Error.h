#pragma once
// The one error type that every layer throws; layers derive from it to add their own details.
#include <stdexcept>
#include <string>

class Error : public std::runtime_error {
public:
    explicit Error(const std::string& mensaje) : std::runtime_error(mensaje) {}
};
