// Source engine benchmark: a full walk of a large articles table and many openings of the
// stock query by code, at two sizes, so that the growth with N + M can be seen; and the
// opening of the articles table without a language byte, whose page is judged from its text.
#include "DbfTable.h"
#include "DbfWriter.h"
#include "OrigenFacturaPlus.h"
#include "TempDir.h"

#include <chrono>
#include <cstdio>
#include <fcntl.h>
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

} // namespace

int main() {
    Run(50000, 100000, 50000);
    Run(100000, 200000, 100000);
    return 0;
}
