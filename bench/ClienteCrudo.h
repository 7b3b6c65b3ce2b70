#pragma once
// The few client-library calls the raw loops make, straight on the isc_* API: one connection with
// the data module's kind of transaction, statements with positional parameters bound from values
// computed beforehand, and one integer result.
#include <ibase.h>

#include <cstdint>
#include <cstring>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

class Conexion {
public:
    explicit Conexion(const std::string& base);
    ~Conexion(); // rolls back an open transaction and detaches; never throws
    Conexion(const Conexion&) = delete;
    Conexion& operator=(const Conexion&) = delete;

    // As the data module's transaction: read committed, record versions, a bounded lock wait.
    void Iniciar();
    void ConfirmarRetener();
    void Confirmar();
    isc_db_handle* Db() { return &db_; }
    isc_tr_handle* Tr() { return &tr_; }

private:
    isc_db_handle db_ = 0;
    isc_tr_handle tr_ = 0;
};

// A parameter's value as it goes to the library.
struct ValorCrudo {
    short tipo = SQL_TEXT;
    std::string bytes; // Windows-1252 text, or the binary number or timestamp
    short nulo = 0;    // -1 for NULL
};

template <class T> ValorCrudo Binario(short tipo, T v) {
    ValorCrudo r{tipo, std::string(sizeof v, '\0'), 0};
    std::memcpy(r.bytes.data(), &v, sizeof v);
    return r;
}
inline ValorCrudo EnteroCrudo(int32_t v) {
    return Binario(SQL_LONG, v);
}
inline ValorCrudo NuloCrudo() {
    return ValorCrudo{SQL_LONG, std::string(4, '\0'), -1};
}
ValorCrudo TextoCrudo(const std::string& utf8, const std::string& parametro);

// A statement prepared on the connection's transaction, with ":NAME" parameters made positional.
class Sentencia {
public:
    Sentencia(Conexion& c, const std::string& texto);
    ~Sentencia();
    Sentencia(const Sentencia&) = delete;
    Sentencia& operator=(const Sentencia&) = delete;

    const std::vector<std::string>& Nombres() const { return nombres_; }
    int Posicion(const std::string& nombre) const;
    // Executes with these values; a select (its first row) or a "returning" gives its integer
    // columns, the first one returned.
    std::optional<int32_t> Ejecutar(std::vector<ValorCrudo>& valores);
    std::optional<int32_t> Columna(std::size_t i) const; // of the last execution

private:
    struct Libera {
        void operator()(XSQLDA* p) const { std::free(p); }
    };
    using Da = std::unique_ptr<XSQLDA, Libera>;
    static Da Sqlda(int n);

    Conexion& c_;
    isc_stmt_handle h_ = 0;
    std::vector<std::string> nombres_;
    Da in_, out_;
    std::vector<short> indicadores_;
    bool esSelect_ = false;
    std::vector<int32_t> resultados_;
    std::vector<short> nulos_;
};

// The engine's page counters of a connection, since it attached.
struct Paginas {
    double lecturas = 0, escrituras = 0, accesos = 0, marcas = 0; // reads, writes, fetches, marks
};
Paginas LeerPaginas(isc_db_handle* db);

// Every row's identifier by its code: "select codigo, id<tabla> from <tabla>".
std::unordered_map<std::string, int32_t> IdsPorCodigo(Conexion& c, const std::string& tabla);
