#include "IBSQL.h"

#include "Ascii.h"
#include "Error.h"
#include "FbApi.h"
#include "FbError.h"
#include "IBDatabase.h"
#include "IBTransaction.h"
#include "NamedParams.h"
#include "Numeros.h"
#include "TextoVisible.h"
#include "Win1252.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstring>
#include <ctime>

namespace {

constexpr unsigned short kDialect = IBDatabase::kDialect;

short BaseType(const XSQLVAR& v) {
    return static_cast<short>(v.sqltype & ~1);
}

std::size_t StorageSize(const XSQLVAR& v) {
    return BaseType(v) == SQL_VARYING ? static_cast<std::size_t>(v.sqllen) + 2
                                      : static_cast<std::size_t>(v.sqllen);
}

ISC_TIMESTAMP Encode(const Timestamp& t) {
    std::tm tm{};
    tm.tm_year = t.year - 1900;
    tm.tm_mon = t.month - 1;
    tm.tm_mday = t.day;
    tm.tm_hour = t.hour;
    tm.tm_min = t.minute;
    tm.tm_sec = t.second;
    ISC_TIMESTAMP ts;
    isc_encode_timestamp(&tm, &ts);
    return ts;
}

Timestamp Decode(const ISC_TIMESTAMP& ts) {
    std::tm tm{};
    isc_decode_timestamp(const_cast<ISC_TIMESTAMP*>(&ts), &tm);
    return Timestamp{tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday,
                     tm.tm_hour,        tm.tm_min,     tm.tm_sec};
}

bool Exists(const Timestamp& t) {
    static constexpr int kDias[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (t.year < 1 || t.year > 9999 || t.month < 1 || t.month > 12) return false;
    bool bisiesto = (t.year % 4 == 0 && t.year % 100 != 0) || t.year % 400 == 0;
    int dias = kDias[t.month - 1] + (t.month == 2 && bisiesto ? 1 : 0);
    return t.day >= 1 && t.day <= dias && t.hour >= 0 && t.hour < 24 && t.minute >= 0 &&
           t.minute < 60 && t.second >= 0 && t.second < 60;
}

double ScaledToDouble(int64_t v, short scale) {
    return static_cast<double>(v) * std::pow(10.0, scale);
}

int StatementType(isc_stmt_handle* h, const std::string& where) {
    char item = isc_info_sql_stmt_type;
    char buffer[16] = {};
    ISC_STATUS_ARRAY st;
    AntesDeLlamarAFirebird();
    isc_dsql_sql_info(st, h, 1, &item, sizeof buffer, buffer);
    CheckStatus(st, "consultar el tipo de la sentencia " + where);
    if (buffer[0] != isc_info_sql_stmt_type) return 0;
    auto len = static_cast<short>(isc_vax_integer(buffer + 1, 2));
    return static_cast<int>(isc_vax_integer(buffer + 3, len));
}

} // namespace

// ---- Sqlda ----

void Sqlda::Resize(int n) {
    int slots = n < 1 ? 1 : n;
    auto bytes = XSQLDA_LENGTH(slots);
    block_.assign((bytes + sizeof(std::max_align_t) - 1) / sizeof(std::max_align_t), {});
    Get()->version = SQLDA_VERSION1;
    Get()->sqln = static_cast<ISC_SHORT>(slots);
    Get()->sqld = 0;
    buffers_.clear();
    indicators_.clear();
}

int Sqlda::Count() const {
    return block_.empty() ? 0 : reinterpret_cast<const XSQLDA*>(block_.data())->sqld;
}

void Sqlda::AllocateZeroed() {
    int n = Count();
    buffers_.assign(n, {});
    indicators_.assign(n, 0);
    for (int i = 0; i < n; ++i) {
        XSQLVAR& v = Var(i);
        buffers_[i].assign(StorageSize(v) + 1, 0);
        v.sqldata = buffers_[i].data();
        v.sqltype = static_cast<ISC_SHORT>(v.sqltype | 1);
        v.sqlind = &indicators_[i];
    }
}

// ---- Preparation ----

// One prepared text: the server's handle, the descriptors, the named parameters and columns.
struct Preparation {
    std::string text;
    isc_stmt_handle handle = 0;
    int statementType = 0;
    Sqlda in, out;
    std::vector<XSQLVAR> described; // the parameters as the server described them
    std::vector<Declared> declaredIn;
    std::vector<std::unique_ptr<IBParam>> params;
    std::vector<std::unique_ptr<IBField>> fields;

