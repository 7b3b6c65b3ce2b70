#pragma once
// The limit of this design: each transfer's per-record work done straight on the client library
// (isc_* calls), with no transfer logic. Per record: the code lookup, prepared anew (or, for
// comparison, prepared once), the insert or the update with values computed before the clock
// starts, the record's follow-up updates (prices and stock, collection address), and a commit
// retaining. The target identifiers some values look up (families, payment methods, agents) are
// answered inside the clock, each table read whole at its first use in a transfer, as the data
// module reads them.
#include <string>

enum class Busqueda {
    PreparadaCadaRegistro, // as the design's lookup text is given anew for every record
    PreparadaUnaVez,
};

struct MedidaCruda {
    double segundos = 0; // from the attach to the last record's commit
    // Walking the source and computing each line's value once, apart and before the clock: the
    // least work any program does on the source side of the transfer.
    double valores = 0;
    long registros = 0; // the master file's records (articles, for "articulos")
    long altas = 0;
    long cambios = 0;
    double lecturas = 0, escrituras = 0, accesos = 0; // pages, by the end of the last record
};

// Runs transfer `traspaso` (agentes, proveedores, clientes, articulos: families, then articles)
// over the tables of `carpeta`, against `base`, with each record's values computed beforehand
// from the transfers' own mappings.
// `confirmarCada` > 0 also ends the transaction with a full commit, and starts a new one, every
// that many records.
MedidaCruda BucleCrudo(const std::string& traspaso, const std::string& carpeta,
                       const std::string& base, Busqueda b, int confirmarCada);
