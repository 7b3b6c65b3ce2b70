// The guess of a table's code page from its text; the rules are described in CodePage.h.
#include "CodePage.h"

#include "Utf8.h"

#include <algorithm>
#include <cstdio>
#include <string_view>
#include <vector>

namespace {

// Weights: a byte the page leaves undefined cannot be text in it; Spanish where Spanish goes
// counts twice what a merely possible reading does.
constexpr int kUndefined = -6;
constexpr int kSpanish = 2;
constexpr int kPossible = 1;
// Catalan's dot between two l's goes nowhere else, and no letter sits well between two l's.
constexpr int kGeminatedL = kSpanish + kPossible;
constexpr int kOutOfPlace = -1;
constexpr int kInsideWord = -2;

// Evidence that makes a labelled table suspect: at least this much for the other page, and at
// most a quarter of it against. Five Spanish letters that read right in the other page and out
// of place in the header's are the least that can make it (four, when they read as symbols
// inside words there); a word or three never do.
constexpr long kClearEvidence = 5 * (kSpanish - kOutOfPlace);
constexpr long kClearRatio = 4;
// Words to show the operator are looked for among this many first bytes above 127.
constexpr long kWordsSought = 4096;
// Texts, and words with two characters either side, whose weighing is kept for when they come
// again, and their bytes: so many of each.
constexpr std::size_t kKept = 4096;
constexpr std::size_t kBytesKept = 256 * 1024;

using Decoded = std::vector<char32_t>; // one code point per byte; 0 where the page has none

void Decode(std::string_view bytes, const CodePage& page, Decoded& d) {
    d.resize(bytes.size());
    for (std::size_t i = 0; i < bytes.size(); ++i)
        d[i] = page.CodePointOf(static_cast<uint8_t>(bytes[i]));
}

bool IsLetter(char32_t c) {
    if (c < 0x80) return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
    if (c >= 0xC0 && c <= 0xFF) return c != 0xD7 && c != 0xF7;
    switch (c) {
    case 0xB5:  // µ
    case 0x131: // ı
    case 0x152: // Œ
    case 0x153: // œ
    case 0x160: // Š
    case 0x161: // š
    case 0x178: // Ÿ
    case 0x17D: // Ž
    case 0x17E: // ž
    case 0x192: // ƒ
        return true;
    default:
        return false;
    }
}
bool IsUpper(char32_t c) {
    if (c < 0x80) return c >= 'A' && c <= 'Z';
    if (c >= 0xC0 && c <= 0xDE) return c != 0xD7;
    return c == 0x152 || c == 0x160 || c == 0x178 || c == 0x17D;
}
bool IsLower(char32_t c) {
    return IsLetter(c) && !IsUpper(c);
}
bool IsDigit(char32_t c) {
    return c >= '0' && c <= '9';
}
bool IsBox(char32_t c) {
    return c >= 0x2500 && c <= 0x259F;
}
// The letters beyond ASCII of Spanish, and of the Catalan and Galician names Spanish firms keep.
bool IsSpanishLetter(char32_t c) {
    // All of them in the upper half of Latin-1: one bit each, as every letter is asked.
    static constexpr uint64_t kLetters = [] {
        uint64_t m = 0;
        for (char32_t l : std::u32string_view(U"áéíóúñüçàèòïÁÉÍÓÚÑÜÇÀÈÒÏ"))
            m |= uint64_t{1} << (l - 0xC0);
        return m;
    }();
    return c >= 0xC0 && c <= 0xFF && ((kLetters >> (c - 0xC0)) & 1) != 0;
}

char32_t At(const Decoded& t, std::size_t i, int offset) {
    auto k = static_cast<std::ptrdiff_t>(i) + offset;
    return k < 0 || k >= static_cast<std::ptrdiff_t>(t.size()) ? 0 : t[k];
}

// A digit next to position i, or one blank away: "12 €", "Ø 6", "10 × 20".
bool NearDigit(const Decoded& t, std::size_t i) {
    return IsDigit(At(t, i, -1)) || IsDigit(At(t, i, 1)) ||
           (At(t, i, -1) == ' ' && IsDigit(At(t, i, -2))) ||
           (At(t, i, 1) == ' ' && IsDigit(At(t, i, 2)));
}

// Whether a letter's case fits the letters around it in its word [start, end): an upper-case
// letter after a lower-case one ("JosÚ"), or a lower-case one inside an upper-case word
// ("ACCIàN"), does not; a capital that starts a word followed by small letters does.
bool CaseFits(const Decoded& t, std::size_t i, std::size_t start, std::size_t end) {
    bool hasPrev = i > start, hasNext = i + 1 < end;
    char32_t p = hasPrev ? t[i - 1] : 0, n = hasNext ? t[i + 1] : 0;
    if (IsUpper(t[i])) return !(hasPrev && IsLower(p)) && !(hasPrev && IsUpper(p) && IsLower(n));
    return !(hasNext && IsUpper(n)) && !(hasPrev && IsUpper(p) && i - 1 > start);
}

// `textHasSmall`: the text has small letters, so a word in capitals is the exception.
int LetterWeight(const Decoded& t, std::size_t i, bool textHasSmall) {
    std::size_t start = i, end = i + 1;
    while (start > 0 && IsLetter(t[start - 1]))
        --start;
    while (end < t.size() && IsLetter(t[end]))
        ++end;
    char32_t c = t[i];
    if (end - start == 1) {
        // A diameter by its size is a symbol, and a Catalan ordinal (5è, 6È) follows a digit;
        // any other lone letter tells nothing.
        if ((c == U'Ø' || c == U'ø') && NearDigit(t, i)) return kSpanish;
        if (IsSpanishLetter(c) && i > 0 && IsDigit(t[i - 1])) return kPossible;
        return 0;
    }
    bool ascii = false;
    for (std::size_t k = start; k < end; ++k)
        ascii = ascii || t[k] < 0x80;
    // No word is made of accented letters alone: that is a line of box drawing read as text.
    if (!ascii) return kOutOfPlace;
    if (!CaseFits(t, i, start, end)) return kOutOfPlace;
    if (!IsSpanishLetter(c)) return 0;
    // A capital inside a word in capitals, where the rest of the text is in small letters
    // ("TÚ verde" against "Té verde"), is possible (a surname in capitals) but not the rule.
    if (textHasSmall && IsUpper(c) && i > start) {
        bool allCapitals = true;
        for (std::size_t k = start; k < end; ++k)
            allCapitals = allCapitals && IsUpper(t[k]);
        if (allCapitals) return kPossible;
    }
    return kSpanish;
}

// How well the byte at i reads as Spanish text in the page that decoded t.
int Plausibility(const Decoded& t, std::size_t i, bool textHasSmall) {
    char32_t c = t[i];
    if (c == 0) return kUndefined;
    if (IsLetter(c)) return LetterWeight(t, i, textHasSmall);
    char32_t p = At(t, i, -1), n = At(t, i, 1);
    bool inWord = IsLetter(p) && IsLetter(n);
    int elsewhere = inWord ? kInsideWord : 0;
    if (IsBox(c)) {
        if (inWord) return kInsideWord;
        if (IsLetter(p) || IsLetter(n)) return kOutOfPlace;
        return IsBox(p) || IsBox(n) ? kPossible : 0; // a frame or a rule, not a stray byte
    }
    switch (c) {
    case U'º':
    case U'ª': {
        // Ordinals and abbreviations: 1º, 2ª, Nº, Mª, Dª, Pº.
        bool abbreviation = IsLetter(p) && !IsLetter(At(t, i, -2));
        return (IsDigit(p) || abbreviation) && !IsLetter(n) ? kSpanish : elsewhere;
    }
    case U'·':
        return (p == 'l' || p == 'L') && (n == 'l' || n == 'L') ? kGeminatedL : elsewhere;
    case U'€':
        return inWord ? kInsideWord : NearDigit(t, i) ? kSpanish : 0;
    case U'°':
        return IsDigit(p) ? kSpanish : elsewhere;
    case U'²':
    case U'³': // m², m³, cm³
        return (IsDigit(p) || p == 'm' || p == 'M') && !IsLetter(n) ? kSpanish : elsewhere;
    case U'½':
    case U'¼':
    case U'¾':
    case U'×':
        return NearDigit(t, i) ? kPossible : elsewhere;
    case U'¿':
    case U'¡':
        return !IsLetter(p) && IsLetter(n) ? kSpanish : elsewhere;
    case U'\u00A0': // no-break space: between words, never inside one
        return IsLower(p) && IsLower(n) ? kInsideWord : 0;
    case U'’':
    case U'‘':
    case U'“':
    case U'”':
    case U'«':
    case U'»':
    case U'–':
    case U'—':
    case U'…':
    case U'•':
        return inWord ? 0 : kPossible;
    default:
        return elsewhere;
    }
}

const CodePage& Page850() {
    static const CodePage page = *CodePage::ByNumber(850);
    return page;
}
const CodePage& Page1252() {
    static const CodePage page = *CodePage::ByNumber(1252);
    return page;
}

// The blank-delimited word around a byte, read in a page, for the reason's example.
std::string WordAround(std::string_view bytes, std::size_t at, const CodePage& page) {
    std::size_t start = bytes.rfind(' ', at), end = bytes.find(' ', at);
    start = start == std::string_view::npos ? 0 : start + 1;
    end = end == std::string_view::npos ? bytes.size() : end;
    std::string word;
    for (std::size_t k = start; k < end && k < start + 24; ++k) {
        char32_t cp = page.CodePointOf(static_cast<uint8_t>(bytes[k]));
        utf8::Append(word, cp == 0 || cp < 0x20 ? U'?' : cp);
    }
    return word;
}

// A word as said to the operator: without the commas, stops and brackets around it.
std::string WithoutPunctuation(std::string word) {
    auto punctuation = [](char c) {
        return std::string_view(",.;:()\"'").find(c) != std::string_view::npos;
    };
    while (!word.empty() && punctuation(word.back()))
        word.pop_back();
    std::size_t lead = 0;
    while (lead < word.size() && punctuation(word[lead]))
        ++lead;
    return word.substr(lead);
}

std::string Hex(unsigned v) {
    char b[8];
    std::snprintf(b, sizeof b, "0x%02X", v);
    return b;
}

} // namespace

