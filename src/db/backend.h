// The port between the station's database layer and a concrete database: the lab's SQL server over
// ODBC in production, the embedded lab database for demonstration, training and tests.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace pcs::db {

// The error number that marks a statement as timed out (0x80040E31).
inline constexpr int32_t Timeout_Error_Number = -2147217871;
// The native error of a timeout the server met waiting for a lock, before the statement ran: running
// it again cannot store anything twice.
inline constexpr int32_t Lock_Timeout_Native_Error = 1222;

// One diagnostic record of a connection.
struct Error_Record {
    int32_t Number = 0;      // nonzero for errors and warnings the technician must see
    std::string Description; // as the driver or server words it
    std::string Sql_State;   // five characters, "" when the source has none
    int32_t Native_Error = 0;
};

// A field is NULL or a text.
using Field = std::optional<std::string>;

// The rows of one statement, read forward. Valid as long as the connection that made it.
class Db_Cursor {
public:
    virtual ~Db_Cursor() = default;
    virtual const std::vector<std::string>& Columns() const = 0;
    // Moves to the next row (the first on the first call); false at the end of the data.
    virtual bool Fetch() = 0;
    // A field of the current row.
    virtual const Field& Value(size_t column) const = 0;
};

struct Exec_Outcome {
    bool Ok = false;                  // the statement ran
    std::unique_ptr<Db_Cursor> Rows;  // its first result set; null when it returned none
    std::vector<Error_Record> Errors; // errors on failure; warnings and messages on success
};

struct Connect_Options {
    int Command_Timeout_S = 20;
    int Connection_Timeout_S = 300;
};

// The data source cannot be reached or refuses the connection.
class Connect_Error : public std::runtime_error {
public:
    Connect_Error(const std::string& what, std::vector<Error_Record> records = {})
        : std::runtime_error(what), records_(std::move(records)) {}
    const std::vector<Error_Record>& Records() const noexcept { return records_; }

private:
    std::vector<Error_Record> records_;
};

class Db_Connection {
public:
    virtual ~Db_Connection() = default;
    // Runs one statement text. Never throws for a statement the database rejects: that is an
    // outcome with Ok false and its error records.
    virtual Exec_Outcome Execute(const std::string& sql) = 0;
};

class Db_Backend {
public:
    virtual ~Db_Backend() = default;
    // Opens a connection; throws Connect_Error when it cannot.
    virtual std::unique_ptr<Db_Connection> Connect(const std::string& connect_string,
                                                   const Connect_Options& options) = 0;
    // Damage found in the stored data the string names, in words for the technician (never the string
    // itself); nullopt when sound or when the backend cannot look (a server checks its own files).
    // Throws Connect_Error when the data source cannot be reached.
    virtual std::optional<std::string> Check_Damage(const std::string& connect_string) {
        (void)connect_string;
        return std::nullopt;
    }
    // Readies what the first statements will want, on any thread, alongside other calls; a backend
    // with nothing to ready does nothing. Never throws: a failure here is met by the statements.
    virtual void Warm_Up(const std::string& connect_string) noexcept { (void)connect_string; }
};

} // namespace pcs::db
