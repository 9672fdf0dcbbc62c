#include "db/record_set.h"

#include "common/text.h"

namespace pcs::db {

Record_Set::Record_Set(std::shared_ptr<Db_Connection> connection, std::unique_ptr<Db_Cursor> cursor)
    : cursor_(std::move(cursor)), connection_(std::move(connection)) {
    if (cursor_) eof_ = !cursor_->Fetch();
    outcome_ = cursor_ ? Outcome::Rows : Outcome::No_Rows;
}

Record_Set Record_Set::Ran_Without_Rows() {
    Record_Set rs;
    rs.outcome_ = Outcome::No_Rows;
    return rs;
}

Record_Set Record_Set::Failed_With(std::vector<Error_Record> errors) {
    Record_Set rs;
    rs.errors_ = std::move(errors);
    return rs;
}

void Record_Set::Require_Open() const {
    if (!cursor_) throw Not_Open_Error();
}

bool Record_Set::Eof() const {
    if (outcome_ == Outcome::No_Rows) return true;
    Require_Open();
    return eof_;
}

void Record_Set::Move_Next() {
    if (outcome_ == Outcome::No_Rows) throw No_Current_Row_Error();
    Require_Open();
    if (eof_) throw No_Current_Row_Error();
    eof_ = !cursor_->Fetch();
}

void Record_Set::Close() noexcept {
    // The cursor belongs to the connection: release it first.
    cursor_.reset();
    connection_.reset();
    eof_ = true;
}

const std::vector<std::string>& Record_Set::Columns() const {
    static const std::vector<std::string> none;
    if (outcome_ == Outcome::No_Rows) return none;
    Require_Open();
    return cursor_->Columns();
}

std::optional<size_t> Record_Set::Find_Column(std::string_view name) const {
    const auto& cols = Columns();
    for (const auto& [asked, at] : found_)
        if (asked == name) return at;
    std::optional<size_t> at;
    for (size_t i = 0; i < cols.size() && !at; ++i)
        if (Equals_No_Case(cols[i], name)) at = i;
    found_.emplace_back(std::string(name), at);
    return at;
}

size_t Record_Set::Column_Index(std::string_view name) const {
    if (std::optional<size_t> at = Find_Column(name)) return *at;
    throw Column_Not_Found_Error(name);
}

bool Record_Set::Has_Column(std::string_view name) const {
    return Find_Column(name).has_value();
}

const Field& Record_Set::Value(std::string_view name) const {
    size_t i = Column_Index(name);
    if (eof_) throw No_Current_Row_Error();
    return cursor_->Value(i);
}

std::string Record_Set::Text(std::string_view name) const {
    const Field& f = Value(name);
    if (!f) throw Null_Field_Error(name);
    return *f;
}

std::string Record_Set::Text_Or(std::string_view name, std::string_view fallback) const {
    const Field& f = Value(name);
    return f ? *f : std::string(fallback);
}

int16_t Record_Set::Int16(std::string_view name) const {
    return To_Int16(Text(name));
}
int32_t Record_Set::Int32(std::string_view name) const {
    return To_Int32(Text(name));
}
double Record_Set::Double(std::string_view name) const {
    return To_Double(Text(name));
}

} // namespace pcs::db
