#include "db/memory_cursor.h"

#include <exception>
#include <memory>

namespace pcs::db {

namespace {

class Read_Ahead_Cursor final : public Db_Cursor {
public:
    explicit Read_Ahead_Cursor(Db_Cursor& from) : columns_(from.Columns()) {
        try {
            while (from.Fetch()) {
                std::vector<Field> row;
                row.reserve(columns_.size());
                for (size_t c = 0; c < columns_.size(); ++c)
                    row.push_back(from.Value(c));
                rows_.push_back(std::move(row));
            }
        } catch (...) {
            failure_ = std::current_exception();
        }
    }
    const std::vector<std::string>& Columns() const override { return columns_; }
    bool Fetch() override {
        if (next_ < rows_.size()) {
            row_ = next_++;
            return true;
        }
        row_ = rows_.size();
        if (failure_) std::rethrow_exception(failure_);
        return false;
    }
    const Field& Value(size_t column) const override { return rows_.at(row_).at(column); }

private:
    std::vector<std::string> columns_;
    std::vector<std::vector<Field>> rows_;
    std::exception_ptr failure_;
    size_t row_ = 0;
    size_t next_ = 0;
};

} // namespace

std::unique_ptr<Db_Cursor> Read_Ahead(std::unique_ptr<Db_Cursor> cursor) {
    if (!cursor) return cursor;
    return std::make_unique<Read_Ahead_Cursor>(*cursor);
}

Memory_Table Read_Rest(Record_Set& rs) {
    Memory_Table t;
    t.Columns = rs.Columns();
    while (!rs.Eof()) {
        std::vector<Field> row;
        row.reserve(t.Columns.size());
        for (const auto& c : t.Columns)
            row.push_back(rs.Value(c));
        t.Rows.push_back(std::move(row));
        rs.Move_Next();
    }
    return t;
}

Record_Set Record_Set_Of(Memory_Table table) {
    return Record_Set(nullptr, std::make_unique<Memory_Cursor>(std::move(table)));
}

} // namespace pcs::db
