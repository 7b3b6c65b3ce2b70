#include "NombreTabla.h"

#include "Ascii.h"
#include "OrigenFacturaPlus.h"
#include "SourceQuery.h"
#include "TDatos.h"

std::string NombreDeTabla(const SourceQuery& q) {
    if (const DbfTable* t = q.Table()) return t->FileName();
    // Not opened yet, or it failed to open: the table its text names.
    const std::string texto = ascii::Lower(q.SqlText());
    auto p = texto.find(" from ");
    if (p == std::string::npos) return q.Name();
    p += 6;
    auto fin = texto.find_first_of(" \t\r\n", p);
    return q.SqlText().substr(p, fin == std::string::npos ? std::string::npos : fin - p) + ".dbf";
}

std::vector<std::pair<std::string, std::string>> TDatos::TablasDeLasConsultas() const {
    std::vector<std::pair<std::string, std::string>> r;
    for (const SourceQuery* q : {&origen_->qArticulos, &origen_->qClientes, &origen_->qProveedores,
                                 &origen_->qAgentesVenta, &origen_->qFamilias, &origen_->qStock,
                                 &origen_->qArticulosNombreLargo, &origen_->qProvincias})
        r.emplace_back(q->Name(), NombreDeTabla(*q));
    return r;
}
