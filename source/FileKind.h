#pragma once
// What a path names, for a table that must be a regular file: a pipe, a device or a broken
// link named like a table is refused with what it is, before anything tries to read it.
#include <string>
#include <sys/types.h>

// "" for a regular file (or a link to one); otherwise why it cannot be read as a table, in
// Spanish: "no es un fichero normal: es una tubería (FIFO)", "es un enlace roto ...". Never
// opens the path, so that a FIFO or a device cannot block or be disturbed.
std::string NotARegularFile(const std::string& path);

// The kind of a file that is not a regular one, as said in those messages.
std::string NonRegularKind(mode_t mode);

// A system error number said in Spanish, whatever the process's locale: the common ones by
// name, any other with the system's text and its number.
std::string SystemError(int error);
