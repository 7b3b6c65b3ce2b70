#pragma once
// A transfer as the one cycle runs it: a description made of its texts, its code, its defaults
// and its mapping. The mapping states each parameter once: where its value comes from and which
// statements send it. Binding, the comparison with the target and the benchmark's raw loops all
// read the same lines. Each transfer is one function that returns its description
// (Traspasos.h); the cycle is TDatos::EjecutarTraspaso.
#include "Valores.h"

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

class CodePage;
class IBParam;
class IBSQL;
class SourceQuery;

// A decimal quantity: sent as single precision, as the target has always received them.
struct Simple {
    double valor = 0;
    bool operator==(const Simple&) const = default;
};

// What a mapping line sends: NULL, a text, a 32-bit integer, a decimal or a date and time.
using Valor = std::variant<std::monostate, std::string, int32_t, Simple, Timestamp>;

// The current record of a source table, read by field name.
class Campos {
public:
    virtual ~Campos() = default;
    virtual std::string Texto(std::string_view campo) const = 0; // empty when blank
    virtual double Numero(std::string_view campo) const = 0;     // 0 when blank
    virtual int32_t Entero(std::string_view campo) const = 0;    // 0 when blank
    virtual bool Logico(std::string_view campo) const = 0;       // false when blank
    // A text field's bytes as stored, the blanks Texto cuts already cut, and the single-byte page
    // Texto decodes them from; nullopt where only Texto can say. Valid until the record changes.
    // Asked by the field's place, for a caller that reads the same fields at every record: the
    // place is asked once (-1 where the record cannot answer by place, or has no such field) and
    // holds for every record of the same source, which Origen names.
    struct Bytes {
        std::string_view bytes;
        const CodePage* pagina;
    };
    virtual int Posicion(std::string_view) const { return -1; }
    virtual std::optional<Bytes> EnBytes(int) const { return std::nullopt; }
    virtual const void* Origen() const { return nullptr; }
};

// The current record of a source query. The mapping asks for the same names, held by the same
// strings, at every record: each name's place is remembered by where its text lies, and checked
// against the name before it is used, so a name that comes in a new string is found anew.
class CamposDeConsulta final : public Campos {
public:
    explicit CamposDeConsulta(const SourceQuery& q) : q_(q) {}
    std::string Texto(std::string_view campo) const override;
    double Numero(std::string_view campo) const override;
    int32_t Entero(std::string_view campo) const override;
    bool Logico(std::string_view campo) const override;
    int Posicion(std::string_view campo) const override;
    std::optional<Bytes> EnBytes(int posicion) const override;
    const void* Origen() const override { return &q_; }

private:
    int Lugar(std::string_view campo) const;
    struct Hueco {
        const char* texto = nullptr;
        std::size_t largo = 0;
        int lugar = -1;
    };
    const SourceQuery& q_;
    mutable std::array<Hueco, 256> huecos_{}; // open addressing by the name's address
    mutable std::size_t ocupados_ = 0;
};

// What a mapping line may look up besides its record: the side tables of the source and the
// identifiers of the target. Codes arrive as the lines cut them.
class Busquedas {
public:
    virtual ~Busquedas() = default;
    virtual std::string NombreProvincia(const std::string& codigo) = 0;
    virtual std::string NombreLargoArticulo(const std::string& codigo) = 0;
    // The first stock row's figure of an article; 0 when it has none.
    virtual double StockArticulo(const std::string& articulo) = 0;
    virtual std::optional<int32_t> IdFamilia(const std::string& codigo) = 0;
    // The payment method of a code, or `defecto` when the target has none with that code.
    virtual int32_t FormaPagoODefecto(const std::string& codigo, int32_t defecto) = 0;
    virtual std::optional<int32_t> IdAgenteVenta(const std::string& codigo) = 0;
    // A new transfer starts: what earlier ones found may have changed since.
    virtual void Olvidar() {}
    // In a comparison: whether the last lookup found no row for a code that an earlier transfer
    // of the same comparison would create, and which row, as the operator reads it; asking
    // forgets it.
    virtual std::optional<std::string> FilaPorCrear() { return std::nullopt; }
};

// What a line's value is computed from.
struct Fuente {
    const Campos& c;
    Busquedas& b;
};

// A line whose value is a text field as read, whole or cut to its first `n` characters, leading
// blanks first taken away when asked: its bytes can go to the target without being decoded and
// encoded again.
struct TextoDeCampo {
    std::string campo;
    std::size_t n = std::string::npos;
    bool sinIniciales = false;
};

// How a line's value is computed. A value read from the clock differs at every run, so a
// comparison with the target leaves it out.
class Calculo {
public:
    template <class F>
    requires std::is_invocable_r_v<Valor, F, const Fuente&> Calculo(F f, bool reloj = false)
        : f_(std::move(f)), reloj_(reloj) {}
    Calculo(TextoDeCampo t);
    Valor operator()(const Fuente& f) const { return f_(f); }
    bool DelReloj() const { return reloj_; }
    const std::optional<TextoDeCampo>& DeCampo() const { return deCampo_; }

private:
    std::function<Valor(const Fuente&)> f_;
    bool reloj_ = false;
    std::optional<TextoDeCampo> deCampo_;
};

