#include "Opciones.h"

#include "Error.h"
#include "TDatos.h"

#include <algorithm>
#include <cstring>
#include <getopt.h>
#include <set>

namespace {

const char* const kAyudaAntes =
    "Uso: traspaso-maestros-lote --origen CARPETA --destino BASE TRASPASO... [OPCIONES]\n"
    "     traspaso-maestros-lote --empresas LISTA [-j N] TRASPASO... [OPCIONES]\n"
    "     traspaso-maestros-lote --version | -h | --help\n"
    "\n"
    "Copia los ficheros maestros de FacturaPlus (tablas dBase de CARPETA) a la base de datos\n"
    "de Orvalia SQL BASE (un fichero .fdb o .gdb, o servidor:/ruta/fichero.fdb), igual que los\n"
    "botones de la ventana, sin preguntar nada.\n"
    "\n"
    "TRASPASO es uno o varios de, en el orden dado:\n";

const char* const kAyudaDespues =
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
    "  --comparar          no escribe nada: lleva cada registro hasta donde lo llevaría un\n"
    "                      traspaso (búsquedas, cortes, valores por defecto) y compara con lo\n"
    "                      que tiene el destino; dice cada columna distinta (Diferencia:), cada\n"
    "                      código que el destino no tiene (Nuevo:), cada fila del destino que\n"
    "                      no está en el origen (Solo en destino:) y los registros que un\n"
    "                      traspaso rechazaría; termina con estado 0 si todo es igual\n"
    "  --solo-cambios      escribe solo los registros que --comparar daría por distintos o\n"
    "                      nuevos; los demás no se tocan (se cuentan como «sin cambios»)\n"
    "  --pagina-de-codigos [TABLA=]PAGINA  lee la tabla (o todas) en esa página de códigos\n"
    "                      (437, 850, 1252...) en vez de la que dice su cabecera; se puede\n"
    "                      repetir: --pagina-de-codigos agentes=850 --pagina-de-codigos 437\n"
    "  --informe FICHERO   escribe al terminar (también si un error o Ctrl+C lo detiene) un\n"
    "                      informe JSON con los recuentos, tiempos, páginas de códigos y avisos;\n"
    "                      con - lo escribe por la salida estándar (y los textos de estado van\n"
    "                      entonces a la de errores); nunca sobre la base de datos, dentro de\n"
    "                      la carpeta de FacturaPlus o sobre un fichero que no sea un informe\n"
    "  --confirmar-cada N  confirma cada N registros, o antes si el primero de ellos lleva\n"
    "                      medio segundo esperando; sin esta opción, cada 200. Con N = 1, cada\n"
    "                      registro. Si el programa muere a medias, se pierden como mucho los\n"
    "                      registros sin confirmar, que una nueva pasada vuelve a traspasar\n"
    "  --esperar-turno SEGUNDOS  si otro traspaso escribe en la misma base de datos, espera a\n"
    "                      que termine como mucho SEGUNDOS (300 si no se dice) y, si no ha\n"
    "                      terminado, acaba con estado 2 diciendo quién lo tiene\n"
    "  --empresas LISTA    un fichero de líneas ORIGEN<tab>DESTINO (una empresa por línea, # para\n"
    "                      comentarios): traspasa cada empresa con su propia conexión y resumen;\n"
    "                      un fallo de una no detiene las demás; al final, una tabla resumen\n"
    "  -j N, --trabajos N  con --empresas, hasta N empresas a la vez, cada una en su proceso\n"
    "  --registros CARPETA  con --empresas, deja en CARPETA el registro de cada empresa (si no,\n"
    "                      van a una carpeta temporal privada, que se borra al final si todas\n"
    "                      han terminado bien)\n"
    "  -h, --help          esta ayuda\n"
    "  --                  lo que sigue son traspasos, no opciones\n"
    "\n"
    "Con un servidor Firebird, el usuario y la contraseña se toman de ISC_USER e ISC_PASSWORD\n"
    "cuando están puestas, como hacen las herramientas de Firebird.\n"
    "\n"
    "Los textos de estado, la página de códigos de cada tabla y los resúmenes salen por la salida\n"
    "estándar; cada aviso de un registro que no se ha podido pasar sale por la salida de errores\n"
    "con su posición y su código. Si la salida de errores es un terminal se muestra una barra de\n"
    "progreso; si no, una línea de progreso cada pocos segundos.\n"
    "Ctrl+C (o la señal TERM, o cerrar el terminal) detiene el traspaso en curso después de\n"
    "confirmar el registro actual y dice cuántos registros se habían confirmado; si el servidor\n"
    "no responde, el programa abandona la conexión a los pocos segundos y termina igualmente.\n"
    "Conectar con un servidor espera como mucho 20 segundos.\n"
    "\n"
    "Estado de salida:\n"
    "  0    todos los registros se han pasado (o la revisión no ha encontrado nada, o la\n"
    "       comparación lo ha encontrado todo igual)\n"
    "  1    algunos registros han dado aviso y se han saltado (o la revisión ha avisado, o la\n"
    "       comparación ha encontrado diferencias o registros nuevos)\n"
    "  2    un error ha detenido un traspaso (o los argumentos no son válidos)\n"
    "  130  interrumpido con Ctrl+C (143 con la señal TERM, 129 si se cierra el terminal)\n"
    "  Con --empresas, el peor estado de todas las empresas.\n";

} // namespace

