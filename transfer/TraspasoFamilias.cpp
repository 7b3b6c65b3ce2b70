// Article families: familias -> FAMILIASARTICULOS.
#include "Reglas.h"
#include "TDatos.h"
#include "Traspasos.h"

Traspaso Familias(TDatos& d) {
    return {
        .consulta = &d.qFamilias(),
        .tabla = "FAMILIASARTICULOS",
        .id = "IDFAMILIASARTICULOS",
        .campoCodigo = "CCODFAM",
        // Families live under the first four characters of their code; codes that share them
        // end as one family.
        .codigo = [](const Campos& c) { return Primeros(c.Texto("CCODFAM"), 4); },
        .nombre = "Familias de Artículos",
        .resumen = {"Familias de Artículos Añadidas: ", ",   Actualizadas: "},
        .insert = "insert into FAMILIASARTICULOS (IDFAMILIASARTICULOS, CODIGO, NOMBRE, "
                  "GRUPOEMPRESAS, GRUPOFAMILIA) values (GEN_ID(GenIdFamiliasArticulos, 1), "
                  ":CODIGO, :NOMBRE, 1, 1)",
        .update = "update FAMILIASARTICULOS set CODIGO = :CODIGO, NOMBRE = :NOMBRE where "
                  "(IDFAMILIASARTICULOS = :OLD_IDFAMILIASARTICULOS)",
        .lineas =
            {
                {"CODIGO", Campo("CCODFAM", 4)},
                {"NOMBRE", Campo("CNOMFAM")},
            },
    };
}
