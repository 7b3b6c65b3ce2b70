#include "Crudo.h"

#include "Ascii.h"
#include "ClienteCrudo.h"
#include "Reglas.h"
#include "SourceQuery.h"
#include "TDatos.h"
#include "Traspaso.h"

#include <chrono>
#include <ctime>
#include <memory>
#include <optional>
#include <stdexcept>

namespace {

// One record's values, all computed before the clock starts.
struct Registro {
    std::vector<ValorCrudo> codigo;
    std::vector<ValorCrudo> alta, cambio;
    std::vector<std::vector<ValorCrudo>> despues;
    std::string familia;
};

// The target's defaults and the identifiers the transfers look up by code, read beforehand.
struct Referencias {
    std::unordered_map<std::string, int32_t> formasPago; // by code
    std::unordered_map<std::string, int32_t> agentes;    // by code
};

// The mappings' lookups without the data module's target: the source's side tables through the
// data module (which never connects here), the target's identifiers from what was read before.
// The article's family is set by the loop, from the families it has just written.
class BusquedasCrudas final : public Busquedas {
public:
    BusquedasCrudas(TDatos& d, const Referencias& r) : d_(d), r_(r) {}
    std::string NombreProvincia(const std::string& c) override { return d_.NombreProvincia(c); }
    std::string NombreLargoArticulo(const std::string& c) override {
        return d_.NombreLargoArticulo(c);
    }
    double StockArticulo(const std::string& a) override { return d_.StockArticulo(a); }
    std::optional<int32_t> IdFamilia(const std::string& codigo) override {
        familia = Primeros(codigo, 4);
        return std::nullopt;
    }
    int32_t FormaPagoODefecto(const std::string& codigo, int32_t defecto) override {
        auto it = r_.formasPago.find(Primeros(codigo, 4));
        return it != r_.formasPago.end() ? it->second : defecto;
    }
    std::optional<int32_t> IdAgenteVenta(const std::string& codigo) override {
        auto it = r_.agentes.find(codigo);
        if (it == r_.agentes.end()) return std::nullopt;
        return it->second;
    }
    std::string familia; // the family code the last record asked for

private:
    TDatos& d_;
    const Referencias& r_;
};

ValorCrudo Crudo(const Valor& v, const std::string& parametro) {
    return std::visit(
        [&](const auto& x) -> ValorCrudo {
            using T = std::decay_t<decltype(x)>;
            if constexpr (std::is_same_v<T, std::monostate>)
                return NuloCrudo();
            else if constexpr (std::is_same_v<T, std::string>)
                return TextoCrudo(x, parametro);
            else if constexpr (std::is_same_v<T, int32_t>)
                return EnteroCrudo(x);
            else if constexpr (std::is_same_v<T, Simple>)
                return Binario(SQL_FLOAT, static_cast<float>(x.valor));
            else {
                std::tm tm{};
                tm.tm_year = x.year - 1900;
                tm.tm_mon = x.month - 1;
                tm.tm_mday = x.day;
                tm.tm_hour = x.hour;
                tm.tm_min = x.minute;
                tm.tm_sec = x.second;
                ISC_TIMESTAMP ts;
                isc_encode_timestamp(&tm, &ts);
                return Binario(SQL_TIMESTAMP, ts);
            }
        },
        v);
}

// A statement's values in the order of its parameters, from the mapping's lines; `clave` is
// the parameter the loop fills with the record's identifier.
std::vector<ValorCrudo> EnOrden(const Sentencia& s, const std::vector<Linea>& lineas, Envio e,
                                const Fuente& f, const std::string& clave = "") {
    std::vector<ValorCrudo> v(s.Nombres().size());
    std::vector<bool> puesto(v.size(), false);
    auto poner = [&](const std::string& parametro, const ValorCrudo& valor) {
        for (std::size_t i = 0; i < v.size(); ++i)
            if (s.Nombres()[i] == ascii::Upper(parametro)) {
                v[i] = valor;
                puesto[i] = true;
            }
    };
    for (const Linea& l : lineas)
        if (Envia(l, e)) poner(l.parametro, Crudo(l.valor(f), l.parametro));
    if (!clave.empty()) poner(clave, EnteroCrudo(0));
    for (std::size_t i = 0; i < v.size(); ++i)
        if (!puesto[i])
            throw std::runtime_error("raw loop: no value for parameter " + s.Nombres()[i]);
    return v;
}

// Reads the transfer's defaults with its own queries, into the description's variables.
void LeerDefectos(const Traspaso& t, Conexion& c) {
    for (const Defecto& d : t.defectos) {
        Sentencia s(c, d.consulta);
        std::vector<ValorCrudo> nada;
        s.Ejecutar(nada);
        for (std::size_t i = 0; i < d.destinos.size(); ++i)
            *d.destinos[i] = s.Columna(i).value_or(0);
    }
}

std::vector<Registro> Calcular(const Traspaso& t, TDatos& datos, const Referencias& r,
                               Conexion& c) {
    // Prepared here only to learn each statement's parameters in order.
    Sentencia ins(c, t.insert), upd(c, t.update);
    std::vector<std::unique_ptr<Sentencia>> despues;
    for (const Seguimiento& s : t.seguimientos)
        despues.push_back(std::make_unique<Sentencia>(c, s.texto));
    LeerDefectos(t, c);
    BusquedasCrudas b(datos, r);
    SourceQuery& q = *t.consulta;
    q.Open();
    CamposDeConsulta campos(q);
    std::vector<Registro> regs;
    for (q.First(); !q.Eof(); q.Next()) {
        Fuente f{campos, b};
        Registro reg;
        reg.codigo = {TextoCrudo(t.codigo(campos), "PARCODIGO")};
        b.familia.clear();
        reg.alta = EnOrden(ins, t.lineas, Envio::Alta, f);
        reg.cambio = EnOrden(upd, t.lineas, Envio::Cambio, f, t.Clave());
        for (std::size_t k = 0; k < t.seguimientos.size(); ++k)
            reg.despues.push_back(EnOrden(*despues[k], t.seguimientos[k].lineas, Envio::Ambas, f,
                                          t.seguimientos[k].idParametro));
        reg.familia = b.familia;
        regs.push_back(std::move(reg));
    }
    q.Close();
    return regs;
}

// The statements of one pass, prepared once, except the lookup when it is prepared per record.
struct Sentencias {
    Sentencias(const Traspaso& t, Conexion& c, Busqueda b)
        : busqueda(t.Busqueda()), insert(c, t.insert), update(c, t.update),
          clave(update.Posicion(ascii::Upper(t.Clave()))) {
        for (const Seguimiento& s : t.seguimientos) {
            despues.push_back(std::make_unique<Sentencia>(c, s.texto));
            idDespues.push_back(despues.back()->Posicion(ascii::Upper(s.idParametro)));
        }
        if (b == Busqueda::PreparadaUnaVez) unaVez = std::make_unique<Sentencia>(c, busqueda);
        for (const std::string& n : insert.Nombres())
            if (n == "FAMILIA") familiaAlta = insert.Posicion(n);
        for (const std::string& n : update.Nombres())
            if (n == "FAMILIA") familiaCambio = update.Posicion(n);
    }
    std::string busqueda;
    Sentencia insert, update;
    int clave;
    std::vector<std::unique_ptr<Sentencia>> despues;
    std::vector<int> idDespues;
    std::unique_ptr<Sentencia> unaVez;
    int familiaAlta = -1, familiaCambio = -1;
};

void Recorrer(const Traspaso& t, std::vector<Registro>& regs, Conexion& c, Busqueda b,
              int confirmarCada, const std::unordered_map<std::string, int32_t>& familias,
              MedidaCruda& m) {
    Sentencias s(t, c, b);
    for (std::size_t i = 0; i < regs.size(); ++i) {
        Registro& r = regs[i];
        std::optional<int32_t> id;
        if (s.unaVez) {
            id = s.unaVez->Ejecutar(r.codigo);
        } else {
            Sentencia anew(c, s.busqueda);
            id = anew.Ejecutar(r.codigo);
        }
        if (s.familiaAlta >= 0 && s.familiaCambio >= 0) {
            auto f = familias.find(r.familia);
            ValorCrudo v = f != familias.end() ? EnteroCrudo(f->second) : NuloCrudo();
            r.alta[s.familiaAlta] = v;
            r.cambio[s.familiaCambio] = v;
        }
        if (id && *id != 0) {
            r.cambio[s.clave] = EnteroCrudo(*id);
            s.update.Ejecutar(r.cambio);
            ++m.cambios;
        } else {
            id = s.insert.Ejecutar(r.alta); // the identifier when the insert returns it
            ++m.altas;
        }
        if (id && *id != 0)
            for (std::size_t k = 0; k < s.despues.size(); ++k) {
                r.despues[k][s.idDespues[k]] = EnteroCrudo(*id);
                s.despues[k]->Ejecutar(r.despues[k]);
            }
        c.ConfirmarRetener();
        if (confirmarCada > 0 && (i + 1) % confirmarCada == 0) {
            c.Confirmar();
            c.Iniciar();
        }
    }
}

class SinInterfaz : public Interfaz {
    void MostrarEstado(const std::string&, bool) override {}
    void Aviso(const std::string&, const RegistroEnCurso&) override {}
    void AtenderMensajes(const RegistroEnCurso&) override {}
};

} // namespace

