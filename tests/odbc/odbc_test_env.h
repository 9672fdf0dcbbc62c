// A data source of the tests' own: odbcinst.ini and odbc.ini in a fresh temporary folder, named to
// unixODBC through ODBCSYSINI and ODBCINI before the first ODBC call of the process.
#pragma once

#include <filesystem>
#include <string>

namespace pcs::test {

struct Odbc_Test_Env {
    std::filesystem::path Folder;  // removed when the tests end
    std::filesystem::path Db_File; // the SQLite file behind the data source
    std::string Dsn = "PCS_TEST";
    // A data source on the tests' scripted driver (timeouts, warnings, several results).
    std::string Scripted_Dsn = "PCS_SCRIPTED";
    std::filesystem::path Scripted_Log; // every statement the scripted driver received

    std::string Connect_String() const { return "DSN=" + Dsn; }
    // A connection string naming the driver and file directly, without the data source.
    std::string Driver_Connect_String() const;
};

// The process's data source (set up by the test program's main).
const Odbc_Test_Env& Odbc_Env();

// Reads a whole text file ("" when it does not exist).
std::string Read_Text(const std::filesystem::path& p);

} // namespace pcs::test
