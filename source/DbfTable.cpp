#include "DbfTable.h"

#include "Ascii.h"

#include <cerrno>
#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr uint64_t kHeaderSize = 32;
constexpr uint64_t kDescriptorSize = 32;
constexpr unsigned char kHeaderTerminator = 0x0D;
constexpr unsigned char kEndOfFile = 0x1A;
constexpr unsigned char kDeleted = '*';
constexpr unsigned char kActive = ' ';

// Version bytes written by dBase III to V, FoxBase, FoxPro, Visual FoxPro and Clipper.
bool KnownVersion(uint8_t v) {
    switch (v) {
    case 0x02:
    case 0x03:
    case 0x05:
    case 0x30:
    case 0x31:
    case 0x32:
    case 0x43:
    case 0x63:
    case 0x7B:
    case 0x83:
    case 0x8B:
    case 0x8E:
    case 0xCB:
    case 0xE5:
    case 0xF5:
    case 0xFB:
        return true;
    default:
        return false;
    }
}

uint32_t Le32(const unsigned char* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
           static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}
uint16_t Le16(const unsigned char* p) {
    return static_cast<uint16_t>(p[0] | p[1] << 8);
}

std::string Hex(unsigned v) {
    char b[8];
    std::snprintf(b, sizeof b, "0x%02X", v);
    return b;
}

bool IsBlankOrNul(char c) {
    return c == ' ' || c == '\0';
}

} // namespace

DbfTable::DbfTable(const std::string& path) : path_(path) {
    Map();
    try {
        ReadHeader();
        ReadFields();
        CountRecords();
        ChoosePage();
    } catch (...) {
        munmap(const_cast<unsigned char*>(data_), size_);
        close(fd_);
        throw;
    }
}

DbfTable::~DbfTable() {
    if (data_) munmap(const_cast<unsigned char*>(data_), size_);
    if (fd_ >= 0) close(fd_);
}

void DbfTable::Fail(const std::string& what) const {
    throw DbfError("Tabla «" + path_ + "»: " + what);
}

void DbfTable::Map() {
    std::error_code ec;
    if (std::filesystem::is_directory(path_, ec)) Fail("es una carpeta, no un fichero");
    fd_ = open(path_.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd_ < 0) Fail(std::string("no se puede abrir: ") + std::strerror(errno));
    struct stat st {};
    if (fstat(fd_, &st) != 0) {
        int e = errno;
        close(fd_);
        fd_ = -1;
        Fail(std::string("no se puede consultar: ") + std::strerror(e));
    }
    size_ = static_cast<uint64_t>(st.st_size);
    if (size_ < kHeaderSize) {
        close(fd_);
        fd_ = -1;
        Fail(size_ == 0 ? "el fichero está vacío"
                        : "el fichero tiene " + std::to_string(size_) +
                              " bytes, menos que los 32 de la cabecera de una tabla dBase");
    }
    void* p = mmap(nullptr, size_, PROT_READ, MAP_PRIVATE, fd_, 0);
    if (p == MAP_FAILED) {
        int e = errno;
        close(fd_);
        fd_ = -1;
        Fail(std::string("no se puede leer: ") + std::strerror(e));
    }
    data_ = static_cast<const unsigned char*>(p);
}

void DbfTable::ReadHeader() {
    version_ = data_[0];
    // dBase 7 describes its fields in 48 bytes instead of 32; no FacturaPlus version writes it.
    if ((version_ & 0x07) == 0x04)
        Fail("es una tabla de dBase 7 (byte de versión " + Hex(version_) + "), que no se admite");
    if (!KnownVersion(version_))
        Fail("el byte de versión " + Hex(version_) + " no es el de una tabla dBase");
    headerRecords_ = Le32(data_ + 4);
    headerLength_ = Le16(data_ + 8);
    recordLength_ = Le16(data_ + 10);
    driver_ = data_[29];
    if (headerLength_ < kHeaderSize + kDescriptorSize + 1)
        Fail("la cabecera declara " + std::to_string(headerLength_) +
             " bytes, menos de los que ocupa un solo campo");
    if (headerLength_ > size_)
        Fail("la cabecera declara " + std::to_string(headerLength_) + " bytes y el fichero tiene " +
             std::to_string(size_));
    if (recordLength_ == 0) Fail("la longitud de registro es 0");
}

