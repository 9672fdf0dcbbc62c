// Typed errors of the records that talk to the lab database, and the helpers that raise them, so a
// screen can catch one family (db::Db_Error) and show the technician a clear alert.
#pragma once

#include "db/database.h"
#include "db/record_set.h"

#include <string>
#include <string_view>
#include <vector>

namespace pcs::db {

// A statement that did not run (a failed result set). The text names the cause the backend gave (a
// file, read-only, a full disk, a lock, a missing key file); only without one, or for a lost
// connection, does it send the technician to the connection.
class Statement_Failed_Error : public Db_Error {
public:
    explicit Statement_Failed_Error(std::string_view operation, const std::vector<Error_Record>& errors = {})
        : Db_Error(Failure_Text(operation, errors)), operation_(operation) {}
    const std::string& Operation() const noexcept { return operation_; }

    static std::string Failure_Text(std::string_view operation, const std::vector<Error_Record>& errors);

private:
    std::string operation_;
};

// An answer of the lab database that the station cannot use (a NULL or malformed key column).
class Lab_Data_Error : public Db_Error {
public:
    using Db_Error::Db_Error;
};

// Open_Recordset that raises Statement_Failed_Error instead of handing back a failed result set; one
// that ran without rows comes back at its end.
Record_Set Open_Checked(Database& db, const std::string& sql, std::string_view operation);

// The field of the current row, or NULL when the statement did not return that column.
Field Optional_Field(const Record_Set& rs, std::string_view name);

} // namespace pcs::db
