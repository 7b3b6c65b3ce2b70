#include "Comparador.h"

#include "Ascii.h"
#include "Error.h"
#include "IBSQL.h"
#include "Numeros.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

bool EsDeNombre(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '$';
}

std::string_view SinBlancos(std::string_view s) {
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front())))
        s.remove_prefix(1);
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back())))
        s.remove_suffix(1);
    return s;
}

// Where the word `palabra` (upper case) next stands on its own from `desde`, outside brackets;
// npos when it does not.
std::size_t Palabra(std::string_view texto, std::string_view palabra, std::size_t desde) {
    int nivel = 0;
    for (std::size_t i = desde; i < texto.size(); ++i) {
        char c = texto[i];
        if (c == '(') ++nivel;
        if (c == ')') --nivel;
        if (nivel != 0 || i + palabra.size() > texto.size()) continue;
        if ((i > 0 && EsDeNombre(texto[i - 1])) ||
            (i + palabra.size() < texto.size() && EsDeNombre(texto[i + palabra.size()])))
            continue;
        if (ascii::Upper(texto.substr(i, palabra.size())) == palabra) return i;
    }
    return std::string_view::npos;
}

[[noreturn]] void NoEsUnaActualizacion(std::string_view texto, const std::string& por) {
    throw Error("La sentencia «" + std::string(texto) + "» no es una actualización que se pueda " +
                "comparar con el destino: " + por);
}

// The shortest decimal that reads back as the same single-precision value, when the value is
// one (every decimal the transfers send is); otherwise the shortest for the double itself.
std::string Numero(double v) {
    if (!std::isfinite(v)) return std::to_string(v);
    bool simple = static_cast<double>(static_cast<float>(v)) == v;
    // An exponent only where a plain figure would be long: 20, not 2e+01.
    bool corriente = v == 0 || (std::fabs(v) >= 1e-4 && std::fabs(v) < 1e15);
    std::string b;
    for (int p = 1; p <= 17; ++p) {
        b = numeros::Escribir(v, p);
        double leido = numeros::Leer(b).value_or(0);
        bool igual = simple ? static_cast<float>(leido) == static_cast<float>(v) : leido == v;
        if (igual && !(corriente && b.find('e') != std::string::npos)) break;
    }
    return b;
}

} // namespace

Actualizacion LeerActualizacion(std::string_view texto) {
    std::size_t update = Palabra(texto, "UPDATE", 0);
    if (update == std::string_view::npos || !SinBlancos(texto.substr(0, update)).empty())
        NoEsUnaActualizacion(texto, "no empieza por UPDATE");
    std::size_t set = Palabra(texto, "SET", update + 6);
    std::size_t where = set == std::string_view::npos ? set : Palabra(texto, "WHERE", set + 3);
    if (set == std::string_view::npos || where == std::string_view::npos)
        NoEsUnaActualizacion(texto, "le falta SET o WHERE");
    Actualizacion a;
    a.tabla = std::string(SinBlancos(texto.substr(update + 6, set - update - 6)));
    if (a.tabla.empty()) NoEsUnaActualizacion(texto, "no nombra la tabla");
    a.condicion = std::string(SinBlancos(texto.substr(where + 5)));
    std::string_view lista = texto.substr(set + 3, where - set - 3);
    while (!lista.empty()) {
        std::size_t coma = lista.find(',');
        std::string_view una = SinBlancos(lista.substr(0, coma));
        lista = coma == std::string_view::npos ? std::string_view{} : lista.substr(coma + 1);
        std::size_t igual = una.find('=');
        if (igual == std::string_view::npos) NoEsUnaActualizacion(texto, "falta «=»");
        std::string_view columna = SinBlancos(una.substr(0, igual));
        std::string_view valor = SinBlancos(una.substr(igual + 1));
        if (columna.empty() || valor.size() < 2 || valor[0] != ':')
            NoEsUnaActualizacion(texto, "«" + std::string(una) + "» no es COLUMNA = :PARAMETRO");
        a.asignaciones.push_back({std::string(columna), std::string(valor.substr(1))});
    }
    if (a.asignaciones.empty()) NoEsUnaActualizacion(texto, "no asigna ninguna columna");
    return a;
}

std::string ComoTexto(const Variant& v) {
    return std::visit(
        [](const auto& x) -> std::string {
            using T = std::decay_t<decltype(x)>;
            if constexpr (std::is_same_v<T, std::monostate>)
                return "NULL";
            else if constexpr (std::is_same_v<T, std::string>)
                return std::string(x.substr(0, x.find_last_not_of(' ') + 1));
            else if constexpr (std::is_same_v<T, double>)
                return Numero(x);
            else if constexpr (std::is_same_v<T, Timestamp>)
                return x.ToString();
            else
                return std::to_string(x);
        },
        v);
}

