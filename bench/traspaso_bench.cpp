// Transfer benchmark: each transfer through the data module, against the same work done straight
// on the client library, at two sizes, first run (inserts) and second run (updates); and the
// agents transfer through the window against the batch program. Every measurement runs in a
// child process of its own, so that its peak memory is its own; rounds are interleaved.
#include "ConDatos.h"
#include "Crudo.h"
#include "Generador.h"
#include "Medida.h"
#include "Resultados.h"
#ifdef TM_VENTANA
#include "ConVentana.h"
#endif

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <stdexcept>
#include <string>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

const char* const kUso =
    "Usage: traspaso_bench [options]\n"
    "  --sizes N,N...             records per master file (default 5000,20000)\n"
    "  --transfers T,T...         agentes,proveedores,clientes,articulos (default all four)\n"
    "  --forced-writes off|on|both  (default off)\n"
    "  --sizes-forced-writes-on N,N...  sizes measured with Forced Writes on (default --sizes)\n"
    "  --repetitions R            interleaved rounds (default 3)\n"
    "  --no-window                skip the window against the batch program\n"
    "  --no-lookup-once           skip the raw loop with its lookup prepared once\n"
    "  --no-lookup-anew           skip the raw loop that prepares its lookup per record\n"
    "  --only-changes             also the data module writing only what changed\n"
    "  --batch                    only the batch program: each transfer with its default\n"
    "                             options, with --solo-cambios and with --confirmar-cada 1,\n"
    "                             the Forced Writes modes\n"
    "                             interleaved within each round\n"
    "  --raw-commit-every K       the raw loops also commit fully every K records\n"
    "  --quick                    1000 records, one round: a smoke run\n"
    "  --memory                   only the memory figures: the articles transfer alone at each\n"
    "                             --memory-sizes, and the four transfers in one process at\n"
    "                             --four-size against each alone\n"
    "  --memory-sizes N,N...      articles (default 20000,100000,200000)\n"
    "  --four-size N              records per master file (default 20000)\n"
    "  --workdir DIR              where folders and databases go (kept); default a temporary\n"
    "                             folder removed at the end\n";

std::vector<std::string> Partes(const std::string& s) {
    std::vector<std::string> v;
    std::stringstream in(s);
    std::string x;
    while (std::getline(in, x, ','))
        if (!x.empty()) v.push_back(x);
    return v;
}

std::vector<int> Numeros(const std::string& s) {
    std::vector<int> v;
    for (const std::string& x : Partes(s))
        v.push_back(std::stoi(x));
    return v;
}

std::string Yo() {
    return fs::read_symlink("/proc/self/exe").string();
}

void Ejecutar(const std::string& orden) {
    if (std::system(orden.c_str()) != 0) throw std::runtime_error("failed: " + orden);
}

std::string Salida(const std::string& orden) {
    std::string s;
    FILE* p = popen(orden.c_str(), "r");
    if (!p) throw std::runtime_error("cannot run " + orden);
    char b[4096];
    std::size_t n;
    while ((n = fread(b, 1, sizeof b, p)) > 0)
        s.append(b, n);
    pclose(p);
    return s;
}

// The disk's mood: a synchronous 4 KiB write, the unit of a commit with Forced Writes on.
double LatenciaSincronaMs(const std::string& dir) {
    const std::string f = dir + "/sonda";
    int fd = open(f.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_DSYNC, 0644);
    if (fd < 0) return 0;
    char bloque[4096] = {};
    constexpr int kVeces = 100;
    auto inicio = std::chrono::steady_clock::now();
    for (int i = 0; i < kVeces; ++i)
        if (pwrite(fd, bloque, sizeof bloque, static_cast<off_t>(i) * 4096) < 0) break;
    double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - inicio)
                    .count();
    close(fd);
    fs::remove(f);
    return ms / kVeces;
}

std::string CargaMedia() {
    std::ifstream in("/proc/loadavg");
    std::string a, b, c;
    in >> a >> b >> c;
    return a + " " + b + " " + c;
}

// ---- the child side ----

