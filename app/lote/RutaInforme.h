#pragma once
// Where the JSON report may be written. A report path is easy to get wrong on a command line
// (the target's name, a file in the source folder), and writing it there would destroy a
// database or change what the program only reads: such a path is refused before the run.
#include <string>
#include <vector>

struct Empresa;

// Throws an Error saying why, when `ruta` may not take the report: it is a company's target
// database (the same file, or the same path for a server), it lies inside a company's source
// folder, it names an existing file that is not a report of this program, or its folder does
// not exist or cannot be written. "-" (standard output) always may.
void ComprobarRutaInforme(const std::string& ruta, const std::vector<Empresa>& empresas);

// Writes `texto` to `ruta` through a temporary file beside it that takes its name at the end,
// so that a failed write never leaves an empty or half-written file; "-" is standard output.
// Throws an Error naming the file when it cannot.
void EscribirInforme(const std::string& ruta, const std::string& texto);
