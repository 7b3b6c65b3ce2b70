#include "RutaBase.h"
#include "TDatos.h"

TDatos::FicheroDestino TDatos::FicheroDelDestino(const std::string& destino) {
    RutaBase r = AnalizarRuta(destino);
    return {r.fichero, !r.servidor.empty(), r.EnEstaMaquina()};
}
