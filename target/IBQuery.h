#pragma once
// A query that connects and starts the transaction by itself when it opens
// (IBQueryFamiliasArticulos and the short-lived lookup queries).
#include "IBSQL.h"

class IBQuery {
public:
    IBQuery(IBDatabase& db, IBTransaction& tr);
    ~IBQuery(); // closes the cursor, never commits; never throws

    void SetText(const std::vector<std::string>& lines) { sql_.SetText(lines); }
    IBParam& ParamByName(std::string_view name);
    // Connects and starts the transaction when needed, executes and fetches the first row.
    void Open();
    // Closes the cursor; a transaction this query started by itself is committed retaining.
    void Close();
    bool Active() const { return active_ && sql_.Open(); }
    bool Eof() const { return sql_.Eof(); }

    // Field of the current row; with no row a field reads as NULL.
    Variant FieldAsVariant(std::string_view name);
    bool FieldIsNull(std::string_view name);
    int32_t FieldAsInteger(std::string_view name);

private:
    IBDatabase& db_;
    IBTransaction& tr_;
    IBSQL sql_;
    bool active_ = false;
    bool startedTransaction_ = false;
};
