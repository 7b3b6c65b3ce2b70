// Sales agents: agentes -> AGENTESVENTA.
#include "Reglas.h"
#include "TDatos.h"
#include "Traspasos.h"

#include <memory>

namespace {

const char* const kInsert =
    "insert into AGENTESVENTA(IDAGENTESVENTA, CODIGO, NOMBRE, DIRECCION, LOCALIDAD, CODIGOPOSTAL, "
    "PROVINCIA, PAIS, TELEFONO1, FAX, EMAIL1, NIF, PORCENTAJECOMISION, IMPORTECOMISION, "
    "COMISIONFIJA, CUENTACONTABLE, COMISIONESAGENTE, FECHAALTA, IVA, EMPRESA) "
    "values(GEN_ID(GENIDAGENTESVENTA, 1), :CODIGO, :NOMBRE, :DIRECCION, :LOCALIDAD, "
    ":CODIGOPOSTAL, :PROVINCIA, :PAIS, :TELEFONO1, :FAX, :EMAIL1, :NIF, :PORCENTAJECOMISION, "
    ":IMPORTECOMISION, :COMISIONFIJA, :CUENTACONTABLE, :COMISIONESAGENTE, :FECHAALTA, :IVA, "
    ":EMPRESA)";

// The commission percentage and the account are set by hand in the target after a first
// transfer; the update leaves them out so that a repeated transfer never erases them.
const char* const kUpdate =
    "update AGENTESVENTA set CODIGO = :CODIGO, NOMBRE = :NOMBRE, DIRECCION = :DIRECCION, "
    "LOCALIDAD = :LOCALIDAD, CODIGOPOSTAL = :CODIGOPOSTAL, PROVINCIA = :PROVINCIA, PAIS = :PAIS, "
    "TELEFONO1 = :TELEFONO1, FAX = :FAX, EMAIL1 = :EMAIL1, NIF = :NIF, "
    "IMPORTECOMISION = :IMPORTECOMISION, COMISIONFIJA = :COMISIONFIJA, "
    "COMISIONESAGENTE = :COMISIONESAGENTE, FECHAALTA = :FECHAALTA, IVA = :IVA, "
    "EMPRESA = :EMPRESA where (IDAGENTESVENTA = :OLD_IDAGENTESVENTA) ";

// The name is the first name, a blank and the surname, cut to 35; a new agent's surname loses its
// outer blanks, an existing one's keeps them.
Calculo Nombre(bool alta) {
    return [alta](const Fuente& f) -> Valor {
        std::string apellido = alta ? Recortado(f.c.Texto("CAPEAGE")) : f.c.Texto("CAPEAGE");
        return Primeros(Recortado(f.c.Texto("CNBRAGE")) + " " + apellido, 35);
    };
}

} // namespace

Traspaso Agentes(TDatos& d) {
    auto iva = std::make_shared<int32_t>(0);
    return {
        .consulta = &d.qAgentesVenta(),
        .tabla = "AGENTESVENTA",
        .id = "IDAGENTESVENTA",
        .campoCodigo = "CCODAGE",
        // Searched as it is written, so that a code wider than the column is found again.
        .codigo = [](const Campos& c) { return Primeros(c.Texto("CCODAGE"), 4); },
        .nombre = "Agentes",
        .resumen = {"Agentes Añadidos: ", ",   Actualizados: "},
        .insert = kInsert,
        .update = kUpdate,
        .defectos = {{"SELECT first 1 idtablaiva from tablaiva", {iva.get()}}},
        .lineas =
            {
                {"CODIGO", Campo("CCODAGE", 4)},
                {"NOMBRE", Nombre(true), Envio::Alta},
                {"NOMBRE", Nombre(false), Envio::Cambio},
                {"DIRECCION", Campo("CDIRAGE", 35)},
                {"LOCALIDAD", Campo("CPOBAGE", 35)},
                {"CODIGOPOSTAL", Campo("CPTLAGE")},
                {"PROVINCIA",
                 [](const Fuente& f) -> Valor {
                     return f.b.NombreProvincia(f.c.Texto("CCODPROV"));
                 }},
                {"PAIS", [](const Fuente& f) -> Valor { return Pais(f.c.Texto("CNACAGE")); }},
                {"TELEFONO1", Campo("CTFOAGE", 15)},
                {"FAX", Campo("CFAXAGE", 15)},
                {"EMAIL1", Campo("EMAIL")},
                {"NIF", Campo("CDNINIF", 12)},
                {"PORCENTAJECOMISION", FijoDecimal(0), Envio::Alta},
                {"IMPORTECOMISION", Decimal("NCOM1")},
                {"COMISIONFIJA", Fijo(0)},
                {"CUENTACONTABLE", Nulo(), Envio::Alta},
                {"COMISIONESAGENTE", Fijo(0)},
                {"FECHAALTA", Ahora()},
                {"EMPRESA", Fijo(1)},
                {"IVA", [iva](const Fuente&) -> Valor { return *iva; }},
            },
    };
}