    bool IsSelect() const {
        return statementType == isc_info_sql_stmt_select ||
               statementType == isc_info_sql_stmt_select_for_upd;
    }
    // Every parameter and column back to its zero value, as just after preparing: a bound value
    // may have changed a parameter's type and length.
    void Reset() {
        for (int i = 0; i < in.Count(); ++i)
            in.Var(i) = described[i];
        in.AllocateZeroed();
        out.AllocateZeroed();
    }
    void ZeroColumns() {
        for (int i = 0; i < out.Count(); ++i) {
            auto& b = out.Buffer(i);
            std::fill(b.begin(), b.end(), 0);
            out.Indicator(i) = 0;
        }
    }
};

namespace {

void Drop(isc_stmt_handle& h) {
    ISC_STATUS_ARRAY st;
    AntesDeLlamarAFirebird();
    isc_dsql_free_statement(st, &h, DSQL_drop);
    h = 0;
}

} // namespace

// ---- IBSQL ----

IBSQL::IBSQL(IBDatabase& db, IBTransaction& tr) : db_(db), tr_(tr) {}

IBSQL::~IBSQL() {
    DropAll();
}

std::string IBSQL::Where() const {
    std::string t = text_.size() > 200 ? text_.substr(0, 200) + "..." : text_;
    return "«" + t + "»";
}

bool IBSQL::HandlesValid() const {
    return dbGeneration_ == db_.Generation() && db_.Connected();
}

bool IBSQL::Prepared() const {
    return actual_ != nullptr && HandlesValid();
}

bool IBSQL::Open() const {
    return cursorOpen_ && Prepared() && trGeneration_ == tr_.Generation();
}

void IBSQL::DropAll() {
    // Handles of an earlier connection died with it; freeing them again would be an error.
    if (HandlesValid())
        for (auto& p : guardadas_)
            Drop(p->handle);
    guardadas_.clear();
    actual_ = nullptr;
    cursorOpen_ = false;
    eof_ = true;
}

void IBSQL::SetText(const std::vector<std::string>& lines) {
    std::string t;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (i) t += '\n';
        t += lines[i];
    }
    Close();
    actual_ = nullptr;
    text_ = std::move(t);
}

void IBSQL::Close() {
    // A cursor whose transaction has ended was closed with it.
    bool abierto = Open();
    cursorOpen_ = false;
    eof_ = true;
    if (!abierto) return;
    ISC_STATUS_ARRAY st;
    AntesDeLlamarAFirebird();
    isc_dsql_free_statement(st, &actual_->handle, DSQL_close);
    if (Fallo(st)) CheckStatus(st, "cerrar el cursor de " + Where());
}

void IBSQL::Prepare() {
    if (Prepared()) return;
    actual_ = nullptr;
    if (text_.empty()) throw Error("La sentencia no tiene texto");
    if (!db_.Connected())
        throw Error("No hay conexión con la base de datos para preparar " + Where());
    if (!tr_.InTransaction()) throw Error("La transacción no está activa para preparar " + Where());
    if (dbGeneration_ != db_.Generation()) {
        guardadas_.clear(); // made on an earlier connection: their handles died with it
        dbGeneration_ = db_.Generation();
    }
    auto guardada = std::find_if(guardadas_.begin(), guardadas_.end(),
                                 [&](const auto& p) { return p->text == text_; });
    if (guardada != guardadas_.end()) {
        std::rotate(guardada, guardada + 1, guardadas_.end()); // the most recent goes last
        actual_ = guardadas_.back().get();
        actual_->Reset();
        return;
    }
    std::unique_ptr<Preparation> nueva = PrepareNew();
    ++prepares_;
    if (guardadas_.size() >= kPreparacionesGuardadas) {
        Drop(guardadas_.front()->handle);
        guardadas_.erase(guardadas_.begin());
    }
    guardadas_.push_back(std::move(nueva));
    actual_ = guardadas_.back().get();
}

