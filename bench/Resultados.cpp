#include "Resultados.h"

#include <algorithm>
#include <cstdio>
#include <utility>
#include <vector>

namespace {

// Left-aligned in `ancho` characters; the spread's dash is one character and three bytes.
std::string Col(const std::string& s, std::size_t ancho) {
    std::size_t caracteres = 0;
    for (unsigned char c : s)
        caracteres += (c & 0xC0) != 0x80;
    return s + std::string(ancho > caracteres ? ancho - caracteres : 1, ' ');
}

std::vector<double> Valores(const std::vector<Muestra>* m, double Muestra::*campo) {
    std::vector<double> v;
    if (m)
        for (const Muestra& x : *m)
            v.push_back(x.*campo);
    return v;
}

const char* Pasada(int p) {
    return p == 1 ? "first" : "second";
}

std::string Celda(const Resumen& r, int decimales) {
    return r.muestras ? Texto(r, decimales) : "-";
}

std::string PorSegundo(const Resumen& r, long registros) {
    if (!r.muestras || r.mediana <= 0) return "-";
    char b[32];
    std::snprintf(b, sizeof b, "%.0f", registros / r.mediana);
    return b;
}

std::string Meta(const Resumen& r, double meta) {
    if (!r.muestras) return "";
    return r.mediana <= meta ? "met" : "NOT met";
}

const char* Modo(bool forzadas) {
    return forzadas ? "Forced Writes ON" : "Forced Writes off";
}

} // namespace

Resumen Resultados::De(const Clave& c, double Muestra::*campo) const {
    return Resumir(Valores(De(c), campo));
}

Resumen Resultados::Cociente(const Clave& a, const Clave& b, double Muestra::*campo) const {
    std::vector<double> v;
    const auto *ma = De(a), *mb = De(b);
    if (ma && mb)
        for (const Muestra& x : *ma)
            for (const Muestra& y : *mb)
                if (x.repeticion == y.repeticion && y.*campo > 0) v.push_back(x.*campo / y.*campo);
    return Resumir(v);
}

Resumen Resultados::CocienteConValores(const Clave& a, const Clave& b) const {
    std::vector<double> v;
    const auto *ma = De(a), *mb = De(b);
    if (ma && mb)
        for (const Muestra& x : *ma)
            for (const Muestra& y : *mb)
                if (x.repeticion == y.repeticion && y.segundos + y.valores > 0)
                    v.push_back(x.segundos / (y.segundos + y.valores));
    return Resumir(v);
}

Resumen Resultados::Crecimiento(const Clave& a, const Clave& b) const {
    Resumen r = Cociente(b, a);
    double escala = static_cast<double>(a.n) / b.n;
    r.mediana *= escala;
    r.minimo *= escala;
    r.maximo *= escala;
    return r;
}

namespace {

using Celdas = std::vector<std::pair<std::string, std::size_t>>; // text and width

// One table line: each cell left-aligned in its width.
void Linea(const Celdas& celdas) {
    std::string l;
    for (const auto& [texto, ancho] : celdas)
        l += Col(texto, ancho);
    while (!l.empty() && l.back() == ' ')
        l.pop_back();
    std::printf("%s\n", l.c_str());
}

std::string Paginas(const Resultados& r, const Clave& c) {
    if (!r.Segundos(c).muestras) return "-";
    char b[64];
    std::snprintf(b, sizeof b, "%.2f / %.2f / %.1f", r.De(c, &Muestra::lecturas).mediana,
                  r.De(c, &Muestra::escrituras).mediana, r.De(c, &Muestra::accesos).mediana);
    return b;
}

} // namespace

