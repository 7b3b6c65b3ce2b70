#pragma once
// What both fuzz targets ask of every error they meet: a message in UTF-8, never raw bytes of the
// file it came from.
#include "Utf8.h"

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string_view>

inline void CheckMessage(const std::exception& e) {
    std::string_view m = e.what();
    for (std::size_t i = 0; i < m.size();) {
        char32_t cp = 0;
        if (!utf8::Next(m, i, cp)) { // raw bytes reached a message
            std::fprintf(stderr, "message is not UTF-8: %s\n", e.what());
            std::abort();
        }
    }
}