std::unique_ptr<Preparation> IBSQL::PrepareNew() {
    MarkedSql marked = ReplaceNamedParams(text_);
    auto p = std::make_unique<Preparation>();
    p->text = text_;

    ISC_STATUS_ARRAY st;
    AntesDeLlamarAFirebird();
    isc_dsql_allocate_statement(st, db_.Handle(), &p->handle);
    CheckStatus(st, "preparar " + Where());
    try {
        p->out.Resize(1);
        isc_dsql_prepare(st, tr_.Handle(), &p->handle, 0, marked.sql.c_str(), kDialect,
                         p->out.Get());
        CheckStatus(st, "preparar " + Where());
        if (p->out.Get()->sqld > p->out.Get()->sqln) {
            p->out.Resize(p->out.Get()->sqld);
            isc_dsql_describe(st, &p->handle, kDialect, p->out.Get());
            CheckStatus(st, "describir " + Where());
        }
        p->in.Resize(static_cast<int>(marked.names.size()));
        isc_dsql_describe_bind(st, &p->handle, kDialect, p->in.Get());
        CheckStatus(st, "describir los parámetros de " + Where());
        if (p->in.Get()->sqld > p->in.Get()->sqln) {
            p->in.Resize(p->in.Get()->sqld);
            isc_dsql_describe_bind(st, &p->handle, kDialect, p->in.Get());
            CheckStatus(st, "describir los parámetros de " + Where());
        }
        if (p->in.Count() != static_cast<int>(marked.names.size()))
            throw Error("Los parámetros de " + Where() + " no se han podido identificar");
        p->statementType = StatementType(&p->handle, Where());
    } catch (...) {
        Drop(p->handle);
        throw;
    }

    for (int i = 0; i < p->in.Count(); ++i) {
        const XSQLVAR& v = p->in.Var(i);
        p->described.push_back(v);
        p->declaredIn.push_back({BaseType(v), v.sqllen, v.sqlscale});
    }
    p->Reset();

    for (int i = 0; i < static_cast<int>(marked.names.size()); ++i) {
        IBParam* param = nullptr;
        for (auto& q : p->params)
            if (q->name_ == marked.names[i]) param = q.get();
        if (!param) {
            p->params.push_back(std::unique_ptr<IBParam>(new IBParam(*this, *p, marked.names[i])));
            param = p->params.back().get();
        }
        param->places_.push_back(i);
    }
    for (int i = 0; i < p->out.Count(); ++i) {
        const XSQLVAR& v = p->out.Var(i);
        std::string name = v.aliasname_length > 0 ? std::string(v.aliasname, v.aliasname_length)
                                                  : std::string(v.sqlname, v.sqlname_length);
        p->fields.push_back(std::unique_ptr<IBField>(new IBField(*p, ascii::Upper(name), i)));
    }
    return p;
}

void IBSQL::ExecQuery() {
    Prepare();
    if (!tr_.InTransaction()) throw Error("La transacción no está activa para ejecutar " + Where());
    Close();
    Preparation& p = *actual_;
    ISC_STATUS_ARRAY st;
    XSQLDA* in = p.in.Count() > 0 ? p.in.Get() : nullptr;
    AntesDeLlamarAFirebird();
    if (p.IsSelect()) {
        db_.Api().execute(st, tr_.Handle(), &p.handle, kDialect, in, nullptr);
        if (Fallo(st)) CheckStatus(st, "ejecutar " + Where());
        cursorOpen_ = true;
        trGeneration_ = tr_.Generation();
        eof_ = false;
        Next();
    } else if (p.out.Count() > 0) {
        db_.Api().execute(st, tr_.Handle(), &p.handle, kDialect, in, p.out.Get());
        if (Fallo(st)) CheckStatus(st, "ejecutar " + Where());
        eof_ = false;
    } else {
        db_.Api().execute(st, tr_.Handle(), &p.handle, kDialect, in, nullptr);
        if (Fallo(st)) CheckStatus(st, "ejecutar " + Where());
    }
}

