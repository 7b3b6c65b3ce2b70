#pragma once
// A transfer as the one cycle runs it: a description made of its texts, its code, its defaults,
// its mapping and the further blocks of each record. Each transfer is one function that returns
// its description (Traspasos.h); the cycle is TDatos::EjecutarTraspaso.
#include "Valores.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

class IBSQL;
class SourceQuery;
class TDatos;

// The current record of a source query, read by field name.
class Campos {
public:
    explicit Campos(const SourceQuery& q) : q_(q) {}
    std::string Texto(std::string_view campo) const; // empty when blank
    double Numero(std::string_view campo) const;     // 0 when blank
    int32_t Entero(std::string_view campo) const;    // 0 when blank
    bool Logico(std::string_view campo) const;       // false when blank

private:
    const SourceQuery& q_;
};

// The parameters of a target statement, bound by name; each value carries its own type. With a
// collector, a value the parameter cannot take is handed to it and the filling goes on, so that
// a review sees every such value of a record, not only the first.
class Parametros {
public:
    using Recogedor = std::function<void(const std::string& mensaje)>;
    explicit Parametros(IBSQL& s, Recogedor recoger = {}) : s_(s), recoger_(std::move(recoger)) {}
    void Texto(std::string_view p, std::string_view v);
    void Entero(std::string_view p, int32_t v);
    void Simple(std::string_view p, double v); // sent as single precision
    void Fecha(std::string_view p, const Timestamp& t);
    void Nulo(std::string_view p);
    void EnteroONulo(std::string_view p, std::optional<int32_t> v);
    void TextoONulo(std::string_view p, const std::optional<std::string>& v);

private:
    template <class F> void Con(F&& enlazar);
    IBSQL& s_;
    Recogedor recoger_;
};

// IBSQLSelect holding a side statement of a record (a follow-up update), its cursor closed.
IBSQL& Auxiliar(TDatos& d, const char* texto);

// Where the transfers differ in the order of their first steps.
enum class Orden {
    // Families and articles: the statement texts, then the progress text, then the connection;
    // no transaction starts before the first record.
    TextosAntesDelProgreso,
    // Clients, suppliers and agents: the progress text, the connection, a transaction, the
    // statement texts, then the defaults.
    TransaccionYTextosAntesDelBucle,
};

// A default read once per run: a select whose first row's columns, in order, go to `destinos`;
// no row, or NULL, gives 0.
struct Defecto {
    std::string consulta;
    std::vector<int32_t*> destinos;
};

struct Traspaso {
    SourceQuery* consulta = nullptr; // the source query walked
    std::string tabla{};             // the target table, e.g. "PROVEEDORES"
    std::string id{};                // its identifier column; the lookup and the update key follow
    // The field that holds the code, and the code the target is searched for, from the current
    // record (the field cut or trimmed as the transfer writes it).
    std::string campoCodigo{};
    std::function<std::string(const Campos&)> codigo{};
    Orden orden = Orden::TransaccionYTextosAntesDelBucle;
    std::string progreso{};                        // status text before the walk
    std::pair<std::string, std::string> resumen{}; // prefix and separator of the closing summary
    std::string insert{};
    std::string update{};
    // The insert ends in "returning <id>": the new row's identifier comes from the insert itself.
    bool insertDevuelveId = false;
    std::vector<Defecto> defectos{};
    // Fills the column parameters of the insert (alta) or of the update, key excluded.
    std::function<void(Parametros&, const Campos&, bool alta)> rellenar{};
    // Further guarded blocks of each record, given its target identifier; none runs with 0.
    std::vector<std::function<void(int32_t id, const Campos&)>> despues{};
};
