#pragma once
// Runs a helper program with extra environment variables and waits for it a bounded time:
// a child that hangs is killed and reported as such, never waited for without end.
#include <chrono>
#include <string>
#include <vector>

struct Hijo {
    bool terminado = false; // ended by itself before the deadline
    int estado = -1;        // its exit status, when it ended by itself
    std::string salida;     // what it printed on its standard output and error
};

Hijo EjecutarConPlazo(const std::vector<std::string>& argv, const std::vector<std::string>& entorno,
                      std::chrono::seconds plazo);
