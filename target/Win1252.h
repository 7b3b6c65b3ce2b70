#pragma once
// The target holds 8-bit Windows-1252 text; the program holds UTF-8.
#include <string>
#include <string_view>

// UTF-8 to Windows-1252. A character that Windows-1252 cannot hold, or bytes that are not UTF-8,
// throw an Error whose message names `donde` followed by `nombre` (for instance "Parámetro " and
// the parameter) and the character; the two are joined only then.
std::string Utf8ToCp1252(std::string_view utf8, std::string_view donde,
                         std::string_view nombre = {});

// Windows-1252 to UTF-8. The five bytes that Windows-1252 leaves undefined pass as the C1
// control characters of the same number, as Windows itself converts them.
std::string Cp1252ToUtf8(std::string_view bytes);
