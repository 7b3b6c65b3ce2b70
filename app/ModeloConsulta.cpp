#include "ModeloConsulta.h"

#include "DataSource.h"

ModeloConsulta::ModeloConsulta(FuenteDatos& fuente, QObject* parent)
    : QAbstractTableModel(parent), fuente_(fuente) {
    Reiniciar();
}

void ModeloConsulta::Reiniciar() {
    beginResetModel();
    campos_.clear();
    for (const std::string& c : fuente_.Campos())
        campos_ << QString::fromStdString(c);
    activa_ = fuente_.Activa();
    filas_ = static_cast<int>(fuente_.Filas());
    endResetModel();
}

void ModeloConsulta::Actualizar() {
    bool activa = fuente_.Activa();
    int ahora = static_cast<int>(fuente_.Filas());
    if (activa != activa_ || ahora < filas_) {
        Reiniciar();
        return;
    }
    if (ahora == filas_) return;
    beginInsertRows({}, filas_, ahora - 1);
    filas_ = ahora;
    endInsertRows();
}

int ModeloConsulta::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : filas_;
}

int ModeloConsulta::columnCount(const QModelIndex& parent) const {
    return parent.isValid() || !activa_ ? 0 : static_cast<int>(campos_.size());
}

QVariant ModeloConsulta::data(const QModelIndex& index, int role) const {
    if (role != Qt::DisplayRole || index.row() >= filas_) return {};
    return QString::fromStdString(
        fuente_.Texto(static_cast<std::size_t>(index.row()), index.column()));
}

QVariant ModeloConsulta::headerData(int section, Qt::Orientation o, int role) const {
    if (role != Qt::DisplayRole) return {};
    if (o == Qt::Vertical) return section + 1;
    if (section < 0 || section >= static_cast<int>(campos_.size())) return {};
    return campos_[section];
}
