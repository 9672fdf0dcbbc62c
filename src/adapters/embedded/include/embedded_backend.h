// The embedded lab database: a SQLite file set (the lab database with labrack, sop and hadel attached)
// that answers the station's statement texts as the lab's SQL server would, stored procedures
// included. For demonstration, training, tests and a bench without the server.
//
// Connection string: "EMBEDDED=<path of the lab database file>", for example
// "EMBEDDED=/opt/pcstation/lab.db". The attached schemas live beside it as lab.labrack.db,
// lab.sop.db and lab.hadel.db. `labdb create` makes the file set.
#pragma once

#include "db/backend.h"

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace pcs::embedded {

inline constexpr std::string_view Connect_Prefix = "EMBEDDED=";
// The embedded lab database the station falls back to, in the program's folder.
inline constexpr const char* Fallback_File_Name = "lab.db";

// True when the connection string names an embedded lab database.
bool Is_Embedded_Connect_String(std::string_view connect_string);
// The lab database file a connection string names; throws db::Connect_Error for any other string.
std::filesystem::path Embedded_Path(std::string_view connect_string);
std::string Embedded_Connect_String(const std::filesystem::path& lab_file);

// The error numbers the station shows for the embedded database's records (the same as for the lab's
// server through ODBC, by SQLSTATE).
int32_t Error_Number_For(std::string_view sql_state);

class Embedded_Backend : public db::Db_Backend {
public:
    Embedded_Backend();
    ~Embedded_Backend() override;
    Embedded_Backend(const Embedded_Backend&) = delete;
    Embedded_Backend& operator=(const Embedded_Backend&) = delete;

    // Opens the file set the string names (the command timeout is the wait for a lock). Throws
    // db::Connect_Error when a file is missing, cannot be opened or is not a lab database.
    // Connections closed by their user are kept for the next call, as an ODBC driver manager pools them.
    std::unique_ptr<db::Db_Connection> Connect(const std::string& connect_string,
                                               const db::Connect_Options& options) override;
    // An integrity check of the whole file set (it reads every page: once at start, not per statement):
    // what is damaged, in words for the technician; nullopt when sound. Throws db::Connect_Error when the
    // file set cannot be reached.
    std::optional<std::string> Check_Damage(const std::string& connect_string) override;
    // Counts the outstanding tests of every rack (the racks' summary), so that the first list answers
    // at once.
    void Warm_Up(const std::string& connect_string) noexcept override;

    // How long a statement waits for another process's lock before it fails with the timeout number
    // (and is retried by the database layer). By default the command timeout.
    void Set_Lock_Wait_Ms(std::optional<int> ms) { lock_wait_ms_ = ms; }

    struct Pool;

private:
    std::unique_ptr<db::Db_Connection> Open(const std::string& connect_string,
                                            const db::Connect_Options& options);

    std::shared_ptr<Pool> pool_;
    std::optional<int> lock_wait_ms_;
};

} // namespace pcs::embedded
