#include "Informe.h"

#include "Error.h"
#include "RutaInforme.h"

#include <nlohmann/json.hpp>

#include <ctime>
#include <fstream>
#include <regex>

using json = nlohmann::ordered_json;

namespace {

json Nulo(const std::string& s) {
    return s.empty() ? json(nullptr) : json(s);
}

std::string Texto(const json& j, const char* clave) {
    return j.contains(clave) && j[clave].is_string() ? j[clave].get<std::string>() : std::string();
}

} // namespace

std::string AhoraIso() {
    std::time_t t = std::time(nullptr);
    std::tm tm{};
    localtime_r(&t, &tm);
    char b[32];
    std::strftime(b, sizeof b, "%Y-%m-%dT%H:%M:%S", &tm);
    return b;
}

AvisoInforme ClasificarAviso(const std::string& mensaje, const RegistroEnCurso& r) {
    static const std::regex kParametro("Parámetro ([A-Za-z0-9_]+)");
    static const std::regex kCampo("campo ([A-Za-z0-9_]+)");
    AvisoInforme a{r, {}, {}, {}, mensaje};
    std::smatch m;
    if (std::regex_search(mensaje, m, kParametro)) a.parametro = m[1];
    if (std::regex_search(mensaje, m, kCampo)) a.campo = m[1];
    return a;
}

void Informe::Escribir(const std::string& ruta) const {
    json j = {{"programa", "traspaso-maestros-lote"},
              {"version", version},
              {"origen", origen},
              {"destino", destino},
              {"modo", modo},
              {"inicio", inicio},
              {"fin", fin},
              {"completo", completo},
              {"estado", estado},
              {"error", Nulo(error)},
              {"traspasos", json::array()}};
    for (const TraspasoInforme& t : traspasos) {
        json jt = {{"nombre", t.nombre},
                   {"completo", t.completo},
                   {"anadidos", t.anadidos},
                   {"actualizados", t.actualizados},
                   {"rechazados", t.rechazados},
                   {"registros", t.registros},
                   {"segundos", t.segundos},
                   {"registrosPorSegundo", t.segundos > 0 ? t.registros / t.segundos : 0.0},
                   {"sinCambios", t.sinCambios},
                   {"comparacion", nullptr},
                   {"diferencias", json::array()},
                   {"tablas", json::array()},
                   {"avisos", json::array()}};
        if (const auto& c = t.comparacion) {
            jt["comparacion"] = {{"iguales", c->iguales},
                                 {"distintos", c->distintos},
                                 {"nuevos", c->nuevos},
                                 {"soloEnDestino", c->soloEnDestino},
                                 {"codigosNuevos", c->codigosNuevos},
                                 {"codigosSoloEnDestino", c->codigosSoloEnDestino}};
            for (const DiferenciaInforme& d : c->diferencias)
                jt["diferencias"].push_back({{"tabla", d.tabla},
                                             {"codigo", d.codigo},
                                             {"columna", d.columna},
                                             {"destino", d.destino},
                                             {"origen", d.origen}});
        }
        for (const InfoTabla& i : t.tablas)
            jt["tablas"].push_back({{"fichero", i.fichero},
                                    {"consulta", i.consulta},
                                    {"paginaDeCodigos", i.pagina},
                                    {"motivoDeLaPagina", i.razon},
                                    {"registrosEnCabecera", i.enCabecera},
                                    {"registrosLeidos", i.leidos},
                                    {"cabeceraCuadra", i.discrepancia.empty()},
                                    {"discrepancia", Nulo(i.discrepancia)},
                                    {"sospechaDeLaPagina", Nulo(i.sospecha)}});
        for (const AvisoInforme& a : t.avisos)
            jt["avisos"].push_back(
                {{"fichero", Nulo(a.fichero)},
                 {"consulta", a.registro.consulta},
                 {"registro", a.registro.posicion},
                 {"de", a.registro.total},
                 {"numeroEnFichero", a.registro.numero},
                 {"codigo", Nulo(a.registro.codigoEscrito.empty() ? a.registro.codigo
                                                                  : a.registro.codigoEscrito)},
                 {"codigoEnDestino", Nulo(a.registro.codigo)},
                 {"campo", Nulo(a.campo)},
                 {"parametro", Nulo(a.parametro)},
                 {"mensaje", a.mensaje}});
        j["traspasos"].push_back(jt);
    }
    // A path or a text that is not UTF-8 (a folder named on another system) is written with
    // replacement characters: the report is still written, whole.
    EscribirInforme(ruta, j.dump(2, ' ', false, json::error_handler_t::replace) + "\n");
}

Informe Informe::Leer(const std::string& ruta) {
    std::ifstream f(ruta);
    if (!f) throw Error("No se ha podido leer el informe " + ruta);
    json j;
    try {
        j = json::parse(f);
    } catch (const json::exception& e) {
        throw Error("El informe " + ruta + " no es JSON válido: " + e.what());
    }
    Informe i;
    i.version = Texto(j, "version");
    i.origen = Texto(j, "origen");
    i.destino = Texto(j, "destino");
    i.modo = Texto(j, "modo");
    i.inicio = Texto(j, "inicio");
    i.fin = Texto(j, "fin");
    i.completo = j.value("completo", false);
    i.estado = j.value("estado", 2);
    i.error = Texto(j, "error");
    for (const json& jt : j.value("traspasos", json::array())) {
        TraspasoInforme t;
        t.nombre = Texto(jt, "nombre");
        t.completo = jt.value("completo", false);
        t.anadidos = jt.value("anadidos", 0L);
        t.actualizados = jt.value("actualizados", 0L);
        t.rechazados = jt.value("rechazados", 0L);
        t.sinCambios = jt.value("sinCambios", 0L);
        if (jt.contains("comparacion") && jt["comparacion"].is_object()) {
            const json& c = jt["comparacion"];
            t.comparacion = ComparacionInforme{c.value("iguales", 0L),
                                               c.value("distintos", 0L),
                                               c.value("nuevos", 0L),
                                               c.value("soloEnDestino", 0L),
                                               {},
                                               {},
                                               {}};
        }
        t.registros = jt.value("registros", std::size_t{0});
        t.segundos = jt.value("segundos", 0.0);
        i.traspasos.push_back(std::move(t));
    }
    return i;
}
