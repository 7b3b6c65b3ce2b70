// The closing steps after a run that the database itself stopped: its failure is told once.
#include "FbError.h"
#include "TransferFixture.h"

namespace {

// What the engine says when it cannot write a page: a full disk.
ISC_STATUS DiscoLleno(ISC_STATUS* st) {
    st[0] = isc_arg_gds;
    st[1] = isc_io_error;
    st[2] = isc_arg_string;
    st[3] = reinterpret_cast<ISC_STATUS>(static_cast<const char*>("write"));
    st[4] = isc_arg_string;
    st[5] = reinterpret_cast<ISC_STATUS>(static_cast<const char*>("orvalia.fdb"));
    st[6] = isc_arg_gds;
    st[7] = isc_io_write_err;
    st[8] = isc_arg_unix;
    st[9] = ENOSPC;
    st[10] = isc_arg_end;
    return st[1];
}

TEST_F(TransferTest, ADiskThatFillsAtACommitIsToldOnceNotAgainAtTheClose) {
    Agentes({{{"CCODAGE", "001"}}, {{"CCODAGE", "002"}}, {{"CCODAGE", "003"}}});
    int commits = 0, cierres = 0;
    bool lleno = false;
    datos->IBDatabase1().Api().commitRetaining = [&](ISC_STATUS* st, isc_tr_handle* tr) {
        lleno = lleno || ++commits == 3; // the default's commit, records 1 and 2
        return lleno ? DiscoLleno(st) : isc_commit_retaining(st, tr);
    };
    datos->IBDatabase1().Api().commit = [&](ISC_STATUS* st, isc_tr_handle* tr) {
        if (!lleno) return isc_commit_transaction(st, tr); // the turn's own small transactions
        ++cierres;
        return DiscoLleno(st); // the disk is still full at the close
    };
    auto e = Captura<FbError>([&] { datos->TraspasoAgentes(); });
    ASSERT_TRUE(e.has_value());
    EXPECT_TRUE(e->AfectaALaBase());
    EXPECT_NE(std::string(e->what()).find("el disco esté lleno"), std::string::npos) << e->what();
    EXPECT_NE(std::string(e->what()).find("hasta él, 1 registro confirmado"), std::string::npos)
        << e->what();
    EXPECT_NO_THROW(datos->Cerrar()) << "the same failure, told a second time";
    // What could not be committed was undone at the stop, so that the target holds what the
    // count says: the close has nothing left to commit.
    EXPECT_EQ(cierres, 0);
    EXPECT_TRUE(ui.avisos.empty());
}

// The database fails a record after its row is written, with earlier whole records waiting for
// their grouped commit: that record is undone alone, the whole ones are committed, and the
// error says so.
TEST_F(TransferTest, AFaultInARecordsMiddleUndoesItAloneAndCommitsTheWholeOnesWaiting) {
    Agentes({{{"CCODAGE", "101"}},
             {{"CCODAGE", "102"}},
             {{"CCODAGE", "103"}},
             {{"CCODAGE", "104"}},
             {{"CCODAGE", "105"}},
             {{"CCODAGE", "106"}}});
    Tabla("PROVINC", {});
    datos->SetConfirmarCada(3);
    int filas = 0;
    datos->IBDatabase1().Api().execute = [&](ISC_STATUS* st, isc_tr_handle* tr, isc_stmt_handle* s,
                                             unsigned short d, XSQLDA* in, XSQLDA* out) {
        ISC_STATUS r =
            out ? isc_dsql_execute2(st, tr, s, d, in, out) : isc_dsql_execute(st, tr, s, d, in);
        // The agent's insert is the statement with many parameters; the fifth has written its
        // row when the disk fills.
        if (r == 0 && in && in->sqld >= 5 && ++filas == 5) return DiscoLleno(st);
        return r;
    };
    auto e = Captura<FbError>([&] { datos->TraspasoAgentes(); });
    ASSERT_TRUE(e.has_value());
    EXPECT_NE(std::string(e->what()).find("hasta él, 4 registros confirmados"), std::string::npos)
        << e->what();
    datos->IBDatabase1().Api().execute = FbApi{}.execute;
    std::vector<std::string> codigos;
    for (const auto& f : Leer("select CODIGO from AGENTESVENTA order by CODIGO"))
        codigos.push_back(S(f.at("CODIGO")));
    EXPECT_EQ(codigos, (std::vector<std::string>{"101", "102", "103", "104"}))
        << "the record in progress half kept, or the whole ones waiting lost";
}

} // namespace
