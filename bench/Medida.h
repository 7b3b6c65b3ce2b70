#pragma once
// Repeated measurements, summarised as a median with its spread, and the child processes each
// measurement runs in, so that peak memory is that measurement's own.
#include <string>
#include <vector>

struct Resumen {
    double mediana = 0, minimo = 0, maximo = 0;
    int muestras = 0;
};
Resumen Resumir(std::vector<double> v);
// "12.34 [12.10–12.50]"; with one sample, the value alone.
std::string Texto(const Resumen& r, int decimales);

// What a child measurement reports back: its own figures, and its peak resident memory.
struct Resultado {
    bool ok = false;
    std::vector<double> valores; // what the child sent, in its order
    std::string error;           // the child's message when !ok
    double picoMb = 0;           // ru_maxrss of the child
    double pared = 0;            // wall seconds from spawn to exit, seen by the parent
};

// Runs `programa` with `argumentos` in a new process, its standard output to /dev/null and its
// error output to `errores` when given, and waits for it. A child of this program reports
// through file descriptor 3 with InformarAlPadre; for any other program valores = {exit status}.
Resultado EjecutarHijo(const std::string& programa, const std::vector<std::string>& argumentos,
                       const std::string& errores = {});

// The child's side: its figures, or its failure, to the parent.
void InformarAlPadre(const std::vector<double>& valores);
void InformarFalloAlPadre(const std::string& error);
