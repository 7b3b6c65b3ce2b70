#pragma once
// A transfer run through the data module, as the batch program runs it, with an interface that
// does nothing but count.
#include <string>

struct MedidaDatos {
    double segundos = 0; // from the transfer's call to its return (its summary)
    long registros = 0;  // the master file's records (articles, for "articulos")
    long altas = 0, cambios = 0;
    long avisos = 0, estados = 0, mensajes = 0;
    double lecturas = 0, escrituras = 0, accesos = 0; // pages, since the transfer connected
    std::string primerAviso;
};

// agentes, proveedores, clientes, or articulos (families, then articles); or cuatro: the four
// one after another in one data module, as one run of the batch program does them.
// `soloCambios` writes only the records whose rows differ from what they would receive.
MedidaDatos ConDatos(const std::string& traspaso, const std::string& carpeta,
                     const std::string& base, bool soloCambios = false);
