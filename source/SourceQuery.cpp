#include "SourceQuery.h"

#include "Ascii.h"
#include "Numeros.h"
#include "Printable.h"

#include <cmath>
#include <cstdio>

using namespace std::string_view_literals;

namespace {

const char* KindName(FieldKind k) {
    switch (k) {
    case FieldKind::Text:
        return "String";
    case FieldKind::Float:
        return "Float";
    case FieldKind::Int16:
        return "SmallInt";
    case FieldKind::Boolean:
        return "Boolean";
    case FieldKind::Date:
        return "Date";
    }
    return "?";
}

// The kind a dBase column delivers, by the same names as the layout's kinds.
const char* ColumnKindName(char type) {
    switch (type) {
    case 'C':
        return "String";
    case 'N':
    case 'F':
        return "Float";
    case 'L':
        return "Boolean";
    case 'D':
        return "Date";
    case 'M':
        return "Memo";
    case 'B': // Visual FoxPro's double; the binary memo of dBase 7 is never read
        return "Double";
    case 'G':
        return "Blob";
    case 'I':
        return "Integer";
    case 'Y':
        return "Currency";
    case 'T':
    case '@':
        return "DateTime";
    default:
        return "Unknown";
    }
}

bool Accepts(FieldKind k, char type) {
    switch (k) {
    case FieldKind::Text:
        return type == 'C';
    case FieldKind::Float:
    case FieldKind::Int16:
        return type == 'N' || type == 'F';
    case FieldKind::Boolean:
        return type == 'L';
    case FieldKind::Date:
        return type == 'D';
    }
    return false;
}

// A date as the old engine showed it as text: day/month/year; empty when blank.
std::string TextoFecha(const std::optional<Date>& d) {
    if (!d) return {};
    char b[16];
    std::snprintf(b, sizeof b, "%02d/%02d/%04d", d->day, d->month, d->year);
    return b;
}

std::string FormatNumber(double v) {
    return numeros::Escribir(v, 15);
}

} // namespace

SourceQuery::SourceQuery(Session& session, std::string name, int tag,
                         std::vector<std::string> lines, const std::vector<FieldDecl>& layout)
    : session_(session), name_(std::move(name)), tag_(tag), layout_(layout) {
    for (std::size_t i = 0; i < lines.size(); ++i)
        text_ += (i ? "\n" : "") + lines[i];
    // The first of two declared fields with one name is the one found, as a scan would.
    for (std::size_t i = 0; i < layout_.size(); ++i)
        byName_.emplace(ascii::Upper(layout_[i].name), static_cast<int>(i));
}

void SourceQuery::Fail(const std::string& what) const {
    throw DbfError(name_ + ": " + what);
}

void SourceQuery::Parse() {
    if (sql_) return;
    sql_ = ParseLocalSql(text_);
    if (sql_->where) params_.emplace_back(sql_->where->param, "");
}

void SourceQuery::SetParam(std::string_view name, const std::string& value) {
    Parse();
    for (auto& [n, v] : params_)
        if (ascii::EqualNoCase(n, name)) {
            v = value;
            return;
        }
    Fail("la consulta no tiene el parámetro '" + printable::Utf8(name) + "'");
}

void SourceQuery::BindColumns() {
    const DbfTable& t = table_->Table();
    auto columnOf = [&](const std::string& n) {
        int c = t.FieldIndex(n);
        if (c < 0) Fail("Campo '" + printable::Utf8(n) + "' no encontrado");
        return c;
    };
    std::vector<int> selected;
    for (const std::string& c : sql_->columns)
        selected.push_back(columnOf(c));
    columns_.clear();
    for (const FieldDecl& d : layout_) {
        int c = t.FieldIndex(d.name);
        bool isSelected = sql_->columns.empty();
        for (int s : selected)
            isSelected = isSelected || s == c;
        if (c < 0 || !isSelected) Fail("Campo '" + printable::Utf8(d.name) + "' no encontrado");
        char type = t.Fields()[c].type;
        if (!Accepts(d.kind, type))
            Fail("Tipo no concuerda para el campo '" + printable::Utf8(d.name) +
                 "'. Se espera: " + KindName(d.kind) + ". Actual: " + ColumnKindName(type));
        columns_.push_back(c);
    }
}