void ImprimirTablas(const Resultados& r, const Ajustes& a, const Entorno& e) {
    for (bool forzadas : a.modos) {
        const std::vector<int>& tamanos = forzadas ? a.tamanosForzadas : a.tamanos;
        auto clave = [&](const std::string& t, int n, Variante v, int p) {
            return Clave{forzadas, t, n, v, p};
        };
        std::printf("\n== %s: seconds per measured run, median [min–max] of %d interleaved "
                    "rounds; rec/s from the median ==\n",
                    Modo(forzadas), a.repeticiones);
        if (auto l = e.latenciaMs.find(forzadas); l != e.latenciaMs.end())
            std::printf("disk meanwhile: a synchronous 4 KiB write took %s ms (sampled %s)\n",
                        Texto(Resumir(l->second), 2).c_str(),
                        forzadas ? "before every fresh target" : "once per round");
        Celdas cabecera = {{"transfer", 12}, {"N", 7},      {"run", 7},   {"TDatos s", 24},
                           {"rec/s", 7},     {"raw s", 24}, {"rec/s", 7}, {"TDatos/raw", 20}};
        if (a.unaVez) {
            cabecera.push_back({"raw, lookup once s", 24});
            cabecera.push_back({"TDatos/raw once", 20});
            cabecera.push_back({"values s", 24});
            cabecera.push_back({"TDatos/(raw once+values)", 20});
        }
        Linea(cabecera);
        for (const std::string& t : a.traspasos)
            for (int n : tamanos)
                for (int p : {1, 2}) {
                    Clave d = clave(t, n, Variante::Datos, p), c = clave(t, n, Variante::Crudo, p),
                          u = clave(t, n, Variante::CrudoUnaVez, p);
                    Celdas fila = {{t, 12},
                                   {std::to_string(n), 7},
                                   {Pasada(p), 7},
                                   {Celda(r.Segundos(d), 3), 24},
                                   {PorSegundo(r.Segundos(d), n), 7},
                                   {Celda(r.Segundos(c), 3), 24},
                                   {PorSegundo(r.Segundos(c), n), 7},
                                   {Celda(r.Cociente(d, c), 2), 20}};
                    if (a.unaVez) {
                        fila.push_back({Celda(r.Segundos(u), 3), 24});
                        fila.push_back({Celda(r.Cociente(d, u), 2), 20});
                        fila.push_back({Celda(r.De(u, &Muestra::valores), 3), 24});
                        fila.push_back({Celda(r.CocienteConValores(d, u), 2), 20});
                    }
                    Linea(fila);
                }

        if (tamanos.size() >= 2) {
            int n0 = tamanos.front(), n1 = tamanos.back();
            std::printf("\n-- %s: time per record at %d over that at %d, median [min–max] of "
                        "the rounds; goal <= 1.3 for every transfer --\n",
                        Modo(forzadas), n1, n0);
            Celdas titulos = {
                {"transfer", 12}, {"run", 7}, {"TDatos", 20}, {"goal", 9}, {"raw", 20}};
            if (a.unaVez) titulos.push_back({"raw, lookup once", 20});
            Linea(titulos);
            for (const std::string& t : a.traspasos)
                for (int p : {1, 2}) {
                    auto g = [&](Variante v) {
                        return r.Crecimiento(clave(t, n0, v, p), clave(t, n1, v, p));
                    };
                    Resumen d = g(Variante::Datos);
                    Celdas fila = {{t, 12},
                                   {Pasada(p), 7},
                                   {Celda(d, 2), 20},
                                   {Meta(d, 1.3), 9},
                                   {Celda(g(Variante::Crudo), 2), 20}};
                    if (a.unaVez) fila.push_back({Celda(g(Variante::CrudoUnaVez), 2), 20});
                    Linea(fila);
                }
        }

        if (a.ventana) {
            std::printf("\n-- %s: agents through the window (press to summary box) and through "
                        "the batch program; goal window/batch <= 1.1 --\n",
                        Modo(forzadas));
            Linea({{"N", 7},
                   {"run", 7},
                   {"window s", 24},
                   {"TDatos s", 24},
                   {"lote process s", 24},
                   {"window/TDatos", 20},
                   {"goal", 9},
                   {"window/lote", 20},
                   {"window peak MB", 20}});
            for (int n : tamanos)
                for (int p : {1, 2}) {
                    Clave w = clave("agentes", n, Variante::Ventana, p),
                          d = clave("agentes", n, Variante::DatosVentana, p),
                          l = clave("agentes", n, Variante::Lote, p);
                    Resumen wd = r.Cociente(w, d);
                    Linea({{std::to_string(n), 7},
                           {Pasada(p), 7},
                           {Celda(r.Segundos(w), 3), 24},
                           {Celda(r.Segundos(d), 3), 24},
                           {Celda(r.Segundos(l), 3), 24},
                           {Celda(wd, 2), 20},
                           {Meta(wd, 1.1), 9},
                           {Celda(r.Cociente(w, l), 2), 20},
                           {Celda(r.Memoria(w), 1), 20}});
                }
        }

        if (a.soloCambios) {
            std::printf("\n-- %s: the data module writing only what changed; the second run "
                        "finds every record unchanged; goal: second run >= 5 times faster --\n",
                        Modo(forzadas));
            Linea({{"transfer", 12},
                   {"N", 7},
                   {"run", 7},
                   {"TDatos s", 24},
                   {"only changes s", 24},
                   {"TDatos/only changes", 22},
                   {"goal", 9}});
            for (const std::string& t : a.traspasos)
                for (int n : tamanos)
                    for (int p : {1, 2}) {
                        Clave d = clave(t, n, Variante::Datos, p),
                              c = clave(t, n, Variante::SoloCambios, p);
                        Resumen dc = r.Cociente(d, c);
                        bool meta = p == 2 && dc.muestras && dc.mediana >= 5;
                        Linea({{t, 12},
                               {std::to_string(n), 7},
                               {Pasada(p), 7},
                               {Celda(r.Segundos(d), 3), 24},
                               {Celda(r.Segundos(c), 3), 24},
                               {Celda(dc, 2), 22},
                               {p == 2 && dc.muestras ? (meta ? "met" : "NOT met") : "", 9}});
                    }
        }

        std::printf("\n-- %s: engine pages per record, median: read from the file / written / "
                    "fetched from the cache --\n",
                    Modo(forzadas));
        Celdas titulos = {{"transfer", 12}, {"N", 7}, {"run", 7}, {"TDatos", 26}, {"raw", 26}};
        if (a.unaVez) titulos.push_back({"raw, lookup once", 26});
        Linea(titulos);
        for (const std::string& t : a.traspasos)
            for (int n : tamanos)
                for (int p : {1, 2}) {
                    Celdas fila = {{t, 12},
                                   {std::to_string(n), 7},
                                   {Pasada(p), 7},
                                   {Paginas(r, clave(t, n, Variante::Datos, p)), 26},
                                   {Paginas(r, clave(t, n, Variante::Crudo, p)), 26}};
                    if (a.unaVez)
                        fila.push_back({Paginas(r, clave(t, n, Variante::CrudoUnaVez, p)), 26});
                    Linea(fila);
                }

        std::printf("\n-- %s: peak memory of each measured run's process (ru_maxrss), MB --\n",
                    Modo(forzadas));
        titulos = {{"transfer", 12}, {"N", 7}, {"run", 7}, {"TDatos", 22}, {"raw", 22}};
        if (a.unaVez) titulos.push_back({"raw, lookup once", 22});
        Linea(titulos);
        for (const std::string& t : a.traspasos)
            for (int n : tamanos)
                for (int p : {1, 2}) {
                    Celdas fila = {{t, 12},
                                   {std::to_string(n), 7},
                                   {Pasada(p), 7},
                                   {Celda(r.Memoria(clave(t, n, Variante::Datos, p)), 1), 22},
                                   {Celda(r.Memoria(clave(t, n, Variante::Crudo, p)), 1), 22}};
                    if (a.unaVez)
                        fila.push_back(
                            {Celda(r.Memoria(clave(t, n, Variante::CrudoUnaVez, p)), 1), 22});
                    Linea(fila);
                }
    }
}

