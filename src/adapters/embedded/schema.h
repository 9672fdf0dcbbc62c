// The tables of the embedded lab database, per attached schema.
#pragma once

#include <string>

namespace pcs::embedded {

class Sqlite_Db;

// 2: the password lookup key moved out of the database files into the key file beside them.
inline constexpr const char* Schema_Version = "2";

// Creates every table, view and index (in one transaction). The password lookup key is the key file's.
void Create_Schema(Sqlite_Db& db);

// The table of READY tests per lab and test group, its triggers and its fill from lab_tracking; the
// script may run again. Create_Schema runs it; an older lab database gets it when opened.
const char* Ready_Counts_Schema_Sql();

} // namespace pcs::embedded
