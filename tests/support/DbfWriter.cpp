#include "DbfWriter.h"

#include "CodePage.h"
#include "Layouts.h"

#include <cstring>
#include <fstream>
#include <map>
#include <stdexcept>

namespace {

void Put16(std::string& b, std::size_t at, unsigned v) {
    b[at] = static_cast<char>(v & 0xFF);
    b[at + 1] = static_cast<char>((v >> 8) & 0xFF);
}
void Put32(std::string& b, std::size_t at, unsigned long v) {
    for (int i = 0; i < 4; ++i)
        b[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

std::string Encode(int page, const std::string& utf8) {
    auto p = CodePage::ByNumber(page);
    auto r = p->Encode(utf8);
    if (!r) throw std::runtime_error("cannot encode test text " + utf8);
    return *r;
}

} // namespace

std::string Cp850(const std::string& utf8) {
    return Encode(850, utf8);
}
std::string Cp1252(const std::string& utf8) {
    return Encode(1252, utf8);
}

DbfWriter& DbfWriter::Add(const std::vector<std::string>& values, bool deleted) {
    std::string r(1, deleted ? '*' : ' ');
    for (std::size_t i = 0; i < columns_.size(); ++i) {
        const DbfColumn& c = columns_[i];
        std::string v = i < values.size() ? values[i] : "";
        if (static_cast<int>(v.size()) > c.length) v.resize(c.length);
        std::string pad(c.length - v.size(), ' ');
        r += (c.type == 'N' || c.type == 'F') ? pad + v : v + pad;
    }
    records_.push_back(r);
    return *this;
}

std::string DbfWriter::Bytes() const {
    std::size_t headerLength = 32 + 32 * columns_.size() + 1;
    std::size_t recordLength = 1;
    for (const DbfColumn& c : columns_)
        recordLength += c.length;
    std::string b(headerLength, '\0');
    b[0] = static_cast<char>(version);
    b[1] = 126;
    b[2] = 12;
    b[3] = 8;
    Put32(b, 4, recordCountOverride >= 0 ? recordCountOverride : records_.size());
    Put16(b, 8, headerLength);
    Put16(b, 10, recordLength);
    b[29] = static_cast<char>(languageDriver);
    for (std::size_t i = 0; i < columns_.size(); ++i) {
        const DbfColumn& c = columns_[i];
        std::size_t at = 32 + 32 * i;
        std::memcpy(&b[at], c.name.data(), std::min<std::size_t>(c.name.size(), 11));
        b[at + 11] = c.type;
        b[at + 16] = static_cast<char>(c.length & 0xFF);
        b[at + 17] = static_cast<char>(c.decimals);
    }
    b[headerLength - 1] = 0x0D;
    for (const std::string& r : records_)
        b += r;
    if (endOfFileMarker) b += '\x1A';
    return b;
}

void DbfWriter::Write(const std::string& path) const {
    std::ofstream out(path, std::ios::binary);
    std::string b = Bytes();
    out.write(b.data(), static_cast<std::streamsize>(b.size()));
    if (!out) throw std::runtime_error("cannot write " + path);
}

void WriteFacturaPlusTable(const std::string& folder, const std::string& name,
                           const std::vector<Fila>& rows, uint8_t languageDriver,
                           const std::vector<std::string>& deletedCodes,
                           const std::map<std::string, int>& widths) {
    static const std::map<std::string, const std::vector<FieldDecl>& (*)()> kLayouts = {
        {"articulo", LayoutArticulos},
        {"familias", LayoutFamilias},
        {"stocks", LayoutStock},
        {"Artcom", LayoutArticulosNombreLargo},
        {"PROVINC", nullptr},
        {"clientes", LayoutClientes},
        {"proveedo", LayoutProveedores},
        {"agentes", LayoutAgentesVenta}};
    std::vector<DbfColumn> columns;
    if (name == "PROVINC") {
        columns = {{"CCODPROV", 'C', 4, 0}, {"CNOMPROV", 'C', 30, 0}};
    } else {
        for (const FieldDecl& d : kLayouts.at(name)()) {
            switch (d.kind) {
            case FieldKind::Text:
                columns.push_back(
                    {d.name, 'C', widths.count(d.name) ? widths.at(d.name) : d.width, 0});
                break;
            case FieldKind::Float:
                columns.push_back({d.name, 'N', 12, 3});
                break;
            case FieldKind::Int16:
                columns.push_back({d.name, 'N', 5, 0});
                break;
            case FieldKind::Boolean:
                columns.push_back({d.name, 'L', 1, 0});
                break;
            case FieldKind::Date:
                columns.push_back({d.name, 'D', 8, 0});
                break;
            }
        }
    }
    DbfWriter w(columns);
    w.languageDriver = languageDriver;
    int page = languageDriver == 0x03 || languageDriver == 0x57 ? 1252 : 850;
    for (const Fila& row : rows) {
        std::vector<std::string> values(columns.size());
        bool deleted = false;
        for (const auto& [field, value] : row) {
            std::size_t i = 0;
            while (i < columns.size() && columns[i].name != field)
                ++i;
            if (i == columns.size()) throw std::runtime_error("no column " + field + " in " + name);
            values[i] = Encode(page, value);
            if (i == 0)
                for (const std::string& c : deletedCodes)
                    deleted = deleted || c == value;
        }
        w.Add(values, deleted);
    }
    w.Write(folder + "/" + name + ".dbf");
}
