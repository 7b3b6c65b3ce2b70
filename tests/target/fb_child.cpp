// Test helper: inserts rows committing each retained, says so, then waits to be killed
// with one more row left uncommitted.
#include "IBDatabase.h"
#include "IBSQL.h"
#include "IBTransaction.h"

#include <cstdio>
#include <cstdlib>
#include <unistd.h>

int main(int argc, char** argv) {
    if (argc != 3) return 2;
    IBDatabase db;
    IBTransaction tr(db);
    db.SetDefaultTransaction(&tr);
    db.SetDatabaseName(argv[1]);
    db.Open();
    tr.StartTransaction();
    IBSQL ins(db, tr);
    ins.SetText("insert into TARIFAS (IDTARIFAS, CODIGO) values (:ID, :CODIGO)");
    int n = std::atoi(argv[2]);
    for (int i = 1; i <= n + 1; ++i) {
        ins.ParamByName("ID").SetAsInteger(100 + i);
        ins.ParamByName("CODIGO").SetAsString("K" + std::to_string(i));
        ins.ExecQuery();
        if (i <= n) tr.CommitRetaining();
    }
    std::printf("listo\n");
    std::fflush(stdout);
    for (;;)
        pause();
}