void SourceQuery::Open() {
    if (active_) return;
    Parse();
    if (BeforeOpen) BeforeOpen(*this);
    table_ = session_.OpenTable(databaseName_, sql_->table);
    try {
        // A side query opened at every record finds the same table object each time (the
        // session trusts it for a while): its columns are bound already.
        if (enlazada_.lock() != table_) {
            BindColumns();
            enlazada_ = table_;
        }
        filtered_ = false;
        matches_.clear();
        if (sql_->where) {
            int c = table_->Table().FieldIndex(sql_->where->column);
            if (c < 0) Fail("Campo '" + printable::Utf8(sql_->where->column) + "' no encontrado");
            if (table_->Table().Fields()[c].type != 'C')
                Fail("el campo '" + printable::Utf8(sql_->where->column) +
                     "' de WHERE no es de texto");
            // The parameter is compared in the table's own bytes; a text the table's page
            // cannot write matches nothing.
            auto key = table_->Table().Page().Encode(params_.front().second);
            filtered_ = true;
            if (key)
                table_->Matching(c, *key, matches_);
            else
                matches_.clear();
            count_ = matches_.size();
        } else {
            count_ = table_->LiveCount();
        }
    } catch (const DbfError& e) {
        table_.reset();
        enlazada_.reset();
        // An error of the table itself names it already; one read under the query says which.
        if (std::string_view(e.what()).starts_with(name_ + ": ")) throw;
        Fail(e.what());
    } catch (...) {
        table_.reset();
        enlazada_.reset();
        throw;
    }
    active_ = true;
    pos_ = 0;
    if (AfterOpen) AfterOpen(*this);
    if (OnStateChange) OnStateChange();
}

void SourceQuery::Close() {
    if (!active_) return;
    active_ = false;
    table_.reset();
    filtered_ = false;
    matches_.clear();
    // A few records' room is kept for the next opening; a large result's memory goes.
    if (matches_.capacity() > 1024) matches_.shrink_to_fit();
    count_ = pos_ = 0;
    if (OnStateChange) OnStateChange();
}

void SourceQuery::First() {
    if (!active_) Fail("la consulta no está abierta");
    if (pos_ == 0) return;
    WatchTable(true);
    // Forward-only: going back to the start walks the rows again from the first.
    pos_ = 0;
}

void SourceQuery::Next() {
    if (!active_) Fail("la consulta no está abierta");
    if (pos_ >= count_) return;
    WatchTable(false);
    ++pos_;
}

// The records are read with pread into memory of our own, so a changed file cannot crash the
// walk (a read that comes up short is an error at once); but the operator must hear that what
// was copied is not what the folder now holds. The look costs a few system calls, so it is
// spaced out by records and, for slow walks, by time: the clock is read every 64 records and
// when the walk reaches its end.
void SourceQuery::WatchTable(bool now) {
    using namespace std::chrono_literals;
    ++sinceCheck_;
    bool due = now || sinceCheck_ >= kRecordsBetweenChecks;
    if (!due && (sinceCheck_ % 64 == 0 || pos_ + 1 >= count_))
        due = std::chrono::steady_clock::now() - checkedAt_ >= 500ms;
    if (!due) return;
    sinceCheck_ = 0;
    checkedAt_ = std::chrono::steady_clock::now();
    try {
        table_->Table().CheckUnchanged();
    } catch (const DbfError& e) {
        Fail(e.what());
    }
}

int SourceQuery::FieldNo(std::string_view name) const {
    char upper[32];
    if (name.size() < sizeof upper) {
        // Field names are short: upper-cased on the stack, found by hash.
        for (std::size_t i = 0; i < name.size(); ++i)
            upper[i] = ascii::Upper(name[i]);
        if (auto it = byName_.find(std::string_view(upper, name.size())); it != byName_.end())
            return it->second;
    }
    Fail("el campo '" + printable::Utf8(name) + "' no existe en la consulta");
}

SourceField SourceQuery::Field(int declared) const {
    if (declared < 0 || declared >= static_cast<int>(layout_.size()))
        Fail("el campo número " + std::to_string(declared + 1) + " no existe en la consulta");
    return SourceField(*this, declared);
}

std::string SourceQuery::DisplayText(std::size_t row, int field) const {
    if (!active_ || row >= DeliveredCount() || field < 0 ||
        field >= static_cast<int>(columns_.size()))
        return {};
    const DbfTable& t = table_->Table();
    int c = columns_[field];
    try {
        uint32_t r = Record(row);
        switch (t.Fields()[c].type) {
        case 'C':
            return t.Text(r, c);
        case 'L':
            return t.Logical(r, c) ? "True" : "False";
        case 'D':
            return TextoFecha(t.DateValue(r, c));
        default: {
            // A number as the table writes it ("12.50"), once it is known to be one.
            (void)t.Number(r, c);
            std::string_view k = t.Key(r, c);
            std::size_t first = k.find_first_not_of(" \0"sv);
            return first == std::string_view::npos ? std::string() : std::string(k.substr(first));
        }
        }
    } catch (const Error&) {
        return "#error";
    }
}

