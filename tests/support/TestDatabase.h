#pragma once
// Fresh embedded target databases made from the fixture schema, one per test.
#include <string>

// Makes `path` a copy of the database the build makes from tests/fixtures/orvalia.sql.
void CreateFixtureDatabase(const std::string& path);

// Runs SQL through isql-fb against a database that no object of this process holds open;
// returns what isql printed. Throws when isql reports an error.
std::string RunIsql(const std::string& database, const std::string& sql);
