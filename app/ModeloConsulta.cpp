#include "ModeloConsulta.h"

#include "SourceQuery.h"

void ModeloConsulta::SetConsulta(SourceQuery* q) {
    beginResetModel();
    consulta_ = q;
    activa_ = consulta_ && consulta_->Active();
    filas_ = consulta_ && consulta_->Active() ? static_cast<int>(consulta_->DeliveredCount()) : 0;
    endResetModel();
}

void ModeloConsulta::Actualizar() {
    bool activa = consulta_ && consulta_->Active();
    int ahora = activa ? static_cast<int>(consulta_->DeliveredCount()) : 0;
    if (activa != activa_) {
        beginResetModel();
        activa_ = activa;
        filas_ = ahora;
        endResetModel();
        return;
    }
    if (ahora == filas_) return;
    if (ahora < filas_) {
        beginResetModel();
        filas_ = ahora;
        endResetModel();
        return;
    }
    beginInsertRows({}, filas_, ahora - 1);
    filas_ = ahora;
    endInsertRows();
}

int ModeloConsulta::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : filas_;
}

int ModeloConsulta::columnCount(const QModelIndex& parent) const {
    if (parent.isValid() || !consulta_ || !activa_) return 0;
    return static_cast<int>(consulta_->Fields().size());
}

QVariant ModeloConsulta::data(const QModelIndex& index, int role) const {
    if (role != Qt::DisplayRole || !consulta_ || index.row() >= filas_) return {};
    return QString::fromStdString(
        consulta_->DisplayText(static_cast<std::size_t>(index.row()), index.column()));
}

QVariant ModeloConsulta::headerData(int section, Qt::Orientation o, int role) const {
    if (role != Qt::DisplayRole || !consulta_) return {};
    if (o == Qt::Vertical) return section + 1;
    if (section < 0 || section >= static_cast<int>(consulta_->Fields().size())) return {};
    return QString::fromUtf8(consulta_->Fields()[section].name);
}
