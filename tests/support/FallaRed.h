#pragma once
// Fills a status vector as a lost network connection does, for tests that make a call fail.
#include <cstdint>
#include <ibase.h>

inline ISC_STATUS FallaRed(ISC_STATUS* st) {
    st[0] = isc_arg_gds;
    st[1] = isc_network_error;
    st[2] = isc_arg_string;
    st[3] = reinterpret_cast<ISC_STATUS>(static_cast<const char*>("servidor"));
    st[4] = isc_arg_end;
    return st[1];
}
