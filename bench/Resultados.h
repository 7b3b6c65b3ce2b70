#pragma once
// The benchmark's samples, kept by what was measured, and the tables printed from them.
#include "Medida.h"

#include <map>
#include <string>
#include <tuple>
#include <vector>

enum class Variante {
    Datos,           // the data module, no-op interface
    Crudo,           // raw loop, lookup prepared per record
    CrudoUnaVez,     // raw loop, lookup prepared once
    Ventana,         // the window, press to summary
    Lote,            // the batch executable, whole process
    DatosVentana,    // the data module, run next to the window for its comparison
    SoloCambios,     // the data module writing only what changed
    LoteDefecto,     // the batch program with its default options, whole process
    LoteSoloCambios, // the batch program with --solo-cambios, whole process
    LoteUnoAUno      // the batch program with --confirmar-cada 1, whole process
};

struct Clave {
    bool forzadas; // Forced Writes on
    std::string traspaso;
    int n;
    Variante variante;
    int pasada; // 1: first run (inserts), 2: second run (updates)
    auto operator<=>(const Clave&) const = default;
};

struct Muestra {
    int repeticion;
    double segundos;
    double picoMb;
    // Engine pages per record over the run: read from the file, written, fetched from the cache.
    double lecturas = 0, escrituras = 0, accesos = 0;
    // The raw loops: seconds spent before the clock walking the source and computing the values.
    double valores = 0;
};

class Resultados {
public:
    void Anotar(const Clave& c, const Muestra& m) { datos_[c].push_back(m); }
    const std::vector<Muestra>* De(const Clave& c) const {
        auto it = datos_.find(c);
        return it == datos_.end() ? nullptr : &it->second;
    }
    Resumen Segundos(const Clave& c) const { return De(c, &Muestra::segundos); }
    Resumen Memoria(const Clave& c) const { return De(c, &Muestra::picoMb); }
    Resumen De(const Clave& c, double Muestra::*campo) const;
    // a / b, repetition by repetition: each pair was measured in the same round.
    Resumen Cociente(const Clave& a, const Clave& b) const {
        return Cociente(a, b, &Muestra::segundos);
    }
    Resumen Cociente(const Clave& a, const Clave& b, double Muestra::*campo) const;
    // a's seconds over b's seconds and values together, repetition by repetition.
    Resumen CocienteConValores(const Clave& a, const Clave& b) const;
    // Time per record at b.n over that at a.n, repetition by repetition.
    Resumen Crecimiento(const Clave& a, const Clave& b) const;

private:
    std::map<Clave, std::vector<Muestra>> datos_;
};

struct Ajustes {
    std::vector<int> tamanos;
    std::vector<int> tamanosForzadas; // sizes measured with Forced Writes on
    std::vector<std::string> traspasos;
    std::vector<bool> modos; // Forced Writes off and/or on
    int repeticiones = 3;
    bool unaVez = true;  // the raw loop with its lookup prepared once as well
    bool cadaVez = true; // and the one that prepares it for every record
    bool ventana = true;
    bool soloCambios = false; // the data module writing only what changed, as well
    int confirmarCada = 0;
    // The memory mode: the articles transfer alone at each of these sizes, and the four
    // transfers in one process at tamanoCuatro against each of them alone.
    bool memoria = false;
    std::vector<int> tamanosMemoria = {20000, 100000, 200000};
    int tamanoCuatro = 20000;
    // The batch mode: only the batch program, each transfer with its default options and with
    // --solo-cambios, in every Forced Writes mode asked, the modes interleaved within a round.
    bool lote = false;
};

// What the machine was doing meanwhile, per Forced Writes mode: the latency of a synchronous
// 4 KiB write in the work folder, sampled at every round, in milliseconds.
struct Entorno {
    std::map<bool, std::vector<double>> latenciaMs;
};

void ImprimirTablas(const Resultados& r, const Ajustes& a, const Entorno& e);
// The memory mode's tables: the articles transfer by size is kept under kArticulosPorTamano, the
// four transfers in one process under "cuatro", each transfer alone under its own name.
inline const char* const kArticulosPorTamano = "articulos por tamaño";
void ImprimirMemoria(const Resultados& r, const Ajustes& a);
void ImprimirLote(const Resultados& r, const Ajustes& a, const Entorno& e);