// Which of the two statements a line's parameter belongs to.
enum class Envio { Ambas, Alta, Cambio };

// One parameter of a statement and where its value comes from.
struct Linea {
    std::string parametro;
    Calculo valor;
    Envio envio = Envio::Ambas;
    bool EnAlta() const { return envio != Envio::Cambio; }
    bool EnCambio() const { return envio != Envio::Alta; }
};

// The usual sources of a value, so that a mapping reads like its table.
Calculo Campo(std::string campo);                // the text as read, whole
Calculo Campo(std::string campo, std::size_t n); // its first n characters
Calculo CampoSinIniciales(std::string campo, std::size_t n); // the same after leading blanks
Calculo Decimal(std::string campo);              // a number, as single precision
Calculo SiNo(std::string campo);                 // a logical field as 1 or 0
Calculo Fijo(int32_t v);
Calculo FijoDecimal(double v);
Calculo FijoTexto(std::string v);
Calculo Nulo();
Calculo Ahora(); // the local date and time, to the second
Valor EnteroONulo(const std::optional<int32_t>& v);
Valor TextoONulo(const std::optional<std::string>& v);

// A follow-up update of the record (prices, stock, collection address), guarded on its own and
// given the record's target identifier, which `idParametro` takes.
struct Seguimiento {
    std::string texto;
    std::string idParametro;
    std::vector<Linea> lineas;
    std::string nombre; // for messages: "precios", "stock", "domicilio de cobro"
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
    std::string nombre{};                          // "Clientes", as the status texts say it
    std::pair<std::string, std::string> resumen{}; // prefix and separator of the closing summary
    std::string insert{};
    std::string update{};
    // Read before the first record, in a transaction of the run; a transfer without defaults
    // starts no transaction before its first record.
    std::vector<Defecto> defectos{};
    // The target tables the mapping's lookups read, besides those its statements name.
    std::vector<std::string> consultadas{};
    std::vector<Linea> lineas{};             // the insert's and the update's parameters, key aside
    std::vector<Seguimiento> seguimientos{}; // none runs for a record without identifier

    std::string Progreso() const { return "Actualizando " + nombre; } // before the walk
    std::string Busqueda() const {
        return "select " + id + " from " + tabla + " where codigo = :ParCodigo";
    }
    std::string Clave() const { return "OLD_" + id; } // the update's key parameter
};

// The values of the lines a statement sends, in the lines' order.
std::vector<Valor> Calcular(const std::vector<Linea>& lineas, Envio envio, const Fuente& f);
// Whether line `l` is among those a statement for `envio` sends.
bool Envia(const Linea& l, Envio envio);

// Binds values computed by Calcular to their parameters. With a collector, a value a parameter
// cannot take is handed to it and the binding goes on, so that a review sees every such value of
// a record, not only the first.
using Recogedor = std::function<void(const std::string& mensaje)>;
void Enlazar(IBSQL& s, const std::vector<Linea>& lineas, Envio envio,
             const std::vector<Valor>& valores, const Recogedor& recoger = {});
void Enlazar(IBSQL& s, std::string_view parametro, const Valor& v);
void Enlazar(IBParam& p, const Valor& v);

// The same, with each parameter's place in a statement found once: a run binds the same lines to
// the same texts record after record. Its memory is for one run of one transfer's description.
class Enlazador {
public:
    void operator()(IBSQL& s, const std::vector<Linea>& lineas, Envio envio,
                    const std::vector<Valor>& valores, const Recogedor& recoger = {});
    // Each value computed and bound in turn, in the lines' order: the first that fails stops
    // the binding, as a record's block stops at its first fault.
    void operator()(IBSQL& s, const std::vector<Linea>& lineas, Envio envio, const Fuente& f);
    void Olvidar() { sitios_.clear(); }

private:
    // Binds a text field's bytes straight, turned into Windows-1252 byte by byte; false when
    // the record has no bytes for that place or some byte has no place in Windows-1252, for
    // the value's own path to bind, or to refuse, as it always has. A line without a place
    // takes that path without asking.
    bool EnlazarBytes(IBParam& p, const TextoDeCampo& t, const std::optional<Campos::Bytes>& b);
    std::vector<std::pair<int, std::array<uint8_t, 128>>> a1252_; // by page number
    std::string bytes_;

    struct Sitios {
        const std::vector<Linea>* lineas;
        Envio envio;
        std::string texto;
        std::vector<int> lugares; // of each line sent, in order; -1 for none
        // The source field of each line sent that is a text field as read, in the source that
        // `origen` names; -1 for the others.
        bool resueltos = false;
        const void* origen = nullptr;
        std::vector<int> campos;
    };
    Sitios& De(IBSQL& s, const std::vector<Linea>& lineas, Envio envio);
    std::vector<Sitios> sitios_;
};

// A value as the operator reads it in a report.
std::string ComoTexto(const Valor& v);
