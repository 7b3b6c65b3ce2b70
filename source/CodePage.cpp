#include "CodePage.h"

#include "Ascii.h"
#include "Utf8.h"

#include <array>

namespace codepage_tables {
extern const char32_t kCp437[128], kCp737[128], kCp850[128], kCp852[128], kCp857[128], kCp860[128],
    kCp861[128], kCp863[128], kCp865[128], kCp866[128], kCp1250[128], kCp1251[128], kCp1252[128],
    kCp1253[128], kCp1254[128];
}

namespace {

struct Page {
    int number;
    const char32_t* table;
};

constexpr std::array<Page, 15> kPages = {{{437, codepage_tables::kCp437},
                                          {737, codepage_tables::kCp737},
                                          {850, codepage_tables::kCp850},
                                          {852, codepage_tables::kCp852},
                                          {857, codepage_tables::kCp857},
                                          {860, codepage_tables::kCp860},
                                          {861, codepage_tables::kCp861},
                                          {863, codepage_tables::kCp863},
                                          {865, codepage_tables::kCp865},
                                          {866, codepage_tables::kCp866},
                                          {1250, codepage_tables::kCp1250},
                                          {1251, codepage_tables::kCp1251},
                                          {1252, codepage_tables::kCp1252},
                                          {1253, codepage_tables::kCp1253},
                                          {1254, codepage_tables::kCp1254}}};

// Language-driver bytes written by dBase, FoxPro and Clipper, with the page each stands for.
constexpr std::pair<uint8_t, int> kDrivers[] = {
    {0x01, 437},  {0x09, 437},  {0x0B, 437},  {0x0D, 437},  {0x0F, 437}, {0x11, 437},  {0x15, 437},
    {0x18, 437},  {0x19, 437},  {0x1B, 437},  {0x02, 850},  {0x0A, 850}, {0x0E, 850},  {0x10, 850},
    {0x12, 850},  {0x14, 850},  {0x16, 850},  {0x1A, 850},  {0x1D, 850}, {0x25, 850},  {0x37, 850},
    {0x03, 1252}, {0x57, 1252}, {0x58, 1252}, {0x59, 1252}, {0x1F, 852}, {0x22, 852},  {0x23, 852},
    {0x40, 852},  {0x64, 852},  {0x08, 865},  {0x17, 865},  {0x66, 865}, {0x26, 866},  {0x65, 866},
    {0x24, 860},  {0x67, 861},  {0x1C, 863},  {0x6B, 857},  {0x6A, 737}, {0xC8, 1250}, {0xC9, 1251},
    {0xCB, 1253}, {0xCA, 1254}, {0x86, 737},  {0x87, 852},  {0x88, 857},
};

} // namespace

std::optional<CodePage> CodePage::ByNumber(int number) {
    for (const Page& p : kPages)
        if (p.number == number) return CodePage(p.number, p.table);
    return std::nullopt;
}

std::optional<CodePage> CodePage::ForLanguageDriver(uint8_t driver) {
    for (auto [byte, page] : kDrivers)
        if (byte == driver) return ByNumber(page);
    return std::nullopt;
}

std::string CodePage::Name(int number) {
    const char* family = number == 437 ? "DOS, EE. UU." : number >= 1250 ? "Windows" : "DOS";
    return std::to_string(number) + " (" + family + ")";
}

std::string CodePage::KnownNames() {
    std::string s;
    for (std::size_t i = 0; i < kPages.size(); ++i)
        s += (i == 0                   ? ""
              : i + 1 == kPages.size() ? " y "
                                       : ", ") +
             std::to_string(kPages[i].number);
    return s;
}

bool CodePage::Decode(std::string_view bytes, std::string& utf8, uint8_t& bad) const {
    if (ascii::SoloAscii(bytes)) { // the same in every page: most values
        utf8.assign(bytes);
        return true;
    }
    utf8.clear();
    utf8.reserve(bytes.size() + 8);
    for (char c : bytes) {
        auto b = static_cast<uint8_t>(c);
        char32_t cp = CodePointOf(b);
        if (b >= 0x80 && cp == 0) {
            bad = b;
            return false;
        }
        utf8::Append(utf8, cp);
    }
    return true;
}

std::optional<std::string> CodePage::Encode(std::string_view text) const {
    std::string out;
    for (std::size_t i = 0; i < text.size();) {
        char32_t cp = 0;
        if (!utf8::Next(text, i, cp)) return std::nullopt;
        if (cp < 0x80) {
            out += static_cast<char>(cp);
            continue;
        }
        int found = -1;
        for (int k = 0; k < 128 && found < 0; ++k)
            if (high_[k] == cp) found = k;
        if (found < 0) return std::nullopt;
        out += static_cast<char>(0x80 + found);
    }
    return out;
}
