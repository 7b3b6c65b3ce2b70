#pragma once
// The source engine session: aliases that bind a name to a folder of dBase tables, and the
// tables its queries have opened, kept open with their column indexes while unchanged, until a
// run that opened them ends (SoltarTablas).
#include "DbfTable.h"

#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The alias the program's queries name: its one source folder.
inline constexpr const char* kAliasFacturaPlus = "Aux_Impor_FacturaPlus";

struct Alias {
    std::string name;
    std::string type;                          // "STANDARD"
    std::map<std::string, std::string> params; // PATH, DEFAULT DRIVER
};

// An opened table shared by the queries that read it, with an index per filtered column: the
// hash of each live record's value with its record number, sorted, 8 bytes a record, and where
// each range of hashes starts, about one byte a record. The records themselves stay in the file
// and are read on demand.
class OpenedTable {
public:
    explicit OpenedTable(std::unique_ptr<DbfTable> t) : table_(std::move(t)) {}
    const DbfTable& Table() const { return *table_; }
    // The live records whose column, without trailing blanks, equals `key`; in file order.
    // Into `found`, whose room is kept from one call to the next.
    void Matching(int column, std::string_view key, std::vector<uint32_t>& found);
    uint32_t LiveCount() const { return table_->LiveCount(); }
    // Lets go of what can be built or read again: the indexes and the records read.
    void Release();
    // The hash an index keeps of a value (as DbfTable::Key gives it). Two values may share one:
    // a lookup compares the values themselves.
    static uint32_t KeyHash(std::string_view key);

private:
    struct Entry {
        uint32_t hash;
        uint32_t record;
        auto operator<=>(const Entry&) const = default;
    };
    struct Index {
        int column = 0;
        int bits = 0;                // of the hash that choose its range
        std::vector<uint32_t> start; // where the entries of each range start, and the end
        std::vector<Entry> entries;
    };
    const Index& IndexOf(int column);
    std::unique_ptr<DbfTable> table_;
    std::vector<Index> indexes_; // by column; one or two at most
};

class Session {
public:
    explicit Session(std::string name) : name_(std::move(name)) {}
    const std::string& SessionName() const { return name_; }
    // The session becomes active with its first use (an alias or an opened table).
    bool Active() const { return active_; }

    bool IsAlias(std::string_view name) const;
    void AddStandardAlias(const std::string& name, const std::string& path,
                          const std::string& defaultDriver);
    void DeleteAlias(std::string_view name);
    const Alias& GetAlias(std::string_view name) const; // throws when it does not exist

    // Resolves the alias's folder now and finds the table's file there without regard to case;
    // two files whose names differ only in case are an error that names both.
    std::shared_ptr<OpenedTable> OpenTable(std::string_view alias, const std::string& table);
    // Number of times a table file was read and checked anew (a reused one does not count).
    int TablesLoaded() const { return loads_; }

    // While a run reopens the same side table for every record, a table checked on disk less
    // than `plazo` ago is taken as it is, without looking at the folder and the file again.
    // Zero (the default) checks at every open. Setting it forgets every earlier check.
    void ConfiarDurante(std::chrono::milliseconds plazo);
    // The span of trust in progress: a number of its own for each ConfiarDurante with a
    // positive `plazo`, 0 outside any. An answer read from the tables within one span can be
    // kept for the rest of it.
    uint64_t Tramo() const { return tramo_; }

    // Forgets the tables that no query holds, and lets the held ones go of their indexes and
    // of the records read: what a run opened does not outlive it. Forgets the span's checks.
    void SoltarTablas();

    // The code page a table is read in, chosen by the operator over what its header says:
    // `tabla` as the queries name it ("agentes", with or without ".dbf", without regard to
    // case), or "" for every table. 0 takes the choice back. An unknown page is an Error that
    // lists the known ones. A table opened after the choice is read in that page.
    void PaginaDeCodigos(const std::string& tabla, int pagina);

private:
    // A file is reused while it is the same one (device and inode) with the same size and time,
    // to be read in the same page.
    struct Cached {
        uint64_t size = 0;
        int64_t mtime = 0;
        uint64_t device = 0, inode = 0;
        std::optional<int> pagina;
        std::shared_ptr<OpenedTable> table;
    };
    // The table last opened under folder + '/' + lower-cased table, and when it was checked.
    struct Reciente {
        std::shared_ptr<OpenedTable> table;
        std::chrono::steady_clock::time_point checked;
    };
    // Where a table's file was found, valid while the folder is not changed.
    struct Found {
        std::string path;
        int64_t folderMtime = 0;
    };
    std::string FindFile(const std::string& folder, const std::string& table);
    std::shared_ptr<OpenedTable> OpenChecked(const std::string& folder, const std::string& table);

    std::string name_;
    bool active_ = false;
    std::map<std::string, Alias, std::less<>> aliases_; // by upper-cased name
    std::map<std::string, Cached> tables_; // by file path
    std::map<std::string, Found> files_;   // folder + '/' + lower-cased table
    int loads_ = 0;
    std::chrono::milliseconds plazo_{0};
    uint64_t tramo_ = 0, tramos_ = 0;
    std::map<std::string, Reciente> recientes_;
    std::string clave_; // the key of the table asked for, rebuilt in place at every call
    std::map<std::string, int> paginas_; // by lower-cased table name, "" for every table
};
