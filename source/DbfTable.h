#pragma once
// A dBase table (.dbf), read in bounded pieces. The whole header is checked when the table opens,
// and one pass over the records then counts them, checks their deletion flags and weighs the text
// for its code page, so that reading a record later can never go outside the file. Records are
// read again on demand, a window of them at a time, with pread into memory of our own: nothing is
// mapped, so a file that another program truncates or replaces cannot crash the reader; it is
// noticed as a DbfError, at a read that comes up short or at CheckUnchanged.
#include "CodePage.h"
#include "Error.h"

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// An error about a source table, with the file, and where known the field and the record.
class DbfError : public Error {
public:
    using Error::Error;
};

struct DbfField {
    std::string name; // as stored, up to the first NUL
    char type = 'C';  // C N F L D, or any other letter for kinds the program does not read
    uint32_t length = 0;
    uint32_t decimals = 0;
    uint32_t offset = 0; // from the start of the record (the deletion flag is byte 0)
};

struct Date {
    int year = 0, month = 0, day = 0;
    bool operator==(const Date&) const = default;
};

class DbfTable {
public:
    // Throws DbfError naming the file and the fault. With `page`, the table is read in that code
    // page whatever its header says: the operator chose it.
    explicit DbfTable(const std::string& path, std::optional<int> page = std::nullopt);
    ~DbfTable();
    DbfTable(const DbfTable&) = delete;
    DbfTable& operator=(const DbfTable&) = delete;

    const std::string& Path() const { return path_; }
    std::string FileName() const; // "agentes.dbf", as messages name the table
    uint8_t Version() const { return version_; }
    uint8_t LanguageDriver() const { return driver_; }
    const CodePage& Page() const { return *page_; }
    // Why that page, as one Spanish sentence: the operator's choice, the language-driver byte,
    // or the evidence of the text when the byte names no page.
    const std::string& PageReason() const { return pageReason_; }
    // "" unless the text reads much better in another page than the one the header names; then
    // one Spanish sentence that names both pages and the words that decided it. The table is
    // still read in the header's page.
    const std::string& PageWarning() const { return pageWarning_; }

    // Records physically present, deleted ones included; at most what the header claims.
    uint32_t RecordCount() const { return records_; }
    uint32_t HeaderRecordCount() const { return headerRecords_; }
    // Records not deleted, and the n-th of them (from 0) in file order, as the open found them.
    uint32_t LiveCount() const { return records_ - static_cast<uint32_t>(deleted_.size()); }
    uint32_t LiveRecord(uint32_t n) const;
    // "" when the records read are the header's count; otherwise one Spanish sentence with the
    // file, both counts and why they differ (file cut short, end-of-file mark, no count kept).
    std::string CountMismatch() const { return countMismatch_; }
    bool IsDeleted(uint32_t record) const { return RecordPtr(record)[0] == '*'; }

    const std::vector<DbfField>& Fields() const { return fields_; }
    int FieldIndex(std::string_view name) const; // without regard to case; -1 when absent

    // Raw bytes of a field, exactly as stored. The view lasts until records far from this one
    // are read: take what is needed from it at once.
    std::string_view Raw(uint32_t record, int field) const;
    // How values are compared: raw bytes without trailing blanks; a character field ends at its
    // first NUL (C-string padding), the others lose trailing NULs too. Lasts as Raw does.
    std::string_view Key(uint32_t record, int field) const;

    // Values; each rule of blanks and garbage is written once, in the .cpp.
    std::string Text(uint32_t record, int field) const;
    double Number(uint32_t record, int field) const;
    bool Logical(uint32_t record, int field) const;
    std::optional<Date> DateValue(uint32_t record, int field) const;

    // "tabla agentes.dbf, campo CCODAGE, registro 3": where a value came from, for messages.
    std::string Place(uint32_t record, int field) const;

    // Throws DbfError when the file on disk is no longer the one that was opened: shorter,
    // replaced by another file, removed, or with another header. A file that only grew is
    // unchanged. A few system calls; callers space them out.
    void CheckUnchanged() const;

    // Lets go of the records read so far; the next read reads them again.
    void ReleaseBuffers() const;

private:
    // Records read from the file: [first, first + count).
    struct Window {
        uint32_t first = 0, count = 0;
        uint64_t capacity = 0; // bytes
        uint64_t lastUse = 0;
        std::unique_ptr<unsigned char[]> bytes;
    };
    const unsigned char* RecordPtr(uint32_t record) const {
        for (const Window& w : windows_)
            if (record - w.first < w.count)
                return w.bytes.get() + static_cast<uint64_t>(record - w.first) * recordLength_;
        return Read(record);
    }
    const unsigned char* Read(uint32_t record) const;
    uint64_t ReadUpTo(unsigned char* into, uint64_t bytes, uint64_t offset) const;
    void ReadAt(unsigned char* into, uint64_t bytes, uint64_t offset) const;
    [[noreturn]] void CutShort() const;
    void Open();
    void ReadHeader();
    void ReadFields();
    void CheckHeaderGap(uint64_t fieldsEnd) const;
    void ScanRecords(CodePageScorer* scorer);
    void ChoosePage(std::optional<int> chosen, const CodePageScorer* scorer);
    void WarnOfAnotherPage(const CodePageScorer& scorer);
    [[noreturn]] void Fail(const std::string& what) const;
    [[noreturn]] void Changed(const std::string& how) const;

    std::string path_;
    int fd_ = -1; // kept open to read records and to see whether the file changes later
    uint64_t device_ = 0, inode_ = 0;
    std::vector<unsigned char> header_; // the first headerLength_ bytes
    uint64_t size_ = 0;                 // the file's size when it opened
    uint8_t version_ = 0;
    uint8_t driver_ = 0;
    uint32_t headerRecords_ = 0;
    uint32_t records_ = 0;
    uint32_t headerLength_ = 0;
    uint32_t recordLength_ = 0;
    std::vector<DbfField> fields_;
    std::vector<uint32_t> deleted_; // deleted records, ascending
    std::optional<CodePage> page_;
    std::string pageReason_;
    std::string pageWarning_;
    std::string countMismatch_;
    mutable std::array<Window, 2> windows_;
    mutable uint64_t uses_ = 0;
};
