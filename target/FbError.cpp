#include "FbError.h"

#include <algorithm>
#include <initializer_list>

namespace {

using Codigos = std::initializer_list<long>;

// The link to the database is gone: a network failure, or the client left with a dead handle.
constexpr Codigos kEnlacePerdido = {isc_network_error,      isc_net_read_err, isc_net_write_err,
                                    isc_lost_db_connection, isc_conn_lost,    isc_bad_db_handle};
constexpr Codigos kConexionCerrada = {isc_att_shutdown, isc_net_server_shutdown};
constexpr Codigos kBaseCerrada = {isc_shutdown};
constexpr Codigos kSoloLectura = {isc_read_only_database, isc_read_only_trans};
constexpr Codigos kFichero = {isc_io_error, isc_unavailable};
constexpr Codigos kAbierta = {isc_already_opened};
constexpr Codigos kNoEsBase = {isc_bad_db_format, isc_wrong_ods};
constexpr Codigos kUsuario = {isc_login};
constexpr Codigos kFilaEnUso = {isc_lock_conflict, isc_deadlock, isc_update_conflict,
                                isc_lock_timeout};
constexpr Codigos kCancelada = {isc_cancelled};

bool Alguno(const std::vector<long>& codes, Codigos buscados) {
    return std::any_of(codes.begin(), codes.end(), [&](long c) {
        return std::find(buscados.begin(), buscados.end(), c) != buscados.end();
    });
}

// What the operator is told first, for the kinds of failure that have a reason worth a sentence.
struct Motivo {
    Codigos codigos;
    const char* frase;
};
constexpr Motivo kMotivos[] = {
    {kCancelada, "Operación cancelada por el usuario."},
    {kEnlacePerdido, "Se ha perdido la conexión con la base de datos."},
    {kConexionCerrada, "La conexión con la base de datos ha sido cerrada."},
    {kBaseCerrada, "La base de datos está cerrada por su administrador."},
    {kSoloLectura, "La base de datos es de solo lectura."},
    {kNoEsBase, "El fichero no es una base de datos que este programa pueda abrir."},
    {kAbierta, "No se puede usar ahora: la base de datos está abierta por otro programa, que la "
               "tiene para sí solo (Firebird sin servidor). Ciérrelo, o use la base de datos a "
               "través de un servidor Firebird (servidor:/ruta/fichero.fdb)."},
    {kFichero, "No se puede leer o escribir el fichero de la base de datos (puede que no exista, "
               "que falte permiso o que el disco esté lleno)."},
    {kUsuario, "La base de datos no admite el usuario o la contraseña."},
    {kFilaEnUso, "La fila está en uso por otro usuario de la base de datos."},
};

std::vector<long> Codes(const ISC_STATUS* status) {
    std::vector<long> codes;
    for (const ISC_STATUS* p = status; *p != isc_arg_end;) {
        ISC_STATUS kind = *p++;
        if (kind == isc_arg_gds) codes.push_back(static_cast<long>(*p));
        p += kind == isc_arg_cstring ? 2 : 1; // a counted string has two slots
    }
    return codes;
}

std::string Encabezado(const std::vector<long>& codes, const std::string& operacion) {
    std::string texto;
    for (const Motivo& m : kMotivos) {
        if (Alguno(codes, m.codigos)) {
            texto = std::string(m.frase) + " ";
            break;
        }
    }
    return texto + "No se ha podido " + operacion + ".";
}

} // namespace

std::string StatusMessage(const ISC_STATUS* status) {
    std::string texto;
    const ISC_STATUS* cursor = status;
    char linea[1024];
    while (fb_interpret(linea, sizeof linea, &cursor) > 0) {
        if (!texto.empty()) texto += '\n';
        texto += linea;
    }
    return texto;
}

void CheckStatus(const ISC_STATUS* status, const std::string& operacion,
                 const std::string& motivo) {
    if (status[0] != 1 || status[1] == 0) return;
    long sqlcode = isc_sqlcode(status);
    std::vector<long> codes = Codes(status);
    std::string motor = StatusMessage(status);
    if (motor.empty()) motor = "Error " + std::to_string(status[1]) + " de Firebird";
    std::string mensaje = (motivo.empty() ? Encabezado(codes, operacion)
                                          : motivo + " No se ha podido " + operacion + ".") +
                          "\n" + motor;
    throw FbError(mensaje, sqlcode, std::move(codes), operacion);
}

bool FbError::HasGdsCode(long code) const {
    for (long c : gdscodes_)
        if (c == code) return true;
    return false;
}

bool FbError::ConexionPerdida() const {
    return Alguno(gdscodes_, kEnlacePerdido) || Alguno(gdscodes_, kConexionCerrada) ||
           Alguno(gdscodes_, kBaseCerrada);
}

bool FbError::Cerrada() const {
    return Alguno(gdscodes_, kConexionCerrada) || Alguno(gdscodes_, kBaseCerrada);
}

bool FbError::AfectaALaBase() const {
    return ConexionPerdida() || Cancelada() || Alguno(gdscodes_, kSoloLectura) ||
           Alguno(gdscodes_, kFichero) || Alguno(gdscodes_, kNoEsBase) ||
           Alguno(gdscodes_, kUsuario);
}

bool FbError::FilaEnUso() const {
    return Alguno(gdscodes_, kFilaEnUso);
}

bool FbError::Cancelada() const {
    return Alguno(gdscodes_, kCancelada);
}
