#include "DbfTable.h"

#include "Ascii.h"
#include "FileKind.h"
#include "Numeros.h"
#include "Printable.h"

#include <cerrno>
#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr uint64_t kHeaderSize = 32;
constexpr uint64_t kDescriptorSize = 32;
constexpr unsigned char kHeaderTerminator = 0x0D;
constexpr unsigned char kEndOfFile = 0x1A;
constexpr unsigned char kDeleted = '*';
constexpr unsigned char kActive = ' ';
// Visual FoxPro's link to its database container, the longest stretch a writer leaves between
// the field list and the first record, and a byte of slack.
constexpr uint64_t kLongestHeaderTail = 263 + 1;
// What is read at a time: the open pass's pieces, and the windows of records read on demand,
// which start small for a lookup that jumps and grow while a walk reads on.
constexpr uint64_t kScanBytes = 256 * 1024;
constexpr uint64_t kSmallestWindow = 4 * 1024;
constexpr uint64_t kLargestWindow = 128 * 1024;

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

// The start of a file that reads as text (no NULs and no control bytes but line ends and tabs
// in what would be the header), shown up to its first line end; "" when it does not. Every
// real dBase header holds NULs: the high bytes of its record count and its reserved bytes.
std::string TextBeginning(const unsigned char* data, uint64_t size) {
    uint64_t n = std::min<uint64_t>(size, kHeaderSize);
    for (uint64_t i = 0; i < n; ++i)
        if (data[i] < 0x20 && data[i] != '\t' && data[i] != '\r' && data[i] != '\n') return {};
    uint64_t end = 0;
    while (end < n && end < 24 && data[end] != '\r' && data[end] != '\n')
        ++end;
    return printable::Utf8(std::string_view(reinterpret_cast<const char*>(data), end)) +
           (end < n && end == 24 ? "…" : "");
}

// A field's bytes as values are compared: see DbfTable::Key.
std::string_view FieldKey(const unsigned char* record, const DbfField& f) {
    std::string_view v(reinterpret_cast<const char*>(record + f.offset), f.length);
    if (f.type == 'C') {
        // Text fields are mostly padding: eight blanks at a time, then one by one.
        auto sinBlancos = [](std::string_view x) {
            constexpr uint64_t kOchoBlancos = 0x2020202020202020ULL;
            for (uint64_t ocho = 0; x.size() >= 8; x.remove_suffix(8)) {
                std::memcpy(&ocho, x.data() + x.size() - 8, 8);
                if (ocho != kOchoBlancos) break;
            }
            while (!x.empty() && x.back() == ' ')
                x.remove_suffix(1);
            return x;
        };
        // Writers that pad text with NULs mean a C string: what follows the first NUL is junk.
        // Trailing blanks hold no NUL, so it is looked for only before them.
        v = sinBlancos(v);
        if (std::size_t nul = v.find('\0'); nul != std::string_view::npos)
            v = sinBlancos(v.substr(0, nul));
        return v;
    }
    while (!v.empty() && IsBlankOrNul(v.back()))
        v.remove_suffix(1);
    return v;
}

} // namespace

DbfTable::DbfTable(const std::string& path, std::optional<int> page) : path_(path) {
    try {
        Open();
        ReadHeader();
        ReadFields();
        // The text is weighed when no page is chosen and the header names none, or names one of
        // the pages Spanish tables are written in, which may be the wrong one of them.
        std::optional<CodePage> named = CodePage::ForLanguageDriver(driver_);
        bool weigh = !page && (!named || named->Number() == 437 || named->Number() == 850 ||
                               named->Number() == 1252);
        CodePageScorer scorer;
        ScanRecords(weigh ? &scorer : nullptr);
        ChoosePage(page, weigh ? &scorer : nullptr);
    } catch (...) {
        if (fd_ >= 0) close(fd_);
        throw;
    }
}

DbfTable::~DbfTable() {
    if (fd_ >= 0) close(fd_);
}

std::string DbfTable::FileName() const {
    return printable::Utf8(std::filesystem::path(path_).filename().string());
}

