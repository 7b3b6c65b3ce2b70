// Sales agents: agentes -> AGENTESVENTA.
#include "SourceQuery.h"
#include "TDatos.h"
#include "Texto.h"

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

const char* const kBusqueda = "select IDAGENTESVENTA from AGENTESVENTA where codigo = :ParCodigo";
const char* const kIvaPorDefecto = "SELECT first 1 idtablaiva from tablaiva";

} // namespace

DescripcionTraspaso TDatos::DescripcionAgentes(int32_t& iva) {
    SourceQuery& q = qAgentesVenta();
    auto texto = [&q](const char* campo) { return q.FieldByName(campo).AsString(); };

    // The parameters both statements fill, in their fill order; `apellido` differs.
    auto rellenar = [this, &q, &iva, texto](IBSQL& s, bool esInsert) {
        // The code is written as read (cut to 4), so that the next run's lookup, which searches
        // the code as read, finds the row again.
        s.ParamByName("CODIGO").SetAsString(Primeros(texto("CCODAGE"), 4));
        std::string apellido = esInsert ? Recortado(texto("CAPEAGE")) : texto("CAPEAGE");
        s.ParamByName("NOMBRE").SetAsString(
            Primeros(Recortado(texto("CNBRAGE")) + " " + apellido, 35));
        s.ParamByName("DIRECCION").SetAsString(Primeros(texto("CDIRAGE"), 35));
        s.ParamByName("LOCALIDAD").SetAsString(Primeros(texto("CPOBAGE"), 35));
        s.ParamByName("CODIGOPOSTAL").SetAsString(texto("CPTLAGE"));
        s.ParamByName("PROVINCIA").SetAsString(NombreProvincia(texto("CCODPROV")));
        s.ParamByName("PAIS").SetAsString(texto("CNACAGE") == "ESPA" ? "ESPAÑA" : texto("CNACAGE"));
        s.ParamByName("TELEFONO1").SetAsString(Primeros(texto("CTFOAGE"), 15));
        s.ParamByName("FAX").SetAsString(Primeros(texto("CFAXAGE"), 15));
        s.ParamByName("EMAIL1").SetAsString(texto("EMAIL"));
        s.ParamByName("NIF").SetAsString(Primeros(texto("CDNINIF"), 12));
        if (esInsert) s.ParamByName("PORCENTAJECOMISION").SetAsSingle(0);
        s.ParamByName("IMPORTECOMISION").SetAsSingle(q.FieldByName("NCOM1").AsFloat());
        s.ParamByName("COMISIONFIJA").SetAsInteger(0);
        if (esInsert) s.ParamByName("CUENTACONTABLE").SetNull();
        s.ParamByName("COMISIONESAGENTE").SetAsInteger(0);
        s.ParamByName("FECHAALTA").SetAsTimestamp(Timestamp::Now());
        s.ParamByName("EMPRESA").SetAsInteger(1);
        s.ParamByName("IVA").SetAsInteger(iva);
    };

    DescripcionTraspaso d;
    d.consulta = &q;
    d.textoInsert = kInsert;
    d.textoUpdate = kUpdate;
    d.textoBusqueda = kBusqueda;
    d.valorBusqueda = [texto] { return texto("CCODAGE"); };
    d.columnaId = "IDAGENTESVENTA";
    d.claveUpdate = "OLD_IDAGENTESVENTA";
    d.textoProgreso = "Actualizando Agentes";
    d.prefijoResumen = "Agentes Añadidos: ";
    d.separadorResumen = ",   Actualizados: ";
    d.leerDefectos = [this, &iva] { iva = LeerDefecto(kIvaPorDefecto, "idtablaiva"); };
    d.rellenarUpdate = [this, rellenar] { rellenar(IBSQLUpdate, false); };
    d.rellenarInsert = [this, rellenar] { rellenar(IBSQLInsert, true); };
    return d;
}

bool TDatos::TraspasoAgentes() {
    int32_t iva = 0;
    return EjecutarTraspaso(DescripcionAgentes(iva));
}
