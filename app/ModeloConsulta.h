#pragma once
// The grid's rows: the records a source query has delivered so far, read on demand from the
// mapped table, one column per declared field.
#include <QAbstractTableModel>

class SourceQuery;

class ModeloConsulta : public QAbstractTableModel {
    Q_OBJECT
public:
    using QAbstractTableModel::QAbstractTableModel;
    void SetConsulta(SourceQuery* q);
    // Catches up with the query: new rows are added, a closed or restarted query empties it.
    void Actualizar();

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation o, int role) const override;

private:
    SourceQuery* consulta_ = nullptr;
    int filas_ = 0;
    bool activa_ = false;
};
