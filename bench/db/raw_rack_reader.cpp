#include "raw_rack_reader.h"

#include "procedures.h"

#include <sqlite3.h>

using namespace pcs::embedded;

Raw_Rack_Reader::Raw_Rack_Reader(const std::filesystem::path& lab_file)
    : db_(std::make_unique<Sqlite_Db>(lab_file, 20000)), st_(db_->Prepare(Rack_Tests_Sql_Text())) {}

Raw_Rack_Reader::~Raw_Rack_Reader() = default;

size_t Raw_Rack_Reader::Read(const std::string& rack_desc, const std::string& test_group, size_t& bytes) {
    sqlite3_stmt* st = st_.get();
    sqlite3_reset(st);
    sqlite3_bind_text(st, 1, rack_desc.data(), static_cast<int>(rack_desc.size()), SQLITE_TRANSIENT);
    sqlite3_bind_text(st, 2, test_group.data(), static_cast<int>(test_group.size()), SQLITE_TRANSIENT);
    sqlite3_bind_int(st, 3, 0);
    sqlite3_bind_int(st, 4, 1);
    size_t rows = 0;
    int n = sqlite3_column_count(st);
    while (sqlite3_step(st) == SQLITE_ROW) {
        ++rows;
        for (int c = 0; c < n; ++c) {
            sqlite3_column_text(st, c);
            bytes += static_cast<size_t>(sqlite3_column_bytes(st, c));
        }
    }
    sqlite3_reset(st);
    return rows;
}
