#pragma once
// The name an operator knows a source query by: the file of its table ("agentes.dbf").
#include <string>

class SourceQuery;

std::string NombreDeTabla(const SourceQuery& q);
