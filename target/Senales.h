#pragma once
// The client library shuts every connection down when the process gets SIGINT or SIGTERM,
// which would end a transfer in the middle of a record with "connection shutdown". A program
// that stops at a record boundary itself asks it to refuse that and to raise its flag instead.
#include <csignal>

void RechazarCierrePorSenal(volatile std::sig_atomic_t* bandera);
