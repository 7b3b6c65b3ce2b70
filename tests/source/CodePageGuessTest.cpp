// The code page of tables whose header names none, judged from their text: a corpus of Spanish
// business text written in DOS 850 and in Windows 1252, as single records, in capitals, in
// small tables and whole, must all be read in the page they were written in.
#include "DbfTable.h"
#include "DbfWriter.h"
#include "TempDir.h"
#include "Utf8.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>

namespace {

struct Text {
    std::string utf8;
    bool mayTieAlone = false; // marked '~ ': alone, it reads as Spanish in both pages
};

std::vector<Text> Corpus() {
    std::ifstream in(std::string(TM_SOURCE_TESTS_DIR) + "/corpus/textos-espanoles.txt");
    std::vector<Text> lines;
    for (std::string line; std::getline(in, line);) {
        if (line.empty() || line[0] == '#') continue;
        bool tie = line.rfind("~ ", 0) == 0;
        lines.push_back({tie ? line.substr(2) : line, tie});
    }
    return lines;
}

// Capitals as a Spanish keyboard writes them: "Muñoz" -> "MUÑOZ", "Mª" stays.
std::string Capitals(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size();) {
        char32_t cp = 0;
        if (!utf8::Next(text, i, cp)) throw std::runtime_error("corpus is not UTF-8: " + text);
        if (cp >= 'a' && cp <= 'z') cp -= 0x20;
        if (cp >= 0xE0 && cp <= 0xFE && cp != 0xF7) cp -= 0x20;
        utf8::Append(out, cp);
    }
    return out;
}

std::optional<std::string> InPage(int page, const std::string& utf8) {
    return CodePage::ByNumber(page)->Encode(utf8);
}

bool HasHighBytes(const std::vector<std::string>& records) {
    for (const std::string& r : records)
        for (char c : r)
            if (static_cast<unsigned char>(c) >= 0x80) return true;
    return false;
}

// The rule the engine used before: Spanish letters counted in each page, byte E9 for both, and
// 1252 only when it had at least twice the count of 850.
int OldGuess(const std::vector<std::string>& records) {
    const std::string_view dos = "\xA4\xA5\xA0\x82\xA1\xA2\xA3\x81\x87\xA7\xA6\xB5\x90\xD6\xE0\xE9"
                                 "\x9A\x80";
    const std::string_view windows = "\xF1\xD1\xE1\xE9\xED\xF3\xFA\xFC\xE7\xBA\xAA\xC1\xC9\xCD\xD3"
                                     "\xDA\xDC\xC7";
    long s850 = 0, s1252 = 0;
    for (const std::string& r : records)
        for (char c : r) {
            if (static_cast<unsigned char>(c) < 0x80) continue;
            s850 += dos.find(c) != std::string_view::npos;
            s1252 += windows.find(c) != std::string_view::npos;
        }
    return s1252 > 0 && s1252 >= 2 * s850 ? 1252 : 850;
}

struct Sample {
    std::string what;                 // for the failure list
    int page;                         // the page it was written in
    bool mayTie;                      // a lone text marked '~ '
    std::vector<std::string> utf8;    // the texts
    std::vector<std::string> records; // the same in the page's bytes
};

// Each text alone, groups of seven neighbours (the corpus is ordered by kind), and the whole
// corpus; each as written and in capitals, in every page that can hold it.
std::vector<Sample> Samples(const std::vector<Text>& corpus) {
    std::vector<Sample> out;
    auto add = [&](const std::string& what, int page, const std::vector<std::string>& texts,
                   bool mayTie = false) {
        Sample s{what, page, mayTie, {}, {}};
        for (const std::string& t : texts)
            if (auto b = InPage(page, t)) {
                s.utf8.push_back(t);
                s.records.push_back(*b);
            }
        if (HasHighBytes(s.records)) out.push_back(std::move(s)); // ASCII reads alike in both
    };
    for (bool capitals : {false, true}) {
        std::vector<std::string> texts;
        for (const Text& t : corpus)
            texts.push_back(capitals ? Capitals(t.utf8) : t.utf8);
        for (int page : {850, 1252}) {
            std::string tag = std::to_string(page) + (capitals ? " mayúsculas" : "");
            for (std::size_t i = 0; i < texts.size(); ++i)
                add(tag + " «" + texts[i] + "»", page, {texts[i]}, corpus[i].mayTieAlone);
            for (std::size_t i = 0; i < texts.size(); i += 7) {
                std::vector<std::string> group(texts.begin() + i,
                                               texts.begin() + std::min(i + 7, texts.size()));
                add(tag + " grupo desde «" + group.front() + "»", page, group);
            }
            add(tag + " corpus entero", page, texts);
        }
    }
    return out;
}

