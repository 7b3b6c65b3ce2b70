#include "ConDatos.h"

#include "ClienteCrudo.h"
#include "IBDatabase.h"
#include "TDatos.h"

#include <chrono>

namespace {

class Contador : public Interfaz {
public:
    void MostrarEstado(const std::string&, bool) override { ++m.estados; }
    void Aviso(const std::string& texto, const RegistroEnCurso&) override {
        if (m.avisos++ == 0) m.primerAviso = texto;
    }
    void AtenderMensajes(const RegistroEnCurso&) override { ++m.mensajes; }
    MedidaDatos m;
};

} // namespace

MedidaDatos ConDatos(const std::string& traspaso, const std::string& carpeta,
                     const std::string& base, bool soloCambios) {
    Contador c;
    TDatos d(c);
    d.CrearAlias(carpeta);
    d.SetRutaDestino(base);
    d.SetSoloCambios(soloCambios);
    long altas = 0, cambios = 0;
    // The embedded engine starts at a process's first attach, which takes tens of milliseconds;
    // the raw loops attach before their clocks too, so neither figure holds that start.
    { Conexion arranque(base); }
    auto inicio = std::chrono::steady_clock::now();
    // As the batch program runs each one; "cuatro" runs the four in one process, in the order
    // the list of transfers gives them.
    std::vector<const TraspasoOfrecido*> traspasos;
    if (traspaso == "cuatro")
        for (const TraspasoOfrecido& o : TraspasosOfrecidos())
            traspasos.push_back(&o);
    else
        traspasos.push_back(&TraspasoDeNombre(traspaso));
    for (const TraspasoOfrecido* o : traspasos)
        for (const PasoDeTraspaso& p : o->pasos) {
            d.DataSource1.SetDataSet(p.consulta(d));
            p.ejecutar(d);
            altas += d.RegistrosAnadidos;
            cambios += d.RegistrosActualizados;
        }
    c.m.segundos = std::chrono::duration<double>(std::chrono::steady_clock::now() - inicio).count();
    c.m.registros = d.RegistrosAnadidos + d.RegistrosActualizados + d.RegistrosSinCambios;
    c.m.altas = altas;
    c.m.cambios = cambios;
    Paginas p = LeerPaginas(d.IBDatabase1().Handle());
    c.m.lecturas = p.lecturas;
    c.m.escrituras = p.escrituras;
    c.m.accesos = p.accesos;
    d.Cerrar();
    return c.m;
}