// ---- SourceField ----

bool SourceField::IsNull() const {
    if (q_.Eof()) return true;
    const DbfTable& t = q_.table_->Table();
    try {
        return t.Key(q_.CurrentRecord(), q_.columns_[declared_]).empty();
    } catch (const DbfError& e) {
        q_.Fail(e.what());
    }
}

std::string SourceField::AsString() const {
    if (q_.Eof()) return {};
    const DbfTable& t = q_.table_->Table();
    uint32_t r = q_.CurrentRecord();
    int c = q_.columns_[declared_];
    try {
        switch (q_.layout_[declared_].kind) {
        case FieldKind::Text:
            return t.Text(r, c);
        case FieldKind::Float:
        case FieldKind::Int16:
            return IsNull() ? std::string() : FormatNumber(t.Number(r, c));
        case FieldKind::Boolean:
            return IsNull() ? std::string() : t.Logical(r, c) ? "True" : "False";
        case FieldKind::Date:
            return TextoFecha(t.DateValue(r, c));
        }
    } catch (const DbfError& e) {
        q_.Fail(e.what());
    }
    return {};
}

std::optional<RawText> SourceField::AsRawText() const {
    if (q_.Eof() || q_.layout_[declared_].kind != FieldKind::Text) return std::nullopt;
    const DbfTable& t = q_.table_->Table();
    try {
        return RawText{t.Key(q_.CurrentRecord(), q_.columns_[declared_]), &t.Page()};
    } catch (const DbfError& e) {
        q_.Fail(e.what());
    }
}

double SourceField::AsFloat() const {
    if (q_.Eof()) return 0;
    const DbfTable& t = q_.table_->Table();
    uint32_t r = q_.CurrentRecord();
    int c = q_.columns_[declared_];
    try {
        if (q_.layout_[declared_].kind == FieldKind::Text) {
            // A text read as a number must hold one, as the old engine's conversion demanded:
            // a decimal one, finite, not "inf", "nan" or hexadecimal.
            std::string s = t.Text(r, c);
            if (s.empty()) return 0;
            std::optional<double> v = numeros::Leer(s);
            if (!v || !std::isfinite(*v))
                throw DbfError(t.Place(r, c) + ": «" + printable::Utf8(s) + "» no es un número");
            return *v;
        }
        if (q_.layout_[declared_].kind == FieldKind::Boolean) return t.Logical(r, c) ? 1 : 0;
        if (q_.layout_[declared_].kind == FieldKind::Date)
            throw DbfError(t.Place(r, c) + ": una fecha no se lee como número");
        return t.Number(r, c);
    } catch (const DbfError& e) {
        q_.Fail(e.what());
    }
}

int32_t SourceField::AsInteger() const {
    double v = AsFloat();
    double rounded = std::nearbyint(v);
    if (rounded < -2147483648.0 || rounded > 2147483647.0) {
        const DbfTable& t = q_.table_->Table();
        q_.Fail(t.Place(q_.CurrentRecord(), q_.columns_[declared_]) + ": " + FormatNumber(v) +
                " no cabe en un entero de 32 bits");
    }
    return static_cast<int32_t>(rounded);
}

bool SourceField::AsBoolean() const {
    if (q_.Eof()) return false;
    const DbfTable& t = q_.table_->Table();
    try {
        if (q_.layout_[declared_].kind != FieldKind::Boolean) return AsFloat() != 0;
        return t.Logical(q_.CurrentRecord(), q_.columns_[declared_]);
    } catch (const DbfError& e) {
        q_.Fail(e.what());
    }
}

std::optional<Date> SourceField::AsDate() const {
    if (q_.Eof()) return std::nullopt;
    const DbfTable& t = q_.table_->Table();
    if (q_.layout_[declared_].kind != FieldKind::Date)
        q_.Fail(t.Place(q_.CurrentRecord(), q_.columns_[declared_]) + ": no es un campo de fecha");
    try {
        return t.DateValue(q_.CurrentRecord(), q_.columns_[declared_]);
    } catch (const DbfError& e) {
        q_.Fail(e.what());
    }
}
