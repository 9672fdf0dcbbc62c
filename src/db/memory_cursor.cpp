#include "db/memory_cursor.h"

namespace pcs::db {

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
