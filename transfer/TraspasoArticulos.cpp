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

// The article's sale prices go into the "from 1" interval of its first tariff-1 row.
void ActualizarPreciosArticulo(TDatos& d, int32_t articulo, const Campos& c) {
    IBSQL& s = Auxiliar(d, kPreciosArticulo);
    Parametros p(s);
    p.Entero("ParArticulo", articulo);
    p.Simple("ParPVP", c.Numero("NPVP"));
    p.Simple("ParPVPConIVA", c.Numero("NPCONIVA"));
    p.Simple("ParBENEFICIO", c.Numero("NBENEFPVP"));
    s.ExecQuery();
}

// The stock limits and the first stock row's figure go to its warehouse-1 row.
void ActualizarStockArticulo(TDatos& d, int32_t articulo, const Campos& c) {
    IBSQL& s = Auxiliar(d, kStockArticulo);
    SourceQuery& stock = d.qStock();
    stock.Close();
    stock.SetParam("PARCODIGO", c.Texto("CREF"));
    stock.Open();
    Parametros p(s);
    p.Entero("ParArticulo", articulo);
    p.Simple("STOCKMAXIMO", c.Numero("NSTOCKMAX"));
    p.Simple("STOCKMINIMO", c.Numero("NSTOCKMIN"));
    p.Simple("STOCKACTUAL", stock.Eof() ? 0 : Campos(stock).Numero("NSTOCK"));
    s.ExecQuery();
}

