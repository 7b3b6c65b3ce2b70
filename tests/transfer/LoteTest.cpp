// The batch program as an operator runs it, and a run that dies in the middle.
#include "KillChild.h"
#include "TransferFixture.h"

#include <array>
#include <csignal>
#include <cstdio>
#include <sys/wait.h>
#include <unistd.h>

namespace {

struct Salida {
    int estado = -1;
    std::string out, err;
};

Salida Lanzar(const std::vector<std::string>& args) {
    TempDir tmp;
    std::string cmd = std::string(LOTE);
    for (const std::string& a : args)
        cmd += " '" + a + "'";
    cmd += " >" + tmp.File("out") + " 2>" + tmp.File("err");
    Salida s;
    int rc = std::system(cmd.c_str());
    s.estado = WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
    s.out = LeerFichero(tmp.File("out"));
    s.err = LeerFichero(tmp.File("err"));
    return s;
}

TEST(LoteTest, HelpAndBadArguments) {
    Salida h = Lanzar({"--help"});
    EXPECT_EQ(h.estado, 0);
    EXPECT_NE(h.out.find("Uso: traspaso-maestros-lote --origen CARPETA --destino BASE TRASPASO..."),
              std::string::npos);
    EXPECT_NE(h.out.find("Estado de salida"), std::string::npos);
    EXPECT_EQ(Lanzar({"--origen", "/tmp"}).estado, 2);
    Salida d = Lanzar({"--origen", "/tmp", "--destino", "/tmp/x.fdb", "facturas"});
    EXPECT_EQ(d.estado, 2);
    EXPECT_NE(d.err.find("traspaso desconocido «facturas»"), std::string::npos) << d.err;
    Salida v = Lanzar({"--version"});
    EXPECT_EQ(v.estado, 0);
    EXPECT_EQ(v.out.rfind("traspaso-maestros-lote ", 0), 0u) << v.out;
}

TEST_F(TransferTest, BatchRunReportsOnItsStreamsAndByItsExitStatus) {
    datos.reset(); // the batch program is the one that opens the database now
    Agentes({{{"CCODAGE", "001"}},
             {{"CCODAGE", "002"}, {"CDNINIF", "x"}, {"CPTLAGE", "123456789"}},
             {{"CCODAGE", "003"}}});
    Salida s = Lanzar({"--origen", carpeta, "--destino", base, "agentes"});
    EXPECT_EQ(s.estado, 1) << s.err;
    EXPECT_EQ(s.out.substr(0, s.out.find("\n\n") + 2),
              "Abriendo consulta de Agentes de Venta\nConsulta de Agentes de Venta ABIERTA\n"
              "agentes.dbf: página de códigos 850 (DOS), por el byte de idioma 0x02 de la "
              "cabecera\nActualizando Agentes\nAgentes Añadidos: 2,   Actualizados: 0\n\n");
    EXPECT_NE(s.out.find("\nagentes          2             0           1  "), std::string::npos)
        << "the closing table\n"
        << s.out;
    EXPECT_NE(s.err.find("Aviso: agentes.dbf, registro 2, código «002»: Parámetro CODIGOPOSTAL"),
              std::string::npos)
        << s.err;

    Agentes({{{"CCODAGE", "001"}}, {{"CCODAGE", "003"}}});
    Salida t = Lanzar({"--origen", carpeta, "--destino", base, "agentes"});
    EXPECT_EQ(t.estado, 0) << t.err;
    EXPECT_EQ(t.err, "");
    EXPECT_NE(t.out.find("Agentes Añadidos: 0,   Actualizados: 2"), std::string::npos);

    Salida u = Lanzar({"--origen", dir.File("no-hay"), "--destino", base, "agentes"});
    EXPECT_EQ(u.estado, 2);
    EXPECT_NE(u.err.find("Error: La carpeta"), std::string::npos) << u.err;
}

TEST_F(TransferTest, BatchRunOfEveryTransferOnTheDemoData) {
    datos.reset();
    ASSERT_EQ(std::system((std::string(DEMO) + " '" + carpeta + "' >/dev/null").c_str()), 0);
    Salida s = Lanzar({"--origen", carpeta, "--destino", base, "proveedores", "clientes"});
    EXPECT_EQ(s.estado, 0) << s.err;
    EXPECT_NE(s.out.find("Proveedores Añadidos: 9,   Actualizados: 0"), std::string::npos) << s.out;
    EXPECT_NE(s.out.find("Clientes Añadidos: 13,   Actualizados: 0"), std::string::npos) << s.out;

    Salida a = Lanzar({"--origen", carpeta, "--destino", base, "articulos"});
    EXPECT_EQ(a.estado, 0) << a.err;
    EXPECT_NE(a.out.find("Familias de Artículos Añadidas: 6,   Actualizadas: 1\nAbriendo consulta "
                         "de Artículos"),
              std::string::npos)
        << a.out;
    EXPECT_NE(a.out.find("Artículos Añadidos: 18,   Actualizados: 0"), std::string::npos) << a.out;

    // The demo has an agent whose e-mail does not fit: warned, skipped, exit status 1.
    Salida g = Lanzar({"--origen", carpeta, "--destino", base, "agentes", "clientes"});
    EXPECT_EQ(g.estado, 1) << g.err;
    EXPECT_NE(g.err.find("código «006»: Parámetro EMAIL1"), std::string::npos) << g.err;
    EXPECT_NE(g.out.find("Clientes Añadidos: 0,   Actualizados: 13"), std::string::npos) << g.out;
    EXPECT_EQ(I(Leer("select count(*) as N from CLIENTES where AGENTEVENTA is not null")[0]["N"]),
              13)
        << "with the agents in, the clients find theirs";
}

TEST_F(TransferTest, KilledRunKeepsEveryCommittedRecordAndASecondRunCompletes) {
    datos.reset();
    std::vector<Fila> filas;
    for (int i = 1; i <= 30; ++i)
        filas.push_back({{"CCODAGE", std::to_string(100 + i)}});
    Agentes(filas);

    KilledChild c = RunUntilItSpeaksThenKill({TRANSFER_CHILD, carpeta, base, "12"});
    EXPECT_EQ(c.said, "12\n");
    EXPECT_TRUE(c.killedBySignal);
    EXPECT_EQ(Leer("select CODIGO from AGENTESVENTA").size(), 12u);

    Salida s = Lanzar({"--origen", carpeta, "--destino", base, "agentes"});
    EXPECT_EQ(s.estado, 0) << s.err;
    EXPECT_NE(s.out.find("Agentes Añadidos: 18,   Actualizados: 12"), std::string::npos) << s.out;
    auto dup = Leer("select CODIGO, N from (select CODIGO, count(*) as N from AGENTESVENTA group "
                    "by CODIGO) where N > 1");
    EXPECT_TRUE(dup.empty());
    EXPECT_EQ(Leer("select CODIGO from AGENTESVENTA").size(), 30u);
}

} // namespace

