#pragma once
// A reusable SQL statement with named parameters (IBSQLSelect, IBSQLInsert, IBSQLUpdate).
//
// Preparation happens on the first bind or execute and gives every parameter and result column
// its zero value (all bytes zero, not null). A bound value stays until it is bound again or the
// statement is prepared again. Each bound value carries its own type; the server converts it.
#include "Valores.h"

#include <ibase.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class IBDatabase;
class IBTransaction;
class IBSQL;

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

// A named parameter; one name may stand at several places of the text.
class IBParam {
public:
    const std::string& Name() const { return name_; }
    void SetAsString(std::string_view utf8);
    void SetAsInteger(int32_t v);
    void SetAsSingle(double v); // narrowed to single precision
    void SetAsDouble(double v);
    void SetAsTimestamp(const Timestamp& t);
    void SetAsVariant(const Variant& v); // NULL variant binds NULL
    void SetNull();

private:
    friend class IBSQL;
    IBParam(IBSQL& owner, std::string name) : owner_(&owner), name_(std::move(name)) {}
    void Set(short type, short scale, const void* data, std::size_t len);
    IBSQL* owner_;
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
    IBField(IBSQL& owner, std::string name, int index)
        : owner_(&owner), name_(std::move(name)), index_(index) {}
    IBSQL* owner_;
    std::string name_;
    int index_;
};

class IBSQL {
public:
    IBSQL(IBDatabase& db, IBTransaction& tr);
    IBSQL(const IBSQL&) = delete;
    IBSQL& operator=(const IBSQL&) = delete;
    ~IBSQL(); // never throws

    // Clears the text and adds the lines, joined by line breaks; drops the preparation.
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
    IBField& FieldByName(std::string_view name);
    IBField& Field(int index); // result columns in their order
    int ParamCount();
    int FieldCount();
    // Counts the preparations made, so that callers can see a statement reused or prepared anew.
    int PrepareCount() const { return prepares_; }

private:
    friend class IBParam;
    friend class IBField;
    void DropHandle();
    bool HandleValid() const;
    std::string Where() const; // the statement's text, for error messages
    void ZeroColumns();
    void CheckStillPrepared(const std::string& param) const;

    IBDatabase& db_;
    IBTransaction& tr_;
    std::string text_;
    isc_stmt_handle handle_ = 0;
    unsigned dbGeneration_ = 0;
    unsigned trGeneration_ = 0;
    bool prepared_ = false;
    bool cursorOpen_ = false;
    bool eof_ = true;
    int statementType_ = 0;
    int prepares_ = 0;
    Sqlda in_, out_;
    std::vector<Declared> declaredIn_;
    std::vector<std::unique_ptr<IBParam>> params_;
    std::vector<std::unique_ptr<IBField>> fields_;
};
