#include "Crudo.h"

#include "Ascii.h"
#include "ClienteCrudo.h"
#include "Reglas.h"
#include "Session.h"
#include "SourceQuery.h"
#include "TDatos.h"
#include "Traspaso.h"

#include <chrono>
#include <cstdio>
#include <ctime>
#include <memory>
#include <optional>
#include <stdexcept>

namespace {

// A target identifier a value waits for: asked of a table by code while the values are
// computed, answered inside the clock, as the data module must read the target to answer it.
struct Peticion {
    std::string tabla, codigo;
    std::optional<int32_t> defecto; // given when the table has no row for the code; else NULL
};
struct Pendiente {
    std::size_t lugar; // among the statement's values
    Peticion peticion;
};

// One record's values, all computed before the clock starts, but for the identifiers they
// look up in the target.
struct Registro {
    std::vector<ValorCrudo> codigo;
    std::vector<ValorCrudo> alta, cambio;
    std::vector<std::vector<ValorCrudo>> despues;
    std::vector<Pendiente> altaPendiente, cambioPendiente;
};

// The mappings' lookups without the data module's target: the source's side tables through the
// data module (which never connects here); the target's identifiers are noted as asked and
// answered later, inside the clock.
class BusquedasCrudas final : public Busquedas {
public:
    explicit BusquedasCrudas(TDatos& d) : d_(d) {}
    std::string NombreProvincia(const std::string& c) override { return d_.NombreProvincia(c); }
    std::string NombreLargoArticulo(const std::string& c) override {
        return d_.NombreLargoArticulo(c);
    }
    double StockArticulo(const std::string& a) override { return d_.StockArticulo(a); }
    std::optional<int32_t> IdFamilia(const std::string& codigo) override {
        pedida = Peticion{"FAMILIASARTICULOS", Primeros(codigo, 4), std::nullopt};
        return std::nullopt;
    }
    int32_t FormaPagoODefecto(const std::string& codigo, int32_t defecto) override {
        pedida = Peticion{"FORMASPAGO", Primeros(codigo, 4), defecto};
        return defecto;
    }
    std::optional<int32_t> IdAgenteVenta(const std::string& codigo) override {
        pedida = Peticion{"AGENTESVENTA", codigo, std::nullopt};
        return std::nullopt;
    }
    std::optional<Peticion> pedida; // by the line last computed

private:
    TDatos& d_;
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
// the parameter the loop fills with the record's identifier. The values that wait for a target
// identifier go to `pendientes`.
std::vector<ValorCrudo> EnOrden(const Sentencia& s, const std::vector<Linea>& lineas, Envio e,
                                const Fuente& f, BusquedasCrudas& b,
                                std::vector<Pendiente>* pendientes, const std::string& clave = "") {
    std::vector<ValorCrudo> v(s.Nombres().size());
    std::vector<bool> puesto(v.size(), false);
    auto poner = [&](const std::string& parametro, const ValorCrudo& valor) {
        for (std::size_t i = 0; i < v.size(); ++i)
            if (s.Nombres()[i] == ascii::Upper(parametro)) {
                v[i] = valor;
                puesto[i] = true;
                if (b.pedida) {
                    if (!pendientes)
                        throw std::runtime_error("raw loop: a follow-up looks up " +
                                                 b.pedida->tabla);
                    pendientes->push_back({i, *b.pedida});
                }
            }
    };
    for (const Linea& l : lineas)
        if (Envia(l, e)) {
            b.pedida.reset();
            ValorCrudo valor = Crudo(l.valor(f), l.parametro);
            poner(l.parametro, valor);
        }
    b.pedida.reset();
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

// The source side of a transfer as a program must do it at least: walk the table and compute
// each line's value once (with the source's side lookups), each follow-up's too. Seconds.
// The two clocked parts stay out of line, so that a profiler can count them alone.
[[gnu::noinline]] double SoloValores(const Traspaso& t, TDatos& datos) {
    auto inicio = std::chrono::steady_clock::now();
    BusquedasCrudas b(datos);
    SourceQuery& q = *t.consulta;
    q.Open();
    CamposDeConsulta campos(q);
    std::size_t suma = 0; // kept, so that nothing computed can be left out
    for (q.First(); !q.Eof(); q.Next()) {
        Fuente f{campos, b};
        suma += t.codigo(campos).size();
        suma += Calcular(t.lineas, Envio::Ambas, f).size();
        for (const Seguimiento& s : t.seguimientos)
            suma += Calcular(s.lineas, Envio::Ambas, f).size();
    }
    q.Close();
    if (suma == 0) std::fprintf(stderr, "raw loop: %s has no values\n", t.tabla.c_str());
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - inicio).count();
}

std::vector<Registro> Calcular(const Traspaso& t, TDatos& datos, Conexion& c) {
    // Prepared here only to learn each statement's parameters in order.
    Sentencia ins(c, t.insert), upd(c, t.update);
    std::vector<std::unique_ptr<Sentencia>> despues;
    for (const Seguimiento& s : t.seguimientos)
        despues.push_back(std::make_unique<Sentencia>(c, s.texto));
    LeerDefectos(t, c);
    BusquedasCrudas b(datos);
    SourceQuery& q = *t.consulta;
    q.Open();
    CamposDeConsulta campos(q);
    std::vector<Registro> regs;
    for (q.First(); !q.Eof(); q.Next()) {
        Fuente f{campos, b};
        Registro reg;
        reg.codigo = {TextoCrudo(t.codigo(campos), "PARCODIGO")};
        reg.alta = EnOrden(ins, t.lineas, Envio::Alta, f, b, &reg.altaPendiente);
        reg.cambio = EnOrden(upd, t.lineas, Envio::Cambio, f, b, &reg.cambioPendiente, t.Clave());
        for (std::size_t k = 0; k < t.seguimientos.size(); ++k)
            reg.despues.push_back(EnOrden(*despues[k], t.seguimientos[k].lineas, Envio::Ambas, f, b,
                                          nullptr, t.seguimientos[k].idParametro));
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
    }
    std::string busqueda;
    Sentencia insert, update;
    int clave;
    std::vector<std::unique_ptr<Sentencia>> despues;
    std::vector<int> idDespues;
    std::unique_ptr<Sentencia> unaVez;
};

// The target's identifiers by code, each table read whole at the first value of a transfer
// that waits for it, as the data module reads it.
class Referencias {
public:
    explicit Referencias(Conexion& c) : c_(c) {}
    void Resolver(std::vector<ValorCrudo>& valores, const std::vector<Pendiente>& pendientes) {
        for (const Pendiente& p : pendientes) {
            auto t = tablas_.find(p.peticion.tabla);
            if (t == tablas_.end())
                t = tablas_.emplace(p.peticion.tabla, IdsPorCodigo(c_, p.peticion.tabla)).first;
            auto id = t->second.find(p.peticion.codigo);
            valores[p.lugar] = id != t->second.end() ? EnteroCrudo(id->second)
                               : p.peticion.defecto  ? EnteroCrudo(*p.peticion.defecto)
                                                     : NuloCrudo();
        }
    }

private:
    Conexion& c_;
    std::map<std::string, std::unordered_map<std::string, int32_t>> tablas_;
};

[[gnu::noinline]] void Recorrer(const Traspaso& t, std::vector<Registro>& regs, Conexion& c,
                                Busqueda b, int confirmarCada, MedidaCruda& m) {
    Sentencias s(t, c, b);
    Referencias referencias(c);
    for (std::size_t i = 0; i < regs.size(); ++i) {
        Registro& r = regs[i];
        std::optional<int32_t> id;
        if (s.unaVez) {
            id = s.unaVez->Ejecutar(r.codigo);
        } else {
            Sentencia anew(c, s.busqueda);
            id = anew.Ejecutar(r.codigo);
        }
        if (id && *id != 0) {
            referencias.Resolver(r.cambio, r.cambioPendiente);
            r.cambio[s.clave] = EnteroCrudo(*id);
            s.update.Ejecutar(r.cambio);
            ++m.cambios;
        } else {
            referencias.Resolver(r.alta, r.altaPendiente);
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
    // As a run does: its side tables looked at on disk at most once a second, not per lookup.
    datos.Session1().ConfiarDurante(std::chrono::milliseconds{1000});
    std::vector<Traspaso> pasos;
    for (const PasoDeTraspaso& p : TraspasoDeNombre(traspaso).pasos)
        pasos.push_back(p.descripcion(datos));
    std::vector<std::vector<Registro>> registros;
    MedidaCruda m;
    {
        Conexion c(base);
        c.Iniciar();
        for (const Traspaso& t : pasos) {
            m.valores += SoloValores(t, datos);
            registros.push_back(Calcular(t, datos, c));
        }
        c.Confirmar();
    }

    m.registros = static_cast<long>(registros.back().size());
    auto inicio = std::chrono::steady_clock::now();
    Conexion c(base);
    c.Iniciar();
    for (std::size_t k = 0; k < pasos.size(); ++k)
        Recorrer(pasos[k], registros[k], c, b, confirmarCada, m);
    m.segundos = std::chrono::duration<double>(std::chrono::steady_clock::now() - inicio).count();
    Paginas p = LeerPaginas(c.Db());
    m.lecturas = p.lecturas;
    m.escrituras = p.escrituras;
    m.accesos = p.accesos;
    c.Confirmar();
    return m;
}
