#include "Opciones.h"

#include "Error.h"

#include <set>

const char* const kAyuda =
    "Uso: traspaso-maestros-lote --origen CARPETA --destino BASE TRASPASO... [OPCIONES]\n"
    "     traspaso-maestros-lote --empresas LISTA [-j N] TRASPASO... [OPCIONES]\n"
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
    "Opciones:\n"
    "  --ensayo            hace todo como de verdad (búsquedas, altas, modificaciones, precios,\n"
    "                      stock y rechazos) en una transacción que al final se deshace: la base\n"
    "                      de datos queda como estaba, salvo los generadores de identificadores,\n"
    "                      que Firebird hace avanzar fuera de toda transacción\n"
    "  --revisar           no escribe nada: lee el origen y los campos del destino y avisa de\n"
    "                      los códigos repetidos o que se igualan al cortarlos, de cada valor que\n"
    "                      no cabe en su columna, de las familias, formas de pago y agentes que\n"
    "                      el destino no tiene, de las tablas cuya cabecera no cuadra y de la\n"
    "                      página de códigos de cada tabla\n"
    "  --informe FICHERO   escribe al terminar (también si un error o Ctrl+C lo detiene) un\n"
    "                      informe JSON con los recuentos, tiempos, páginas de códigos y avisos\n"
    "  --confirmar-cada N  confirma cada N registros en vez de cada uno: mucho más rápido en\n"
    "                      migraciones grandes; a cambio, si el programa muere, se pierden los\n"
    "                      últimos N-1 registros, que una nueva pasada vuelve a traspasar\n"
    "  --esperar-turno SEGUNDOS  si otro traspaso escribe en la misma base de datos, espera a\n"
    "                      que termine como mucho SEGUNDOS (300 si no se dice) y, si no ha\n"
    "                      terminado, acaba con estado 2 diciendo quién lo tiene\n"
    "  --empresas LISTA    un fichero de líneas ORIGEN<tab>DESTINO (una empresa por línea, # para\n"
    "                      comentarios): traspasa cada empresa con su propia conexión y resumen;\n"
    "                      un fallo de una no detiene las demás; al final, una tabla resumen\n"
    "  -j N                con --empresas, hasta N empresas a la vez, cada una en su proceso\n"
    "\n"
    "Los textos de estado, la página de códigos de cada tabla y los resúmenes salen por la salida\n"
    "estándar; cada aviso de un registro que no se ha podido pasar sale por la salida de errores\n"
    "con su posición y su código. Si la salida de errores es un terminal se muestra una barra de\n"
    "progreso; si no, una línea de progreso cada pocos segundos.\n"
    "Ctrl+C (o la señal TERM) detiene el traspaso en curso después de confirmar el registro\n"
    "actual y dice cuántos registros se habían confirmado.\n"
    "\n"
    "Estado de salida:\n"
    "  0    todos los registros se han pasado (o la revisión no ha encontrado nada)\n"
    "  1    algunos registros han dado aviso y se han saltado (o la revisión ha avisado)\n"
    "  2    un error ha detenido un traspaso (o los argumentos no son válidos)\n"
    "  130  interrumpido con Ctrl+C (143 con la señal TERM)\n"
    "  Con --empresas, el peor estado de todas las empresas.\n";

namespace {

int Entero(const std::string& opcion, const std::string& texto, int minimo) {
    std::size_t usados = 0;
    int n = 0;
    try {
        n = std::stoi(texto, &usados);
    } catch (const std::exception&) {
        usados = 0;
    }
    if (usados != texto.size() || texto.empty() || n < minimo)
        throw Error(opcion + " necesita un número entero desde " + std::to_string(minimo) +
                    ", no «" + texto + "»");
    return n;
}

} // namespace

Opciones LeerOpciones(int argc, char** argv) {
    Opciones o;
    static const std::set<std::string> kTraspasos = {"agentes", "proveedores", "clientes",
                                                     "articulos"};
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        auto valor = [&](const std::string& nombre) -> std::string {
            if (a.rfind(nombre + "=", 0) == 0) return a.substr(nombre.size() + 1);
            if (i + 1 >= argc) throw Error("falta el valor de " + nombre);
            return argv[++i];
        };
        auto es = [&](const std::string& nombre) {
            return a == nombre || a.rfind(nombre + "=", 0) == 0;
        };
        if (a == "--help" || a == "-h") {
            o.ayuda = true;
        } else if (a == "--version") {
            o.version = true;
        } else if (es("--origen")) {
            o.origen = valor("--origen");
        } else if (es("--destino")) {
            o.destino = valor("--destino");
        } else if (es("--informe")) {
            o.informe = valor("--informe");
        } else if (es("--empresas")) {
            o.empresas = valor("--empresas");
        } else if (es("--esperar-turno")) {
            o.esperarTurno = Entero("--esperar-turno", valor("--esperar-turno"), 1);
        } else if (es("--confirmar-cada")) {
            o.confirmarCada = Entero("--confirmar-cada", valor("--confirmar-cada"), 1);
        } else if (a == "-j" || a.rfind("-j", 0) == 0) {
            std::string n = a == "-j" ? (i + 1 < argc ? argv[++i] : "") : a.substr(2);
            o.trabajos = Entero("-j", n, 1);
        } else if (a == "--ensayo") {
            o.ensayo = true;
        } else if (a == "--revisar") {
            o.revisar = true;
        } else if (a.rfind("-", 0) == 0) {
            throw Error("opción desconocida «" + a + "»");
        } else if (!kTraspasos.count(a)) {
            throw Error("traspaso desconocido «" + a + "»");
        } else {
            o.traspasos.push_back(a);
        }
    }
    if (o.ayuda || o.version) return o;
    if (o.ensayo && o.revisar) throw Error("--ensayo y --revisar no van juntos");
    if (o.empresas.empty()) {
        if (o.origen.empty()) throw Error("falta --origen CARPETA");
        if (o.destino.empty()) throw Error("falta --destino BASE");
    } else if (!o.origen.empty() || !o.destino.empty()) {
        throw Error("con --empresas, el origen y el destino de cada empresa van en la lista");
    }
    if (o.traspasos.empty())
        throw Error("falta qué traspasar (agentes, proveedores, clientes, articulos)");
    return o;
}
