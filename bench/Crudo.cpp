#include "Crudo.h"

#include "ClienteCrudo.h"
#include "Planes.h"
#include "TDatos.h"

#include <chrono>
#include <memory>
#include <optional>

namespace {

// One record's values, all computed before the clock starts.
struct Registro {
    std::vector<Valor> codigo;
    std::vector<Valor> alta, cambio;
    std::vector<std::vector<Valor>> despues;
    std::string familia;
};

std::vector<Registro> Calcular(const Plan& p, Conexion& c) {
    // Prepared here only to learn each statement's parameters in order.
    Sentencia ins(c, p.insert), upd(c, p.update);
    std::vector<std::unique_ptr<Sentencia>> despues;
    for (const Bloque& b : p.despues)
        despues.push_back(std::make_unique<Sentencia>(c, b.texto));
    std::vector<Registro> r(p.registros);
    for (int i = 0; i < p.registros; ++i) {
        Valores alta, cambio, codigo;
        p.rellenar(alta, i, true);
        p.rellenar(cambio, i, false);
        cambio.Entero("OLD_" + p.id, 0); // the identifier found, set by the loop
        codigo.Texto("PARCODIGO", p.codigo(i));
        r[i].codigo = codigo.EnOrden({"PARCODIGO"});
        r[i].alta = alta.EnOrden(ins.Nombres());
        r[i].cambio = cambio.EnOrden(upd.Nombres());
        for (std::size_t k = 0; k < p.despues.size(); ++k) {
            Valores v;
            p.despues[k].rellenar(v, i);
            v.Entero(p.despues[k].idParametro, 0);
            r[i].despues.push_back(v.EnOrden(despues[k]->Nombres()));
        }
        if (p.familia) r[i].familia = p.familia(i);
    }
    return r;
}

// The statements of one pass, prepared once, except the lookup when it is prepared per record.
struct Sentencias {
    Sentencias(const Plan& p, Conexion& c, Busqueda b)
        : busqueda("select " + p.id + " from " + p.tabla + " where codigo = :ParCodigo"),
          insert(c, p.insert), update(c, p.update), clave(update.Posicion("OLD_" + p.id)) {
        for (const Bloque& bl : p.despues) {
            despues.push_back(std::make_unique<Sentencia>(c, bl.texto));
            idDespues.push_back(despues.back()->Posicion(bl.idParametro));
        }
        if (b == Busqueda::PreparadaUnaVez) unaVez = std::make_unique<Sentencia>(c, busqueda);
        if (p.familia) {
            familiaAlta = insert.Posicion("FAMILIA");
            familiaCambio = update.Posicion("FAMILIA");
        }
    }
    std::string busqueda;
    Sentencia insert, update;
    int clave;
    std::vector<std::unique_ptr<Sentencia>> despues;
    std::vector<int> idDespues;
    std::unique_ptr<Sentencia> unaVez;
    int familiaAlta = -1, familiaCambio = -1;
};

void Recorrer(const Plan& p, std::vector<Registro>& regs, Conexion& c, Busqueda b,
              int confirmarCada, const std::unordered_map<std::string, int32_t>& familias,
              MedidaCruda& m) {
    Sentencias s(p, c, b);
    for (std::size_t i = 0; i < regs.size(); ++i) {
        Registro& r = regs[i];
        std::optional<int32_t> id;
        if (s.unaVez) {
            id = s.unaVez->Ejecutar(r.codigo);
        } else {
            Sentencia anew(c, s.busqueda);
            id = anew.Ejecutar(r.codigo);
        }
        if (s.familiaAlta >= 0) {
            auto f = familias.find(r.familia);
            Valor v = f != familias.end() ? EnteroCrudo(f->second) : NuloCrudo();
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

Referencias LeerReferencias(Conexion& c) {
    auto primero = [&c](const std::string& sql) {
        Sentencia s(c, sql);
        std::vector<Valor> nada;
        return s.Ejecutar(nada).value_or(0);
    };
    Referencias r;
    r.iva = primero("SELECT first 1 idtablaiva from tablaiva");
    r.formaPago = primero("SELECT first 1 idformaspago from formaspago");
    r.cartera = primero("SELECT first 1 cartera from formaspago");
    r.moneda = primero("SELECT first 1 idmonedas from monedas");
    r.monedaMaxima = primero("SELECT Max(idmonedas) from monedas");
    r.regimenIva = primero("SELECT first 1 idregimenesiva from regimenesiva");
    r.tarifa = primero("SELECT first 1 idtarifas from tarifas");
    r.formasPago = IdsPorCodigo(c, "FORMASPAGO");
    r.agentes = IdsPorCodigo(c, "AGENTESVENTA");
    return r;
}

class SinInterfaz : public Interfaz {
    void MostrarEstado(const std::string&, bool) override {}
    void Aviso(const std::string&, const RegistroEnCurso&) override {}
    void AtenderMensajes(const RegistroEnCurso&) override {}
};

} // namespace

MedidaCruda BucleCrudo(const std::string& traspaso, const std::string& base, int n, Busqueda b,
                       int confirmarCada) {
    SinInterfaz nadie;
    TDatos datos(nadie); // lends the transfers' statement texts; never connects
    std::vector<Plan> planes;
    std::vector<std::vector<Registro>> registros;
    {
        Conexion c(base);
        c.Iniciar();
        planes = Planes(traspaso, datos, n, LeerReferencias(c));
        for (const Plan& p : planes)
            registros.push_back(Calcular(p, c));
        c.Confirmar();
    }

    MedidaCruda m;
    m.registros = planes.back().registros;
    auto inicio = std::chrono::steady_clock::now();
    Conexion c(base);
    c.Iniciar();
    std::unordered_map<std::string, int32_t> familias;
    for (std::size_t k = 0; k < planes.size(); ++k) {
        // The families just written, by code, as the articles' lookups would find them.
        if (planes[k].familia) familias = IdsPorCodigo(c, "FAMILIASARTICULOS");
        Recorrer(planes[k], registros[k], c, b, confirmarCada, familias, m);
    }
    m.segundos = std::chrono::duration<double>(std::chrono::steady_clock::now() - inicio).count();
    Paginas p = LeerPaginas(c.Db());
    m.lecturas = p.lecturas;
    m.escrituras = p.escrituras;
    m.accesos = p.accesos;
    c.Confirmar();
    return m;
}
