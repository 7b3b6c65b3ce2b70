// Identifiers of the target's rows by their code, and the source's side-table lookups.
#include "Destino.h"
#include "OrigenFacturaPlus.h"
#include "Reglas.h"
#include "TDatos.h"
#include "TextoVisible.h"

std::optional<int32_t> TDatos::BuscarIdFamilia(const std::string& codigo) {
    // Families are stored under the first four characters of their code.
    IBQuery& q = IBQueryFamiliasArticulos();
    q.Close();
    try {
        q.ParamByName("ParCodigo").SetAsString(Primeros(codigo, 4));
    } catch (const ValorNoAdmitido&) {
        return std::nullopt;
    }
    q.Open();
    Variant v = q.FieldAsVariant("IDFAMILIASARTICULOS");
    if (IsNull(v)) {
        FaltaEnDestino("FAMILIASARTICULOS", Primeros(codigo, 4),
                       "La familia «" + TextoVisible(Primeros(codigo, 4)) +
                           "» no está en el destino: el artículo quedará sin familia");
        return std::nullopt;
    }
    return q.FieldAsInteger("IDFAMILIASARTICULOS");
}

int32_t TDatos::BuscarId(const std::vector<std::string>& texto, const std::string& codigo,
                         const std::string& columna) {
    if (codigo.empty()) return 0;
    // Like a query of its own: it connects and starts the transaction when they are not there,
    // and then commits retaining what it started.
    Conectar();
    bool propia = !IBTransaction1().InTransaction();
    if (propia) IBTransaction1().StartTransaction();
    IBSQL& s = destino_->IBSQLBusqueda;
    s.Close();
    s.SetText(texto);
    int32_t id = 0;
    try {
        s.ParamByName("PARCODIGO").SetAsString(codigo);
        s.ExecQuery();
        IBField& f = s.FieldByName(columna);
        id = f.IsNull() ? 0 : f.AsInteger();
        s.Close();
    } catch (const ValorNoAdmitido&) {
        return 0; // a code its column cannot hold is in no row
    }
    if (propia && IBTransaction1().InTransaction()) IBTransaction1().CommitRetaining();
    return id;
}

int32_t TDatos::BuscarIdFormaPago(const std::string& codigo) {
    return BuscarId({"SELECT IDFORMASPAGO", " FROM FORMASPAGO WHERE CODIGO = :PARCODIGO"}, codigo,
                    "IDFORMASPAGO");
}

int32_t TDatos::BuscarIdAgenteVenta(const std::string& codigo) {
    int32_t id = BuscarId({"SELECT IDAGENTESVENTA", " FROM AGENTESVENTA WHERE CODIGO = :PARCODIGO"},
                          codigo, "IDAGENTESVENTA");
    if (id == 0 && !codigo.empty())
        FaltaEnDestino("AGENTESVENTA", codigo,
                       "El agente «" + TextoVisible(codigo) +
                           "» no está en el destino: el cliente quedará sin agente");
    return id;
}

int32_t TDatos::FormaPagoODefecto(const std::string& codigo, int32_t defecto) {
    int32_t id = BuscarIdFormaPago(Primeros(codigo, 4));
    if (id == 0 && !codigo.empty())
        FaltaEnDestino("FORMASPAGO", Primeros(codigo, 4),
                       "La forma de pago «" + TextoVisible(Primeros(codigo, 4)) +
                           "» no está en el destino: se pondrá la de por defecto");
    return id != 0 ? id : defecto;
}

void TDatos::FaltaEnDestino(const std::string& tabla, const std::string& codigo,
                            const std::string& texto) {
    if (!faltas_) return;
    auto r = revisados_.find(tabla);
    if (r == revisados_.end() || !r->second.count(codigo)) (*faltas_)(texto);
}

std::string TDatos::NombreLargoArticulo(const std::string& codigo) {
    return origen_->NombreLargoArticulo(codigo);
}

std::string TDatos::NombreProvincia(const std::string& codigo) {
    return origen_->NombreProvincia(codigo);
}

void TDatos::FalloDeBusqueda(const std::string& consulta, const std::string& error) {
    // The record goes on with an empty value, as the lookup promises; but a side table that
    // cannot be read would otherwise blank that column in every record without a word.
    const std::string tabla = consulta == "qProvincias" ? "PROVINC" : "Artcom";
    if (!Ejecutando() || !tablasAvisadas_.insert(tabla).second) return;
    interfaz_.Aviso("No se ha podido leer la tabla auxiliar " + tabla + " (" + consulta +
                        "): su valor queda vacío en este registro y en los siguientes de este "
                        "traspaso, que no volverán a avisarlo. " +
                        error,
                    registro_);
}
