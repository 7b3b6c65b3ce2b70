// The one transfer cycle that every transfer runs: walk the source, look each code up in the
// target, update or insert, warn and go on, commit retaining after every record, summarise.
#include "Destino.h"
#include "SourceQuery.h"
#include "TDatos.h"
#include "Traspaso.h"

bool TDatos::EjecutarTraspaso(const Traspaso& t) {
    EnMarcha marcha(*this);
    parada_ = false;
    tablasAvisadas_.clear();
    SourceQuery& q = *t.consulta;

    RegistrosActualizados = 0;
    RegistrosAnadidos = 0;
    IBSQLSelect().Close();
    q.Open();
    q.First();
    if (t.orden == Orden::TextosAntesDelProgreso) {
        PonerTextos(t);
        interfaz_.MostrarEstado(t.progreso, false);
        Conectar();
    } else {
        interfaz_.MostrarEstado(t.progreso, false);
        Conectar();
        IniciarSiHaceFalta();
        PonerTextos(t);
    }
    if (!t.defectos.empty()) LeerDefectos(t);

    const std::string busqueda =
        "select " + t.id + " from " + t.tabla + " where codigo = :ParCodigo";
    const std::string clave = "OLD_" + t.id;
    const Campos campos(q);
    while (!q.Eof()) {
        IniciarSiHaceFalta();
        registro_ = RegistroEnCurso{q.Name(), q.DeliveredCount(), q.RowCount(), {}};
        const RegistroEnCurso& r = registro_;
        // The code is the record's own data: one that cannot be read fails this record only.
        if (Guardado(r, [&] { registro_.codigo = t.codigo(campos); })) {
            int32_t id = BuscarCodigo(busqueda, t.id, r.codigo);
            if (id != 0) {
                Guardado(r, [&] {
                    Parametros p(IBSQLUpdate());
                    p.Entero(clave, id);
                    t.rellenar(p, campos, false);
                    IBSQLUpdate().ExecQuery();
                    ++RegistrosActualizados;
                });
            } else {
                Guardado(r, [&] {
                    Parametros p(IBSQLInsert());
                    t.rellenar(p, campos, true);
                    IBSQLInsert().ExecQuery();
                    if (t.insertDevuelveId) id = IBSQLInsert().FieldByName(t.id).AsInteger();
                    ++RegistrosAnadidos;
                });
            }
            // Identifier 0 is no row of this record: a follow-up would write someone else's.
            if (id != 0)
                for (const auto& bloque : t.despues)
                    Guardado(r, [&] { bloque(id, campos); });
        }
        q.Next();
        if (IBTransaction1().InTransaction()) IBTransaction1().CommitRetaining();
        interfaz_.AtenderMensajes(r);
        if (parada_) return false;
    }
    q.Close();
    interfaz_.MostrarEstado(t.resumen.first + std::to_string(RegistrosAnadidos) + t.resumen.second +
                                std::to_string(RegistrosActualizados),
                            true);
    return true;
}

bool TDatos::Guardado(const RegistroEnCurso& r, const std::function<void()>& bloque) {
    try {
        bloque();
        return true;
    } catch (const std::exception& e) {
        interfaz_.Aviso(e.what(), r);
        return false;
    }
}

void TDatos::PonerTextos(const Traspaso& t) {
    IBSQLInsert().SetText(t.insert);
    IBSQLUpdate().SetText(t.update);
}

void TDatos::Conectar() {
    if (!IBDatabase1().Connected()) IBDatabase1().Open();
}

void TDatos::IniciarSiHaceFalta() {
    if (!IBTransaction1().InTransaction()) IBTransaction1().StartTransaction();
}

void TDatos::LeerDefectos(const Traspaso& t) {
    IniciarSiHaceFalta();
    IBSQL& s = IBSQLSelect();
    for (const Defecto& d : t.defectos) {
        s.Close();
        s.SetText(d.consulta);
        s.ExecQuery();
        if (s.FieldCount() != static_cast<int>(d.destinos.size()))
            throw Error("La consulta de valores por defecto «" + d.consulta + "» devuelve " +
                        std::to_string(s.FieldCount()) + " columnas y se esperaban " +
                        std::to_string(d.destinos.size()));
        for (std::size_t i = 0; i < d.destinos.size(); ++i) {
            IBField& f = s.Field(static_cast<int>(i));
            *d.destinos[i] = f.IsNull() ? 0 : f.AsInteger();
        }
    }
    s.Close();
    if (IBTransaction1().InTransaction()) IBTransaction1().CommitRetaining();
}

int32_t TDatos::BuscarCodigo(const std::string& texto, const std::string& columna,
                             const std::string& codigo) {
    IBSQL& s = IBSQLSelect();
    s.Close();
    s.SetText(texto);
    try {
        s.ParamByName("ParCodigo").SetAsString(codigo);
    } catch (const ValorNoAdmitido&) {
        return 0; // a code its column cannot hold is in no row; the insert will refuse it
    }
    s.ExecQuery();
    IBField& f = s.FieldByName(columna);
    return f.IsNull() ? 0 : f.AsInteger();
}
