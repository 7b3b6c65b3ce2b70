#include "ConDatos.h"

#include "ClienteCrudo.h"
#include "IBDatabase.h"
#include "TDatos.h"

#include <chrono>
#include <stdexcept>

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
                     const std::string& base) {
    Contador c;
    TDatos d(c);
    d.CrearAlias(carpeta);
    d.SetRutaDestino(base);
    long altas = 0, cambios = 0;
    auto contar = [&] {
        altas += d.RegistrosAnadidos;
        cambios += d.RegistrosActualizados;
    };
    auto inicio = std::chrono::steady_clock::now();
    // As the batch program runs each one; "cuatro" runs the four in one process, in the order
    // the batch program's help suggests.
    auto uno = [&](const std::string& t) {
        if (t == "agentes") {
            d.DataSource1.SetDataSet(d.qAgentesVenta());
            d.TraspasoAgentes();
        } else if (t == "proveedores") {
            d.DataSource1.SetDataSet(d.qProveedores());
            d.TraspasoProveedores();
        } else if (t == "clientes") {
            d.DataSource1.SetDataSet(d.qClientes());
            d.TraspasoClientes();
        } else if (t == "articulos") {
            d.DataSource1.SetDataSet(d.qFamilias());
            d.TraspasoFamilias();
            contar();
            d.DataSource1.SetDataSet(d.qArticulos());
            d.TraspasoArticulos();
        } else {
            throw std::runtime_error("unknown transfer " + t);
        }
    };
    if (traspaso == "cuatro") {
        for (const char* t : {"agentes", "proveedores", "clientes"}) {
            uno(t);
            contar();
        }
        uno("articulos");
    } else {
        uno(traspaso);
    }
    contar();
    c.m.segundos = std::chrono::duration<double>(std::chrono::steady_clock::now() - inicio).count();
    c.m.registros = d.RegistrosAnadidos + d.RegistrosActualizados;
    c.m.altas = altas;
    c.m.cambios = cambios;
    Paginas p = LeerPaginas(d.IBDatabase1().Handle());
    c.m.lecturas = p.lecturas;
    c.m.escrituras = p.escrituras;
    c.m.accesos = p.accesos;
    d.Cerrar();
    return c.m;
}
