#pragma once
// The source engine session: aliases that bind a name to a folder of dBase tables, and the
// tables its queries have opened, kept in memory with their column indexes while unchanged.
#include "DbfTable.h"

#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

// The alias the program's queries name: its one source folder.
inline constexpr const char* kAliasFacturaPlus = "Aux_Impor_FacturaPlus";

struct Alias {
    std::string name;
    std::string type;                          // "STANDARD"
    std::map<std::string, std::string> params; // PATH, DEFAULT DRIVER
};

// A loaded table shared by the queries that read it, with a hash index per filtered column.
class OpenedTable {
public:
    explicit OpenedTable(std::unique_ptr<DbfTable> t) : table_(std::move(t)) {}
    const DbfTable& Table() const { return *table_; }
    // The live records whose column, without trailing blanks, equals `key`; in file order.
    const std::vector<uint32_t>& Matching(int column, std::string_view key);
    uint32_t LiveCount() const { return live_; }
    void SetLiveCount(uint32_t n) { live_ = n; }

private:
    using Index = std::unordered_map<std::string, std::vector<uint32_t>>;
    std::unique_ptr<DbfTable> table_;
    std::unordered_map<int, Index> indexes_;
    uint32_t live_ = 0;
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

private:
    // A file is reused while it is the same one (device and inode) with the same size and time.
    struct Cached {
        uint64_t size = 0;
        int64_t mtime = 0;
        uint64_t device = 0, inode = 0;
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
    std::map<std::string, Alias> aliases_; // by upper-cased name
    std::map<std::string, Cached> tables_; // by file path
    std::map<std::string, Found> files_;   // folder + '/' + lower-cased table
    int loads_ = 0;
    std::chrono::milliseconds plazo_{0};
    std::map<std::string, Reciente> recientes_;
};
