// The one transfer cycle that every transfer runs: walk the source, look each code up in the
// target, update or insert, warn and go on, commit retaining after every record, summarise.
#include "SourceQuery.h"
#include "TDatos.h"

namespace {

// Marks the data module busy for the length of a run, whatever way the run ends.
class EnMarcha {
public:
    explicit EnMarcha(bool& b) : b_(b) { b_ = true; }
    ~EnMarcha() { b_ = false; }

private:
    bool& b_;
};

} // namespace

bool TDatos::EjecutarTraspaso(const DescripcionTraspaso& d) {
    EnMarcha enMarcha(ejecutando_);
    parada_ = false;
    SourceQuery& q = *d.consulta;
    auto ponerTextos = [&] {
        IBSQLInsert.SetText(d.textoInsert);
        IBSQLUpdate.SetText(d.textoUpdate);
    };
    auto conectar = [&] {
        if (!IBDatabase1.Connected()) IBDatabase1.Open();
    };

    RegistrosActualizados = 0;
    RegistrosAnadidos = 0;
    IBSQLSelect.Close();
    q.Open();
    q.First();
    if (d.textosAntesDelProgreso) {
        ponerTextos();
        interfaz_.MostrarEstado(d.textoProgreso, false);
        conectar();
    } else {
        interfaz_.MostrarEstado(d.textoProgreso, false);
        conectar();
        if (d.transaccionAntesDelBucle && !IBTransaction1.InTransaction())
            IBTransaction1.StartTransaction();
        ponerTextos();
    }
    if (d.leerDefectos) {
        if (!IBTransaction1.InTransaction()) IBTransaction1.StartTransaction();
        d.leerDefectos();
        IBSQLSelect.Close();
        if (IBTransaction1.InTransaction()) IBTransaction1.CommitRetaining();
    }

    while (!q.Eof()) {
        if (!IBTransaction1.InTransaction()) IBTransaction1.StartTransaction();
        RegistroEnCurso registro{q.Name(), q.DeliveredCount(), q.RowCount(), d.valorBusqueda()};
        IBSQLSelect.Close();
        IBSQLSelect.SetText(d.textoBusqueda);
        IBSQLSelect.ParamByName("ParCodigo").SetAsString(registro.codigo);
        IBSQLSelect.ExecQuery();
        IBField& campoId = IBSQLSelect.FieldByName(d.columnaId);
        int32_t id = campoId.IsNull() ? 0 : campoId.AsInteger();

        // A guarded block: its error is shown, the record is counted nowhere, the walk goes on.
        auto guardado = [&](const std::function<void()>& bloque) {
            try {
                bloque();
            } catch (const std::exception& e) {
                interfaz_.Aviso(e.what(), registro);
            }
        };
        if (id != 0) {
            guardado([&] {
                IBSQLUpdate.ParamByName(d.claveUpdate).SetAsInteger(id);
                d.rellenarUpdate();
                IBSQLUpdate.ExecQuery();
                ++RegistrosActualizados;
            });
        } else {
            guardado([&] {
                d.rellenarInsert();
                IBSQLInsert.ExecQuery();
                if (d.idTrasInsert) id = d.idTrasInsert();
                ++RegistrosAnadidos;
            });
        }
        for (const auto& bloque : d.bloquesExtra)
            guardado([&] { bloque(id); });

        q.Next();
        if (IBTransaction1.InTransaction()) IBTransaction1.CommitRetaining();
        interfaz_.AtenderMensajes();
        if (parada_) return false;
    }
    q.Close();
    interfaz_.MostrarEstado(d.prefijoResumen + std::to_string(RegistrosAnadidos) +
                                d.separadorResumen + std::to_string(RegistrosActualizados),
                            true);
    return true;
}

int32_t TDatos::LeerDefecto(const std::string& texto, const std::string& columna) {
    IBSQLSelect.Close();
    IBSQLSelect.SetText(texto);
    IBSQLSelect.ExecQuery();
    IBField& f = IBSQLSelect.FieldByName(columna);
    return f.IsNull() ? 0 : f.AsInteger();
}
