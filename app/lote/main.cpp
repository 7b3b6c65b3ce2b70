// traspaso-maestros-lote: runs transfers from the command line, with no window and no questions.
#include "Empresa.h"
#include "Empresas.h"
#include "Opciones.h"
#include "TDatos.h"
#include "TextoVisible.h"

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <unistd.h>

#ifndef TM_VERSION
#define TM_VERSION "0"
#endif

int main(int argc, char** argv) {
    // A closed standard output (a pipe into `head`, a terminal gone) ends nothing: what would
    // have been written there is dropped.
    std::signal(SIGPIPE, SIG_IGN);
    Opciones o;
    try {
        o = LeerOpciones(argc, argv);
    } catch (const std::exception& e) {
        std::fprintf(stderr,
                     "traspaso-maestros-lote: %s\nPruebe «traspaso-maestros-lote --help».\n",
                     MensajeVisible(e.what()).c_str());
        return 2;
    }
    if (o.ayuda) {
        std::fputs(Ayuda().c_str(), stdout);
        return 0;
    }
    if (o.version) {
        std::printf("traspaso-maestros-lote %s\n", TM_VERSION);
        return 0;
    }
    if (o.empresas.empty()) {
        int estado = EjecutarEmpresa(o);
        if (TDatos::HayConexionesAbandonadas()) {
            std::fflush(nullptr);
            _exit(estado);
        }
        return estado;
    }
    try {
        return EjecutarEmpresas(o, std::filesystem::read_symlink("/proc/self/exe").string());
    } catch (const std::exception& e) {
        std::fprintf(stderr, "Error: %s\n", MensajeVisible(e.what()).c_str());
        return 2;
    }
}
