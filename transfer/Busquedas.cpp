// Identifiers of the target's rows by their code.
#include "TDatos.h"
#include "Texto.h"

Variant TDatos::BuscarIdFamilia(const std::string& codigo) {
    // Families are stored under the first four characters of their code.
    IBQueryFamiliasArticulos.Close();
    IBQueryFamiliasArticulos.ParamByName("ParCodigo").SetAsString(Primeros(codigo, 4));
    IBQueryFamiliasArticulos.Open();
    return IBQueryFamiliasArticulos.FieldAsVariant("IDFAMILIASARTICULOS");
}

int32_t TDatos::BuscarId(const std::vector<std::string>& texto, const std::string& codigo,
                         const std::string& columna) {
    if (codigo.empty()) return 0;
    IBQuery consulta(IBDatabase1, IBTransaction1); // closed by its destructor on every path
    consulta.SetText(texto);
    consulta.ParamByName("PARCODIGO").SetAsString(codigo);
    consulta.Open();
    int32_t id = consulta.FieldIsNull(columna) ? 0 : consulta.FieldAsInteger(columna);
    consulta.Close();
    return id;
}

int32_t TDatos::BuscarIdFormaPago(const std::string& codigo) {
    return BuscarId({"SELECT IDFORMASPAGO", " FROM FORMASPAGO WHERE CODIGO = :PARCODIGO"}, codigo,
                    "IDFORMASPAGO");
}

int32_t TDatos::BuscarIdAgenteVenta(const std::string& codigo) {
    return BuscarId({"SELECT IDAGENTESVENTA", " FROM AGENTESVENTA WHERE CODIGO = :PARCODIGO"},
                    codigo, "IDAGENTESVENTA");
}
