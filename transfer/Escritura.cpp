// The buttons' run, and the dry run: each record updates the row of its code or inserts a new
// one, then runs its follow-ups. Writing only what changed first compares the record's rows
// with what it would write, and leaves alone those that already hold it.
#include "Comparador.h"
#include "Destino.h"
#include "FbError.h"
#include "TDatos.h"
#include "Tratamiento.h"

#include <functional>

class ModoEscritura final : public Tratamiento {
public:
    ModoEscritura(TDatos& d, bool soloCambios)
        : d_(d), soloCambios_(soloCambios), comparador_(d.destino_->IBSQLComparacion) {}
    bool Escribe() const override { return true; }
    bool Registro(const Traspaso& t, const Campos& c, int32_t id) override;
    void Terminar(const Traspaso& t, std::size_t registros) override;

private:
    // Whether the rows of an existing record already hold what it would write; a record whose
    // row has gone is told and left alone.
    enum class Estado { Igual, Distinto, Ilegible };
    Estado Comparar(const Traspaso& t, const Fuente& f, int32_t id);

    TDatos& d_;
    bool soloCambios_;
    Comparador comparador_;
};

// Only a record whose every block compared equal is left alone. One that could not be compared
// goes on to be written, which then warns as any run would; only a row gone since its lookup is
// told here and left.
ModoEscritura::Estado ModoEscritura::Comparar(const Traspaso& t, const Fuente& f, int32_t id) {
    auto igual = [&](const std::function<std::vector<ColumnaDistinta>()>& comparar) {
        try {
            return comparar().empty();
        } catch (const FilaDesaparecida&) {
            throw;
        } catch (const FbError& e) {
            if (e.AfectaALaBase()) throw;
        } catch (const std::exception&) {
        }
        return false;
    };
    try {
        if (!igual([&] { return comparador_.Principal(t, f, id); })) return Estado::Distinto;
    } catch (const FilaDesaparecida& e) {
        d_.interfaz_.Aviso(e.what(), d_.registro_);
        return Estado::Ilegible;
    }
    for (const Seguimiento& s : t.seguimientos)
        if (!d_.Omitido(s) && !igual([&] { return comparador_.Seguimiento(s, f, id); }))
            return Estado::Distinto;
    return Estado::Igual;
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
        if (id != 0) d_.ParamFijo(s, d_.lugares_.clave, t.Clave()).SetAsInteger(id);
        (*d_.enlazar_)(s, t.lineas, envio, f);
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
