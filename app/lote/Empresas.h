#pragma once
// Many companies in one command: each in a process of its own running this same program, up to
// N at once, and a summary table at the end.
#include "Opciones.h"

// The worst exit status of all the companies (2 when the list itself cannot be read).
int EjecutarEmpresas(const Opciones& o, const std::string& programa);

struct Empresa {
    std::string origen, destino;
    int linea = 0;
};
// Lines "ORIGEN<TAB>DESTINO"; blank lines and lines starting with # are skipped. Throws Error
// naming the file and line of one that is not of that shape.
std::vector<Empresa> LeerEmpresas(const std::string& ruta);
