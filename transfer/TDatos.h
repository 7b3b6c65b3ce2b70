#pragma once
// The data module: everything that touches data, for the whole run of the program.
#include "IBDatabase.h"
#include "IBQuery.h"
#include "IBSQL.h"
#include "IBTransaction.h"
#include "Interfaz.h"
#include "OrigenFacturaPlus.h"
#include "Traspaso.h"

#include <cstdint>
#include <functional>
#include <string>

class TDatos {
public:
    explicit TDatos(Interfaz& interfaz);
    TDatos(const TDatos&) = delete;
    TDatos& operator=(const TDatos&) = delete;
    ~TDatos(); // commits an open transaction and disconnects; never throws

    // Source: the session, the alias and the queries.
    void CrearAlias(const std::string& ruta) { origen_.CrearAlias(ruta); }
    Session& Session1() { return origen_.Session1; }
    SourceQuery& qArticulos() { return origen_.qArticulos; }
    SourceQuery& qClientes() { return origen_.qClientes; }
    SourceQuery& qProveedores() { return origen_.qProveedores; }
    SourceQuery& qAgentesVenta() { return origen_.qAgentesVenta; }
    SourceQuery& qFamilias() { return origen_.qFamilias; }
    SourceQuery& qStock() { return origen_.qStock; }
    std::string NombreLargoArticulo(const std::string& c) { return origen_.NombreLargoArticulo(c); }
    std::string NombreProvincia(const std::string& c) { return origen_.NombreProvincia(c); }

    // The query the window's grid follows; a change is told to OnDataSourceChange.
    SourceQuery* DataSource1() const { return dataSource_; }
    void SetDataSource1(SourceQuery& q);
    std::function<void()> OnDataSourceChange;

    // Target: the connection, its transaction, the three statements and the families query.
    IBDatabase IBDatabase1;
    IBTransaction IBTransaction1{IBDatabase1};
    IBSQL IBSQLSelect{IBDatabase1, IBTransaction1};
    IBSQL IBSQLInsert{IBDatabase1, IBTransaction1};
    IBSQL IBSQLUpdate{IBDatabase1, IBTransaction1};
    IBQuery IBQueryFamiliasArticulos{IBDatabase1, IBTransaction1};

    // Code lookups in the target.
    Variant BuscarIdFamilia(const std::string& codigo);
    int32_t BuscarIdFormaPago(const std::string& codigo);
    int32_t BuscarIdAgenteVenta(const std::string& codigo);

    // The transfers. Each returns false when a stop was asked for and it ended early, after
    // committing its last record and without its summary.
    bool TraspasoAgentes();

    int32_t RegistrosAnadidos = 0;
    int32_t RegistrosActualizados = 0;

    // Asks the running transfer to stop after the current record has been committed.
    void SolicitarParada() { parada_ = true; }
    bool Ejecutando() const { return ejecutando_; }

    // The closing steps: commit an active transaction, disconnect, delete the alias.
    void Cerrar();

private:
    bool EjecutarTraspaso(const DescripcionTraspaso& d);
    int32_t LeerDefecto(const std::string& texto, const std::string& columna);
    int32_t BuscarId(const std::vector<std::string>& texto, const std::string& codigo,
                     const std::string& columna);
    DescripcionTraspaso DescripcionAgentes(int32_t& ivaPorDefecto);

    Interfaz& interfaz_;
    OrigenFacturaPlus origen_;
    SourceQuery* dataSource_;
    bool parada_ = false;
    bool ejecutando_ = false;
};
