#include "Empresa.h"

#include "Empresas.h"
#include "Informe.h"
#include "RutaInforme.h"
#include "TDatos.h"
#include "TextoVisible.h"

#include <chrono>
#include <csignal>
#include <cstdio>
#include <functional>
#include <map>
#include <unistd.h>

#ifndef TM_VERSION
#define TM_VERSION "0"
#endif

namespace {

using Reloj = std::chrono::steady_clock;

// Reports on the terminal and keeps everything for the report.
class InterfazLote : public Interfaz {
public:
    InterfazLote(Informe& informe, bool barra) : informe_(informe), barra_(barra) {}

    void MostrarEstado(const std::string& texto, bool) override {
        BorrarBarra();
        std::printf("%s\n", MensajeVisible(texto).c_str());
        std::fflush(stdout);
    }

    void Aviso(const std::string& texto, const RegistroEnCurso& r) override {
        BorrarBarra();
        ++avisos_;
        std::fprintf(stderr, "Aviso: %s: %s\n", Donde(r).c_str(), MensajeVisible(texto).c_str());
        if (actual_) actual_->avisos.push_back(ClasificarAviso(texto, r));
    }

    void Tabla(const InfoTabla& t) override {
        ficheros_[t.consulta] = t.fichero;
        BorrarBarra();
        std::printf("%s: %s\n", TextoVisible(t.fichero).c_str(), MensajeVisible(t.razon).c_str());
        std::fflush(stdout);
        if (actual_) actual_->tablas.push_back(t);
    }

    void AtenderMensajes(const RegistroEnCurso& r) override {
        esperando_ = r.posicion == 0;
        if (r.posicion == 0) return; // waiting for another transfer's turn
        if (actual_) actual_->registros = r.posicion;
        ultimo_ = r;
        auto ahora = Reloj::now();
        if (barra_) {
            PintarBarra(r, ahora);
        } else if (ahora - ultimaLinea_ >= std::chrono::seconds(5)) {
            // Without a terminal, a line now and then, so that a log shows where a run is.
            std::fprintf(stderr, "%s: %zu de %zu registros, %.1f reg/s\n", r.consulta.c_str(),
                         r.posicion, r.total, Ritmo(r, ahora));
            ultimaLinea_ = ahora;
        }
    }

    // The transfer the next reports belong to.
    void Empieza(TraspasoInforme& t) {
        actual_ = &t;
        ultimo_ = RegistroEnCurso{};
        esperando_ = false;
        inicio_ = ultimaLinea_ = Reloj::now();
    }
    void Termina() {
        if (actual_)
            actual_->segundos = std::chrono::duration<double>(Reloj::now() - inicio_).count();
        BorrarBarra();
        actual_ = nullptr;
    }

