// Suppliers: proveedo -> PROVEEDORES.
#include "Reglas.h"
#include "TDatos.h"
#include "Traspasos.h"

#include <memory>

namespace {

const char* const kInsert =
    "insert into PROVEEDORES(IDPROVEEDORES, CODIGO, NOMBRE, RAZONSOCIAL, DIRECCION, LOCALIDAD, "
    "CODIGOPOSTAL, PROVINCIA, PAIS, TELEFONO1, TELEFONO2, FAX, EMAIL1, NIF, "
    "PORCENTAJERETENCIONIRPF, NOMBREBANCO, DIRECCIONBANCO, LOCALIDADBANCO, CODIGOBANCO, "
    "CODIGOSUCURSAL, DC, NUMEROCUENTA, REPRESENTANTENOMBRE, CUENTACONTABLE, GRUPOEMPRESAS, "
    "TARIFA, FORMAPAGO, CARTERA, REGIMENIVA, MONEDA) values(GEN_ID(GENIDPROVEEDORES, 1), "
    ":CODIGO, :NOMBRE, :RAZONSOCIAL, :DIRECCION, :LOCALIDAD, :CODIGOPOSTAL, :PROVINCIA, :PAIS, "
    ":TELEFONO1, :TELEFONO2, :FAX, :EMAIL1, :NIF, :PORCENTAJERETENCIONIRPF, :NOMBREBANCO, "
    ":DIRECCIONBANCO, :LOCALIDADBANCO, :CODIGOBANCO, :CODIGOSUCURSAL, :DC, :NUMEROCUENTA, "
    ":REPRESENTANTENOMBRE, :CUENTACONTABLE, :GRUPOEMPRESAS, :TARIFA, :FORMAPAGO, :CARTERA, "
    ":REGIMENIVA, :MONEDA) ";

const char* const kUpdate =
    "update PROVEEDORES set CODIGO = :CODIGO, NOMBRE = :NOMBRE, RAZONSOCIAL = :RAZONSOCIAL, "
    "DIRECCION = :DIRECCION, LOCALIDAD = :LOCALIDAD, CODIGOPOSTAL = :CODIGOPOSTAL, "
    "PROVINCIA = :PROVINCIA, PAIS = :PAIS, TELEFONO1 = :TELEFONO1, TELEFONO2 = :TELEFONO2, "
    "FAX = :FAX, EMAIL1 = :EMAIL1, NIF = :NIF, PORCENTAJERETENCIONIRPF = "
    ":PORCENTAJERETENCIONIRPF, NOMBREBANCO = :NOMBREBANCO, DIRECCIONBANCO = :DIRECCIONBANCO, "
    "LOCALIDADBANCO = :LOCALIDADBANCO, CODIGOBANCO = :CODIGOBANCO, CODIGOSUCURSAL = "
    ":CODIGOSUCURSAL, DC = :DC, NUMEROCUENTA = :NUMEROCUENTA, REPRESENTANTENOMBRE = "
    ":REPRESENTANTENOMBRE, CUENTACONTABLE = :CUENTACONTABLE, GRUPOEMPRESAS = :GRUPOEMPRESAS, "
    "TARIFA = :TARIFA, FORMAPAGO = :FORMAPAGO, CARTERA = :CARTERA, REGIMENIVA = :REGIMENIVA, "
    "MONEDA = :MONEDA where (IDPROVEEDORES = :OLD_IDPROVEEDORES)";

struct Defectos {
    int32_t formaPago = 0, cartera = 0, moneda = 0, regimenIva = 0, tarifa = 0;
};

} // namespace

Traspaso Proveedores(TDatos& d) {
    auto def = std::make_shared<Defectos>();
    auto defecto = [def](int32_t Defectos::*campo) {
        return Calculo([def, campo](const Fuente&) -> Valor { return (*def).*campo; });
    };
    return {
        .consulta = &d.qProveedores(),
        .tabla = "PROVEEDORES",
        .id = "IDPROVEEDORES",
        .campoCodigo = "CCODPRO",
        // Searched as it is written, so that a code wider than the column is found again.
        .codigo = [](const Campos& c) { return Primeros(c.Texto("CCODPRO"), 7); },
        .nombre = "Proveedores",
        .resumen = {"Proveedores Añadidos: ", ",   Actualizados: "},
        .insert = kInsert,
        .update = kUpdate,
        .defectos = {{"SELECT first 1 idformaspago, cartera from formaspago",
                      {&def->formaPago, &def->cartera}},
                     {"SELECT first 1 idmonedas from monedas", {&def->moneda}},
                     {"SELECT first 1 idregimenesiva from regimenesiva", {&def->regimenIva}},
                     {"SELECT first 1 idtarifas from tarifas", {&def->tarifa}}},
        .consultadas = {"FORMASPAGO"},
        .lineas =
            {
                {"CODIGO", Campo("CCODPRO", 7)},
                {"NOMBRE", Campo("CNOMPRO", 35)},
                {"RAZONSOCIAL", Campo("CNOMPRO", 35)},
                {"DIRECCION", Campo("CDIRPRO")},
                {"LOCALIDAD", Campo("CPOBPRO", 35)},
                {"PROVINCIA",
                 [](const Fuente& f) -> Valor {
                     return f.b.NombreProvincia(f.c.Texto("CCODPROV"));
                 }},
                {"TELEFONO1", Campo("CTFO1PRO", 15)},
                {"TELEFONO2", Campo("CTFO2PRO", 15)},
                {"FAX", Campo("CFAX", 15)},
                {"CODIGOPOSTAL", Campo("CPTLPRO")},
                {"NIF", Campo("CNIFDNI", 12)},
                {"EMAIL1", Campo("EMAIL")},
                {"PAIS", [](const Fuente& f) -> Valor { return Pais(f.c.Texto("CNACPRO")); }},
                {"NOMBREBANCO", Campo("CNBRBCO", 35)},
                {"DIRECCIONBANCO", Campo("CDIRBCO", 35)},
                {"LOCALIDADBANCO", Campo("CPOBBCO", 35)},
                {"CODIGOBANCO", Campo("CENTIDAD")},
                {"CODIGOSUCURSAL", Campo("CAGENCIA")},
                {"DC",
                 [](const Fuente& f) -> Valor {
                     return TextoONulo(DigitosControl(f.c.Texto("CENTIDAD"), f.c.Texto("CAGENCIA"),
                                                      f.c.Texto("CCUENTA")));
                 }},
                {"NUMEROCUENTA", Campo("CCUENTA")},
                {"PORCENTAJERETENCIONIRPF", Decimal("NIRPFA")},
                {"CUENTACONTABLE", Campo("CSUBCTA")},
                {"REPRESENTANTENOMBRE", Campo("CPERCONT", 35)},
                {"GRUPOEMPRESAS", Fijo(1)},
                {"TARIFA", defecto(&Defectos::tarifa)},
                {"MONEDA", defecto(&Defectos::moneda)},
                {"FORMAPAGO",
                 [def](const Fuente& f) -> Valor {
                     return f.b.FormaPagoODefecto(f.c.Texto("CCODPAGO"), def->formaPago);
                 }},
                {"CARTERA", defecto(&Defectos::cartera)},
                {"REGIMENIVA", defecto(&Defectos::regimenIva)},
            },
    };
}