TEST(CodePageGuessTest, SpanishCorpusIsReadInThePageItWasWrittenIn) {
    std::vector<Text> corpus = Corpus();
    ASSERT_GE(corpus.size(), 400u) << "corpus not found in " << TM_SOURCE_TESTS_DIR;
    TempDir dir;
    std::string path = dir.File("sin-pagina.dbf");
    int rightBefore = 0, rightNow = 0, total = 0, ties = 0;
    std::vector<std::string> wrong;
    for (const Sample& s : Samples(corpus)) {
        DbfWriter w({{"CTEXTO", 'C', 100}});
        w.languageDriver = 0;
        for (const std::string& r : s.records)
            w.Add({r});
        w.Write(path);
        DbfTable t(path);
        ++total;
        rightBefore += OldGuess(s.records) == s.page;
        if (t.Page().Number() != s.page) {
            bool tie = t.PageReason().find("igual de bien") != std::string::npos;
            if (s.mayTie && tie)
                ++ties;
            else
                wrong.push_back(s.what + " -> " + t.PageReason());
            continue;
        }
        ++rightNow;
        for (uint32_t r = 0; r < t.RecordCount(); ++r)
            ASSERT_EQ(t.Text(r, 0), s.utf8[r]) << s.what;
    }
    std::printf("[ páginas  ] tablas sin byte de idioma leídas en su página: antes %d de %d "
                "(%.2f %%), ahora %d de %d (%.2f %%); %d textos sueltos que se leen igual en "
                "las dos quedan en la 850 y lo dicen\n",
                rightBefore, total, 100.0 * rightBefore / total, rightNow, total,
                100.0 * rightNow / total, ties);
    RecordProperty("acertadas_antes", rightBefore);
    RecordProperty("acertadas_ahora", rightNow);
    RecordProperty("tablas", total);
    EXPECT_GT(total, 1600);
    std::string list;
    for (std::size_t i = 0; i < wrong.size() && i < 40; ++i)
        list += "\n  " + wrong[i];
    EXPECT_TRUE(wrong.empty()) << wrong.size() << " tables read in the wrong page:" << list;
}

// The same corpus in tables whose header names a page: labelled right, no table is ever suspect;
// labelled wrong, the header's page is kept, and a table with enough text is told about.
TEST(CodePageGuessTest, LabelledTablesAreSuspectOnlyWhenTheTextSaysSoClearly) {
    std::vector<Text> corpus = Corpus();
    ASSERT_GE(corpus.size(), 400u) << "corpus not found in " << TM_SOURCE_TESTS_DIR;
    TempDir dir;
    std::string path = dir.File("con-pagina.dbf");
    int total = 0, wrongLabels = 0, told = 0, groups = 0, groupsTold = 0;
    std::vector<std::string> falseAlarms, missedWholes;
    for (const Sample& s : Samples(corpus)) {
        for (bool rightLabel : {true, false}) {
            int label = rightLabel == (s.page == 850) ? 850 : 1252;
            DbfWriter w({{"CTEXTO", 'C', 100}});
            w.languageDriver = label == 850 ? 0x02 : 0x03;
            for (const std::string& r : s.records)
                w.Add({r});
            w.Write(path);
            DbfTable t(path);
            ++total;
            ASSERT_EQ(t.Page().Number(), label) << s.what << ": never read otherwise";
            bool suspect = !t.PageWarning().empty();
            if (rightLabel) {
                if (suspect) falseAlarms.push_back(s.what + " -> " + t.PageWarning());
                continue;
            }
            ++wrongLabels;
            told += suspect;
            if (s.what.find(" grupo desde ") != std::string::npos) {
                ++groups;
                groupsTold += suspect;
            }
            if (s.what.find("corpus entero") != std::string::npos && !suspect)
                missedWholes.push_back(s.what);
            if (suspect) {
                EXPECT_NE(t.PageWarning().find("pero el texto se lee mucho mejor como " +
                                               CodePage::Name(s.page)),
                          std::string::npos)
                    << t.PageWarning();
            }
        }
    }
    std::printf("[ páginas  ] tablas con byte de idioma: %d; bien etiquetadas y avisadas: %zu; "
                "mal etiquetadas y avisadas: %d de %d (grupos de siete textos: %d de %d)\n",
                total, falseAlarms.size(), told, wrongLabels, groupsTold, groups);
    std::string list;
    for (std::size_t i = 0; i < falseAlarms.size() && i < 20; ++i)
        list += "\n  " + falseAlarms[i];
    EXPECT_TRUE(falseAlarms.empty()) << falseAlarms.size() << " right labels suspected:" << list;
    EXPECT_TRUE(missedWholes.empty()) << "the whole corpus under the wrong label, not told";
    EXPECT_GE(groupsTold * 20, groups * 11) << "most groups of seven texts under the wrong label";
}

