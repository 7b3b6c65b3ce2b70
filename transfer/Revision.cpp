#include "Revision.h"

#include "Destino.h"
#include "FbError.h"
#include "TDatos.h"
#include "TextoVisible.h"

void Revision::Empezar(const Traspaso&) {
    vistos_.clear();
}

void Revision::Avisar(const std::string& texto) {
    d_.interfaz_.Aviso(texto, d_.registro_);
    avisado_ = true;
}

bool Revision::Registro(const Traspaso& t, const Campos& c, int32_t id) {
    avisado_ = false;
    std::string codigo = t.codigo(c);
    RevisarCodigo(t, c, codigo);
    revisados_[t.tabla].insert(codigo);
    Envio envio = id != 0 ? Envio::Cambio : Envio::Alta;
    IBSQL& s = id != 0 ? d_.IBSQLUpdate() : d_.IBSQLInsert();
    if (id != 0) s.ParamByName(t.Clave()).SetAsInteger(id);
    const Fuente f{c, *d_.busquedas_};
    enRegistro_ = true;
    // Line by line, so that every value of the record that would fail is told, not the first.
    for (const Linea& l : t.lineas) {
        if (!Envia(l, envio)) continue;
        try {
            Enlazar(s, l.parametro, l.valor(f));
        } catch (const FbError& e) {
            if (e.AfectaALaBase()) {
                enRegistro_ = false;
                throw;
            }
            Avisar(e.what());
        } catch (const std::exception& e) {
            Avisar(e.what());
        }
    }
    enRegistro_ = false;
    if (avisado_) ++d_.RegistrosRechazados;
    return false;
}

void Revision::Terminar(const Traspaso& t, std::size_t registros) {
    d_.interfaz_.MostrarEstado("Revisión de " + t.nombre + ": " + std::to_string(registros) +
                                   " registros, " + std::to_string(d_.RegistrosRechazados) +
                                   " con avisos",
                               true);
}

void Revision::RevisarCodigo(const Traspaso& t, const Campos& c, const std::string& codigo) {
    const RegistroEnCurso& r = d_.registro_;
    std::string leido = c.Texto(t.campoCodigo);
    auto [visto, nuevo] = vistos_.try_emplace(codigo, CodigoVisto{r.posicion, leido});
    if (nuevo) return;
    const CodigoVisto& antes = visto->second;
    if (antes.leido == leido)
        Avisar("El código «" + TextoVisible(leido) + "» ya está en el registro " +
               std::to_string(antes.posicion) + ": este registro actualizará lo que aquel escriba");
    else
        Avisar("El código «" + TextoVisible(leido) + "» se escribe «" + TextoVisible(codigo) +
               "», igual que el «" + TextoVisible(antes.leido) + "» del registro " +
               std::to_string(antes.posicion) + ": los dos acabarán en una sola fila");
}

void Revision::FaltaEnDestino(const std::string& tabla, const std::string& codigo,
                              const std::string& texto) {
    if (!enRegistro_) return;
    auto r = revisados_.find(tabla);
    if (r == revisados_.end() || !r->second.count(codigo)) Avisar(texto);
}