void ImprimirMemoria(const Resultados& r, const Ajustes& a) {
    auto clave = [](const std::string& t, int n) { return Clave{false, t, n, Variante::Datos, 1}; };
    std::printf("\n== Memory: peak of each run's process (ru_maxrss), median [min–max] of %d "
                "interleaved rounds; Forced Writes off, first run (inserts) on a fresh target ==\n",
                a.repeticiones);
    std::printf("\n-- the articles transfer (families, then articles with their prices and "
                "stock) by size --\n");
    Linea({{"articles", 10}, {"peak MB", 22}, {"s", 24}, {"µs per article", 16}});
    for (int n : a.tamanosMemoria) {
        Resumen s = r.Segundos(clave(kArticulosPorTamano, n));
        char porRegistro[32] = "-";
        if (s.muestras) std::snprintf(porRegistro, sizeof porRegistro, "%.0f", 1e6 * s.mediana / n);
        Linea({{std::to_string(n), 10},
               {Celda(r.Memoria(clave(kArticulosPorTamano, n)), 1), 22},
               {Celda(s, 3), 24},
               {porRegistro, 16}});
    }
    if (a.tamanosMemoria.size() >= 2) {
        int n0 = a.tamanosMemoria.front(), n1 = a.tamanosMemoria.back();
        Resumen pico = r.Cociente(clave(kArticulosPorTamano, n1), clave(kArticulosPorTamano, n0),
                                  &Muestra::picoMb);
        Resumen tiempo =
            r.Crecimiento(clave(kArticulosPorTamano, n0), clave(kArticulosPorTamano, n1));
        Linea({{"peak at " + std::to_string(n1) + " over " + std::to_string(n0), 42},
               {Celda(pico, 2), 20},
               {"goal <= 1.3", 13},
               {Meta(pico, 1.3), 9}});
        Linea({{"time per article at " + std::to_string(n1) + " over " + std::to_string(n0), 42},
               {Celda(tiempo, 2), 20},
               {"goal <= 1.1", 13},
               {Meta(tiempo, 1.1), 9}});
    }

    const int n = a.tamanoCuatro;
    std::printf("\n-- four transfers in one process at %d records per master file, against each "
                "alone --\n",
                n);
    Linea({{"run", 40}, {"peak MB", 22}, {"s", 24}});
    const char* const solos[] = {"agentes", "proveedores", "clientes", "articulos"};
    for (const char* t : solos)
        Linea({{std::string(t) + " alone", 40},
               {Celda(r.Memoria(clave(t, n)), 1), 22},
               {Celda(r.Segundos(clave(t, n)), 3), 24}});
    Linea({{"the four in one process", 40},
           {Celda(r.Memoria(clave("cuatro", n)), 1), 22},
           {Celda(r.Segundos(clave("cuatro", n)), 3), 24}});
    // Round by round: the four together over the largest of the four alone in that round.
    std::vector<double> v;
    if (const auto* cuatro = r.De(clave("cuatro", n)))
        for (const Muestra& m : *cuatro) {
            double mayor = 0;
            for (const char* t : solos)
                if (const auto* solo = r.De(clave(t, n)))
                    for (const Muestra& x : *solo)
                        if (x.repeticion == m.repeticion) mayor = std::max(mayor, x.picoMb);
            if (mayor > 0) v.push_back(m.picoMb / mayor);
        }
    Resumen juntos = Resumir(v);
    Linea({{"the four over the largest alone", 40},
           {Celda(juntos, 2), 22},
           {"goal <= 1.1", 13},
           {Meta(juntos, 1.1), 9}});
}

