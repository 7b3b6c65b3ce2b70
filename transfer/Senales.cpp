// SIGINT, SIGTERM and SIGHUP: a running transfer stops after its current record is committed.
// A watching thread bounds what follows (see Vigia.h): a call to the target still running a few
// seconds later is cancelled, and one that even the cancel leaves waiting has its connection
// cut. SIGPIPE is ignored: a closed output ends nothing, its writes are dropped.
#include "Senales.h"
#include "Error.h"
#include "IBDatabase.h"
#include "TDatos.h"
#include "Vigia.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <mutex>
#include <optional>
#include <poll.h>
#include <thread>
#include <unistd.h>

namespace {

using Reloj = std::chrono::steady_clock;

volatile std::sig_atomic_t recibida = 0; // the first signal's number
volatile std::sig_atomic_t veces = 0;    // how many came
volatile std::sig_atomic_t libreria = 0; // raised by the client library when it took the signal
int tuberia[2] = {-1, -1};               // wakes the watching thread

// The data module watched, and the bound of its closing steps; the watching thread reads them.
std::mutex m;
TDatos* atendido = nullptr;
std::optional<Reloj::time_point> cortarEn;
bool cortada = false;

void Despertar() {
    const int guardado = errno;
    char c = 1;
    (void)!write(tuberia[1], &c, 1);
    errno = guardado;
}

void AlRecibir(int s) {
    if (!recibida) recibida = s;
    veces = veces + 1;
    Despertar();
}

// Under the lock. A transfer (or a front end's work holding an EnMarcha) still running so long
// after a signal, or closing steps past their bound, wait for the target: cut its connection.
void Cortar(TDatos& d) {
    if (d.IBDatabase1().Cortar()) cortada = true;
}

void Vigilar() {
    std::optional<Reloj::time_point> senal;
    bool cancelado = false, cortado = false;
    int vistas = 0;
    for (;;) {
        Reloj::time_point proxima = Reloj::time_point::max();
        {
            std::lock_guard<std::mutex> l(m);
            if (senal && !cancelado) proxima = *senal + vigia::kCancelarTrasSenal;
            if (senal && !cortado) proxima = std::min(proxima, *senal + vigia::kCortarTrasSenal);
            if (cortarEn) proxima = std::min(proxima, *cortarEn);
        }
        int espera = -1;
        if (proxima != Reloj::time_point::max()) {
            auto ms = std::chrono::ceil<std::chrono::milliseconds>(proxima - Reloj::now()).count();
            espera = static_cast<int>(std::clamp<long long>(ms, 0, 60000));
        }
        pollfd p{tuberia[0], POLLIN, 0};
        if (poll(&p, 1, espera) > 0) {
            char b[64];
            while (read(tuberia[0], b, sizeof b) > 0) {
            }
        }
        const auto ahora = Reloj::now();
        std::lock_guard<std::mutex> l(m);
        TDatos* d = atendido;
        if (!d) continue;
        const int n = veces;
        if (n > vistas) {
            vistas = n;
            if (!senal) senal = ahora;
            if (cortarEn) cortarEn = std::min(*cortarEn, ahora + vigia::kCierreTrasSenal);
            // A second signal, or one during an attach (nothing to lose yet): no more waiting.
            if ((n > 1 && d->Ejecutando()) || d->IBDatabase1().Conectando()) Cortar(*d);
        }
        // Each step once, and only while a transfer still runs: one that stopped at a record
        // boundary has nothing left waiting.
        if (senal && !cancelado && ahora >= *senal + vigia::kCancelarTrasSenal) {
            cancelado = true;
            // A cancel with nothing running would spoil the next call: only while stuck.
            if (d->Ejecutando()) d->IBDatabase1().CancelarEnSegundoPlano();
        }
        if (senal && !cortado && ahora >= *senal + vigia::kCortarTrasSenal) {
            cortado = true;
            if (d->Ejecutando()) Cortar(*d);
        }
        if (cortarEn && ahora >= *cortarEn) {
            cortarEn.reset();
            Cortar(*d);
        }
    }
}

} // namespace

namespace vigia {

Plazo::Plazo(std::chrono::seconds plazo) {
    std::lock_guard<std::mutex> l(m);
    if (tuberia[1] < 0) return;
    cortarEn =
        Reloj::now() + (recibida ? std::min<std::chrono::seconds>(plazo, kCierreTrasSenal) : plazo);
    Despertar();
}

Plazo::~Plazo() {
    std::lock_guard<std::mutex> l(m);
    cortarEn.reset();
}

} // namespace vigia

void TDatos::AtenderSenales() {
    {
        std::lock_guard<std::mutex> l(m);
        atendido = this;
        if (tuberia[0] < 0) {
            if (pipe2(tuberia, O_CLOEXEC | O_NONBLOCK) != 0)
                throw Error("No se puede preparar la atención de señales");
            std::thread(Vigilar).detach();
        }
    }
    struct sigaction sa {};
    sigemptyset(&sa.sa_mask);
    sa.sa_handler = AlRecibir;
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
    sigaction(SIGHUP, &sa, nullptr); // the terminal closed: as TERM
    sa.sa_handler = SIG_IGN;
    sigaction(SIGPIPE, &sa, nullptr);
    RechazarCierrePorSenal(&libreria);
}

void TDatos::DejarDeAtenderSenales() noexcept {
    std::lock_guard<std::mutex> l(m);
    if (atendido == this) atendido = nullptr;
}

int TDatos::SenalRecibida() {
    if (recibida) return recibida;
    return libreria ? SIGINT : 0;
}

void TDatos::SenalAtendida() {
    // Stopped at a record boundary: nothing is left to cancel. The watch's times still run, but
    // they act only while a transfer runs, and none will after a stop.
}

bool TDatos::ConexionCortada() {
    std::lock_guard<std::mutex> l(m);
    return cortada;
}
