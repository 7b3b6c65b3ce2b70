#pragma once
// Reads and writes a target database through a connection of its own, one transaction a call,
// so that tests see only what was committed.
#include "Valores.h"

#include <map>
#include <string>
#include <vector>

using Row = std::map<std::string, Variant>; // by upper-cased column name

std::vector<Row> QueryRows(const std::string& database, const std::string& sql);
void ExecSql(const std::string& database, const std::string& sql);