namespace {

TEST_F(TransferTest, InterruptStopsAfterTheCurrentRecordWithoutSummary) {
    datos.reset();
    std::vector<Fila> filas;
    for (int i = 1; i <= 500; ++i)
        filas.push_back({{"CCODAGE", std::to_string(i)}});
    Agentes(filas);
    int out[2];
    ASSERT_EQ(pipe(out), 0);
    pid_t hijo = fork();
    ASSERT_GE(hijo, 0);
    if (hijo == 0) {
        dup2(out[1], STDOUT_FILENO);
        close(out[0]);
        execl(LOTE, LOTE, "--origen", carpeta.c_str(), "--destino", base.c_str(), "agentes",
              static_cast<char*>(nullptr));
        _exit(127);
    }
    close(out[1]);
    FILE* f = fdopen(out[0], "r");
    char linea[256];
    std::string salida;
    while (std::fgets(linea, sizeof linea, f)) {
        salida += linea;
        if (std::string(linea) == "Actualizando Agentes\n") {
            kill(hijo, SIGINT);
            break;
        }
    }
    while (std::fgets(linea, sizeof linea, f))
        salida += linea;
    std::fclose(f);
    int st = 0;
    waitpid(hijo, &st, 0);
    ASSERT_TRUE(WIFEXITED(st));
    EXPECT_EQ(WEXITSTATUS(st), 130) << "128 + SIGINT, as shells expect";
    EXPECT_EQ(salida.find("Agentes Añadidos"), std::string::npos) << salida;
    std::size_t hechos = Leer("select CODIGO from AGENTESVENTA").size();
    EXPECT_GE(hechos, 1u);
    EXPECT_LT(hechos, 500u);
}

} // namespace
