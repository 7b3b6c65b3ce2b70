#include "Generador.h"

#include <cstdio>
#include <functional>
#include <map>
#include <stdexcept>

namespace generador {

namespace {

const char* const kNombres[] = {"José",  "María", "Íñigo", "Begoña", "Andrés", "Lucía",
                                "Ramón", "Inés",  "Jesús", "Ángela", "Óscar",  "Noemí"};
const char* const kApellidos[] = {"García", "Muñoz", "Pérez", "Núñez",  "Sánchez", "Ibáñez",
                                  "López",  "Gómez", "Peña",  "Martín", "Castaño", "Roldán"};
const char* const kLocalidades[] = {"Cádiz",   "León",    "Logroño",    "Málaga",
                                    "Ávila",   "Córdoba", "Alcañiz",    "Jaén",
                                    "Cáceres", "Almería", "Guadalajara"};
const char* const kCalles[] = {"C/ Mayor", "Avda. de la Constitución", "Pza. España",
                               "C/ Real",  "Ronda de Segovia",         "Paseo del Prado"};
const char* const kProvincias[] = {"Álava",       "Albacete",
                                   "Alicante",    "Almería",
                                   "Ávila",       "Badajoz",
                                   "Baleares",    "Barcelona",
                                   "Burgos",      "Cáceres",
                                   "Cádiz",       "Castellón",
                                   "Ciudad Real", "Córdoba",
                                   "La Coruña",   "Cuenca",
                                   "Gerona",      "Granada",
                                   "Guadalajara", "Guipúzcoa",
                                   "Huelva",      "Huesca",
                                   "Jaén",        "León",
                                   "Lérida",      "La Rioja",
                                   "Lugo",        "Madrid",
                                   "Málaga",      "Murcia",
                                   "Navarra",     "Orense",
                                   "Asturias",    "Palencia",
                                   "Las Palmas",  "Pontevedra",
                                   "Salamanca",   "Santa Cruz de Tenerife",
                                   "Cantabria",   "Segovia",
                                   "Sevilla",     "Soria",
                                   "Tarragona",   "Teruel",
                                   "Toledo",      "Valencia",
                                   "Valladolid",  "Vizcaya",
                                   "Zamora",      "Zaragoza",
                                   "Ceuta",       "Melilla"};
constexpr int kNumProvincias = sizeof kProvincias / sizeof kProvincias[0];

template <std::size_t N> const char* De(const char* const (&lista)[N], int i) {
    return lista[static_cast<std::size_t>(i) % N];
}

std::string Base36(int v, int ancho) {
    static const char* const kDigitos = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ";
    std::string s(ancho, '0');
    for (int k = ancho - 1; k >= 0; --k, v /= 36)
        s[k] = kDigitos[v % 36];
    if (v != 0) throw std::runtime_error("code out of range");
    return s;
}

std::string Cifras(long v, int ancho) {
    char b[32];
    std::snprintf(b, sizeof b, "%0*ld", ancho, v);
    return b;
}

std::string Importe(double v) {
    char b[32];
    std::snprintf(b, sizeof b, "%.3f", v);
    return b;
}

// Agents' codes are three characters wide in FacturaPlus; beyond 36^3 agents the table is
// written four wide, as the target's column allows.
int AnchoCodigoAgente(int n) {
    return n <= 36 * 36 * 36 ? 3 : 4;
}

std::string Provincia(int i) {
    return Cifras(i % kNumProvincias + 1, 2);
}

std::string Telefono(int i) {
    return "9" + Cifras(10000000L + (i * 7919L) % 89999999L, 8);
}

} // namespace

int Familias(int n) {
    return n / 50 > 0 ? n / 50 : 1;
}

int Comentarios(int i) {
    return i % 2 == 0 ? 1 : 2;
}

std::string CodigoAgente(int i, int n) {
    return Base36(i, AnchoCodigoAgente(n));
}
std::string CodigoFamilia(int i) {
    return "F" + Base36(i, 3);
}
std::string CodigoArticulo(int i) {
    return "A" + Cifras(i, 7);
}

Fila Agente(int i, int n) {
    return {{"CCODAGE", CodigoAgente(i, n)},
            {"CNBRAGE", De(kNombres, i)},
            {"CAPEAGE", std::string(De(kApellidos, i / 12)) + " " + De(kApellidos, i / 7)},
            {"CDNINIF", Cifras(10000000L + i, 8) + "K"},
            {"CDIRAGE", std::string(De(kCalles, i)) + ", " + std::to_string(i % 200 + 1)},
            {"CPOBAGE", De(kLocalidades, i)},
            {"CCODPROV", Provincia(i)},
            {"CPTLAGE", Cifras(1000 + i % 50000, 5)},
            {"CTFOAGE", Telefono(i)},
            {"CFAXAGE", Telefono(i + 1)},
            {"NCOM1", Importe(i % 15 + 0.5)},
            {"CNACAGE", i % 10 == 0 ? "FRAN" : "ESPA"},
            {"EMAIL", "agente" + std::to_string(i) + "@ejemplo.es"}};
}

Fila Proveedor(int i) {
    return {{"CCODPRO", "P" + Cifras(i, 5)},
            {"CNOMPRO", std::string("Suministros ") + De(kApellidos, i) + " e Hijos, S.L."},
            {"CDIRPRO", std::string(De(kCalles, i)) + ", " + std::to_string(i % 300 + 1)},
            {"CPOBPRO", De(kLocalidades, i + 3)},
            {"CCODPROV", Provincia(i + 5)},
            {"CPTLPRO", Cifras(2000 + i % 50000, 5)},
            {"CTFO1PRO", Telefono(i + 2)},
            {"CTFO2PRO", Telefono(i + 3)},
            {"CFAX", Telefono(i + 4)},
            {"CNIFDNI", "B" + Cifras(20000000L + i, 8)},
            {"CCODPAGO", i % 3 == 0 ? "30" : "CO"},
            {"CNBRBCO", "Banco de " + std::string(De(kLocalidades, i))},
            {"CDIRBCO", De(kCalles, i + 1)},
            {"CPOBBCO", De(kLocalidades, i + 1)},
            {"CENTIDAD", Cifras(2100 + i % 50, 4)},
            {"CAGENCIA", Cifras(1000 + i % 900, 4)},
            {"CCUENTA", Cifras(1000000000L + i, 10)},
            {"CSUBCTA", "400" + Cifras(i, 9)},
            {"CNACPRO", "ESPA"},
            {"CPERCONT", De(kNombres, i + 5)},
            {"NIRPFA", Importe(i % 2 ? 15 : 0)},
            {"EMAIL", "compras" + std::to_string(i) + "@proveedor.es"}};
}

Fila Cliente(int i, int n) {
    return {{"CCODCLI", "C" + Cifras(i, 5)},
            {"CNOMCLI", std::string(De(kNombres, i)) + " " + De(kApellidos, i / 3) + " " +
                            De(kApellidos, i / 11)},
            {"CDIRCLI", std::string(De(kCalles, i + 2)) + ", " + std::to_string(i % 250 + 1)},
            {"CPOBCLI", De(kLocalidades, i + 5)},
            {"CCODPROV", Provincia(i + 11)},
            {"CPTLCLI", Cifras(3000 + i % 50000, 5)},
            {"CTFO1CLI", Telefono(i + 5)},
            {"CTFO2CLI", Telefono(i + 6)},
            {"CFAXCLI", Telefono(i + 7)},
            {"CDNICIF", Cifras(30000000L + i, 8) + "Z"},
            {"CNBRBCO", "Caja " + std::string(De(kLocalidades, i + 2))},
            {"CDIRBCO", De(kCalles, i + 3)},
            {"CPOBBCO", De(kLocalidades, i + 2)},
            {"CPROVBCO", Provincia(i)},
            {"CENTIDAD", Cifras(3000 + i % 90, 4)},
            {"CAGENCIA", Cifras(2000 + i % 700, 4)},
            {"CCUENTA", Cifras(2000000000L + i, 10)},
            {"CCODPAGO", i % 4 == 0 ? "30" : "CO"},
            {"NDIA1PAGO", std::to_string(i % 40)},
            {"NDIA2PAGO", std::to_string((i + 10) % 40)},
            {"NDIA3PAGO", "0"},
            {"CCODAGE", CodigoAgente(i % n, n)},
            {"NRIESGO", Importe(1000.0 * (i % 20))},
            {"NCOPFAC", "1"},
            {"CSUBCTA", "430" + Cifras(i, 9)},
            {"EMAIL", "cliente" + std::to_string(i) + "@correo.es"},
            {"CNACCLI", "ESPA"},
            {"CNACBCO", "ESPA"},
            {"NDTOESP", Importe(i % 5)},
            {"CTFOBCO", Telefono(i + 8)},
            {"CFAXBCO", Telefono(i + 9)}};
}

Fila Familia(int i) {
    return {{"CCODFAM", CodigoFamilia(i)},
            {"CNOMFAM", std::string("Familia ") + De(kApellidos, i) + " " + std::to_string(i)}};
}

Fila Articulo(int i, int n) {
    double coste = 1.0 + (i % 997) * 0.25;
    return {
        {"CREF", CodigoArticulo(i)},
        {"CDETALLE", "  Artículo de prueba nº " + std::to_string(i) + " de " + De(kLocalidades, i)},
        {"CCODFAM", CodigoFamilia(i % Familias(n))},
        {"NCOSTEPROM", Importe(coste)},
        {"NSTOCKMIN", Importe(i % 10)},
        {"NSTOCKMAX", Importe(100 + i % 50)},
        {"NPVP", Importe(coste * 1.4)},
        {"NPCONIVA", Importe(coste * 1.4 * 1.21)},
        {"NBENEFPVP", Importe(40)},
        {"CCODPRO", "P" + Cifras(i % 1000, 5)},
        {"CREFPROV", "R" + Cifras(i, 9)},
        {"NUNIDADES", Importe(i % 12 + 1)},
        {"CCODEBAR", "84" + Cifras(10000000000L + i, 11)},
        {"NTIPOCODE", std::to_string(i % 5)},
        {"LKIT", i % 97 == 0 ? "T" : "F"},
        {"NTARA", Importe(0.1 * (i % 30))},
        {"LCTRLSTOCK", i % 3 ? "T" : "F"},
        {"CSCTAVTAS", "700" + Cifras(i % 1000, 9)},
        {"CSCTACPRAS", "600" + Cifras(i % 1000, 9)},
        {"CDES_TAC", "TAC" + std::to_string(i % 10000)}};
}

Fila Stock(int articulo, int almacen) {
    return {{"CCODALM", std::to_string(almacen)},
            {"CREF", CodigoArticulo(articulo)},
            {"NSTOCK", Importe((articulo * 13 + almacen * 7) % 500)}};
}

Fila Comentario(int articulo, int linea) {
    return {{"CREF", CodigoArticulo(articulo)},
            {"CCOMENT", "Línea " + std::to_string(linea + 1) + " del comentario del artículo " +
                            std::to_string(articulo) + ", con su descripción ampliada."}};
}

std::vector<Fila> Provincias() {
    std::vector<Fila> p;
    for (int i = 0; i < kNumProvincias; ++i)
        p.push_back({{"CCODPROV", Cifras(i + 1, 2)}, {"CNOMPROV", kProvincias[i]}});
    return p;
}

namespace {

void Tabla(const std::string& carpeta, const char* nombre, int filas,
           const std::function<Fila(int)>& fila, const std::map<std::string, int>& anchos = {}) {
    std::vector<Fila> v;
    v.reserve(filas);
    for (int i = 0; i < filas; ++i)
        v.push_back(fila(i));
    WriteFacturaPlusTable(carpeta, nombre, v, 0x02, {}, anchos);
}

void TablasDeArticulos(const std::string& carpeta, int n) {
    Tabla(carpeta, "familias", Familias(n), Familia);
    Tabla(carpeta, "articulo", n, [n](int i) { return Articulo(i, n); });
    Tabla(carpeta, "stocks", n * kStocksPorArticulo,
          [](int k) { return Stock(k / kStocksPorArticulo, k % kStocksPorArticulo + 1); });
    std::vector<Fila> lineas;
    for (int i = 0; i < n; ++i)
        for (int l = 0; l < Comentarios(i); ++l)
            lineas.push_back(Comentario(i, l));
    WriteFacturaPlusTable(carpeta, "Artcom", lineas);
}

} // namespace

void EscribirCarpeta(const std::string& carpeta, int n) {
    if (n < 1 || n > kMaximo)
        throw std::runtime_error("sizes go from 1 to " + std::to_string(kMaximo));
    std::map<std::string, int> anchoAgente;
    if (AnchoCodigoAgente(n) != 3) anchoAgente["CCODAGE"] = AnchoCodigoAgente(n);
    Tabla(
        carpeta, "agentes", n, [n](int i) { return Agente(i, n); }, anchoAgente);
    Tabla(carpeta, "proveedo", n, Proveedor);
    Tabla(
        carpeta, "clientes", n, [n](int i) { return Cliente(i, n); }, anchoAgente);
    TablasDeArticulos(carpeta, n);
    WriteFacturaPlusTable(carpeta, "PROVINC", Provincias());
}

void EscribirArticulos(const std::string& carpeta, int n) {
    if (n < 1 || n > kMaximoArticulos)
        throw std::runtime_error("article sizes go from 1 to " + std::to_string(kMaximoArticulos));
    TablasDeArticulos(carpeta, n);
}

std::string Campo(const Fila& f, const std::string& columna) {
    for (const auto& [c, v] : f)
        if (c == columna) return v;
    return {};
}

} // namespace generador
