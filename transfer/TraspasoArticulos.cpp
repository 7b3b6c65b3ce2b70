// Articles: articulo -> ARTICULOS, then each article's tariff-1 prices and warehouse-1 stock.
#include "IBSQL.h"
#include "Reglas.h"
#include "SourceQuery.h"
#include "TDatos.h"
#include "Traspasos.h"

namespace {

// The new article's identifier comes back from the insert itself: read from the generator
// afterwards, another connection's article could be taken for ours, and its prices and stock
// overwritten.
const char* const kInsert =
    "insert into ARTICULOS (IDARTICULOS, CODIGO, NOMBRE,NOMBRELARGO, CODIGOEAN, PARTNUMBER, "
    "REFERENCIAPROVEEDOR, TEXTOTICKET, COMPUESTO, NUMEROSSERIE, LOTES, PESOUNIDAD, UNIDADESCAJA, "
    "UNIDADESPAQUETE, UNIDADMEDIDAVENTAS, PRECIOMEDIOCOSTE, PRECIOULTIMACOMPRA, "
    "PRECIOMEDIOCOSTEESTANDARD, PRECIOMEDIOCOSTEINICIAL, FECHAULTIMACOMPRA, FECHAULTIMAVENTA, "
    "DOBLESTOCK, GASTOMEDIO, GASTOMEDIOINICIAL, CANTIDADMINIMOPEDIDO, DESCATALOGADO, "
    "PAGINACATALOGO, MESESGARANTIACOMPRA, MESESGARANTIAVENTA, ARTICULOSVARIOS, "
    "CANTIDADPRODUCIDA, CUENTACONTABLE, CUENTACONTABLECOMPRAS, BLOQUEADO, USOCOMPRA, USOVENTA, "
    "AFECTASTOCK, PUNTOVERDESN, ESARTICULOPUNTOVERDE, PUNTOVERDEINCLUIDO, PRECIOPUNTOVERDE, "
    "ARTICULOPUNTOVERDE, TIPOARTICULO, VOLUMEN, FECHAALTA, FECHAMODIFICACION, "
    "CARACTERISTICAARTICULO1, CARACTERISTICAARTICULO2, CARACTERISTICAARTICULO3, "
    "CARACTERISTICAARTICULO4, CARACTERISTICAARTICULO5, CARACTERISTICAARTICULO6, "
    "CARACTERISTICAARTICULO7, CARACTERISTICAARTICULO8, CARACTERISTICAARTICULO9, "
    "CARACTERISTICAARTICULO10, GRUPOEMPRESAS, PROVEEDORHABITUAL, IVA, FAMILIA, ENVASEASOCIADO, "
    "CONCEPTO, GAMA, FABRICANTE, MARCA, ALMACENEXCLUSIVO, LARGO, ANCHO, ALTO, UNIDADES, "
    "TIPODIMENSIONARTICULO, TIPOCODIGOBARRAS, PUBLICAR_ARTICULO_WEB, OFERTA_WEB, NOVEDAD_WEB, "
    "PVP_OFERTA_WEB, FECHA_INICIO_OFERTA_WEB, FECHA_FIN_OFERTA_WEB)  values "
    "(GEN_ID(GENIDARTICULOS, 1), :CODIGO, :NOMBRE,:NOMBRELARGO, :CODIGOEAN, :PARTNUMBER, "
    ":REFERENCIAPROVEEDOR, :TEXTOTICKET, :COMPUESTO, :NUMEROSSERIE, :LOTES, :PESOUNIDAD, "
    ":UNIDADESCAJA, :UNIDADESPAQUETE, :UNIDADMEDIDAVENTAS, :PRECIOMEDIOCOSTE, "
    ":PRECIOULTIMACOMPRA, :PRECIOMEDIOCOSTEESTANDARD, :PRECIOMEDIOCOSTEINICIAL, "
    ":FECHAULTIMACOMPRA, :FECHAULTIMAVENTA, :DOBLESTOCK, :GASTOMEDIO, :GASTOMEDIOINICIAL, "
    ":CANTIDADMINIMOPEDIDO, :DESCATALOGADO, :PAGINACATALOGO, :MESESGARANTIACOMPRA, "
    ":MESESGARANTIAVENTA, :ARTICULOSVARIOS, :CANTIDADPRODUCIDA, :CUENTACONTABLE, "
    ":CUENTACONTABLECOMPRAS, :BLOQUEADO, :USOCOMPRA, :USOVENTA, :AFECTASTOCK, :PUNTOVERDESN, "
    ":ESARTICULOPUNTOVERDE, :PUNTOVERDEINCLUIDO, :PRECIOPUNTOVERDE, :ARTICULOPUNTOVERDE, "
    ":TIPOARTICULO, :VOLUMEN, :FECHAALTA, :FECHAMODIFICACION, :CARACTERISTICAARTICULO1, "
    ":CARACTERISTICAARTICULO2, :CARACTERISTICAARTICULO3, :CARACTERISTICAARTICULO4, "
    ":CARACTERISTICAARTICULO5, :CARACTERISTICAARTICULO6, :CARACTERISTICAARTICULO7, "
    ":CARACTERISTICAARTICULO8, :CARACTERISTICAARTICULO9, :CARACTERISTICAARTICULO10, "
    ":GRUPOEMPRESAS, :PROVEEDORHABITUAL, :IVA, :FAMILIA, :ENVASEASOCIADO, :CONCEPTO, :GAMA, "
    ":FABRICANTE, :MARCA, :ALMACENEXCLUSIVO, :LARGO, :ANCHO, :ALTO, :UNIDADES, "
    ":TIPODIMENSIONARTICULO, :TIPOCODIGOBARRAS, :PUBLICAR_ARTICULO_WEB, :OFERTA_WEB, "
    ":NOVEDAD_WEB, :PVP_OFERTA_WEB, :FECHA_INICIO_OFERTA_WEB, :FECHA_FIN_OFERTA_WEB) "
    "returning IDARTICULOS";

const char* const kUpdate =
    "update ARTICULOS set CODIGO = :CODIGO, NOMBRE = :NOMBRE,NOMBRELARGO = :NOMBRELARGO, "
    "CODIGOEAN = :CODIGOEAN,PARTNUMBER = :PARTNUMBER, REFERENCIAPROVEEDOR = "
    ":REFERENCIAPROVEEDOR, TEXTOTICKET = :TEXTOTICKET,COMPUESTO = :COMPUESTO, PESOUNIDAD = "
    ":PESOUNIDAD, UNIDADESCAJA = :UNIDADESCAJA,PRECIOMEDIOCOSTE = :PRECIOMEDIOCOSTE, "
    "PRECIOULTIMACOMPRA = :PRECIOULTIMACOMPRA,PRECIOMEDIOCOSTEESTANDARD = "
    ":PRECIOMEDIOCOSTEESTANDARD, PRECIOMEDIOCOSTEINICIAL = :PRECIOMEDIOCOSTEINICIAL,"
    "CUENTACONTABLE = :CUENTACONTABLE, CUENTACONTABLECOMPRAS = :CUENTACONTABLECOMPRAS, "
    "AFECTASTOCK = :AFECTASTOCK, TIPOCODIGOBARRAS = :TIPOCODIGOBARRAS, FAMILIA = :FAMILIA where "
    "(IDARTICULOS = :OLD_IDARTICULOS)";

// A new article's offer dates: 30/12/1899 00:00, the old client tools' zero date.
Calculo FechaCero() {
    return [](const Fuente&) -> Valor { return Timestamp{}; };
}

} // namespace

