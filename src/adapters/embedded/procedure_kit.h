// What the procedures of the embedded lab database share: building answers and reading priorities.
// Internal to the procedures.
#pragma once

#include "procedures.h"

#include "common/text.h"

#include <cmath>

namespace pcs::embedded {

using db::Field;

inline Field F(const std::string& s) {
    return s;
}
inline Field F(long long v) {
    return std::to_string(v);
}
inline Field F(const std::optional<long long>& v) {
    return v ? Field(std::to_string(*v)) : Field();
}
inline const Field Null{};

inline Table One_Row(std::vector<std::string> columns, std::vector<Field> values) {
    Table t;
    t.Columns = std::move(columns);
    t.Rows.push_back(std::move(values));
    return t;
}

inline Table No_Rows(std::vector<std::string> columns) {
    Table t;
    t.Columns = std::move(columns);
    return t;
}

inline std::optional<long long> Int_Of(const Field& f) {
    if (!f || !Is_Numeric(*f)) return std::nullopt;
    return static_cast<long long>(std::llround(To_Double(*f)));
}

// The effective priority of a test: a NORMAL sample's repeat run is a RETEST.
inline const char* const Effective_Priority =
    "(CASE WHEN upper(s.PRIORITY) = 'NORMAL' AND t.RUN_NO > 1 THEN 'RETEST' ELSE upper(s.PRIORITY) END)";
inline const char* const Priority_Rank_Sql =
    "(CASE %P WHEN 'CRITICAL' THEN 4 WHEN 'URGENT' THEN 3 WHEN 'RUSH' THEN 2 "
    "WHEN 'RETEST' THEN 1 ELSE 0 END)";

inline std::string Rank_Of(const std::string& expr) {
    std::string s = Priority_Rank_Sql;
    s.replace(s.find("%P"), 2, expr);
    return s;
}

// The name an employee is shown by ("employee n" when unknown).
std::string Employee_Name(Sqlite_Db& db, long long emp_num);

// Each room of procedures, in the order the registry lists them.
std::vector<Procedure> Employee_Procedures();
std::vector<Procedure> Rack_Procedures();
std::vector<Procedure> Bath_Procedures();
std::vector<Procedure> Results_Procedures();

} // namespace pcs::embedded
