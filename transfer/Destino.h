#pragma once
// The target side of the data module: one connection, its one transaction, the three reusable
// statements, the families query and a statement per follow-up. Declared in this order so that
// each object goes before the connection it uses.
#include "IBDatabase.h"
#include "IBQuery.h"
#include "IBSQL.h"
#include "IBTransaction.h"
#include "TDatos.h"

#include <memory>
#include <vector>

struct TDatos::Destino {
    IBDatabase IBDatabase1;
    IBTransaction IBTransaction1{IBDatabase1};
    IBSQL IBSQLSelect{IBDatabase1, IBTransaction1};
    IBSQL IBSQLInsert{IBDatabase1, IBTransaction1};
    IBSQL IBSQLUpdate{IBDatabase1, IBTransaction1};
    IBQuery IBQueryFamiliasArticulos{IBDatabase1, IBTransaction1};
    // The payment-method and agent lookups: one statement kept for both, so that their texts
    // stay prepared from one record to the next.
    IBSQL IBSQLBusqueda{IBDatabase1, IBTransaction1};
    // Reads the rows a record would write, to compare them; kept apart so that its three texts
    // stay prepared from one record to the next.
    IBSQL IBSQLComparacion{IBDatabase1, IBTransaction1};
    // The savepoint of the record in progress, when earlier records wait with it for their
    // commit.
    IBSQL IBSQLPunto{IBDatabase1, IBTransaction1};
    // The running transfer's follow-ups, a statement each, so that each keeps its text
    // prepared and its buffers from one record to the next.
    std::vector<std::unique_ptr<IBSQL>> IBSQLSeguimientos;
    IBSQL& Seguimiento(std::size_t k) {
        while (IBSQLSeguimientos.size() <= k)
            IBSQLSeguimientos.push_back(std::make_unique<IBSQL>(IBDatabase1, IBTransaction1));
        return *IBSQLSeguimientos[k];
    }
};
