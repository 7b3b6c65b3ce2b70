#include "Traspaso.h"

#include "Ascii.h"
#include "CodePage.h"
#include "IBSQL.h"
#include "Numeros.h"
#include "Reglas.h"
#include "SourceQuery.h"
#include "Utf8.h"
#include "Win1252.h"

#include <algorithm>
#include <cstdio>

int CamposDeConsulta::Lugar(std::string_view campo) const {
    auto donde = reinterpret_cast<std::uintptr_t>(campo.data());
    const std::size_t n = huecos_.size();
    std::size_t i = (donde * 0x9E3779B97F4A7C15u) >> 56; // the address's bits mixed, 0..255
    for (std::size_t k = 0; k < n; ++k, i = (i + 1) % n) {
        Hueco& h = huecos_[i];
        if (h.texto == nullptr) {
            int lugar = q_.FieldNo(campo); // an error when the query has no such field
            if (++ocupados_ > n * 3 / 4) { // names that keep coming in new strings
                huecos_.fill(Hueco{});
                ocupados_ = 0;
            } else
                h = Hueco{campo.data(), campo.size(), lugar};
            return lugar;
        }
        if (h.texto == campo.data() && h.largo == campo.size()) {
            // The same place may now hold another name.
            if (!ascii::EqualNoCase(q_.Fields()[h.lugar].name, campo)) h.lugar = q_.FieldNo(campo);
            return h.lugar;
        }
    }
    return q_.FieldNo(campo);
}

std::string CamposDeConsulta::Texto(std::string_view campo) const {
    return q_.Field(Lugar(campo)).AsString();
}
double CamposDeConsulta::Numero(std::string_view campo) const {
    return q_.Field(Lugar(campo)).AsFloat();
}
int32_t CamposDeConsulta::Entero(std::string_view campo) const {
    return q_.Field(Lugar(campo)).AsInteger();
}
bool CamposDeConsulta::Logico(std::string_view campo) const {
    return q_.Field(Lugar(campo)).AsBoolean();
}
int CamposDeConsulta::Posicion(std::string_view campo) const {
    try {
        return q_.FieldNo(campo);
    } catch (const std::exception&) {
        return -1; // the name's own reading says what is wrong, when the line is computed
    }
}
std::optional<Campos::Bytes> CamposDeConsulta::EnBytes(int posicion) const {
    std::optional<RawText> t = q_.Field(posicion).AsRawText();
    if (!t) return std::nullopt;
    return Bytes{t->bytes, t->page};
}

Calculo::Calculo(TextoDeCampo t)
    : f_([t](const Fuente& f) -> Valor {
          std::string v = f.c.Texto(t.campo);
          if (t.sinIniciales) v = SinIniciales(v);
          if (t.n == std::string::npos) return v;
          return Primeros(v, t.n);
      }),
      deCampo_(std::move(t)) {}

Calculo Campo(std::string campo) {
    return TextoDeCampo{std::move(campo)};
}
Calculo Campo(std::string campo, std::size_t n) {
    return TextoDeCampo{std::move(campo), n};
}
Calculo CampoSinIniciales(std::string campo, std::size_t n) {
    return TextoDeCampo{std::move(campo), n, true};
}
Calculo Decimal(std::string campo) {
    return [campo](const Fuente& f) -> Valor { return Simple{f.c.Numero(campo)}; };
}
Calculo SiNo(std::string campo) {
    return [campo](const Fuente& f) -> Valor { return f.c.Logico(campo) ? 1 : 0; };
}
Calculo Fijo(int32_t v) {
    return [v](const Fuente&) -> Valor { return v; };
}
Calculo FijoDecimal(double v) {
    return [v](const Fuente&) -> Valor { return Simple{v}; };
}
Calculo FijoTexto(std::string v) {
    return [v](const Fuente&) -> Valor { return v; };
}
Calculo Nulo() {
    return [](const Fuente&) -> Valor { return std::monostate{}; };
}
Calculo Ahora() {
    return {[](const Fuente&) -> Valor { return Timestamp::Now(); }, true};
}

Valor EnteroONulo(const std::optional<int32_t>& v) {
    if (v) return *v;
    return std::monostate{};
}
Valor TextoONulo(const std::optional<std::string>& v) {
    if (v) return *v;
    return std::monostate{};
}

bool Envia(const Linea& l, Envio envio) {
    return envio == Envio::Ambas || l.envio == Envio::Ambas || l.envio == envio;
}

std::vector<Valor> Calcular(const std::vector<Linea>& lineas, Envio envio, const Fuente& f) {
    std::vector<Valor> v;
    v.reserve(lineas.size());
    for (const Linea& l : lineas)
        if (Envia(l, envio)) v.push_back(l.valor(f));
    return v;
}

namespace {

void Poner(IBParam& p, const Valor& v) {
    std::visit(
        [&p](const auto& x) {
            using T = std::decay_t<decltype(x)>;
            if constexpr (std::is_same_v<T, std::monostate>)
                p.SetNull();
            else if constexpr (std::is_same_v<T, std::string>)
                p.SetAsString(x);
            else if constexpr (std::is_same_v<T, int32_t>)
                p.SetAsInteger(x);
            else if constexpr (std::is_same_v<T, Simple>)
                p.SetAsSingle(x.valor);
            else
                p.SetAsTimestamp(x);
        },
        v);
}

} // namespace

void Enlazar(IBSQL& s, std::string_view parametro, const Valor& v) {
    Poner(s.ParamByName(parametro), v);
}

