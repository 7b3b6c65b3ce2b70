// Clients: clientes -> CLIENTES, and their bank data into the principal collection address.
#include "IBSQL.h"
#include "Reglas.h"
#include "TDatos.h"
#include "Traspasos.h"

#include <memory>

namespace {

// The new client's identifier comes back from the insert itself: read from the generator
// afterwards, another connection's client could be taken for ours.
const char* const kInsert =
    "insert into CLIENTES(IDCLIENTES, CODIGO, NOMBRE, RAZONSOCIAL, DIRECCION, LOCALIDAD, "
    "CODIGOPOSTAL, PROVINCIA, PAIS, TELEFONO1, TELEFONO2, FAX, EMAIL1, NIF, CLIENTEFUTURO, "
    "DESCUENTO1, DESCUENTO2, COMISION, RIESGOCONCEDIDO, DIAFIJOPAGO1, DIAFIJOPAGO2, "
    "DIAFIJOPAGO3, CUENTACONTABLE, REFERENCIABLOQUEO, ALBARANVALORADO, FACTURAACUMULADA, "
    "TRANSPORTEINCLUIDO, COPIASFACTURA, FECHAALTACLIENTE, APLICARDTOSOBREIVA, "
    "APLICARFINCSOBREIVA, CLIENTEX, DTOTOTALPIEFACTURA, TARIFA, FORMAPAGO, CARTERA, "
    "GRUPOEMPRESAS, REGIMENIVA, MONEDA, FACTURAAGRUPADA, FACTURAPORALBARAN, AGENTEVENTA) "
    "values (GEN_ID(GENIDCLIENTES, 1), :CODIGO, :NOMBRE, :RAZONSOCIAL, :DIRECCION, :LOCALIDAD, "
    ":CODIGOPOSTAL, :PROVINCIA, :PAIS, :TELEFONO1, :TELEFONO2, :FAX, :EMAIL1, :NIF, "
    ":CLIENTEFUTURO, :DESCUENTO1, :DESCUENTO2, :COMISION, :RIESGOCONCEDIDO, :DIAFIJOPAGO1, "
    ":DIAFIJOPAGO2, :DIAFIJOPAGO3, :CUENTACONTABLE, :REFERENCIABLOQUEO, :ALBARANVALORADO, "
    ":FACTURAACUMULADA, :TRANSPORTEINCLUIDO, :COPIASFACTURA, :FECHAALTACLIENTE, "
    ":APLICARDTOSOBREIVA, :APLICARFINCSOBREIVA, :CLIENTEX, :DTOTOTALPIEFACTURA,  :TARIFA, "
    ":FORMAPAGO, :CARTERA, :GRUPOEMPRESAS, :REGIMENIVA,  :MONEDA, :FACTURAAGRUPADA, "
    ":FACTURAPORALBARAN, :AGENTEVENTA) returning IDCLIENTES";

const char* const kUpdate =
    "update CLIENTES set CODIGO = :CODIGO, NOMBRE = :NOMBRE, RAZONSOCIAL = :RAZONSOCIAL, "
    "DIRECCION = :DIRECCION, LOCALIDAD = :LOCALIDAD, CODIGOPOSTAL = :CODIGOPOSTAL, "
    "PROVINCIA = :PROVINCIA, PAIS = :PAIS, TELEFONO1 = :TELEFONO1, TELEFONO2 = :TELEFONO2, "
    "FAX = :FAX, EMAIL1 = :EMAIL1, NIF = :NIF, DIAFIJOPAGO1 = :DIAFIJOPAGO1, DIAFIJOPAGO2 = "
    ":DIAFIJOPAGO2, DIAFIJOPAGO3 = :DIAFIJOPAGO3, DESCUENTO1 = :DESCUENTO1, DESCUENTO2 = "
    ":DESCUENTO2, RIESGOCONCEDIDO = :RIESGOCONCEDIDO, COPIASFACTURA = :COPIASFACTURA, "
    "CUENTACONTABLE = :CUENTACONTABLE, REFERENCIABLOQUEO = :REFERENCIABLOQUEO, "
    "FACTURAPORALBARAN = :FACTURAPORALBARAN, FACTURAACUMULADA = :FACTURAACUMULADA, "
    "FACTURAAGRUPADA = :FACTURAAGRUPADA, ALBARANVALORADO = :ALBARANVALORADO, GRUPOEMPRESAS = "
    ":GRUPOEMPRESAS, TARIFA = :TARIFA, TRANSPORTEINCLUIDO = :TRANSPORTEINCLUIDO, "
    "CLIENTEFUTURO = :CLIENTEFUTURO, COMISION = :COMISION, CLIENTEX = :CLIENTEX, "
    "DTOTOTALPIEFACTURA = :DTOTOTALPIEFACTURA, FECHAALTACLIENTE = :FECHAALTACLIENTE, "
    "APLICARDTOSOBREIVA = :APLICARDTOSOBREIVA, APLICARFINCSOBREIVA = :APLICARFINCSOBREIVA, "
    "FORMAPAGO = :FORMAPAGO, CARTERA = :CARTERA, REGIMENIVA = :REGIMENIVA, MONEDA = :MONEDA, "
    "AGENTEVENTA = :AGENTEVENTA where (IDCLIENTES = :OLD_IDCLIENTES) ";

struct Defectos {
    int32_t formaPago = 0, cartera = 0, moneda = 0, regimenIva = 0, tarifa = 0;
};

// The bank data of the client go to its principal collection address; only that row changes,
// and a client without one changes nothing.
void DomicilioCobro(TDatos& d, int32_t cliente, const Campos& c) {
    IBSQL& s = Auxiliar(d, kDomicilioCobroCliente);
    Parametros p(s);
    p.Entero("ParCLIENTE", cliente);
    p.Texto("ParNOMBRE", Primeros(c.Texto("CNBRBCO"), 35));
    p.Texto("ParDIRECCION", Primeros(c.Texto("CDIRBCO"), 35));
    p.Texto("ParLOCALIDAD", Primeros(c.Texto("CPOBBCO"), 35));
    p.Texto("ParPROVINCIA", Primeros(c.Texto("CPROVBCO"), 25)); // no province-name lookup here
    p.Texto("ParPAIS", Primeros(c.Texto("CNACBCO"), 25));       // nor the "ESPA" rule
    p.Texto("ParTELEFONO1", Primeros(c.Texto("CTFOBCO"), 15));
    p.Texto("ParFAX", Primeros(c.Texto("CFAXBCO"), 15));
    // The source has no postal code for the bank: its province field goes there whole.
    p.Texto("ParCODIGOPOSTAL", c.Texto("CPROVBCO"));
    p.Texto("ParCODIGOBANCO", c.Texto("CENTIDAD"));
    p.Texto("ParCODIGOSUCURSAL", c.Texto("CAGENCIA"));
    p.Texto("ParNUMEROCUENTA", c.Texto("CCUENTA"));
    s.ExecQuery();
}

} // namespace