void ImprimirLote(const Resultados& r, const Ajustes& a, const Entorno& e) {
    for (bool forzadas : a.modos) {
        const std::vector<int>& tamanos = forzadas ? a.tamanosForzadas : a.tamanos;
        std::printf("\n== %s: the batch program as a whole process, seconds median [min–max] of "
                    "%d rounds; the second run finds every record as the first left it; goal: "
                    "second run with --solo-cambios >= 5 times faster than without ==\n",
                    Modo(forzadas), a.repeticiones);
        if (auto l = e.latenciaMs.find(forzadas); l != e.latenciaMs.end())
            std::printf("disk meanwhile: a synchronous 4 KiB write took %s ms\n",
                        Texto(Resumir(l->second), 2).c_str());
        Linea({{"transfer", 12},
               {"N", 7},
               {"run", 7},
               {"default s", 24},
               {"rec/s", 7},
               {"--solo-cambios s", 24},
               {"default/solo", 20},
               {"goal", 9},
               {"--confirmar-cada 1 s", 24},
               {"cada 1/solo", 20},
               {"goal", 9},
               {"peak MB", 20}});
        for (const std::string& t : a.traspasos)
            for (int n : tamanos)
                for (int p : {1, 2}) {
                    Clave d{forzadas, t, n, Variante::LoteDefecto, p},
                        c{forzadas, t, n, Variante::LoteSoloCambios, p},
                        u{forzadas, t, n, Variante::LoteUnoAUno, p};
                    Resumen dc = r.Cociente(d, c), uc = r.Cociente(u, c);
                    auto meta = [&](const Resumen& x) -> std::string {
                        if (p != 2 || !x.muestras) return "";
                        return x.mediana >= 5 ? "met" : "NOT met";
                    };
                    Linea({{t, 12},
                           {std::to_string(n), 7},
                           {Pasada(p), 7},
                           {Celda(r.Segundos(d), 3), 24},
                           {PorSegundo(r.Segundos(d), n), 7},
                           {Celda(r.Segundos(c), 3), 24},
                           {Celda(dc, 2), 20},
                           {meta(dc), 9},
                           {Celda(r.Segundos(u), 3), 24},
                           {Celda(uc, 2), 20},
                           {meta(uc), 9},
                           {Celda(r.Memoria(d), 1), 20}});
                }
    }
    if (a.modos.size() < 2) return;
    std::printf("\n-- the batch program with its default options: Forced Writes on over off, "
                "round by round; goal <= 3 --\n");
    Linea({{"transfer", 12}, {"N", 7}, {"run", 7}, {"on/off", 22}, {"goal", 9}});
    for (const std::string& t : a.traspasos)
        for (int n : a.tamanosForzadas)
            for (int p : {1, 2}) {
                Resumen x = r.Cociente({true, t, n, Variante::LoteDefecto, p},
                                       {false, t, n, Variante::LoteDefecto, p});
                if (!x.muestras) continue;
                Linea({{t, 12},
                       {std::to_string(n), 7},
                       {Pasada(p), 7},
                       {Celda(x, 2), 22},
                       {Meta(x, 3), 9}});
            }
}
