// The one transfer cycle that every transfer runs: walk the source, look each code up in the
// target, update or insert, warn and go on, commit retaining after every record, summarise.
#include "Destino.h"
#include "FbError.h"
#include "NombreTabla.h"
#include "Revision.h"
#include "Session.h"
#include "SourceQuery.h"
#include "TDatos.h"
#include "TextoVisible.h"
#include "Traspaso.h"
#include "Tratamiento.h"
#include "Turno.h"

#include <optional>

namespace {

// The side tables are reopened for every record; within a run they are looked at on disk at
// most this often. The main table checks itself as it is walked.
constexpr std::chrono::milliseconds kConfianzaEnTablas{1000};

// For the length of a run.
class ConfianzaEnTablas {
public:
    explicit ConfianzaEnTablas(Session& s) : s_(s) { s_.ConfiarDurante(kConfianzaEnTablas); }
    ~ConfianzaEnTablas() {
        s_.ConfiarDurante(std::chrono::milliseconds{0});
        s_.SoltarTablas(); // what the run read does not outlive it
    }

private:
    Session& s_;
};

} // namespace

// What this run does with each record: the review lasts from one transfer to the next.
Tratamiento& TDatos::TratamientoDelModo(std::unique_ptr<Tratamiento>& propio) {
    switch (modo_) {
    case Modo::Revision:
        if (!revision_) revision_ = std::make_unique<Revision>(*this);
        return *revision_;
    case Modo::Comparacion:
        propio = NuevaComparacion(*this);
        break;
    case Modo::Traspaso:
    case Modo::Ensayo:
        propio = NuevaEscritura(*this, soloCambios_);
        break;
    }
    return *propio;
}

bool TDatos::EjecutarTraspaso(const Traspaso& t) {
    EnMarcha marcha(*this);
    ConfianzaEnTablas confianza(Session1());
    parada_ = false;
    baseFallida_ = false;
    tablasAvisadas_.clear();
    tablasInformadas_.clear();
    busquedas_->Olvidar();
    enlazar_->Olvidar();
    SourceQuery& q = *t.consulta;
    std::unique_ptr<Tratamiento> propio;
    tratamiento_ = &TratamientoDelModo(propio);
    // What belongs to this run does not outlive it.
    struct AlTerminar {
        TDatos& d;
        ~AlTerminar() {
            d.tratamiento_ = nullptr;
            d.enlazar_->Olvidar();
            d.omitidos_.clear();
        }
    } alTerminar{*this};

    RegistrosActualizados = 0;
    RegistrosAnadidos = 0;
    RegistrosRechazados = 0;
    RegistrosSinCambios = 0;
    RegistrosIguales = RegistrosDistintos = RegistrosNuevos = RegistrosSoloEnDestino = 0;
    RegistrosConfirmados = 0;
    IBSQLSelect().Close();
    q.Open();
    q.First();
    AvisarDeLaTabla(q);
    PonerTextos(t);
    interfaz_.MostrarEstado(modo_ == Modo::Revision      ? "Revisando " + t.nombre
                            : modo_ == Modo::Comparacion ? "Comparando " + t.nombre
                                                         : t.Progreso(),
                            false);
    Conectar();
    ComprobarTablas(t);
    // Not before the connection: the turn is taken on the target, by connection. A run that
    // writes nothing needs none. A dry run keeps it until its rollback (Cerrar): the rows it
    // changed stay locked until then, and another run must wait for the turn, not for them.
    struct Soltar {
        TDatos& d;
        ~Soltar() {
            if (d.modo_ != Modo::Ensayo || (d.turno_ && !d.turno_->Obtenido())) d.turno_.reset();
        }
    } soltar{*this};
    if (tratamiento_->Escribe()) {
        if (!turno_)
            turno_ = std::make_unique<
                Turno>(IBDatabase1(), t.tabla, EsperaTurno(), [&](const std::string& texto) {
                if (!texto.empty()) interfaz_.MostrarEstado(texto, false);
                interfaz_.AtenderMensajes(RegistroEnCurso{q.Name(), 0, q.RowCount(), {}, 0, {}});
                return !parada_ && !SenalRecibida();
            });
        if (!turno_->Obtenido()) return false;
    }
    try {
        return Recorrer(t);
    } catch (const FbError& e) {
        // The connection is gone or the database shut: taking the mark back would wait on it
        // for ever; the mark goes with the connection.
        if (e.AfectaALaBase() && turno_) turno_->Abandonar();
        if (e.Cerrada()) AbandonarConexion();
        baseFallida_ = baseFallida_ || e.AfectaALaBase();
        throw;
    }
}

