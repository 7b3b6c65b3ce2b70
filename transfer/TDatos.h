#pragma once
// The data module: everything that touches data, for the whole run of the program. The window
// and the batch program see this header, Interfaz.h and DataSource.h only; the dBase engine and
// the Firebird layer stay behind it.
#include "DataSource.h"
#include "Interfaz.h"

#include <atomic>
#include <csignal>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

class IBDatabase;
class IBQuery;
class IBSQL;
class IBTransaction;
class OrigenFacturaPlus;
class Session;
class SourceQuery;
struct Traspaso;
class Campos;
class Turno;

class TDatos {
public:
    explicit TDatos(Interfaz& interfaz);
    TDatos(const TDatos&) = delete;
    TDatos& operator=(const TDatos&) = delete;
    ~TDatos(); // commits an open transaction and disconnects; never throws

    // Rebuilds the source alias on a folder; the folder is not checked until a query opens.
    void CrearAlias(const std::string& ruta);
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

    // How a run writes. Traspaso: as the buttons do. Ensayo: every statement runs, but nothing
    // is committed, and closing rolls back (generators, which no transaction holds, still move).
    // Revision: nothing is executed at all; each record's values are bound and checked against
    // the target's columns, the codes the target lacks and the codes the source repeats are
    // warned about.
    enum class Modo { Traspaso, Ensayo, Revision };
    void SetModo(Modo m) { modo_ = m; }
    Modo GetModo() const { return modo_; }
    // Commits (retaining) every n records instead of every one; at the end of a run always.
    void SetConfirmarCada(int n);
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
    // The payment method of a code, or the default when the code finds none.
    int32_t FormaPagoODefecto(const std::string& codigo, int32_t defecto);

private:
    struct Destino;
    void AbandonarConexion();
    void DejarDeAtenderSenales() noexcept;
    bool EjecutarTraspaso(const Traspaso& t);
    void Registro(const Traspaso& t, const Campos& campos, const std::string& busqueda,
                  const std::string& clave);
    bool Recorrer(const Traspaso& t);
    [[noreturn]] void Detenido(const Traspaso& t, std::size_t& pendientes,
                               std::size_t& confirmados);
    void AvisarDeLaTabla(const SourceQuery& q);
    void Confirmar(std::size_t& pendientes, std::size_t& confirmados, bool alFinal);
    void Revisar(const Traspaso& t, const Campos& campos, const std::string& busqueda,
                 const std::string& clave);
    void RevisarCodigo(const Traspaso& t, const Campos& campos,
                       const std::function<void(const std::string&)>& avisar);
    // In a review, a code the target lacks, and that no earlier review of the run would give it,
    // is told.
    void FaltaEnDestino(const std::string& tabla, const std::string& codigo,
                        const std::string& texto);
    void PonerTextos(const Traspaso& t);
    void Conectar();
    void IniciarSiHaceFalta();
    void LeerDefectos(const Traspaso& t);
    int32_t BuscarCodigo(const std::string& texto, const std::string& columna,
                         const std::string& codigo);
    bool Guardado(const RegistroEnCurso& r, const std::function<void()>& bloque);
    int32_t BuscarId(const std::vector<std::string>& texto, const std::string& codigo,
                     const std::string& columna);
    void FalloDeBusqueda(const std::string& consulta, const std::string& error);

    Interfaz& interfaz_;
    std::unique_ptr<OrigenFacturaPlus> origen_;
    std::unique_ptr<Destino> destino_;
    bool parada_ = false;
    std::atomic<int> enMarcha_{0};           // read by the thread that watches for a silent server
    RegistroEnCurso registro_;               // the record in progress, for warnings
    std::set<std::string> tablasAvisadas_;   // side tables whose failure this run has shown
    std::set<std::string> tablasInformadas_; // tables whose page this run has told
    bool conexionPerdida_ = false;           // a run ended because the link went
    bool baseFallida_ = false;     // the last run ended because the database could take no more
    std::unique_ptr<Turno> turno_; // this connection's turn on the target, while it has one
    Modo modo_ = Modo::Traspaso;
    int confirmarCada_ = 1;
    int esperaTurno_ = 0; // 0: Turno's own default
    // In a review: the codes seen so far, as written, with the record and the code as read.
    struct CodigoVisto {
        std::size_t posicion;
        std::string leido;
    };
    std::map<std::string, CodigoVisto> codigosVistos_;
    const std::function<void(const std::string&)>* faltas_ = nullptr;
    // The codes each table would receive from the reviews made so far: a later review (clients
    // after agents, articles after families) finds them as the real run would.
    std::map<std::string, std::set<std::string>> revisados_;
};
