#pragma once
// A program of the project run as the operator runs it, watched while it runs: what it prints is
// read as it comes (its error stream through a terminal when a progress bar is wanted), signals
// go to it at chosen moments, and its end is awaited with a deadline, so that a hang is a
// failure and never a stuck test.
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <sys/types.h>
#include <thread>
#include <vector>

using Plazo = std::chrono::duration<double>;

struct Fin {
    int estado = -1;      // exit status; -1 when it did not exit by itself
    int senal = 0;        // the signal that ended it, 0 when none
    bool colgado = false; // still running at the deadline: the test killed it
    double segundos = 0;  // from the last Marcar (or the start) to its end
    std::string out, err; // everything it printed
    // Lines of the error stream that begin with `prefijo`, the progress bar taken away.
    std::vector<std::string> Lineas(const std::string& prefijo) const;
    // The errors the program told: its "Error: " and "Error al cerrar: " lines (the engine's own
    // lines under them are part of each).
    std::vector<std::string> Errores() const;
    // Everything, for failure messages.
    std::string Todo() const;
};

class Proceso {
public:
    struct Opciones {
        std::vector<std::string> argv;
        std::vector<std::string> poner;  // KEY=VALUE added to the test's environment
        std::vector<std::string> quitar; // variables taken away; a name ending in * is a prefix
        bool terminal = false;           // the error stream a terminal: the batch program's bar
        bool grupo = false; // in a process group of its own, as a shell starts a command
    };
    explicit Proceso(const Opciones& o);
    ~Proceso(); // kills it if it still runs
    Proceso(const Proceso&) = delete;
    Proceso& operator=(const Proceso&) = delete;

    pid_t Pid() const { return pid_; }
    void Senal(int s);
    // To its whole process group (Opciones::grupo), as a terminal's Ctrl+C reaches a command.
    void SenalAlGrupo(int s);
    // Waits until the program itself runs (it has replaced the forked copy of the test).
    bool EsperarArranque(Plazo plazo);
    // Where Fin::segundos counts from.
    void Marcar();

    // Waits until `hecho` holds for what it has printed, it ends, or the deadline passes;
    // whether `hecho` held.
    bool Esperar(const std::function<bool(const std::string& out, const std::string& err)>& hecho,
                 Plazo plazo);
    bool EsperarSalida(const std::string& texto, Plazo plazo); // on the standard output
    bool EsperarError(const std::string& texto, Plazo plazo);  // on the error stream
    // Waits until the progress bar has shown `k` records; the last position shown, which may be
    // beyond `k` (what it prints runs ahead of what is read), or less when it ended first.
    std::size_t EsperarProgreso(std::size_t k, Plazo plazo);
    // The last position the bar has shown: records the program has committed and told so.
    std::size_t Progreso() const;

    // Stops and resumes reading its error stream: with its terminal full, the program blocks in
    // its next write of the bar, which it makes right after committing a record.
    void LeerError(bool si);
    // Waits until it is blocked writing to its error stream: between two records, exactly.
    bool EsperarBloqueadoEscribiendo(Plazo plazo);

    // Waits for its end; at the deadline it is killed and reported as hung.
    Fin Terminar(Plazo plazo);

private:
    void Leer();

    std::string argv0_;
    pid_t pid_ = -1;
    int out_ = -1, err_ = -1;
    std::thread lector_;
    mutable std::mutex m_;
    std::condition_variable cambio_;
    std::string out_texto_, err_texto_;
    bool cerrado_ = false;
    bool pausa_ = false;
    int despertar_[2] = {-1, -1}; // wakes the reader when pausa_ changes
    bool esperado_ = false;
    std::chrono::steady_clock::time_point marca_, final_;
};

// The last "] K/N" of a progress bar in `texto`: K, or 0 when none.
std::size_t UltimoProgreso(const std::string& texto);
