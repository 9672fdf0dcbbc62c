// Rows held in memory behind the cursor port: a result set that can be read again from its first row
// or walked in an order of the station's choosing.
#pragma once

#include "db/backend.h"
#include "db/record_set.h"

#include <string>
#include <vector>

namespace pcs::db {

struct Memory_Table {
    std::vector<std::string> Columns;
    std::vector<std::vector<Field>> Rows;
};

class Memory_Cursor : public Db_Cursor {
public:
    explicit Memory_Cursor(Memory_Table t) : table_(std::move(t)) {}
    const std::vector<std::string>& Columns() const override { return table_.Columns; }
    bool Fetch() override {
        if (next_ <= table_.Rows.size()) row_ = next_++;
        return row_ < table_.Rows.size();
    }
    const Field& Value(size_t column) const override { return table_.Rows.at(row_).at(column); }

private:
    Memory_Table table_;
    size_t row_ = 0;  // the current row; Rows.size() at the end
    size_t next_ = 0; // the row the next Fetch moves to
};

// Every row of a cursor read now (where its statement ran: behind a wait, off the screen's thread), given
// back in order; a row that could not be read fails again, as it did, when the reader reaches it.
std::unique_ptr<Db_Cursor> Read_Ahead(std::unique_ptr<Db_Cursor> cursor);

// Reads the rows of an open result set from its current row to the end; the set is left at its end.
Memory_Table Read_Rest(Record_Set& rs);

// An open result set over the table, on its first row.
Record_Set Record_Set_Of(Memory_Table table);

} // namespace pcs::db
