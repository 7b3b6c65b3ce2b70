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

namespace {

// The range of a hash in an index of 2^bits ranges: its top bits, so that ranges follow the order.
std::size_t Range(uint32_t hash, int bits) {
    return bits == 0 ? 0 : hash >> (32 - bits);
}

// The key is cut as the table's values are (see DbfTable::Key): at a NUL, then blanks.
std::string_view AsKey(std::string_view key) {
    key = key.substr(0, key.find('\0'));
    while (!key.empty() && key.back() == ' ')
        key.remove_suffix(1);
    return key;
}

} // namespace

uint32_t OpenedTable::KeyHash(std::string_view key) {
    uint64_t h = std::hash<std::string_view>{}(key);
    return static_cast<uint32_t>(h ^ (h >> 32));
}

const OpenedTable::Index& OpenedTable::IndexOf(int column) {
    for (const Index& i : indexes_)
        if (i.column == column) return i;
    const DbfTable& t = *table_;
    Index index;
    index.column = column;
    index.entries.reserve(t.LiveCount());
    for (uint32_t n = 0; n < t.LiveCount(); ++n) {
        uint32_t r = t.LiveRecord(n);
        index.entries.push_back({KeyHash(t.Key(r, column)), r});
    }
    std::sort(index.entries.begin(), index.entries.end());
    // About four entries a range: a lookup goes straight to its few.
    while (index.bits < 24 && (std::size_t{4} << index.bits) < index.entries.size())
        ++index.bits;
    index.start.resize((std::size_t{1} << index.bits) + 1);
    std::size_t e = 0;
    for (std::size_t range = 0; range + 1 < index.start.size(); ++range) {
        index.start[range] = static_cast<uint32_t>(e);
        while (e < index.entries.size() && Range(index.entries[e].hash, index.bits) == range)
            ++e;
    }
    index.start.back() = static_cast<uint32_t>(index.entries.size());
    return indexes_.emplace_back(std::move(index));
}

void OpenedTable::Matching(int column, std::string_view key, std::vector<uint32_t>& found) {
    found.clear();
    key = AsKey(key);
    const Index& index = IndexOf(column);
    const uint32_t h = KeyHash(key);
    const std::size_t range = Range(h, index.bits);
    auto first = index.entries.begin() + index.start[range];
    auto last = index.entries.begin() + index.start[range + 1];
    // Entries of one hash are in record order; a record whose hash only collides is left out.
    for (auto it = std::lower_bound(first, last, Entry{h, 0}); it != last && it->hash == h; ++it)
        if (table_->Key(it->record, column) == key) found.push_back(it->record);
}

void OpenedTable::Release() {
    indexes_.clear();
    indexes_.shrink_to_fit();
    table_->ReleaseBuffers();
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
    // Asked at every opening of a side table: a short name is upper-cased on the stack.
    char corto[64];
    auto it = aliases_.end();
    if (name.size() <= sizeof corto) {
        for (std::size_t i = 0; i < name.size(); ++i)
            corto[i] = ascii::Upper(name[i]);
        it = aliases_.find(std::string_view(corto, name.size()));
    } else
        it = aliases_.find(Upper(name));
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
    tramo_ = plazo.count() > 0 ? ++tramos_ : 0;
    recientes_.clear();
}

void Session::SoltarTablas() {
    recientes_.clear();
    for (auto it = tables_.begin(); it != tables_.end();) {
        if (it->second.table.use_count() > 1) {
            it->second.table->Release();
            ++it;
        } else {
            it = tables_.erase(it);
        }
    }
}

void Session::PaginaDeCodigos(const std::string& tabla, int pagina) {
    std::string clave = Lower(tabla);
    if (clave.size() > 4 && clave.compare(clave.size() - 4, 4, ".dbf") == 0)
        clave.resize(clave.size() - 4);
    if (pagina == 0) {
        paginas_.erase(clave);
        return;
    }
    if (!CodePage::ByNumber(pagina))
        throw Error(
            "La página de códigos " + std::to_string(pagina) +
            (tabla.empty() ? "" : " elegida para la tabla «" + printable::Utf8(tabla) + "»") +
            " no es ninguna de las que se conocen: " + CodePage::KnownNames());
    paginas_[clave] = pagina;
}

std::shared_ptr<OpenedTable> Session::OpenTable(std::string_view alias, const std::string& table) {
    active_ = true;
    const Alias& a = GetAlias(alias);
    auto p = a.params.find("PATH");
    static const std::string kNinguna;
    const std::string& folder = p == a.params.end() ? kNinguna : p->second;
    auto ahora = std::chrono::steady_clock::now();
    // Built in a buffer kept from call to call: a run asks for its side tables at every record.
    clave_.assign(folder);
    clave_ += '/';
    for (char c : table)
        clave_ += ascii::Lower(c);
    if (plazo_.count() > 0)
        if (auto r = recientes_.find(clave_);
            r != recientes_.end() && ahora - r->second.checked < plazo_)
            return r->second.table;
    auto t = OpenChecked(folder, table);
    if (plazo_.count() > 0) recientes_[clave_] = Reciente{t, ahora};
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
    std::optional<int> pagina;
    if (auto p = paginas_.find(Lower(table)); p != paginas_.end())
        pagina = p->second;
    else if (auto todas = paginas_.find(""); todas != paginas_.end())
        pagina = todas->second;
    Cached& c = tables_[path];
    if (c.table && c.size == static_cast<uint64_t>(st.st_size) && c.mtime == mtime &&
        c.device == device && c.inode == inode && c.pagina == pagina)
        return c.table;

    c.table.reset();
    auto t = std::make_shared<OpenedTable>(std::make_unique<DbfTable>(path, pagina));
    c = Cached{static_cast<uint64_t>(st.st_size), mtime, device, inode, pagina, t};
    ++loads_;
    return t;
}
