// The production database backend: the lab's SQL server through an ODBC data source (unixODBC).
// Vendor headers stay in the .cpp so that callers need nothing but the station's own port.
#pragma once

#include "db/backend.h"
#include "db/error_numbers.h"
#include "db/record_set.h"

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace pcs::odbc {

// A row of the result could not be read (for example the server broke off during the fetch).
// Carries the driver's diagnostic records.
class Odbc_Error : public db::Db_Error {
public:
    Odbc_Error(const std::string& what, std::vector<db::Error_Record> records)
        : db::Db_Error(what), records_(std::move(records)) {}
    const std::vector<db::Error_Record>& Records() const noexcept { return records_; }

private:
    std::vector<db::Error_Record> records_;
};

// The station's error number for one diagnostic record (the numbers are in db/error_numbers.h):
//   HYT00, HYT01, S1T00 (timeout)                    Timeout_Error_Number, retried by Database
//   class 01 (warnings on a statement that ran):
//     native error 0, 5701, 5703 (plain messages,     0, informational, never shown
//     changed database context or language)
//     any other native error                          the native error (e.g. 50000 for a RAISERROR)
//     no native error on a warning other than 01000   Warning_Number
//   errors:
//     class 28 (invalid authorization)                Authorization_Error_Number
//     class 08 and IM (connection, driver manager)    Connection_Error_Number
//     42S02 (table or view not found)                 Table_Not_Found_Error_Number
//     class 23 (integrity constraint)                 Integrity_Error_Number
//     anything else (syntax, general error, ...)     Command_Error_Number
// The SQLSTATE and the native error stay in the record beside the number.
int32_t Error_Number(std::string_view sql_state, int32_t native_error);

// Opens connections with SQLDriverConnect on the connection string (no prompt). Each statement runs
// on a statement handle of its own with the command timeout as query timeout; the login timeout is
// the connection timeout. Every column is read as text (NULL kept apart), the first result set of a
// statement is its rows, and a statement without one (an update) answers Rows = null. Warnings
// attached to the statement itself travel in the outcome's Errors; those of the login are dropped
// (a SQL server greets every login with "Changed database context").
class Odbc_Backend : public db::Db_Backend {
public:
    Odbc_Backend();
    ~Odbc_Backend() override;
    Odbc_Backend(const Odbc_Backend&) = delete;
    Odbc_Backend& operator=(const Odbc_Backend&) = delete;

    // Throws db::Connect_Error with the driver manager's and driver's records when it cannot connect.
    std::unique_ptr<db::Db_Connection> Connect(const std::string& connect_string,
                                               const db::Connect_Options& options) override;

    struct Environment;

private:
    // Made on the first connection, so that ODBCSYSINI/ODBCINI set before it are honoured.
    // Connections are opened on the screens' worker threads: the first makes the environment.
    std::mutex env_lock_;
    std::shared_ptr<Environment> env_;
};

} // namespace pcs::odbc