const char* const kDomicilioCobroCliente =
    "UPDATE DomiciliosCobro SET NOMBRE = :ParNOMBRE, DIRECCION = :ParDIRECCION, LOCALIDAD = "
    ":ParLOCALIDAD, CODIGOPOSTAL = :ParCODIGOPOSTAL, PROVINCIA = :ParPROVINCIA, PAIS = :ParPAIS, "
    "TELEFONO1 = :ParTELEFONO1, FAX = :ParFAX, CODIGOBANCO = :ParCODIGOBANCO, CODIGOSUCURSAL = "
    ":ParCODIGOSUCURSAL, NUMEROCUENTA = :ParNUMEROCUENTA WHERE (CLIENTE = :ParCLIENTE) AND "
    "(DomicilioPrincipal = 1) ";

Traspaso Clientes(TDatos& d) {
    auto def = std::make_shared<Defectos>();
    return {
        .consulta = &d.qClientes(),
        .tabla = "CLIENTES",
        .id = "IDCLIENTES",
        .campoCodigo = "CCODCLI",
        // Searched as it is written, so that a code wider than the column is found again.
        .codigo = [](const Campos& c) { return Primeros(c.Texto("CCODCLI"), 7); },
        .orden = Orden::TransaccionYTextosAntesDelBucle,
        .progreso = "Actualizando Clientes",
        .resumen = {"Clientes Añadidos: ", ",   Actualizados: "},
        .insert = kInsert,
        .update = kUpdate,
        .insertDevuelveId = true,
        .defectos = {{"SELECT first 1 idformaspago, cartera from formaspago",
                      {&def->formaPago, &def->cartera}},
                     {"SELECT Max(idmonedas) as idmonedas from monedas", {&def->moneda}},
                     {"SELECT first 1 idregimenesiva from regimenesiva", {&def->regimenIva}},
                     {"SELECT first 1 idtarifas from tarifas", {&def->tarifa}}},
        .rellenar =
            [&d, def](Parametros& p, const Campos& c, bool) {
                p.Texto("CODIGO", Primeros(c.Texto("CCODCLI"), 7));
                p.Texto("NOMBRE", Primeros(c.Texto("CNOMCLI"), 50));
                p.Texto("RAZONSOCIAL", Primeros(c.Texto("CNOMCLI"), 35));
                p.Texto("DIRECCION", c.Texto("CDIRCLI"));
                p.Texto("LOCALIDAD", Primeros(c.Texto("CPOBCLI"), 35));
                p.Texto("CODIGOPOSTAL", c.Texto("CPTLCLI"));
                p.Texto("PROVINCIA", d.NombreProvincia(c.Texto("CCODPROV")));
                p.Texto("PAIS", Pais(c.Texto("CNACCLI")));
                p.Texto("TELEFONO1", Primeros(c.Texto("CTFO1CLI"), 15));
                p.Texto("TELEFONO2", Primeros(c.Texto("CTFO2CLI"), 15));
                p.Texto("FAX", Primeros(c.Texto("CFAXCLI"), 15));
                p.Texto("EMAIL1", c.Texto("EMAIL"));
                p.Texto("NIF", Primeros(c.Texto("CDNICIF"), 12));
                p.Entero("CLIENTEFUTURO", 0);
                p.Simple("DESCUENTO1", c.Numero("NDTOESP"));
                p.Simple("DESCUENTO2", 0);
                p.Simple("COMISION", 0);
                p.Simple("RIESGOCONCEDIDO", c.Numero("NRIESGO"));
                p.EnteroONulo("DIAFIJOPAGO1", DiaFijo(c.Entero("NDIA1PAGO")));
                p.EnteroONulo("DIAFIJOPAGO2", DiaFijo(c.Entero("NDIA2PAGO")));
                p.EnteroONulo("DIAFIJOPAGO3", DiaFijo(c.Entero("NDIA3PAGO")));
                p.Texto("CUENTACONTABLE", c.Texto("CSUBCTA"));
                p.Nulo("REFERENCIABLOQUEO");
                p.Entero("ALBARANVALORADO", 0);
                p.Entero("FACTURAACUMULADA", 0);
                p.Entero("TRANSPORTEINCLUIDO", 0);
                p.Entero("COPIASFACTURA", c.Entero("NCOPFAC"));
                p.Fecha("FECHAALTACLIENTE", Timestamp::Now());
                p.Entero("APLICARDTOSOBREIVA", 0);
                p.Entero("APLICARFINCSOBREIVA", 0);
                p.Entero("CLIENTEX", 0);
                p.Simple("DTOTOTALPIEFACTURA", 0);
                p.Entero("TARIFA", def->tarifa);
                p.Entero("FORMAPAGO", d.FormaPagoODefecto(c.Texto("CCODPAGO"), def->formaPago));
                p.Entero("CARTERA", def->cartera);
                p.Entero("GRUPOEMPRESAS", 1);
                p.Entero("REGIMENIVA", def->regimenIva);
                p.Entero("MONEDA", def->moneda);
                p.Entero("FACTURAAGRUPADA", 1);
                p.Entero("FACTURAPORALBARAN", 0);
                int32_t agente = d.BuscarIdAgenteVenta(Primeros(c.Texto("CCODAGE"), 4));
                p.EnteroONulo("AGENTEVENTA",
                              agente ? std::optional<int32_t>(agente) : std::nullopt);
            },
        .despues = {[&d](int32_t id, const Campos& c) { DomicilioCobro(d, id, c); }},
    };
}
