#pragma once
// The five transfers, each a description that the one cycle runs; one file each.
#include "Traspaso.h"

class TDatos;

Traspaso Familias(TDatos& d);    // familias -> FAMILIASARTICULOS
Traspaso Articulos(TDatos& d);   // articulo -> ARTICULOS, with tariff-1 prices and stock
Traspaso Clientes(TDatos& d);    // clientes -> CLIENTES, with the principal collection address
Traspaso Proveedores(TDatos& d); // proveedo -> PROVEEDORES
Traspaso Agentes(TDatos& d);     // agentes -> AGENTESVENTA

// The follow-up statements, for the tests that read what they wrote.
extern const char* const kPreciosArticulo;
extern const char* const kStockArticulo;
extern const char* const kDomicilioCobroCliente;
