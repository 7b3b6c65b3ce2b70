#include "ClienteCrudo.h"

#include "FbError.h"
#include "NamedParams.h"
#include "Win1252.h"

#include <ctime>
#include <stdexcept>

namespace {

constexpr unsigned short kDialecto = 1;

} // namespace

// ---- Conexion ----

Conexion::Conexion(const std::string& base) {
    std::vector<char> dpb{isc_dpb_version1};
    for (auto [etiqueta, valor] :
         {std::pair{isc_dpb_user_name, "SYSDBA"}, std::pair{isc_dpb_password, "quietlamp"}}) {
        dpb.push_back(static_cast<char>(etiqueta));
        dpb.push_back(static_cast<char>(std::strlen(valor)));
        dpb.insert(dpb.end(), valor, valor + std::strlen(valor));
    }
    ISC_STATUS_ARRAY st;
    isc_attach_database(st, 0, base.c_str(), &db_, static_cast<short>(dpb.size()), dpb.data());
    CheckStatus(st, "attach " + base);
}

Conexion::~Conexion() {
    ISC_STATUS_ARRAY st;
    if (tr_) isc_rollback_transaction(st, &tr_);
    if (db_) isc_detach_database(st, &db_);
}

void Conexion::Iniciar() {
    static const char kTpb[] = {isc_tpb_version3,
                                isc_tpb_write,
                                isc_tpb_read_committed,
                                isc_tpb_rec_version,
                                isc_tpb_wait,
                                isc_tpb_lock_timeout,
                                4,
                                10,
                                0,
                                0,
                                0};
    ISC_STATUS_ARRAY st;
    isc_start_transaction(st, &tr_, 1, &db_, static_cast<unsigned short>(sizeof kTpb), kTpb);
    CheckStatus(st, "start");
}

void Conexion::ConfirmarRetener() {
    ISC_STATUS_ARRAY st;
    isc_commit_retaining(st, &tr_);
    CheckStatus(st, "commit retaining");
}

void Conexion::Confirmar() {
    ISC_STATUS_ARRAY st;
    isc_commit_transaction(st, &tr_);
    CheckStatus(st, "commit");
    tr_ = 0;
}

ValorCrudo TextoCrudo(const std::string& utf8, const std::string& parametro) {
    return ValorCrudo{SQL_TEXT, Utf8ToCp1252(utf8, parametro), 0};
}

// ---- Sentencia ----

Sentencia::Da Sentencia::Sqlda(int n) {
    n = n < 1 ? 1 : n;
    Da d(static_cast<XSQLDA*>(std::calloc(1, XSQLDA_LENGTH(n))));
    d->version = SQLDA_VERSION1;
    d->sqln = static_cast<short>(n);
    return d;
}

Sentencia::Sentencia(Conexion& c, const std::string& texto) : c_(c) {
    MarkedSql marcado = ReplaceNamedParams(texto);
    nombres_ = marcado.names;
    ISC_STATUS_ARRAY st;
    isc_dsql_allocate_statement(st, c_.Db(), &h_);
    CheckStatus(st, "allocate");
    try {
        out_ = Sqlda(4);
        isc_dsql_prepare(st, c_.Tr(), &h_, 0, marcado.sql.c_str(), kDialecto, out_.get());
        CheckStatus(st, "prepare " + texto.substr(0, 60));
        if (out_->sqld > out_->sqln) throw std::runtime_error("raw loop: at most 4 columns");
        in_ = Sqlda(static_cast<int>(nombres_.size()));
        isc_dsql_describe_bind(st, &h_, kDialecto, in_.get());
        CheckStatus(st, "describe bind");
        char item = isc_info_sql_stmt_type, info[16] = {};
        isc_dsql_sql_info(st, &h_, 1, &item, sizeof info, info);
        CheckStatus(st, "statement type");
        auto largo = static_cast<short>(isc_vax_integer(info + 1, 2));
        esSelect_ = isc_vax_integer(info + 3, largo) == isc_info_sql_stmt_select;
    } catch (...) {
        isc_dsql_free_statement(st, &h_, DSQL_drop);
        throw;
    }
    resultados_.assign(out_->sqld, 0);
    nulos_.assign(out_->sqld, -1);
    for (int i = 0; i < out_->sqld; ++i) {
        XSQLVAR& v = out_->sqlvar[i];
        v.sqltype = SQL_LONG + 1; // the engine converts the count, the identifier
        v.sqlscale = 0;
        v.sqldata = reinterpret_cast<char*>(&resultados_[i]);
        v.sqlind = &nulos_[i];
    }
    indicadores_.resize(nombres_.size());
}

Sentencia::~Sentencia() {
    ISC_STATUS_ARRAY st;
    if (h_) isc_dsql_free_statement(st, &h_, DSQL_drop);
}

int Sentencia::Posicion(const std::string& nombre) const {
    for (std::size_t i = 0; i < nombres_.size(); ++i)
        if (nombres_[i] == nombre) return static_cast<int>(i);
    throw std::runtime_error("raw loop: no parameter " + nombre);
}

