// Source engine benchmark: a full walk of a large articles table and many openings of the
// stock query by code, at two sizes, so that the growth with N + M can be seen; the opening of
// the articles table without a language byte, whose page is judged from its text; and the
// engine's share of the articles transfer (every field it reads, the long name and the stock
// of each article) on the transfer benchmark's folders, by size, each in a process of its own.
#include "DbfTable.h"
#include "DbfWriter.h"
#include "Generador.h"
#include "Medida.h"
#include "OrigenFacturaPlus.h"
#include "TempDir.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
double Seconds(Clock::time_point a) {
    return std::chrono::duration<double>(Clock::now() - a).count();
}

std::string Ref(int i) {
    return "REF" + std::to_string(i);
}

std::vector<Fila> Articles(int articles) {
    std::vector<Fila> a;
    a.reserve(articles);
    for (int i = 0; i < articles; ++i)
        a.push_back({{"CREF", Ref(i)},
                     {"CDETALLE", "Artículo de prueba número " + std::to_string(i)},
                     {"NPVP", std::to_string(i % 1000) + ".25"},
                     {"CCODFAM", "F" + std::to_string(i % 50)}});
    return a;
}

void Build(const std::string& folder, int articles, int stocks) {
    WriteFacturaPlusTable(folder, "articulo", Articles(articles));
    std::vector<Fila> s;
    s.reserve(stocks);
    for (int i = 0; i < stocks; ++i)
        s.push_back({{"CCODALM", std::to_string(i % 2)},
                     {"CREF", Ref(i % articles)},
                     {"NSTOCK", std::to_string(i % 97)}});
    WriteFacturaPlusTable(folder, "stocks", s);
}

double PlainRead(const std::string& path) {
    auto t = Clock::now();
    int fd = open(path.c_str(), O_RDONLY);
    std::vector<char> buffer(1 << 20);
    unsigned long sum = 0;
    ssize_t n;
    while ((n = read(fd, buffer.data(), buffer.size())) > 0)
        for (ssize_t i = 0; i < n; ++i)
            sum += static_cast<unsigned char>(buffer[i]);
    close(fd);
    volatile unsigned long keep = sum;
    (void)keep;
    return Seconds(t);
}

void Run(int articles, int stocks, int lookups) {
    TempDir dir;
    Build(dir.Path().string(), articles, stocks);
    OrigenFacturaPlus origen(nullptr);
    origen.CrearAlias(dir.Path().string());

    auto t = Clock::now();
    double total = 0;
    origen.qArticulos.Open();
    for (; !origen.qArticulos.Eof(); origen.qArticulos.Next()) {
        total += origen.qArticulos.FieldByName("NPVP").AsFloat();
        total += static_cast<double>(origen.qArticulos.FieldByName("CREF").AsString().size());
    }
    origen.qArticulos.Close();
    double walk = Seconds(t);
    double plain = PlainRead(dir.File("articulo.dbf"));

    t = Clock::now();
    for (int i = 0; i < lookups; ++i) {
        origen.qStock.Close();
        origen.qStock.SetParam("PARCODIGO", Ref(i % articles));
        origen.qStock.Open();
        total += origen.qStock.FieldByName("NSTOCK").AsFloat();
    }
    origen.qStock.Close();
    double opens = Seconds(t);

    TempDir noByte;
    WriteFacturaPlusTable(noByte.Path().string(), "articulo", Articles(articles), 0x00);
    t = Clock::now();
    DbfTable guessed(noByte.File("articulo.dbf"));
    double guess = Seconds(t);
    std::printf("articulo %7d, stocks %7d: walk %.3f s (%.0f records/s, %.1fx a plain read of "
                "%.3f s); %d qStock openings %.3f s (%.0f/s); opening without a language byte "
                "%.3f s (page %d)  [checksum %.0f]\n",
                articles, stocks, walk, articles / walk, walk / plain, plain, lookups, opens,
                lookups / opens, guess, guessed.Page().Number(), total);
}

