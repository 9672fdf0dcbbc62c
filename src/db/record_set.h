// The result set the station's records read: end-of-data, fields by name (any case), NULL test,
// next row and close. It says which of three it was: a statement that answered with a result set (its
// rows may be none), one that ran and answered no result set at all (at its end from the start, with no
// columns), or one that failed (with its error records); a failed one throws Not_Open_Error on its
// first read, as does any set after Close.
#pragma once

#include "db/backend.h"

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace pcs::db {

class Db_Error : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A read on a result set whose statement failed or that was closed.
class Not_Open_Error : public Db_Error {
public:
    Not_Open_Error() : Db_Error("Operation is not allowed when the object is closed.") {}
};

// A field read at the end of the data.
class No_Current_Row_Error : public Db_Error {
public:
    No_Current_Row_Error()
        : Db_Error("Either BOF or EOF is True, or the current record has been deleted. Requested operation "
                   "requires a current record.") {}
};

// A column the statement did not return.
class Column_Not_Found_Error : public Db_Error {
public:
    explicit Column_Not_Found_Error(std::string_view name)
        : Db_Error("Item cannot be found in the collection corresponding to the requested name or ordinal: " +
                   std::string(name)) {}
};

// A NULL where the reader needs a value.
class Null_Field_Error : public Db_Error {
public:
    explicit Null_Field_Error(std::string_view name)
        : Db_Error("Invalid use of Null: " + std::string(name)) {}
};

class Record_Set {
public:
    enum class Outcome { Rows, No_Rows, Failed };

    Record_Set() = default; // failed, with no error records
    Record_Set(std::shared_ptr<Db_Connection> connection, std::unique_ptr<Db_Cursor> cursor);
    static Record_Set Ran_Without_Rows();
    static Record_Set Failed_With(std::vector<Error_Record> errors);
    Record_Set(Record_Set&&) noexcept = default;
    Record_Set& operator=(Record_Set&&) noexcept = default;
    Record_Set(const Record_Set&) = delete;
    Record_Set& operator=(const Record_Set&) = delete;
    ~Record_Set() { Close(); }

    // True while a result set is there to read (never for one that ran without rows or failed).
    bool Is_Open() const noexcept { return cursor_ != nullptr; }
    Outcome Result() const noexcept { return outcome_; }
    bool Failed() const noexcept { return outcome_ == Outcome::Failed; }
    // The error records of a failed statement (none when it failed before reaching the database).
    const std::vector<Error_Record>& Errors() const noexcept { return errors_; }
    bool Eof() const;
    void Move_Next();
    void Close() noexcept;

    bool Has_Column(std::string_view name) const;
    const std::vector<std::string>& Columns() const;

    // The field of the current row; column names match without regard to case.
    const Field& Value(std::string_view name) const;
    bool Is_Null(std::string_view name) const { return !Value(name).has_value(); }
    // The text of the field; Null_Field_Error for NULL.
    std::string Text(std::string_view name) const;
    // The text of the field, or the fallback for NULL.
    std::string Text_Or(std::string_view name, std::string_view fallback) const;
    // Whole-number and number readers (halves to even); Null_Field_Error for NULL,
    // Conversion_Error for a text that is not a number or does not fit.
    int16_t Int16(std::string_view name) const;
    int32_t Int32(std::string_view name) const;
    double Double(std::string_view name) const;

private:
    size_t Column_Index(std::string_view name) const;
    std::optional<size_t> Find_Column(std::string_view name) const;
    void Require_Open() const;

    std::unique_ptr<Db_Cursor> cursor_; // declared after nothing it depends on; destroyed first
    std::shared_ptr<Db_Connection> connection_;
    bool eof_ = true;
    Outcome outcome_ = Outcome::Failed;
    std::vector<Error_Record> errors_;
    // Each name asked for and its column: a loop over the rows asks the same few names of every row.
    mutable std::vector<std::pair<std::string, std::optional<size_t>>> found_;
};

} // namespace pcs::db
