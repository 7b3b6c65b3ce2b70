#include "OrigenFacturaPlus.h"

#include "Utf8.h"

namespace {

// Open reports by tag: the four main queries say what they are opening.
const char* TextoAntes(int tag) {
    switch (tag) {
    case 1:
        return "Abriendo consulta de Artículos";
    case 2:
        return "Abriendo consulta de Clientes";
    case 3:
        return "Abriendo consulta de Proveedores";
    case 4:
        return "Abriendo consulta de Agentes de Venta";
    default:
        return nullptr;
    }
}

const char* TextoDespues(int tag) {
    switch (tag) {
    case 1:
        return "Consulta de Artículos ABIERTA";
    case 2:
        return "Consulta de Clientes ABIERTA";
    case 3:
        return "Consulta de Proveedores ABIERTA";
    case 4:
        return "Consulta de Agentes de Venta ABIERTA";
    default:
        return nullptr;
    }
}

// Province codes answered from memory within a run; Spain has 52 provinces.
constexpr std::size_t kProvinciasRecordadas = 1024;

} // namespace

OrigenFacturaPlus::OrigenFacturaPlus(std::function<void(const std::string&)> informar)
    : qArticulos(Session1, "qArticulos", 1, {"Select * from articulo"}, LayoutArticulos()),
      qClientes(Session1, "qClientes", 2, {"Select * from clientes"}, LayoutClientes()),
      qProveedores(Session1, "qProveedores", 3, {"Select * from proveedo"}, LayoutProveedores()),
      qAgentesVenta(Session1, "qAgentesVenta", 4, {"Select * from agentes"}, LayoutAgentesVenta()),
      qFamilias(Session1, "qFamilias", 5, {"Select * from familias"}, LayoutFamilias()),
      qStock(Session1, "qStock", 6, {"Select * from stocks", "where CREF = :PARCODIGO;"},
             LayoutStock()),
      qArticulosNombreLargo(Session1, "qArticulosNombreLargo", 0,
                            {"Select * from Artcom", "where cref = :parcodigo"},
                            LayoutArticulosNombreLargo()),
      qProvincias(Session1, "qProvincias", 0,
                  {"Select CNOMPROV from PROVINC", "where CCODPROV = :parcodigo"},
                  LayoutProvincias()),
      informar_(std::move(informar)) {
    for (SourceQuery* q : {&qArticulos, &qClientes, &qProveedores, &qAgentesVenta}) {
        q->BeforeOpen = [this](SourceQuery& s) { qArticulosBeforeOpen(s); };
        q->AfterOpen = [this](SourceQuery& s) { qArticulosAfterOpen(s); };
    }
}

void OrigenFacturaPlus::qArticulosBeforeOpen(SourceQuery& q) {
    if (const char* t = TextoAntes(q.Tag()); t && informar_) informar_(t);
}

void OrigenFacturaPlus::qArticulosAfterOpen(SourceQuery& q) {
    if (const char* t = TextoDespues(q.Tag()); t && informar_) informar_(t);
}

void OrigenFacturaPlus::CrearAlias(const std::string& ruta) {
    if (Session1.IsAlias(kAlias)) Session1.DeleteAlias(kAlias);
    Session1.AddStandardAlias(kAlias, ruta, "DBASE");
}

void OrigenFacturaPlus::EliminarAlias() {
    if (Session1.Active() && Session1.IsAlias(kAlias)) Session1.DeleteAlias(kAlias);
}

std::string OrigenFacturaPlus::NombreLargoArticulo(const std::string& codigo) {
    if (codigo.empty()) return {};
    std::string acumulado;
    try {
        qArticulosNombreLargo.Close();
        qArticulosNombreLargo.SetParam("ParCodigo", codigo);
        qArticulosNombreLargo.Open();
        qArticulosNombreLargo.First();
        while (!qArticulosNombreLargo.Eof()) {
            std::string linea = qArticulosNombreLargo.FieldByName("CCOMENT").AsString();
            if (!linea.empty()) acumulado += linea;
            qArticulosNombreLargo.Next();
        }
    } catch (const std::exception& e) {
        // A missing or unreadable comment table leaves the article without a long name.
        acumulado.clear();
        if (AlFallarBusqueda) AlFallarBusqueda(qArticulosNombreLargo.Name(), e.what());
    }
    qArticulosNombreLargo.Close();
    return acumulado;
}

std::string OrigenFacturaPlus::NombreProvincia(const std::string& codigo) {
    if (codigo.empty()) return {};
    // Within a run the province table is taken as it was when first read (see
    // Session::ConfiarDurante): its answers cannot change, and there are few of them.
    const uint64_t tramo = Session1.Tramo();
    if (tramo != tramoProvincias_) {
        provincias_.clear();
        tramoProvincias_ = tramo;
    }
    if (tramo != 0)
        if (auto it = provincias_.find(codigo); it != provincias_.end()) return it->second;
    std::string nombre;
    try {
        qProvincias.Close();
        qProvincias.SetParam("ParCodigo", codigo);
        qProvincias.Open();
        qProvincias.First();
        nombre = utf8::FirstChars(qProvincias.FieldByName("CNOMPROV").AsString(), 25);
        // A walk full of made-up codes keeps a bounded memory; the rest are read each time.
        if (tramo != 0 && provincias_.size() < kProvinciasRecordadas)
            provincias_.emplace(codigo, nombre);
    } catch (const std::exception& e) {
        // A province that cannot be read is left empty; the record goes on without it.
        nombre.clear();
        if (AlFallarBusqueda) AlFallarBusqueda(qProvincias.Name(), e.what());
    }
    qProvincias.Close();
    return nombre;
}