    static std::string Donde(const RegistroEnCurso& r) {
        if (r.posicion == 0) return r.consulta;
        std::string t = r.consulta + ", registro " + std::to_string(r.posicion) + " de " +
                        std::to_string(r.total);
        if (!r.codigo.empty()) t += ", código «" + TextoVisible(r.codigo) + "»";
        return t;
    }
    void BorrarBarra() {
        if (!visible_) return;
        std::fprintf(stderr, "\r%90s\r", "");
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
    double Ritmo(const RegistroEnCurso& r, Reloj::time_point ahora) const {
        double s = std::chrono::duration<double>(ahora - inicio_).count();
        return s > 0 ? r.posicion / s : 0;
    }
    void PintarBarra(const RegistroEnCurso& r, Reloj::time_point ahora) {
        double ritmo = Ritmo(r, ahora);
        long quedan = ritmo > 0 ? static_cast<long>((r.total - r.posicion) / ritmo) : 0;
        int ancho = 24;
        int lleno = r.total ? static_cast<int>(ancho * r.posicion / r.total) : ancho;
        std::fprintf(stderr, "\r%s [%s%s] %zu/%zu  %.1f reg/s  quedan %02ld:%02ld ",
                     r.consulta.c_str(), std::string(lleno, '#').c_str(),
                     std::string(ancho - lleno, ' ').c_str(), r.posicion, r.total, ritmo,
                     quedan / 60, quedan % 60);
        visible_ = true;
    }

    Informe& informe_;
    bool barra_;
    bool visible_ = false;
    int avisos_ = 0;
    TraspasoInforme* actual_ = nullptr;
    RegistroEnCurso ultimo_;
    bool esperando_ = false; // the transfer waits for its turn on the target
    std::map<std::string, std::string> ficheros_;
    Reloj::time_point inicio_ = Reloj::now(), ultimaLinea_ = Reloj::now();
};

// "64 registros confirmados", or walked only, in a dry run or a review.
std::string Registros(std::size_t n, const Opciones& o) {
    const bool uno = n == 1;
    return std::to_string(n) + (uno ? " registro " : " registros ") +
           (o.ensayo || o.revisar ? (uno ? "recorrido, nada escrito" : "recorridos, nada escrito")
                                  : (uno ? "confirmado" : "confirmados"));
}

std::string NombreSenal(int s) {
    return s == SIGINT    ? "INT (Ctrl+C)"
           : s == SIGHUP  ? "HUP (se ha cerrado el terminal)"
           : s == SIGTERM ? "TERM"
                          : std::to_string(s);
}

// The target table of each transfer, for a stop that came before its first record.
const char* TablaDestino(const std::string& traspaso) {
    static const std::map<std::string, const char*> kTablas = {{"familias", "FAMILIASARTICULOS"},
                                                               {"articulos", "ARTICULOS"},
                                                               {"clientes", "CLIENTES"},
                                                               {"proveedores", "PROVEEDORES"},
                                                               {"agentes", "AGENTESVENTA"}};
    auto it = kTablas.find(traspaso);
    return it == kTablas.end() ? "" : it->second;
}

const char* NombreModo(const Opciones& o) {
    return o.revisar ? "revision" : o.ensayo ? "ensayo" : "traspaso";
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
    InterfazLote interfaz(informe, isatty(STDERR_FILENO));
    TDatos datos(interfaz);
    datos.SetModo(o.revisar  ? TDatos::Modo::Revision
                  : o.ensayo ? TDatos::Modo::Ensayo
                             : TDatos::Modo::Traspaso);
    datos.SetConfirmarCada(o.confirmarCada);
    if (o.esperarTurno > 0) datos.SetEsperaTurno(o.esperarTurno);
    datos.AtenderSenales();

    // Each transfer as its button runs it; false when a signal stopped it.
    auto uno = [&](const char* nombre, SourceQuery& q, bool (TDatos::*traspaso)()) {
        informe.traspasos.emplace_back();
        TraspasoInforme& t = informe.traspasos.back();
        t.nombre = nombre;
        interfaz.Empieza(t);
        datos.DataSource1.SetDataSet(q);
        bool hecho = (datos.*traspaso)();
        interfaz.Termina();
        t.completo = hecho;
        t.anadidos = datos.RegistrosAnadidos;
        t.actualizados = datos.RegistrosActualizados;
        t.rechazados = datos.RegistrosRechazados;
        return hecho;
    };
    std::map<std::string, std::function<bool()>> traspasos = {
        {"agentes",
         [&] { return uno("agentes", datos.qAgentesVenta(), &TDatos::TraspasoAgentes); }},
        {"proveedores",
         [&] { return uno("proveedores", datos.qProveedores(), &TDatos::TraspasoProveedores); }},
        {"clientes", [&] { return uno("clientes", datos.qClientes(), &TDatos::TraspasoClientes); }},
        {"articulos",
         [&] {
             return uno("familias", datos.qFamilias(), &TDatos::TraspasoFamilias) &&
                    uno("articulos", datos.qArticulos(), &TDatos::TraspasoArticulos);
         }},
    };

    int estado = 0;
    bool todos = true;
    try {
        datos.CrearAlias(o.origen);
        for (const std::string& t : o.traspasos) {
            datos.SetRutaDestino(o.destino);
            if (!traspasos.at(t)()) {
                const int senal = TDatos::SenalRecibida();
                const RegistroEnCurso& u = interfaz.Ultimo();
                std::string donde;
                if (u.posicion > 0)
                    donde = "en el registro " + std::to_string(u.posicion) + " de " +
                            std::to_string(u.total) + " de " + interfaz.Fichero(u.consulta) +
                            "; hasta él, " + Registros(u.posicion, o);
                else
                    donde = std::string(interfaz.EsperandoTurno()
                                            ? "mientras esperaba su turno para escribir en "
                                            : "antes de empezar a escribir en ") +
                            TablaDestino(informe.traspasos.back().nombre) +
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
        std::fprintf(stderr, "Error: %s\n", MensajeVisible(e.what()).c_str());
        informe.error = e.what();
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
        std::fprintf(stderr, "Error al cerrar: %s\n", MensajeVisible(e.what()).c_str());
        if (informe.error.empty()) informe.error = e.what();
        if (estado < 2) estado = 2;
    }
    if (estado == 0 && interfaz.Avisos() > 0) estado = 1;
    if (o.ensayo)
        std::printf("Ensayo: nada de lo anterior ha quedado en la base de datos, que está como "
                    "estaba; solo los generadores de identificadores han avanzado, porque Firebird "
                    "los hace avanzar fuera de toda transacción.\n");
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