// The faults seen in the field, each as a small table, with the reason the operator reads.
TEST(CodePageGuessTest, TheCasesSeenInTheFieldAndTheirReasons) {
    struct Case {
        const char* name;
        int page;
        std::vector<std::string> texts;
        std::vector<std::string> inReason;
    } cases[] = {
        {"1252 names where é outnumbers the rest",
         1252,
         {"José Pérez", "Martín", "Ibáñez", "Precio 12 €", "Café René"},
         {"página de códigos 1252 (Windows) deducida del texto",
          "la cabecera no indica ninguna (byte de idioma 0)", "a favor de la 1252 (como «"}},
        {"850 with a box-drawing rule", 850, {"Muñoz", "════════════"}, {"850 (DOS)"}},
        {"1252 capitals MUÑOZ", 1252, {"MUÑOZ"}, {"1252 (Windows)", "«MUÑOZ»"}},
        {"1252 capitals PEÑA", 1252, {"PEÑA"}, {}},
        {"1252 capitals CAÑADA", 1252, {"CAÑADA"}, {}},
        {"850 capitals MUÑOZ", 850, {"MUÑOZ"}, {"«MUÑOZ»"}},
        {"850 capitals PEÑA", 850, {"PEÑA"}, {}},
        {"850 capitals CAÑADA", 850, {"CAÑADA"}, {}},
        {"850 É, which 1252 does not define", 850, {"JOSÉ"}, {"que la 1252 no define (0x90)"}},
        {"ASCII only", 850, {"GARCIA", "Calle Mayor 5"}, {"no tiene ningún byte por encima"}},
        {"a word that reads as Spanish in both", 850, {"Úbeda"}, {"igual de bien"}},
    };
    TempDir dir;
    for (const Case& c : cases) {
        DbfWriter w({{"CTEXTO", 'C', 40}});
        w.languageDriver = 0;
        for (const std::string& t : c.texts)
            w.Add({*InPage(c.page, t)});
        w.Write(dir.File("caso.dbf"));
        DbfTable t(dir.File("caso.dbf"));
        EXPECT_EQ(t.Page().Number(), c.page) << c.name << ": " << t.PageReason();
        for (uint32_t r = 0; r < t.RecordCount(); ++r)
            EXPECT_EQ(t.Text(r, 0), c.texts[r]) << c.name;
        for (const std::string& part : c.inReason)
            EXPECT_NE(t.PageReason().find(part), std::string::npos)
                << c.name << ": " << t.PageReason();
    }

    // With the byte present, the reason names it and nothing is guessed.
    DbfWriter w({{"CTEXTO", 'C', 10}});
    w.languageDriver = 0x02;
    w.Add({Cp850("Muñoz")});
    w.Write(dir.File("con.dbf"));
    EXPECT_EQ(DbfTable(dir.File("con.dbf")).PageReason(),
              "página de códigos 850 (DOS), por el byte de idioma 0x02 de la cabecera");
}

} // namespace

