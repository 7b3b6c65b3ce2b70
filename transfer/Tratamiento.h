#pragma once
// What a run does with each record once the cycle has found the record's target identifier. The
// cycle walks the source, looks each code up, handles the errors and commits; the kinds of run
// (the buttons' transfer, a dry run, a review, a comparison, writing only what changed) differ
// only here, each in a file of its own.
#include "Error.h"
#include "Traspaso.h"

#include <cstddef>
#include <cstdint>
#include <memory>

class TDatos;

class Tratamiento {
public:
    virtual ~Tratamiento() = default;
    // Whether the run writes: it then takes the turn on the target, and commits what it writes
    // unless the data module is in a dry run.
    virtual bool Escribe() const = 0;
    // Before the first record of a transfer.
    virtual void Empezar(const Traspaso& /*t*/) {}
    // id is the target's identifier for the record's code, 0 when the target lacks it. A record
    // that cannot be passed is warned about and counted as refused here. False when nothing of
    // the record was written, so that there is nothing to commit.
    virtual bool Registro(const Traspaso& t, const Campos& c, int32_t id) = 0;
    // After the last record: what the run says of the whole table.
    virtual void Terminar(const Traspaso& t, std::size_t registros) = 0;
};

std::unique_ptr<Tratamiento> NuevaEscritura(TDatos& d, bool soloCambios);
std::unique_ptr<Tratamiento> NuevaComparacion(TDatos& d);

// The lookups the mappings use, answered by the data module.
std::unique_ptr<Busquedas> NuevasBusquedas(TDatos& d);

// A side table of the source that cannot be read: every record would fail the same way, so a
// run tells it once.
class TablaAuxiliarIlegible : public Error {
public:
    TablaAuxiliarIlegible(std::string tabla, const std::string& mensaje)
        : Error(mensaje), tabla_(std::move(tabla)) {}
    const std::string& Tabla() const { return tabla_; }

private:
    std::string tabla_;
};
