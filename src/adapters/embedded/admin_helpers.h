// What the administration and the demo seed share. Internal to the embedded adapter.
#pragma once

#include "sqlite_db.h"

#include <string>

namespace pcs::embedded {

// The password lookup key of the database; Admin_Error when it is missing.
std::string Lookup_Key(Sqlite_Db& db);
// Stores an employee's password (unique within the lab) as hashes, replacing the one before.
void Store_Password(Sqlite_Db& db, long long emp, const std::string& lab_code, const std::string& password);
// A lab number as the lab writes it: eight digits, zeros in front.
std::string Lab_Number_Text(long long n);

} // namespace pcs::embedded
