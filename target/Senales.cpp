#include "Senales.h"

#include "FbError.h"

namespace {

int AlApagar(const int razon, const int mascara, void* arg) {
    if (razon == fb_shutrsn_signal && (mascara & fb_shut_confirmation)) {
        *static_cast<volatile std::sig_atomic_t*>(arg) = 1;
        return 1; // anything but success refuses the shutdown
    }
    return 0;
}

} // namespace

void RechazarCierrePorSenal(volatile std::sig_atomic_t* bandera) {
    ISC_STATUS_ARRAY st;
    fb_shutdown_callback(st, AlApagar, fb_shut_confirmation,
                         const_cast<std::sig_atomic_t*>(bandera));
    CheckStatus(st, "registrar la atención de señales");
}