void DbfTable::ReadFields() {
    uint64_t pos = kHeaderSize;
    bool terminated = false;
    std::vector<std::pair<const unsigned char*, uint64_t>> descriptors;
    while (pos < headerLength_) {
        if (data_[pos] == kHeaderTerminator) {
            terminated = true;
            break;
        }
        if (pos + kDescriptorSize > headerLength_) break;
        descriptors.emplace_back(data_ + pos, pos);
        pos += kDescriptorSize;
    }
    if (!terminated) Fail("falta el byte 0x0D que cierra la lista de campos de la cabecera");
    if (descriptors.empty()) Fail("la cabecera no declara ningún campo");

    for (auto [d, at] : descriptors) {
        DbfField f;
        std::size_t n = 0;
        while (n < 11 && d[n] != 0)
            ++n;
        f.name.assign(reinterpret_cast<const char*>(d), n);
        f.type = static_cast<char>(d[11]);
        f.length = d[16];
        f.decimals = d[17];
        std::string which = "el campo " + std::to_string(fields_.size() + 1) +
                            (f.name.empty() ? "" : " (" + f.name + ")");
        if (f.name.empty()) Fail(which + " no tiene nombre");
        for (char c : f.name)
            if (static_cast<unsigned char>(c) < 0x20)
                Fail(which + " tiene caracteres de control en el nombre");
        if (FieldIndex(f.name) >= 0) Fail("el campo " + f.name + " está repetido");
        fields_.push_back(f);
    }

    auto sum = [&](bool wide) {
        uint64_t total = 1;
        for (const DbfField& f : fields_)
            total += f.type == 'C' && wide ? f.length + 256ull * f.decimals : f.length;
        return total;
    };
    // Clipper and FoxPro keep the high byte of a long character field in its decimal count;
    // that reading is taken only when it is the one that agrees with the record length.
    bool wide = sum(false) != recordLength_ && sum(true) == recordLength_;
    uint32_t offset = 1;
    for (DbfField& f : fields_) {
        if (f.type == 'C' && wide) {
            f.length += 256 * f.decimals;
            f.decimals = 0;
        }
        const std::string which = "el campo " + f.name;
        if (f.length == 0) Fail(which + " tiene longitud 0");
        if (f.type == 'L' && f.length != 1)
            Fail(which + " es lógico y mide " + std::to_string(f.length) + " bytes en vez de 1");
        if (f.type == 'D' && f.length != 8)
            Fail(which + " es de fecha y mide " + std::to_string(f.length) + " bytes en vez de 8");
        if ((f.type == 'N' || f.type == 'F') && f.decimals > 0 && f.decimals >= f.length)
            Fail(which + " declara " + std::to_string(f.decimals) + " decimales en " +
                 std::to_string(f.length) + " posiciones");
        f.offset = offset;
        offset += f.length;
    }
    if (sum(wide) > recordLength_)
        Fail("los campos ocupan " + std::to_string(sum(wide)) +
             " bytes por registro y la cabecera declara registros de " +
             std::to_string(recordLength_));
}

void DbfTable::CountRecords() {
    uint64_t available = (size_ - headerLength_) / recordLength_;
    // A writer that never updated the count leaves 0 behind; then the data decides.
    uint64_t n = headerRecords_ == 0 ? available : std::min<uint64_t>(headerRecords_, available);
    for (uint64_t r = 0; r < n; ++r) {
        unsigned char flag = data_[headerLength_ + r * recordLength_];
        if (flag == kEndOfFile) {
            n = r;
            break;
        }
        if (flag != kActive && flag != kDeleted)
            Fail("el registro " + std::to_string(r + 1) + " tiene la marca de borrado " +
                 Hex(flag) + ", que no es ni blanco ni '*'");
    }
    records_ = static_cast<uint32_t>(n);
}

void DbfTable::ChoosePage() {
    if (driver_ != 0) {
        page_ = CodePage::ForLanguageDriver(driver_);
        if (page_) {
            pageReason_ = "página " + std::to_string(page_->Number()) +
                          " según el byte de idioma " + Hex(driver_);
            return;
        }
    }
    CodePageScorer scorer;
    for (uint32_t r = 0; r < records_; ++r)
        for (int f = 0; f < static_cast<int>(fields_.size()); ++f)
            if (fields_[f].type == 'C') scorer.Add(Raw(r, f));
    CodePageGuess g = scorer.Result();
    page_ = CodePage::ByNumber(g.page);
    pageReason_ = "página " + std::to_string(g.page) + " deducida del texto (" +
                  (driver_ == 0 ? std::string("la cabecera no la indica")
                                : "el byte de idioma " + Hex(driver_) + " es desconocido") +
                  "): " + std::to_string(g.score850) + " letras españolas leídas como 850 y " +
                  std::to_string(g.score1252) + " como 1252";
}

int DbfTable::FieldIndex(std::string_view name) const {
    for (std::size_t i = 0; i < fields_.size(); ++i)
        if (ascii::EqualNoCase(fields_[i].name, name)) return static_cast<int>(i);
    return -1;
}

