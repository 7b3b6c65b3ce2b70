#pragma once
// The data module: everything that touches data, for the whole run of the program. The window
// and the batch program see this header, Interfaz.h and DataSource.h only; the dBase engine and
// the Firebird layer stay behind it.
#include "DataSource.h"
#include "Interfaz.h"

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

class Busquedas;
class Campos;
class Enlazador;
struct Seguimiento;
class IBDatabase;
class IBQuery;
class IBParam;
class IBSQL;
class IBTransaction;
class OrigenFacturaPlus;
class Revision;
class Session;
class SourceQuery;
class Tratamiento;
struct Traspaso;
class TDatos;

// The transfers the front ends offer, each one or more steps of the data module: the articles
// are their families and then the articles themselves. The window's buttons, the batch program
// and the benchmark all take them from TraspasosOfrecidos().
struct PasoDeTraspaso {
    std::string nombre; // "familias", "articulos"
    std::string tabla;  // the target table it writes, "FAMILIASARTICULOS"
    // Plain functions, not member pointers: the sanitizer's function check misreads a member
    // pointer called where the class is only declared.
    SourceQuery& (*consulta)(TDatos&); // the query it walks, which the grid follows
    bool (*ejecutar)(TDatos&);         // the transfer; false when a stop ended it
    Traspaso (*descripcion)(TDatos&);  // what it does, for those that look inside
};
struct TraspasoOfrecido {
    std::string nombre;      // "agentes", "proveedores", "clientes", "articulos"
    std::string descripcion; // for the batch program's help
    std::vector<PasoDeTraspaso> pasos;
};
const std::vector<TraspasoOfrecido>& TraspasosOfrecidos();
// The one of that name; throws Error naming the ones there are.
const TraspasoOfrecido& TraspasoDeNombre(const std::string& nombre);
class Campos;
class Turno;

class TDatos {
public:
    explicit TDatos(Interfaz& interfaz);
    TDatos(const TDatos&) = delete;
    TDatos& operator=(const TDatos&) = delete;
    // Undoes what was not committed and disconnects; never throws. Only Cerrar commits: a
    // destructor that ran because of an error must not keep what the error interrupted.
    ~TDatos();

    // Rebuilds the source alias on a folder; the folder is not checked until a query opens.
    void CrearAlias(const std::string& ruta);
    // Reads a source table ("agentes", "agentes.dbf"; "" for every table) in the code page the
    // operator chose, whatever its header says; 0 takes the choice back. A page the engine does
    // not know is an Error that lists the ones it knows.
    void PaginaDeCodigos(const std::string& tabla, int pagina);
    // The target database: a file path, or server:path. Another path while connected is refused.
    void SetRutaDestino(const std::string& ruta);
    const std::string& RutaDestino() const;
    // The file a target name points to: the name itself, or the path after "servidor:" for a
    // server; whether a server has it, and whether it is on this machine (in process, or a
    // server reached through loopback or this machine's own name).
    struct FicheroDestino {
        std::string ruta;
        bool servidor = false;
        bool enEstaMaquina = true;
    };
    static FicheroDestino FicheroDelDestino(const std::string& destino);
    // The user and password of the attach to a server, in place of the fixed ones; each one not
    // given stays as fixed. A database opened in process checks neither.
    void SetCredenciales(const std::optional<std::string>& usuario,
                         const std::optional<std::string>& clave);

    // The query the window's grid follows.
    FuenteDatos DataSource1;

    // The transfers. Each returns false when a stop was asked for and it ended early, after
    // committing its last record and without its summary.
    bool TraspasoFamilias();
    bool TraspasoArticulos();
    bool TraspasoClientes();
    bool TraspasoProveedores();
    bool TraspasoAgentes();

    int32_t RegistrosAnadidos = 0;
    int32_t RegistrosActualizados = 0;
    // Records whose code could not be read or whose update or insert failed, in the last run.
    int32_t RegistrosRechazados = 0;
    // Records of the last run committed (or, in a run that writes nothing, walked), as far as
    // known: with grouped commits they lag behind the walk.
    std::size_t RegistrosConfirmados = 0;
    // Writing only what changed: records whose rows already held what they would receive.
    int32_t RegistrosSinCambios = 0;
    // A comparison, by target row: rows equal to what the source would write, rows that
    // differ, codes the target lacks, and target rows whose code no source record has.
    int32_t RegistrosIguales = 0;
    int32_t RegistrosDistintos = 0;
    int32_t RegistrosNuevos = 0;
    int32_t RegistrosSoloEnDestino = 0;

