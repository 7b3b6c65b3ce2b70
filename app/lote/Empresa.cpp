#include "Empresa.h"

#include "Empresas.h"
#include "Error.h"
#include "Informe.h"
#include "Progreso.h"
#include "RutaInforme.h"
#include "TDatos.h"
#include "TextoVisible.h"

#include <cctype>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <functional>
#include <map>
#include <optional>
#include <sys/ioctl.h>
#include <unistd.h>

#ifndef TM_VERSION
#define TM_VERSION "0"
#endif

namespace {

using Reloj = std::chrono::steady_clock;

// How often the bar is drawn again, at most: ten times a second, which a person can follow and
// which costs nothing beside the records. TRASPASO_BARRA_MS changes it (0: at every record, for
// tests that must find the program writing right after a commit).
std::chrono::milliseconds CadaCuantoLaBarra() {
    if (const char* e = std::getenv("TRASPASO_BARRA_MS"))
        return std::chrono::milliseconds(std::strtol(e, nullptr, 10));
    return std::chrono::milliseconds(100);
}

int ColumnasDelTerminal() {
    winsize w{};
    return ioctl(STDERR_FILENO, TIOCGWINSZ, &w) == 0 && w.ws_col > 0 ? w.ws_col : 80;
}

std::string HoraDelDia() {
    std::time_t t = std::time(nullptr);
    std::tm tm{};
    localtime_r(&t, &tm);
    char b[16];
    std::strftime(b, sizeof b, "%H:%M:%S", &tm);
    return b;
}

// Reports on the terminal and keeps everything for the report. Status texts go to `estado`
// (standard output, or standard error when the report itself goes to standard output).
class InterfazLote : public Interfaz {
public:
    // `confirmados`: the bar counts the records committed (a run that writes), not those walked.
    InterfazLote(std::FILE* estado, bool barra, bool confirmados)
        : estado_(estado), barra_(barra), confirmados_(confirmados),
          cadaBarra_(CadaCuantoLaBarra()) {}

    // The source queries' names and their files, so that what the operator reads names files.
    void Consultas(const std::vector<std::pair<std::string, std::string>>& c) {
        for (const auto& [consulta, fichero] : c)
            ficheros_[consulta] = fichero;
    }

    // A text with each query named by its file.
    std::string ConFicheros(std::string t) const {
        for (const auto& [consulta, fichero] : ficheros_) {
            std::size_t p = 0;
            while ((p = t.find(consulta, p)) != std::string::npos) {
                const std::size_t fin = p + consulta.size();
                if (fin < t.size() && std::isalnum(static_cast<unsigned char>(t[fin]))) {
                    p = fin; // a longer name that begins the same
                    continue;
                }
                t.replace(p, consulta.size(), fichero);
                p += fichero.size();
            }
        }
        return t;
    }
    // A message as the operator reads it: control characters shown by number, and a query
    // named by its file.
    std::string Visible(const std::string& texto) const {
        return MensajeVisible(ConFicheros(texto));
    }

    void MostrarEstado(const std::string& texto, bool) override {
        BorrarBarra();
        std::fprintf(estado_, "%s\n", Visible(texto).c_str());
        std::fflush(estado_);
    }

    void Aviso(const std::string& texto, const RegistroEnCurso& r) override {
        BorrarBarra();
        ++avisos_;
        std::string mensaje = Visible(texto);
        // The file is said once, where the warning says where it happened.
        const std::string fichero = TextoVisible(Fichero(r.consulta)) + ": ";
        if (mensaje.rfind(fichero, 0) == 0) mensaje.erase(0, fichero.size());
        std::fprintf(stderr, "Aviso: %s: %s\n", Donde(r).c_str(), mensaje.c_str());
        if (actual_) {
            actual_->avisos.push_back(ClasificarAviso(ConFicheros(texto), r));
            actual_->avisos.back().fichero = Fichero(r.consulta);
        }
    }

    void Tabla(const InfoTabla& t) override {
        ficheros_[t.consulta] = t.fichero;
        BorrarBarra();
        std::fprintf(estado_, "%s: %s\n", TextoVisible(t.fichero).c_str(),
                     MensajeVisible(t.razon).c_str());
        std::fflush(estado_);
        if (actual_) actual_->tablas.push_back(t);
    }