void DbfTable::Fail(const std::string& what) const {
    throw DbfError("Tabla «" + printable::Utf8(path_) + "»: " + what);
}

void DbfTable::Changed(const std::string& how) const {
    Fail("ha cambiado durante el traspaso (" + how +
         "); vuelva a empezar cuando ningún programa la esté modificando");
}

// Only regular files are opened, and without blocking, so that a FIFO or a device named like a
// table is refused instead of waited on.
void DbfTable::Open() {
    if (std::string why = NotARegularFile(path_); !why.empty()) Fail(why);
    fd_ = open(path_.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd_ < 0) Fail("no se puede abrir: " + SystemError(errno));
    struct stat st {};
    if (fstat(fd_, &st) != 0) Fail("no se puede consultar: " + SystemError(errno));
    if (!S_ISREG(st.st_mode)) Fail(NonRegularKind(st.st_mode));
    device_ = static_cast<uint64_t>(st.st_dev);
    inode_ = static_cast<uint64_t>(st.st_ino);
    size_ = static_cast<uint64_t>(st.st_size);
    if (size_ < kHeaderSize)
        Fail(size_ == 0 ? "el fichero está vacío"
                        : "el fichero tiene " + std::to_string(size_) +
                              " bytes, menos que los 32 de la cabecera de una tabla dBase");
    header_.resize(kHeaderSize);
    ReadAt(header_.data(), kHeaderSize, 0);
}

// Reads what the file holds of `bytes` at `offset`: fewer only at its end.
uint64_t DbfTable::ReadUpTo(unsigned char* into, uint64_t bytes, uint64_t offset) const {
    uint64_t got = 0;
    while (got < bytes) {
        ssize_t n = pread(fd_, into + got, bytes - got, static_cast<off_t>(offset + got));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) Fail("no se puede leer: " + SystemError(errno));
        if (n == 0) break;
        got += static_cast<uint64_t>(n);
    }
    return got;
}

// Reads exactly `bytes` at `offset`: a file that comes up short has been cut by someone else.
void DbfTable::ReadAt(unsigned char* into, uint64_t bytes, uint64_t offset) const {
    if (ReadUpTo(into, bytes, offset) < bytes) CutShort();
}

void DbfTable::CutShort() const {
    struct stat st {};
    if (fstat(fd_, &st) != 0) Changed("se ha acortado");
    Changed("se ha acortado de " + std::to_string(size_) + " a " + std::to_string(st.st_size) +
            " bytes");
}

void DbfTable::ReadHeader() {
    version_ = header_[0];
    std::string text = TextBeginning(header_.data(), kHeaderSize);
    // dBase 7 describes its fields in 48 bytes instead of 32; no FacturaPlus version writes it.
    if ((version_ & 0x07) == 0x04 && text.empty())
        Fail("es una tabla de dBase 7 (byte de versión " + Hex(version_) + "), que no se admite");
    if (!KnownVersion(version_))
        Fail("el byte de versión " + Hex(version_) + " no es el de una tabla dBase" +
             (text.empty() ? "" : ": parece un fichero de texto que empieza por «" + text + "»"));
    // Some text starts with a byte that is also a version byte ('0', '1', '2', 'C', 'c', ...).
    if (!text.empty())
        Fail("no es una tabla dBase: parece un fichero de texto que empieza por «" + text + "»");
    headerRecords_ = Le32(header_.data() + 4);
    headerLength_ = Le16(header_.data() + 8);
    recordLength_ = Le16(header_.data() + 10);
    driver_ = header_[29];
    if (headerLength_ < kHeaderSize + kDescriptorSize + 1)
        Fail("la cabecera declara " + std::to_string(headerLength_) +
             " bytes, menos de los que ocupa un solo campo");
    if (headerLength_ > size_)
        Fail("la cabecera declara " + std::to_string(headerLength_) + " bytes y el fichero tiene " +
             std::to_string(size_) + ": no es una tabla dBase o está cortada");
    if (recordLength_ == 0) Fail("la longitud de registro es 0");
    header_.resize(headerLength_);
    ReadAt(header_.data() + kHeaderSize, headerLength_ - kHeaderSize, kHeaderSize);
}