// What the articles transfer asks of the engine for each article, within a run.
double ReadAsTheArticlesTransfer(const std::string& folder) {
    static const char* const kRead[] = {
        "CREF",      "CDETALLE",   "CCODFAM",    "CCODEBAR",  "CCODPRO",   "CREFPROV",  "CDES_TAC",
        "CSCTAVTAS", "CSCTACPRAS", "NCOSTEPROM", "NSTOCKMIN", "NSTOCKMAX", "NPVP",      "NPCONIVA",
        "NBENEFPVP", "NTARA",      "NUNIDADES",  "NTIPOCODE", "LKIT",      "LCTRLSTOCK"};
    OrigenFacturaPlus origen(nullptr);
    origen.CrearAlias(folder);
    origen.Session1.ConfiarDurante(std::chrono::seconds(1));
    // Processor time: the machine may be shared, and the work is the process's own.
    auto cpu = [] {
        timespec ts{};
        clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
        return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
    };
    double start = cpu();
    double check = 0;
    SourceQuery& q = origen.qArticulos;
    q.Open();
    for (; !q.Eof(); q.Next()) {
        for (const char* f : kRead)
            check += static_cast<double>(q.FieldByName(f).AsString().size());
        std::string ref = q.FieldByName("CREF").AsString();
        check += static_cast<double>(origen.NombreLargoArticulo(ref).size());
        origen.qStock.Close();
        origen.qStock.SetParam("PARCODIGO", ref);
        origen.qStock.Open();
        if (!origen.qStock.Eof()) check += origen.qStock.FieldByName("NSTOCK").AsFloat();
    }
    std::size_t n = q.RowCount();
    q.Close();
    origen.qStock.Close();
    origen.Session1.ConfiarDurante(std::chrono::milliseconds(0));
    origen.Session1.SoltarTablas();
    if (check <= 0) throw std::runtime_error("nothing read");
    return (cpu() - start) / static_cast<double>(n);
}

// The transfer benchmark's articles folders at each size, read as the transfer reads them, in a
// child process each (round after round), so that each size's peak memory is its own.
void ArticlesTransferReading(const std::vector<int>& sizes, int rounds) {
    TempDir dir;
    const std::string self = std::filesystem::read_symlink("/proc/self/exe").string();
    // Written by a child: a parent that held the records would lend its size to the children.
    for (int n : sizes) {
        std::fprintf(stderr, "writing the articles folder of %d articles\n", n);
        Resultado r =
            EjecutarHijo(self, {"--write", dir.File(std::to_string(n)), std::to_string(n)});
        if (!r.ok) throw std::runtime_error("writing: " + r.error);
    }
    std::vector<std::vector<double>> micros(sizes.size()), peaks(sizes.size());
    for (int round = 0; round < rounds; ++round)
        for (std::size_t i = 0; i < sizes.size(); ++i) {
            Resultado r = EjecutarHijo(self, {"--child", dir.File(std::to_string(sizes[i]))});
            if (!r.ok) throw std::runtime_error("child: " + r.error);
            micros[i].push_back(1e6 * r.valores.at(0));
            peaks[i].push_back(r.picoMb);
        }
    std::printf("\nthe engine's share of the articles transfer, median [min–max] of %d rounds, "
                "each size in a process of its own:\n",
                rounds);
    std::printf("%-10s %-25s %s\n", "articles", "CPU µs per article", "peak MB");
    for (std::size_t i = 0; i < sizes.size(); ++i)
        std::printf("%-10d %-24s %s\n", sizes[i], Texto(Resumir(micros[i]), 2).c_str(),
                    Texto(Resumir(peaks[i]), 1).c_str());
    std::vector<double> growth;
    for (int round = 0; round < rounds; ++round)
        growth.push_back(micros.back()[round] / micros.front()[round]);
    std::printf("time per article at %d over %d: %s\n", sizes.back(), sizes.front(),
                Texto(Resumir(growth), 2).c_str());
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::strcmp(argv[1], "--write") == 0) {
        std::filesystem::create_directories(argv[2]);
        generador::EscribirArticulos(argv[2], std::stoi(argv[3]));
        InformarAlPadre({});
        return 0;
    }
    if (argc == 3 && std::strcmp(argv[1], "--child") == 0) {
        try {
            InformarAlPadre({ReadAsTheArticlesTransfer(argv[2])});
            return 0;
        } catch (const std::exception& e) {
            InformarFalloAlPadre(e.what());
            return 2;
        }
    }
    try {
        // First: a child spawned later would report this process's own peak as its own.
        ArticlesTransferReading({20000, 200000}, 3);
        Run(50000, 100000, 50000);
        Run(100000, 200000, 100000);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "source_bench: %s\n", e.what());
        return 2;
    }
    return 0;
}