int Hijo(int argc, char** argv) {
    std::vector<std::string> a(argv + 2, argv + argc);
    try {
        if (a.at(0) == "carpeta") {
            fs::create_directories(a.at(1));
            generador::EscribirCarpeta(a.at(1), std::stoi(a.at(2)));
            InformarAlPadre({});
        } else if (a.at(0) == "carpeta-articulos") {
            fs::create_directories(a.at(1));
            generador::EscribirArticulos(a.at(1), std::stoi(a.at(2)));
            InformarAlPadre({});
        } else if (a.at(0) == "nada") {
            InformarAlPadre({});
        } else if (a.at(0) == "datos") {
            MedidaDatos m = ConDatos(a.at(1), a.at(2), a.at(3), a.size() > 4);
            if (m.avisos) std::fprintf(stderr, "first warning: %s\n", m.primerAviso.c_str());
            InformarAlPadre({m.segundos, double(m.registros), double(m.altas), double(m.cambios),
                             double(m.avisos), m.lecturas, m.escrituras, m.accesos});
        } else if (a.at(0) == "crudo") {
            Busqueda b =
                a.at(4) == "una" ? Busqueda::PreparadaUnaVez : Busqueda::PreparadaCadaRegistro;
            MedidaCruda m = BucleCrudo(a.at(1), a.at(2), a.at(3), b, std::stoi(a.at(5)));
            InformarAlPadre({m.segundos, double(m.registros), double(m.altas), double(m.cambios), 0,
                             m.lecturas, m.escrituras, m.accesos, m.valores});
#ifdef TM_VENTANA
        } else if (a.at(0) == "ventana") {
            MedidaVentana m = ConVentana(a.at(1), a.at(2), a.at(3));
            InformarAlPadre({m.segundos, double(m.cajas), double(m.mensajes)});
#endif
        } else {
            throw std::runtime_error("unknown child kind " + a.at(0));
        }
        return 0;
    } catch (const std::exception& e) {
        InformarFalloAlPadre(e.what());
        return 2;
    }
}

// ---- the parent side ----

class Banco {
public:
    Banco(Ajustes a, std::string dir) : a_(std::move(a)), dir_(std::move(dir)) {}

    void Preparar() {
        std::fprintf(stderr, "Work folder %s\n", dir_.c_str());
        plantilla_ = dir_ + "/plantilla.fdb";
        Ejecutar(std::string("'") + TM_CREAR_PLANTILLA + "' '" + TM_ESQUEMA + "' '" + plantilla_ +
                 "'");
        std::vector<int> todos = a_.tamanos;
        todos.insert(todos.end(), a_.tamanosForzadas.begin(), a_.tamanosForzadas.end());
        bool clientes = false;
        for (const std::string& t : a_.traspasos)
            clientes = clientes || t == "clientes";
        if (a_.memoria) {
            todos = {a_.tamanoCuatro};
            clientes = true;
            for (int n : a_.tamanosMemoria)
                if (!fs::exists(CarpetaArticulos(n))) {
                    std::fprintf(stderr, "Writing the articles folder of %d articles\n", n);
                    Comprobar(EjecutarHijo(Yo(), {"--child", "carpeta-articulos",
                                                  CarpetaArticulos(n), std::to_string(n)}),
                              "articles folder");
                }
        }
        for (int n : todos)
            PrepararCarpeta(n, clientes);
        Resultado base = EjecutarHijo(Yo(), {"--child", "nada"});
        basePico_ = base.picoMb;
        cargaInicial_ = CargaMedia();
    }

    // The memory mode, rounds interleaved as the others: the articles transfer alone at each
    // size, then each transfer alone and the four in one process.
    void MedirMemoria() {
        for (int rep = 1; rep <= a_.repeticiones; ++rep) {
            for (int n : a_.tamanosMemoria)
                Memoria(rep, "articulos", CarpetaArticulos(n), n, kArticulosPorTamano);
            const int n = a_.tamanoCuatro;
            for (const char* t : {"agentes", "proveedores", "clientes", "articulos", "cuatro"})
                Memoria(rep, t, Carpeta(n), n);
        }
        cargaFinal_ = CargaMedia();
    }

