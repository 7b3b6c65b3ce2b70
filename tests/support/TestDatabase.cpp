#include "TestDatabase.h"

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <sstream>
#include <stdexcept>
#include <unistd.h>

#ifndef TM_FIXTURES_DIR
#error "TM_FIXTURES_DIR must name tests/fixtures"
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

std::string CreateScript(const std::string& path) {
    return "SET SQL DIALECT 1;\nCREATE DATABASE '" + path +
           "' USER 'SYSDBA' PASSWORD 'quietlamp' PAGE_SIZE 4096;\n";
}

std::string Isql(const std::string& scriptPath, const std::string& database = "") {
    std::string cmd = "isql-fb -q -b -m -ch NONE ";
    if (!database.empty()) cmd += "-sqldialect 1 '" + database + "' ";
    cmd += "-i '" + scriptPath + "' 2>&1";
    return RunCommand(cmd);
}

std::string Template() {
    static std::once_flag once;
    static std::string path;
    std::call_once(once, [] {
        path = (fs::temp_directory_path() / ("tm-template-" + std::to_string(getpid()) + ".fdb"))
                   .string();
        fs::remove(path);
        std::ifstream schema(std::string(TM_FIXTURES_DIR) + "/orvalia.sql");
        std::stringstream text;
        text << CreateScript(path) << schema.rdbuf();
        std::string script = WriteScript(text.str());
        Isql(script);
        fs::remove(script);
        std::atexit([] { fs::remove(path); });
    });
    return path;
}

} // namespace

void CreateFixtureDatabase(const std::string& path) {
    fs::copy_file(Template(), path, fs::copy_options::overwrite_existing);
}

void CreateEmptyDatabase(const std::string& path) {
    std::string script = WriteScript(CreateScript(path) + "COMMIT;\n");
    Isql(script);
    fs::remove(script);
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
