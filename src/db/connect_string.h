// The connection string the station opens the lab database with.
#pragma once

#include <string>

namespace pcs::db {

// The station's own data source, used when the site does not name another.
inline constexpr const char* Station_Connect_Default =
    "DSN=DARNWELL_ZVK_NT_005_ODBC;DATABASE=lab;UID=darnwell;PWD=xk4417pd;QuotedID=No";

// Names the site's connection string, so no site has to keep its password in the program.
inline constexpr const char* Connect_Variable = "PCSTATION_CONNECT";

// PCSTATION_CONNECT when it is set and not blank, the built-in default otherwise. The login screen's
// load and a new rack object store this in Globals::Connect_String.
std::string Station_Connect_String();

} // namespace pcs::db
