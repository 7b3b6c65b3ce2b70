#pragma once
// A data module over a dBase folder and a fresh target database, with a recording interface.
#include "DbfWriter.h"
#include "IBDatabase.h"
#include "IBSQL.h"
#include "IBTransaction.h"
#include "TDatos.h"
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
    void AtenderMensajes() override {
        ++mensajes;
        if (alAtender) alAtender();
    }
    std::vector<std::string> Textos() const {
        std::vector<std::string> t;
        for (auto& e : estados)
            t.push_back(e.first);
        return t;
    }
    std::vector<std::pair<std::string, bool>> estados;
    std::vector<std::string> avisos;
    std::vector<RegistroEnCurso> registros;
    int mensajes = 0;
    std::function<void()> alAtender;
};

using Fila_ = std::map<std::string, Variant>;

class TransferTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::filesystem::create_directory(carpeta);
        CreateFixtureDatabase(base);
        datos = std::make_unique<TDatos>(ui);
        datos->CrearAlias(carpeta);
        datos->IBDatabase1.SetDatabaseName(base);
    }
    void Agentes(const std::vector<Fila>& filas, const std::vector<std::string>& borrados = {}) {
        WriteFacturaPlusTable(carpeta, "agentes", filas, 0x02, borrados);
    }
    // Reads the target through a connection of its own, in a transaction of its own.
    std::vector<Fila_> Leer(const std::string& sql) {
        IBDatabase db;
        IBTransaction tr(db);
        db.SetDefaultTransaction(&tr);
        db.SetDatabaseName(base);
        db.Open();
        tr.StartTransaction();
        IBSQL q(db, tr);
        q.SetText(sql);
        q.ExecQuery();
        std::vector<Fila_> filas;
        for (; !q.Eof(); q.Next()) {
            Fila_ f;
            for (const std::string& c : Columnas(sql))
                f[c] = q.FieldByName(c).AsVariant();
            filas.push_back(f);
        }
        q.Close();
        tr.Commit();
        return filas;
    }
    void Ejecutar(const std::string& sql) {
        IBDatabase db;
        IBTransaction tr(db);
        db.SetDefaultTransaction(&tr);
        db.SetDatabaseName(base);
        db.Open();
        tr.StartTransaction();
        IBSQL q(db, tr);
        q.SetText(sql);
        q.ExecQuery();
        tr.Commit();
    }
    // The columns named between "select" and "from" (plain names only, as the tests write them).
    static std::vector<std::string> Columnas(const std::string& sql) {
        std::vector<std::string> c;
        std::string lista = sql.substr(7, sql.find(" from ") - 7);
        std::size_t i = 0;
        while (i < lista.size()) {
            std::size_t j = lista.find(',', i);
            if (j == std::string::npos) j = lista.size();
            std::string n = lista.substr(i, j - i);
            while (!n.empty() && n.front() == ' ')
                n.erase(0, 1);
            while (!n.empty() && n.back() == ' ')
                n.pop_back();
            c.push_back(n);
            i = j + 1;
        }
        return c;
    }

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
