#pragma once
// The generated FacturaPlus folders the transfer benchmark reads: every master file with n
// records, built from one deterministic description per record, so that the raw client-library
// loops can compute the very values the transfers write without reading the folder.
#include "DbfWriter.h"

#include <string>
#include <vector>

namespace generador {

// Records of each kind for a folder of n records per master file.
int Familias(int n);                  // one family per 50 articles
constexpr int kStocksPorArticulo = 2; // warehouses 1 and 2
// Comment lines of article i: 1 for even i, 2 for odd i, 1.5 on average.
int Comentarios(int i);
// The largest n the codes can tell apart (suppliers and clients are "P"/"C" and five digits).
constexpr int kMaximo = 99999;
// The largest n of a folder of articles alone (their codes are "A" and seven digits; families
// run out of three base-36 digits first).
constexpr int kMaximoArticulos = 999999;

// The source record i of each table, by column name; texts are UTF-8 with Spanish accents.
Fila Agente(int i, int n);
Fila Proveedor(int i);
Fila Cliente(int i, int n);
Fila Familia(int i);
Fila Articulo(int i, int n);
Fila Stock(int articulo, int almacen);
Fila Comentario(int articulo, int linea);
// The province table the agents, suppliers and clients name.
std::vector<Fila> Provincias();

// The code of record i, as its table holds it.
std::string CodigoAgente(int i, int n);
std::string CodigoFamilia(int i);
std::string CodigoArticulo(int i);

// Writes every table of a folder of n records per master file into `carpeta`.
void EscribirCarpeta(const std::string& carpeta, int n);
// Writes only the tables of the articles transfer (families, articles, stock, comment lines),
// for sizes beyond what the other master files' codes allow.
void EscribirArticulos(const std::string& carpeta, int n);

// A column of a generated record; empty when the record does not give it.
std::string Campo(const Fila& f, const std::string& columna);

} // namespace generador
