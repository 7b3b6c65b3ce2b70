#pragma once
// The grid's rows: the records the followed source query has delivered so far, read on demand,
// one column per declared field.
#include <QAbstractTableModel>

class FuenteDatos;

class ModeloConsulta : public QAbstractTableModel {
    Q_OBJECT
public:
    ModeloConsulta(FuenteDatos& fuente, QObject* parent);
    // Starts again from what the data source shows now (pointed elsewhere, opened or closed).
    void Reiniciar();
    // Catches up with the walk: new rows are added, a closed or restarted query empties it.
    void Actualizar();

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation o, int role) const override;

private:
    FuenteDatos& fuente_;
    QStringList campos_;
    int filas_ = 0;
    bool activa_ = false;
};