    // What the machine and the runs were like: a figure beside a problem means nothing.
    void ImprimirEntorno() const {
        std::printf("a child process that does nothing peaks at %.1f MB; load average %s at the "
                    "start, %s at the end\n",
                    basePico_, cargaInicial_.c_str(), cargaFinal_.c_str());
        if (!problemas_.empty()) {
            std::printf("\nPROBLEMS SEEN:\n");
            for (const std::string& p : problemas_)
                std::printf("  %s\n", p.c_str());
        }
    }

    void ImprimirMemoria() const {
        std::printf("traspaso_bench --memory: %d round(s), interleaved; each figure from a child "
                    "process of its own\n",
                    a_.repeticiones);
        ImprimirEntorno();
        ::ImprimirMemoria(r_, a_);
    }

    void Medir() {
        for (bool forzadas : a_.modos)
            for (int rep = 1; rep <= a_.repeticiones; ++rep) {
                if (!forzadas) entorno_.latenciaMs[false].push_back(LatenciaSincronaMs(dir_));
                for (int n : forzadas ? a_.tamanosForzadas : a_.tamanos) {
                    for (const std::string& t : a_.traspasos) {
                        Par(forzadas, rep, t, n, Variante::Datos);
                        if (a_.cadaVez) Par(forzadas, rep, t, n, Variante::Crudo);
                        if (a_.unaVez) Par(forzadas, rep, t, n, Variante::CrudoUnaVez);
                        if (a_.soloCambios) Par(forzadas, rep, t, n, Variante::SoloCambios);
                    }
                    if (a_.ventana) {
                        Par(forzadas, rep, "agentes", n, Variante::Ventana);
                        Par(forzadas, rep, "agentes", n, Variante::Lote);
                        Par(forzadas, rep, "agentes", n, Variante::DatosVentana);
                    }
                }
            }
        cargaFinal_ = CargaMedia();
    }

    // Rounds outermost, so that both Forced Writes modes are measured in each round and their
    // ratio is taken round by round.
    void MedirLote() {
        for (int rep = 1; rep <= a_.repeticiones; ++rep)
            for (bool forzadas : a_.modos) {
                entorno_.latenciaMs[forzadas].push_back(LatenciaSincronaMs(dir_));
                for (int n : forzadas ? a_.tamanosForzadas : a_.tamanos)
                    for (const std::string& t : a_.traspasos) {
                        Par(forzadas, rep, t, n, Variante::LoteDefecto);
                        Par(forzadas, rep, t, n, Variante::LoteSoloCambios);
                        Par(forzadas, rep, t, n, Variante::LoteUnoAUno);
                    }
            }
        cargaFinal_ = CargaMedia();
    }

    void Imprimir() const {
        std::printf("traspaso_bench: %s per master file; %d round(s), interleaved; each figure "
                    "from a child process of its own\n",
                    Lista(a_.tamanos).c_str(), a_.repeticiones);
        std::printf("articles: %d stock rows and 1.5 comment lines per article, one family per "
                    "50 articles; clients' target holds the agents beforehand\n",
                    generador::kStocksPorArticulo);
        ImprimirEntorno();
        if (a_.lote)
            ImprimirLote(r_, a_, entorno_);
        else
            ImprimirTablas(r_, a_, entorno_);
    }

private:
    std::string Carpeta(int n) const { return dir_ + "/FacturaPlus-" + std::to_string(n); }
    std::string CarpetaArticulos(int n) const {
        return dir_ + "/FacturaPlus-articulos-" + std::to_string(n);
    }

