#include "TDatos.h"

#include "Destino.h"
#include "Error.h"
#include "FbError.h"
#include "OrigenFacturaPlus.h"
#include "Revision.h"
#include "SourceQuery.h"
#include "Traspasos.h"
#include "Tratamiento.h"
#include "Turno.h"
#include "Vigia.h"

TDatos::TDatos(Interfaz& interfaz)
    : interfaz_(interfaz),
      origen_(std::make_unique<OrigenFacturaPlus>(
          [this](const std::string& t) { interfaz_.MostrarEstado(t, false); })),
      destino_(std::make_unique<Destino>()), busquedas_(NuevasBusquedas(*this)),
      enlazar_(std::make_unique<Enlazador>()) {
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
    DejarDeAtenderSenales();
    DataSource1.AlCambiar = nullptr; // whoever followed it may be gone already
    DataSource1.SetDataSet(nullptr);
    try {
        IBQueryFamiliasArticulos().Close();
        if (IBTransaction1().InTransaction()) IBTransaction1().Rollback();
        turno_.reset();
        IBDatabase1().Close();
    } catch (...) {
        // The connection's own destructor releases what is left; nothing to report to.
    }
}

void TDatos::SetModo(Modo m) {
    if (modo_ == Modo::Ensayo && m != Modo::Ensayo) {
        if (IBTransaction1().InTransaction()) IBTransaction1().Rollback();
        turno_.reset();
    }
    if (m != modo_) porCrear_.clear();
    modo_ = m;
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
    vigia::Plazo plazo(SenalRecibida() ? vigia::kCierreTrasSenal : vigia::kCierre);
    // A connection the server has shut is let go without a commit that would never be answered.
    try {
        IBDatabase1().Comprobar();
    } catch (const FbError& e) {
        if (e.Cerrada()) {
            AbandonarConexion();
            conexionPerdida_ = true;
        }
    }
    if (IBDatabase1().Cortada()) {
        // The server did not answer in time: nothing more is asked of it.
        if (turno_) turno_->Abandonar();
        turno_.reset();
        AbandonarConexion();
        origen_->EliminarAlias();
        if (!conexionPerdida_)
            throw Error("Se ha abandonado la conexión con " + RutaDestino() +
                        " sin confirmar ni desconectar, porque el servidor no respondía; lo que "
                        "no estuviera confirmado lo deshace el servidor.");
        return;
    }
    // A dry run or a review leaves the target as it was; a dry run gives its turn back only
    // then, its locks gone.
    if (modo_ != Modo::Traspaso && IBTransaction1().InTransaction()) IBTransaction1().Rollback();
    turno_.reset();
    // Closing commits the transaction first; after a run that the database itself stopped (a
    // lost link, a full disk) that fails once more, and the operator has been told already.
    try {
        if (IBDatabase1().Connected()) IBDatabase1().Close();
    } catch (const FbError& e) {
        if (!((conexionPerdida_ || baseFallida_) && e.AfectaALaBase())) throw;
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
    return conexionesAbandonadas || IBDatabase::HayAbandonadas();
}

void TDatos::CancelarOperacion() noexcept {
    destino_->IBDatabase1.CancelarOperacion();
}

const std::vector<TraspasoOfrecido>& TraspasosOfrecidos() {
    static const std::vector<TraspasoOfrecido> kTraspasos = {
        {"agentes",
         "agentes de venta (agentes.dbf -> AGENTESVENTA)",
         {{"agentes", "AGENTESVENTA", +[](TDatos& x) -> SourceQuery& { return x.qAgentesVenta(); },
           +[](TDatos& x) { return x.TraspasoAgentes(); }, &Agentes}}},
        {"proveedores",
         "proveedores (proveedo.dbf -> PROVEEDORES)",
         {{"proveedores", "PROVEEDORES",
           +[](TDatos& x) -> SourceQuery& { return x.qProveedores(); },
           +[](TDatos& x) { return x.TraspasoProveedores(); }, &Proveedores}}},
        {"clientes",
         "clientes y su domicilio de cobro (clientes.dbf -> CLIENTES)",
         {{"clientes", "CLIENTES", +[](TDatos& x) -> SourceQuery& { return x.qClientes(); },
           +[](TDatos& x) { return x.TraspasoClientes(); }, &Clientes}}},
        {"articulos",
         "familias y después artículos, con precios y stock (familias.dbf, articulo.dbf)",
         {{"familias", "FAMILIASARTICULOS",
           +[](TDatos& x) -> SourceQuery& { return x.qFamilias(); },
           +[](TDatos& x) { return x.TraspasoFamilias(); }, &Familias},
          {"articulos", "ARTICULOS", +[](TDatos& x) -> SourceQuery& { return x.qArticulos(); },
           +[](TDatos& x) { return x.TraspasoArticulos(); }, &Articulos}}},
    };
    return kTraspasos;
}

const TraspasoOfrecido& TraspasoDeNombre(const std::string& nombre) {
    std::string hay;
    for (const TraspasoOfrecido& t : TraspasosOfrecidos()) {
        if (t.nombre == nombre) return t;
        hay += (hay.empty() ? "" : ", ") + t.nombre;
    }
    throw Error("No hay ningún traspaso llamado «" + nombre + "»; los que hay son " + hay);
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
