#pragma once
// The 8-bit code pages that dBase tables are written in, and their conversion to UTF-8.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

class CodePage {
public:
    // A supported page by number (437, 850, 852, 865, 1252, ...); nullopt for an unknown one.
    static std::optional<CodePage> ByNumber(int number);
    // The page that a dBase language-driver byte (header offset 29) stands for; nullopt for 0
    // (no page recorded) and for bytes that name no page we know.
    static std::optional<CodePage> ForLanguageDriver(uint8_t driver);

    int Number() const { return number_; }
    // Decodes bytes; returns false at a byte the page does not define, setting `bad` to it.
    bool Decode(std::string_view bytes, std::string& utf8, uint8_t& bad) const;
    // Encodes UTF-8 text into the page; nullopt when some character has no byte in it.
    std::optional<std::string> Encode(std::string_view utf8) const;
    char32_t CodePointOf(uint8_t byte) const; // 0 for an undefined byte

private:
    CodePage(int number, const char32_t* high) : number_(number), high_(high) {}
    int number_;
    const char32_t* high_; // code points of the bytes 0x80..0xFF
};

// How the page of a table without a language-driver byte is judged from its own text: the
// bytes above 127 of its character fields are counted as the Spanish letters they would be in
// code page 850 and in 1252; 1252 wins only when it scores at least twice as many.
struct CodePageGuess {
    int page = 850;
    long score850 = 0;
    long score1252 = 0;
};
class CodePageScorer {
public:
    void Add(std::string_view bytes);
    CodePageGuess Result() const;

private:
    long s850_ = 0;
    long s1252_ = 0;
};
