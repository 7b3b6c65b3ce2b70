#pragma once
// Declared field layouts of the source queries.
#include <vector>

enum class FieldKind { Text, Float, Int16, Boolean, Date };

struct FieldDecl {
    const char* name;
    FieldKind kind;
    int width; // characters, for text fields
};

const std::vector<FieldDecl>& LayoutArticulos();
const std::vector<FieldDecl>& LayoutFamilias();
const std::vector<FieldDecl>& LayoutStock();
const std::vector<FieldDecl>& LayoutArticulosNombreLargo();
const std::vector<FieldDecl>& LayoutProvincias();
const std::vector<FieldDecl>& LayoutClientes();
const std::vector<FieldDecl>& LayoutProveedores();
const std::vector<FieldDecl>& LayoutAgentesVenta();
