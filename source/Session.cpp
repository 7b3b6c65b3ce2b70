#include "Session.h"

#include "Ascii.h"

#include <filesystem>
#include <sys/stat.h>

namespace fs = std::filesystem;

using ascii::Lower;
using ascii::Upper;

const std::vector<uint32_t>& OpenedTable::Matching(int column, std::string_view key) {
    static const std::vector<uint32_t> kNone;
    auto it = indexes_.find(column);
    if (it == indexes_.end()) {
        Index index;
        const DbfTable& t = *table_;
        for (uint32_t r = 0; r < t.RecordCount(); ++r)
            if (!t.IsDeleted(r)) index[std::string(t.Key(r, column))].push_back(r);
        it = indexes_.emplace(column, std::move(index)).first;
    }
    while (!key.empty() && (key.back() == ' ' || key.back() == '\0'))
        key.remove_suffix(1);
    auto hit = it->second.find(std::string(key));
    return hit == it->second.end() ? kNone : hit->second;
}

bool Session::IsAlias(std::string_view name) const {
    return aliases_.count(Upper(name)) > 0;
}

void Session::AddStandardAlias(const std::string& name, const std::string& path,
                               const std::string& defaultDriver) {
    active_ = true;
    if (IsAlias(name)) throw Error("El alias «" + name + "» ya existe");
    aliases_[Upper(name)] =
        Alias{name, "STANDARD", {{"PATH", path}, {"DEFAULT DRIVER", defaultDriver}}};
}

void Session::DeleteAlias(std::string_view name) {
    if (aliases_.erase(Upper(name)) == 0)
        throw Error("El alias «" + std::string(name) + "» no existe");
}

const Alias& Session::GetAlias(std::string_view name) const {
    auto it = aliases_.find(Upper(name));
    if (it == aliases_.end()) throw Error("El alias «" + std::string(name) + "» no existe");
    return it->second;
}

std::string Session::FindFile(const std::string& folder, const std::string& table) {
    std::string key = folder + '/' + Lower(table);
    auto known = files_.find(key);
    std::error_code ec;
    if (known != files_.end() && fs::exists(known->second, ec)) return known->second;
    std::string wanted = Lower(table) + ".dbf";
    for (const auto& entry : fs::directory_iterator(folder, ec)) {
        if (Lower(entry.path().filename().string()) == wanted) {
            files_[key] = entry.path().string();
            return entry.path().string();
        }
    }
    if (ec) throw Error("No se puede leer la carpeta «" + folder + "»: " + ec.message());
    throw Error("No se encuentra la tabla «" + table + "» (" + table + ".dbf) en la carpeta «" +
                folder + "»");
}

std::shared_ptr<OpenedTable> Session::OpenTable(std::string_view alias, const std::string& table) {
    active_ = true;
    const Alias& a = GetAlias(alias);
    auto p = a.params.find("PATH");
    std::string folder = p == a.params.end() ? "" : p->second;
    std::error_code ec;
    if (folder.empty() || !fs::is_directory(folder, ec))
        throw Error("La carpeta «" + folder + "» del alias «" + a.name + "» no existe");
    std::string path = FindFile(folder, table);

    struct stat st {};
    if (stat(path.c_str(), &st) != 0) throw Error("No se puede consultar la tabla «" + path + "»");
    int64_t mtime = static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    Cached& c = tables_[path];
    if (c.table && c.size == static_cast<uint64_t>(st.st_size) && c.mtime == mtime) return c.table;

    c.table.reset();
    auto t = std::make_shared<OpenedTable>(std::make_unique<DbfTable>(path));
    uint32_t live = 0;
    for (uint32_t r = 0; r < t->Table().RecordCount(); ++r)
        live += t->Table().IsDeleted(r) ? 0 : 1;
    t->SetLiveCount(live);
    c = Cached{static_cast<uint64_t>(st.st_size), mtime, t};
    ++loads_;
    return t;
}
