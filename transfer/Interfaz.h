#pragma once
// What the data module needs from whoever drives it: the window, the batch program, the tests.
#include <cstddef>
#include <string>

// The source record a transfer is on: where a warning happened, and how far the walk has got.
struct RegistroEnCurso {
    std::string consulta;     // the source query being walked
    std::size_t posicion = 0; // 1 for the first record delivered
    std::size_t total = 0;    // records the query holds
    std::string codigo;       // the code looked up in the target; empty when it could not be read
};

class Interfaz {
public:
    virtual ~Interfaz() = default;
    virtual void MostrarEstado(const std::string& texto, bool caja) = 0; // status; box when asked
    virtual void Aviso(const std::string& texto, const RegistroEnCurso& registro) = 0;
    // Once per source record, after it has been committed.
    virtual void AtenderMensajes(const RegistroEnCurso& registro) = 0;
    // Something the operator may want to read afterwards, that asks for nothing: which code page
    // a table was read in, and why.
    virtual void Nota(const std::string& /*texto*/) {}
};
