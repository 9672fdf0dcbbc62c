// The tables of the embedded lab database, per attached schema.
#pragma once

#include <string>

namespace pcs::embedded {

class Sqlite_Db;

inline constexpr const char* Schema_Version = "1";

// Creates every table, view and index (in one transaction) and the password lookup key.
void Create_Schema(Sqlite_Db& db);

} // namespace pcs::embedded