    // A comparison's findings: a line each on the status stream, and into the report.
    void Comparacion(const Hallazgo& h) override {
        BorrarBarra();
        const std::string donde = h.tabla + " «" + TextoVisible(h.codigo) + "»";
        switch (h.tipo) {
        case Hallazgo::Tipo::Diferencia:
            std::fprintf(estado_, "Diferencia: %s %s: destino «%s» / origen «%s»\n", donde.c_str(),
                         h.columna.c_str(), TextoVisible(h.destino).c_str(),
                         TextoVisible(h.origen).c_str());
            break;
        case Hallazgo::Tipo::Nuevo:
            std::fprintf(estado_, "Nuevo: %s\n", donde.c_str());
            break;
        case Hallazgo::Tipo::SoloEnDestino:
            std::fprintf(estado_, "Solo en destino: %s\n", donde.c_str());
            break;
        }
        std::fflush(estado_);
        if (!actual_) return;
        if (!actual_->comparacion) actual_->comparacion.emplace();
        ComparacionInforme& c = *actual_->comparacion;
        switch (h.tipo) {
        case Hallazgo::Tipo::Diferencia:
            c.diferencias.push_back({h.tabla, h.codigo, h.columna, h.destino, h.origen});
            break;
        case Hallazgo::Tipo::Nuevo:
            c.codigosNuevos.push_back(h.codigo);
            break;
        case Hallazgo::Tipo::SoloEnDestino:
            c.codigosSoloEnDestino.push_back(h.codigo);
            break;
        }
    }

    void AtenderMensajes(const RegistroEnCurso& r) override {
        esperando_ = r.posicion == 0;
        if (r.posicion == 0) return; // waiting for another transfer's turn
        if (actual_) actual_->registros = r.posicion;
        ultimo_ = r;
        auto ahora = Reloj::now();
        Avance a{Fichero(r.consulta), confirmados_ ? r.confirmados : r.posicion, r.total,
                 std::chrono::duration<double>(ahora - inicio_).count()};
        if (barra_) {
            if (ahora - ultimaBarra_ < cadaBarra_ && r.posicion < r.total) return;
            std::fprintf(stderr, "\r%s", Barra(a, ColumnasDelTerminal()).c_str());
            ultimaBarra_ = ahora;
            visible_ = true;
        } else if (ahora - ultimaLinea_ >= std::chrono::seconds(5)) {
            // Without a terminal, a line now and then, so that a log shows where a run is.
            std::fprintf(stderr, "%s\n", LineaDeRegistro(a, HoraDelDia()).c_str());
            ultimaLinea_ = ahora;
        }
    }

    // The transfer the next reports belong to.
    void Empieza(TraspasoInforme& t) {
        actual_ = &t;
        ultimo_ = RegistroEnCurso{};
        esperando_ = false;
        inicio_ = ultimaLinea_ = Reloj::now();
        ultimaBarra_ = Reloj::time_point{};
    }
    void Termina() {
        if (actual_)
            actual_->segundos = std::chrono::duration<double>(Reloj::now() - inicio_).count();
        BorrarBarra();
        actual_ = nullptr;
    }

    // Where a warning happened, as the operator finds it: the file, the record's number in it
    // (the one FacturaPlus and the table's own messages use) and its code as written there.
    std::string Donde(const RegistroEnCurso& r) const {
        std::string t = TextoVisible(Fichero(r.consulta));
        if (r.posicion == 0) return t;
        t += ", registro " + std::to_string(r.numero ? r.numero : r.posicion);
        const std::string& codigo = r.codigoEscrito.empty() ? r.codigo : r.codigoEscrito;
        if (!codigo.empty()) t += ", código «" + TextoVisible(codigo) + "»";
        return t;
    }
    void BorrarBarra() {
        if (!visible_) return;
        std::fprintf(stderr, "\r%*s\r", ColumnasDelTerminal() - 1, "");
        visible_ = false;
    }
    int Avisos() const { return avisos_; }
    const RegistroEnCurso& Ultimo() const { return ultimo_; }
    bool EsperandoTurno() const { return esperando_; }
    // The file a query reads, as the operator knows it ("agentes.dbf" for qAgentesVenta).
    std::string Fichero(const std::string& consulta) const {
        auto it = ficheros_.find(consulta);
        return it == ficheros_.end() ? consulta : it->second;
    }

private:
    std::FILE* estado_;
    bool barra_;
    bool confirmados_;
    std::chrono::milliseconds cadaBarra_;
    bool visible_ = false;
    int avisos_ = 0;
    TraspasoInforme* actual_ = nullptr;
    RegistroEnCurso ultimo_;
    bool esperando_ = false; // the transfer waits for its turn on the target
    std::map<std::string, std::string> ficheros_;
    Reloj::time_point inicio_ = Reloj::now(), ultimaLinea_ = Reloj::now(), ultimaBarra_{};
};

// "64 registros confirmados", or walked only, in a dry run or a review.
std::string Registros(std::size_t n, const Opciones& o) {
    const bool uno = n == 1;
    return std::to_string(n) + (uno ? " registro " : " registros ") +
           (o.ensayo || o.revisar || o.comparar
                ? (uno ? "recorrido, nada escrito" : "recorridos, nada escrito")
                : (uno ? "confirmado" : "confirmados"));
}

std::string NombreSenal(int s) {
    return s == SIGINT    ? "INT (Ctrl+C)"
           : s == SIGHUP  ? "HUP (se ha cerrado el terminal)"
           : s == SIGTERM ? "TERM"
                          : std::to_string(s);
}

const char* NombreModo(const Opciones& o) {
    return o.revisar ? "revision" : o.ensayo ? "ensayo" : o.comparar ? "comparacion" : "traspaso";
}

// A table the operator named for its code page: one of those the program reads, as its file
// is called with or without ".dbf", whatever the case.
void ComprobarTablaNombrada(const std::string& tabla, const TDatos& datos) {
    if (tabla.empty()) return;
    auto base = [](std::string t) {
        for (char& c : t)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (t.size() > 4 && t.compare(t.size() - 4, 4, ".dbf") == 0) t.resize(t.size() - 4);
        return t;
    };
    std::string hay;
    for (const auto& [consulta, fichero] : datos.TablasDeLasConsultas()) {
        if (base(fichero) == base(tabla)) return;
        hay += (hay.empty() ? "" : ", ") + base(fichero);
    }
    throw Error("--pagina-de-codigos: la tabla «" + TextoVisible(tabla) +
                "» no es ninguna de las que lee el programa (" + hay + ")");
}

} // namespace