Comparador::Lectura& Comparador::LecturaDe(const std::string& update,
                                           const std::vector<Linea>& lineas) {
    auto hecha = lecturas_.find(update);
    if (hecha != lecturas_.end()) return hecha->second;
    Actualizacion a = LeerActualizacion(update);
    Lectura l{a.tabla, "select ", {}, {}, -1};
    for (const Asignacion& c : a.asignaciones) {
        // A value from the clock is new at every run: comparing it would always differ.
        bool reloj = false;
        for (const Linea& li : lineas)
            if (Envia(li, Envio::Cambio) && ascii::Upper(li.parametro) == ascii::Upper(c.parametro))
                reloj = li.valor.DelReloj();
        if (reloj) continue;
        if (!l.columnas.empty()) l.texto += ", ";
        l.texto += c.columna + ", cast(:" + c.parametro + " as type of column " + a.tabla + "." +
                   c.columna + ")";
        l.columnas.push_back(c);
    }
    l.texto += " from " + a.tabla + " where " + a.condicion;
    return lecturas_.emplace(update, std::move(l)).first->second;
}

std::vector<ColumnaDistinta> Comparador::Leer(Lectura& l, const std::vector<Linea>& lineas,
                                              const Fuente& f, const std::string& idParametro,
                                              int32_t id, bool obligatoria) {
    s_.Close();
    s_.SetText(l.texto);
    if (l.lugares.empty()) {
        for (const Linea& li : lineas)
            l.lugares.push_back(Envia(li, Envio::Cambio) && !li.valor.DelReloj()
                                    ? s_.ParamIndex(li.parametro)
                                    : -1);
        l.lugarId = s_.ParamIndex(idParametro);
    }
    std::map<std::string, std::string> pendientes; // by parameter, upper-cased
    if (pendiente) pendiente();                    // what an earlier lookup left is not this row's
    for (std::size_t i = 0; i < lineas.size(); ++i) {
        const Linea& li = lineas[i];
        if (!Envia(li, Envio::Cambio) || li.valor.DelReloj()) continue;
        Valor v = li.valor(f);
        if (pendiente)
            if (std::optional<std::string> p = pendiente())
                pendientes[ascii::Upper(li.parametro)] = *p;
        Enlazar(s_.Param(l.lugares[i], li.parametro), v);
    }
    s_.Param(l.lugarId, idParametro).SetAsInteger(id);
    s_.ExecQuery();
    if (s_.Eof() && obligatoria)
        throw FilaDesaparecida("La fila de " + l.tabla + " con identificador " +
                               std::to_string(id) + " ya no está en el destino");
    std::vector<ColumnaDistinta> distintas;
    for (; !s_.Eof(); s_.Next())
        for (std::size_t i = 0; i < l.columnas.size(); ++i) {
            Variant destino = s_.Field(static_cast<int>(2 * i)).AsVariant();
            auto p = pendientes.find(ascii::Upper(l.columnas[i].parametro));
            if (p != pendientes.end()) {
                distintas.push_back(
                    {l.tabla, l.columnas[i].columna, ComoTexto(destino), p->second});
                continue;
            }
            Variant origen = s_.Field(static_cast<int>(2 * i + 1)).AsVariant();
            if (destino == origen) continue;
            std::string d = ComoTexto(destino), o = ComoTexto(origen);
            if (d == o && std::holds_alternative<std::string>(destino) &&
                std::holds_alternative<std::string>(origen)) {
                // They differ in trailing blanks only: show them.
                d = std::get<std::string>(destino);
                o = std::get<std::string>(origen);
            }
            distintas.push_back({l.tabla, l.columnas[i].columna, d, o});
        }
    s_.Close();
    return distintas;
}

std::vector<ColumnaDistinta> Comparador::Principal(const Traspaso& t, const Fuente& f, int32_t id) {
    return Leer(LecturaDe(t.update, t.lineas), t.lineas, f, t.Clave(), id, true);
}

std::vector<ColumnaDistinta> Comparador::Seguimiento(const ::Seguimiento& s, const Fuente& f,
                                                     int32_t id) {
    return Leer(LecturaDe(s.texto, s.lineas), s.lineas, f, s.idParametro, id, false);
}