bool TDatos::Recorrer(const Traspaso& t) {
    SourceQuery& q = *t.consulta;
    // Only a transfer with defaults starts its transaction before the first record.
    if (!t.defectos.empty()) LeerDefectos(t);
    tratamiento_->Empezar(t);

    const CamposDeConsulta campos(q);
    std::size_t confirmados = 0, pendientes = 0;
    while (!q.Eof()) {
        registro_ = RegistroEnCurso{
            q.Name(), q.DeliveredCount(), q.RowCount(), {}, q.CurrentRecord() + std::size_t{1}, {}};
        const RegistroEnCurso& r = registro_;
        try {
            IniciarSiHaceFalta();
            Marcar(pendientes);
            const bool escrito = Registro(t, campos);
            enRegistro_ = false;
            // A record that left its rows as they were has nothing to commit; in a run that
            // writes, it is as safe as what is committed.
            if (!escrito) {
                if (tratamiento_->Escribe()) ++confirmados;
            } else if (pendientes++ == 0)
                primeroPendiente_ = std::chrono::steady_clock::now();
            // Committed before the source moves on: a table that fails to move on then leaves
            // this record committed, as the count says, not waiting for the closing commit.
            Confirmar(pendientes, confirmados, false);
            q.Next();
            if (q.Eof()) Confirmar(pendientes, confirmados, true);
        } catch (...) {
            Detenido(t, pendientes, confirmados);
        }
        RegistrosConfirmados = registro_.confirmados = confirmados;
        interfaz_.AtenderMensajes(r);
        if (SenalRecibida()) parada_ = true;
        if (parada_) {
            SenalAtendida();
            Confirmar(pendientes, confirmados, true);
            RegistrosConfirmados = confirmados;
            return false;
        }
    }
    RegistrosConfirmados = confirmados;
    std::size_t total = q.RowCount();
    q.Close();
    // A target deleted or replaced under the run took every row written since: no success then.
    IBDatabase1().ComprobarFichero();
    tratamiento_->Terminar(t, total);
    return true;
}

// Commit retaining after every record, or every confirmarCada_ records, or once the oldest
// record not yet committed has waited plazoConfirmar_, and at the end. A dry run, a review and a
// comparison commit nothing.
void TDatos::Confirmar(std::size_t& pendientes, std::size_t& confirmados, bool alFinal) {
    if (pendientes == 0 || modo_ != Modo::Traspaso) return;
    if (!alFinal && pendientes < static_cast<std::size_t>(confirmarCada_) &&
        !(plazoConfirmar_.count() > 0 &&
          std::chrono::steady_clock::now() - primeroPendiente_ >= plazoConfirmar_))
        return;
    if (IBTransaction1().InTransaction()) IBTransaction1().CommitRetaining();
    confirmados += pendientes;
    pendientes = 0;
}

void TDatos::SetEsperaTurno(int segundos) {
    if (segundos < 1)
        throw Error("Esperar " + std::to_string(segundos) + " segundos al turno no tiene sentido");
    esperaTurno_ = segundos;
}

int TDatos::EsperaTurno() const {
    return esperaTurno_ > 0 ? esperaTurno_ : Turno::kSegundosPorDefecto;
}

void TDatos::SetConfirmarCada(int n, std::chrono::milliseconds plazo) {
    if (n < 1) throw Error("Confirmar cada " + std::to_string(n) + " registros no tiene sentido");
    if (plazo.count() < 0) throw Error("Un plazo de confirmación negativo no tiene sentido");
    confirmarCada_ = n;
    plazoConfirmar_ = plazo;
}

