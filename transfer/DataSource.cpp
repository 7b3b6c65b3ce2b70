#include "DataSource.h"

#include "SourceQuery.h"

FuenteDatos::~FuenteDatos() {
    if (q_) q_->OnStateChange = nullptr;
}

void FuenteDatos::SetDataSet(SourceQuery* q) {
    if (q_) q_->OnStateChange = nullptr;
    q_ = q;
    if (q_)
        q_->OnStateChange = [this] {
            if (AlCambiar) AlCambiar();
        };
    if (AlCambiar) AlCambiar();
}

bool FuenteDatos::Activa() const {
    return q_ && q_->Active();
}

std::vector<std::string> FuenteDatos::Campos() const {
    std::vector<std::string> c;
    if (q_)
        for (const FieldDecl& d : q_->Fields())
            c.emplace_back(d.name);
    return c;
}

std::size_t FuenteDatos::Filas() const {
    return Activa() ? q_->DeliveredCount() : 0;
}

std::string FuenteDatos::Texto(std::size_t fila, int campo) const {
    return Activa() ? q_->DisplayText(fila, campo) : std::string();
}
