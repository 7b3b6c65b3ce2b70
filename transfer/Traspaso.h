#pragma once
// A transfer as the one cycle runs it: its texts, its lookup, its mapping and the few places
// where the transfers differ in order.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class SourceQuery;

struct DescripcionTraspaso {
    SourceQuery* consulta = nullptr;
    std::string textoInsert;
    std::string textoUpdate;
    std::string textoBusqueda;                  // binds ParCodigo
    std::function<std::string()> valorBusqueda; // the lookup value of the current record
    std::string columnaId;                      // identifier column of the lookup
    std::string claveUpdate;                    // OLD_... parameter of the update
    std::string textoProgreso;
    std::string prefijoResumen;
    std::string separadorResumen;

    // Families and articles set the statement texts before the progress text and start no
    // transaction before the loop; the others start it before setting the texts.
    bool textosAntesDelProgreso = false;
    bool transaccionAntesDelBucle = true;

    std::function<void()> leerDefectos;   // default identifiers, on IBSQLSelect; may be empty
    std::function<void()> rellenarUpdate; // column parameters of the update, key excluded
    std::function<void()> rellenarInsert; // column parameters of the insert
    // After a successful insert: the new row's identifier, for the further blocks.
    std::function<int32_t()> idTrasInsert;
    // Further guarded blocks of each record, given the record's identifier.
    std::vector<std::function<void(int32_t)>> bloquesExtra;
};