std::optional<int32_t> Sentencia::Columna(std::size_t i) const {
    if (i >= nulos_.size() || nulos_[i] == -1) return std::nullopt;
    return resultados_[i];
}

std::optional<int32_t> Sentencia::Ejecutar(std::vector<ValorCrudo>& valores) {
    for (std::size_t i = 0; i < valores.size(); ++i) {
        XSQLVAR& v = in_->sqlvar[i];
        v.sqltype = static_cast<short>(valores[i].tipo | 1);
        v.sqllen = static_cast<short>(valores[i].bytes.size());
        v.sqlscale = 0;
        v.sqldata = valores[i].bytes.data();
        indicadores_[i] = valores[i].nulo;
        v.sqlind = &indicadores_[i];
    }
    ISC_STATUS_ARRAY st;
    XSQLDA* in = valores.empty() ? nullptr : in_.get();
    nulos_.assign(nulos_.size(), -1);
    if (esSelect_) {
        isc_dsql_execute(st, c_.Tr(), &h_, kDialecto, in);
        CheckStatus(st, "execute");
        ISC_STATUS r = isc_dsql_fetch(st, &h_, kDialecto, out_.get());
        if (r != 100) CheckStatus(st, "fetch");
        isc_dsql_free_statement(st, &h_, DSQL_close);
        CheckStatus(st, "close");
        if (r == 100) return std::nullopt;
    } else {
        isc_dsql_execute2(st, c_.Tr(), &h_, kDialecto, in, out_->sqld ? out_.get() : nullptr);
        CheckStatus(st, "execute");
    }
    return Columna(0);
}

// ---- LeerPaginas ----

Paginas LeerPaginas(isc_db_handle* db) {
    const char pedidos[] = {isc_info_reads, isc_info_writes, isc_info_fetches, isc_info_marks,
                            isc_info_end};
    char respuesta[128] = {};
    ISC_STATUS_ARRAY st;
    isc_database_info(st, db, sizeof pedidos, pedidos, sizeof respuesta, respuesta);
    CheckStatus(st, "database info");
    Paginas p;
    for (const char* r = respuesta; *r != isc_info_end && r < respuesta + sizeof respuesta;) {
        char cual = *r++;
        auto largo = static_cast<short>(isc_vax_integer(r, 2));
        r += 2;
        auto v =
            static_cast<double>(isc_portable_integer(reinterpret_cast<const ISC_UCHAR*>(r), largo));
        r += largo;
        switch (cual) {
        case isc_info_reads:
            p.lecturas = v;
            break;
        case isc_info_writes:
            p.escrituras = v;
            break;
        case isc_info_fetches:
            p.accesos = v;
            break;
        case isc_info_marks:
            p.marcas = v;
            break;
        default:
            return p;
        }
    }
    return p;
}

// ---- IdsPorCodigo ----

std::unordered_map<std::string, int32_t> IdsPorCodigo(Conexion& c, const std::string& tabla) {
    const std::string sql = "select codigo, id" + tabla + " from " + tabla;
    ISC_STATUS_ARRAY st;
    isc_stmt_handle h = 0;
    isc_dsql_allocate_statement(st, c.Db(), &h);
    CheckStatus(st, "allocate");
    std::vector<char> bloque(XSQLDA_LENGTH(2));
    auto* out = reinterpret_cast<XSQLDA*>(bloque.data());
    out->version = SQLDA_VERSION1;
    out->sqln = 2;
    std::unordered_map<std::string, int32_t> m;
    try {
        isc_dsql_prepare(st, c.Tr(), &h, 0, sql.c_str(), kDialecto, out);
        CheckStatus(st, "prepare " + sql);
        char codigo[64 + 2];
        int32_t id = 0;
        short nulos[2] = {0, 0};
        out->sqlvar[0].sqltype = SQL_VARYING + 1;
        out->sqlvar[0].sqllen = 64;
        out->sqlvar[0].sqldata = codigo;
        out->sqlvar[0].sqlind = &nulos[0];
        out->sqlvar[1].sqltype = SQL_LONG + 1;
        out->sqlvar[1].sqlscale = 0;
        out->sqlvar[1].sqldata = reinterpret_cast<char*>(&id);
        out->sqlvar[1].sqlind = &nulos[1];
        isc_dsql_execute(st, c.Tr(), &h, kDialecto, nullptr);
        CheckStatus(st, "execute " + sql);
        ISC_STATUS fin;
        while ((fin = isc_dsql_fetch(st, &h, kDialecto, out)) == 0)
            if (nulos[0] == 0 && nulos[1] == 0) {
                uint16_t largo;
                std::memcpy(&largo, codigo, 2);
                m.emplace(Cp1252ToUtf8(std::string_view(codigo + 2, largo)), id); // first wins
            }
        if (fin != 100) CheckStatus(st, "fetch " + sql);
    } catch (...) {
        isc_dsql_free_statement(st, &h, DSQL_drop);
        throw;
    }
    isc_dsql_free_statement(st, &h, DSQL_drop);
    return m;
}