int EjecutarEmpresa(const Opciones& o) {
    if (!o.informe.empty()) {
        try {
            ComprobarRutaInforme(o.informe, {Empresa{o.origen, o.destino, 0}});
        } catch (const std::exception& e) {
            std::fprintf(stderr, "Error: %s\n", MensajeVisible(e.what()).c_str());
            return 2;
        }
    }
    Informe informe;
    informe.version = TM_VERSION;
    informe.origen = o.origen;
    informe.destino = o.destino;
    informe.modo = NombreModo(o);
    informe.inicio = AhoraIso();
    // With the report on standard output, that stream carries the report alone.
    std::FILE* salida = o.informe == "-" ? stderr : stdout;
    InterfazLote interfaz(salida, isatty(STDERR_FILENO), !(o.ensayo || o.revisar || o.comparar));
    TDatos datos(interfaz);
    interfaz.Consultas(datos.TablasDeLasConsultas());
    datos.SetModo(o.revisar    ? TDatos::Modo::Revision
                  : o.ensayo   ? TDatos::Modo::Ensayo
                  : o.comparar ? TDatos::Modo::Comparacion
                               : TDatos::Modo::Traspaso);
    datos.SetSoloCambios(o.soloCambios);
    // Grouped by default: a commit per record waits on the disk every time; the half second
    // bounds what a crash can cost however slow the records come.
    datos.SetConfirmarCada(o.confirmarCada > 0 ? o.confirmarCada : kConfirmarCadaPorDefecto,
                           kPlazoConfirmar);
    if (o.esperarTurno > 0) datos.SetEsperaTurno(o.esperarTurno);
    // As Firebird's own tools do, a server's user and password from the environment.
    auto variable = [](const char* nombre) -> std::optional<std::string> {
        const char* v = std::getenv(nombre);
        return v && *v ? std::optional<std::string>(v) : std::nullopt;
    };
    datos.SetCredenciales(variable("ISC_USER"), variable("ISC_PASSWORD"));
    datos.AtenderSenales();

    // Each step of a transfer as its button runs it; false when a signal stopped it.
    auto paso = [&](const PasoDeTraspaso& p) {
        informe.traspasos.emplace_back();
        TraspasoInforme& t = informe.traspasos.back();
        t.nombre = p.nombre;
        interfaz.Empieza(t);
        datos.DataSource1.SetDataSet(p.consulta(datos));
        bool hecho = p.ejecutar(datos);
        interfaz.Termina();
        t.completo = hecho;
        t.anadidos = datos.RegistrosAnadidos;
        t.actualizados = datos.RegistrosActualizados;
        t.rechazados = datos.RegistrosRechazados;
        t.sinCambios = datos.RegistrosSinCambios;
        if (o.comparar) {
            if (!t.comparacion) t.comparacion.emplace();
            t.comparacion->iguales = datos.RegistrosIguales;
            t.comparacion->distintos = datos.RegistrosDistintos;
            t.comparacion->nuevos = datos.RegistrosNuevos;
            t.comparacion->soloEnDestino = datos.RegistrosSoloEnDestino;
        }
        return hecho;
    };
    // The table a step writes, for a stop that came before its first record.
    auto tablaDestino = [&](const std::string& nombre) -> std::string {
        for (const TraspasoOfrecido& t : TraspasosOfrecidos())
            for (const PasoDeTraspaso& p : t.pasos)
                if (p.nombre == nombre) return p.tabla;
        return {};
    };

    int estado = 0;
    bool todos = true;
    try {
        for (const auto& [tabla, pagina] : o.paginas) {
            ComprobarTablaNombrada(tabla, datos);
            datos.PaginaDeCodigos(tabla, pagina);
        }
        datos.CrearAlias(o.origen);
        for (const std::string& t : o.traspasos) {
            datos.SetRutaDestino(o.destino);
            bool seguir = true;
            for (const PasoDeTraspaso& p : TraspasoDeNombre(t).pasos)
                if (!(seguir = paso(p))) break;
            if (!seguir) {
                const int senal = TDatos::SenalRecibida();
                const RegistroEnCurso& u = interfaz.Ultimo();
                std::string donde;
                if (u.posicion > 0)
                    donde =
                        "en el registro " + std::to_string(u.posicion) + " de " +
                        std::to_string(u.total) + " de " + interfaz.Fichero(u.consulta) +
                        "; hasta él, " +
                        Registros(o.ensayo || o.revisar || o.comparar ? u.posicion
                                                                      : datos.RegistrosConfirmados,
                                  o);
                else
                    donde = std::string(interfaz.EsperandoTurno()
                                            ? "mientras esperaba su turno para escribir en "
                                            : "antes de empezar a escribir en ") +
                            tablaDestino(informe.traspasos.back().nombre) +
                            ": ningún registro escrito";
                std::fprintf(stderr, "Traspaso interrumpido por la señal %s %s.\n",
                             NombreSenal(senal).c_str(), donde.c_str());
                informe.error = "Interrumpido por la señal " + NombreSenal(senal) + " " + donde;
                estado = 128 + senal;
                todos = false;
                break;
            }
        }
    } catch (const std::exception& e) {
        interfaz.Termina();
        std::fprintf(stderr, "Error: %s\n", interfaz.Visible(e.what()).c_str());
        informe.error = interfaz.ConFicheros(e.what());
        if (TDatos::ConexionCortada() &&
            std::string(e.what()).find("abandonado la conexión") == std::string::npos) {
            const char* abandono =
                "El servidor de la base de datos no respondía: se ha abandonado la conexión. Lo "
                "que no estaba confirmado lo deshace el servidor.";
            std::fprintf(stderr, "%s\n", abandono);
            informe.error += std::string("\n") + abandono;
        }
        // A call cancelled because of a signal is the signal's stop, not a failure.
        estado = TDatos::SenalRecibida() ? 128 + TDatos::SenalRecibida() : 2;
        todos = false;
    }
    try {
        datos.Cerrar();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "Error al cerrar: %s\n", interfaz.Visible(e.what()).c_str());
        if (informe.error.empty()) informe.error = interfaz.ConFicheros(e.what());
        if (estado < 2) estado = 2;
    }
    if (estado == 0 && interfaz.Avisos() > 0) estado = 1;
    // A comparison that found the target short of what the source says: not the proof asked.
    for (const TraspasoInforme& t : informe.traspasos)
        if (estado == 0 && t.comparacion && (t.comparacion->distintos || t.comparacion->nuevos))
            estado = 1;
    std::vector<FilaFinal> filas;
    for (const TraspasoInforme& t : informe.traspasos) {
        FilaFinal f{t.nombre,    t.anadidos, t.actualizados, t.rechazados,
                    t.registros, t.segundos, t.sinCambios,   {}};
        if (t.comparacion)
            f.comparacion = {t.comparacion->iguales, t.comparacion->distintos,
                             t.comparacion->nuevos, t.comparacion->soloEnDestino};
        filas.push_back(f);
    }
    const Tabla tabla = o.revisar       ? Tabla::Revision
                        : o.comparar    ? Tabla::Comparacion
                        : o.soloCambios ? Tabla::SoloCambios
                                        : Tabla::Traspaso;
    if (!filas.empty()) std::fprintf(salida, "\n%s", TablaFinal(filas, tabla).c_str());
    if (o.ensayo)
        std::fprintf(salida,
                     "Ensayo: nada de lo anterior ha quedado en la base de datos, que está como "
                     "estaba; solo los generadores de identificadores han avanzado, porque "
                     "Firebird los hace avanzar fuera de toda transacción.\n");
    std::fflush(salida);
    informe.completo = todos;
    informe.estado = estado;
    informe.fin = AhoraIso();
    if (!o.informe.empty()) {
        try {
            informe.Escribir(o.informe);
        } catch (const std::exception& e) {
            std::fprintf(stderr, "Error: %s\n", MensajeVisible(e.what()).c_str());
            if (estado < 2) estado = 2;
        }
    }
    return estado;
}
