#pragma once
// The batch program run as an operator runs it: arguments, environment, its two streams and its
// exit status.
#include "Comprobar.h"
#include "TempDir.h"

#include <cstdlib>
#include <string>
#include <sys/wait.h>
#include <vector>

struct SalidaLote {
    int estado = -1;
    std::string out, err;
};

// `entorno` is put before the command, as VAR=valor words of the shell.
inline SalidaLote EjecutarLote(const std::vector<std::string>& args,
                               const std::vector<std::string>& entorno = {}) {
    TempDir tmp;
    auto comillas = [](const std::string& s) {
        std::string r = "'";
        for (char c : s)
            r += c == '\'' ? std::string("'\\''") : std::string(1, c);
        return r + "'";
    };
    std::string cmd;
    for (const std::string& e : entorno)
        cmd += e.substr(0, e.find('=') + 1) + comillas(e.substr(e.find('=') + 1)) + " ";
    cmd += LOTE;
    for (const std::string& a : args)
        cmd += " " + comillas(a);
    cmd += " >" + tmp.File("out") + " 2>" + tmp.File("err") + " </dev/null";
    int rc = std::system(cmd.c_str());
    return {WIFEXITED(rc) ? WEXITSTATUS(rc) : -1, LeerFichero(tmp.File("out")),
            LeerFichero(tmp.File("err"))};
}
