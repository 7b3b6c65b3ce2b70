#include "TDatos.h"

#include "Destino.h"
#include "FbError.h"
#include "OrigenFacturaPlus.h"
#include "SourceQuery.h"
#include "Traspasos.h"

TDatos::TDatos(Interfaz& interfaz)
    : interfaz_(interfaz),
      origen_(std::make_unique<OrigenFacturaPlus>(
          [this](const std::string& t) { interfaz_.MostrarEstado(t, false); })),
      destino_(std::make_unique<Destino>()) {
    origen_->AlFallarBusqueda = [this](const std::string& consulta, const std::string& error) {
        FalloDeBusqueda(consulta, error);
    };
    DataSource1.SetDataSet(origen_->qAgentesVenta);
    // The side tables are told about when a run first opens them.
    for (SourceQuery* q :
         {&origen_->qStock, &origen_->qProvincias, &origen_->qArticulosNombreLargo})
        q->AfterOpen = [this](SourceQuery& s) {
            if (Ejecutando()) AvisarDeLaTabla(s);
        };
    IBDatabase1().SetDefaultTransaction(&IBTransaction1());
    IBQueryFamiliasArticulos().SetText(
        {"SELECT IDFAMILIASARTICULOS", "FROM FAMILIASARTICULOS", "WHERE CODIGO = :ParCodigo"});
}

TDatos::~TDatos() {
    DataSource1.AlCambiar = nullptr; // whoever followed it may be gone already
    DataSource1.SetDataSet(nullptr);
    try {
        IBQueryFamiliasArticulos().Close();
        if (IBTransaction1().InTransaction()) {
            if (modo_ == Modo::Traspaso)
                IBTransaction1().Commit();
            else
                IBTransaction1().Rollback();
        }
        IBDatabase1().Close();
    } catch (...) {
        // The connection's own destructor releases what is left; nothing to report to.
    }
}

void TDatos::CrearAlias(const std::string& ruta) {
    origen_->CrearAlias(ruta);
}

void TDatos::PaginaDeCodigos(const std::string& tabla, int pagina) {
    origen_->Session1.PaginaDeCodigos(tabla, pagina);
}

void TDatos::SetRutaDestino(const std::string& ruta) {
    IBDatabase1().SetDatabaseName(ruta);
}

const std::string& TDatos::RutaDestino() const {
    return destino_->IBDatabase1.DatabaseName();
}

void TDatos::Cerrar() {
    // A connection the server has shut is let go without a commit that would never be answered.
    try {
        IBDatabase1().Comprobar();
    } catch (const FbError& e) {
        if (e.Cerrada()) {
            AbandonarConexion();
            conexionPerdida_ = true;
        }
    }
    // A dry run or a review leaves the target as it was.
    if (modo_ != Modo::Traspaso && IBTransaction1().InTransaction()) IBTransaction1().Rollback();
    // Closing commits the transaction first; after a lost link that fails once more, and the
    // operator has been told already.
    try {
        if (IBDatabase1().Connected()) IBDatabase1().Close();
    } catch (const FbError& e) {
        if (!(conexionPerdida_ && e.ConexionPerdida())) throw;
    }
    origen_->EliminarAlias();
}

namespace {
bool conexionesAbandonadas = false;
} // namespace

void TDatos::AbandonarConexion() {
    IBDatabase1().Abandonar();
    conexionesAbandonadas = true;
}

bool TDatos::HayConexionesAbandonadas() {
    return conexionesAbandonadas;
}

void TDatos::CancelarOperacion() noexcept {
    destino_->IBDatabase1.CancelarOperacion();
}

bool TDatos::TraspasoFamilias() {
    return EjecutarTraspaso(Familias(*this));
}
bool TDatos::TraspasoArticulos() {
    return EjecutarTraspaso(Articulos(*this));
}
bool TDatos::TraspasoClientes() {
    return EjecutarTraspaso(Clientes(*this));
}
bool TDatos::TraspasoProveedores() {
    return EjecutarTraspaso(Proveedores(*this));
}
bool TDatos::TraspasoAgentes() {
    return EjecutarTraspaso(Agentes(*this));
}

Session& TDatos::Session1() {
    return origen_->Session1;
}
SourceQuery& TDatos::qArticulos() {
    return origen_->qArticulos;
}
SourceQuery& TDatos::qClientes() {
    return origen_->qClientes;
}
SourceQuery& TDatos::qProveedores() {
    return origen_->qProveedores;
}
SourceQuery& TDatos::qAgentesVenta() {
    return origen_->qAgentesVenta;
}
SourceQuery& TDatos::qFamilias() {
    return origen_->qFamilias;
}
SourceQuery& TDatos::qStock() {
    return origen_->qStock;
}
IBDatabase& TDatos::IBDatabase1() {
    return destino_->IBDatabase1;
}
IBTransaction& TDatos::IBTransaction1() {
    return destino_->IBTransaction1;
}
IBSQL& TDatos::IBSQLSelect() {
    return destino_->IBSQLSelect;
}
IBSQL& TDatos::IBSQLInsert() {
    return destino_->IBSQLInsert;
}
IBSQL& TDatos::IBSQLUpdate() {
    return destino_->IBSQLUpdate;
}
IBQuery& TDatos::IBQueryFamiliasArticulos() {
    return destino_->IBQueryFamiliasArticulos;
}