void CodePageScorer::Add(std::string_view bytes) {
    // A whole text that comes again (a town, a province) costs one look.
    if (auto seen = texts_.find(bytes); seen != texts_.end()) {
        Replay(bytes, 0, seen->second);
        return;
    }
    bool high = false, small = false;
    for (char c : bytes) {
        high = high || static_cast<uint8_t>(c) >= 0x80;
        small = small || (c >= 'a' && c <= 'z');
    }
    if (!high) return;
    // A letter in either page is a byte above 127 or an ASCII letter; a byte's weight looks no
    // further than the run of such bytes it stands in and two characters either side. Each run
    // with bytes above 127 is weighed on that stretch alone, and remembered by it: words come
    // again far more often than whole texts.
    auto mayBeLetter = [&](std::size_t k) {
        auto c = static_cast<uint8_t>(bytes[k]);
        return c >= 0x80 || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
    };
    pesosTexto_.clear();
    for (std::size_t i = 0; i < bytes.size();) {
        if (static_cast<uint8_t>(bytes[i]) < 0x80) {
            ++i;
            continue;
        }
        std::size_t start = i, end = i + 1;
        while (start > 0 && mayBeLetter(start - 1))
            --start;
        while (end < bytes.size() && mayBeLetter(end))
            ++end;
        const std::size_t from = start >= 2 ? start - 2 : 0;
        const std::size_t to = std::min(bytes.size(), end + 2);
        WeighStretch(bytes, from, bytes.substr(from, to - from), small);
        i = end;
    }
    Keep(texts_, textsBytes_, bytes, pesosTexto_);
}