Traspaso Articulos(TDatos& d) {
    return {
        .consulta = &d.qArticulos(),
        .tabla = "ARTICULOS",
        .id = "IDARTICULOS",
        .campoCodigo = "CREF",
        .codigo = [](const Campos& c) { return c.Texto("CREF"); },
        .orden = Orden::TextosAntesDelProgreso,
        .progreso = "Actualizando Artículos",
        .resumen = {"Artículos Añadidos: ", ",   Actualizados: "},
        .insert = kInsert,
        .update = kUpdate,
        .insertDevuelveId = true,
        // The update writes the 19 columns the source owns; `alta` adds what only a new
        // article gets. The insert fills TEXTOTICKET last.
        .rellenar =
            [&d](Parametros& p, const Campos& c, bool alta) {
                double coste = c.Numero("NCOSTEPROM");
                p.Texto("CODIGO", c.Texto("CREF"));
                p.Texto("NOMBRE", Primeros(SinIniciales(c.Texto("CDETALLE")), 50));
                p.Texto("NOMBRELARGO", Primeros(d.NombreLargoArticulo(c.Texto("CREF")), 1024));
                p.Texto("CODIGOEAN", c.Texto("CCODEBAR"));
                p.Texto("PARTNUMBER", c.Texto("CCODPRO"));
                p.Texto("REFERENCIAPROVEEDOR", c.Texto("CREFPROV"));
                if (!alta) p.Texto("TEXTOTICKET", c.Texto("CDES_TAC"));
                p.Entero("COMPUESTO", c.Logico("LKIT") ? 1 : 0);
                if (alta) p.Entero("NUMEROSSERIE", 1);
                if (alta) p.Entero("LOTES", 1);
                p.Simple("PESOUNIDAD", c.Numero("NTARA"));
                p.Simple("UNIDADESCAJA", c.Numero("NUNIDADES"));
                if (alta) p.Simple("UNIDADESPAQUETE", 0);
                if (alta) p.Nulo("UNIDADMEDIDAVENTAS");
                p.Simple("PRECIOMEDIOCOSTE", coste);
                p.Simple("PRECIOULTIMACOMPRA", coste);
                p.Simple("PRECIOMEDIOCOSTEESTANDARD", coste);
                p.Simple("PRECIOMEDIOCOSTEINICIAL", coste);
                if (alta) p.Fecha("FECHAULTIMACOMPRA", Timestamp::Now());
                if (alta) p.Fecha("FECHAULTIMAVENTA", Timestamp::Now());
                if (alta) p.Entero("DOBLESTOCK", 0);
                if (alta) p.Entero("GASTOMEDIO", 0);
                if (alta) p.Nulo("GASTOMEDIOINICIAL");
                if (alta) p.Entero("CANTIDADMINIMOPEDIDO", 0);
                if (alta) p.Entero("DESCATALOGADO", 0);
                if (alta) p.Entero("PAGINACATALOGO", 0);
                if (alta) p.Entero("MESESGARANTIACOMPRA", 0);
                if (alta) p.Entero("MESESGARANTIAVENTA", 0);
                if (alta) p.Entero("ARTICULOSVARIOS", 0);
                if (alta) p.Entero("CANTIDADPRODUCIDA", 0);
                p.Texto("CUENTACONTABLE", c.Texto("CSCTAVTAS"));
                p.Texto("CUENTACONTABLECOMPRAS", c.Texto("CSCTACPRAS"));
                if (alta) p.Entero("BLOQUEADO", 0);
                if (alta) p.Entero("USOCOMPRA", 1);
                if (alta) p.Entero("USOVENTA", 1);
                p.Entero("AFECTASTOCK", c.Logico("LCTRLSTOCK") ? 1 : 0);
                if (alta) p.Entero("PUNTOVERDESN", 0);
                if (alta) p.Entero("ESARTICULOPUNTOVERDE", 0);
                if (alta) p.Entero("PUNTOVERDEINCLUIDO", 0);
                if (alta) p.Entero("PRECIOPUNTOVERDE", 0);
                if (alta) p.Nulo("ARTICULOPUNTOVERDE");
                if (alta) p.Nulo("TIPOARTICULO");
                if (alta) p.Entero("VOLUMEN", 0);
                if (alta) p.Fecha("FECHAALTA", Timestamp::Now());
                // A new article was last modified when it was created, not in 1858.
                if (alta) p.Fecha("FECHAMODIFICACION", Timestamp::Now());
                for (int i = 1; alta && i <= 10; ++i)
                    p.Nulo("CARACTERISTICAARTICULO" + std::to_string(i));
                if (alta) p.Entero("GRUPOEMPRESAS", 1);
                if (alta) p.Nulo("PROVEEDORHABITUAL");
                if (alta) p.Entero("IVA", 1);
                p.EnteroONulo("FAMILIA", d.BuscarIdFamilia(c.Texto("CCODFAM")));
                if (alta) p.Nulo("ENVASEASOCIADO");
                if (alta) p.Entero("CONCEPTO", 1);
                if (alta) p.Nulo("GAMA");
                if (alta) p.Nulo("FABRICANTE");
                if (alta) p.Nulo("MARCA");
                if (alta) p.Nulo("ALMACENEXCLUSIVO");
                if (alta) p.Entero("LARGO", 0);
                if (alta) p.Entero("ANCHO", 0);
                if (alta) p.Entero("ALTO", 0);
                if (alta) p.Entero("UNIDADES", 0);
                if (alta) p.Texto("TIPODIMENSIONARTICULO", "A");
                p.Entero("TIPOCODIGOBARRAS", TipoCodigoBarras(c.Entero("NTIPOCODE")));
                if (alta) p.Entero("PUBLICAR_ARTICULO_WEB", 0);
                if (alta) p.Entero("OFERTA_WEB", 0);
                if (alta) p.Entero("NOVEDAD_WEB", 0);
                if (alta) p.Entero("PVP_OFERTA_WEB", 0);
                if (alta) p.Fecha("FECHA_INICIO_OFERTA_WEB", Timestamp{}); // 30/12/1899 00:00
                if (alta) p.Fecha("FECHA_FIN_OFERTA_WEB", Timestamp{});
                if (alta) p.Texto("TEXTOTICKET", c.Texto("CDES_TAC"));
            },
        .despues = {[&d](int32_t id, const Campos& c) { ActualizarPreciosArticulo(d, id, c); },
                    [&d](int32_t id, const Campos& c) { ActualizarStockArticulo(d, id, c); }},
    };
}
