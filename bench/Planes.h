#pragma once
// What each transfer writes per record, for the raw loops: its statement texts (the transfers'
// own, taken from their descriptions) and its values, computed from the generated records by
// the transfers' rules, with every identifier the transfers look up known beforehand.
#include "ClienteCrudo.h"

#include <functional>
#include <string>
#include <unordered_map>
#include <vector>

class TDatos;

// A follow-up update of the record (prices, stock, collection address).
struct Bloque {
    std::string texto;
    std::string idParametro; // the parameter that takes the record's identifier
    std::function<void(Valores&, int i)> rellenar;
};

struct Plan {
    std::string tabla, id; // the lookup: select <id> from <tabla> where codigo = :ParCodigo
    std::string insert, update;
    int registros = 0;
    std::function<std::string(int i)> codigo;
    std::function<void(Valores&, int i, bool alta)> rellenar;
    std::vector<Bloque> despues;
    // Articles: the family code of record i; the loop sets FAMILIA from the families written.
    std::function<std::string(int i)> familia;
};

// The target's defaults and the identifiers the transfers look up by code.
struct Referencias {
    int32_t iva = 0, formaPago = 0, cartera = 0, moneda = 0, monedaMaxima = 0, regimenIva = 0,
            tarifa = 0;
    std::unordered_map<std::string, int32_t> formasPago; // by code
    std::unordered_map<std::string, int32_t> agentes;    // by code
};

// The plans of a transfer over a folder of n records per master file: one, or families then
// articles. `datos` only lends the transfers' descriptions.
std::vector<Plan> Planes(const std::string& traspaso, TDatos& datos, int n, const Referencias& r);
