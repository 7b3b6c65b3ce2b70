#pragma once
// The client library shuts every connection down when the process gets SIGINT or SIGTERM,
// which would end a transfer in the middle of a record with "connection shutdown". A program
// that stops at a record boundary itself asks it to refuse that and to raise its flag instead.
//
// The program's own handler for these signals must be installed before the first connection:
// the library's handler, installed then, calls it after its own.
//
// A signal that the program handles also cuts short whatever blocking call the thread was in
// (the window's event loop, a pause()), and that call leaves errno at EINTR. Firebird 3.0 then
// spins for ever in its next attach or detach (see AntesDeLlamarAFirebird in FbApi.h), so this
// layer clears errno before each call into the library.
#include <csignal>

void RechazarCierrePorSenal(volatile std::sig_atomic_t* bandera);
