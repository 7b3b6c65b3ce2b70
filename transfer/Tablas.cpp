// Before a transfer reads its first record, the target is asked whether it has every table the
// transfer names: a database that is not the product's, or an older version of it, is then one
// message that names what it lacks, not an engine error at the first record.
#include "Ascii.h"
#include "Destino.h"
#include "SourceQuery.h"
#include "TDatos.h"
#include "Traspaso.h"

#include <map>
#include <regex>
#include <set>

namespace {

// The tables an SQL text names after FROM, INTO, UPDATE or JOIN, upper-cased.
void Nombradas(const std::string& texto, std::set<std::string>& tablas) {
    static const std::regex kTabla(R"(\b(?:from|into|update|join)\s+([A-Za-z_][A-Za-z0-9_$]*))",
                                   std::regex::icase);
    for (std::sregex_iterator i(texto.begin(), texto.end(), kTabla), fin; i != fin; ++i)
        tablas.insert(ascii::Upper((*i)[1].str()));
}

} // namespace

namespace {

// Those of `tablas` the target lacks.
std::vector<std::string> Faltan(IBDatabase& db, const std::set<std::string>& tablas) {
    // A transaction of its own: the run's may not have started, and must not start early.
    IBTransaction tr(db);
    tr.StartTransaction();
    std::vector<std::string> faltan;
    {
        IBSQL s(db, tr);
        s.SetText("select count(*) from RDB$RELATIONS where RDB$RELATION_NAME = :NOMBRE");
        for (const std::string& tabla : tablas) {
            s.Close();
            s.ParamByName("NOMBRE").SetAsString(tabla);
            s.ExecQuery();
            if (s.Field(0).AsInteger() == 0) faltan.push_back(tabla);
        }
        s.Close();
    }
    tr.Commit();
    return faltan;
}

std::string Lista(const std::vector<std::string>& v) {
    std::string l;
    for (const std::string& x : v)
        l += (l.empty() ? "" : ", ") + x;
    return l;
}

} // namespace

// The tables every record needs (its own, the lookups', the defaults') stop the run before its
// first record when missing. A follow-up's table only stops that follow-up: the run says so once
// and writes the rest, as it would if each record's follow-up failed.
void TDatos::ComprobarTablas(const Traspaso& t) {
    omitidos_.clear();
    std::set<std::string> tablas(t.consultadas.begin(), t.consultadas.end());
    for (const std::string& texto : {t.insert, t.update, t.Busqueda()})
        Nombradas(texto, tablas);
    for (const Defecto& d : t.defectos)
        Nombradas(d.consulta, tablas);
    std::map<const Seguimiento*, std::set<std::string>> deSeguimientos;
    std::set<std::string> todas = tablas;
    for (const Seguimiento& s : t.seguimientos) {
        Nombradas(s.texto, deSeguimientos[&s]);
        todas.insert(deSeguimientos[&s].begin(), deSeguimientos[&s].end());
    }
    std::vector<std::string> faltan = Faltan(IBDatabase1(), todas);
    std::vector<std::string> necesarias;
    for (const std::string& f : faltan)
        if (tablas.count(f)) necesarias.push_back(f);
    if (!necesarias.empty())
        throw Error("La base de datos de destino " + RutaDestino() +
                    (necesarias.size() == 1 ? " no tiene la tabla " : " no tiene las tablas ") +
                    Lista(necesarias) + ", que necesita el traspaso de " + t.nombre +
                    ": no parece una base de datos de Orvalia SQL, o es de otra versión");
    for (const auto& [s, suyas] : deSeguimientos) {
        std::vector<std::string> sinEllas;
        for (const std::string& f : faltan)
            if (suyas.count(f)) sinEllas.push_back(f);
        if (sinEllas.empty()) continue;
        omitidos_.insert(s);
        interfaz_.Aviso("La base de datos de destino no tiene " +
                            std::string(sinEllas.size() == 1 ? "la tabla " : "las tablas ") +
                            Lista(sinEllas) + ": en este traspaso no se actualiza " + s->nombre +
                            " de ningún registro",
                        RegistroEnCurso{t.consulta->Name(), 0, t.consulta->RowCount(), {}, 0, {}});
    }
}
