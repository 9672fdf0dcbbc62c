// One backend for every connection string the station may be given: "EMBEDDED=<file>" opens the
// embedded lab database, any other string (an ODBC DSN or driver string) goes to the ODBC backend.
#pragma once

#include "db/backend.h"

#include <filesystem>
#include <memory>
#include <string>

namespace pcs {

class Any_Backend : public db::Db_Backend {
public:
    Any_Backend();
    ~Any_Backend() override;
    Any_Backend(const Any_Backend&) = delete;
    Any_Backend& operator=(const Any_Backend&) = delete;

    std::unique_ptr<db::Db_Connection> Connect(const std::string& connect_string,
                                               const db::Connect_Options& options) override;
    // The embedded lab database is checked; the lab's SQL server checks its own files.
    std::optional<std::string> Check_Damage(const std::string& connect_string) override;
    void Warm_Up(const std::string& connect_string) noexcept override;

private:
    std::unique_ptr<db::Db_Backend> embedded_;
    std::unique_ptr<db::Db_Backend> odbc_; // made on the first ODBC connection
};

// The connection string a call falls back to when Connect_String is empty: the embedded lab database
// file "lab.db" in the program's folder.
std::string Fallback_Connect_String(const std::filesystem::path& program_folder);

// True when the string names the embedded lab database ("EMBEDDED=<file>").
bool Is_Embedded_Connect_String(const std::string& connect_string);

} // namespace pcs
