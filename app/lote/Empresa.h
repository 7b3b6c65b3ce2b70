#pragma once
// One company: the asked transfers from one source folder into one target, with the terminal's
// progress, the warnings on standard error, and the report.
#include "Opciones.h"

// The exit status: 0 all went in, 1 some records were warned about, 2 an error stopped a
// transfer, 128 + the signal's number when one did.
int EjecutarEmpresa(const Opciones& o);
