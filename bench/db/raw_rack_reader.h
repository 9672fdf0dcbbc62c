// Reads a rack's outstanding tests with one prepared SQLite statement and nothing else: the baseline
// the database layer is measured against.
#pragma once

#include "sqlite_db.h"

#include <filesystem>
#include <memory>
#include <string>

class Raw_Rack_Reader {
public:
    explicit Raw_Rack_Reader(const std::filesystem::path& lab_file);
    ~Raw_Rack_Reader();
    Raw_Rack_Reader(const Raw_Rack_Reader&) = delete;
    Raw_Rack_Reader& operator=(const Raw_Rack_Reader&) = delete;
    // Reads every field of every row as text; returns the number of rows (bytes read are added to bytes).
    size_t Read(const std::string& rack_desc, const std::string& test_group, size_t& bytes);

private:
    std::unique_ptr<pcs::embedded::Sqlite_Db> db_;
    pcs::embedded::Statement_Handle st_;
};
