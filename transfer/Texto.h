#pragma once
// The text cuts the mappings make; lengths count characters, not bytes.
#include <string>

// The first n characters, or the whole text when it is shorter.
std::string Primeros(const std::string& s, std::size_t n);
// Without leading and trailing characters of code 32 or below (blanks and control characters).
std::string Recortado(const std::string& s);
// Without leading characters of code 32 or below.
std::string SinIniciales(const std::string& s);
