#include "Valores.h"

#include <cstdio>
#include <ctime>

Timestamp Timestamp::Now() {
    // A run asks for the time at every record; the local time of a second is worked out once.
    thread_local std::time_t ultimo = -1;
    thread_local Timestamp hora{};
    std::time_t t = std::time(nullptr);
    if (t == ultimo) return hora;
    std::tm local{};
    localtime_r(&t, &local);
    hora = Timestamp{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
                     local.tm_hour,        local.tm_min,     local.tm_sec};
    ultimo = t;
    return hora;
}

std::string Timestamp::ToString() const {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d %02d:%02d:%02d", year, month, day, hour,
                  minute, second);
    return buffer;
}
