#pragma once
// The value rules that the mappings share, each written once. Lengths count characters, not
// bytes.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// The first n characters, or the whole text when it is shorter.
std::string Primeros(const std::string& s, std::size_t n);
// Without leading and trailing characters of code 32 or below (blanks and control characters).
std::string Recortado(const std::string& s);
// Without leading characters of code 32 or below; the same in bytes of any page, whose first
// 128 are ASCII.
std::string SinIniciales(const std::string& s);
std::string_view SinIniciales(std::string_view s);

// The country as the target writes it: FacturaPlus's "ESPA" (exactly) is "ESPAÑA".
std::string Pais(const std::string& nacion);

// A fixed payment day: sent when it is a day of the month, NULL for 0 and beyond 31.
std::optional<int32_t> DiaFijo(int32_t dia);

// FacturaPlus's barcode type to the target's: 1 is 0, 2 is 1, 3 is 3, 4 is 7, anything else 0.
int32_t TipoCodigoBarras(int32_t tipo);

// The two control digits of a Spanish bank account code, as text with its leading zero: the
// first over "00" + entity + branch, the second over the account number. Empty when a part
// (trailing blanks aside) is not made of exactly 4, 4 and 10 digits.
std::optional<std::string> DigitosControl(const std::string& entidad, const std::string& sucursal,
                                          const std::string& cuenta);
