#pragma once
// Errors of the Firebird client library, with the engine's full message and its codes.
#include "Error.h"

#include <ibase.h>

#include <string>
#include <vector>

class FbError : public Error {
public:
    FbError(const std::string& mensaje, long sqlcode, std::vector<long> gdscodes,
            std::string operacion)
        : Error(mensaje), sqlcode_(sqlcode), gdscodes_(std::move(gdscodes)),
          operacion_(std::move(operacion)) {}
    long SqlCode() const { return sqlcode_; }
    // The first engine code, the one that names the kind of failure.
    long GdsCode() const { return gdscodes_.empty() ? 0 : gdscodes_.front(); }
    // Whether the engine gave this code anywhere in its status (details follow the first).
    bool HasGdsCode(long code) const;
    // What the program was doing: "attach", "prepare", "execute", ... with the SQL text if any.
    const std::string& Operacion() const { return operacion_; }

    // A failure of the whole database or connection, which no later record can escape: the link
    // lost or shut, the database shut down, read-only, or failing to read or write its file (a
    // full disk too), the file not a database, or the operation cancelled by the user. A record's
    // own refusal (truncation, conversion, validation, a constraint, a row in use) is not.
    bool AfectaALaBase() const;
    // The connection itself is gone (the link lost, the connection or the database shut down):
    // nothing more can be done through it.
    bool ConexionPerdida() const;
    // The server shut this connection or the whole database: a further call on the connection
    // may wait for an answer that never comes.
    bool Cerrada() const;
    // Another user of the database holds the row: a lock conflict or time-out, a deadlock, an
    // update conflict. The same statement may succeed once that user commits.
    bool FilaEnUso() const;
    // The call was interrupted by IBDatabase::CancelarOperacion.
    bool Cancelada() const;

    // The same error, its message preceded by what the caller was doing.
    FbError ConContexto(const std::string& contexto) const {
        return FbError(contexto + what(), sqlcode_, gdscodes_, operacion_);
    }

private:
    long sqlcode_;
    std::vector<long> gdscodes_;
    std::string operacion_;
};

// Throws an FbError built from the status vector when it reports an error. Its message opens
// with a Spanish sentence saying what failed and where (and why, for the kinds the operator can
// act on), followed by the engine's own lines. A `motivo` given replaces the sentence of why.
void CheckStatus(const ISC_STATUS* status, const std::string& operacion,
                 const std::string& motivo = {});

// Whether a status vector holds an error; a call made often asks this first, so that its
// message is built only then.
inline bool Fallo(const ISC_STATUS* st) {
    return st[0] == 1 && st[1] != 0;
}

// The engine's message lines, joined by line breaks.
std::string StatusMessage(const ISC_STATUS* status);