void DbfTable::ReadFields() {
    const unsigned char* data = header_.data();
    uint64_t pos = kHeaderSize;
    bool terminated = false;
    std::vector<std::pair<const unsigned char*, uint64_t>> descriptors;
    while (pos < headerLength_) {
        if (data[pos] == kHeaderTerminator) {
            terminated = true;
            break;
        }
        if (pos + kDescriptorSize > headerLength_) break;
        descriptors.emplace_back(data + pos, pos);
        pos += kDescriptorSize;
    }
    if (!terminated) Fail("falta el byte 0x0D que cierra la lista de campos de la cabecera");
    if (descriptors.empty()) Fail("la cabecera no declara ningún campo");
    CheckHeaderGap(pos + 1);

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
                            (f.name.empty() ? "" : " (" + printable::Bytes(f.name) + ")");
        if (f.name.empty()) Fail(which + " no tiene nombre");
        for (char c : f.name)
            if (static_cast<unsigned char>(c) < 0x20)
                Fail(which + " tiene caracteres de control en el nombre");
        if (FieldIndex(f.name) >= 0)
            Fail("el campo " + printable::Bytes(f.name) + " está repetido");
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
        const std::string which = "el campo " + printable::Bytes(f.name);
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

// Between the 0x0D that ends the field list and the first record, writers leave nothing, a
// byte or two, or Visual FoxPro's 263-byte link to its database. A longer stretch holding
// anything but NULs is no padding: the header length is wrong and the records would be read
// from the wrong place, so the table is refused.
void DbfTable::CheckHeaderGap(uint64_t fieldsEnd) const {
    uint64_t gap = headerLength_ - fieldsEnd;
    if (gap <= kLongestHeaderTail) return;
    for (uint64_t i = fieldsEnd; i < headerLength_; ++i)
        if (header_[i] != 0)
            Fail("la cabecera declara " + std::to_string(headerLength_) +
                 " bytes, pero su lista de campos acaba en el byte " + std::to_string(fieldsEnd) +
                 " y los " + std::to_string(gap) +
                 " bytes que siguen no son relleno: la longitud de la cabecera es errónea");
}

// One pass over the records, a bounded piece at a time: how many there are (up to an end-of-file
// mark), which are deleted, whether every deletion flag is one, and the text's evidence of its
// code page when asked for.
void DbfTable::ScanRecords(CodePageScorer* scorer) {
    uint64_t room = size_ - headerLength_;
    // Record numbers are 32-bit, as the header's count is: a larger file without a count is
    // read up to the largest.
    uint64_t available = std::min<uint64_t>(room / recordLength_, UINT32_MAX);
    uint64_t rest = room % recordLength_;
    // Bytes after the last whole record, other than a final end-of-file mark, are a cut record.
    bool cut = rest > 1;
    if (rest == 1) {
        unsigned char last = 0;
        ReadAt(&last, 1, size_ - 1);
        cut = last != kEndOfFile;
    }
    // A writer that never updated the count leaves 0 behind; then the data decides.
    uint64_t n = headerRecords_ == 0 ? available : std::min<uint64_t>(headerRecords_, available);
    bool marked = false;
    const uint64_t perPiece = std::max<uint64_t>(1, kScanBytes / recordLength_);
    std::vector<unsigned char> piece;
    for (uint64_t first = 0; first < n && !marked; first += perPiece) {
        uint64_t count = std::min(perPiece, n - first);
        piece.resize(count * recordLength_);
        ReadAt(piece.data(), piece.size(), headerLength_ + first * recordLength_);
        for (uint64_t k = 0; k < count; ++k) {
            const unsigned char* record = piece.data() + k * recordLength_;
            uint64_t r = first + k;
            if (record[0] == kEndOfFile) {
                n = r;
                marked = true;
                break;
            }
            if (record[0] != kActive && record[0] != kDeleted)
                Fail("el registro " + std::to_string(r + 1) + " tiene la marca de borrado " +
                     Hex(record[0]) + ", que no es ni blanco ni '*'");
            if (record[0] == kDeleted) deleted_.push_back(static_cast<uint32_t>(r));
            // Only bytes above 127 tell one page from the other: most fields have none, and
            // many records.
            if (scorer &&
                !ascii::SoloAscii({reinterpret_cast<const char*>(record) + 1, recordLength_ - 1}))
                for (const DbfField& f : fields_)
                    if (f.type == 'C' &&
                        !ascii::SoloAscii(
                            {reinterpret_cast<const char*>(record + f.offset), f.length}))
                        scorer->Add(FieldKey(record, f));
        }
    }
    records_ = static_cast<uint32_t>(n);
    if (records_ == headerRecords_) return;

    std::string why;
    if (marked)
        why = "hay una marca de fin de fichero (0x1A) donde empieza el registro " +
              std::to_string(n + 1);
    else if (headerRecords_ == 0)
        why = "la cabecera no lleva la cuenta y se leen los registros que hay";
    else if (cut)
        why = "el fichero se corta a mitad del registro " + std::to_string(available + 1);
    else
        why = available == 0 ? "el fichero acaba tras la cabecera"
                             : "el fichero acaba tras el registro " + std::to_string(available);
    countMismatch_ = "La tabla " + FileName() + " declara " + std::to_string(headerRecords_) +
                     " registros en su cabecera y se han leído " + std::to_string(records_) + ": " +
                     why + ".";
}

void DbfTable::ChoosePage(std::optional<int> chosen, const CodePageScorer* scorer) {
    if (chosen) {
        page_ = CodePage::ByNumber(*chosen);
        if (!page_)
            Fail("la página de códigos " + std::to_string(*chosen) + " no es ninguna de las que " +
                 "se conocen (" + CodePage::KnownNames() + ")");
        pageReason_ = "página de códigos " + CodePage::Name(*chosen) + ", elegida por el operador";
        return;
    }
    if (driver_ != 0) {
        page_ = CodePage::ForLanguageDriver(driver_);
        if (page_) {
            pageReason_ = "página de códigos " + CodePage::Name(page_->Number()) +
                          ", por el byte de idioma " + Hex(driver_) + " de la cabecera";
            if (scorer) WarnOfAnotherPage(*scorer);
            return;
        }
    }
    CodePageGuess g = scorer->Result();
    page_ = CodePage::ByNumber(g.page);
    pageReason_ = "página de códigos " + CodePage::Name(g.page) + " deducida del texto, porque " +
                  (driver_ == 0 ? std::string("la cabecera no indica ninguna (byte de idioma 0)")
                                : "el byte de idioma " + Hex(driver_) +
                                      " de la cabecera no es de ninguna página conocida") +
                  ": " + g.evidence;
}

// The header names a page and the text reads much better in the other one Spanish tables are
// written in: the header is kept (the source is only read, and the operator may know better),
// and the operator is told, with the words that decided it.
void DbfTable::WarnOfAnotherPage(const CodePageScorer& scorer) {
    int named = page_->Number();
    int other = named == 1252 ? 850 : 1252;
    if (!scorer.ReadsClearlyBetterIn(other)) return;
    std::string words;
    for (const std::string& w : scorer.Words(other))
        words += (words.empty() ? "«" : ", «") + w + "»";
    pageWarning_ =
        FileName() + ": la cabecera dice página " + CodePage::Name(named) +
        ", pero el texto se lee mucho mejor como " + CodePage::Name(other) + ": " + words +
        (scorer.Words(other).size() == CodePageScorer::kWordsShown ? ", …" : "") +
        "; se lee en la " + std::to_string(named) +
        ", como dice la cabecera, salvo que se elija otra página de códigos para esta tabla";
}

uint32_t DbfTable::LiveRecord(uint32_t n) const {
    // The answer is n plus the deleted records before it: those whose count of live records
    // before them, deleted_[i] - i, is at most n. That count never decreases along deleted_.
    std::size_t lo = 0, hi = deleted_.size();
    while (lo < hi) {
        std::size_t mid = lo + (hi - lo) / 2;
        if (deleted_[mid] - mid <= n)
            lo = mid + 1;
        else
            hi = mid;
    }
    return static_cast<uint32_t>(n + lo);
}

// A window of records starting at `record`: a read that follows the window before it doubles
// (a walk reads ever larger pieces, up to a bound); any other starts small (a lookup jumps).
const unsigned char* DbfTable::Read(uint32_t record) const {
    if (record >= records_)
        throw DbfError(Place(record, 0) + ": el registro no existe (la tabla tiene " +
                       std::to_string(records_) + ")");
    Window* w = nullptr;
    uint64_t wanted = kSmallestWindow;
    for (Window& x : windows_)
        if (x.count > 0 && x.first + x.count == record) {
            w = &x;
            wanted = std::min<uint64_t>(x.capacity * 2, kLargestWindow);
        }
    if (!w) w = windows_[0].lastUse <= windows_[1].lastUse ? &windows_[0] : &windows_[1];
    uint64_t count = std::max<uint64_t>(1, wanted / recordLength_);
    count = std::min<uint64_t>(count, records_ - record);
    uint64_t bytes = count * recordLength_;
    if (w->capacity < bytes) {
        w->count = 0;
        w->bytes = std::make_unique_for_overwrite<unsigned char[]>(bytes);
        w->capacity = bytes;
    }
    w->count = 0; // nothing valid in it while it is being read
    // A file cut since it opened still gives the records it holds; the one asked for must be
    // there whole.
    uint64_t got = ReadUpTo(w->bytes.get(), bytes,
                            headerLength_ + static_cast<uint64_t>(record) * recordLength_);
    if (got < recordLength_) CutShort();
    count = got / recordLength_;
    // The open pass saw which records were deleted; one deleted or restored since, or garbage
    // where a flag was, means the file was rewritten under the walk.
    auto d = std::lower_bound(deleted_.begin(), deleted_.end(), record);
    for (uint64_t k = 0; k < count; ++k) {
        uint32_t r = static_cast<uint32_t>(record + k);
        bool wasDeleted = d != deleted_.end() && *d == r;
        if (wasDeleted) ++d;
        unsigned char flag = w->bytes[k * recordLength_];
        if (flag != (wasDeleted ? kDeleted : kActive))
            Changed("el registro " + std::to_string(r + 1) +
                    (flag == kDeleted  ? " se ha borrado"
                     : flag == kActive ? " se ha recuperado"
                                       : " tiene ahora la marca de borrado " + Hex(flag)));
    }
    w->first = record;
    w->count = static_cast<uint32_t>(count);
    w->lastUse = ++uses_;
    return w->bytes.get();
}

void DbfTable::ReleaseBuffers() const {
    for (Window& w : windows_)
        w = Window{};
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
    return FieldKey(RecordPtr(record), fields_[field]);
}

std::string DbfTable::Place(uint32_t record, int field) const {
    return "tabla " + FileName() + ", campo " + printable::Bytes(fields_[field].name) +
           ", registro " + std::to_string(record + 1);
}

void DbfTable::CheckUnchanged() const {
    struct stat held {};
    if (fstat(fd_, &held) != 0) Changed("no se puede consultar: " + SystemError(errno));
    if (static_cast<uint64_t>(held.st_size) < size_)
        Changed("se ha acortado de " + std::to_string(size_) + " a " +
                std::to_string(held.st_size) + " bytes");
    struct stat now {};
    if (stat(path_.c_str(), &now) != 0)
        Changed(errno == ENOENT ? "ya no está en la carpeta"
                                : "no se puede consultar: " + SystemError(errno));
    if (static_cast<uint64_t>(now.st_dev) != device_ || static_cast<uint64_t>(now.st_ino) != inode_)
        Changed("otro fichero ha ocupado su lugar");
    // Rewritten in place: the header must still describe the records that were read; only
    // the count may grow, as it does when records are added at the end.
    unsigned char h[12];
    ssize_t n = pread(fd_, h, sizeof h, 0);
    if (n != static_cast<ssize_t>(sizeof h) || h[0] != version_ || Le16(h + 8) != headerLength_ ||
        Le16(h + 10) != recordLength_ || (headerRecords_ != 0 && Le32(h + 4) < headerRecords_))
        Changed("su cabecera ya no es la que se leyó");
}

// Character: cut at the first NUL, trailing blanks go, leading blanks stay; a byte that the
// table's page does not define is an error, never a silent '?'.
std::string DbfTable::Text(uint32_t record, int field) const {
    std::string out;
    uint8_t bad = 0;
    if (!page_->Decode(Key(record, field), out, bad))
        throw DbfError(Place(record, field) + ": el byte " + Hex(bad) +
                       " no existe en la página de códigos " + std::to_string(page_->Number()));
    return out;
}

// Numeric: blank (or NUL) reads 0. Otherwise an optionally signed decimal number, optionally
// followed by an exponent ("1.5E+01", as some writers store F fields); anything else, such as
// the '*' a writer leaves when a value overflows its width, or a value too large for a double,
// is an error with its place.
double DbfTable::Number(uint32_t record, int field) const {
    std::string_view v = Raw(record, field);
    while (!v.empty() && IsBlankOrNul(v.front()))
        v.remove_prefix(1);
    while (!v.empty() && IsBlankOrNul(v.back()))
        v.remove_suffix(1);
    if (v.empty()) return 0;
    std::size_t i = 0;
    if (v[i] == '+' || v[i] == '-') ++i;
    std::size_t digits = 0, decimals = 0;
    uint64_t mantissa = 0; // exact while digits <= 19
    auto isDigit = [](char c) { return c >= '0' && c <= '9'; };
    while (i < v.size() && isDigit(v[i]))
        mantissa = mantissa * 10 + static_cast<unsigned>(v[i++] - '0'), ++digits;
    if (i < v.size() && v[i] == '.') {
        ++i;
        while (i < v.size() && isDigit(v[i]))
            mantissa = mantissa * 10 + static_cast<unsigned>(v[i++] - '0'), ++digits, ++decimals;
    }
    // The usual dBase number, "-1234.567": a mantissa a double holds exactly divided by a power
    // of ten a double holds exactly is one correctly rounded operation, the value the full
    // reading gives.
    static constexpr double kPowers[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                         1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                         1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
    if (i == v.size() && digits > 0 && digits <= 15 && decimals <= 22) {
        double value = static_cast<double>(mantissa) / kPowers[decimals];
        return v[0] == '-' ? -value : value;
    }
    if (digits > 0 && i < v.size() && (v[i] == 'e' || v[i] == 'E')) {
        std::size_t j = i + 1;
        if (j < v.size() && (v[j] == '+' || v[j] == '-')) ++j;
        std::size_t k = j;
        while (k < v.size() && std::isdigit(static_cast<unsigned char>(v[k])))
            ++k;
        if (k > j) i = k;
    }
    if (digits == 0 || i != v.size())
        throw DbfError(
            Place(record, field) + ": «" + printable::Bytes(v) + "» no es un número" +
            (v.find('*') != std::string_view::npos ? " (el valor desbordó el campo)" : ""));
    std::optional<double> leido = numeros::Leer(v);
    double value = leido.value_or(0);
    if (!leido || !std::isfinite(value))
        throw DbfError(Place(record, field) + ": «" + printable::Bytes(v) +
                       "» no es un número (excede lo que se puede representar)");
    return value;
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
        throw DbfError(Place(record, field) + ": «" + printable::Bytes(std::string_view(&c, 1)) +
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
            throw DbfError(Place(record, field) + ": «" + printable::Bytes(v) +
                           "» no es una fecha");
        parts[i] = v[i] - '0';
    }
    Date d{parts[0] * 1000 + parts[1] * 100 + parts[2] * 10 + parts[3], parts[4] * 10 + parts[5],
           parts[6] * 10 + parts[7]};
    static constexpr int kDays[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    bool leap = (d.year % 4 == 0 && d.year % 100 != 0) || d.year % 400 == 0;
    if (d.month < 1 || d.month > 12 || d.day < 1 || d.day > kDays[d.month - 1] ||
        (d.month == 2 && d.day == 29 && !leap))
        throw DbfError(Place(record, field) + ": «" + printable::Bytes(v) +
                       "» no es una fecha válida");
    return d;
}