    // How a run writes. Traspaso: as the buttons do. Ensayo: every statement runs, but nothing
    // is committed, and closing rolls back (generators, which no transaction holds, still move).
    // Revision: nothing is executed at all; each record's values are bound and checked against
    // the target's columns, the codes the target lacks and the codes the source repeats are
    // warned about. Comparacion: nothing is written; each record's target rows are read and
    // compared with what a run would write there (Interfaz::Comparacion hears of each finding).
    enum class Modo { Traspaso, Ensayo, Revision, Comparacion };
    // Leaving a dry run undoes what it did and gives its turn back.
    void SetModo(Modo m);
    Modo GetModo() const { return modo_; }
    // A run (or a dry run) that writes only the records whose target rows differ from what they
    // would receive, or that the target lacks; the others are counted in RegistrosSinCambios.
    void SetSoloCambios(bool si) { soloCambios_ = si; }
    // Commits (retaining) every n records instead of every one, or sooner once the oldest record
    // not committed has waited `plazo` (zero: no such bound); at the end of a run always. Each
    // record still succeeds or fails on its own.
    void SetConfirmarCada(int n, std::chrono::milliseconds plazo = std::chrono::milliseconds{0});
    // How long a transfer waits for another one on the same target to end (its turn) before it
    // gives up with an error naming the other; from 1 second.
    void SetEsperaTurno(int segundos);
    int EsperaTurno() const;

    // Asks the running transfer to stop after the current record has been committed.
    void SolicitarParada() { parada_ = true; }
    // Interrupts a call to the target in progress (a wait for a row another user holds, a frozen
    // server): the record in progress is undone and the run ends with an error. Safe from a
    // signal handler.
    void CancelarOperacion() noexcept;
    // Whether a transfer, or a front end's piece of work that holds an EnMarcha, is running.
    bool Ejecutando() const { return enMarcha_ > 0; }
    class EnMarcha {
    public:
        explicit EnMarcha(TDatos& d) : d_(d) { ++d_.enMarcha_; }
        ~EnMarcha() { --d_.enMarcha_; }
        EnMarcha(const EnMarcha&) = delete;
        EnMarcha& operator=(const EnMarcha&) = delete;

    private:
        TDatos& d_;
    };

    // The closing steps: commit an active transaction, disconnect, delete the alias. A server
    // that does not answer within a bound has its connection given up (an Error says so).
    void Cerrar();

    // SIGINT, SIGTERM and SIGHUP stop a running transfer after its current record; when it is
    // stuck in a call to the target, that call is cancelled a few seconds later, and if the
    // server does not answer even that, the connection is given up (ConexionCortada). SIGPIPE is
    // ignored. Called once by a program, before its first connection; the front end asks
    // SenalRecibida() to close itself.
    void AtenderSenales();
    static int SenalRecibida(); // the signal's number, 0 when none came
    static void SenalAtendida();
    // Whether a connection was given up because its server did not answer: what the last record
    // in progress left is then not known, and the server undoes whatever was not committed.
    static bool ConexionCortada();

    // Whether a connection that the server shut was let go without the library's knowledge
    // (a call on it could wait for ever). The library's own clean-up at exit then crashes on
    // it, so a program that sees this ends with _exit once its output is flushed.
    static bool HayConexionesAbandonadas();

    // Each source query's own name with the file it reads ("qAgentesVenta", "agentes.dbf"): a
    // front end shows its operator the files, which are what he knows.
    std::vector<std::pair<std::string, std::string>> TablasDeLasConsultas() const;

    // The data objects, for the transfers' mappings and for tests.
    Session& Session1();
    SourceQuery& qArticulos();
    SourceQuery& qClientes();
    SourceQuery& qProveedores();
    SourceQuery& qAgentesVenta();
    SourceQuery& qFamilias();
    SourceQuery& qStock();
    IBDatabase& IBDatabase1();
    IBTransaction& IBTransaction1();
    IBSQL& IBSQLSelect();
    IBSQL& IBSQLInsert();
    IBSQL& IBSQLUpdate();
    IBQuery& IBQueryFamiliasArticulos();

    // Side-table lookups in the source; an error gives an empty text, and the first one of a
    // run is shown as a warning.
    std::string NombreLargoArticulo(const std::string& codigo);
    std::string NombreProvincia(const std::string& codigo);