    void PrepararCarpeta(int n, bool clientes) {
        if (!fs::exists(Carpeta(n))) {
            std::fprintf(stderr, "Writing the folder of %d records per master file\n", n);
            Comprobar(EjecutarHijo(Yo(), {"--child", "carpeta", Carpeta(n), std::to_string(n)}),
                      "folder");
        }
        // The clients' agent lookups find agents: their target has them beforehand.
        if (clientes && !fs::exists(ConAgentes(n))) {
            fs::copy_file(plantilla_, ConAgentes(n) + ".tmp", fs::copy_options::overwrite_existing);
            Comprobar(EjecutarHijo(Yo(), {"--child", "datos", "agentes", Carpeta(n),
                                          ConAgentes(n) + ".tmp"}),
                      "agents before the clients");
            fs::rename(ConAgentes(n) + ".tmp", ConAgentes(n));
        }
    }

    // One first run on a fresh target, Forced Writes off; "cuatro" starts from the empty
    // template, since it transfers the agents itself before the clients.
    void Memoria(int rep, const std::string& t, const std::string& carpeta, int n,
                 const std::string& como = {}) {
        std::string base = Destino(t, n, false);
        Resultado r = EjecutarHijo(Yo(), {"--child", "datos", t, carpeta, base});
        std::string que =
            "memory: " + t + " " + std::to_string(n) + ", round " + std::to_string(rep);
        if (!r.ok) {
            problemas_.push_back(que + ": " + r.error);
            std::fprintf(stderr, "%s: FAILED %s\n", que.c_str(), r.error.c_str());
            return;
        }
        long esperados = t == "cuatro"      ? 4L * n + generador::Familias(n)
                         : t == "articulos" ? n + generador::Familias(n)
                                            : n;
        double altas = r.valores.at(2), cambios = r.valores.at(3), avisos = r.valores.at(4);
        if (altas != esperados || cambios != 0 || avisos != 0)
            problemas_.push_back(que + ": " + std::to_string(long(altas)) + " inserted, " +
                                 std::to_string(long(cambios)) + " updated, " +
                                 std::to_string(long(avisos)) + " warnings; expected " +
                                 std::to_string(esperados) + " inserted");
        r_.Anotar({false, como.empty() ? t : como, n, Variante::Datos, 1},
                  Muestra{rep, r.valores.at(0), r.picoMb});
        std::fprintf(stderr, "%s: %.3f s, peak %.1f MB\n", que.c_str(), r.valores.at(0), r.picoMb);
    }
    std::string ConAgentes(int n) const {
        return dir_ + "/plantilla-agentes-" + std::to_string(n) + ".fdb";
    }
    static std::string Lista(const std::vector<int>& v) {
        std::string s;
        for (int n : v)
            s += (s.empty() ? "" : ", ") + std::to_string(n);
        return s;
    }

    void Comprobar(const Resultado& r, const std::string& que) {
        if (!r.ok) throw std::runtime_error(que + ": " + r.error);
    }

    // A fresh target with Forced Writes set as asked.
    std::string Destino(const std::string& traspaso, int n, bool forzadas) {
        std::string base = dir_ + "/destino.fdb";
        fs::remove(base);
        fs::copy_file(traspaso == "clientes" ? ConAgentes(n) : plantilla_, base);
        Ejecutar(std::string("gfix -user SYSDBA -password quietlamp -write ") +
                 (forzadas ? "sync" : "async") + " '" + base + "'");
        if (!comprobadas_[forzadas]) {
            // Once per mode: the header says what gfix set.
            std::string h = Salida("fbstat -h '" + base + "' 2>&1");
            bool dice = h.find("force write") != std::string::npos;
            if (dice != forzadas)
                throw std::runtime_error("gfix did not set Forced Writes as asked:\n" + h);
            comprobadas_[forzadas] = true;
        }
        return base;
    }

