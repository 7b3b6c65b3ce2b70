#pragma once
// What a run of the batch program did, kept as it happens, for the JSON report and for the
// summary of many companies.
#include "Interfaz.h"

#include <optional>
#include <string>
#include <vector>

struct AvisoInforme {
    RegistroEnCurso registro;
    std::string fichero;   // the table's file, as the operator knows it
    std::string campo;     // the source field, when the message names one
    std::string parametro; // the target parameter, when the message names one
    std::string mensaje;
};

// A column a comparison found different: the target's value and the source's, as text.
struct DiferenciaInforme {
    std::string tabla, codigo, columna, destino, origen;
};

// What a comparison found in one transfer.
struct ComparacionInforme {
    long iguales = 0, distintos = 0, nuevos = 0, soloEnDestino = 0;
    std::vector<DiferenciaInforme> diferencias;
    std::vector<std::string> codigosNuevos, codigosSoloEnDestino;
};

struct TraspasoInforme {
    std::string nombre;    // familias, articulos, clientes, proveedores, agentes
    bool completo = false; // reached its summary
    long anadidos = 0, actualizados = 0, rechazados = 0;
    long sinCambios = 0;                           // writing only what changed: left alone
    std::optional<ComparacionInforme> comparacion; // in a comparison
    std::size_t registros = 0;                     // records walked
    double segundos = 0;
    std::vector<InfoTabla> tablas;
    std::vector<AvisoInforme> avisos;
};

struct Informe {
    std::string version, origen, destino, modo;
    std::string inicio, fin; // local time, ISO 8601
    bool completo = false;   // every transfer asked for reached its summary
    int estado = 0;
    std::string error; // what ended the run early; empty when nothing did
    std::vector<TraspasoInforme> traspasos;

    // Writes the report (see EscribirInforme); throws Error naming the file when it cannot.
    void Escribir(const std::string& ruta) const;
    // Reads one that Escribir wrote (a company's report, for the summary of many).
    static Informe Leer(const std::string& ruta);
};

std::string AhoraIso();
// "Parámetro EMAIL1: ..." names the parameter, "..., campo NCOM1, registro 3" the field.
AvisoInforme ClasificarAviso(const std::string& mensaje, const RegistroEnCurso& r);
