// SIGINT and SIGTERM: a running transfer stops after its current record is committed. When the
// transfer is stuck in a call to the target (a row another user holds, a frozen server), an
// alarm a few seconds later cancels that call; the record in progress is then undone.
#include "Senales.h"
#include "TDatos.h"

#include <unistd.h>

namespace {

volatile std::sig_atomic_t recibida = 0; // the signal's number
volatile std::sig_atomic_t libreria = 0; // raised by the client library when it took the signal
TDatos* volatile atendido = nullptr;

constexpr unsigned kSegundosParaCancelar = 3;

void AlRecibir(int s) {
    recibida = s;
    alarm(kSegundosParaCancelar);
}

void AlVencer(int) {
    // Only a call in progress is cancelled: a cancel with nothing running would wait for, and
    // spoil, the next call, such as the closing commit.
    if (TDatos* d = atendido; d && d->Ejecutando()) d->CancelarOperacion();
}

} // namespace

void TDatos::AtenderSenales() {
    atendido = this;
    struct sigaction sa {};
    sigemptyset(&sa.sa_mask);
    sa.sa_handler = AlRecibir;
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
    sa.sa_handler = AlVencer;
    sigaction(SIGALRM, &sa, nullptr);
    RechazarCierrePorSenal(&libreria);
}

int TDatos::SenalRecibida() {
    if (recibida) return recibida;
    return libreria ? SIGINT : 0;
}

void TDatos::SenalAtendida() {
    alarm(0); // stopped at a record boundary: nothing left to cancel
}