// A text that comes again is weighed from what it weighed the first time: every time it comes it
// must count as much, in any order, and past the texts kept as well as within them.
TEST(CodePageGuessTest, ATextThatComesAgainWeighsEveryTime) {
    const std::string pena = "Pe\xA4"
                             "a",
                      nino = "Ni\xA4o peque\xA4o"; // ñ in 850
    auto weights = [](const std::vector<std::string>& texts) {
        CodePageScorer s;
        for (const std::string& t : texts)
            s.Add(t);
        CodePageGuess g = s.Result();
        return std::pair{g.score850, g.score1252};
    };
    auto [p850, p1252] = weights({pena});
    auto [n850, n1252] = weights({nino});
    ASSERT_GT(p850, 0);
    EXPECT_EQ(weights({pena, nino, pena, pena, nino}),
              std::pair(3 * p850 + 2 * n850, 3 * p1252 + 2 * n1252));
    std::vector<std::string> distinct;
    for (int i = 0; i < 6000; ++i)
        distinct.push_back(pena + " " + std::to_string(100000 + i));
    std::vector<std::string> twice = distinct;
    twice.insert(twice.end(), distinct.begin(), distinct.end());
    EXPECT_EQ(weights(twice), std::pair(12000 * p850, 12000 * p1252));

    // Five Spanish letters are the least that make a labelled table suspect: five records of
    // one word do, as five different words would.
    TempDir dir;
    for (int veces : {1, 5}) {
        DbfWriter w({{"CTEXTO", 'C', 20}});
        w.languageDriver = 0x03; // 1252
        for (int i = 0; i < veces; ++i)
            w.Add({"Peque\xA4o"});
        w.Write(dir.File("t.dbf"));
        DbfTable t(dir.File("t.dbf"));
        EXPECT_EQ(t.PageWarning().empty(), veces == 1) << veces << ": " << t.PageWarning();
    }
}

// A byte is judged by its whole word, however far back the word starts, and by what stands next
// to it; the rest of the text only says whether it has small letters. 0xC1 is Á in 1252 and a
// box-drawing piece in 850, which inside a word weighs -2 there.
TEST(CodePageGuessTest, AByteIsJudgedByItsWholeWordWhereverItStands) {
    auto weights = [](std::initializer_list<std::string_view> texts) {
        CodePageScorer s;
        for (std::string_view t : texts)
            s.Add(t);
        CodePageGuess g = s.Result();
        return std::pair{g.score850, g.score1252};
    };
    // Small letters far back in the word: a Spanish capital (2 against -2).
    EXPECT_EQ(weights({"comida McDON\xC1LD"}), std::pair(0L, 4L));
    EXPECT_EQ(weights({"McDON\xC1LD es comida"}), std::pair(0L, 4L));
    EXPECT_EQ(weights({"comida DON\xC1LDxx"}), std::pair(0L, 4L));
    // A word in capitals in a text with small letters: a possible reading only (1 against -2).
    EXPECT_EQ(weights({"comida DON\xC1LD"}), std::pair(0L, 3L));
    EXPECT_EQ(weights({"comida ABCDEFGHIJKLMNOPQRSTUVWXYZDON\xC1LD"}), std::pair(0L, 3L));
    // The same word with text around it far enough away weighs the same.
    EXPECT_EQ(weights({"12345678  comida McDON\xC1LD  87654321"}), weights({"comida McDON\xC1LD"}));
    // A symbol near a digit two places away: "12 €" (0x80 is € in 1252 and Ç in 850).
    auto [e850, e1252] = weights({"Precio 12 \x80"});
    EXPECT_GT(e1252, 0) << e850;
    EXPECT_EQ(weights({"Precio 12 \x80"}), weights({"xxxxxxxxxxxx Precio 12 \x80  "}));

    // Weighed together, texts weigh what each weighs alone: the same word in a text without
    // small letters is a Spanish capital again, not the possible reading it was in the other.
    EXPECT_EQ(weights({"pide 1 DON\xC1LD", "PIDE 1 DON\xC1LD", "pide 1 DON\xC1LD"}),
              std::pair(0L, 3L + 4L + 3L));
    // And a byte is told at its own place in each text: 0x90, which 1252 leaves undefined.
    CodePageScorer s;
    s.Add("Don JOS\x90 y Don JOS\x90");
    s.Add("JOS\x90");
    EXPECT_NE(s.Result().evidence.find("hay 3 bytes que la 1252 no define (0x90)"),
              std::string::npos)
        << s.Result().evidence;
}
