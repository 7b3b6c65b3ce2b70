// Where the target is and how it is reached.
#include "Destino.h"
#include "RutaBase.h"
#include "TDatos.h"

TDatos::FicheroDestino TDatos::FicheroDelDestino(const std::string& destino) {
    RutaBase r = AnalizarRuta(destino);
    return {r.fichero, !r.servidor.empty(), r.EnEstaMaquina()};
}

void TDatos::SetCredenciales(const std::optional<std::string>& usuario,
                             const std::optional<std::string>& clave) {
    IBDatabase1().SetCredenciales(usuario.value_or(IBDatabase::kUserName),
                                  clave.value_or(IBDatabase::kPassword));
}
