// Test helper: runs the agents transfer and, once K records have been committed, says so on
// standard output and waits inside the next record's message handling to be killed.
#include "TDatos.h"

#include <cstdio>
#include <cstdlib>
#include <unistd.h>

namespace {

class Espera : public Interfaz {
public:
    explicit Espera(int k) : k_(k) {}
    void MostrarEstado(const std::string&, bool) override {}
    void Aviso(const std::string& t, const RegistroEnCurso&) override {
        std::fprintf(stderr, "%s\n", t.c_str());
    }
    void AtenderMensajes(const RegistroEnCurso&) override {
        if (++n_ < k_) return;
        std::printf("%d\n", n_);
        std::fflush(stdout);
        for (;;)
            pause();
    }

private:
    int k_;
    int n_ = 0;
};

} // namespace

int main(int argc, char** argv) {
    if (argc != 4) return 2;
    Espera ui(std::atoi(argv[3]));
    TDatos datos(ui);
    datos.CrearAlias(argv[1]);
    datos.SetRutaDestino(argv[2]);
    datos.TraspasoAgentes();
    return 0;
}
