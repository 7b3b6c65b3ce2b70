// Identifiers of the target's rows by their code, and the source's side-table lookups.
#include "Destino.h"
#include "FbError.h"
#include "OrigenFacturaPlus.h"
#include "Reglas.h"
#include "Revision.h"
#include "SourceQuery.h"
#include "TDatos.h"
#include "TextoVisible.h"
#include "Tratamiento.h"

#include <unordered_map>
#include <utility>

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

std::optional<std::unordered_map<std::string, int32_t>>
TDatos::IdsPorCodigo(const std::string& tabla, const std::string& columna) {
    Conectar();
    bool propia = !IBTransaction1().InTransaction();
    if (propia) IBTransaction1().StartTransaction();
    IBSQL& s = destino_->IBSQLBusqueda;
    s.Close();
    // In the table's own order, which is the order a lookup of one code meets its rows in: of
    // several rows under one code, the first is the one it finds.
    s.SetText("SELECT CODIGO, " + columna + " FROM " + tabla + " WHERE CODIGO IS NOT NULL");
    std::unordered_map<std::string, int32_t> ids;
    for (s.ExecQuery(); !s.Eof(); s.Next()) {
        std::string codigo = s.Field(0).AsString();
        // The comparison pads the shorter side with blanks.
        while (!codigo.empty() && codigo.back() == ' ')
            codigo.pop_back();
        ids.emplace(std::move(codigo), s.Field(1).AsInteger());
    }
    s.Close();
    // A collation that takes two stored codes for one would find by either of them what the
    // map holds under one: then each code is asked of the target.
    s.SetText("SELECT COUNT(DISTINCT CODIGO) FROM " + tabla);
    s.ExecQuery();
    const bool porBytes = static_cast<std::size_t>(s.Field(0).AsInteger()) == ids.size();
    s.Close();
    if (propia && IBTransaction1().InTransaction()) IBTransaction1().CommitRetaining();
    if (!porBytes) return std::nullopt;
    return ids;
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
    if (modo_ == Modo::Revision && revision_) revision_->FaltaEnDestino(tabla, codigo, texto);
}

double TDatos::StockArticulo(const std::string& articulo) {
    SourceQuery& stock = qStock();
    try {
        stock.Close();
        stock.SetParam("PARCODIGO", articulo);
        stock.Open();
    } catch (const std::exception& e) {
        throw TablaAuxiliarIlegible(
            "stocks", "No se ha podido leer la tabla de existencias (stocks.dbf): el stock de los "
                      "artículos se deja como está en este traspaso, que no volverá a avisarlo. " +
                          std::string(e.what()));
    }
    return stock.Eof() ? 0 : stock.FieldByName("NSTOCK").AsFloat();
}

// The mappings' lookups, answered by the data module's own operations. Within one transfer the
// identifiers of families, payment methods and agents are taken as fixed (the turn keeps every
// other transfer off the database; a row the product's own users add meanwhile is not seen), so
// each code is asked once and remembered until the next transfer; a review asks every time, as
// each record must hear of the codes the target lacks.
class BusquedasDeDatos final : public Busquedas {
public:
    explicit BusquedasDeDatos(TDatos& d) : d_(d) {}
    std::string NombreProvincia(const std::string& codigo) override {
        return d_.NombreProvincia(codigo);
    }
    std::string NombreLargoArticulo(const std::string& codigo) override {
        return d_.NombreLargoArticulo(codigo);
    }
    double StockArticulo(const std::string& articulo) override {
        return d_.StockArticulo(articulo);
    }
    std::optional<int32_t> IdFamilia(const std::string& codigo) override {
        std::optional<int32_t> id =
            Recuerda() ? Recordado(familias_, "FAMILIASARTICULOS", "IDFAMILIASARTICULOS",
                                   Primeros(codigo, 4), [&] { return d_.BuscarIdFamilia(codigo); })
                       : d_.BuscarIdFamilia(codigo);
        if (!id) PorCrear("FAMILIASARTICULOS", Primeros(codigo, 4), "la familia nueva");
        return id;
    }
    int32_t FormaPagoODefecto(const std::string& codigo, int32_t defecto) override {
        if (!Recuerda()) return d_.FormaPagoODefecto(codigo, defecto);
        std::string clave = Primeros(codigo, 4);
        int32_t id = Recordado(formasPago_, "FORMASPAGO", "IDFORMASPAGO", clave,
                               [&] { return d_.BuscarIdFormaPago(clave); });
        return id != 0 ? id : defecto;
    }
    std::optional<int32_t> IdAgenteVenta(const std::string& codigo) override {
        int32_t id = Recuerda() ? Recordado(agentes_, "AGENTESVENTA", "IDAGENTESVENTA", codigo,
                                            [&] { return d_.BuscarIdAgenteVenta(codigo); })
                                : d_.BuscarIdAgenteVenta(codigo);
        if (id == 0) PorCrear("AGENTESVENTA", codigo, "el agente nuevo");
        return id != 0 ? std::optional<int32_t>(id) : std::nullopt;
    }
    std::optional<std::string> FilaPorCrear() override { return std::exchange(porCrear_, {}); }
    void Olvidar() override {
        familias_ = {};
        formasPago_ = {};
        agentes_ = {};
    }

private:
    // What a transfer knows of one table's codes: the whole table, read at its first lookup
    // (one select instead of one per code: a client file can name thousands of agents), and
    // the answers of the lookup statement for the codes it did not hold.
    template <class V> struct Memoria {
        std::unordered_map<std::string, V> ids;
        bool leida = false;
    };

    bool Recuerda() const { return d_.GetModo() != TDatos::Modo::Revision; }
    // A code the target lacks that an earlier transfer of this comparison would create.
    void PorCrear(const std::string& tabla, const std::string& codigo, const char* que) {
        auto t = d_.porCrear_.find(tabla);
        if (t != d_.porCrear_.end() && t->second.count(codigo))
            porCrear_ = std::string(que) + " «" + TextoVisible(codigo) + "»";
    }
    // The answer for `clave`: from the table read whole when it holds the code as written;
    // otherwise asked of `buscar` the first time only (an error is not remembered), which
    // also answers codes that the table's comparison matches otherwise than byte by byte.
    template <class V, class F>
    V Recordado(Memoria<V>& m, const char* tabla, const char* columna, const std::string& clave,
                F buscar) {
        if (!m.leida) {
            m.leida = true;
            try {
                if (auto ids = d_.IdsPorCodigo(tabla, columna))
                    for (auto& [codigo, id] : *ids)
                        m.ids.emplace(codigo, V(id));
            } catch (const FbError& e) {
                if (e.AfectaALaBase()) throw;
            } catch (const std::exception&) {
                // Then each code is asked on its own, and a fault there is its record's.
            }
        }
        auto hallado = m.ids.find(clave);
        if (hallado != m.ids.end()) return hallado->second;
        V v = buscar();
        m.ids.emplace(clave, v);
        return v;
    }

    TDatos& d_;
    Memoria<std::optional<int32_t>> familias_;
    Memoria<int32_t> formasPago_;
    Memoria<int32_t> agentes_;
    std::optional<std::string> porCrear_;
};

std::unique_ptr<Busquedas> NuevasBusquedas(TDatos& d) {
    return std::make_unique<BusquedasDeDatos>(d);
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
