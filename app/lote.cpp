// traspaso-maestros-lote: runs transfers from the command line, with no window and no questions.
#include "FbError.h"
#include "Senales.h"
#include "TDatos.h"

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <functional>
#include <map>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

const char* const kAyuda =
    "Uso: traspaso-maestros-lote --origen CARPETA --destino BASE TRASPASO...\n"
    "\n"
    "Copia los ficheros maestros de FacturaPlus (tablas dBase de CARPETA) a la base de datos\n"
    "de Orvalia SQL BASE (un fichero .fdb o .gdb, o servidor:/ruta/fichero.fdb), igual que los\n"
    "botones de la ventana, sin preguntar nada.\n"
    "\n"
    "TRASPASO es uno o varios de, en el orden dado:\n"
    "  agentes       agentes de venta (agentes.dbf -> AGENTESVENTA)\n"
    "  proveedores   proveedores (proveedo.dbf -> PROVEEDORES)\n"
    "  clientes      clientes y su domicilio de cobro (clientes.dbf -> CLIENTES)\n"
    "  articulos     familias y después artículos, con precios y stock (familias.dbf, "
    "articulo.dbf)\n"
    "\n"
    "Los textos de estado y los resúmenes salen por la salida estándar; cada aviso de un\n"
    "registro que no se ha podido pasar sale por la salida de errores con su posición y su\n"
    "código. Si la salida de errores es un terminal se muestra una barra de progreso.\n"
    "Ctrl+C detiene el traspaso en curso después de confirmar el registro actual.\n"
    "\n"
    "Estado de salida:\n"
    "  0  todos los registros se han pasado\n"
    "  1  algunos registros han dado aviso y se han saltado\n"
    "  2  un error ha detenido un traspaso (o los argumentos no son válidos)\n";

volatile std::sig_atomic_t interrumpido = 0;
void AlInterrumpir(int) {
    interrumpido = 1;
}

class InterfazLote : public Interfaz {
public:
    explicit InterfazLote(bool barra) : barra_(barra) {}
    void Observar(TDatos& datos) { datos_ = &datos; }

    void MostrarEstado(const std::string& texto, bool) override {
        BorrarBarra();
        std::printf("%s\n", texto.c_str());
        std::fflush(stdout);
        if (texto.rfind("Actualizando", 0) == 0) inicio_ = std::chrono::steady_clock::now();
    }

    void Aviso(const std::string& texto, const RegistroEnCurso& r) override {
        BorrarBarra();
        ++avisos_;
        std::fprintf(stderr, "Aviso: %s, registro %zu de %zu, código «%s»: %s\n",
                     r.consulta.c_str(), r.posicion, r.total, r.codigo.c_str(), texto.c_str());
    }

    void AtenderMensajes() override {
        if (interrumpido && datos_) datos_->SolicitarParada();
        if (!barra_ || !datos_ || !datos_->DataSource1()) return;
        const SourceQuery& q = *datos_->DataSource1();
        std::size_t hechos = q.Eof() ? q.RowCount() : q.DeliveredCount() - 1;
        std::size_t total = q.RowCount();
        double segundos =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - inicio_).count();
        double ritmo = segundos > 0 ? hechos / segundos : 0;
        long quedan = ritmo > 0 ? static_cast<long>((total - hechos) / ritmo) : 0;
        int ancho = 30;
        int lleno = total ? static_cast<int>(ancho * hechos / total) : ancho;
        std::fprintf(stderr, "\r[%s%s] %zu/%zu  %.1f reg/s  quedan %02ld:%02ld ",
                     std::string(lleno, '#').c_str(), std::string(ancho - lleno, ' ').c_str(),
                     hechos, total, ritmo, quedan / 60, quedan % 60);
        visible_ = true;
    }

    void BorrarBarra() {
        if (!visible_) return;
        std::fprintf(stderr, "\r%78s\r", "");
        visible_ = false;
    }
    int Avisos() const { return avisos_; }

private:
    bool barra_;
    bool visible_ = false;
    int avisos_ = 0;
    TDatos* datos_ = nullptr;
    std::chrono::steady_clock::time_point inicio_ = std::chrono::steady_clock::now();
};

int Uso(const std::string& error) {
    std::fprintf(stderr, "traspaso-maestros-lote: %s\nPruebe «traspaso-maestros-lote --help».\n",
                 error.c_str());
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    std::string origen, destino;
    std::vector<std::string> traspasos;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--help" || a == "-h") {
            std::fputs(kAyuda, stdout);
            return 0;
        } else if ((a == "--origen" || a == "--destino") && i + 1 < argc) {
            (a == "--origen" ? origen : destino) = argv[++i];
        } else if (a.rfind("--origen=", 0) == 0) {
            origen = a.substr(9);
        } else if (a.rfind("--destino=", 0) == 0) {
            destino = a.substr(10);
        } else if (a.rfind("-", 0) == 0) {
            return Uso("opción desconocida «" + a + "»");
        } else {
            traspasos.push_back(a);
        }
    }
    if (origen.empty()) return Uso("falta --origen CARPETA");
    if (destino.empty()) return Uso("falta --destino BASE");
    if (traspasos.empty())
        return Uso("falta qué traspasar (agentes, proveedores, clientes, articulos)");

    InterfazLote interfaz(isatty(STDERR_FILENO));
    TDatos datos(interfaz);
    interfaz.Observar(datos);
    std::map<std::string, std::function<bool()>> disponibles = {
        {"agentes",
         [&] {
             datos.SetDataSource1(datos.qAgentesVenta());
             return datos.TraspasoAgentes();
         }},
    };
    for (const std::string& t : traspasos) {
        if (disponibles.count(t)) continue;
        if (t == "proveedores" || t == "clientes" || t == "articulos")
            return Uso("el traspaso «" + t + "» todavía no está disponible en esta versión");
        return Uso("traspaso desconocido «" + t + "»");
    }
    std::signal(SIGINT, AlInterrumpir);
    std::signal(SIGTERM, AlInterrumpir);
    RechazarCierrePorSenal(&interrumpido);

    int estado = 0;
    try {
        datos.CrearAlias(origen);
        for (const std::string& t : traspasos) {
            datos.IBDatabase1.SetDatabaseName(destino);
            if (!disponibles[t]()) {
                interfaz.BorrarBarra();
                std::fprintf(stderr,
                             "Traspaso interrumpido después de confirmar el registro en curso.\n");
                estado = 2;
                break;
            }
        }
    } catch (const std::exception& e) {
        interfaz.BorrarBarra();
        std::fprintf(stderr, "Error: %s\n", e.what());
        estado = 2;
    }
    try {
        datos.Cerrar();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "Error al cerrar: %s\n", e.what());
        estado = 2;
    }
    if (estado == 0 && interfaz.Avisos() > 0) estado = 1;
    return estado;
}
