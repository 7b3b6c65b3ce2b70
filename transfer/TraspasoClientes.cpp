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

} // namespace

const char* const kDomicilioCobroCliente =
    "UPDATE DomiciliosCobro SET NOMBRE = :ParNOMBRE, DIRECCION = :ParDIRECCION, LOCALIDAD = "
    ":ParLOCALIDAD, CODIGOPOSTAL = :ParCODIGOPOSTAL, PROVINCIA = :ParPROVINCIA, PAIS = :ParPAIS, "
    "TELEFONO1 = :ParTELEFONO1, FAX = :ParFAX, CODIGOBANCO = :ParCODIGOBANCO, CODIGOSUCURSAL = "
    ":ParCODIGOSUCURSAL, NUMEROCUENTA = :ParNUMEROCUENTA WHERE (CLIENTE = :ParCLIENTE) AND "
    "(DomicilioPrincipal = 1) ";

Traspaso Clientes(TDatos& d) {
    auto def = std::make_shared<Defectos>();
    auto defecto = [def](int32_t Defectos::*campo) {
        return Calculo([def, campo](const Fuente&) -> Valor { return (*def).*campo; });
    };
    return {
        .consulta = &d.qClientes(),
        .tabla = "CLIENTES",
        .id = "IDCLIENTES",
        .campoCodigo = "CCODCLI",
        // Searched as it is written, so that a code wider than the column is found again.
        .codigo = [](const Campos& c) { return Primeros(c.Texto("CCODCLI"), 7); },
        .nombre = "Clientes",
        .resumen = {"Clientes Añadidos: ", ",   Actualizados: "},
        .insert = kInsert,
        .update = kUpdate,
        .defectos = {{"SELECT first 1 idformaspago, cartera from formaspago",
                      {&def->formaPago, &def->cartera}},
                     {"SELECT Max(idmonedas) as idmonedas from monedas", {&def->moneda}},
                     {"SELECT first 1 idregimenesiva from regimenesiva", {&def->regimenIva}},
                     {"SELECT first 1 idtarifas from tarifas", {&def->tarifa}}},
        .consultadas = {"FORMASPAGO", "AGENTESVENTA"},
        .lineas =
            {
                {"CODIGO", Campo("CCODCLI", 7)},
                {"NOMBRE", Campo("CNOMCLI", 50)},
                {"RAZONSOCIAL", Campo("CNOMCLI", 35)},
                {"DIRECCION", Campo("CDIRCLI")},
                {"LOCALIDAD", Campo("CPOBCLI", 35)},
                {"CODIGOPOSTAL", Campo("CPTLCLI")},
                {"PROVINCIA",
                 [](const Fuente& f) -> Valor {
                     return f.b.NombreProvincia(f.c.Texto("CCODPROV"));
                 }},
                {"PAIS", [](const Fuente& f) -> Valor { return Pais(f.c.Texto("CNACCLI")); }},
                {"TELEFONO1", Campo("CTFO1CLI", 15)},
                {"TELEFONO2", Campo("CTFO2CLI", 15)},
                {"FAX", Campo("CFAXCLI", 15)},
                {"EMAIL1", Campo("EMAIL")},
                {"NIF", Campo("CDNICIF", 12)},
                {"CLIENTEFUTURO", Fijo(0)},
                {"DESCUENTO1", Decimal("NDTOESP")},
                {"DESCUENTO2", FijoDecimal(0)},
                {"COMISION", FijoDecimal(0)},
                {"RIESGOCONCEDIDO", Decimal("NRIESGO")},
                {"DIAFIJOPAGO1",
                 [](const Fuente& f) { return EnteroONulo(DiaFijo(f.c.Entero("NDIA1PAGO"))); }},
                {"DIAFIJOPAGO2",
                 [](const Fuente& f) { return EnteroONulo(DiaFijo(f.c.Entero("NDIA2PAGO"))); }},
                {"DIAFIJOPAGO3",
                 [](const Fuente& f) { return EnteroONulo(DiaFijo(f.c.Entero("NDIA3PAGO"))); }},
                {"CUENTACONTABLE", Campo("CSUBCTA")},
                {"REFERENCIABLOQUEO", Nulo()},
                {"ALBARANVALORADO", Fijo(0)},
                {"FACTURAACUMULADA", Fijo(0)},
                {"TRANSPORTEINCLUIDO", Fijo(0)},
                {"COPIASFACTURA", [](const Fuente& f) -> Valor { return f.c.Entero("NCOPFAC"); }},
                {"FECHAALTACLIENTE", Ahora()},
                {"APLICARDTOSOBREIVA", Fijo(0)},
                {"APLICARFINCSOBREIVA", Fijo(0)},
                {"CLIENTEX", Fijo(0)},
                {"DTOTOTALPIEFACTURA", FijoDecimal(0)},
                {"TARIFA", defecto(&Defectos::tarifa)},
                {"FORMAPAGO",
                 [def](const Fuente& f) -> Valor {
                     return f.b.FormaPagoODefecto(f.c.Texto("CCODPAGO"), def->formaPago);
                 }},
                {"CARTERA", defecto(&Defectos::cartera)},
                {"GRUPOEMPRESAS", Fijo(1)},
                {"REGIMENIVA", defecto(&Defectos::regimenIva)},
                {"MONEDA", defecto(&Defectos::moneda)},
                {"FACTURAAGRUPADA", Fijo(1)},
                {"FACTURAPORALBARAN", Fijo(0)},
                {"AGENTEVENTA",
                 [](const Fuente& f) {
                     return EnteroONulo(f.b.IdAgenteVenta(Primeros(f.c.Texto("CCODAGE"), 4)));
                 }},
            },
        // The bank data of the client go to its principal collection address; only that row
        // changes, and a client without one changes nothing.
        .seguimientos =
            {
                {kDomicilioCobroCliente,
                 "ParCLIENTE",
                 {
                     {"ParNOMBRE", Campo("CNBRBCO", 35)},
                     {"ParDIRECCION", Campo("CDIRBCO", 35)},
                     {"ParLOCALIDAD", Campo("CPOBBCO", 35)},
                     // No province-name lookup here, nor the "ESPA" rule.
                     {"ParPROVINCIA", Campo("CPROVBCO", 25)},
                     {"ParPAIS", Campo("CNACBCO", 25)},
                     {"ParTELEFONO1", Campo("CTFOBCO", 15)},
                     {"ParFAX", Campo("CFAXBCO", 15)},
                     // The source has no postal code for the bank: its province field goes
                     // there whole.
                     {"ParCODIGOPOSTAL", Campo("CPROVBCO")},
                     {"ParCODIGOBANCO", Campo("CENTIDAD")},
                     {"ParCODIGOSUCURSAL", Campo("CAGENCIA")},
                     {"ParNUMEROCUENTA", Campo("CCUENTA")},
                 },
                 "domicilio de cobro"},
            },
    };
}