// One record: its code, its identifier in the target, and what the run does with it. False
// when nothing of it was written.
bool TDatos::Registro(const Traspaso& t, const Campos& campos) {
    std::string codigo;
    // The code is the record's own data: one that cannot be read fails this record only.
    if (!Guardado([&] {
            registro_.codigoEscrito = campos.Texto(t.campoCodigo);
            registro_.codigo = codigo = t.codigo(campos);
        })) {
        ++RegistrosRechazados;
        return false;
    }
    return tratamiento_->Registro(t, campos, BuscarCodigo(t, codigo));
}

// The start of a record's work. When earlier whole records wait in the transaction for their
// commit, a savepoint marks it, so that a stop in its middle undoes it alone.
void TDatos::Marcar(std::size_t pendientes) {
    enRegistro_ = true;
    puntoMarcado_ = false;
    if (modo_ != Modo::Traspaso || pendientes == 0) return;
    IBSQL& s = destino_->IBSQLPunto;
    s.SetText("SAVEPOINT TRASPASO_REGISTRO");
    s.ExecQuery();
    puntoMarcado_ = true;
}

void TDatos::Asegurar(std::size_t& pendientes, std::size_t& confirmados) {
    const bool grupo = pendientes > 0;
    try {
        if (enRegistro_ && IBTransaction1().InTransaction()) {
            if (puntoMarcado_) {
                IBSQL& s = destino_->IBSQLPunto;
                s.SetText("ROLLBACK TO SAVEPOINT TRASPASO_REGISTRO");
                s.ExecQuery();
            } else {
                // Nothing else waits with this record: undoing all undoes it alone.
                IBTransaction1().Rollback();
            }
        }
        enRegistro_ = false;
        Confirmar(pendientes, confirmados, true);
    } catch (const std::exception&) {
        // What waited cannot be committed: it is undone now, not left to the closing commit, so
        // that what the run says it committed is what the target has.
        pendientes = 0;
        if (grupo || enRegistro_) try {
                if (IBTransaction1().InTransaction()) IBTransaction1().Rollback();
            } catch (const std::exception&) {
                // Undone by the engine when the connection goes.
            }
        enRegistro_ = false;
    }
}

// A stop in the middle of the walk: the record under way is undone, whole records waiting for
// their commit are committed when the database still takes it (and undone when it does not),
// and the error goes on saying where the walk stopped and what it had committed. A connection
// that is gone, or was given up, is asked nothing: its server undoes what was not committed.
void TDatos::Detenido(const Traspaso& t, std::size_t& pendientes, std::size_t& confirmados) {
    const RegistroEnCurso& r = registro_;
    auto contexto = [&] {
        RegistrosConfirmados = confirmados;
        // Cut off a server that did not answer, the record in progress may have been committed
        // or not: the count is what is known.
        const bool cortada = IBDatabase1().Cortada();
        return "El traspaso a " + t.tabla + " se ha detenido en el registro " +
               std::to_string(r.posicion) + " de " + std::to_string(r.total) + " de " +
               NombreDeTabla(*t.consulta) +
               (r.codigo.empty() ? "" : " (código «" + TextoVisible(r.codigo) + "»)") +
               "; hasta él, " + std::to_string(confirmados) +
               (confirmados == 1 ? " registro confirmado" : " registros confirmados") +
               (cortada ? ", que se sepa: el servidor no respondía y se ha abandonado la "
                          "conexión, así que del registro en curso no se sabe si quedó "
                          "confirmado"
                        : "") +
               ".\n";
    };
    bool perdida = false; // the connection is gone or shut: nothing can be asked of it
    auto asegurar = [&] {
        if (!perdida && !IBDatabase1().Cortada()) Asegurar(pendientes, confirmados);
    };
    try {
        throw;
    } catch (const FbError& e) {
        if (!e.Cancelada() && !e.AfectaALaBase()) {
            // A statement can meet a database shut down under it with an odd error of its own;
            // the connection itself says what really happened.
            try {
                IBDatabase1().Comprobar();
            } catch (const FbError& causa) {
                if (causa.AfectaALaBase()) {
                    if (causa.ConexionPerdida()) conexionPerdida_ = true;
                    perdida = causa.ConexionPerdida() || causa.Cerrada();
                    asegurar();
                    throw causa.ConContexto(contexto());
                }
            }
        }
        if (e.ConexionPerdida()) conexionPerdida_ = true;
        perdida = e.ConexionPerdida() || e.Cerrada();
        asegurar();
        throw e.ConContexto(contexto());
    } catch (const DbfError& e) {
        asegurar();
        throw DbfError(contexto() + e.what());
    } catch (const std::exception& e) {
        asegurar();
        throw Error(contexto() + e.what());
    }
}