bool IBSQL::Next() {
    if (!Open() || eof_) return false;
    ISC_STATUS_ARRAY st;
    AntesDeLlamarAFirebird();
    ISC_STATUS r = db_.Api().fetch(st, &actual_->handle, kDialect, actual_->out.Get());
    if (r == 100) {
        eof_ = true;
        actual_->ZeroColumns();
        return false;
    }
    if (Fallo(st)) CheckStatus(st, "leer una fila de " + Where());
    return true;
}

void IBSQL::CheckStillPrepared(const std::string& param) const {
    if (!HandlesValid())
        throw Error("Parámetro " + param + ": la sentencia " + Where() +
                    " ya no está preparada (la conexión se cerró)");
    if (!actual_)
        throw Error("Parámetro " + param + ": la sentencia " + Where() +
                    " ya no está preparada (se le ha dado un texto después)");
}

int IBSQL::ParamCount() {
    Prepare();
    return static_cast<int>(actual_->params.size());
}

int IBSQL::FieldCount() {
    Prepare();
    return static_cast<int>(actual_->fields.size());
}

int IBSQL::ParamIndex(std::string_view name) {
    Prepare();
    for (std::size_t i = 0; i < actual_->params.size(); ++i)
        if (ascii::EqualNoCase(actual_->params[i]->name_, name)) return static_cast<int>(i);
    return -1;
}

IBParam& IBSQL::Param(int index) {
    // A record binds some thirty values: the common case, already prepared, costs two tests.
    if (!Prepared()) Prepare();
    if (index < 0 || index >= static_cast<int>(actual_->params.size()))
        throw Error("El parámetro " + std::to_string(index) + " no existe en la sentencia " +
                    Where());
    return *actual_->params[index];
}

IBParam& IBSQL::ParamByName(std::string_view name) {
    int i = ParamIndex(name);
    if (i < 0)
        throw Error("El parámetro '" + std::string(name) + "' no existe en la sentencia " +
                    Where());
    return *actual_->params[i];
}

IBField& IBSQL::FieldByName(std::string_view name) {
    Prepare();
    for (auto& f : actual_->fields)
        if (ascii::EqualNoCase(f->name_, name)) return *f;
    throw Error("La columna '" + std::string(name) + "' no existe en el resultado de " + Where());
}

IBField& IBSQL::Field(int index) {
    Prepare();
    if (index < 0 || index >= static_cast<int>(actual_->fields.size()))
        throw Error("La columna " + std::to_string(index) + " no existe en el resultado de " +
                    Where());
    return *actual_->fields[index];
}

// ---- IBParam ----

void IBParam::CheckCurrent() const {
    // Asked at every value: the answer is almost always yes, and only a no builds a message.
    if (owner_->actual_ == prep_ && owner_->HandlesValid()) return;
    owner_->CheckStillPrepared(name_);
    throw Error("Parámetro " + name_ + ": es de un texto anterior de la sentencia, que ahora es " +
                owner_->Where());
}

void IBParam::Set(short type, short scale, const void* data, std::size_t len) {
    CheckCurrent();
    Put(type, scale, data, len);
}

void IBParam::Put(short type, short scale, const void* data, std::size_t len) {
    for (int i : places_) {
        XSQLVAR& v = prep_->in.Var(i);
        auto& buffer = prep_->in.Buffer(i);
        buffer.resize(len + 1);
        if (len) std::memcpy(buffer.data(), data, len);
        buffer[len] = 0;
        v.sqldata = buffer.data();
        v.sqltype = static_cast<ISC_SHORT>(type | 1);
        v.sqllen = static_cast<ISC_SHORT>(len);
        v.sqlscale = scale;
        prep_->in.Indicator(i) = 0;
    }
}

