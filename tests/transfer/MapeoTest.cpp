// Each transfer's mapping against its statements and its source table: every parameter of every
// statement bound exactly once, no line for a parameter a statement lacks, every source field a
// line reads declared in the walked query's layout; and the comparison's reading of each update.
#include "Ascii.h"
#include "Comparador.h"
#include "Comprobar.h"
#include "NamedParams.h"
#include "SourceQuery.h"
#include "TDatos.h"
#include "Traspaso.h"

#include <gtest/gtest.h>

#include <map>
#include <set>

namespace {

class Nadie : public Interfaz {
    void MostrarEstado(const std::string&, bool) override {}
    void Aviso(const std::string&, const RegistroEnCurso&) override {}
    void AtenderMensajes(const RegistroEnCurso&) override {}
};

// A record that notes each field a line reads and answers blank.
class CamposAnotados : public Campos {
public:
    std::string Texto(std::string_view c) const override { return Anotar(c), std::string(); }
    double Numero(std::string_view c) const override { return Anotar(c), 0.0; }
    int32_t Entero(std::string_view c) const override { return Anotar(c), 0; }
    bool Logico(std::string_view c) const override { return Anotar(c), false; }
    mutable std::set<std::string> leidos;

private:
    void Anotar(std::string_view c) const { leidos.insert(std::string(c)); }
};

// Lookups that find nothing: only which fields the lines hand them matters here.
class SinBusquedas : public Busquedas {
    std::string NombreProvincia(const std::string&) override { return {}; }
    std::string NombreLargoArticulo(const std::string&) override { return {}; }
    double StockArticulo(const std::string&) override { return 0; }
    std::optional<int32_t> IdFamilia(const std::string&) override { return std::nullopt; }
    int32_t FormaPagoODefecto(const std::string&, int32_t d) override { return d; }
    std::optional<int32_t> IdAgenteVenta(const std::string&) override { return std::nullopt; }
};

// What is wrong between one statement and the lines that fill it, one sentence each.
void CompararParametros(const std::string& sentencia, const std::vector<Linea>& lineas, Envio envio,
                        const std::vector<std::string>& aparte,
                        std::vector<std::string>& problemas) {
    std::set<std::string> tiene;
    for (const std::string& n : ReplaceNamedParams(sentencia).names)
        tiene.insert(n);
    std::map<std::string, int> enlazados;
    for (const Linea& l : lineas)
        if (Envia(l, envio)) ++enlazados[ascii::Upper(l.parametro)];
    for (const std::string& a : aparte)
        ++enlazados[ascii::Upper(a)];
    std::string donde = "«" + sentencia.substr(0, 40) + "…»";
    for (const std::string& p : tiene)
        if (enlazados[p] != 1)
            problemas.push_back(donde + ": " + p + " se enlaza " + std::to_string(enlazados[p]) +
                                " veces");
    for (const auto& [p, veces] : enlazados)
        if (!tiene.count(p)) problemas.push_back(donde + ": no tiene el parámetro " + p);
}

// Every problem of a transfer's description.
std::vector<std::string> Problemas(const Traspaso& t) {
    std::vector<std::string> p;
    CompararParametros(t.insert, t.lineas, Envio::Alta, {}, p);
    CompararParametros(t.update, t.lineas, Envio::Cambio, {t.Clave()}, p);
    CompararParametros(t.Busqueda(), {}, Envio::Ambas, {"ParCodigo"}, p);
    for (const Seguimiento& s : t.seguimientos) {
        CompararParametros(s.texto, s.lineas, Envio::Ambas, {s.idParametro}, p);
        // A follow-up is one statement: a line of it for one of two would be written one way
        // and compared another.
        for (const Linea& l : s.lineas)
            if (l.envio != Envio::Ambas)
                p.push_back("«" + s.texto.substr(0, 40) + "…»: " + l.parametro +
                            " no es para las dos sentencias");
    }

    CamposAnotados campos;
    SinBusquedas busquedas;
    Fuente f{campos, busquedas};
    for (const Linea& l : t.lineas)
        l.valor(f);
    for (const Seguimiento& s : t.seguimientos)
        for (const Linea& l : s.lineas)
            l.valor(f);
    t.codigo(campos);
    campos.Texto(t.campoCodigo);
    std::set<std::string> declarados;
    for (const FieldDecl& d : t.consulta->Fields())
        declarados.insert(ascii::Upper(d.name));
    for (const std::string& leido : campos.leidos)
        if (!declarados.count(ascii::Upper(leido)))
            p.push_back(t.tabla + ": el campo " + leido + " no está en " + t.consulta->Name());
    return p;
}

class MapeoTest : public ::testing::Test {
protected:
    std::vector<Traspaso> Todos() {
        std::vector<Traspaso> v;
        for (const TraspasoOfrecido& o : TraspasosOfrecidos())
            for (const PasoDeTraspaso& p : o.pasos)
                v.push_back(p.descripcion(datos));
        return v;
    }
    Traspaso De(const std::string& tabla) {
        for (Traspaso& t : Todos())
            if (t.tabla == tabla) return t;
        throw std::runtime_error("no transfer writes " + tabla);
    }
    Nadie nadie;
    TDatos datos{nadie};
};

TEST_F(MapeoTest, TheListOfTransfersNamesTheTablesTheirDescriptionsWrite) {
    for (const TraspasoOfrecido& o : TraspasosOfrecidos())
        for (const PasoDeTraspaso& p : o.pasos) {
            EXPECT_EQ(p.descripcion(datos).tabla, p.tabla) << p.nombre;
            EXPECT_EQ(&p.consulta(datos), p.descripcion(datos).consulta) << p.nombre;
        }
    EXPECT_THROW_MSG(TraspasoDeNombre("agente"), Error, "agentes, proveedores, clientes, articulos");
}

TEST_F(MapeoTest, EveryStatementOfEveryTransferIsBoundExactlyOnceFromDeclaredFields) {
    std::vector<Traspaso> todos = Todos();
    ASSERT_EQ(todos.size(), 5u);
    for (const Traspaso& t : todos) {
        std::vector<std::string> p = Problemas(t);
        EXPECT_TRUE(p.empty()) << t.tabla << ": " << ::testing::PrintToString(p);
    }
}

// The check itself catches the faults it is there for.
TEST_F(MapeoTest, TheCheckFindsALineRemovedAColumnAddedAndAFieldMistyped) {
    Traspaso sinLinea = De("CLIENTES");
    std::erase_if(sinLinea.lineas, [](const Linea& l) { return l.parametro == "TELEFONO2"; });
    EXPECT_EQ(Problemas(sinLinea).size(), 2u) << "missing in the insert and in the update";

    Traspaso columnaNueva = De("AGENTESVENTA");
    columnaNueva.update.replace(columnaNueva.update.find(" where"), 0, ", OBSERVACIONES = :OBS");
    auto p = Problemas(columnaNueva);
    ASSERT_EQ(p.size(), 1u);
    EXPECT_NE(p[0].find("OBS se enlaza 0 veces"), std::string::npos) << p[0];

    Traspaso lineaDeMas = De("FAMILIASARTICULOS");
    lineaDeMas.lineas.push_back({"GRUPOFAMILIA", Fijo(1)});
    EXPECT_EQ(Problemas(lineaDeMas).size(), 2u) << "neither statement has :GRUPOFAMILIA";

    Traspaso dosVeces = De("ARTICULOS");
    dosVeces.lineas.push_back({"NOMBRE", Campo("CDETALLE"), Envio::Cambio});
    p = Problemas(dosVeces);
    ASSERT_EQ(p.size(), 1u);
    EXPECT_NE(p[0].find("NOMBRE se enlaza 2 veces"), std::string::npos) << p[0];

    Traspaso campoMal = De("PROVEEDORES");
    campoMal.seguimientos.push_back({"update PROVEEDORES set FAX = :F where IDPROVEEDORES = :ID",
                                     "ID",
                                     {{"F", Campo("CFAXPRO")}},
                                     "fax"});
    p = Problemas(campoMal);
    ASSERT_EQ(p.size(), 1u);
    EXPECT_NE(p[0].find("CFAXPRO"), std::string::npos) << p[0];
}

TEST_F(MapeoTest, EveryUpdateReadsAsColumnsTakingParametersAndItsCondition) {
    for (const Traspaso& t : Todos()) {
        std::vector<std::string> textos = {t.update};
        for (const Seguimiento& s : t.seguimientos)
            textos.push_back(s.texto);
        for (const std::string& texto : textos) {
            Actualizacion a = LeerActualizacion(texto);
            EXPECT_FALSE(a.asignaciones.empty()) << texto;
            EXPECT_FALSE(a.condicion.empty()) << texto;
            EXPECT_EQ(a.condicion.find("where"), std::string::npos) << texto;
        }
    }
    Actualizacion stock = LeerActualizacion(De("ARTICULOS").seguimientos.at(1).texto);
    EXPECT_EQ(stock.tabla, "ARTICULOSALMACEN");
    ASSERT_EQ(stock.asignaciones.size(), 4u);
    EXPECT_EQ(stock.asignaciones[2].columna, "STOCKINICIAL1");
    EXPECT_EQ(stock.asignaciones[2].parametro, "STOCKACTUAL");
    EXPECT_EQ(stock.asignaciones[3].parametro, "STOCKACTUAL") << "one parameter, two columns";
    EXPECT_EQ(stock.condicion, "(ALMACEN = 1) AND (ARTICULOCARACTERISTICA = :ParArticulo)");

    // The prices' condition holds a subquery with its own WHERE: the update's is the outer one.
    Actualizacion precios = LeerActualizacion(De("ARTICULOS").seguimientos.at(0).texto);
    EXPECT_EQ(precios.asignaciones.size(), 3u);
    EXPECT_EQ(precios.condicion.rfind("(Desde = 1)", 0), 0u) << precios.condicion;

    EXPECT_THROW(LeerActualizacion("insert into X (A) values (:A)"), Error);
    EXPECT_THROW(LeerActualizacion("update X set A = 1 where ID = :ID"), Error);
    EXPECT_THROW(LeerActualizacion("update X set A = :A"), Error);
}

} // namespace
