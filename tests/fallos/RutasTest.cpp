// A target database whose path has Spanish letters, opened in process (the embedded engine, a
// plain path), with the program's locale the bare "C" of a service and the C.UTF-8 of a
// container.
#include "Apoyo.h"

#include "TestDatabase.h"

namespace fs = std::filesystem;

namespace {

class Rutas : public Fallo, public ::testing::WithParamInterface<const char*> {};

TEST_P(Rutas, AccentedTargetPathUnderTheLocale) {
    fs::path carpeta = fs::path(dir.Ruta()) / "Año 2024";
    fs::create_directory(carpeta);
    std::string base = (carpeta / "Ñoño.fdb").string();
    CreateFixtureDatabase(base);
    EscribirAgentes(origen, 50, "Agente");

    Proceso::Opciones o = Lote(origen, base);
    o.quitar = {"LANG", "LANGUAGE", "LC_*"};
    o.poner = {std::string("LC_ALL=") + GetParam()};
    Fin f = Ejecutar(o, 60s);
    EXPECT_EQ(f.estado, 0) << f.Todo();
    EXPECT_NE(f.out.find("Agentes Añadidos: 50,   Actualizados: 0"), std::string::npos) << f.out;
    EXPECT_EQ(Contar(base, "select count(*) from AGENTESVENTA"), 50);
    std::vector<std::string> ficheros;
    for (const auto& e : fs::directory_iterator(carpeta))
        ficheros.push_back(e.path().filename().string());
    EXPECT_EQ(ficheros, std::vector<std::string>{"Ñoño.fdb"}) << "no file made under another name";
}

// A name written on a system of another code page: bytes that are not UTF-8 (Latin-1 here).
TEST_F(Fallo, TargetPathThatIsNotUtf8) {
    const std::string base = dir.Fichero("\xD1o\xF1o.fdb");
    CreateFixtureDatabase(dir.Fichero("plantilla.fdb"));
    fs::rename(dir.Fichero("plantilla.fdb"), base);
    EscribirAgentes(origen, 50, "Agente");
    Fin f = Ejecutar(Lote(origen, base), 60s);
    EXPECT_EQ(f.estado, 0) << f.Todo();
    EXPECT_NE(f.out.find("Agentes Añadidos: 50,   Actualizados: 0"), std::string::npos) << f.out;
    std::vector<std::string> ficheros;
    for (const auto& e : fs::directory_iterator(dir.Ruta()))
        if (e.path().extension() == ".fdb") ficheros.push_back(e.path().filename().string());
    EXPECT_EQ(ficheros, std::vector<std::string>{"\xD1o\xF1o.fdb"}) << "no other name left";
    fs::rename(base, dir.Fichero("legible.fdb"));
    EXPECT_EQ(Contar(dir.Fichero("legible.fdb"), "select count(*) from AGENTESVENTA"), 50);
}

INSTANTIATE_TEST_SUITE_P(Locales, Rutas, ::testing::Values("C", "C.UTF-8"), [](const auto& i) {
    return std::string(i.param).find("UTF") == std::string::npos ? std::string("C")
                                                                 : std::string("CUtf8");
});

} // namespace
