#include "Progreso.h"

#include "Utf8.h"

#include <cstdio>

namespace {

constexpr double kSegundosParaAsentarse = 3;
constexpr std::size_t kRegistrosParaAsentarse = 20;

std::string MinutosSegundos(long s) {
    char b[32];
    if (s >= 3600)
        std::snprintf(b, sizeof b, "%ld:%02ld:%02ld", s / 3600, s / 60 % 60, s % 60);
    else
        std::snprintf(b, sizeof b, "%02ld:%02ld", s / 60, s % 60);
    return b;
}

std::string Formato(const char* f, double v) {
    char b[64];
    std::snprintf(b, sizeof b, f, v);
    return b;
}

// The first `n` characters, counted as the terminal counts them (one a code point).
std::string Cortar(const std::string& s, std::size_t n) {
    return utf8::Length(s) <= n ? s : utf8::FirstChars(s, n);
}

std::string Relleno(const std::string& s, std::size_t ancho, bool derecha) {
    std::size_t n = utf8::Length(s);
    std::string blancos(n < ancho ? ancho - n : 0, ' ');
    return derecha ? blancos + s : s + blancos;
}

} // namespace

double Ritmo(const Avance& a) {
    return a.segundos > 0 ? static_cast<double>(a.hechos) / a.segundos : 0;
}

std::optional<long> Quedan(const Avance& a) {
    if (a.segundos < kSegundosParaAsentarse || a.hechos < kRegistrosParaAsentarse) return {};
    double r = Ritmo(a);
    if (r <= 0) return {};
    return static_cast<long>(static_cast<double>(a.total > a.hechos ? a.total - a.hechos : 0) / r +
                             0.5);
}

std::string Barra(const Avance& a, int columnas) {
    const std::size_t cabe = columnas > 1 ? static_cast<std::size_t>(columnas - 1) : 0;
    const std::string cuenta = " " + std::to_string(a.hechos) + "/" + std::to_string(a.total);
    const std::string ritmo = "  " + Formato("%.0f", Ritmo(a)) + " reg/s";
    std::optional<long> q = Quedan(a);
    const std::string quedan = "  quedan " + (q ? MinutosSegundos(*q) : std::string("--:--"));
    auto barra = [&](std::size_t ancho) {
        std::size_t lleno = a.total ? ancho * std::min(a.hechos, a.total) / a.total : ancho;
        return " [" + std::string(lleno, '#') + std::string(ancho - lleno, ' ') + "]";
    };
    std::string nombre = a.fichero;
    // What is left for the bar's inside once everything else is written.
    auto resto = [&](const std::string& cola) -> long {
        return static_cast<long>(cabe) - static_cast<long>(utf8::Length(nombre)) - 3 -
               static_cast<long>(utf8::Length(cuenta + cola));
    };
    for (const std::string& cola : {ritmo + quedan, quedan}) {
        long ancho = std::min<long>(resto(cola), 30);
        if (ancho >= 10) return nombre + barra(static_cast<std::size_t>(ancho)) + cuenta + cola;
    }
    // A very narrow terminal: the name cut, a short bar, the count.
    long sobra = static_cast<long>(cabe) - 3 - 10 - static_cast<long>(utf8::Length(cuenta));
    nombre = sobra > 0 ? Cortar(nombre, static_cast<std::size_t>(sobra)) : std::string();
    return Cortar(nombre + barra(10) + cuenta, cabe);
}

std::string LineaDeRegistro(const Avance& a, const std::string& hora) {
    std::optional<long> q = Quedan(a);
    return hora + " " + a.fichero + ": " + std::to_string(a.hechos) + " de " +
           std::to_string(a.total) + " registros, " + Formato("%.1f", Ritmo(a)) + " reg/s" +
           (q ? ", quedan " + MinutosSegundos(*q) : std::string());
}

std::string TablaFinal(const std::vector<FilaFinal>& filas, Tabla que) {
    using Columnas = std::vector<std::string>;
    const Columnas cabeza =
        que == Tabla::Revision ? Columnas{"Traspaso", "Registros", "Con avisos", "Segundos"}
        : que == Tabla::Comparacion
            ? Columnas{"Traspaso",        "Iguales",    "Distintos", "Nuevos",
                       "Solo en destino", "Rechazados", "Segundos"}
        : que == Tabla::SoloCambios
            ? Columnas{"Traspaso",    "Añadidos",   "Actualizados",
                       "Sin cambios", "Rechazados", "Segundos"}
            : Columnas{"Traspaso", "Añadidos", "Actualizados", "Rechazados", "Segundos"};
    std::vector<Columnas> tabla = {cabeza};
    FilaFinal total{"Total", 0, 0, 0, 0, 0, 0, {}};
    auto fila = [&](const FilaFinal& f) {
        auto n = [](auto v) { return std::to_string(v); };
        Columnas r = {f.traspaso};
        switch (que) {
        case Tabla::Revision:
            r.insert(r.end(), {n(f.registros), n(f.rechazados)});
            break;
        case Tabla::Comparacion:
            r.insert(r.end(),
                     {n(f.comparacion.iguales), n(f.comparacion.distintos), n(f.comparacion.nuevos),
                      n(f.comparacion.soloEnDestino), n(f.rechazados)});
            break;
        case Tabla::SoloCambios:
            r.insert(r.end(), {n(f.anadidos), n(f.actualizados), n(f.sinCambios), n(f.rechazados)});
            break;
        case Tabla::Traspaso:
            r.insert(r.end(), {n(f.anadidos), n(f.actualizados), n(f.rechazados)});
            break;
        }
        r.push_back(Formato("%.1f", f.segundos));
        tabla.push_back(r);
    };
    for (const FilaFinal& f : filas) {
        fila(f);
        total.anadidos += f.anadidos;
        total.actualizados += f.actualizados;
        total.rechazados += f.rechazados;
        total.registros += f.registros;
        total.segundos += f.segundos;
        total.sinCambios += f.sinCambios;
        total.comparacion.iguales += f.comparacion.iguales;
        total.comparacion.distintos += f.comparacion.distintos;
        total.comparacion.nuevos += f.comparacion.nuevos;
        total.comparacion.soloEnDestino += f.comparacion.soloEnDestino;
    }
    fila(total);
    std::vector<std::size_t> ancho(cabeza.size(), 0);
    for (const auto& r : tabla)
        for (std::size_t i = 0; i < r.size(); ++i)
            ancho[i] = std::max(ancho[i], utf8::Length(r[i]));
    std::string t;
    for (std::size_t k = 0; k < tabla.size(); ++k) {
        std::string linea;
        for (std::size_t i = 0; i < tabla[k].size(); ++i)
            linea += (i ? "  " : "") + Relleno(tabla[k][i], ancho[i], i > 0);
        t += linea + "\n";
    }
    return t;
}
