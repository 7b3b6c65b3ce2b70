#include "TestDatabase.h"

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <sstream>
#include <stdexcept>
#include <unistd.h>

#ifndef TM_TEMPLATE_DB
#error "TM_TEMPLATE_DB must name the fixture database the build makes"
#endif

namespace fs = std::filesystem;

namespace {

std::string RunCommand(const std::string& command) {
    std::string salida;
    FILE* p = popen(command.c_str(), "r");
    if (!p) throw std::runtime_error("cannot run " + command);
    std::array<char, 4096> buffer;
    std::size_t n;
    while ((n = fread(buffer.data(), 1, buffer.size(), p)) > 0)
        salida.append(buffer.data(), n);
    int rc = pclose(p);
    if (rc != 0) throw std::runtime_error(command + " failed:\n" + salida);
    return salida;
}

std::string WriteScript(const std::string& text) {
    std::string path = (fs::temp_directory_path() / ("tm-isql-" + std::to_string(getpid()) + "-" +
                                                     std::to_string(std::rand()) + ".sql"))
                           .string();
    std::ofstream(path) << text;
    return path;
}

std::string Isql(const std::string& scriptPath, const std::string& database = "") {
    std::string cmd = "isql-fb -q -b -m -ch NONE ";
    if (!database.empty()) cmd += "-sqldialect 1 '" + database + "' ";
    cmd += "-i '" + scriptPath + "' 2>&1";
    return RunCommand(cmd);
}

} // namespace

void CreateFixtureDatabase(const std::string& path) {
    // Built by the build from tests/fixtures/orvalia.sql; copying is much cheaper than isql.
    fs::copy_file(TM_TEMPLATE_DB, path, fs::copy_options::overwrite_existing);
}

std::string RunIsql(const std::string& database, const std::string& sql) {
    std::string script = WriteScript(sql + "\n");
    std::string out;
    try {
        out = Isql(script, database);
    } catch (...) {
        fs::remove(script);
        throw;
    }
    fs::remove(script);
    if (out.find("Statement failed") != std::string::npos) throw std::runtime_error(out);
    return out;
}