bool TDatos::Guardado(const std::function<void()>& bloque) {
    try {
        bloque();
        return true;
    } catch (const FbError& e) {
        // A fault of the whole database would fail every record after this one: it ends the run.
        if (e.AfectaALaBase()) throw;
        interfaz_.Aviso(e.what(), registro_);
    } catch (const TablaAuxiliarIlegible& e) {
        // Every record would say the same: once a run is enough.
        if (tablasAvisadas_.insert(e.Tabla()).second) interfaz_.Aviso(e.what(), registro_);
    } catch (const std::exception& e) {
        interfaz_.Aviso(e.what(), registro_);
    }
    return false;
}

void TDatos::Seguir(const Traspaso& t, const Campos& c, int32_t id) {
    const Fuente f{c, *busquedas_};
    for (std::size_t k = 0; k < t.seguimientos.size(); ++k) {
        const Seguimiento& seg = t.seguimientos[k];
        if (!Omitido(seg))
            Guardado([&] {
                IBSQL& s = destino_->Seguimiento(k);
                ParamFijo(s, lugares_.seguimientos[k], seg.idParametro).SetAsInteger(id);
                (*enlazar_)(s, seg.lineas, Envio::Ambas, f);
                s.ExecQuery();
            });
    }
}

// Each statement of the run keeps its text for the whole walk: set once here, not at every
// record, which would give it its preparation back from scratch each time.
void TDatos::PonerTextos(const Traspaso& t) {
    IBSQLInsert().SetText(t.insert);
    IBSQLUpdate().SetText(t.update);
    IBSQLSelect().SetText(t.Busqueda());
    busqueda_ = t.Busqueda();
    for (std::size_t k = 0; k < t.seguimientos.size(); ++k)
        destino_->Seguimiento(k).SetText(t.seguimientos[k].texto);
    lugares_ = Lugares{};
    lugares_.seguimientos.assign(t.seguimientos.size(), kLugarPorBuscar);
}

IBParam& TDatos::ParamFijo(IBSQL& s, int& lugar, const std::string& nombre) {
    if (lugar == kLugarPorBuscar) lugar = s.ParamIndex(nombre);
    return s.Param(lugar, nombre);
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
    if (modo_ == Modo::Traspaso && IBTransaction1().InTransaction())
        IBTransaction1().CommitRetaining();
}

int32_t TDatos::BuscarCodigo(const Traspaso& t, const std::string& codigo) {
    IBSQL& s = IBSQLSelect();
    s.Close();
    // The defaults' queries, read before the walk, share the statement.
    if (s.Text() != busqueda_) {
        s.SetText(busqueda_);
        lugares_.codigo = kLugarPorBuscar;
    }
    try {
        ParamFijo(s, lugares_.codigo, "ParCodigo").SetAsString(codigo);
    } catch (const ValorNoAdmitido&) {
        return 0; // a code its column cannot hold is in no row; the insert will refuse it
    }
    s.ExecQuery();
    IBField& f = s.FieldByName(t.id);
    return f.IsNull() ? 0 : f.AsInteger();
}

void TDatos::AvisarDeLaTabla(const SourceQuery& q) {
    const DbfTable* t = q.Table();
    if (!t || !tablasInformadas_.insert(t->Path()).second) return;
    interfaz_.Tabla(InfoTabla{q.Name(), t->FileName(), t->Page().Number(), t->PageReason(),
                              t->HeaderRecordCount(), t->RecordCount(), t->CountMismatch(),
                              t->PageWarning()});
    // The records read are kept, but the operator must know that the file promised others.
    if (std::string falta = t->CountMismatch(); !falta.empty())
        interfaz_.Aviso(falta, RegistroEnCurso{q.Name(), 0, q.RowCount(), {}, 0, {}});
    // Read as its header says, but its text may come out wrong.
    if (!t->PageWarning().empty())
        interfaz_.Aviso(t->PageWarning(), RegistroEnCurso{q.Name(), 0, q.RowCount(), {}, 0, {}});
}
