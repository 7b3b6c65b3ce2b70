#include "Turno.h"

#include "Error.h"
#include "IBDatabase.h"
#include "IBSQL.h"
#include "IBTransaction.h"
#include "TextoVisible.h"

#include <chrono>
#include <random>
#include <thread>

namespace {

const char* const kMarcar =
    "select rdb$set_context('USER_SESSION', 'TRASPASO_MAESTROS', :TABLA) from rdb$database";
const char* const kQuitar =
    "select rdb$set_context('USER_SESSION', 'TRASPASO_MAESTROS', NULL) from rdb$database";
// The monitoring tables show every connection's session variables to the owner of the
// database; their snapshot is taken once per transaction, so each look is a transaction.
const char* const kOtros =
    "select first 1 v.MON$VARIABLE_VALUE as TABLA, a.MON$REMOTE_PROCESS as PROCESO, "
    "a.MON$REMOTE_ADDRESS as DIRECCION from MON$CONTEXT_VARIABLES v join MON$ATTACHMENTS a on "
    "a.MON$ATTACHMENT_ID = v.MON$ATTACHMENT_ID where v.MON$VARIABLE_NAME = 'TRASPASO_MAESTROS' "
    "and v.MON$ATTACHMENT_ID <> CURRENT_CONNECTION";

// Runs one statement in a transaction of its own; the first row's columns go to `fila`.
void EnTransaccion(IBDatabase& db, const char* texto, const std::string& tabla,
                   std::string* fila = nullptr) {
    IBTransaction tr(db);
    tr.StartTransaction();
    {
        IBSQL s(db, tr);
        s.SetText(texto);
        if (!tabla.empty()) s.ParamByName("TABLA").SetAsString(tabla);
        s.ExecQuery();
        if (fila) {
            *fila = s.Eof() ? std::string()
                            : "«" + TextoVisible(s.FieldByName("TABLA").AsString()) + "» desde " +
                                  TextoVisible(s.FieldByName("PROCESO").AsString()) + " (" +
                                  TextoVisible(s.FieldByName("DIRECCION").AsString()) + ")";
        }
        s.Close();
    }
    tr.Commit();
}

} // namespace

Turno::Turno(IBDatabase& db, const std::string& tabla, int segundos,
             const std::function<bool(const std::string&)>& esperando)
    : db_(db) {
    using Reloj = std::chrono::steady_clock;
    std::mt19937 azar(std::random_device{}());
    const auto inicio = Reloj::now();
    std::string dicho;
    Reloj::time_point dichoEn;
    for (;;) {
        EnTransaccion(db_, kMarcar, tabla);
        std::string otro;
        EnTransaccion(db_, kOtros, "", &otro);
        if (otro.empty()) {
            obtenido_ = true;
            return;
        }
        // Both may have marked at once: both step back, for a random while, and look again.
        EnTransaccion(db_, kQuitar, "");
        auto hasta = Reloj::now() + std::chrono::milliseconds(500 + azar() % 1000);
        do {
            const auto ahora = Reloj::now();
            const auto pasados = std::chrono::duration_cast<std::chrono::seconds>(ahora - inicio);
            if (pasados.count() >= segundos)
                throw Error("Otro traspaso sigue en marcha en esta base de datos después de "
                            "esperar " +
                            std::to_string(segundos) + " segundos a que termine: " + otro +
                            ". No se ha escrito nada; vuelva a intentarlo cuando haya terminado.");
            std::string texto;
            if (otro != dicho || ahora - dichoEn >= kAvisoCada) {
                texto = "Esperando a que termine otro traspaso en esta base de datos: " + otro +
                        (dicho.empty() ? "; como mucho " + std::to_string(segundos) + " segundos"
                                       : "; " + std::to_string(pasados.count()) + " de " +
                                             std::to_string(segundos) + " segundos");
                dicho = otro;
                dichoEn = ahora;
            }
            if (!esperando(texto)) return;
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        } while (Reloj::now() < hasta);
    }
}

Turno::~Turno() {
    if (!obtenido_) return;
    try {
        if (db_.Connected()) EnTransaccion(db_, kQuitar, "");
    } catch (...) {
        // The mark goes with the connection anyway.
    }
}
