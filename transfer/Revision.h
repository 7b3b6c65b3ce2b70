#pragma once
// A review: nothing is executed. Each record's values are bound to the statement a run would
// execute and checked against the target's columns; the codes the target lacks and the codes
// the source repeats are warned about. It lives from one transfer to the next, so that a later
// review (clients after agents, articles after families) finds the codes an earlier one would
// have written, as the real run would.
#include "Tratamiento.h"

#include <functional>
#include <map>
#include <set>
#include <string>

class Revision final : public Tratamiento {
public:
    explicit Revision(TDatos& d) : d_(d) {}
    bool Escribe() const override { return false; }
    void Empezar(const Traspaso& t) override;
    bool Registro(const Traspaso& t, const Campos& c, int32_t id) override;
    void Terminar(const Traspaso& t, std::size_t registros) override;

    // A lookup found no row for `codigo` in `tabla`: told, while a record is being reviewed,
    // unless an earlier review of this run would have written that code.
    void FaltaEnDestino(const std::string& tabla, const std::string& codigo,
                        const std::string& texto);

private:
    void RevisarCodigo(const Traspaso& t, const Campos& c, const std::string& codigo);
    void Avisar(const std::string& texto);

    TDatos& d_;
    bool enRegistro_ = false;
    bool avisado_ = false;
    // The codes seen so far in this transfer, as written, with the record and the code as read.
    struct CodigoVisto {
        std::size_t posicion;
        std::string leido;
    };
    std::map<std::string, CodigoVisto> vistos_;
    // The codes each table would receive from the reviews made so far.
    std::map<std::string, std::set<std::string>> revisados_;
};