// Bounded: a table of distinct texts or words keeps only its first ones.
void CodePageScorer::Keep(Kept& kept, std::size_t& keptBytes, std::string_view key,
                          const std::vector<Peso>& pesos) {
    if (kept.size() < kKept && keptBytes + key.size() <= kBytesKept) {
        keptBytes += key.size();
        kept.emplace(std::string(key), pesos);
    }
}

void CodePageScorer::WeighStretch(std::string_view bytes, std::size_t from,
                                  std::string_view stretch, bool small) {
    clave_.assign(stretch);
    clave_ += small ? 's' : 'S'; // whether the text has small letters bears on capitals
    const std::vector<Peso>* pesos = nullptr;
    if (auto seen = words_.find(std::string_view(clave_)); seen != words_.end())
        pesos = &seen->second;
    else {
        Decode(stretch, Page850(), dos_);
        Decode(stretch, Page1252(), windows_);
        pesos_.clear();
        for (std::size_t k = 0; k < stretch.size(); ++k) {
            if (static_cast<uint8_t>(stretch[k]) < 0x80) continue;
            pesos_.push_back(
                {static_cast<uint32_t>(k), static_cast<int8_t>(Plausibility(dos_, k, small)),
                 static_cast<int8_t>(Plausibility(windows_, k, small)), windows_[k] == 0});
        }
        Keep(words_, wordsBytes_, clave_, pesos_);
        pesos = &pesos_;
    }
    Replay(bytes, from, *pesos);
    for (Peso p : *pesos) {
        p.at += static_cast<uint32_t>(from);
        pesosTexto_.push_back(p);
    }
}

