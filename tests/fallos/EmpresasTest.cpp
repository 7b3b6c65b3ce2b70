// Many companies in one command, and the signals a terminal, `kill`, `timeout` or a service
// manager send it: the running companies are told, the program waits for them and prints its
// summary, and nothing goes on writing after it has ended.
#include "Apoyo.h"

#include <csignal>
#include <dirent.h>
#include <fstream>
#include <sstream>
#include <thread>

namespace fs = std::filesystem;

namespace {

// The processes whose parent is `padre`.
std::vector<pid_t> Hijos(pid_t padre) {
    std::vector<pid_t> r;
    DIR* d = opendir("/proc");
    while (dirent* e = d ? readdir(d) : nullptr) {
        pid_t pid = static_cast<pid_t>(std::atoi(e->d_name));
        if (pid <= 0) continue;
        std::ifstream f("/proc/" + std::to_string(pid) + "/stat");
        std::string linea;
        std::getline(f, linea);
        auto cierre = linea.rfind(')');
        if (cierre == std::string::npos) continue;
        std::istringstream resto(linea.substr(cierre + 2));
        char estado;
        pid_t ppid = 0;
        resto >> estado >> ppid;
        if (ppid == padre) r.push_back(pid);
    }
    if (d) closedir(d);
    return r;
}

bool Vivo(pid_t pid) {
    std::ifstream f("/proc/" + std::to_string(pid) + "/stat");
    std::string linea;
    std::getline(f, linea);
    auto cierre = linea.rfind(')');
    return cierre != std::string::npos && linea.size() > cierre + 2 && linea[cierre + 2] != 'Z';
}

class Empresas : public Fallo, public ::testing::WithParamInterface<bool> {};

// TERM to the program alone (kill, timeout, a service manager), or INT to its process group
// (Ctrl+C at a terminal).
TEST_P(Empresas, ASignalReachesEveryRunningCompanyAndTheSummaryIsPrinted) {
    const bool grupo = GetParam();
    const int senal = grupo ? SIGINT : SIGTERM;
    // Enough agents that, with commits grouped, both companies are still writing well after
    // their first rows show.
    const std::size_t n = 8 * kAgentes;
    EscribirAgentes(origen, n, "Agente");
    std::vector<std::string> bases;
    std::string lista = dir.Fichero("empresas.txt");
    {
        std::ofstream l(lista);
        for (int i = 0; i < 3; ++i) {
            bases.push_back(Remota("empresa" + std::to_string(i) + ".fdb"));
            l << origen << "\t" << bases.back() << "\n";
        }
    }
    Proceso::Opciones o;
    o.argv = {LOTE, "--empresas", lista, "-j", "2", "agentes"};
    o.grupo = true;
    o.poner = {"TMPDIR=" + dir.Ruta()}; // the logs it keeps go with the test's folder
    Proceso p(o);
    // Both running companies are writing.
    auto hasta = std::chrono::steady_clock::now() + 60s;
    while (std::chrono::steady_clock::now() < hasta &&
           (Contar(bases[0], "select count(*) from AGENTESVENTA") == 0 ||
            Contar(bases[1], "select count(*) from AGENTESVENTA") == 0))
        std::this_thread::sleep_for(100ms); // polling a condition, bounded by `hasta`
    std::vector<pid_t> hijos = Hijos(p.Pid());
    ASSERT_EQ(hijos.size(), 2u) << p.Terminar(1s).Todo();
    p.Marcar();
    if (grupo)
        p.SenalAlGrupo(senal);
    else
        p.Senal(senal);
    Fin f = p.Terminar(30s);
    EXPECT_FALSE(f.colgado) << f.Todo();
    EXPECT_LT(f.segundos, 10.0) << f.Todo();
    EXPECT_EQ(f.estado, 128 + senal) << f.Todo();
    for (pid_t h : hijos)
        EXPECT_FALSE(Vivo(h)) << "company process " << h << " still running";
    EXPECT_NE(f.out.find("Resumen (añadidos/actualizados/rechazados)"), std::string::npos)
        << f.Todo();
    EXPECT_NE(f.out.find("sin empezar"), std::string::npos) << "the third never started\n"
                                                            << f.Todo();
    EXPECT_NE(f.out.find("terminada, estado " + std::to_string(128 + senal)), std::string::npos)
        << "the running ones stopped by the signal\n"
        << f.Todo();
    // Nothing writes any more.
    int antes0 = Contar(bases[0], "select count(*) from AGENTESVENTA");
    int antes1 = Contar(bases[1], "select count(*) from AGENTESVENTA");
    std::this_thread::sleep_for(1s);
    EXPECT_EQ(Contar(bases[0], "select count(*) from AGENTESVENTA"), antes0);
    EXPECT_EQ(Contar(bases[1], "select count(*) from AGENTESVENTA"), antes1);
    EXPECT_LT(antes0, static_cast<int>(n)) << "it did not stop";
    EXPECT_EQ(Contar(bases[2], "select count(*) from AGENTESVENTA"), 0);
}

INSTANTIATE_TEST_SUITE_P(Senal, Empresas, ::testing::Values(false, true),
                         [](const auto& i) { return i.param ? "IntAlGrupo" : "TermAlPrograma"; });

} // namespace
