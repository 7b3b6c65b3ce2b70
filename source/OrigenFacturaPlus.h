#pragma once
// The FacturaPlus side of the data module: the engine session, the alias over the data folder,
// the eight source queries, their open reports and the two side-table lookups.
#include "Session.h"
#include "SourceQuery.h"

#include <cstdint>
#include <functional>
#include <map>
#include <string>

class OrigenFacturaPlus {
public:
    static constexpr const char* kAlias = kAliasFacturaPlus;

    // `informar` receives the open reports of the four main queries.
    explicit OrigenFacturaPlus(std::function<void(const std::string&)> informar);
    OrigenFacturaPlus(const OrigenFacturaPlus&) = delete;
    OrigenFacturaPlus& operator=(const OrigenFacturaPlus&) = delete;

    // Rebuilds the alias on `ruta`; the folder is not checked until a query opens.
    void CrearAlias(const std::string& ruta);
    // Deletes the alias when the session is active and the alias exists.
    void EliminarAlias();

    // Side-table lookups; every error gives an empty text, and is told to AlFallarBusqueda
    // (the query's name and the engine's message) so that a run can say it once. Within a span
    // of trust of the session (a run), a province's name is read once and then answered from
    // memory; every other lookup reads the table through its index.
    std::string NombreLargoArticulo(const std::string& codigo);
    std::string NombreProvincia(const std::string& codigo);
    std::function<void(const std::string& consulta, const std::string& error)> AlFallarBusqueda;

    Session Session1{"Session1_1"};
    SourceQuery qArticulos;
    SourceQuery qClientes;
    SourceQuery qProveedores;
    SourceQuery qAgentesVenta;
    SourceQuery qFamilias;
    SourceQuery qStock;
    SourceQuery qArticulosNombreLargo;
    SourceQuery qProvincias;

private:
    void qArticulosBeforeOpen(SourceQuery& q);
    void qArticulosAfterOpen(SourceQuery& q);
    std::function<void(const std::string&)> informar_;
    // Province names found in the span of trust `tramoProvincias_`, by code as asked for.
    std::map<std::string, std::string> provincias_;
    uint64_t tramoProvincias_ = 0;
};
