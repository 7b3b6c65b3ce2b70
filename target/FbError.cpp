#include "FbError.h"

std::string StatusMessage(const ISC_STATUS* status) {
    std::string texto;
    const ISC_STATUS* cursor = status;
    char linea[1024];
    while (fb_interpret(linea, sizeof linea, &cursor) > 0) {
        if (!texto.empty()) texto += '\n';
        texto += linea;
    }
    return texto;
}

void CheckStatus(const ISC_STATUS* status, const std::string& operacion) {
    if (status[0] != 1 || status[1] == 0) return;
    long sqlcode = isc_sqlcode(status);
    std::vector<long> codes;
    for (const ISC_STATUS* p = status; *p != isc_arg_end;) {
        ISC_STATUS kind = *p++;
        if (kind == isc_arg_gds) codes.push_back(static_cast<long>(*p));
        p += kind == isc_arg_cstring ? 2 : 1; // a counted string has two slots
    }
    std::string texto = StatusMessage(status);
    if (texto.empty())
        texto = "Error " + std::to_string(status[1]) + " de Firebird al " + operacion;
    throw FbError(texto, sqlcode, std::move(codes), operacion);
}

bool FbError::HasGdsCode(long code) const {
    for (long c : gdscodes_)
        if (c == code) return true;
    return false;
}