    Resultado Una(Variante v, const std::string& t, const std::string& carpeta,
                  const std::string& base) {
        switch (v) {
        case Variante::Datos:
        case Variante::DatosVentana:
            return EjecutarHijo(Yo(), {"--child", "datos", t, carpeta, base});
        case Variante::SoloCambios:
            return EjecutarHijo(Yo(), {"--child", "datos", t, carpeta, base, "solo-cambios"});
        case Variante::Crudo:
        case Variante::CrudoUnaVez:
            return EjecutarHijo(Yo(), {"--child", "crudo", t, carpeta, base,
                                       v == Variante::Crudo ? "cada" : "una",
                                       std::to_string(a_.confirmarCada)});
        case Variante::Ventana:
            return EjecutarHijo(Yo(), {"--child", "ventana", t, carpeta, base});
        case Variante::LoteDefecto:
            return Lote(t, carpeta, base, {});
        case Variante::LoteSoloCambios:
            return Lote(t, carpeta, base, {"--solo-cambios"});
        case Variante::LoteUnoAUno:
            return Lote(t, carpeta, base, {"--confirmar-cada", "1"});
        case Variante::Lote: {
            Resultado r = EjecutarHijo(TM_LOTE, {"--origen", carpeta, "--destino", base, t},
                                       dir_ + "/lote-errores.txt");
            if (r.ok && r.valores.at(0) != 0) {
                r.ok = false;
                r.error =
                    "traspaso-maestros-lote ended with status " + std::to_string(int(r.valores[0]));
            }
            if (r.ok) r.valores = {r.pared};
            return r;
        }
        }
        return {};
    }

    // The batch program as an operator runs it, its work read from its report: valores =
    // {seconds, 0, inserted, updated, refused, unchanged}, as the data module's children give the
    // first five.
    Resultado Lote(const std::string& t, const std::string& carpeta, const std::string& base,
                   const std::vector<std::string>& opciones) {
        const std::string informe = dir_ + "/informe.json";
        std::vector<std::string> args = {"--origen", carpeta,     "--destino",
                                         base,       "--informe", informe};
        args.insert(args.end(), opciones.begin(), opciones.end());
        args.push_back(t);
        fs::remove(informe);
        Resultado r = EjecutarHijo(TM_LOTE, args, dir_ + "/lote-errores.txt");
        if (!r.ok) return r;
        if (r.valores.at(0) != 0) {
            r.ok = false;
            r.error = "traspaso-maestros-lote ended with status " +
                      std::to_string(int(r.valores[0])) + "; see " + dir_ + "/lote-errores.txt";
            return r;
        }
        try {
            std::ifstream f(informe);
            nlohmann::json j = nlohmann::json::parse(f);
            double altas = 0, cambios = 0, rechazos = 0, iguales = 0;
            for (const auto& x : j.at("traspasos")) {
                altas += x.value("anadidos", 0.0);
                cambios += x.value("actualizados", 0.0);
                rechazos += x.value("rechazados", 0.0);
                iguales += x.value("sinCambios", 0.0);
            }
            r.valores = {r.pared, 0, altas, cambios, rechazos, iguales};
        } catch (const std::exception& e) {
            r.ok = false;
            r.error = std::string("its report could not be read: ") + e.what();
        }
        return r;
    }

    // The first run (inserts) and the second (updates) on one fresh target.
    void Par(bool forzadas, int rep, const std::string& t, int n, Variante v) {
        std::string base = Destino(t, n, forzadas);
        // With Forced Writes on the disk's latency is the figure: it is watched closely.
        if (forzadas) entorno_.latenciaMs[true].push_back(LatenciaSincronaMs(dir_));
        for (int pasada : {1, 2}) {
            Resultado r = Una(v, t, Carpeta(n), base);
            const char* nombres[] = {"TDatos",
                                     "raw",
                                     "raw, lookup once",
                                     "window",
                                     "lote",
                                     "TDatos (next to the window)",
                                     "TDatos, only changes",
                                     "lote",
                                     "lote --solo-cambios",
                                     "lote --confirmar-cada 1"};
            std::string que = std::string(forzadas ? "FW on " : "FW off ") + t + " " +
                              std::to_string(n) + " " + nombres[int(v)] +
                              (pasada == 1 ? " first" : " second") + " run, round " +
                              std::to_string(rep);
            if (!r.ok) {
                problemas_.push_back(que + ": " + r.error);
                std::fprintf(stderr, "%s: FAILED %s\n", que.c_str(), r.error.c_str());
                return;
            }
            Revisar(que, v, t, n, pasada, r);
            Muestra m{rep, r.valores.at(0), r.picoMb};
            if (r.valores.size() >= 8) {
                m.lecturas = r.valores[5] / n;
                m.escrituras = r.valores[6] / n;
                m.accesos = r.valores[7] / n;
            }
            if (r.valores.size() >= 9) m.valores = r.valores[8];
            r_.Anotar({forzadas, t, n, v, pasada}, m);
            // The raw loops' source side, timed apart, so that a round's ratio can be taken
            // with it as the tables take it.
            char valores[48] = "";
            if (m.valores > 0) std::snprintf(valores, sizeof valores, ", values %.3f s", m.valores);
            std::fprintf(stderr, "%s: %.3f s%s, peak %.1f MB\n", que.c_str(), r.valores.at(0),
                         valores, r.picoMb);
        }
    }

