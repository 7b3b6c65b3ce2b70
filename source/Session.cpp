#include "Session.h"

#include "Ascii.h"
#include "FileKind.h"
#include "Printable.h"

#include <algorithm>
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
    // The key is cut as the table's values are (see DbfTable::Key): at a NUL, then blanks.
    key = key.substr(0, key.find('\0'));
    while (!key.empty() && key.back() == ' ')
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

namespace {

int64_t Nanoseconds(const struct timespec& t) {
    return static_cast<int64_t>(t.tv_sec) * 1000000000 + t.tv_nsec;
}

} // namespace

std::string Session::FindFile(const std::string& folder, const std::string& table) {
    std::string key = folder + '/' + Lower(table);
    struct stat dir {};
    int64_t folderMtime = stat(folder.c_str(), &dir) == 0 ? Nanoseconds(dir.st_mtim) : -1;
    auto known = files_.find(key);
    if (known != files_.end() && known->second.folderMtime == folderMtime)
        return known->second.path;

    std::string wanted = Lower(table) + ".dbf";
    std::vector<std::string> matches;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
        if (Lower(it->path().filename().string()) == wanted) matches.push_back(it->path().string());
    if (ec)
        throw Error("No se puede leer la carpeta «" + printable::Utf8(folder) +
                    "»: " + SystemError(ec.value()));
    if (matches.empty())
        throw Error("No se encuentra la tabla «" + printable::Utf8(table) + "» (" +
                    printable::Utf8(table) + ".dbf) en la carpeta «" + printable::Utf8(folder) +
                    "»");
    if (matches.size() > 1) {
        std::sort(matches.begin(), matches.end());
        std::string names;
        for (std::size_t i = 0; i < matches.size(); ++i)
            names += (i == 0                    ? "«"
                      : i + 1 == matches.size() ? " y «"
                                                : ", «") +
                     printable::Utf8(fs::path(matches[i]).filename().string()) + "»";
        throw Error("En la carpeta «" + printable::Utf8(folder) + "» hay " +
                    std::to_string(matches.size()) + " ficheros para la tabla «" +
                    printable::Utf8(table) + "» que solo se distinguen por mayúsculas y " +
                    "minúsculas: " + names + "; no se sabe cuál leer, deje solo uno");
    }
    files_[key] = Found{matches.front(), folderMtime};
    return matches.front();
}

void Session::ConfiarDurante(std::chrono::milliseconds plazo) {
    plazo_ = plazo;
    recientes_.clear();
}

std::shared_ptr<OpenedTable> Session::OpenTable(std::string_view alias, const std::string& table) {
    active_ = true;
    const Alias& a = GetAlias(alias);
    auto p = a.params.find("PATH");
    std::string folder = p == a.params.end() ? "" : p->second;
    auto ahora = std::chrono::steady_clock::now();
    std::string clave = folder + '/' + Lower(table);
    if (plazo_.count() > 0)
        if (auto r = recientes_.find(clave);
            r != recientes_.end() && ahora - r->second.checked < plazo_)
            return r->second.table;
    auto t = OpenChecked(folder, table);
    if (plazo_.count() > 0) recientes_[clave] = Reciente{t, ahora};
    return t;
}

std::shared_ptr<OpenedTable> Session::OpenChecked(const std::string& folder,
                                                  const std::string& table) {
    std::error_code ec;
    // The alias is the program's own device: the operator knows the folder, not its name.
    if (folder.empty() || !fs::is_directory(folder, ec))
        throw Error("La carpeta de las tablas «" + printable::Utf8(folder) + "» no existe");
    std::string path = FindFile(folder, table);

    struct stat st {};
    if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
        std::string why = NotARegularFile(path);
        throw DbfError("Tabla «" + printable::Utf8(path) +
                       "»: " + (why.empty() ? "ha desaparecido de la carpeta" : why));
    }
    int64_t mtime = Nanoseconds(st.st_mtim);
    auto device = static_cast<uint64_t>(st.st_dev), inode = static_cast<uint64_t>(st.st_ino);
    Cached& c = tables_[path];
    if (c.table && c.size == static_cast<uint64_t>(st.st_size) && c.mtime == mtime &&
        c.device == device && c.inode == inode)
        return c.table;

    c.table.reset();
    auto t = std::make_shared<OpenedTable>(std::make_unique<DbfTable>(path));
    uint32_t live = 0;
    for (uint32_t r = 0; r < t->Table().RecordCount(); ++r)
        live += t->Table().IsDeleted(r) ? 0 : 1;
    t->SetLiveCount(live);
    c = Cached{static_cast<uint64_t>(st.st_size), mtime, device, inode, t};
    ++loads_;
    return t;
}