void IBParam::SetAsString(std::string_view utf8) {
    CheckCurrent();
    // Plain ASCII is the same bytes in Windows-1252: most values need no conversion.
    if (ascii::SoloAscii(utf8)) return PutText(utf8, utf8);
    PutText(Utf8ToCp1252(utf8, "Parámetro ", name_), utf8);
}

void IBParam::SetAsCp1252(std::string_view bytes) {
    CheckCurrent();
    PutText(bytes, std::nullopt);
}

void IBParam::PutText(std::string_view bytes, std::optional<std::string_view> utf8) {
    auto visible = [&] { return TextoVisible(utf8 ? std::string(*utf8) : Cp1252ToUtf8(bytes)); };
    for (int i : places_) {
        const Declared& d = prep_->declaredIn[i];
        if ((d.type == SQL_TEXT || d.type == SQL_VARYING) &&
            bytes.size() > static_cast<std::size_t>(d.length))
            throw ValorNoAdmitido("Parámetro " + name_ + ": el texto «" + visible() + "» tiene " +
                                  std::to_string(bytes.size()) +
                                  " caracteres y su columna admite " + std::to_string(d.length));
    }
    if (bytes.size() > 32767)
        throw ValorNoAdmitido("Parámetro " + name_ + ": el texto tiene " +
                              std::to_string(bytes.size()) +
                              " caracteres, más de los 32767 que admite la base de datos");
    Put(SQL_TEXT, 0, bytes.data(), bytes.size());
}

void IBParam::SetAsInteger(int32_t v) {
    Set(SQL_LONG, 0, &v, sizeof v);
}

void IBParam::SetAsSingle(double v) {
    // An infinity or a NaN would be stored as such and read back as garbage by the product.
    if (!std::isfinite(v))
        throw ValorNoAdmitido("Parámetro " + name_ + ": el valor " + std::to_string(v) +
                              " no es un número finito");
    if (std::fabs(v) > FLT_MAX)
        throw ValorNoAdmitido("Parámetro " + name_ + ": el valor " + std::to_string(v) +
                              " no cabe en un número de precisión simple");
    float f = static_cast<float>(v);
    Set(SQL_FLOAT, 0, &f, sizeof f);
}

void IBParam::SetAsDouble(double v) {
    if (!std::isfinite(v))
        throw ValorNoAdmitido("Parámetro " + name_ + ": el valor " + std::to_string(v) +
                              " no es un número finito");
    Set(SQL_DOUBLE, 0, &v, sizeof v);
}

void IBParam::SetAsTimestamp(const Timestamp& t) {
    // The library would turn 30 February into 2 March without a word.
    if (!Exists(t))
        throw ValorNoAdmitido("Parámetro " + name_ + ": la fecha " + t.ToString() +
                              " no existe o no cabe en la base de datos");
    ISC_TIMESTAMP ts = Encode(t);
    Set(SQL_TIMESTAMP, 0, &ts, sizeof ts);
}

void IBParam::SetAsVariant(const Variant& v) {
    struct Visitor {
        IBParam& p;
        void operator()(std::monostate) { p.SetNull(); }
        void operator()(int32_t i) { p.SetAsInteger(i); }
        void operator()(int64_t i) { p.Set(SQL_INT64, 0, &i, sizeof i); }
        void operator()(double d) { p.SetAsDouble(d); }
        void operator()(const std::string& s) { p.SetAsString(s); }
        void operator()(const Timestamp& t) { p.SetAsTimestamp(t); }
    };
    std::visit(Visitor{*this}, v);
}

void IBParam::SetNull() {
    CheckCurrent();
    for (int i : places_)
        prep_->in.Indicator(i) = -1;
}

// ---- IBField ----

