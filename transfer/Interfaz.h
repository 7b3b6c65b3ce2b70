#pragma once
// What the data module needs from whoever drives it: the window, the batch program, the tests.
#include <cstddef>
#include <string>

// The record a warning is about, for drivers that show where it happened.
struct RegistroEnCurso {
    std::string consulta;     // the source query being walked
    std::size_t posicion = 0; // 1 for the first record delivered
    std::size_t total = 0;    // records the query holds
    std::string codigo;       // the code looked up in the target
};

class Interfaz {
public:
    virtual ~Interfaz() = default;
    virtual void MostrarEstado(const std::string& texto, bool caja) = 0; // status; box when asked
    virtual void Aviso(const std::string& texto, const RegistroEnCurso& registro) = 0;
    virtual void AtenderMensajes() = 0; // once per source record
};
