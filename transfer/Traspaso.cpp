#include "Traspaso.h"

#include "IBSQL.h"
#include "SourceQuery.h"
#include "TDatos.h"

std::string Campos::Texto(std::string_view campo) const {
    return q_.FieldByName(campo).AsString();
}
double Campos::Numero(std::string_view campo) const {
    return q_.FieldByName(campo).AsFloat();
}
int32_t Campos::Entero(std::string_view campo) const {
    return q_.FieldByName(campo).AsInteger();
}
bool Campos::Logico(std::string_view campo) const {
    return q_.FieldByName(campo).AsBoolean();
}

template <class F> void Parametros::Con(F&& enlazar) {
    if (!recoger_) return enlazar();
    try {
        enlazar();
    } catch (const ValorNoAdmitido& e) {
        recoger_(e.what());
    }
}

void Parametros::Texto(std::string_view p, std::string_view v) {
    Con([&] { s_.ParamByName(p).SetAsString(v); });
}
void Parametros::Entero(std::string_view p, int32_t v) {
    Con([&] { s_.ParamByName(p).SetAsInteger(v); });
}
void Parametros::Simple(std::string_view p, double v) {
    Con([&] { s_.ParamByName(p).SetAsSingle(v); });
}
void Parametros::Fecha(std::string_view p, const Timestamp& t) {
    Con([&] { s_.ParamByName(p).SetAsTimestamp(t); });
}
void Parametros::Nulo(std::string_view p) {
    Con([&] { s_.ParamByName(p).SetNull(); });
}
void Parametros::EnteroONulo(std::string_view p, std::optional<int32_t> v) {
    if (v)
        Entero(p, *v);
    else
        Nulo(p);
}
void Parametros::TextoONulo(std::string_view p, const std::optional<std::string>& v) {
    if (v)
        Texto(p, *v);
    else
        Nulo(p);
}

IBSQL& Auxiliar(TDatos& d, const char* texto) {
    IBSQL& s = d.IBSQLSelect();
    s.Close();
    s.SetText(texto);
    return s;
}