    // Code lookups in the target. A code that cannot fit the target's column matches nothing.
    std::optional<int32_t> BuscarIdFamilia(const std::string& codigo); // empty when none
    int32_t BuscarIdFormaPago(const std::string& codigo);              // 0 when none
    int32_t BuscarIdAgenteVenta(const std::string& codigo);            // 0 when none
    // The payment method of a code (its first 4 characters), or the default when none.
    int32_t FormaPagoODefecto(const std::string& codigo, int32_t defecto);
    // The first stock row's figure of an article, 0 when it has none. A stock table that cannot
    // be read is an error, told once a run; the articles' stock is then left as it is.
    double StockArticulo(const std::string& articulo);

private:
    struct Destino;
    friend class Revision;
    friend class ModoEscritura;
    friend class ModoComparacion;
    friend class BusquedasDeDatos;
    void AbandonarConexion();
    void DejarDeAtenderSenales() noexcept;
    bool EjecutarTraspaso(const Traspaso& t);
    bool Recorrer(const Traspaso& t);
    bool Registro(const Traspaso& t, const Campos& campos);
    [[noreturn]] void Detenido(const Traspaso& t, std::size_t& pendientes,
                               std::size_t& confirmados);
    // After a stop in the middle of a walk: the record under way undone, and the whole records
    // waiting for their commit committed, or undone if the database takes no commit.
    void Asegurar(std::size_t& pendientes, std::size_t& confirmados);
    void Marcar(std::size_t pendientes);
    void AvisarDeLaTabla(const SourceQuery& q);
    void Confirmar(std::size_t& pendientes, std::size_t& confirmados, bool alFinal);
    Tratamiento& TratamientoDelModo(std::unique_ptr<Tratamiento>& propio);
    // Before any record: a target without a table the transfer reads or writes is told by name.
    void ComprobarTablas(const Traspaso& t);
    void PonerTextos(const Traspaso& t);
    void Conectar();
    void IniciarSiHaceFalta();
    void LeerDefectos(const Traspaso& t);
    int32_t BuscarCodigo(const Traspaso& t, const std::string& codigo);
    // Runs a guarded block of a record: an error is shown as the record's warning and false is
    // returned, unless it is a fault of the whole database, which ends the run.
    bool Guardado(const std::function<void()>& bloque);
    // A follow-up of the record with its target identifier, guarded on its own.
    void Seguir(const Traspaso& t, const Campos& c, int32_t id);
    bool Omitido(const Seguimiento& s) const { return omitidos_.count(&s) > 0; }
    // A parameter the run binds by name at every record, its place found at the first.
    IBParam& ParamFijo(IBSQL& s, int& lugar, const std::string& nombre);
    static constexpr int kLugarPorBuscar = -2;
    struct Lugares {
        int codigo = kLugarPorBuscar;  // the code lookup's
        int clave = kLugarPorBuscar;   // the update's key
        std::vector<int> seguimientos; // each follow-up's identifier
    };
    int32_t BuscarId(const std::vector<std::string>& texto, const std::string& codigo,
                     const std::string& columna);
    // Every identifier of `tabla` by its code, as `WHERE CODIGO = :code` finds it for a code
    // written as stored without trailing blanks; none when the table compares its codes
    // otherwise than byte by byte (a collation that folds case or accents).
    std::optional<std::unordered_map<std::string, int32_t>>
    IdsPorCodigo(const std::string& tabla, const std::string& columna);
    void FalloDeBusqueda(const std::string& consulta, const std::string& error);
    // In a review, a code the target lacks, and that no earlier review of the run would give it,
    // is told.
    void FaltaEnDestino(const std::string& tabla, const std::string& codigo,
                        const std::string& texto);

    Interfaz& interfaz_;
    std::unique_ptr<OrigenFacturaPlus> origen_;
    std::unique_ptr<Destino> destino_;
    std::unique_ptr<Busquedas> busquedas_; // the mappings' lookups, answered by this module
    std::unique_ptr<Enlazador> enlazar_;   // binds the mappings' values by position
    std::string busqueda_;                 // the running transfer's code lookup
    Lugares lugares_;                      // and the places of the parameters it binds by name
    bool parada_ = false;
    std::atomic<int> enMarcha_{0};           // read by the thread that watches for a silent server
    RegistroEnCurso registro_;               // the record in progress, for warnings
    std::set<std::string> tablasAvisadas_;   // side tables whose failure this run has shown
    std::set<std::string> tablasInformadas_; // tables whose page this run has told
    bool conexionPerdida_ = false;           // a run ended because the link went
    bool baseFallida_ = false;     // the last run ended because the database could take no more
    std::unique_ptr<Turno> turno_; // this connection's turn on the target, while it has one
    Modo modo_ = Modo::Traspaso;
    bool soloCambios_ = false;
    int confirmarCada_ = 1;
    std::chrono::milliseconds plazoConfirmar_{0};
    std::chrono::steady_clock::time_point primeroPendiente_; // the oldest record not committed
    bool enRegistro_ = false;            // a record's work is under way, not yet whole
    bool puntoMarcado_ = false;          // and a savepoint marks where it began
    int esperaTurno_ = 0;                // 0: Turno's own default
    Tratamiento* tratamiento_ = nullptr; // what the running transfer does with each record
    // The review keeps, from one transfer to the next, the codes each table would receive.
    std::unique_ptr<Revision> revision_;
    // The follow-ups this run leaves out, their tables missing from the target.
    std::set<const Seguimiento*> omitidos_;
    // A comparison's codes the target lacks, by table: rows a run would create, which later
    // transfers of the same comparison point to.
    std::map<std::string, std::set<std::string>> porCrear_;
};
