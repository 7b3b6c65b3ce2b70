#pragma once
// The process's locale set to Spanish while the object lives, as the window's toolkit sets it
// from the environment on a Spanish desktop: a decimal comma for the C library's strtod and
// printf. scripts/setup generates the locale; without it the test says so and fails.
#include <gtest/gtest.h>

#include <clocale>
#include <cstdio>
#include <string>

class LocaleEspanol {
public:
    LocaleEspanol() {
        if (const char* antes = std::setlocale(LC_ALL, nullptr)) antes_ = antes;
        activa_ = std::setlocale(LC_ALL, "es_ES.UTF-8") != nullptr;
    }
    ~LocaleEspanol() { std::setlocale(LC_ALL, antes_.c_str()); }
    LocaleEspanol(const LocaleEspanol&) = delete;
    LocaleEspanol& operator=(const LocaleEspanol&) = delete;

    // For ASSERT_TRUE: the locale is in force and writes 0.5 with a comma, as tests expect.
    ::testing::AssertionResult Activa() const {
        if (!activa_)
            return ::testing::AssertionFailure()
                   << "no está la locale es_ES.UTF-8 (scripts/setup la genera con localedef)";
        char b[8];
        std::snprintf(b, sizeof b, "%.1f", 0.5);
        if (std::string(b) != "0,5")
            return ::testing::AssertionFailure() << "la locale es_ES.UTF-8 escribe 0.5 como " << b;
        return ::testing::AssertionSuccess();
    }

private:
    std::string antes_ = "C";
    bool activa_ = false;
};
