#pragma once
// How far a transfer has got, as the batch program shows it: a bar on a terminal, a line now and
// then in a log, and the closing table of a run.
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

struct Avance {
    std::string fichero;    // "agentes.dbf"
    std::size_t hechos = 0; // records committed (or walked) so far
    std::size_t total = 0;  // records the table holds
    double segundos = 0;    // since the walk began
};

// Records a second, or 0 before any time has passed.
double Ritmo(const Avance& a);
// Seconds left, once the rate has settled (a few seconds and a few records into the walk);
// before that there is no telling.
std::optional<long> Quedan(const Avance& a);
// "agentes.dbf [#####      ] 1200/3000  412 reg/s  quedan 00:04", never wider than `columnas` - 1
// characters (the cursor stays on the line): the bar shrinks first, then the rate goes, then the
// file's name is cut.
std::string Barra(const Avance& a, int columnas);
// The line a log gets every few seconds, stamped with the time of day `hora` ("14:03:12").
std::string LineaDeRegistro(const Avance& a, const std::string& hora);

struct FilaFinal {
    std::string traspaso; // agentes, familias, articulos, ...
    long anadidos = 0, actualizados = 0, rechazados = 0;
    std::size_t registros = 0;
    double segundos = 0;
    long sinCambios = 0;
    struct {
        long iguales = 0, distintos = 0, nuevos = 0, soloEnDestino = 0;
    } comparacion;
};
// What the closing table shows: what was written; also what was left unchanged, in a run of only
// the changes; in a review, the records read and those with warnings; in a comparison, the rows
// found equal, different, new and only in the target.
enum class Tabla { Traspaso, SoloCambios, Revision, Comparacion };
// The closing table: one line a transfer and a total.
std::string TablaFinal(const std::vector<FilaFinal>& filas, Tabla que);
