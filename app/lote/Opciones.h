#pragma once
// What the batch program was asked to do.
#include <string>
#include <vector>

struct Opciones {
    std::string origen, destino;
    std::vector<std::string> traspasos; // agentes, proveedores, clientes, articulos; in order
    bool ensayo = false;
    bool revisar = false;
    int confirmarCada = 1;
    std::string informe;   // JSON report to write; empty for none, "-" for standard output
    std::string empresas;  // a list of companies, one "ORIGEN<TAB>DESTINO" a line
    int trabajos = 1;      // companies at once
    std::string registros; // with --empresas, the folder for their logs; empty for a private one
    int esperarTurno = 0;  // seconds to wait for another run on the same target; 0: the default
    bool ayuda = false, version = false;
};

// Reads the command line in the usual way of the system's tools (getopt_long: "--opcion valor",
// "--opcion=valor", "-j2" or "-j 2", options anywhere, "--" ends them); throws Error with a
// message for the operator when it is not valid, or asks for something that would have no
// effect.
Opciones LeerOpciones(int argc, char** argv);

extern const char* const kAyuda;
