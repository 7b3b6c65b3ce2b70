#pragma once
// A data module over a dBase folder and a fresh target database, with a recording interface.
#include "Comprobar.h"
#include "DbfWriter.h"
#include "IBDatabase.h"
#include "IBQuery.h"
#include "IBSQL.h"
#include "IBTransaction.h"
#include "SourceQuery.h"
#include "TDatos.h"
#include "TargetReader.h"
#include "TempDir.h"
#include "TestDatabase.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <map>
#include <memory>

class Grabadora : public Interfaz {
public:
    void MostrarEstado(const std::string& texto, bool caja) override {
        estados.emplace_back(texto, caja);
    }
    void Aviso(const std::string& texto, const RegistroEnCurso& r) override {
        avisos.push_back(texto);
        registros.push_back(r);
    }
    void AtenderMensajes(const RegistroEnCurso& r) override {
        ++mensajes;
        atendidos.push_back(r);
        if (alAtender) alAtender();
    }
    void Comparacion(const Hallazgo& h) override { hallazgos.push_back(h); }
    std::vector<std::string> Textos() const {
        std::vector<std::string> t;
        for (auto& e : estados)
            t.push_back(e.first);
        return t;
    }
    std::vector<std::pair<std::string, bool>> estados;
    std::vector<std::string> avisos;
    std::vector<RegistroEnCurso> registros;
    std::vector<RegistroEnCurso> atendidos;
    std::vector<Hallazgo> hallazgos;
    int mensajes = 0;
    std::function<void()> alAtender;
};

class TransferTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::filesystem::create_directory(carpeta);
        CreateFixtureDatabase(base);
        datos = std::make_unique<TDatos>(ui);
        datos->CrearAlias(carpeta);
        datos->SetRutaDestino(base);
    }
    void Agentes(const std::vector<Fila>& filas, const std::vector<std::string>& borrados = {}) {
        WriteFacturaPlusTable(carpeta, "agentes", filas, 0x02, borrados);
    }
    void Tabla(const std::string& nombre, const std::vector<Fila>& filas) {
        WriteFacturaPlusTable(carpeta, nombre, filas);
    }
    // A new data module over the same folder and target, as a later session of the program.
    void Reabrir() {
        datos = std::make_unique<TDatos>(ui);
        datos->CrearAlias(carpeta);
        datos->SetRutaDestino(base);
    }
    std::vector<Row> Leer(const std::string& sql) { return QueryRows(base, sql); }
    void Ejecutar(const std::string& sql) { ExecSql(base, sql); }

    TempDir dir;
    std::string carpeta = dir.File("FacturaPlus");
    std::string base = dir.File("orvalia.fdb");
    Grabadora ui;
    std::unique_ptr<TDatos> datos;
};

inline std::string S(const Variant& v) {
    return std::get<std::string>(v);
}
inline int32_t I(const Variant& v) {
    return std::get<int32_t>(v);
}
inline double D(const Variant& v) {
    return std::get<double>(v);
}