MedidaCruda BucleCrudo(const std::string& traspaso, const std::string& carpeta,
                       const std::string& base, Busqueda b, int confirmarCada) {
    SinInterfaz nadie;
    TDatos datos(nadie); // lends the transfers' descriptions and the source; never connects
    datos.CrearAlias(carpeta);
    std::vector<Traspaso> pasos;
    for (const PasoDeTraspaso& p : TraspasoDeNombre(traspaso).pasos)
        pasos.push_back(p.descripcion(datos));
    std::vector<std::vector<Registro>> registros;
    {
        Conexion c(base);
        c.Iniciar();
        Referencias r{IdsPorCodigo(c, "FORMASPAGO"), IdsPorCodigo(c, "AGENTESVENTA")};
        for (const Traspaso& t : pasos)
            registros.push_back(Calcular(t, datos, r, c));
        c.Confirmar();
    }

    MedidaCruda m;
    m.registros = static_cast<long>(registros.back().size());
    auto inicio = std::chrono::steady_clock::now();
    Conexion c(base);
    c.Iniciar();
    std::unordered_map<std::string, int32_t> familias;
    for (std::size_t k = 0; k < pasos.size(); ++k) {
        // The families just written, by code, as the articles' lookups would find them.
        if (pasos[k].tabla == "ARTICULOS") familias = IdsPorCodigo(c, "FAMILIASARTICULOS");
        Recorrer(pasos[k], registros[k], c, b, confirmarCada, familias, m);
    }
    m.segundos = std::chrono::duration<double>(std::chrono::steady_clock::now() - inicio).count();
    Paginas p = LeerPaginas(c.Db());
    m.lecturas = p.lecturas;
    m.escrituras = p.escrituras;
    m.accesos = p.accesos;
    c.Confirmar();
    return m;
}
