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
    return {
        .consulta = &d.qProveedores(),
        .tabla = "PROVEEDORES",
        .id = "IDPROVEEDORES",
        .campoCodigo = "CCODPRO",
        // Searched as it is written, so that a code wider than the column is found again.
        .codigo = [](const Campos& c) { return Primeros(c.Texto("CCODPRO"), 7); },
        .orden = Orden::TransaccionYTextosAntesDelBucle,
        .progreso = "Actualizando Proveedores",
        .resumen = {"Proveedores Añadidos: ", ",   Actualizados: "},
        .insert = kInsert,
        .update = kUpdate,
        .defectos = {{"SELECT first 1 idformaspago, cartera from formaspago",
                      {&def->formaPago, &def->cartera}},
                     {"SELECT first 1 idmonedas from monedas", {&def->moneda}},
                     {"SELECT first 1 idregimenesiva from regimenesiva", {&def->regimenIva}},
                     {"SELECT first 1 idtarifas from tarifas", {&def->tarifa}}},
        .rellenar =
            [&d, def](Parametros& p, const Campos& c, bool) {
                p.Texto("CODIGO", Primeros(c.Texto("CCODPRO"), 7));
                p.Texto("NOMBRE", Primeros(c.Texto("CNOMPRO"), 35));
                p.Texto("RAZONSOCIAL", Primeros(c.Texto("CNOMPRO"), 35));
                p.Texto("DIRECCION", c.Texto("CDIRPRO"));
                p.Texto("LOCALIDAD", Primeros(c.Texto("CPOBPRO"), 35));
                p.Texto("PROVINCIA", d.NombreProvincia(c.Texto("CCODPROV")));
                p.Texto("TELEFONO1", Primeros(c.Texto("CTFO1PRO"), 15));
                p.Texto("TELEFONO2", Primeros(c.Texto("CTFO2PRO"), 15));
                p.Texto("FAX", Primeros(c.Texto("CFAX"), 15));
                p.Texto("CODIGOPOSTAL", c.Texto("CPTLPRO"));
                p.Texto("NIF", Primeros(c.Texto("CNIFDNI"), 12));
                p.Texto("EMAIL1", c.Texto("EMAIL"));
                p.Texto("PAIS", Pais(c.Texto("CNACPRO")));
                p.Texto("NOMBREBANCO", Primeros(c.Texto("CNBRBCO"), 35));
                p.Texto("DIRECCIONBANCO", Primeros(c.Texto("CDIRBCO"), 35));
                p.Texto("LOCALIDADBANCO", Primeros(c.Texto("CPOBBCO"), 35));
                p.Texto("CODIGOBANCO", c.Texto("CENTIDAD"));
                p.Texto("CODIGOSUCURSAL", c.Texto("CAGENCIA"));
                p.TextoONulo("DC", DigitosControl(c.Texto("CENTIDAD"), c.Texto("CAGENCIA"),
                                                  c.Texto("CCUENTA")));
                p.Texto("NUMEROCUENTA", c.Texto("CCUENTA"));
                p.Simple("PORCENTAJERETENCIONIRPF", c.Numero("NIRPFA"));
                p.Texto("CUENTACONTABLE", c.Texto("CSUBCTA"));
                p.Texto("REPRESENTANTENOMBRE", Primeros(c.Texto("CPERCONT"), 35));
                p.Entero("GRUPOEMPRESAS", 1);
                p.Entero("TARIFA", def->tarifa);
                p.Entero("MONEDA", def->moneda);
                p.Entero("FORMAPAGO", d.FormaPagoODefecto(c.Texto("CCODPAGO"), def->formaPago));
                p.Entero("CARTERA", def->cartera);
                p.Entero("REGIMENIVA", def->regimenIva);
            },
    };
}
