// The fields each source query exposes, in order, with their kinds and text widths.
#include "Layouts.h"

namespace {

const std::vector<FieldDecl> kArticulos = {
    {"CREF", FieldKind::Text, 18},         {"CDETALLE", FieldKind::Text, 100},
    {"CCODFAM", FieldKind::Text, 5},       {"CFORMATO", FieldKind::Text, 10},
    {"NPZOREP", FieldKind::Int16, 0},      {"NCOSTEPROM", FieldKind::Float, 0},
    {"NCOSTEDIV", FieldKind::Float, 0},    {"NSTOCKMIN", FieldKind::Float, 0},
    {"NSTOCKMAX", FieldKind::Float, 0},    {"CTIPOIVA", FieldKind::Text, 1},
    {"CGRPCONTA", FieldKind::Text, 9},     {"NPVP", FieldKind::Float, 0},
    {"NPREMAYOR", FieldKind::Float, 0},    {"NDTO1", FieldKind::Float, 0},
    {"NDTO2", FieldKind::Float, 0},        {"NDTO3", FieldKind::Float, 0},
    {"NDTO4", FieldKind::Float, 0},        {"NDTO5", FieldKind::Float, 0},
    {"NDTO6", FieldKind::Float, 0},        {"NPENDSER", FieldKind::Float, 0},
    {"NPENDREC", FieldKind::Float, 0},     {"CCODDIV", FieldKind::Text, 3},
    {"NENTACU", FieldKind::Float, 0},      {"CCODPRO", FieldKind::Text, 6},
    {"CREFPROV", FieldKind::Text, 18},     {"LSELECT", FieldKind::Boolean, 0},
    {"NUNIDADES", FieldKind::Float, 0},    {"NETIQUETAS", FieldKind::Float, 0},
    {"CIMAGEN", FieldKind::Text, 128},     {"CPREDEF1", FieldKind::Text, 100},
    {"CPREDEF2", FieldKind::Text, 100},    {"CPREDEF3", FieldKind::Text, 100},
    {"CPREDEF4", FieldKind::Text, 100},    {"CPREDEF5", FieldKind::Text, 100},
    {"CPREDEF6", FieldKind::Text, 100},    {"CPREDEF7", FieldKind::Text, 100},
    {"CPREDEF8", FieldKind::Text, 100},    {"CPREDEF9", FieldKind::Text, 100},
    {"CPREDEF10", FieldKind::Text, 100},   {"LINTERNET", FieldKind::Boolean, 0},
    {"LUNIDADES", FieldKind::Boolean, 0},  {"CCODEBAR", FieldKind::Text, 18},
    {"NTIPOCODE", FieldKind::Int16, 0},    {"LKIT", FieldKind::Boolean, 0},
    {"LPESO", FieldKind::Boolean, 0},      {"NTARA", FieldKind::Float, 0},
    {"NBENEFPVP", FieldKind::Float, 0},    {"NBENEFMAY", FieldKind::Float, 0},
    {"LPRECPROP1", FieldKind::Boolean, 0}, {"LPRECPROP2", FieldKind::Boolean, 0},
    {"NPCONIVA", FieldKind::Float, 0},     {"NPMCONIVA", FieldKind::Float, 0},
    {"LCTRLSTOCK", FieldKind::Boolean, 0}, {"NPREPV", FieldKind::Float, 0},
    {"LACTUALIZA", FieldKind::Boolean, 0}, {"DACTUALIZA", FieldKind::Date, 0},
    {"CGRPCONTAC", FieldKind::Text, 9},    {"NSALACU", FieldKind::Float, 0},
    {"CSCTAVTAS", FieldKind::Text, 12},    {"CSCTACPRAS", FieldKind::Text, 12},
    {"LANTICIPO", FieldKind::Boolean, 0},  {"CCODPAGO", FieldKind::Text, 2},
    {"CSCTAVABON", FieldKind::Text, 12},   {"CSCTACABON", FieldKind::Text, 12},
    {"LBMPTACTIL", FieldKind::Boolean, 0}, {"NCANT_TAC", FieldKind::Float, 0},
    {"CDES_TAC", FieldKind::Text, 10},
};

const std::vector<FieldDecl> kFamilias = {
    {"CCODFAM", FieldKind::Text, 5},       {"CNOMFAM", FieldKind::Text, 30},
    {"CPREDEF1", FieldKind::Text, 30},     {"CPREDEF2", FieldKind::Text, 30},
    {"CPREDEF3", FieldKind::Text, 30},     {"CPREDEF4", FieldKind::Text, 30},
    {"CPREDEF5", FieldKind::Text, 30},     {"CPREDEF6", FieldKind::Text, 30},
    {"CPREDEF7", FieldKind::Text, 30},     {"CPREDEF8", FieldKind::Text, 30},
    {"CPREDEF9", FieldKind::Text, 30},     {"CPREDEF10", FieldKind::Text, 30},
    {"LINTERNET", FieldKind::Boolean, 0},  {"CCODPROP1", FieldKind::Text, 5},
    {"CCODPROP2", FieldKind::Text, 5},     {"LACTUALIZA", FieldKind::Boolean, 0},
    {"DACTUALIZA", FieldKind::Date, 0},    {"CIMAGEN", FieldKind::Text, 128},
    {"LBMPTACTIL", FieldKind::Boolean, 0}, {"NCANT_TAC", FieldKind::Float, 0},
    {"CDES_TAC", FieldKind::Text, 10},
};

const std::vector<FieldDecl> kStock = {
    {"CCODALM", FieldKind::Text, 3},     {"CREF", FieldKind::Text, 18},
    {"NSTOCK", FieldKind::Float, 0},     {"NUNIDADES", FieldKind::Float, 0},
    {"CPROP1", FieldKind::Text, 20},     {"CPROP2", FieldKind::Text, 20},
    {"CUBICACION", FieldKind::Text, 10},
};

const std::vector<FieldDecl> kArticulosNombreLargo = {
    {"CREF", FieldKind::Text, 18},
    {"CCOMENT", FieldKind::Text, 100},
};

const std::vector<FieldDecl> kProvincias = {
    {"CNOMPROV", FieldKind::Text, 30},
};

const std::vector<FieldDecl> kClientes = {
    {"CCODCLI", FieldKind::Text, 6},       {"CNOMCLI", FieldKind::Text, 100},
    {"CNOMCOM", FieldKind::Text, 100},     {"CDIRCLI", FieldKind::Text, 100},
    {"CPOBCLI", FieldKind::Text, 100},     {"CCODPROV", FieldKind::Text, 4},
    {"CPTLCLI", FieldKind::Text, 10},      {"CTFO1CLI", FieldKind::Text, 17},
    {"CTFO2CLI", FieldKind::Text, 17},     {"CFAXCLI", FieldKind::Text, 17},
    {"CDNICIF", FieldKind::Text, 15},      {"CCONTACTO", FieldKind::Text, 100},
    {"CNBRBCO", FieldKind::Text, 100},     {"CDIRBCO", FieldKind::Text, 100},
    {"CPOBBCO", FieldKind::Text, 100},     {"CPROVBCO", FieldKind::Text, 4},
    {"CENTIDAD", FieldKind::Text, 4},      {"CAGENCIA", FieldKind::Text, 4},
    {"CCUENTA", FieldKind::Text, 10},      {"COBSCLI", FieldKind::Text, 50},
    {"CCODPAGO", FieldKind::Text, 2},      {"NDIA1PAGO", FieldKind::Int16, 0},
    {"NDIA2PAGO", FieldKind::Int16, 0},    {"CCODAGE", FieldKind::Text, 3},
    {"NDTO", FieldKind::Int16, 0},         {"NDPP", FieldKind::Float, 0},
    {"NMOROSOS", FieldKind::Float, 0},     {"NRIESGO", FieldKind::Float, 0},
    {"NCOPFAC", FieldKind::Int16, 0},      {"CCODRAP", FieldKind::Text, 3},
    {"CSERIEFACT", FieldKind::Text, 1},    {"CCTAREM", FieldKind::Text, 2},
    {"NIVA", FieldKind::Int16, 0},         {"LREQ", FieldKind::Boolean, 0},
    {"CSUBCTA", FieldKind::Text, 12},      {"CCTAVTAS", FieldKind::Text, 3},
    {"LMAYORISTA", FieldKind::Boolean, 0}, {"LSELECT", FieldKind::Boolean, 0},
    {"NRIESGOALC", FieldKind::Float, 0},   {"NETIQUETAS", FieldKind::Int16, 0},
    {"CDIRECCION", FieldKind::Text, 2},    {"EMAIL", FieldKind::Text, 250},
    {"PASSWORD", FieldKind::Text, 8},      {"CNACCLI", FieldKind::Text, 4},
    {"CNACBCO", FieldKind::Text, 4},       {"CCODGRUP", FieldKind::Text, 4},
    {"CCODDIV", FieldKind::Text, 3},       {"NDIA3PAGO", FieldKind::Int16, 0},
    {"CCODTRAN", FieldKind::Text, 3},      {"CCTAVENS", FieldKind::Text, 3},
    {"CSCTASUPL", FieldKind::Text, 12},    {"SCTAANTCLI", FieldKind::Text, 12},
    {"LIVAINCL", FieldKind::Boolean, 0},   {"DINIVACA", FieldKind::Date, 0},
    {"DFINVACA", FieldKind::Date, 0},      {"CCODEDI", FieldKind::Text, 17},
    {"NDTOESP", FieldKind::Float, 0},      {"NCOPPRE", FieldKind::Int16, 0},
    {"NCOPPED", FieldKind::Int16, 0},      {"NCOPALB", FieldKind::Int16, 0},
    {"NCOPABO", FieldKind::Int16, 0},      {"NCOPREC", FieldKind::Int16, 0},
    {"CTFOBCO", FieldKind::Text, 17},      {"CFAXBCO", FieldKind::Text, 17},
    {"CCONTACBCO", FieldKind::Text, 100},  {"COBSER1BCO", FieldKind::Text, 100},
    {"COBSER2BCO", FieldKind::Text, 100},  {"LBLOQUEADO", FieldKind::Boolean, 0},
    {"CDESCBLOQU", FieldKind::Text, 100},  {"CRINFORMA", FieldKind::Text, 1},
};

const std::vector<FieldDecl> kProveedores = {
    {"CCODPRO", FieldKind::Text, 6},     {"CNOMPRO", FieldKind::Text, 100},
    {"CDIRPRO", FieldKind::Text, 100},   {"CPOBPRO", FieldKind::Text, 100},
    {"CCODPROV", FieldKind::Text, 4},    {"CPTLPRO", FieldKind::Text, 10},
    {"CTFO1PRO", FieldKind::Text, 17},   {"CTFO2PRO", FieldKind::Text, 17},
    {"CFAX", FieldKind::Text, 17},       {"CNIFDNI", FieldKind::Text, 15},
    {"NDTO", FieldKind::Float, 0},       {"CCODPAGO", FieldKind::Text, 2},
    {"NDIAPAGO", FieldKind::Int16, 0},   {"CNBRBCO", FieldKind::Text, 100},
    {"CDIRBCO", FieldKind::Text, 100},   {"CPOBBCO", FieldKind::Text, 100},
    {"CPROVBCO", FieldKind::Text, 4},    {"CENTIDAD", FieldKind::Text, 4},
    {"CAGENCIA", FieldKind::Text, 4},    {"CCUENTA", FieldKind::Text, 10},
    {"CSUBCTA", FieldKind::Text, 12},    {"LSELECT", FieldKind::Boolean, 0},
    {"NETIQUETAS", FieldKind::Int16, 0}, {"CNACPRO", FieldKind::Text, 4},
    {"CNACBCO", FieldKind::Text, 4},     {"CPERCONT", FieldKind::Text, 100},
    {"CCODDIV", FieldKind::Text, 3},     {"NIVA", FieldKind::Int16, 0},
    {"CSERIEFACT", FieldKind::Text, 1},  {"NIVAPORTES", FieldKind::Float, 0},
    {"NIRPFA", FieldKind::Float, 0},     {"NIRPFB", FieldKind::Float, 0},
    {"NRECFINANC", FieldKind::Int16, 0}, {"LIRPFAGR", FieldKind::Boolean, 0},
    {"NDPP", FieldKind::Float, 0},       {"NDIA2PAGO", FieldKind::Int16, 0},
    {"NDIA3PAGO", FieldKind::Int16, 0},  {"DINIVACA", FieldKind::Date, 0},
    {"DFINVACA", FieldKind::Date, 0},    {"CCTACPRAS", FieldKind::Text, 3},
    {"CCTACPRASS", FieldKind::Text, 3},  {"EMAIL", FieldKind::Text, 250},
    {"CRINFORMA", FieldKind::Text, 1},
};

const std::vector<FieldDecl> kAgentesVenta = {
    {"CCODAGE", FieldKind::Text, 3},       {"CAPEAGE", FieldKind::Text, 100},
    {"CNBRAGE", FieldKind::Text, 100},     {"CDNINIF", FieldKind::Text, 15},
    {"CDIRAGE", FieldKind::Text, 100},     {"CPOBAGE", FieldKind::Text, 100},
    {"CCODPROV", FieldKind::Text, 4},      {"CPTLAGE", FieldKind::Text, 10},
    {"CTFOAGE", FieldKind::Text, 17},      {"CFAXAGE", FieldKind::Text, 17},
    {"NIRPFAGE", FieldKind::Float, 0},     {"NCOM1", FieldKind::Float, 0},
    {"NCOM2", FieldKind::Float, 0},        {"NCOM3", FieldKind::Float, 0},
    {"NCOM4", FieldKind::Float, 0},        {"NCOM5", FieldKind::Float, 0},
    {"NCOM6", FieldKind::Float, 0},        {"CNACAGE", FieldKind::Text, 4},
    {"CCODDEP", FieldKind::Text, 3},       {"NCOMCLICON", FieldKind::Float, 0},
    {"EMAIL", FieldKind::Text, 50},        {"CIMAGEN", FieldKind::Text, 128},
    {"LBMPTACTIL", FieldKind::Boolean, 0}, {"CDES_TAC", FieldKind::Text, 10},
};

} // namespace

const std::vector<FieldDecl>& LayoutArticulos() {
    return kArticulos;
}
const std::vector<FieldDecl>& LayoutFamilias() {
    return kFamilias;
}
const std::vector<FieldDecl>& LayoutStock() {
    return kStock;
}
const std::vector<FieldDecl>& LayoutArticulosNombreLargo() {
    return kArticulosNombreLargo;
}
const std::vector<FieldDecl>& LayoutProvincias() {
    return kProvincias;
}
const std::vector<FieldDecl>& LayoutClientes() {
    return kClientes;
}
const std::vector<FieldDecl>& LayoutProveedores() {
    return kProveedores;
}
const std::vector<FieldDecl>& LayoutAgentesVenta() {
    return kAgentesVenta;
}
