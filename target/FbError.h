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

private:
    long sqlcode_;
    std::vector<long> gdscodes_;
    std::string operacion_;
};

// Throws an FbError built from the status vector when it reports an error.
void CheckStatus(const ISC_STATUS* status, const std::string& operacion);

// The engine's message lines, joined by line breaks.
std::string StatusMessage(const ISC_STATUS* status);
