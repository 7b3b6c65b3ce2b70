#pragma once
// Test-only writer of dBase tables, byte by byte, so that tests can make good and broken files.
#include <cstdint>
#include <map>
#include <string>
#include <vector>

struct DbfColumn {
    std::string name;
    char type = 'C';
    int length = 10;
    int decimals = 0;
};

class DbfWriter {
public:
    explicit DbfWriter(std::vector<DbfColumn> columns) : columns_(std::move(columns)) {}

    uint8_t version = 0x03;
    uint8_t languageDriver = 0x02; // code page 850
    bool endOfFileMarker = true;
    long recordCountOverride = -1; // the count written in the header, when not the real one

    // A record from its field texts, already in the table's code page; each is padded with
    // blanks (text) or right-aligned (numbers) to the column width. Deleted when asked.
    DbfWriter& Add(const std::vector<std::string>& values, bool deleted = false);
    std::string Bytes() const;
    void Write(const std::string& path) const;

private:
    std::vector<DbfColumn> columns_;
    std::vector<std::string> records_;
};

// Latin-1 / UTF-8 helpers for tests that build code-page bytes.
std::string Cp850(const std::string& utf8);
std::string Cp1252(const std::string& utf8);

// Builds the FacturaPlus table `name` (agentes, clientes, ...) with every column its query
// declares, in `folder`; rows give values by column name, the rest stays blank. `widths` makes
// some text columns wider or narrower than declared, as other versions of the program do.
using Fila = std::vector<std::pair<std::string, std::string>>;
void WriteFacturaPlusTable(const std::string& folder, const std::string& name,
                           const std::vector<Fila>& rows, uint8_t languageDriver = 0x02,
                           const std::vector<std::string>& deletedCodes = {},
                           const std::map<std::string, int>& widths = {});