    // A run that did other work than asked would make its figure meaningless: say so.
    void Revisar(const std::string& que, Variante v, const std::string& t, int n, int pasada,
                 const Resultado& r) {
        long esperados = n + (t == "articulos" ? generador::Familias(n) : 0);
        if (v == Variante::Datos || v == Variante::DatosVentana || v == Variante::Crudo ||
            v == Variante::CrudoUnaVez || v == Variante::LoteDefecto ||
            v == Variante::LoteUnoAUno) {
            double altas = r.valores.at(2), cambios = r.valores.at(3), avisos = r.valores.at(4);
            bool bien = pasada == 1 ? altas == esperados && cambios == 0
                                    : cambios == esperados && altas == 0;
            if (!bien || avisos != 0)
                problemas_.push_back(que + ": " + std::to_string(long(altas)) + " inserted, " +
                                     std::to_string(long(cambios)) + " updated, " +
                                     std::to_string(long(avisos)) + " warnings; expected " +
                                     std::to_string(esperados) +
                                     (pasada == 1 ? " inserted" : " updated"));
        } else if (v == Variante::SoloCambios || v == Variante::LoteSoloCambios) {
            // The second run finds every record as the first left it: it writes nothing.
            double altas = r.valores.at(2), cambios = r.valores.at(3), avisos = r.valores.at(4);
            bool bien = pasada == 1 ? altas == esperados && cambios == 0 : altas + cambios == 0;
            if (!bien || avisos != 0)
                problemas_.push_back(que + ": " + std::to_string(long(altas)) + " inserted, " +
                                     std::to_string(long(cambios)) + " updated, " +
                                     std::to_string(long(avisos)) + " warnings; expected " +
                                     (pasada == 1 ? std::to_string(esperados) + " inserted"
                                                  : std::string("nothing written")));
            // The batch program's report also says it found every record unchanged.
            if (v == Variante::LoteSoloCambios && pasada == 2 && r.valores.at(5) != esperados)
                problemas_.push_back(que + ": " + std::to_string(long(r.valores.at(5))) +
                                     " unchanged; expected " + std::to_string(esperados));
        } else if (v == Variante::Ventana) {
            long cajas = long(r.valores.at(1));
            if (cajas != 1)
                problemas_.push_back(que + ": " + std::to_string(cajas) +
                                     " boxes shown; one summary expected");
        }
    }

    Ajustes a_;
    std::string dir_;
    std::string plantilla_;
    double basePico_ = 0;
    bool comprobadas_[2] = {false, false};
    Resultados r_;
    Entorno entorno_;
    std::string cargaInicial_, cargaFinal_;
    std::vector<std::string> problemas_;
};

} // namespace

