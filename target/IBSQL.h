#pragma once
// A reusable SQL statement with named parameters (IBSQLSelect, IBSQLInsert, IBSQLUpdate).
//
// Preparation happens on the first bind or execute and gives every parameter and result column
// its zero value (all bytes zero, not null). A bound value stays until it is bound again or the
// text is set again. Each bound value carries its own type; the server converts it.
//
// An object keeps the preparations of the last few texts it has held on its connection, so that
// setting a text it held before reuses that preparation instead of asking the server again; the
// statement then starts exactly as if freshly prepared.
#include "Valores.h"

#include <ibase.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class IBDatabase;
class IBTransaction;
class IBSQL;
struct Preparation;

// Storage of one XSQLDA: the descriptor block and a buffer per variable.
class Sqlda {
public:
    void Resize(int n);
    XSQLDA* Get() { return reinterpret_cast<XSQLDA*>(block_.data()); }
    int Count() const;
    XSQLVAR& Var(int i) { return Get()->sqlvar[i]; }
    // Gives every variable a zeroed buffer of its described type, flagged not null.
    void AllocateZeroed();
    std::vector<char>& Buffer(int i) { return buffers_[i]; }
    short& Indicator(int i) { return indicators_[i]; }

private:
    std::vector<std::max_align_t> block_;
    std::vector<std::vector<char>> buffers_;
    std::vector<short> indicators_;
};

// The kind of a described parameter or column, as the server declared it.
struct Declared {
    short type = 0; // base type, without the nullable bit
    short length = 0;
    short scale = 0;
};

// A named parameter; one name may stand at several places of the text. A value it cannot take
// (a text longer than its column or with a character Windows-1252 lacks, a number that is not
// finite or does not fit, an impossible date) throws ValorNoAdmitido naming the parameter.
class IBParam {
public:
    const std::string& Name() const { return name_; }
    void SetAsString(std::string_view utf8);
    // Text already in the target's Windows-1252, sent as it is: no conversion through UTF-8.
    void SetAsCp1252(std::string_view bytes);
    void SetAsInteger(int32_t v);
    void SetAsSingle(double v); // narrowed to single precision
    void SetAsDouble(double v);
    void SetAsTimestamp(const Timestamp& t);
    void SetAsVariant(const Variant& v); // NULL variant binds NULL
    void SetNull();

private:
    friend class IBSQL;
    IBParam(IBSQL& owner, Preparation& prep, std::string name)
        : owner_(&owner), prep_(&prep), name_(std::move(name)) {}
    void Set(short type, short scale, const void* data, std::size_t len);
    void Put(short type, short scale, const void* data, std::size_t len); // Set, once checked
    // Windows-1252 bytes, after their length is checked against each column; `utf8` is the
    // same text for messages, when the caller has it.
    void PutText(std::string_view bytes, std::optional<std::string_view> utf8);
    void CheckCurrent() const;
    IBSQL* owner_;
    Preparation* prep_;
    std::string name_;
    std::vector<int> places_;
};

// A result column of the current row.
class IBField {
public:
    const std::string& Name() const { return name_; }
    bool IsNull() const;
    int32_t AsInteger() const; // NULL reads 0
    double AsDouble() const;   // NULL reads 0
    std::string AsString() const;
    Variant AsVariant() const;

private:
    friend class IBSQL;
    IBField(Preparation& prep, std::string name, int index)
        : prep_(&prep), name_(std::move(name)), index_(index) {}
    Preparation* prep_;
    std::string name_;
    int index_;
};

class IBSQL {
public:
    IBSQL(IBDatabase& db, IBTransaction& tr);
    IBSQL(const IBSQL&) = delete;
    IBSQL& operator=(const IBSQL&) = delete;
    ~IBSQL(); // never throws

    // Closes any open cursor, clears the text and adds the lines, joined by line breaks. The
    // statement is prepared again on its next use: anew, or from the preparation this object
    // kept of the same text, with every parameter and column back to its zero value.
    void SetText(const std::vector<std::string>& lines);
    void SetText(std::string_view line) { SetText(std::vector<std::string>{std::string(line)}); }
    const std::string& Text() const { return text_; }

    bool Prepared() const;
    void Prepare();
    // Runs the statement; a select opens its cursor and fetches the first row.
    void ExecQuery();
    bool Next(); // fetches the next row of an open select; false at the end
    bool Eof() const { return eof_; }
    bool Open() const;
    void Close(); // closes the cursor, if any; the text stays

    IBParam& ParamByName(std::string_view name);
    // A parameter's place among this text's parameters, -1 when it has none; the place stays
    // the same for as long as the text does, so a caller can find it once and bind by Param.
    int ParamIndex(std::string_view name);
    IBParam& Param(int index);
    // The parameter at a place ParamIndex gave; for -1, the one named, so that a text without
    // it fails as binding it by name does.
    IBParam& Param(int index, std::string_view name) {
        return index >= 0 ? Param(index) : ParamByName(name);
    }
    IBField& FieldByName(std::string_view name);
    IBField& Field(int index); // result columns in their order
    int ParamCount();
    int FieldCount();
    // Counts the preparations the server made, so that callers can see a statement reused or
    // prepared anew.
    int PrepareCount() const { return prepares_; }
    // How many preparations an object keeps; the least recently used one goes first.
    static constexpr std::size_t kPreparacionesGuardadas = 8;

private:
    friend class IBParam;
    void DropAll();
    bool HandlesValid() const;
    std::string Where() const; // the statement's text, for error messages
    std::unique_ptr<Preparation> PrepareNew();
    void CheckStillPrepared(const std::string& param) const;

    IBDatabase& db_;
    IBTransaction& tr_;
    std::string text_;
    // The kept preparations, least recently used first, all of connection dbGeneration_.
    std::vector<std::unique_ptr<Preparation>> guardadas_;
    Preparation* actual_ = nullptr; // the preparation of text_, once the text is used
    unsigned dbGeneration_ = 0;
    unsigned trGeneration_ = 0;
    bool cursorOpen_ = false;
    bool eof_ = true;
    int prepares_ = 0;
};
