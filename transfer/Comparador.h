#pragma once
// Reads the target rows that a record's update and follow-up updates would write, and compares
// them, column by column, with the values those statements would send. The target converts the
// values itself (a select casts each parameter to its column's type), so that what is compared
// is what an update would store: the same rounding, padding and conversions.
#include "Error.h"
#include "Traspaso.h"

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
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

// The row a record's code found is no longer in the target.
class FilaDesaparecida : public Error {
public:
    using Error::Error;
};

class Comparador {
public:
    explicit Comparador(IBSQL& s) : s_(s) {}
    // The columns of the record's main row (identifier `id`) that differ from what its update
    // would write; empty when none does. Columns filled from the clock are left out. A row that
    // is not there (gone since the lookup) throws FilaDesaparecida. A value a parameter cannot
    // take throws ValorNoAdmitido, as binding it for the update would; a value that cannot be
    // computed throws what computing it threw.
    std::vector<ColumnaDistinta> Principal(const Traspaso& t, const Fuente& f, int32_t id);
    // The same for one follow-up; rows that are not there are nothing to compare, as its update
    // would change nothing.
    std::vector<ColumnaDistinta> Seguimiento(const ::Seguimiento& s, const Fuente& f, int32_t id);

    // Asked after each value is computed: whether that value stands for a row a run would
    // create earlier in it (a new agent a client points to), and which, as the operator reads
    // it. Such a column differs whatever the target holds now.
    std::function<std::optional<std::string>()> pendiente;

private:
    // The select that reads a statement's row next to its values cast to the columns' types.
    struct Lectura {
        std::string tabla, texto;
        std::vector<Asignacion> columnas; // those compared, in the select's order
        // The place in the select of each line's parameter, in the lines' order (-1 for a line
        // it does not take), and of the identifier's: found once, on the first record.
        std::vector<int> lugares;
        int lugarId = -1;
    };
    Lectura& LecturaDe(const std::string& update, const std::vector<Linea>& lineas);
    std::vector<ColumnaDistinta> Leer(Lectura& l, const std::vector<Linea>& lineas, const Fuente& f,
                                      const std::string& idParametro, int32_t id, bool obligatoria);

    IBSQL& s_;
    std::map<std::string, Lectura> lecturas_; // by update text
};

// A value read from the target as the operator reads it: a number in its shortest exact form.
std::string ComoTexto(const Variant& v);
