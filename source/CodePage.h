#pragma once
// The 8-bit code pages that dBase tables are written in, and their conversion to UTF-8.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

class CodePage {
public:
    // A supported page by number (437, 850, 852, 865, 1252, ...); nullopt for an unknown one.
    static std::optional<CodePage> ByNumber(int number);
    // The page that a dBase language-driver byte (header offset 29) stands for; nullopt for 0
    // (no page recorded) and for bytes that name no page we know.
    static std::optional<CodePage> ForLanguageDriver(uint8_t driver);

    // "850 (DOS)", "1252 (Windows)": a page as messages name it.
    static std::string Name(int number);
    // The numbers of every supported page, for messages: "437, 737, 850, ... y 1254".
    static std::string KnownNames();

    int Number() const { return number_; }
    // Decodes bytes; returns false at a byte the page does not define, setting `bad` to it.
    bool Decode(std::string_view bytes, std::string& utf8, uint8_t& bad) const;
    // Encodes UTF-8 text into the page; nullopt when some character has no byte in it.
    std::optional<std::string> Encode(std::string_view utf8) const;
    // 0 for an undefined byte. Inline: weighing a table's text asks it for every byte.
    char32_t CodePointOf(uint8_t byte) const { return byte < 0x80 ? byte : high_[byte - 0x80]; }

private:
    CodePage(int number, const char32_t* high) : number_(number), high_(high) {}
    int number_;
    const char32_t* high_; // code points of the bytes 0x80..0xFF
};

// How the page of a table without a language-driver byte is judged from its own text, between
// DOS 850 and Windows 1252, the pages Spanish dBase tables are written in. Every byte above 127
// is read both ways, each time with its neighbours, and weighs for the page in which it makes
// Spanish: a letter whose case fits its neighbours' (E9 between lower-case letters is "é", not
// "Ú"), a symbol where Spanish puts one (º after a digit, € by an amount), a line of box
// drawing; and against a page in which it is a symbol inside a word, a box touching letters or a
// byte the page does not define. A byte that reads as well both ways weighs for neither. The
// heavier side wins; a tie, as with text that has no such bytes, is 850, the page of FacturaPlus
// for DOS.
struct CodePageGuess {
    int page = 850;
    long score850 = 0; // weight of the evidence for each page
    long score1252 = 0;
    std::string evidence; // the weights, with an example of each side, said in Spanish
};
class CodePageScorer {
public:
    void Add(std::string_view bytes);
    CodePageGuess Result() const;
    // Whether the text reads much better in `page` (850 or 1252) than in the other: enough
    // evidence for it, and little against. A few accents never make it so.
    bool ReadsClearlyBetterIn(int page) const;
    // A few of the words that weighed for `page`, read in it, in the order they came: at most
    // kWordsShown, from among the first bytes above 127.
    static constexpr std::size_t kWordsShown = 4;
    const std::vector<std::string>& Words(int page) const {
        return page == 1252 ? s1252_.words : s850_.words;
    }

private:
    struct Side {
        long weight = 0;
        int strongest = 0;
        std::string example;            // the word of the strongest of them, read in this page
        std::vector<std::string> words; // distinct words that read as Spanish in this page
    };
    void Weigh(std::string_view bytes, std::size_t at, int weight850, int weight1252);
    // What the bytes above 127 of a text weighed, and of each stretch of it (a word and two
    // characters either side, all a byte's weight depends on, besides whether the text has
    // small letters), kept for when the same text or stretch comes again: towns and provinces
    // repeat from record to record, and words far more. Weighing them again would give the
    // same, so they are given to Weigh as they were, in the same order.
    struct Peso {
        uint32_t at; // within the text or the stretch
        int8_t weight850, weight1252;
        bool undefined1252;
    };
    struct HashTexto {
        using is_transparent = void;
        std::size_t operator()(std::string_view s) const {
            return std::hash<std::string_view>{}(s);
        }
    };
    void WeighStretch(std::string_view bytes, std::size_t from, std::string_view stretch,
                      bool small);
    void Replay(std::string_view bytes, std::size_t from, const std::vector<Peso>& pesos);
    using Kept = std::unordered_map<std::string, std::vector<Peso>, HashTexto, std::equal_to<>>;
    static void Keep(Kept& kept, std::size_t& keptBytes, std::string_view key,
                     const std::vector<Peso>& pesos);
    Kept texts_;
    std::size_t textsBytes_ = 0;
    // By the stretch's bytes and a last one that says whether its text has small letters.
    Kept words_;
    std::size_t wordsBytes_ = 0;
    std::string clave_;
    std::vector<Peso> pesos_, pesosTexto_;
    Side s850_, s1252_;
    long high_ = 0;          // bytes above 127 seen
    long undefined1252_ = 0; // bytes that 1252 does not define
    uint8_t firstUndefined_ = 0;
    std::vector<char32_t> dos_, windows_; // the stretch being weighed, read both ways
};
