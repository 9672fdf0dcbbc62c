// Typed errors of the records that talk to the lab database, and the helpers that raise them, so a
// screen can catch one family (db::Db_Error) and show the technician a clear alert.
#pragma once

#include "db/database.h"
#include "db/record_set.h"

#include <string>
#include <string_view>

namespace pcs::db {

// A statement that did not run (a failed result set).
class Statement_Failed_Error : public Db_Error {
public:
    explicit Statement_Failed_Error(std::string_view operation)
        : Db_Error("The lab database did not answer " + std::string(operation) +
                   ". Check the connection and try again."),
          operation_(operation) {}
    const std::string& Operation() const noexcept { return operation_; }

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