int main(int argc, char** argv) {
    if (argc >= 2 && std::strcmp(argv[1], "--child") == 0) return Hijo(argc, argv);

    Ajustes a;
    a.tamanos = {5000, 20000};
    a.traspasos = {"agentes", "proveedores", "clientes", "articulos"};
    a.modos = {false};
    std::string dir, forzadasTamanos;
    bool rapido = false;
#ifndef TM_VENTANA
    a.ventana = false;
#endif
    try {
        for (int i = 1; i < argc; ++i) {
            std::string o = argv[i];
            auto valor = [&]() -> std::string {
                if (i + 1 >= argc) throw std::runtime_error(o + " needs a value");
                return argv[++i];
            };
            if (o == "--sizes")
                a.tamanos = Numeros(valor());
            else if (o == "--transfers")
                a.traspasos = Partes(valor());
            else if (o == "--forced-writes") {
                std::string m = valor();
                if (m == "off")
                    a.modos = {false};
                else if (m == "on")
                    a.modos = {true};
                else if (m == "both")
                    a.modos = {false, true};
                else
                    throw std::runtime_error("--forced-writes takes off, on or both");
            } else if (o == "--sizes-forced-writes-on")
                forzadasTamanos = valor();
            else if (o == "--repetitions")
                a.repeticiones = std::stoi(valor());
            else if (o == "--no-window")
                a.ventana = false;
            else if (o == "--no-lookup-once")
                a.unaVez = false;
            else if (o == "--no-lookup-anew")
                a.cadaVez = false;
            else if (o == "--only-changes")
                a.soloCambios = true;
            else if (o == "--batch")
                a.lote = true;
            else if (o == "--raw-commit-every")
                a.confirmarCada = std::stoi(valor());
            else if (o == "--quick")
                rapido = true;
            else if (o == "--memory")
                a.memoria = true;
            else if (o == "--memory-sizes")
                a.tamanosMemoria = Numeros(valor());
            else if (o == "--four-size")
                a.tamanoCuatro = std::stoi(valor());
            else if (o == "--workdir")
                dir = valor();
            else if (o == "--help" || o == "-h") {
                std::fputs(kUso, stdout);
                return 0;
            } else
                throw std::runtime_error("unknown option " + o);
        }
        if (rapido) {
            a.tamanos = {1000};
            a.repeticiones = 1;
        }
        a.tamanosForzadas = forzadasTamanos.empty() ? a.tamanos : Numeros(forzadasTamanos);
        for (const std::string& t : a.traspasos)
            if (t != "agentes" && t != "proveedores" && t != "clientes" && t != "articulos")
                throw std::runtime_error("unknown transfer " + t);
        for (int n : a.tamanos)
            if (n < 1 || n > generador::kMaximo)
                throw std::runtime_error("sizes go from 1 to " +
                                         std::to_string(generador::kMaximo));
        if (a.tamanoCuatro < 1 || a.tamanoCuatro > generador::kMaximo)
            throw std::runtime_error("--four-size goes from 1 to " +
                                     std::to_string(generador::kMaximo));
        for (int n : a.tamanosMemoria)
            if (n < 1 || n > generador::kMaximoArticulos)
                throw std::runtime_error("--memory-sizes go from 1 to " +
                                         std::to_string(generador::kMaximoArticulos));
#ifndef TM_VENTANA
        if (a.ventana) throw std::runtime_error("built without the window");
#endif
    } catch (const std::exception& e) {
        std::fprintf(stderr, "traspaso_bench: %s\n%s", e.what(), kUso);
        return 2;
    }

    bool temporal = dir.empty();
    if (temporal) {
        char plantilla[] = "/var/tmp/traspaso-bench-XXXXXX";
        if (!mkdtemp(plantilla)) {
            std::perror("mkdtemp");
            return 2;
        }
        dir = plantilla;
    }
    fs::create_directories(dir);
    dir = fs::absolute(dir).string();
    // The embedded engine's lock folder: one of our own, the same for every process we start,
    // since all of them open only our own files.
    if (!std::getenv("FIREBIRD_LOCK")) {
        fs::create_directories(dir + "/firebird-lock");
        setenv("FIREBIRD_LOCK", (dir + "/firebird-lock").c_str(), 1);
    }
    int estado = 0;
    try {
        Banco b(a, dir);
        b.Preparar();
        if (a.memoria) {
            b.MedirMemoria();
            b.ImprimirMemoria();
        } else if (a.lote) {
            b.MedirLote();
            b.Imprimir();
        } else {
            b.Medir();
            b.Imprimir();
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "traspaso_bench: %s\n", e.what());
        estado = 2;
    }
    if (temporal) fs::remove_all(dir);
    return estado;
}
