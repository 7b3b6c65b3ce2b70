// A comparison: nothing is written. Each record goes as far as a run would take it before
// writing (its code looked up, its values computed with every cut, lookup and default), then the
// rows it would update are read and compared with what it would send. Records the run would
// refuse are warned about as the run would warn them. Several records with one code end in one
// row, as a run leaves it: the last of them is what the row is compared with. A value that points
// to a row an earlier transfer of the same comparison found missing (a new agent of a client)
// differs whatever the target holds, as the run would point it to the row it creates.
#include "Comparador.h"
#include "Destino.h"
#include "FbError.h"
#include "TDatos.h"
#include "Tratamiento.h"

#include <map>
#include <set>

namespace {

std::string SinFinales(std::string s) {
    s.erase(s.find_last_not_of(' ') + 1);
    return s;
}

} // namespace

class ModoComparacion final : public Tratamiento {
public:
    explicit ModoComparacion(TDatos& d) : d_(d), comparador_(d.destino_->IBSQLComparacion) {
        comparador_.pendiente = [&d] { return d.busquedas_->FilaPorCrear(); };
    }
    bool Escribe() const override { return false; }
    void Empezar(const Traspaso& t) override;
    bool Registro(const Traspaso& t, const Campos& c, int32_t id) override;
    void Terminar(const Traspaso& t, std::size_t registros) override;

private:
    // Whether the statement the run would execute takes every value of the record; each value
    // it would refuse is warned about.
    bool Admitido(const Traspaso& t, const Fuente& f, int32_t id);
    void Avisar(const std::string& texto);
    void SoloEnDestino(const Traspaso& t);

    struct Resultado {
        enum class Estado { Igual, Distinto, Nuevo } estado = Estado::Igual;
        std::string codigo; // as written in the source
        std::vector<ColumnaDistinta> distintas;
    };
    TDatos& d_;
    Comparador comparador_;
    std::map<std::string, Resultado> resultados_; // by the code the row holds
    std::vector<std::string> orden_;              // those codes, in the order first met
    std::set<std::string> codigos_;               // every code the source would write
};

void ModoComparacion::Empezar(const Traspaso&) {
    resultados_.clear();
    orden_.clear();
    codigos_.clear();
}

void ModoComparacion::Avisar(const std::string& texto) {
    d_.interfaz_.Aviso(texto, d_.registro_);
}

bool ModoComparacion::Admitido(const Traspaso& t, const Fuente& f, int32_t id) {
    Envio envio = id != 0 ? Envio::Cambio : Envio::Alta;
    IBSQL& s = id != 0 ? d_.IBSQLUpdate() : d_.IBSQLInsert();
    bool admitido = true;
    Enlazar(s, t.lineas, envio, Calcular(t.lineas, envio, f), [&](const std::string& e) {
        Avisar(e);
        admitido = false;
    });
    return admitido;
}

bool ModoComparacion::Registro(const Traspaso& t, const Campos& c, int32_t id) {
    const Fuente f{c, *d_.busquedas_};
    // The lookup's equality ignores trailing blanks, and so do the codes compared here.
    std::string codigo = SinFinales(t.codigo(c));
    codigos_.insert(codigo);
    Resultado r{Resultado::Estado::Nuevo, d_.registro_.codigoEscrito, {}};
    // Each block as the run guards it: a refused main row still has its follow-ups written.
    bool admitido = false;
    bool hecho = d_.Guardado([&] {
        admitido = Admitido(t, f, id);
        if (admitido && id != 0) r.distintas = comparador_.Principal(t, f, id);
    });
    bool rechazado = !hecho || !admitido;
    if (rechazado) ++d_.RegistrosRechazados;
    if (id != 0)
        for (const Seguimiento& s : t.seguimientos)
            if (!d_.Omitido(s))
                d_.Guardado([&] {
                    std::vector<ColumnaDistinta> d = comparador_.Seguimiento(s, f, id);
                    r.distintas.insert(r.distintas.end(), d.begin(), d.end());
                });
    if (rechazado && (id == 0 || r.distintas.empty())) return false;
    if (id != 0)
        r.estado = r.distintas.empty() ? Resultado::Estado::Igual : Resultado::Estado::Distinto;
    auto [sitio, nuevo] = resultados_.try_emplace(codigo, std::move(r));
    if (nuevo)
        orden_.push_back(codigo);
    else
        sitio->second = std::move(r);
    return false;
}

void ModoComparacion::Terminar(const Traspaso& t, std::size_t) {
    using Tipo = Hallazgo::Tipo;
    for (const std::string& codigo : orden_) {
        const Resultado& r = resultados_.at(codigo);
        switch (r.estado) {
        case Resultado::Estado::Igual:
            ++d_.RegistrosIguales;
            break;
        case Resultado::Estado::Distinto:
            ++d_.RegistrosDistintos;
            for (const ColumnaDistinta& col : r.distintas)
                d_.interfaz_.Comparacion(
                    {Tipo::Diferencia, col.tabla, r.codigo, col.columna, col.destino, col.origen});
            break;
        case Resultado::Estado::Nuevo:
            ++d_.RegistrosNuevos;
            d_.porCrear_[t.tabla].insert(codigo);
            d_.interfaz_.Comparacion({Tipo::Nuevo, t.tabla, r.codigo, {}, {}, {}});
            break;
        }
    }
    SoloEnDestino(t);
    d_.interfaz_.MostrarEstado(
        "Comparación de " + t.nombre + ": " + std::to_string(d_.RegistrosIguales) + " iguales, " +
            std::to_string(d_.RegistrosDistintos) + " distintos, " +
            std::to_string(d_.RegistrosNuevos) + " nuevos, " +
            std::to_string(d_.RegistrosSoloEnDestino) + " solo en destino, " +
            std::to_string(d_.RegistrosRechazados) + " rechazados",
        true);
}

// The target rows whose code no source record would write.
void ModoComparacion::SoloEnDestino(const Traspaso& t) {
    IBSQL& s = d_.destino_->IBSQLComparacion;
    s.Close();
    s.SetText("select CODIGO from " + t.tabla + " order by " + t.id);
    for (s.ExecQuery(); !s.Eof(); s.Next()) {
        IBField& f = s.Field(0);
        // The lookup's equality ignores trailing blanks; so does this.
        std::string codigo = f.IsNull() ? std::string() : SinFinales(f.AsString());
        if (!f.IsNull() && codigos_.count(codigo)) continue;
        ++d_.RegistrosSoloEnDestino;
        d_.interfaz_.Comparacion(
            {Hallazgo::Tipo::SoloEnDestino, t.tabla, f.IsNull() ? "NULL" : codigo, {}, {}, {}});
    }
    s.Close();
}

std::unique_ptr<Tratamiento> NuevaComparacion(TDatos& d) {
    return std::make_unique<ModoComparacion>(d);
}
