#pragma once
// Reads the target rows that a record's update and follow-up updates would write, and compares
// them, column by column, with the values those statements would send. The target converts the
// values itself (a select casts each parameter to its column's type), so that what is compared
// is what an update would store: the same rounding, padding and conversions.
#include "Traspaso.h"

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

class IBSQL;

// The parts of an "update T set C = :P, ... where ..." statement.
struct Asignacion {
    std::string columna, parametro;
};
struct Actualizacion {
    std::string tabla;
    std::vector<Asignacion> asignaciones;
    std::string condicion; // the where clause, without "where"
};
// Throws Error when the text is not an update of that shape.
Actualizacion LeerActualizacion(std::string_view texto);

// One column that differs: the values as the operator reads them.
struct ColumnaDistinta {
    std::string tabla, columna, destino, origen;
};

class Comparador {
public:
    explicit Comparador(IBSQL& s) : s_(s) {}
    // The columns of the record's rows that differ from what its update (identifier `id`) and
    // its follow-ups would write; empty when none does. Columns filled from the clock are left
    // out. A main row that is not there (gone since the lookup) throws an Error; follow-up rows
    // that are not there are nothing to compare, as their updates would change nothing. A value
    // a parameter cannot take throws ValorNoAdmitido, as binding it for the update would.
    std::vector<ColumnaDistinta> Comparar(const Traspaso& t, const Fuente& f, int32_t id);

private:
    // The select that reads a statement's row next to its values cast to the columns' types.
    struct Lectura {
        std::string tabla, texto;
        std::vector<Asignacion> columnas; // those compared, in the select's order
    };
    const Lectura& LecturaDe(const std::string& update, const std::vector<Linea>& lineas);
    void Leer(const Lectura& l, const std::vector<Linea>& lineas, const std::vector<Valor>& valores,
              const std::string& idParametro, int32_t id, bool obligatoria,
              std::vector<ColumnaDistinta>& distintas);

    IBSQL& s_;
    std::map<std::string, Lectura> lecturas_; // by update text
};

// A value read from the target as the operator reads it: a number in its shortest exact form.
std::string ComoTexto(const Variant& v);