// "+ 0" gives the same lowest identifier, but keeps the engine from walking the primary key
// from its start to find it, which made every article slower than the one before.
const char* const kPreciosArticulo =
    "UPDATE IntervalosTarifasArticulos SET IMPORTEVENTA = :ParPVP,     IMPORTEVENTACONIVA = "
    ":ParPVPConIVA,     PORCENTAJEBENEFICIO = :ParBENEFICIO WHERE (Desde = 1) AND "
    "(TarifaArticulo = (   SELECT MIN(IdTarifasArticulos + 0)   FROM TarifasArticulos   WHERE "
    "(Tarifa = 1) AND (Articulo = :ParArticulo) ))";

const char* const kStockArticulo =
    "UPDATE ARTICULOSALMACEN SET STOCKMAXIMO1 = :STOCKMAXIMO,     STOCKMINIMO1 = :STOCKMINIMO,   "
    "  STOCKINICIAL1 = :STOCKACTUAL,     STOCKACTUAL1 = :STOCKACTUAL WHERE (ALMACEN = 1) AND "
    "(ARTICULOCARACTERISTICA = :ParArticulo)";

Traspaso Articulos(TDatos& d) {
    // The update writes the 19 columns the source owns; what only a new article gets goes with
    // the insert alone, which fills TEXTOTICKET last.
    std::vector<Linea> lineas = {
        {"CODIGO", Campo("CREF")},
        {"NOMBRE", CampoSinIniciales("CDETALLE", 50)},
        {"NOMBRELARGO",
         [](const Fuente& f) -> Valor {
             return Primeros(f.b.NombreLargoArticulo(f.c.Texto("CREF")), 1024);
         }},
        {"CODIGOEAN", Campo("CCODEBAR")},
        {"PARTNUMBER", Campo("CCODPRO")},
        {"REFERENCIAPROVEEDOR", Campo("CREFPROV")},
        {"TEXTOTICKET", Campo("CDES_TAC"), Envio::Cambio},
        {"COMPUESTO", SiNo("LKIT")},
        {"NUMEROSSERIE", Fijo(1), Envio::Alta},
        {"LOTES", Fijo(1), Envio::Alta},
        {"PESOUNIDAD", Decimal("NTARA")},
        {"UNIDADESCAJA", Decimal("NUNIDADES")},
        {"UNIDADESPAQUETE", FijoDecimal(0), Envio::Alta},
        {"UNIDADMEDIDAVENTAS", Nulo(), Envio::Alta},
        {"PRECIOMEDIOCOSTE", Decimal("NCOSTEPROM")},
        {"PRECIOULTIMACOMPRA", Decimal("NCOSTEPROM")},
        {"PRECIOMEDIOCOSTEESTANDARD", Decimal("NCOSTEPROM")},
        {"PRECIOMEDIOCOSTEINICIAL", Decimal("NCOSTEPROM")},
        {"FECHAULTIMACOMPRA", Ahora(), Envio::Alta},
        {"FECHAULTIMAVENTA", Ahora(), Envio::Alta},
        {"DOBLESTOCK", Fijo(0), Envio::Alta},
        {"GASTOMEDIO", Fijo(0), Envio::Alta},
        {"GASTOMEDIOINICIAL", Nulo(), Envio::Alta},
        {"CANTIDADMINIMOPEDIDO", Fijo(0), Envio::Alta},
        {"DESCATALOGADO", Fijo(0), Envio::Alta},
        {"PAGINACATALOGO", Fijo(0), Envio::Alta},
        {"MESESGARANTIACOMPRA", Fijo(0), Envio::Alta},
        {"MESESGARANTIAVENTA", Fijo(0), Envio::Alta},
        {"ARTICULOSVARIOS", Fijo(0), Envio::Alta},
        {"CANTIDADPRODUCIDA", Fijo(0), Envio::Alta},
        {"CUENTACONTABLE", Campo("CSCTAVTAS")},
        {"CUENTACONTABLECOMPRAS", Campo("CSCTACPRAS")},
        {"BLOQUEADO", Fijo(0), Envio::Alta},
        {"USOCOMPRA", Fijo(1), Envio::Alta},
        {"USOVENTA", Fijo(1), Envio::Alta},
        {"AFECTASTOCK", SiNo("LCTRLSTOCK")},
        {"PUNTOVERDESN", Fijo(0), Envio::Alta},
        {"ESARTICULOPUNTOVERDE", Fijo(0), Envio::Alta},
        {"PUNTOVERDEINCLUIDO", Fijo(0), Envio::Alta},
        {"PRECIOPUNTOVERDE", Fijo(0), Envio::Alta},
        {"ARTICULOPUNTOVERDE", Nulo(), Envio::Alta},
        {"TIPOARTICULO", Nulo(), Envio::Alta},
        {"VOLUMEN", Fijo(0), Envio::Alta},
        {"FECHAALTA", Ahora(), Envio::Alta},
        // A new article was last modified when it was created, not in 1858.
        {"FECHAMODIFICACION", Ahora(), Envio::Alta},
    };
    for (int i = 1; i <= 10; ++i)
        lineas.push_back({"CARACTERISTICAARTICULO" + std::to_string(i), Nulo(), Envio::Alta});
    for (Linea& l : std::vector<Linea>{
             {"GRUPOEMPRESAS", Fijo(1), Envio::Alta},
             {"PROVEEDORHABITUAL", Nulo(), Envio::Alta},
             {"IVA", Fijo(1), Envio::Alta},
             {"FAMILIA",
              [](const Fuente& f) { return EnteroONulo(f.b.IdFamilia(f.c.Texto("CCODFAM"))); }},
             {"ENVASEASOCIADO", Nulo(), Envio::Alta},
             {"CONCEPTO", Fijo(1), Envio::Alta},
             {"GAMA", Nulo(), Envio::Alta},
             {"FABRICANTE", Nulo(), Envio::Alta},
             {"MARCA", Nulo(), Envio::Alta},
             {"ALMACENEXCLUSIVO", Nulo(), Envio::Alta},
             {"LARGO", Fijo(0), Envio::Alta},
             {"ANCHO", Fijo(0), Envio::Alta},
             {"ALTO", Fijo(0), Envio::Alta},
             {"UNIDADES", Fijo(0), Envio::Alta},
             {"TIPODIMENSIONARTICULO", FijoTexto("A"), Envio::Alta},
             {"TIPOCODIGOBARRAS",
              [](const Fuente& f) -> Valor { return TipoCodigoBarras(f.c.Entero("NTIPOCODE")); }},
             {"PUBLICAR_ARTICULO_WEB", Fijo(0), Envio::Alta},
             {"OFERTA_WEB", Fijo(0), Envio::Alta},
             {"NOVEDAD_WEB", Fijo(0), Envio::Alta},
             {"PVP_OFERTA_WEB", Fijo(0), Envio::Alta},
             {"FECHA_INICIO_OFERTA_WEB", FechaCero(), Envio::Alta},
             {"FECHA_FIN_OFERTA_WEB", FechaCero(), Envio::Alta},
             {"TEXTOTICKET", Campo("CDES_TAC"), Envio::Alta},
         })
        lineas.push_back(std::move(l));
    return {
        .consulta = &d.qArticulos(),
        .tabla = "ARTICULOS",
        .id = "IDARTICULOS",
        .campoCodigo = "CREF",
        .codigo = [](const Campos& c) { return c.Texto("CREF"); },
        .nombre = "Artículos",
        .resumen = {"Artículos Añadidos: ", ",   Actualizados: "},
        .insert = kInsert,
        .update = kUpdate,
        .consultadas = {"FAMILIASARTICULOS"},
        .lineas = std::move(lineas),
        .seguimientos =
            {
                // The article's sale prices go into the "from 1" interval of its first tariff-1
                // row.
                {kPreciosArticulo,
                 "ParArticulo",
                 {
                     {"ParPVP", Decimal("NPVP")},
                     {"ParPVPConIVA", Decimal("NPCONIVA")},
                     {"ParBENEFICIO", Decimal("NBENEFPVP")},
                 },
                 "precios"},
                // The stock limits and the first stock row's figure go to its warehouse-1 row.
                {kStockArticulo,
                 "ParArticulo",
                 {
                     {"STOCKMAXIMO", Decimal("NSTOCKMAX")},
                     {"STOCKMINIMO", Decimal("NSTOCKMIN")},
                     {"STOCKACTUAL",
                      [](const Fuente& f) -> Valor {
                          return Simple{f.b.StockArticulo(f.c.Texto("CREF"))};
                      }},
                 },
                 "stock"},
            },
    };
}