std::string_view DbfTable::Raw(uint32_t record, int field) const {
    const DbfField& f = fields_[field];
    return {reinterpret_cast<const char*>(RecordPtr(record) + f.offset), f.length};
}

std::string_view DbfTable::Key(uint32_t record, int field) const {
    std::string_view v = Raw(record, field);
    while (!v.empty() && IsBlankOrNul(v.back()))
        v.remove_suffix(1);
    return v;
}

std::string DbfTable::Place(uint32_t record, int field) const {
    return "tabla " + std::filesystem::path(path_).filename().string() + ", campo " +
           fields_[field].name + ", registro " + std::to_string(record + 1);
}

// Character: trailing blanks (and the NULs some writers pad with) go, leading blanks stay;
// a byte that the table's page does not define is an error, never a silent '?'.
std::string DbfTable::Text(uint32_t record, int field) const {
    std::string out;
    uint8_t bad = 0;
    if (!page_->Decode(Key(record, field), out, bad))
        throw DbfError(Place(record, field) + ": el byte " + Hex(bad) +
                       " no existe en la página de códigos " + std::to_string(page_->Number()));
    return out;
}

// Numeric: blank (or NUL) reads 0; anything but an optionally signed decimal number, such as
// the '*' a writer leaves when a value overflows its width, is an error with its place.
double DbfTable::Number(uint32_t record, int field) const {
    std::string_view v = Raw(record, field);
    while (!v.empty() && IsBlankOrNul(v.front()))
        v.remove_prefix(1);
    while (!v.empty() && IsBlankOrNul(v.back()))
        v.remove_suffix(1);
    if (v.empty()) return 0;
    std::size_t i = 0;
    if (v[i] == '+' || v[i] == '-') ++i;
    std::size_t digits = 0;
    while (i < v.size() && std::isdigit(static_cast<unsigned char>(v[i])))
        ++i, ++digits;
    if (i < v.size() && v[i] == '.') {
        ++i;
        while (i < v.size() && std::isdigit(static_cast<unsigned char>(v[i])))
            ++i, ++digits;
    }
    if (digits > 0 && i < v.size() && (v[i] == 'e' || v[i] == 'E')) {
        std::size_t j = i + 1;
        if (j < v.size() && (v[j] == '+' || v[j] == '-')) ++j;
        std::size_t k = j;
        while (k < v.size() && std::isdigit(static_cast<unsigned char>(v[k])))
            ++k;
        if (k > j) i = k;
    }
    if (digits == 0 || i != v.size()) {
        std::string shown;
        for (char c : v)
            shown += static_cast<unsigned char>(c) < 0x20 ? '?' : c;
        throw DbfError(
            Place(record, field) + ": «" + shown + "» no es un número" +
            (v.find('*') != std::string_view::npos ? " (el valor desbordó el campo)" : ""));
    }
    return std::strtod(std::string(v).c_str(), nullptr);
}

// Logical: T t Y y are true; F f N n, blank, NUL and '?' (not set) are false.
bool DbfTable::Logical(uint32_t record, int field) const {
    char c = Raw(record, field)[0];
    switch (c) {
    case 'T':
    case 't':
    case 'Y':
    case 'y':
        return true;
    case 'F':
    case 'f':
    case 'N':
    case 'n':
    case ' ':
    case '?':
    case '\0':
        return false;
    default:
        throw DbfError(Place(record, field) + ": «" + std::string(1, c) +
                       "» no es un valor lógico");
    }
}

// Date: YYYYMMDD; blanks, zeros or NULs mean no date; an impossible day is an error.
std::optional<Date> DbfTable::DateValue(uint32_t record, int field) const {
    std::string_view v = Raw(record, field);
    bool empty = true;
    for (char c : v)
        empty = empty && (c == ' ' || c == '0' || c == '\0');
    if (empty) return std::nullopt;
    int parts[8];
    for (int i = 0; i < 8; ++i) {
        if (!std::isdigit(static_cast<unsigned char>(v[i])))
            throw DbfError(Place(record, field) + ": «" + std::string(v) + "» no es una fecha");
        parts[i] = v[i] - '0';
    }
    Date d{parts[0] * 1000 + parts[1] * 100 + parts[2] * 10 + parts[3], parts[4] * 10 + parts[5],
           parts[6] * 10 + parts[7]};
    static constexpr int kDays[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    bool leap = (d.year % 4 == 0 && d.year % 100 != 0) || d.year % 400 == 0;
    if (d.month < 1 || d.month > 12 || d.day < 1 || d.day > kDays[d.month - 1] ||
        (d.month == 2 && d.day == 29 && !leap))
        throw DbfError(Place(record, field) + ": «" + std::string(v) + "» no es una fecha válida");
    return d;
}
