// A folder with everything old, messy files bring at once: each good record arrives, each bad one
// is named once, and the run says so by its exit status.
#include "TransferFixture.h"

#include <fstream>
#include <sys/wait.h>

namespace {

TEST_F(TransferTest, MessyAgentsFileEveryGoodRecordInEachBadOneNamedOnce) {
    datos.reset();
    WriteFacturaPlusTable(carpeta, "agentes",
                          {{{"CCODAGE", "001"}, {"CNBRAGE", "Bueno"}},
                           {{"CCODAGE", "002"}, {"NCOM1", "1E+400"}},
                           {{"CCODAGE", "\xE2\x94\x80"
                                        "1"}}, // a box-drawing line, no 1252 byte
                           {{"CCODAGE", "AGENTE"}, {"CNBRAGE", "Ancho"}}},
                          0x02, {}, {{"CCODAGE", 6}});
    // The header promises a fifth record the file does not hold.
    std::fstream f(carpeta + "/agentes.dbf", std::ios::in | std::ios::out | std::ios::binary);
    f.seekp(4);
    f.put(5);
    f.close();

    std::string cmd = std::string(LOTE) + " --origen '" + carpeta + "' --destino '" + base +
                      "' agentes >" + dir.File("out") + " 2>" + dir.File("err");
    int rc = std::system(cmd.c_str());
    std::string out = LeerFichero(dir.File("out")), err = LeerFichero(dir.File("err"));
    EXPECT_EQ(WIFEXITED(rc) ? WEXITSTATUS(rc) : -1, 1) << err;
    EXPECT_NE(out.find("Agentes Añadidos: 2,   Actualizados: 0"), std::string::npos) << out;

    auto lineas = [&](const std::string& que) {
        std::size_t n = 0;
        for (std::size_t i = err.find(que); i != std::string::npos; i = err.find(que, i + 1))
            ++n;
        return n;
    };
    EXPECT_EQ(lineas("Aviso:"), 3u) << err;
    EXPECT_NE(err.find("Aviso: agentes.dbf: "), std::string::npos) << "the short file: " << err;
    EXPECT_NE(err.find("agentes.dbf"), std::string::npos) << err;
    EXPECT_NE(err.find("registro 2, código «002»: tabla agentes.dbf, campo NCOM1"),
              std::string::npos)
        << err;
    EXPECT_EQ(err.find("qAgentesVenta"), std::string::npos) << "the query's own name\n" << err;
    EXPECT_NE(err.find("1E+400"), std::string::npos) << err;
    EXPECT_NE(err.find("registro 3, código «─1»"), std::string::npos)
        << "the box-drawing code: " << err;
    EXPECT_NE(err.find("U+2500"), std::string::npos) << err;

    auto f2 = Leer("select CODIGO, NOMBRE from AGENTESVENTA order by CODIGO");
    ASSERT_EQ(f2.size(), 2u);
    EXPECT_EQ(S(f2[0]["CODIGO"]), "001");
    EXPECT_EQ(S(f2[1]["CODIGO"]), "AGEN");

    // A second run finds the wide code again by what it wrote.
    std::system(cmd.c_str());
    EXPECT_NE(LeerFichero(dir.File("out")).find("Agentes Añadidos: 0,   Actualizados: 2"),
              std::string::npos)
        << LeerFichero(dir.File("out"));
}

} // namespace
