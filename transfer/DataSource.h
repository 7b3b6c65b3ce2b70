#pragma once
// DataSource1: the source query that the window's grid follows. The grid reads it through this
// object only, so that front ends need nothing of the dBase engine.
#include <cstddef>
#include <functional>
#include <string>
#include <vector>

class SourceQuery;

class FuenteDatos {
public:
    FuenteDatos() = default;
    FuenteDatos(const FuenteDatos&) = delete;
    FuenteDatos& operator=(const FuenteDatos&) = delete;
    ~FuenteDatos();

    // Points at another query (or none); AlCambiar is told.
    void SetDataSet(SourceQuery* q);
    void SetDataSet(SourceQuery& q) { SetDataSet(&q); }
    SourceQuery* DataSet() const { return q_; }

    bool Activa() const;                     // the query is open
    std::vector<std::string> Campos() const; // its declared fields, in order
    std::size_t Filas() const;               // the rows the walk has delivered so far
    std::string Texto(std::size_t fila, int campo) const;

    // Told when the query is pointed elsewhere, opens or closes.
    std::function<void()> AlCambiar;

private:
    SourceQuery* q_ = nullptr;
};
