#pragma once
// What the data module needs from whoever drives it: the window, the batch program, the tests.
#include <cstddef>
#include <string>

// The source record a transfer is on: where a warning happened, and how far the walk has got.
struct RegistroEnCurso {
    std::string consulta;      // the source query being walked
    std::size_t posicion = 0;  // 1 for the first record delivered
    std::size_t total = 0;     // records the query holds
    std::string codigo;        // the code looked up in the target; empty when it could not be read
    std::size_t numero = 0;    // the record's number in its file, deleted ones counted; 0 for none
    std::string codigoEscrito; // the code as the source writes it, before any cut
    std::size_t confirmados = 0; // records of this walk committed so far (grouped commits lag)
};

// A source table as a run first opens it: the code page it is read in and why, and whether the
// records read are those its header counts.
struct InfoTabla {
    std::string consulta;       // the query that opened it
    std::string fichero;        // "agentes.dbf"
    int pagina = 0;             // 850, 1252, ...
    std::string razon;          // why that page, one Spanish sentence
    std::size_t enCabecera = 0; // records the header counts
    std::size_t leidos = 0;     // records read, deleted ones included
    std::string discrepancia;   // why they differ; empty when they do not
    // The text reads much better in another code page than the header's, with the pages and
    // the words that decided it; empty when not. A run also warns of it, once.
    std::string sospecha;
};

// What a comparison finds: a column whose target value differs from what the source would
// write there, a code the target lacks, or a target row whose code no source record has.
struct Hallazgo {
    enum class Tipo { Diferencia, Nuevo, SoloEnDestino };
    Tipo tipo = Tipo::Diferencia;
    std::string tabla;   // the target table of the row
    std::string codigo;  // as written in the source; as the target holds it, for SoloEnDestino
    std::string columna; // for a difference: the column, and its two values as text
    std::string destino;
    std::string origen;
};

class Interfaz {
public:
    virtual ~Interfaz() = default;
    virtual void MostrarEstado(const std::string& texto, bool caja) = 0; // status; box when asked
    virtual void Aviso(const std::string& texto, const RegistroEnCurso& registro) = 0;
    // Once per source record, after it has been committed.
    virtual void AtenderMensajes(const RegistroEnCurso& registro) = 0;
    // Once per table and run: something the operator may want to read afterwards, that asks
    // for nothing. A count that differs is also a warning.
    virtual void Tabla(const InfoTabla& /*tabla*/) {}
    // A comparison's findings, at the end of each transfer's walk.
    virtual void Comparacion(const Hallazgo& /*hallazgo*/) {}
};
