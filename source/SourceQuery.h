#pragma once
// A source query: a local-SQL text over an alias, with a declared field layout, read as a
// forward-only cursor. Only the declared fields can be read, by name and without regard to case.
#include "Layouts.h"
#include "LocalSql.h"
#include "Session.h"

#include <algorithm>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

class CodePage;
class SourceQuery;

// A text field's bytes as stored (blanks and padding cut as AsString cuts them), with the page
// they are written in. The view lasts until the query reads other records: use it at once.
struct RawText {
    std::string_view bytes;
    const CodePage* page;
};

class SourceField {
public:
    std::string AsString() const; // empty when there is no current record
    // What AsString decodes, for callers that pass text on in another single-byte page without
    // going through UTF-8; nullopt when the field is not text or there is no current record.
    std::optional<RawText> AsRawText() const;
    double AsFloat() const;       // 0 when blank or no current record
    int32_t AsInteger() const;
    bool AsBoolean() const;
    std::optional<Date> AsDate() const;
    bool IsNull() const;

private:
    friend class SourceQuery;
    SourceField(const SourceQuery& q, int declared) : q_(q), declared_(declared) {}
    const SourceQuery& q_;
    int declared_;
};

class SourceQuery {
public:
    SourceQuery(Session& session, std::string name, int tag, std::vector<std::string> lines,
                const std::vector<FieldDecl>& layout);

    const std::string& Name() const { return name_; }
    int Tag() const { return tag_; }
    const std::string& SqlText() const { return text_; }
    std::string DatabaseName() const { return databaseName_; }
    void SetDatabaseName(std::string alias) { databaseName_ = std::move(alias); }
    const std::vector<FieldDecl>& Fields() const { return layout_; }

    // Parameters by name without regard to case; each starts empty.
    void SetParam(std::string_view name, const std::string& value);

    void Open(); // runs the text; raises the engine's error for a missing folder, table or field
    void Close();
    bool Active() const { return active_; }
    // First and Next raise a DbfError when the table's file changed on disk since it was read
    // (cut short, replaced, removed). They look every kRecordsBetweenChecks records, and every
    // half second of a slow walk, so a change is noticed within a stretch either way.
    void First();
    void Next();
    static constexpr std::size_t kRecordsBetweenChecks = 1024;
    bool Eof() const { return !active_ || pos_ >= count_; }

    // A declared field by name, without regard to case; an error when the query has none.
    SourceField FieldByName(std::string_view name) const { return Field(FieldNo(name)); }
    // The same in two steps, for callers that read the same fields at every record: the field's
    // position among the declared ones, found once, and the field at that position.
    int FieldNo(std::string_view name) const;
    SourceField Field(int declared) const;

    // Around the running of the text at Open.
    std::function<void(SourceQuery&)> BeforeOpen, AfterOpen;
    // Told when the query opens or closes, so that a view of it can follow.
    std::function<void()> OnStateChange;

    // For views and progress: rows the walk has delivered so far (the current one included),
    // how many rows the query holds, and a field of a delivered row shown as text (its record
    // read again when it is no longer at hand).
    std::size_t DeliveredCount() const { return active_ ? std::min(pos_ + 1, count_) : 0; }
    std::size_t RowCount() const { return count_; }
    std::string DisplayText(std::size_t row, int field) const;
    // The table the query opened; for messages about where values come from.
    const DbfTable* Table() const { return table_ ? &table_->Table() : nullptr; }
    // The current row's record number in its file; past the end, one past the last record.
    uint32_t CurrentRecord() const {
        return !active_ ? 0 : pos_ < count_ ? Record(pos_) : table_->Table().RecordCount();
    }

private:
    friend class SourceField;
    void Parse();
    void BindColumns();
    uint32_t Record(std::size_t pos) const {
        return filtered_ ? matches_[pos] : table_->Table().LiveRecord(static_cast<uint32_t>(pos));
    }
    void WatchTable(bool now);
    [[noreturn]] void Fail(const std::string& what) const;

    Session& session_;
    std::string name_;
    int tag_;
    std::string text_;
    std::string databaseName_ = kAliasFacturaPlus;
    std::vector<FieldDecl> layout_;
    struct NameHash {
        using is_transparent = void;
        std::size_t operator()(std::string_view s) const {
            return std::hash<std::string_view>{}(s);
        }
    };
    // Upper-cased name -> declared position.
    std::unordered_map<std::string, int, NameHash, std::equal_to<>> byName_;
    std::optional<LocalSelect> sql_;
    std::vector<std::pair<std::string, std::string>> params_;

    bool active_ = false;
    std::shared_ptr<OpenedTable> table_;
    std::weak_ptr<OpenedTable> enlazada_; // the table columns_ was bound to
    std::vector<int> columns_;            // table column of each declared field
    bool filtered_ = false;               // by its WHERE: the rows are matches_
    std::vector<uint32_t> matches_;       // the records that match, in file order
    std::size_t count_ = 0;
    std::size_t pos_ = 0;
    std::size_t sinceCheck_ = 0; // records walked since the table's file was last looked at
    std::chrono::steady_clock::time_point checkedAt_{};
};
