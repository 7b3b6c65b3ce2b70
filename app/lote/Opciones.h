#pragma once
// What the batch program was asked to do.
#include <chrono>
#include <string>
#include <utility>
#include <vector>

// Unless --confirmar-cada says otherwise, records are committed in groups: a group is committed
// when it has this many records, or once its first record has waited this long.
inline constexpr int kConfirmarCadaPorDefecto = 200;
inline constexpr std::chrono::milliseconds kPlazoConfirmar{500};

struct Opciones {
    std::string origen, destino;
    std::vector<std::string> traspasos; // agentes, proveedores, clientes, articulos; in order
    bool ensayo = false;
    bool revisar = false;
    bool comparar = false;    // reads the target and says what a run would change; writes nothing
    bool soloCambios = false; // writes only the records a comparison finds different or new
    int confirmarCada = 0;    // records a commit; 0: the default grouping
    // --pagina-de-codigos: the page a table (or every one, "") is read in, as given.
    std::vector<std::pair<std::string, int>> paginas;
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

// The help, with the transfers of the data module's list.
std::string Ayuda();
