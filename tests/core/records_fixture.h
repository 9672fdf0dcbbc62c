// Shared set-up of the record tests: a scripted database, a technician and a manual clock.
#pragma once

#include "common/globals.h"
#include "db/database.h"
#include "records/employee.h"
#include "support/fake_ports.h"
#include "support/scripted_backend.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace pcs::test {

inline db::Field F(const char* s) {
    return std::string(s);
}
inline const db::Field Null = std::nullopt;

// One answer row.
inline Answer_Script Row(std::vector<std::string> columns, std::vector<db::Field> values) {
    return Answer_Script::Rows_Of(Table{std::move(columns), {std::move(values)}});
}
// An answer with the columns and no row.
inline Answer_Script Empty(std::vector<std::string> columns) {
    return Answer_Script::Rows_Of(Table{std::move(columns), {}});
}
inline Answer_Script Failed() {
    return Answer_Script::Failure({{-2147217900, "Could not find stored procedure.", "42000", 2812}});
}

struct Records_Fixture : ::testing::Test {
    Globals g;
    Scripted_Backend backend;
    Recording_Alerts alerts;
    db::Database db{g, backend, alerts};
    Employee emp{db};

    Records_Fixture() { g.Connect_String = "DSN=LAB"; }

    std::string Last_Statement() const { return backend.Statements.empty() ? "" : backend.Statements.back(); }
};

} // namespace pcs::test
