// The one transfer cycle that every transfer runs: walk the source, look each code up in the
// target, update or insert, warn and go on, commit retaining after every record, summarise.
#include "Destino.h"
#include "FbError.h"
#include "SourceQuery.h"
#include "TDatos.h"
#include "Traspaso.h"
#include "Turno.h"

bool TDatos::EjecutarTraspaso(const Traspaso& t) {
    EnMarcha marcha(*this);
    parada_ = false;
    tablasAvisadas_.clear();
    tablasInformadas_.clear();
    SourceQuery& q = *t.consulta;

    RegistrosActualizados = 0;
    RegistrosAnadidos = 0;
    IBSQLSelect().Close();
    q.Open();
    q.First();
    AvisarDeLaTabla(q);
    if (t.orden == Orden::TextosAntesDelProgreso) {
        PonerTextos(t);
        interfaz_.MostrarEstado(t.progreso, false);
        Conectar();
    } else {
        interfaz_.MostrarEstado(t.progreso, false);
        Conectar();
    }
    // Not before the connection: the turn is taken on the target, by connection.
    Turno turno(IBDatabase1(), t.tabla, [&](const std::string& texto) {
        interfaz_.MostrarEstado(texto, false);
        interfaz_.AtenderMensajes(RegistroEnCurso{q.Name(), 0, q.RowCount(), {}});
        return !parada_;
    });
    if (!turno.Obtenido()) return false;
    if (t.orden == Orden::TransaccionYTextosAntesDelBucle) {
        IniciarSiHaceFalta();
        PonerTextos(t);
    }
    if (!t.defectos.empty()) LeerDefectos(t);

    const std::string busqueda =
        "select " + t.id + " from " + t.tabla + " where codigo = :ParCodigo";
    const std::string clave = "OLD_" + t.id;
    const Campos campos(q);
    std::size_t confirmados = 0;
    while (!q.Eof()) {
        registro_ = RegistroEnCurso{q.Name(), q.DeliveredCount(), q.RowCount(), {}};
        const RegistroEnCurso& r = registro_;
        try {
            IniciarSiHaceFalta();
            Registro(t, campos, busqueda, clave);
            q.Next();
            if (IBTransaction1().InTransaction()) IBTransaction1().CommitRetaining();
            ++confirmados;
        } catch (...) {
            Detenido(t, confirmados);
        }
        interfaz_.AtenderMensajes(r);
        if (SenalRecibida()) parada_ = true;
        if (parada_) {
            SenalAtendida();
            return false;
        }
    }
    q.Close();
    interfaz_.MostrarEstado(t.resumen.first + std::to_string(RegistrosAnadidos) + t.resumen.second +
                                std::to_string(RegistrosActualizados),
                            true);
    return true;
}

void TDatos::Registro(const Traspaso& t, const Campos& campos, const std::string& busqueda,
                      const std::string& clave) {
    const RegistroEnCurso& r = registro_;
    // The code is the record's own data: one that cannot be read fails this record only.
    if (!Guardado(r, [&] { registro_.codigo = t.codigo(campos); })) return;
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

void TDatos::Detenido(const Traspaso& t, std::size_t confirmados) {
    const RegistroEnCurso& r = registro_;
    std::string contexto = "El traspaso a " + t.tabla + " se ha detenido en el registro " +
                           std::to_string(r.posicion) + " de " + std::to_string(r.total) + " de " +
                           r.consulta + (r.codigo.empty() ? "" : " (código «" + r.codigo + "»)") +
                           "; " + std::to_string(confirmados) +
                           (confirmados == 1 ? " registro anterior quedó confirmado"
                                             : " registros anteriores quedaron confirmados") +
                           ".\n";
    try {
        throw;
    } catch (const FbError& e) {
        if (e.Cancelada() && IBTransaction1().InTransaction()) {
            // Asked to stop in the middle of a record: none of its work stays.
            try {
                IBTransaction1().Rollback();
            } catch (const std::exception&) {
                // Undone by the engine when the connection goes.
            }
        }
        if (e.ConexionPerdida()) conexionPerdida_ = true;
        throw e.ConContexto(contexto);
    } catch (const DbfError& e) {
        throw DbfError(contexto + e.what());
    } catch (const std::exception& e) {
        throw Error(contexto + e.what());
    }
}

bool TDatos::Guardado(const RegistroEnCurso& r, const std::function<void()>& bloque) {
    try {
        bloque();
        return true;
    } catch (const FbError& e) {
        // A fault of the whole database would fail every record after this one: it ends the run.
        if (e.AfectaALaBase()) throw;
        interfaz_.Aviso(e.what(), r);
    } catch (const std::exception& e) {
        interfaz_.Aviso(e.what(), r);
    }
    return false;
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

void TDatos::AvisarDeLaTabla(const SourceQuery& q) {
    const DbfTable* t = q.Table();
    if (!t || !tablasInformadas_.insert(t->Path()).second) return;
    interfaz_.Nota(t->FileName() + ": " + t->PageReason());
    // The records read are kept, but the operator must know that the file promised others.
    if (std::string falta = t->CountMismatch(); !falta.empty())
        interfaz_.Aviso(falta, RegistroEnCurso{q.Name(), 0, q.RowCount(), {}});
}
