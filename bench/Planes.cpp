#include "Planes.h"

#include "Generador.h"
#include "Reglas.h"
#include "TDatos.h"
#include "Traspasos.h"
#include "Utf8.h"

#include <ctime>
#include <memory>
#include <stdexcept>

namespace {

std::unordered_map<std::string, std::string> NombresDeProvincia() {
    std::unordered_map<std::string, std::string> m;
    for (const Fila& f : generador::Provincias())
        m[generador::Campo(f, "CCODPROV")] = utf8::FirstChars(generador::Campo(f, "CNOMPROV"), 25);
    return m;
}

double Numero(const Fila& f, const char* c) {
    std::string v = generador::Campo(f, c);
    return v.empty() ? 0 : std::stod(v);
}

int32_t Entero(const Fila& f, const char* c) {
    std::string v = generador::Campo(f, c);
    return v.empty() ? 0 : std::stoi(v);
}

std::string Texto(const Fila& f, const char* c) {
    return generador::Campo(f, c);
}

Plan Agentes(TDatos& d, int n, const Referencias& r) {
    auto prov =
        std::make_shared<std::unordered_map<std::string, std::string>>(NombresDeProvincia());
    Traspaso t = ::Agentes(d);
    Plan p{t.tabla, t.id, t.insert, t.update, n, {}, {}, {}, {}};
    p.codigo = [n](int i) { return generador::CodigoAgente(i, n); };
    p.rellenar = [n, prov, r](Valores& v, int i, bool alta) {
        Fila f = generador::Agente(i, n);
        v.Texto("CODIGO", Primeros(Texto(f, "CCODAGE"), 4));
        std::string ape = alta ? Recortado(Texto(f, "CAPEAGE")) : Texto(f, "CAPEAGE");
        v.Texto("NOMBRE", Primeros(Recortado(Texto(f, "CNBRAGE")) + " " + ape, 35));
        v.Texto("DIRECCION", Primeros(Texto(f, "CDIRAGE"), 35));
        v.Texto("LOCALIDAD", Primeros(Texto(f, "CPOBAGE"), 35));
        v.Texto("CODIGOPOSTAL", Texto(f, "CPTLAGE"));
        v.Texto("PROVINCIA", (*prov)[Texto(f, "CCODPROV")]);
        v.Texto("PAIS", Pais(Texto(f, "CNACAGE")));
        v.Texto("TELEFONO1", Primeros(Texto(f, "CTFOAGE"), 15));
        v.Texto("FAX", Primeros(Texto(f, "CFAXAGE"), 15));
        v.Texto("EMAIL1", Texto(f, "EMAIL"));
        v.Texto("NIF", Primeros(Texto(f, "CDNINIF"), 12));
        if (alta) v.Simple("PORCENTAJECOMISION", 0);
        v.Simple("IMPORTECOMISION", Numero(f, "NCOM1"));
        v.Entero("COMISIONFIJA", 0);
        if (alta) v.Nulo("CUENTACONTABLE");
        v.Entero("COMISIONESAGENTE", 0);
        v.Ahora("FECHAALTA");
        v.Entero("EMPRESA", 1);
        v.Entero("IVA", r.iva);
    };
    return p;
}

int32_t FormaPago(const Referencias& r, const std::string& codigo) {
    auto it = r.formasPago.find(Primeros(codigo, 4));
    return it != r.formasPago.end() ? it->second : r.formaPago;
}

Plan Proveedores(TDatos& d, int n, const Referencias& r) {
    auto prov =
        std::make_shared<std::unordered_map<std::string, std::string>>(NombresDeProvincia());
    Traspaso t = ::Proveedores(d);
    Plan p{t.tabla, t.id, t.insert, t.update, n, {}, {}, {}, {}};
    p.codigo = [](int i) { return Primeros(Texto(generador::Proveedor(i), "CCODPRO"), 7); };
    p.rellenar = [prov, r](Valores& v, int i, bool) {
        Fila f = generador::Proveedor(i);
        v.Texto("CODIGO", Primeros(Texto(f, "CCODPRO"), 7));
        v.Texto("NOMBRE", Primeros(Texto(f, "CNOMPRO"), 35));
        v.Texto("RAZONSOCIAL", Primeros(Texto(f, "CNOMPRO"), 35));
        v.Texto("DIRECCION", Texto(f, "CDIRPRO"));
        v.Texto("LOCALIDAD", Primeros(Texto(f, "CPOBPRO"), 35));
        v.Texto("PROVINCIA", (*prov)[Texto(f, "CCODPROV")]);
        v.Texto("TELEFONO1", Primeros(Texto(f, "CTFO1PRO"), 15));
        v.Texto("TELEFONO2", Primeros(Texto(f, "CTFO2PRO"), 15));
        v.Texto("FAX", Primeros(Texto(f, "CFAX"), 15));
        v.Texto("CODIGOPOSTAL", Texto(f, "CPTLPRO"));
        v.Texto("NIF", Primeros(Texto(f, "CNIFDNI"), 12));
        v.Texto("EMAIL1", Texto(f, "EMAIL"));
        v.Texto("PAIS", Pais(Texto(f, "CNACPRO")));
        v.Texto("NOMBREBANCO", Primeros(Texto(f, "CNBRBCO"), 35));
        v.Texto("DIRECCIONBANCO", Primeros(Texto(f, "CDIRBCO"), 35));
        v.Texto("LOCALIDADBANCO", Primeros(Texto(f, "CPOBBCO"), 35));
        v.Texto("CODIGOBANCO", Texto(f, "CENTIDAD"));
        v.Texto("CODIGOSUCURSAL", Texto(f, "CAGENCIA"));
        v.TextoONulo(
            "DC", DigitosControl(Texto(f, "CENTIDAD"), Texto(f, "CAGENCIA"), Texto(f, "CCUENTA")));
        v.Texto("NUMEROCUENTA", Texto(f, "CCUENTA"));
        v.Simple("PORCENTAJERETENCIONIRPF", Numero(f, "NIRPFA"));
        v.Texto("CUENTACONTABLE", Texto(f, "CSUBCTA"));
        v.Texto("REPRESENTANTENOMBRE", Primeros(Texto(f, "CPERCONT"), 35));
        v.Entero("GRUPOEMPRESAS", 1);
        v.Entero("TARIFA", r.tarifa);
        v.Entero("MONEDA", r.moneda);
        v.Entero("FORMAPAGO", FormaPago(r, Texto(f, "CCODPAGO")));
        v.Entero("CARTERA", r.cartera);
        v.Entero("REGIMENIVA", r.regimenIva);
    };
    return p;
}

Plan Clientes(TDatos& d, int n, const Referencias& r) {
    auto prov =
        std::make_shared<std::unordered_map<std::string, std::string>>(NombresDeProvincia());
    Traspaso t = ::Clientes(d);
    Plan p{t.tabla, t.id, t.insert, t.update, n, {}, {}, {}, {}};
    p.codigo = [n](int i) { return Primeros(Texto(generador::Cliente(i, n), "CCODCLI"), 7); };
    p.rellenar = [n, prov, r](Valores& v, int i, bool) {
        Fila f = generador::Cliente(i, n);
        v.Texto("CODIGO", Primeros(Texto(f, "CCODCLI"), 7));
        v.Texto("NOMBRE", Primeros(Texto(f, "CNOMCLI"), 50));
        v.Texto("RAZONSOCIAL", Primeros(Texto(f, "CNOMCLI"), 35));
        v.Texto("DIRECCION", Texto(f, "CDIRCLI"));
        v.Texto("LOCALIDAD", Primeros(Texto(f, "CPOBCLI"), 35));
        v.Texto("CODIGOPOSTAL", Texto(f, "CPTLCLI"));
        v.Texto("PROVINCIA", (*prov)[Texto(f, "CCODPROV")]);
        v.Texto("PAIS", Pais(Texto(f, "CNACCLI")));
        v.Texto("TELEFONO1", Primeros(Texto(f, "CTFO1CLI"), 15));
        v.Texto("TELEFONO2", Primeros(Texto(f, "CTFO2CLI"), 15));
        v.Texto("FAX", Primeros(Texto(f, "CFAXCLI"), 15));
        v.Texto("EMAIL1", Texto(f, "EMAIL"));
        v.Texto("NIF", Primeros(Texto(f, "CDNICIF"), 12));
        v.Entero("CLIENTEFUTURO", 0);
        v.Simple("DESCUENTO1", Numero(f, "NDTOESP"));
        v.Simple("DESCUENTO2", 0);
        v.Simple("COMISION", 0);
        v.Simple("RIESGOCONCEDIDO", Numero(f, "NRIESGO"));
        v.EnteroONulo("DIAFIJOPAGO1", DiaFijo(Entero(f, "NDIA1PAGO")));
        v.EnteroONulo("DIAFIJOPAGO2", DiaFijo(Entero(f, "NDIA2PAGO")));
        v.EnteroONulo("DIAFIJOPAGO3", DiaFijo(Entero(f, "NDIA3PAGO")));
        v.Texto("CUENTACONTABLE", Texto(f, "CSUBCTA"));
        v.Nulo("REFERENCIABLOQUEO");
        v.Entero("ALBARANVALORADO", 0);
        v.Entero("FACTURAACUMULADA", 0);
        v.Entero("TRANSPORTEINCLUIDO", 0);
        v.Entero("COPIASFACTURA", Entero(f, "NCOPFAC"));
        v.Ahora("FECHAALTACLIENTE");
        v.Entero("APLICARDTOSOBREIVA", 0);
        v.Entero("APLICARFINCSOBREIVA", 0);
        v.Entero("CLIENTEX", 0);
        v.Simple("DTOTOTALPIEFACTURA", 0);
        v.Entero("TARIFA", r.tarifa);
        v.Entero("FORMAPAGO", FormaPago(r, Texto(f, "CCODPAGO")));
        v.Entero("CARTERA", r.cartera);
        v.Entero("GRUPOEMPRESAS", 1);
        v.Entero("REGIMENIVA", r.regimenIva);
        v.Entero("MONEDA", r.monedaMaxima);
        v.Entero("FACTURAAGRUPADA", 1);
        v.Entero("FACTURAPORALBARAN", 0);
        auto agente = r.agentes.find(Primeros(Texto(f, "CCODAGE"), 4));
        v.EnteroONulo("AGENTEVENTA", agente != r.agentes.end()
                                         ? std::optional<int32_t>(agente->second)
                                         : std::nullopt);
    };
    p.despues.push_back({kDomicilioCobroCliente, "PARCLIENTE", [n](Valores& v, int i) {
                             Fila f = generador::Cliente(i, n);
                             v.Texto("PARNOMBRE", Primeros(Texto(f, "CNBRBCO"), 35));
                             v.Texto("PARDIRECCION", Primeros(Texto(f, "CDIRBCO"), 35));
                             v.Texto("PARLOCALIDAD", Primeros(Texto(f, "CPOBBCO"), 35));
                             v.Texto("PARPROVINCIA", Primeros(Texto(f, "CPROVBCO"), 25));
                             v.Texto("PARPAIS", Primeros(Texto(f, "CNACBCO"), 25));
                             v.Texto("PARTELEFONO1", Primeros(Texto(f, "CTFOBCO"), 15));
                             v.Texto("PARFAX", Primeros(Texto(f, "CFAXBCO"), 15));
                             v.Texto("PARCODIGOPOSTAL", Texto(f, "CPROVBCO"));
                             v.Texto("PARCODIGOBANCO", Texto(f, "CENTIDAD"));
                             v.Texto("PARCODIGOSUCURSAL", Texto(f, "CAGENCIA"));
                             v.Texto("PARNUMEROCUENTA", Texto(f, "CCUENTA"));
                         }});
    return p;
}

Plan Familias(TDatos& d, int n) {
    Traspaso t = ::Familias(d);
    Plan p{t.tabla, t.id, t.insert, t.update, generador::Familias(n), {}, {}, {}, {}};
    p.codigo = [](int i) { return Primeros(generador::CodigoFamilia(i), 4); };
    p.rellenar = [](Valores& v, int i, bool) {
        Fila f = generador::Familia(i);
        v.Texto("CODIGO", Primeros(Texto(f, "CCODFAM"), 4));
        v.Texto("NOMBRE", Texto(f, "CNOMFAM"));
    };
    return p;
}

std::string NombreLargo(int i) {
    std::string s;
    for (int l = 0; l < generador::Comentarios(i); ++l)
        s += Texto(generador::Comentario(i, l), "CCOMENT");
    return s;
}

Plan Articulos(TDatos& d, int n) {
    Traspaso t = ::Articulos(d);
    Plan p{t.tabla, t.id, t.insert, t.update, n, {}, {}, {}, {}};
    p.codigo = [](int i) { return generador::CodigoArticulo(i); };
    p.familia = [n](int i) { return Primeros(Texto(generador::Articulo(i, n), "CCODFAM"), 4); };
    p.rellenar = [n](Valores& v, int i, bool alta) {
        Fila f = generador::Articulo(i, n);
        double coste = Numero(f, "NCOSTEPROM");
        v.Texto("CODIGO", Texto(f, "CREF"));
        v.Texto("NOMBRE", Primeros(SinIniciales(Texto(f, "CDETALLE")), 50));
        v.Texto("NOMBRELARGO", Primeros(NombreLargo(i), 1024));
        v.Texto("CODIGOEAN", Texto(f, "CCODEBAR"));
        v.Texto("PARTNUMBER", Texto(f, "CCODPRO"));
        v.Texto("REFERENCIAPROVEEDOR", Texto(f, "CREFPROV"));
        v.Texto("TEXTOTICKET", Texto(f, "CDES_TAC"));
        v.Entero("COMPUESTO", Texto(f, "LKIT") == "T" ? 1 : 0);
        v.Simple("PESOUNIDAD", Numero(f, "NTARA"));
        v.Simple("UNIDADESCAJA", Numero(f, "NUNIDADES"));
        for (const char* c : {"PRECIOMEDIOCOSTE", "PRECIOULTIMACOMPRA", "PRECIOMEDIOCOSTEESTANDARD",
                              "PRECIOMEDIOCOSTEINICIAL"})
            v.Simple(c, coste);
        v.Texto("CUENTACONTABLE", Texto(f, "CSCTAVTAS"));
        v.Texto("CUENTACONTABLECOMPRAS", Texto(f, "CSCTACPRAS"));
        v.Entero("AFECTASTOCK", Texto(f, "LCTRLSTOCK") == "T" ? 1 : 0);
        v.Entero("TIPOCODIGOBARRAS", TipoCodigoBarras(Entero(f, "NTIPOCODE")));
        v.Nulo("FAMILIA"); // the family's identifier is set by the loop
        if (!alta) return;
        // What only a new article gets: the transfer's constants.
        for (const char* c :
             {"NUMEROSSERIE", "LOTES", "USOCOMPRA", "USOVENTA", "GRUPOEMPRESAS", "IVA", "CONCEPTO"})
            v.Entero(c, 1);
        for (const char* c : {"DOBLESTOCK",
                              "GASTOMEDIO",
                              "CANTIDADMINIMOPEDIDO",
                              "DESCATALOGADO",
                              "PAGINACATALOGO",
                              "MESESGARANTIACOMPRA",
                              "MESESGARANTIAVENTA",
                              "ARTICULOSVARIOS",
                              "CANTIDADPRODUCIDA",
                              "BLOQUEADO",
                              "PUNTOVERDESN",
                              "ESARTICULOPUNTOVERDE",
                              "PUNTOVERDEINCLUIDO",
                              "PRECIOPUNTOVERDE",
                              "VOLUMEN",
                              "LARGO",
                              "ANCHO",
                              "ALTO",
                              "UNIDADES",
                              "PUBLICAR_ARTICULO_WEB",
                              "OFERTA_WEB",
                              "NOVEDAD_WEB",
                              "PVP_OFERTA_WEB"})
            v.Entero(c, 0);
        v.Simple("UNIDADESPAQUETE", 0);
        for (const char* c : {"UNIDADMEDIDAVENTAS", "GASTOMEDIOINICIAL", "ARTICULOPUNTOVERDE",
                              "TIPOARTICULO", "PROVEEDORHABITUAL", "ENVASEASOCIADO", "GAMA",
                              "FABRICANTE", "MARCA", "ALMACENEXCLUSIVO"})
            v.Nulo(c);
        for (int k = 1; k <= 10; ++k)
            v.Nulo("CARACTERISTICAARTICULO" + std::to_string(k));
        for (const char* c :
             {"FECHAULTIMACOMPRA", "FECHAULTIMAVENTA", "FECHAALTA", "FECHAMODIFICACION"})
            v.Ahora(c);
        std::tm cero{};
        cero.tm_year = -1; // 30/12/1899
        cero.tm_mon = 11;
        cero.tm_mday = 30;
        ISC_TIMESTAMP ts;
        isc_encode_timestamp(&cero, &ts);
        v.Fecha("FECHA_INICIO_OFERTA_WEB", ts);
        v.Fecha("FECHA_FIN_OFERTA_WEB", ts);
        v.Texto("TIPODIMENSIONARTICULO", "A");
    };
    p.despues.push_back({kPreciosArticulo, "PARARTICULO", [n](Valores& v, int i) {
                             Fila f = generador::Articulo(i, n);
                             v.Simple("PARPVP", Numero(f, "NPVP"));
                             v.Simple("PARPVPCONIVA", Numero(f, "NPCONIVA"));
                             v.Simple("PARBENEFICIO", Numero(f, "NBENEFPVP"));
                         }});
    p.despues.push_back({kStockArticulo, "PARARTICULO", [n](Valores& v, int i) {
                             Fila f = generador::Articulo(i, n);
                             v.Simple("STOCKMAXIMO", Numero(f, "NSTOCKMAX"));
                             v.Simple("STOCKMINIMO", Numero(f, "NSTOCKMIN"));
                             v.Simple("STOCKACTUAL", Numero(generador::Stock(i, 1), "NSTOCK"));
                         }});
    return p;
}

} // namespace

std::vector<Plan> Planes(const std::string& traspaso, TDatos& datos, int n, const Referencias& r) {
    if (traspaso == "agentes") return {Agentes(datos, n, r)};
    if (traspaso == "proveedores") return {Proveedores(datos, n, r)};
    if (traspaso == "clientes") return {Clientes(datos, n, r)};
    if (traspaso == "articulos") return {Familias(datos, n), Articulos(datos, n)};
    throw std::runtime_error("unknown transfer " + traspaso);
}
