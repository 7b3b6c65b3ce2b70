// traspaso-maestros-lote: runs transfers from the command line, with no window and no questions.
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

#ifndef TM_VERSION
#define TM_VERSION "0"
#endif

namespace {

const char* const kAyuda =
    "Uso: traspaso-maestros-lote --origen CARPETA --destino BASE TRASPASO...\n"
    "     traspaso-maestros-lote --version | --help\n"
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
    "Ctrl+C (o la señal TERM) detiene el traspaso en curso después de confirmar el registro\n"
    "actual y dice cuántos registros se habían confirmado.\n"
    "\n"
    "Estado de salida:\n"
    "  0    todos los registros se han pasado\n"
    "  1    algunos registros han dado aviso y se han saltado\n"
    "  2    un error ha detenido un traspaso (o los argumentos no son válidos)\n"
    "  130  interrumpido con Ctrl+C (143 con la señal TERM)\n";

class InterfazLote : public Interfaz {
public:
    InterfazLote(TDatos*& datos, bool barra) : datos_(datos), barra_(barra) {}

    void MostrarEstado(const std::string& texto, bool) override {
        BorrarBarra();
        std::printf("%s\n", texto.c_str());
        std::fflush(stdout);
    }

    void Aviso(const std::string& texto, const RegistroEnCurso& r) override {
        BorrarBarra();
        ++avisos_;
        std::fprintf(stderr, "Aviso: %s: %s\n", Donde(r).c_str(), texto.c_str());
    }

    void Nota(const std::string& texto) override {
        BorrarBarra();
        std::printf("%s\n", texto.c_str());
        std::fflush(stdout);
    }

    void AtenderMensajes(const RegistroEnCurso& r) override {
        if (r.posicion == 1 || r.consulta != ultimo_.consulta)
            inicio_ = std::chrono::steady_clock::now();
        ultimo_ = r;
        if (barra_) PintarBarra(r);
    }

    // "qAgentesVenta, registro 5 de 9, código «006»"
    static std::string Donde(const RegistroEnCurso& r) {
        std::string t = r.consulta + ", registro " + std::to_string(r.posicion) + " de " +
                        std::to_string(r.total);
        if (!r.codigo.empty()) t += ", código «" + r.codigo + "»";
        return t;
    }

    void BorrarBarra() {
        if (!visible_) return;
        std::fprintf(stderr, "\r%78s\r", "");
        visible_ = false;
    }
    int Avisos() const { return avisos_; }
    const RegistroEnCurso& Ultimo() const { return ultimo_; }

private:
    void PintarBarra(const RegistroEnCurso& r) {
        double segundos =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - inicio_).count();
        double ritmo = segundos > 0 ? r.posicion / segundos : 0;
        long quedan = ritmo > 0 ? static_cast<long>((r.total - r.posicion) / ritmo) : 0;
        int ancho = 30;
        int lleno = r.total ? static_cast<int>(ancho * r.posicion / r.total) : ancho;
        std::fprintf(stderr, "\r[%s%s] %zu/%zu  %.1f reg/s  quedan %02ld:%02ld ",
                     std::string(lleno, '#').c_str(), std::string(ancho - lleno, ' ').c_str(),
                     r.posicion, r.total, ritmo, quedan / 60, quedan % 60);
        visible_ = true;
    }

    TDatos*& datos_;
    bool barra_;
    bool visible_ = false;
    int avisos_ = 0;
    RegistroEnCurso ultimo_;
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
        } else if (a == "--version") {
            std::printf("traspaso-maestros-lote %s\n", TM_VERSION);
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

    TDatos* observado = nullptr;
    InterfazLote interfaz(observado, isatty(STDERR_FILENO));
    TDatos datos(interfaz);
    observado = &datos;
    // Each transfer as its button runs it; false when an interrupt stopped it.
    std::map<std::string, std::function<bool()>> disponibles = {
        {"agentes",
         [&] {
             datos.DataSource1.SetDataSet(datos.qAgentesVenta());
             return datos.TraspasoAgentes();
         }},
        {"proveedores",
         [&] {
             datos.DataSource1.SetDataSet(datos.qProveedores());
             return datos.TraspasoProveedores();
         }},
        {"clientes",
         [&] {
             datos.DataSource1.SetDataSet(datos.qClientes());
             return datos.TraspasoClientes();
         }},
        {"articulos",
         [&] {
             datos.DataSource1.SetDataSet(datos.qFamilias());
             if (!datos.TraspasoFamilias()) return false;
             datos.DataSource1.SetDataSet(datos.qArticulos());
             return datos.TraspasoArticulos();
         }},
    };
    for (const std::string& t : traspasos)
        if (!disponibles.count(t)) return Uso("traspaso desconocido «" + t + "»");
    datos.AtenderSenales();

    int estado = 0;
    try {
        datos.CrearAlias(origen);
        for (const std::string& t : traspasos) {
            datos.SetRutaDestino(destino);
            if (!disponibles[t]()) {
                interfaz.BorrarBarra();
                std::fprintf(stderr,
                             "Traspaso interrumpido en %s después de confirmar %zu registros.\n",
                             interfaz.Ultimo().consulta.c_str(), interfaz.Ultimo().posicion);
                estado = 128 + TDatos::SenalRecibida();
                break;
            }
        }
    } catch (const std::exception& e) {
        interfaz.BorrarBarra();
        std::fprintf(stderr, "Error: %s\n", e.what());
        // A call cancelled because of a signal is the signal's stop, not a failure.
        estado = TDatos::SenalRecibida() ? 128 + TDatos::SenalRecibida() : 2;
    }
    try {
        datos.Cerrar();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "Error al cerrar: %s\n", e.what());
        if (estado == 0 || estado == 1) estado = 2;
    }
    if (estado == 0 && interfaz.Avisos() > 0) estado = 1;
    return estado;
}
