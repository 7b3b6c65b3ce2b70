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

struct Defectos {
    int32_t iva = 0;
};

} // namespace

Traspaso Agentes(TDatos& d) {
    auto def = std::make_shared<Defectos>();
    return {
        .consulta = &d.qAgentesVenta(),
        .tabla = "AGENTESVENTA",
        .id = "IDAGENTESVENTA",
        .campoCodigo = "CCODAGE",
        // Searched as it is written, so that a code wider than the column is found again.
        .codigo = [](const Campos& c) { return Primeros(c.Texto("CCODAGE"), 4); },
        .orden = Orden::TransaccionYTextosAntesDelBucle,
        .progreso = "Actualizando Agentes",
        .resumen = {"Agentes Añadidos: ", ",   Actualizados: "},
        .insert = kInsert,
        .update = kUpdate,
        .defectos = {{"SELECT first 1 idtablaiva from tablaiva", {&def->iva}}},
        .rellenar =
            [&d, def](Parametros& p, const Campos& c, bool alta) {
                // The code is written as read (cut to 4), so that the next run's lookup, which
                // searches the code as read, finds the row again.
                p.Texto("CODIGO", Primeros(c.Texto("CCODAGE"), 4));
                std::string apellido = alta ? Recortado(c.Texto("CAPEAGE")) : c.Texto("CAPEAGE");
                p.Texto("NOMBRE", Primeros(Recortado(c.Texto("CNBRAGE")) + " " + apellido, 35));
                p.Texto("DIRECCION", Primeros(c.Texto("CDIRAGE"), 35));
                p.Texto("LOCALIDAD", Primeros(c.Texto("CPOBAGE"), 35));
                p.Texto("CODIGOPOSTAL", c.Texto("CPTLAGE"));
                p.Texto("PROVINCIA", d.NombreProvincia(c.Texto("CCODPROV")));
                p.Texto("PAIS", Pais(c.Texto("CNACAGE")));
                p.Texto("TELEFONO1", Primeros(c.Texto("CTFOAGE"), 15));
                p.Texto("FAX", Primeros(c.Texto("CFAXAGE"), 15));
                p.Texto("EMAIL1", c.Texto("EMAIL"));
                p.Texto("NIF", Primeros(c.Texto("CDNINIF"), 12));
                if (alta) p.Simple("PORCENTAJECOMISION", 0);
                p.Simple("IMPORTECOMISION", c.Numero("NCOM1"));
                p.Entero("COMISIONFIJA", 0);
                if (alta) p.Nulo("CUENTACONTABLE");
                p.Entero("COMISIONESAGENTE", 0);
                p.Fecha("FECHAALTA", Timestamp::Now());
                p.Entero("EMPRESA", 1);
                p.Entero("IVA", def->iva);
            },
    };
}
