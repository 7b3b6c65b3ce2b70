// The buttons' run, and the dry run: each record updates the row of its code or inserts a new
// one, then runs its follow-ups. Writing only what changed first compares the record's rows
// with what it would write, and leaves alone those that already hold it.
#include "Comparador.h"
#include "Destino.h"
#include "FbError.h"
#include "TDatos.h"
#include "Tratamiento.h"

class ModoEscritura final : public Tratamiento {
public:
    ModoEscritura(TDatos& d, bool soloCambios)
        : d_(d), soloCambios_(soloCambios), comparador_(d.destino_->IBSQLComparacion) {}
    bool Escribe() const override { return true; }
    bool Registro(const Traspaso& t, const Campos& c, int32_t id) override;
    void Terminar(const Traspaso& t, std::size_t registros) override;

private:
    // Whether the rows of an existing record already hold what it would write; a record whose
    // rows cannot be read is told and left alone.
    enum class Estado { Igual, Distinto, Ilegible };
    Estado Comparar(const Traspaso& t, const Fuente& f, int32_t id);

    TDatos& d_;
    bool soloCambios_;
    Comparador comparador_;
};

ModoEscritura::Estado ModoEscritura::Comparar(const Traspaso& t, const Fuente& f, int32_t id) {
    try {
        return comparador_.Comparar(t, f, id).empty() ? Estado::Igual : Estado::Distinto;
    } catch (const ValorNoAdmitido&) {
        return Estado::Distinto; // the update refuses it too, and says why
    } catch (const FbError& e) {
        if (e.AfectaALaBase()) throw;
        d_.interfaz_.Aviso("No se ha podido comparar con el destino: " + std::string(e.what()),
                           d_.registro_);
    } catch (const std::exception& e) {
        d_.interfaz_.Aviso("No se ha podido comparar con el destino: " + std::string(e.what()),
                           d_.registro_);
    }
    return Estado::Ilegible;
}

bool ModoEscritura::Registro(const Traspaso& t, const Campos& c, int32_t id) {
    const Fuente f{c, *d_.busquedas_};
    if (soloCambios_ && id != 0) {
        Estado e = Comparar(t, f, id);
        if (e == Estado::Igual) {
            ++d_.RegistrosSinCambios;
            return false;
        }
        if (e == Estado::Ilegible) {
            ++d_.RegistrosRechazados;
            return false;
        }
    }
    bool hecho = d_.Guardado([&] {
        Envio envio = id != 0 ? Envio::Cambio : Envio::Alta;
        IBSQL& s = id != 0 ? d_.IBSQLUpdate() : d_.IBSQLInsert();
        std::vector<Valor> valores = Calcular(t.lineas, envio, f);
        if (id != 0) s.ParamByName(t.Clave()).SetAsInteger(id);
        (*d_.enlazar_)(s, t.lineas, envio, valores);
        s.ExecQuery();
        if (id != 0) {
            ++d_.RegistrosActualizados;
            return;
        }
        // An insert that returns the new identifier gives its follow-ups their row.
        if (s.FieldCount() > 0) id = s.FieldByName(t.id).AsInteger();
        ++d_.RegistrosAnadidos;
    });
    if (!hecho) ++d_.RegistrosRechazados;
    // Identifier 0 is no row of this record: a follow-up would write someone else's.
    if (id != 0) d_.Seguir(t, c, id);
    return true;
}

void ModoEscritura::Terminar(const Traspaso& t, std::size_t) {
    d_.interfaz_.MostrarEstado(t.resumen.first + std::to_string(d_.RegistrosAnadidos) +
                                   t.resumen.second + std::to_string(d_.RegistrosActualizados),
                               true);
    if (soloCambios_)
        d_.interfaz_.MostrarEstado(
            t.nombre + " sin cambios: " + std::to_string(d_.RegistrosSinCambios), false);
}

std::unique_ptr<Tratamiento> NuevaEscritura(TDatos& d, bool soloCambios) {
    return std::make_unique<ModoEscritura>(d, soloCambios);
}