std::string Ayuda() {
    std::string traspasos;
    for (const TraspasoOfrecido& t : TraspasosOfrecidos())
        traspasos += "  " + t.nombre +
                     std::string(std::max<std::size_t>(2, 14 - t.nombre.size()), ' ') +
                     t.descripcion + "\n";
    return kAyudaAntes + traspasos + kAyudaDespues;
}

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

enum Larga : int {
    kOrigen = 256,
    kDestino,
    kInforme,
    kEmpresas,
    kConfirmarCada,
    kEsperarTurno,
    kRegistros,
    kEnsayo,
    kRevisar,
    kComparar,
    kSoloCambios,
    kPaginaDeCodigos,
    kVersion,
};

const option kLargas[] = {
    {"origen", required_argument, nullptr, kOrigen},
    {"destino", required_argument, nullptr, kDestino},
    {"informe", required_argument, nullptr, kInforme},
    {"empresas", required_argument, nullptr, kEmpresas},
    {"confirmar-cada", required_argument, nullptr, kConfirmarCada},
    {"esperar-turno", required_argument, nullptr, kEsperarTurno},
    {"trabajos", required_argument, nullptr, 'j'},
    {"registros", required_argument, nullptr, kRegistros},
    {"ensayo", no_argument, nullptr, kEnsayo},
    {"revisar", no_argument, nullptr, kRevisar},
    {"comparar", no_argument, nullptr, kComparar},
    {"solo-cambios", no_argument, nullptr, kSoloCambios},
    {"pagina-de-codigos", required_argument, nullptr, kPaginaDeCodigos},
    {"help", no_argument, nullptr, 'h'},
    {"version", no_argument, nullptr, kVersion},
    {nullptr, 0, nullptr, 0},
};

bool SoloCifras(const char* t) {
    return *t && std::strspn(t, "0123456789") == std::strlen(t);
}

// "[TABLA=]PAGINA": the table as the operator names it ("agentes", "agentes.dbf"), or every
// table; whether the engine knows the page is its own to say, with the pages it knows.
std::pair<std::string, int> Pagina(const std::string& valor) {
    const std::size_t igual = valor.find('=');
    std::string tabla = igual == std::string::npos ? "" : valor.substr(0, igual);
    const std::string pagina = igual == std::string::npos ? valor : valor.substr(igual + 1);
    if (igual != std::string::npos && tabla.empty())
        throw Error("--pagina-de-codigos " + valor + ": falta la tabla antes de «=»");
    return {tabla, Entero("--pagina-de-codigos", pagina, 1)};
}

} // namespace

