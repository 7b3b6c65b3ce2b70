#include "TDatos.h"

TDatos::TDatos(Interfaz& interfaz)
    : interfaz_(interfaz),
      origen_([this](const std::string& t) { interfaz_.MostrarEstado(t, false); }),
      dataSource_(&origen_.qAgentesVenta) {
    IBDatabase1.SetDefaultTransaction(&IBTransaction1);
    IBQueryFamiliasArticulos.SetText(
        {"SELECT IDFAMILIASARTICULOS", "FROM FAMILIASARTICULOS", "WHERE CODIGO = :ParCodigo"});
}

TDatos::~TDatos() {
    try {
        IBQueryFamiliasArticulos.Close();
        if (IBTransaction1.InTransaction()) IBTransaction1.Commit();
        IBDatabase1.Close();
    } catch (...) {
        // The connection's own destructor releases what is left; nothing to report to.
    }
}

void TDatos::SetDataSource1(SourceQuery& q) {
    dataSource_ = &q;
    if (OnDataSourceChange) OnDataSourceChange();
}

void TDatos::Cerrar() {
    if (IBTransaction1.InTransaction()) IBTransaction1.Commit();
    if (IBDatabase1.Connected()) IBDatabase1.Close();
    origen_.EliminarAlias();
}
