// Before a transfer reads its first record, the target is asked whether it has every table the
// transfer names: a database that is not the product's, or an older version of it, is then one
// message that names what it lacks, not an engine error at the first record.
#include "Ascii.h"
#include "Destino.h"
#include "TDatos.h"
#include "Traspaso.h"

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

void TDatos::ComprobarTablas(const Traspaso& t) {
    std::set<std::string> tablas(t.consultadas.begin(), t.consultadas.end());
    for (const std::string& texto : {t.insert, t.update, t.Busqueda()})
        Nombradas(texto, tablas);
    for (const Seguimiento& s : t.seguimientos)
        Nombradas(s.texto, tablas);
    for (const Defecto& d : t.defectos)
        Nombradas(d.consulta, tablas);

    // A transaction of its own: the run's may not have started, and must not start early.
    IBTransaction tr(IBDatabase1());
    tr.StartTransaction();
    std::vector<std::string> faltan;
    {
        IBSQL s(IBDatabase1(), tr);
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
    if (faltan.empty()) return;
    std::string lista;
    for (const std::string& f : faltan)
        lista += (lista.empty() ? "" : ", ") + f;
    throw Error("La base de datos de destino " + RutaDestino() +
                (faltan.size() == 1 ? " no tiene la tabla " : " no tiene las tablas ") + lista +
                ", que necesita el traspaso de " + t.nombre +
                ": no parece una base de datos de Orvalia SQL, o es de otra versión");
}
