#pragma once
// The data module reports through the window, which is created after it.
#include "Interfaz.h"
#include "TForm1.h"

class ReporteroVentana : public Interfaz {
public:
    TForm1* form = nullptr;
    void MostrarEstado(const std::string& texto, bool caja) override {
        if (form) form->MostrarEstado(texto, caja);
    }
    void Aviso(const std::string& texto, const RegistroEnCurso&) override {
        if (form) form->Aviso(texto);
    }
    void AtenderMensajes(const RegistroEnCurso&) override {
        if (form) form->AtenderMensajes();
    }
    void Tabla(const InfoTabla& t) override {
        if (form) form->Tabla(t);
    }
};