bool IBField::IsNull() const {
    return prep_->out.Indicator(index_) == -1;
}

Variant IBField::AsVariant() const {
    if (IsNull()) return std::monostate{};
    const XSQLVAR& v = prep_->out.Var(index_);
    const char* d = v.sqldata;
    switch (BaseType(v)) {
    case SQL_SHORT: {
        int16_t x;
        std::memcpy(&x, d, 2);
        if (v.sqlscale < 0) return ScaledToDouble(x, v.sqlscale);
        return static_cast<int32_t>(x);
    }
    case SQL_LONG: {
        int32_t x;
        std::memcpy(&x, d, 4);
        if (v.sqlscale < 0) return ScaledToDouble(x, v.sqlscale);
        return x;
    }
    case SQL_INT64: {
        int64_t x;
        std::memcpy(&x, d, 8);
        if (v.sqlscale < 0) return ScaledToDouble(x, v.sqlscale);
        return x;
    }
    case SQL_FLOAT: {
        float x;
        std::memcpy(&x, d, 4);
        return static_cast<double>(x);
    }
    case SQL_DOUBLE:
    case SQL_D_FLOAT: {
        double x;
        std::memcpy(&x, d, 8);
        return x;
    }
    case SQL_TEXT:
        return Cp1252ToUtf8(std::string_view(d, v.sqllen));
    case SQL_VARYING: {
        uint16_t n;
        std::memcpy(&n, d, 2);
        return Cp1252ToUtf8(std::string_view(d + 2, n));
    }
    case SQL_TIMESTAMP: {
        ISC_TIMESTAMP ts;
        std::memcpy(&ts, d, sizeof ts);
        return Decode(ts);
    }
    case SQL_TYPE_DATE: {
        ISC_TIMESTAMP ts{};
        std::memcpy(&ts.timestamp_date, d, 4);
        return Decode(ts);
    }
    case SQL_BOOLEAN:
        return static_cast<int32_t>(d[0] != 0);
    default:
        throw Error("La columna " + name_ + " es de un tipo que el programa no lee");
    }
}

int32_t IBField::AsInteger() const {
    Variant v = AsVariant();
    if (auto p = std::get_if<int32_t>(&v)) return *p;
    if (auto p = std::get_if<int64_t>(&v)) {
        if (*p < INT32_MIN || *p > INT32_MAX)
            throw Error("La columna " + name_ + " tiene el valor " + std::to_string(*p) +
                        ", que no cabe en un entero de 32 bits");
        return static_cast<int32_t>(*p);
    }
    if (auto p = std::get_if<double>(&v)) return static_cast<int32_t>(std::trunc(*p));
    if (auto p = std::get_if<std::string>(&v)) {
        try {
            return std::stoi(*p);
        } catch (const std::exception&) {
            throw Error("La columna " + name_ + " tiene el texto «" + TextoVisible(*p) +
                        "», que no es un número");
        }
    }
    if (std::holds_alternative<std::monostate>(v)) return 0;
    throw Error("La columna " + name_ + " no se puede leer como número");
}

double IBField::AsDouble() const {
    Variant v = AsVariant();
    if (auto p = std::get_if<double>(&v)) return *p;
    if (auto p = std::get_if<int32_t>(&v)) return *p;
    if (auto p = std::get_if<int64_t>(&v)) return static_cast<double>(*p);
    if (std::holds_alternative<std::monostate>(v)) return 0;
    throw Error("La columna " + name_ + " no se puede leer como número");
}

std::string IBField::AsString() const {
    Variant v = AsVariant();
    struct Visitor {
        std::string operator()(std::monostate) { return {}; }
        std::string operator()(int32_t i) { return std::to_string(i); }
        std::string operator()(int64_t i) { return std::to_string(i); }
        std::string operator()(double d) { return numeros::Escribir(d, 17); }
        std::string operator()(const std::string& s) { return s; }
        std::string operator()(const Timestamp& t) { return t.ToString(); }
    };
    return std::visit(Visitor{}, v);
}