void CodePageScorer::Replay(std::string_view bytes, std::size_t from,
                            const std::vector<Peso>& pesos) {
    for (const Peso& p : pesos) {
        const std::size_t at = from + p.at;
        ++high_;
        if (p.undefined1252 && undefined1252_++ == 0)
            firstUndefined_ = static_cast<uint8_t>(bytes[at]);
        Weigh(bytes, at, p.weight850, p.weight1252);
    }
}

void CodePageScorer::Weigh(std::string_view bytes, std::size_t at, int weight850, int weight1252) {
    int difference = weight1252 - weight850;
    if (difference == 0) return; // reads as well both ways: evidence for neither
    Side& side = difference > 0 ? s1252_ : s850_;
    int weight = difference > 0 ? difference : -difference;
    side.weight += weight;
    const CodePage& page = difference > 0 ? Page1252() : Page850();
    if (weight > side.strongest) {
        side.strongest = weight;
        side.example = WordAround(bytes, at, page);
    }
    // The words are looked for among the first bytes weighed: a table of few distinct words
    // would otherwise look for them to its end.
    if (weight >= kSpanish && side.words.size() < kWordsShown && high_ <= kWordsSought) {
        std::string word = WithoutPunctuation(WordAround(bytes, at, page));
        if (std::find(side.words.begin(), side.words.end(), word) == side.words.end())
            side.words.push_back(std::move(word));
    }
}

bool CodePageScorer::ReadsClearlyBetterIn(int page) const {
    const Side& for_ = page == 1252 ? s1252_ : s850_;
    const Side& against = page == 1252 ? s850_ : s1252_;
    return for_.weight >= kClearEvidence && against.weight * kClearRatio <= for_.weight;
}

CodePageGuess CodePageScorer::Result() const {
    CodePageGuess g;
    g.score850 = s850_.weight;
    g.score1252 = s1252_.weight;
    g.page = s1252_.weight > s850_.weight ? 1252 : 850;
    if (high_ == 0) {
        g.evidence = "el texto no tiene ningún byte por encima de 127, así que se toma la 850, "
                     "la de FacturaPlus para DOS";
        return g;
    }
    if (s850_.weight == 0 && s1252_.weight == 0) {
        g.evidence =
            (high_ == 1 ? std::string("su único byte por encima de 127 se lee")
                        : "sus " + std::to_string(high_) + " bytes por encima de 127 se leen") +
            " igual de bien en las dos páginas, así que se toma la 850, la de "
            "FacturaPlus para DOS";
        return g;
    }
    auto side = [](const Side& s, const char* name) {
        return std::to_string(s.weight) + " a favor de la " + name +
               (s.example.empty() ? "" : " (como «" + s.example + "»)");
    };
    const Side& winner = g.page == 1252 ? s1252_ : s850_;
    const Side& loser = g.page == 1252 ? s850_ : s1252_;
    g.evidence = std::string("los indicios pesan ") +
                 side(winner, g.page == 1252 ? "1252" : "850") + " y " +
                 side(loser, g.page == 1252 ? "850" : "1252");
    if (s850_.weight == s1252_.weight) g.evidence += "; en caso de empate se toma la 850";
    if (undefined1252_ > 0)
        g.evidence += "; " +
                      (undefined1252_ == 1 ? std::string("hay un byte")
                                           : "hay " + std::to_string(undefined1252_) + " bytes") +
                      " que la 1252 no define (" + Hex(firstUndefined_) + ")";
    return g;
}
