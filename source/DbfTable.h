#pragma once
// A dBase table (.dbf) read whole into private memory when it opens. The whole header is checked
// then, so that reading a record can never go outside the file; and since nothing is mapped, a
// file that another program truncates or replaces later cannot crash the reader, which notices
// it at CheckUnchanged instead.
#include "CodePage.h"
#include "Error.h"

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
    explicit DbfTable(const std::string& path); // throws DbfError naming the file and the fault
    ~DbfTable();
    DbfTable(const DbfTable&) = delete;
    DbfTable& operator=(const DbfTable&) = delete;

    const std::string& Path() const { return path_; }
    std::string FileName() const; // "agentes.dbf", as messages name the table
    uint8_t Version() const { return version_; }
    uint8_t LanguageDriver() const { return driver_; }
    const CodePage& Page() const { return *page_; }
    // Why that page, as one Spanish sentence: the language-driver byte, or the evidence of the
    // text when the byte names no page.
    const std::string& PageReason() const { return pageReason_; }

    // Records physically present, deleted ones included; at most what the header claims.
    uint32_t RecordCount() const { return records_; }
    uint32_t HeaderRecordCount() const { return headerRecords_; }
    // "" when the records read are the header's count; otherwise one Spanish sentence with the
    // file, both counts and why they differ (file cut short, end-of-file mark, no count kept).
    std::string CountMismatch() const { return countMismatch_; }
    bool IsDeleted(uint32_t record) const { return RecordPtr(record)[0] == '*'; }

    const std::vector<DbfField>& Fields() const { return fields_; }
    int FieldIndex(std::string_view name) const; // without regard to case; -1 when absent

    // Raw bytes of a field, exactly as stored.
    std::string_view Raw(uint32_t record, int field) const;
    // How values are compared: raw bytes without trailing blanks; a character field ends at its
    // first NUL (C-string padding), the others lose trailing NULs too.
    std::string_view Key(uint32_t record, int field) const;

    // Values; each rule of blanks and garbage is written once, in the .cpp.
    std::string Text(uint32_t record, int field) const;
    double Number(uint32_t record, int field) const;
    bool Logical(uint32_t record, int field) const;
    std::optional<Date> DateValue(uint32_t record, int field) const;

    // "tabla agentes.dbf, campo CCODAGE, registro 3": where a value came from, for messages.
    std::string Place(uint32_t record, int field) const;

    // Throws DbfError when the file on disk is no longer the one that was read: shorter, replaced
    // by another file, removed, or with another header. A file that only grew is unchanged.
    // A few system calls; callers space them out.
    void CheckUnchanged() const;

private:
    const unsigned char* RecordPtr(uint32_t record) const {
        return data_ + headerLength_ + static_cast<uint64_t>(record) * recordLength_;
    }
    void Load();
    void ReadHeader();
    void ReadFields();
    void CheckHeaderGap(uint64_t fieldsEnd) const;
    void CountRecords();
    void ChoosePage();
    [[noreturn]] void Fail(const std::string& what) const;
    [[noreturn]] void Changed(const std::string& how) const;

    std::string path_;
    int fd_ = -1; // kept open to see whether the file changes later
    uint64_t device_ = 0, inode_ = 0;
    std::unique_ptr<unsigned char[]> bytes_;
    const unsigned char* data_ = nullptr;
    uint64_t size_ = 0;
    uint8_t version_ = 0;
    uint8_t driver_ = 0;
    uint32_t headerRecords_ = 0;
    uint32_t records_ = 0;
    uint32_t headerLength_ = 0;
    uint32_t recordLength_ = 0;
    std::vector<DbfField> fields_;
    std::optional<CodePage> page_;
    std::string pageReason_;
    std::string countMismatch_;
};
