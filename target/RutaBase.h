#pragma once
// What a database name says: a file opened in process, or a server and the path it knows the
// file by ("host:/path", "host/port:/path", "[ipv6]:/path", "inet://host/path").
#include <string>

struct RutaBase {
    std::string servidor; // empty for a file opened in process
    std::string fichero;  // the path, as the process that opens the file knows it
    // Whether the file is on this machine: opened in process, or through a server reached by a
    // loopback address or by this machine's own name.
    bool EnEstaMaquina() const;
};

RutaBase AnalizarRuta(const std::string& nombre);