Opciones LeerOpciones(int argc, char** argv) {
    Opciones o;
    std::set<std::string> dadas; // options given, to refuse those without effect
    opterr = 0;                  // the messages are the program's own, in Spanish
    optind = 0;                  // a full start, also when called again
    for (;;) {
        int indice = -1;
        const int c = getopt_long(argc, argv, ":hj:", kLargas, &indice);
        if (c == -1) break;
        // The argument being read, as typed: optind has moved past it (and past its value).
        const std::string actual = optind - 1 < argc ? argv[optind - 1] : "";
        // A short option is named by optopt; a long one by what was typed.
        const bool corta = optopt > 0 && optopt < 128 && actual.rfind("--", 0) != 0;
        const std::string nombre = corta ? "-" + std::string(1, static_cast<char>(optopt)) : actual;
        if (c == '?') {
            if (!corta && optopt) // a value given to an option that takes none
                throw Error(nombre.substr(0, nombre.find('=')) + " no lleva valor");
            throw Error("opción desconocida «" + nombre + "»");
        }
        if (c == ':') throw Error("falta el valor de " + nombre);
        const std::string valor = optarg ? optarg : "";
        switch (c) {
        case 'h':
            o.ayuda = true;
            break;
        case kVersion:
            o.version = true;
            break;
        case kOrigen:
            o.origen = valor;
            break;
        case kDestino:
            o.destino = valor;
            break;
        case kInforme:
            o.informe = valor;
            break;
        case kEmpresas:
            o.empresas = valor;
            break;
        case kRegistros:
            o.registros = valor;
            dadas.insert("--registros");
            break;
        case kConfirmarCada:
            o.confirmarCada = Entero("--confirmar-cada", valor, 1);
            dadas.insert("--confirmar-cada");
            break;
        case kEsperarTurno:
            o.esperarTurno = Entero("--esperar-turno", valor, 1);
            dadas.insert("--esperar-turno");
            break;
        case 'j': {
            // "-json" reads as -j with "son": an option mistyped, not a number of jobs.
            const bool pegado = indice < 0 && optarg == argv[optind - 1] + 2;
            if (pegado && !SoloCifras(optarg))
                throw Error("opción desconocida «" + std::string(argv[optind - 1]) +
                            "»: -j va seguido del número de empresas a la vez (-j2, -j 2 o "
                            "--trabajos 2)");
            o.trabajos = Entero(indice < 0 ? "-j" : "--trabajos", valor, 1);
            dadas.insert(indice < 0 ? "-j" : "--trabajos");
            break;
        }
        case kEnsayo:
            o.ensayo = true;
            break;
        case kRevisar:
            o.revisar = true;
            break;
        case kComparar:
            o.comparar = true;
            break;
        case kSoloCambios:
            o.soloCambios = true;
            break;
        case kPaginaDeCodigos:
            o.paginas.push_back(Pagina(valor));
            break;
        default:
            throw Error("opción desconocida «" + actual + "»");
        }
    }
    for (int i = optind; i < argc; ++i) {
        try {
            TraspasoDeNombre(argv[i]);
        } catch (const std::exception& e) {
            throw Error("traspaso desconocido «" + std::string(argv[i]) + "»");
        }
        o.traspasos.push_back(argv[i]);
    }
    if (o.ayuda || o.version) return o;
    if (o.ensayo && o.revisar) throw Error("--ensayo y --revisar no van juntos");
    if (o.comparar && (o.ensayo || o.revisar))
        throw Error(std::string("--comparar y ") + (o.ensayo ? "--ensayo" : "--revisar") +
                    " no van juntos: la comparación ya no escribe nada");
    if (o.soloCambios && (o.revisar || o.comparar))
        throw Error(std::string("--solo-cambios no tiene sentido con ") +
                    (o.revisar ? "--revisar" : "--comparar") + ", que no escribe nada");
    if (o.comparar)
        for (const char* sin : {"--confirmar-cada", "--esperar-turno"})
            if (dadas.count(sin))
                throw Error(std::string(sin) +
                            " no tiene sentido con --comparar, que no escribe nada");
    if (o.empresas.empty()) {
        if (o.origen.empty()) throw Error("falta --origen CARPETA");
        if (o.destino.empty()) throw Error("falta --destino BASE");
        for (const char* sola : {"-j", "--trabajos", "--registros"})
            if (dadas.count(sola))
                throw Error(std::string(sola) + " solo tiene sentido con --empresas");
    } else if (!o.origen.empty() || !o.destino.empty()) {
        throw Error("con --empresas, el origen y el destino de cada empresa van en la lista");
    }
    if (o.revisar)
        for (const char* sin : {"--confirmar-cada", "--esperar-turno"})
            if (dadas.count(sin))
                throw Error(std::string(sin) +
                            " no tiene sentido con --revisar, que no escribe nada");
    if (o.ensayo && dadas.count("--confirmar-cada"))
        throw Error("--confirmar-cada no tiene sentido con --ensayo, que no confirma nada");
    if (o.traspasos.empty())
        throw Error("falta qué traspasar (agentes, proveedores, clientes, articulos)");
    return o;
}
