// The database goes away under a run: the server killed, or the database shut down by its
// administrator. The run ends with one error that says so (not a warning per remaining record)
// and exit status 2; the database is sound afterwards and a new run gives what a clean run
// gives. Each fault strikes once with the program held between two records (blocked writing its
// progress bar, right after a commit), and then at moments swept over a running transfer, where
// it lands wherever the program is.
#include "Apoyo.h"

#include <csignal>
#include <cstdlib>

namespace {

const std::vector<std::string> kPerdida = {"Se ha perdido la conexión con la base de datos"};
const std::vector<std::string> kCierre = {"La conexión con la base de datos ha sido cerrada",
                                          "La base de datos está cerrada por su administrador"};

class ServidorCaido : public Fallo {
protected:
    // Runs the transfer and does `golpe` once the bar has shown `k` records, with the program
    // held between two records or running; checks how it ended and returns the records it had
    // shown as committed.
    std::size_t Interrumpir(const std::string& base, std::size_t k, bool entreRegistros,
                            const std::function<void()>& golpe,
                            const std::vector<std::string>& motivos) {
        Proceso::Opciones o = Lote(origen, base, "agentes", true);
        // The bar at every record, so that a full terminal holds the program right after a
        // commit (it is drawn ten times a second at most otherwise).
        if (entreRegistros) o.poner = {"TRASPASO_BARRA_MS=0"};
        Proceso p(o);
        std::size_t hechos = p.EsperarProgreso(k, 60s);
        EXPECT_GE(hechos, k);
        if (entreRegistros) {
            p.LeerError(false);
            EXPECT_TRUE(p.EsperarBloqueadoEscribiendo(30s));
        }
        golpe();
        hechos = std::max(hechos, p.Progreso());
        p.Marcar();
        if (entreRegistros) p.LeerError(true);
        Fin f = p.Terminar(20s);
        colgado_ = f.colgado;
        EXPECT_FALSE(f.colgado) << "still running 20 s after the fault\n" << f.Todo();
        if (f.out.find("Agentes Añadidos") != std::string::npos) return kAgentes; // too late
        EXPECT_EQ(f.estado, 2) << f.Todo();
        EXPECT_TRUE(f.Lineas("Aviso:").empty()) << f.Todo();
        EXPECT_EQ(f.Errores().size(), 1u) << "one error, told once\n" << f.Todo();
        bool dicho = false;
        for (const std::string& m : motivos)
            dicho = dicho || f.err.find(m) != std::string::npos;
        EXPECT_TRUE(dicho) << "the error says what happened to the database\n" << f.Todo();
        return hechos;
    }

    // `muerto`: the server was killed, and may have left pages allocated and unreferenced.
    void Converge(const std::string& base, std::size_t hechos,
                  const std::vector<std::string>& referencia, bool muerto) {
        std::set<std::string> codigos = CodigosAgentes(base);
        std::size_t perdidos = 0;
        for (std::size_t i = 0; i < hechos && i < kAgentes; ++i)
            perdidos += codigos.count(Codigo(i)) ? 0 : 1;
        EXPECT_EQ(perdidos, 0u) << "records shown as committed and missing, of " << hechos;
        const std::string v = Validar(base);
        EXPECT_EQ(muerto ? SinPaginasHuerfanas(v) : v, "") << v;
        Fin f = Ejecutar(Lote(origen, base));
        EXPECT_EQ(f.estado, 0) << f.Todo();
        EXPECT_EQ(Agentes(base), referencia);
    }

    void ServidorMuerto(std::size_t k, bool entreRegistros, Servidor& srv,
                        const std::vector<std::string>& referencia, const std::string& nombre) {
        std::string fichero = Base(nombre);
        std::size_t hechos = Interrumpir(
            srv.Ruta(fichero), k, entreRegistros, [&] { srv.Matar(); }, kPerdida);
        srv.Arrancar();
        Converge(srv.Ruta(fichero), hechos, referencia, true);
    }

    void BaseCerrada(std::size_t k, bool entreRegistros, const std::vector<std::string>& referencia,
                     const std::string& nombre) {
        std::string base = Remota(nombre);
        std::size_t hechos = Interrumpir(
            base, k, entreRegistros,
            [&] {
                Herramienta h = Gfix("-shut full -force 0", base);
                EXPECT_EQ(h.estado, 0) << h.texto;
            },
            kCierre);
        Herramienta h = Gfix("-online", base);
        ASSERT_EQ(h.estado, 0) << h.texto;
        Converge(base, hechos, referencia, false);
    }

    // The moments of the sweep: after so many records, with no pause, so that the fault lands
    // wherever the program happens to be (a lookup, an insert, a commit). A few in an ordinary
    // run of the suite, which CI makes on a busy machine; `largo` with FALLOS_BARRIDO=largo.
    static std::vector<std::size_t> Barrido(std::size_t corto, std::size_t largo) {
        const char* e = std::getenv("FALLOS_BARRIDO");
        return Barrido(e && std::string(e) == "largo" ? largo : corto);
    }
    static std::vector<std::size_t> Barrido(std::size_t n) {
        std::vector<std::size_t> k;
        for (std::size_t i = 0; i < n; ++i)
            k.push_back(100 + 2400 * i / n);
        return k;
    }

    bool colgado_ = false; // the last run had to be killed: the sweep has shown enough
};

TEST_F(ServidorCaido, ServerKilledBetweenRecords) {
    Carpeta propia;
    std::unique_ptr<Servidor> srv = Servidor::Propio(propia.Ruta());
    ServidorMuerto(300, true, *srv, Referencia("Agente"), "orvalia.fdb");
}

TEST_F(ServidorCaido, ServerKilledAtMomentsSweptOverTheRun) {
    Carpeta propia;
    std::unique_ptr<Servidor> srv = Servidor::Propio(propia.Ruta());
    std::vector<std::string> referencia = Referencia("Agente");
    for (std::size_t k : Barrido(4, 12)) {
        SCOPED_TRACE("killed after record " + std::to_string(k));
        ServidorMuerto(k, false, *srv, referencia, "orvalia" + std::to_string(k) + ".fdb");
        if (colgado_) break;
    }
}

TEST_F(ServidorCaido, DatabaseShutDownBetweenRecords) {
    BaseCerrada(300, true, Referencia("Agente"), "orvalia.fdb");
}

TEST_F(ServidorCaido, DatabaseShutDownAtMomentsSweptOverTheRun) {
    std::vector<std::string> referencia = Referencia("Agente");
    for (std::size_t k : Barrido(5, 20)) {
        SCOPED_TRACE("shut down after record " + std::to_string(k));
        BaseCerrada(k, false, referencia, "orvalia" + std::to_string(k) + ".fdb");
        if (colgado_) break;
    }
}

} // namespace