void Enlazar(IBParam& p, const Valor& v) {
    Poner(p, v);
}

void Enlazar(IBSQL& s, const std::vector<Linea>& lineas, Envio envio,
             const std::vector<Valor>& valores, const Recogedor& recoger) {
    std::size_t k = 0;
    for (const Linea& l : lineas) {
        if (!Envia(l, envio)) continue;
        const Valor& v = valores.at(k++);
        if (!recoger) {
            Enlazar(s, l.parametro, v);
            continue;
        }
        try {
            Enlazar(s, l.parametro, v);
        } catch (const ValorNoAdmitido& e) {
            recoger(e.what());
        }
    }
}

Enlazador::Sitios& Enlazador::De(IBSQL& s, const std::vector<Linea>& lineas, Envio envio) {
    for (Sitios& x : sitios_)
        if (x.lineas == &lineas && x.envio == envio && x.texto == s.Text()) return x;
    Sitios nuevo{&lineas, envio, s.Text(), {}, false, nullptr, {}};
    for (const Linea& l : lineas)
        if (Envia(l, envio)) nuevo.lugares.push_back(s.ParamIndex(l.parametro));
    sitios_.push_back(std::move(nuevo));
    return sitios_.back();
}

void Enlazador::operator()(IBSQL& s, const std::vector<Linea>& lineas, Envio envio,
                           const std::vector<Valor>& valores, const Recogedor& recoger) {
    const Sitios& x = De(s, lineas, envio);
    std::size_t k = 0;
    for (const Linea& l : lineas) {
        if (!Envia(l, envio)) continue;
        const Valor& v = valores.at(k);
        int lugar = x.lugares[k++];
        IBParam& p = s.Param(lugar, l.parametro);
        if (!recoger) {
            Poner(p, v);
            continue;
        }
        try {
            Poner(p, v);
        } catch (const ValorNoAdmitido& e) {
            recoger(e.what());
        }
    }
}

void Enlazador::operator()(IBSQL& s, const std::vector<Linea>& lineas, Envio envio,
                           const Fuente& f) {
    Sitios& x = De(s, lineas, envio);
    if (!x.resueltos || x.origen != f.c.Origen()) {
        x.resueltos = true;
        x.origen = f.c.Origen();
        x.campos.clear();
        for (const Linea& l : lineas)
            if (Envia(l, envio))
                x.campos.push_back(l.valor.DeCampo() ? f.c.Posicion(l.valor.DeCampo()->campo) : -1);
    }
    std::size_t k = 0;
    for (const Linea& l : lineas) {
        if (!Envia(l, envio)) continue;
        const int campo = x.campos[k];
        IBParam& p = s.Param(x.lugares[k++], l.parametro);
        if (const auto& t = l.valor.DeCampo(); t && campo >= 0)
            if (EnlazarBytes(p, *t, f.c.EnBytes(campo))) continue;
        Poner(p, l.valor(f));
    }
}

namespace {

// Each high byte of a page as its decoded text is encoded for the target; 0 where either step
// fails, so that such a value takes the decoded way and its failure keeps its own message.
std::array<uint8_t, 128> HaciaCp1252(const CodePage& pagina) {
    std::array<uint8_t, 128> a{};
    for (int i = 0; i < 128; ++i) {
        char32_t cp = pagina.CodePointOf(static_cast<uint8_t>(0x80 + i));
        if (cp == 0) continue;
        std::string texto;
        utf8::Append(texto, cp);
        try {
            std::string byte = Utf8ToCp1252(texto, "");
            if (byte.size() == 1) a[i] = static_cast<uint8_t>(byte[0]);
        } catch (const std::exception&) {
        }
    }
    return a;
}

} // namespace

bool Enlazador::EnlazarBytes(IBParam& p, const TextoDeCampo& t,
                             const std::optional<Campos::Bytes>& b) {
    if (!b) return false;
    // The pages are of one byte per character: the first n characters are the first n bytes.
    std::string_view v = (t.sinIniciales ? SinIniciales(b->bytes) : b->bytes).substr(0, t.n);
    if (ascii::SoloAscii(v)) { // the same bytes in every page and in Windows-1252
        p.SetAsCp1252(v);
        return true;
    }
    const int numero = b->pagina->Number();
    auto tabla = std::find_if(a1252_.begin(), a1252_.end(),
                              [numero](const auto& x) { return x.first == numero; });
    if (tabla == a1252_.end()) tabla = a1252_.emplace(tabla, numero, HaciaCp1252(*b->pagina));
    bytes_.resize(v.size());
    for (std::size_t i = 0; i < v.size(); ++i) {
        auto x = static_cast<uint8_t>(v[i]);
        if (x >= 0x80 && (x = tabla->second[x - 0x80]) == 0) return false;
        bytes_[i] = static_cast<char>(x);
    }
    p.SetAsCp1252(bytes_);
    return true;
}

std::string ComoTexto(const Valor& v) {
    return std::visit(
        [](const auto& x) -> std::string {
            using T = std::decay_t<decltype(x)>;
            if constexpr (std::is_same_v<T, std::monostate>)
                return "NULL";
            else if constexpr (std::is_same_v<T, std::string>)
                return x;
            else if constexpr (std::is_same_v<T, int32_t>)
                return std::to_string(x);
            else if constexpr (std::is_same_v<T, Simple>) {
                return numeros::Escribir(static_cast<double>(static_cast<float>(x.valor)), 9);
            } else
                return x.ToString();
        },
        v);
}
