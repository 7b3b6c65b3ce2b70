// Writes a FacturaPlus-like data folder with a few dozen realistic records per table, in code
// page 850 as the DOS program wrote them, for trying the program out.
#include "DbfWriter.h"

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

namespace {

void Provincias(const std::string& dir) {
    const char* p[][2] = {{"01", "Álava"},      {"02", "Albacete"},
                          {"03", "Alicante"},   {"04", "Almería"},
                          {"06", "Badajoz"},    {"07", "Illes Balears"},
                          {"08", "Barcelona"},  {"09", "Burgos"},
                          {"11", "Cádiz"},      {"14", "Córdoba"},
                          {"15", "A Coruña"},   {"18", "Granada"},
                          {"20", "Gipuzkoa"},   {"28", "Madrid"},
                          {"29", "Málaga"},     {"30", "Murcia"},
                          {"31", "Navarra"},    {"33", "Asturias"},
                          {"35", "Las Palmas"}, {"38", "Santa Cruz de Tenerife"},
                          {"41", "Sevilla"},    {"46", "Valencia"},
                          {"48", "Bizkaia"},    {"50", "Zaragoza"}};
    std::vector<Fila> rows;
    for (auto& x : p)
        rows.push_back({{"CCODPROV", x[0]}, {"CNOMPROV", x[1]}});
    WriteFacturaPlusTable(dir, "PROVINC", rows);
}

void Agentes(const std::string& dir) {
    std::vector<Fila> rows = {
        {{"CCODAGE", "001"},
         {"CNBRAGE", "José Luis"},
         {"CAPEAGE", "Martínez Ibáñez"},
         {"CDNINIF", "12345678Z"},
         {"CDIRAGE", "C/ Mayor, 14, 3º B"},
         {"CPOBAGE", "Madrid"},
         {"CCODPROV", "28"},
         {"CPTLAGE", "28013"},
         {"CTFOAGE", "915 555 123"},
         {"CFAXAGE", "915 555 124"},
         {"NCOM1", "5.5"},
         {"CNACAGE", "ESPA"},
         {"EMAIL", "jlmartinez@ejemplo.es"}},
        {{"CCODAGE", "002"},
         {"CNBRAGE", "  María "},
         {"CAPEAGE", " Núñez Peña"},
         {"CDNINIF", "87654321X"},
         {"CDIRAGE", "Avda. de la Constitución, 3"},
         {"CPOBAGE", "Sevilla"},
         {"CCODPROV", "41"},
         {"CPTLAGE", "41001"},
         {"CTFOAGE", "954 123 456"},
         {"NCOM1", "7.25"},
         {"CNACAGE", "ESPA"},
         {"EMAIL", "maria.nunez@ejemplo.es"}},
        {{"CCODAGE", "003"},
         {"CNBRAGE", "Ángel"},
         {"CAPEAGE", "Güell Comas"},
         {"CDNINIF", "B08123456"},
         {"CDIRAGE", "Passeig de Gràcia, 92"},
         {"CPOBAGE", "Barcelona"},
         {"CCODPROV", "08"},
         {"CPTLAGE", "08008"},
         {"CTFOAGE", "934 000 111"},
         {"NCOM1", "4"},
         {"CNACAGE", "ESPA"}},
        {{"CCODAGE", " 04"},
         {"CNBRAGE", "Begoña"},
         {"CAPEAGE", "Etxeberria Aranzabal"},
         {"CDIRAGE", "Kale Nagusia, 7"},
         {"CPOBAGE", "Donostia"},
         {"CCODPROV", "20"},
         {"CPTLAGE", "20003"},
         {"NCOM1", "3.75"},
         {"CNACAGE", "ESPA"}},
        {{"CCODAGE", "005"},
         {"CNBRAGE", "Antonio"},
         {"CAPEAGE", "Borrado Antiguo"},
         {"CPOBAGE", "Cádiz"},
         {"CCODPROV", "11"}},
        {{"CCODAGE", "006"},
         {"CNBRAGE", "Francisco Javier"},
         {"CAPEAGE", "de la Fuente y Fernández de Córdoba"},
         {"CDIRAGE", "Plaza de España, 1"},
         {"CPOBAGE", "Zaragoza"},
         {"CCODPROV", "50"},
         {"CPTLAGE", "50001"},
         {"NCOM1", "6"},
         {"CNACAGE", "ESPA"},
         {"EMAIL", "francisco.javier.delafuente@distribuciones-ejemplo.es"}},
        {{"CCODAGE", "007"},
         {"CNBRAGE", "Pierre"},
         {"CAPEAGE", "Dubois"},
         {"CDIRAGE", "12 rue de la Paix"},
         {"CPOBAGE", "Perpignan"},
         {"CPTLAGE", "66000"},
         {"NCOM1", "2.5"},
         {"CNACAGE", "FRAN"},
         {"EMAIL", "p.dubois@exemple.fr"}},
        {{"CCODAGE", "008"},
         {"CNBRAGE", "Lucía"},
         {"CAPEAGE", "Suárez"},
         {"CPOBAGE", "Oviedo"},
         {"CCODPROV", "33"}},
        {{"CCODAGE", "009"},
         {"CNBRAGE", "Íñigo"},
         {"CAPEAGE", "Zubizarreta"},
         {"CDIRAGE", "Gran Vía, 45"},
         {"CPOBAGE", "Bilbao"},
         {"CCODPROV", "48"},
         {"CPTLAGE", "48011"},
         {"CTFOAGE", "944 222 333"},
         {"CFAXAGE", "944 222 334"},
         {"NCOM1", "5"},
         {"CNACAGE", "ESPA"},
         {"EMAIL", "inigo@ejemplo.eus"}},
        {{"CCODAGE", "010"},
         {"CNBRAGE", "Carmen"},
         {"CAPEAGE", "Rodríguez Málaga"},
         {"CDIRAGE", "C/ Larios, 2"},
         {"CPOBAGE", "Málaga"},
         {"CCODPROV", "29"},
         {"CPTLAGE", "29005"},
         {"NCOM1", "12.34"},
         {"CNACAGE", "ESPA"}},
    };
    WriteFacturaPlusTable(dir, "agentes", rows, 0x02, {"005"});
}

void Articulos(const std::string& dir) {
    // PAPE and PAPEL share their first four characters: they end as one family, PAPEL's name.
    const char* familias[][2] = {{"ALIM", "Alimentación"},
                                 {"BEBID", "Bebidas"},
                                 {"DROG", "Droguería"},
                                 {"FERR", "Ferretería"},
                                 {"PAPE", "Papelería"},
                                 {"OFIC", "Material de oficina"},
                                 {"PAPEL", "Papelería y papel continuo"}};
    std::vector<Fila> fam;
    for (auto& f : familias)
        fam.push_back({{"CCODFAM", f[0]}, {"CNOMFAM", f[1]}});
    WriteFacturaPlusTable(dir, "familias", fam);

    const char* nombres[] = {"Aceite de oliva virgen extra 1 l",
                             "Azúcar blanco 1 kg",
                             "Café molido natural 250 g",
                             "Agua mineral 1,5 l",
                             "Zumo de naranja 1 l",
                             "Vino tinto crianza 75 cl",
                             "Lejía 2 l",
                             "Jabón de manos 500 ml",
                             "Estropajo de acero",
                             "Tornillos 4x40 (caja 100)",
                             "Martillo de carpintero",
                             "Cinta aislante negra",
                             "Bolígrafo azul",
                             "Cuaderno cuadriculado A4",
                             "   Grapadora metálica",
                             "Papel A4 80 g (500 hojas)",
                             "Carpeta de anillas",
                             "Sobres blancos (caja 25)"};
    const char* fams[] = {"ALIM", "ALIM", "ALIM", "BEBID", "BEBID", "BEBID",
                          "DROG", "DROG", "DROG", "FERR",  "FERR",  "FERR",
                          "PAPE", "PAPE", "OFIC", "OFIC",  "OFIC",  "NOEX"};
    std::vector<Fila> art, stock, com;
    int n = 0;
    for (const char* nombre : nombres) {
        ++n;
        std::string ref = "A" + std::to_string(1000 + n);
        double pvp = 0.75 * n + 0.2;
        art.push_back({{"CREF", ref},
                       {"CDETALLE", nombre},
                       {"CCODFAM", fams[n - 1]},
                       {"NCOSTEPROM", std::to_string(pvp / 2)},
                       {"NPVP", std::to_string(pvp)},
                       {"NPCONIVA", std::to_string(pvp * 1.21)},
                       {"NBENEFPVP", "50"},
                       {"NSTOCKMIN", "5"},
                       {"NSTOCKMAX", "100"},
                       {"LCTRLSTOCK", "T"},
                       {"LKIT", n == 9 ? "T" : "F"},
                       {"NTIPOCODE", std::to_string(n % 5)},
                       {"CCODEBAR", "84" + std::to_string(10000000000 + n)}});
        if (n != 17) // one article without stock
            stock.push_back(
                {{"CCODALM", "001"}, {"CREF", ref}, {"NSTOCK", std::to_string(10 * n)}});
        if (n % 3 == 0) stock.push_back({{"CCODALM", "002"}, {"CREF", ref}, {"NSTOCK", "3"}});
        if (n % 4 == 0) {
            com.push_back({{"CREF", ref}, {"CCOMENT", std::string(nombre) + ". "}});
            com.push_back({{"CREF", ref}, {"CCOMENT", "Producto de fabricación nacional."}});
        }
        if (n == 8) com.push_back({{"CREF", ref}, {"CCOMENT", " Envase reciclable."}});
    }
    WriteFacturaPlusTable(dir, "articulo", art);
    WriteFacturaPlusTable(dir, "stocks", stock);
    WriteFacturaPlusTable(dir, "Artcom", com);
}

void ClientesYProveedores(const std::string& dir) {
    const char* empresas[] = {"Ultramarinos García, S.L.",
                              "Ferretería El Clavo",
                              "Bodegas Peñafiel, S.A.",
                              "Droguería La Espuma",
                              "Papelería Cervantes",
                              "Supermercados Hermanos Muñoz",
                              "Bar Restaurante La Alegría",
                              "Talleres Ibáñez e Hijos",
                              "Academia Nuñez de Balboa",
                              "Comercial Andaluza de Alimentación",
                              "Hostal Los Almendros",
                              "Distribuciones Güell",
                              "Sociedad Cooperativa Andaluza de Productores de Aceite de Oliva"};
    const char* pueblos[][2] = {{"Madrid", "28"},   {"Sevilla", "41"}, {"Valladolid", "47"},
                                {"A Coruña", "15"}, {"Málaga", "29"},  {"Zaragoza", "50"}};
    std::vector<Fila> cli, pro;
    int n = 0;
    for (const char* e : empresas) {
        ++n;
        auto& pb = pueblos[n % 6];
        std::string cp = std::to_string(10000 + 1111 * n);
        // Some records show the rules: lower-case "espa" stays as it is, a payment code the
        // target lacks takes the default, a fixed day of 32 is no day.
        std::string pago = n == 5 ? "99" : n % 2 ? "30" : "";
        std::string dia = n == 4 ? "32" : std::to_string(n * 2);
        cli.push_back({{"CCODCLI", std::to_string(430000 + n)},
                       {"CNOMCLI", e},
                       {"CDIRCLI", "C/ Real, " + std::to_string(n)},
                       {"CPOBCLI", pb[0]},
                       {"CCODPROV", pb[1]},
                       {"CPTLCLI", cp},
                       {"CTFO1CLI", "91 000 00 " + std::to_string(10 + n)},
                       {"CDNICIF", "B" + std::to_string(80000000 + n)},
                       {"CCODPAGO", pago},
                       {"CCODAGE", n % 3 ? "001" : "002"},
                       {"NDIA1PAGO", dia},
                       {"NDIA2PAGO", n % 4 == 0 ? "15" : "0"},
                       {"CNACCLI", n == 6 ? "espa" : "ESPA"},
                       {"EMAIL", "administracion@cliente" + std::to_string(n) + ".es"},
                       {"NDTOESP", n % 3 == 0 ? "5" : "0"},
                       {"CSUBCTA", std::to_string(430000000 + n)},
                       {"CNBRBCO", n % 2 ? "Banco de Ejemplo" : "Caja Rural del Sur"},
                       {"CDIRBCO", "Plaza Mayor, " + std::to_string(n)},
                       {"CPOBBCO", pb[0]},
                       {"CPROVBCO", pb[1]},
                       {"CNACBCO", "ESPA"},
                       {"NRIESGO", "3000"},
                       {"NCOPFAC", "1"},
                       {"CENTIDAD", "0049"},
                       {"CAGENCIA", "1500"},
                       {"CCUENTA", std::to_string(1000000000 + n)}});
        if (n <= 8 || n == 13)
            pro.push_back({{"CCODPRO", std::to_string(400000 + n)},
                           {"CNOMPRO", e},
                           {"CDIRPRO", "Polígono Industrial, nave " + std::to_string(n)},
                           {"CPOBPRO", pb[0]},
                           {"CCODPROV", pb[1]},
                           {"CPTLPRO", cp},
                           {"CNIFDNI", "A" + std::to_string(28000000 + n)},
                           {"CNACPRO", n == 2 ? "espa" : "ESPA"},
                           {"NIRPFA", n == 3   ? "15"
                                      : n == 4 ? "7.3"
                                               : "0"},
                           {"CPERCONT", "Sr. Gómez"},
                           {"CCODPAGO", n == 5 ? "99" : "30"},
                           {"CTFO1PRO", "95 400 00 " + std::to_string(10 + n)},
                           {"CNBRBCO", "Caja de Ahorros y Pensiones de Barcelona"},
                           {"CENTIDAD", "2100"},
                           {"CAGENCIA", n % 2 ? "0418" : "0001"},
                           {"CCUENTA", "0200051332"},
                           {"CSUBCTA", std::to_string(400000000 + n)},
                           {"EMAIL", "compras@proveedor" + std::to_string(n) + ".es"}});
    }
    WriteFacturaPlusTable(dir, "clientes", cli);
    WriteFacturaPlusTable(dir, "proveedo", pro);
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "uso: %s CARPETA\n", argv[0]);
        return 2;
    }
    std::string dir = argv[1];
    std::filesystem::create_directories(dir);
    Provincias(dir);
    Agentes(dir);
    Articulos(dir);
    ClientesYProveedores(dir);
    std::printf("Datos de demostración escritos en %s\n", dir.c_str());
    return 0;
}
