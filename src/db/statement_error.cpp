#include "db/statement_error.h"

namespace pcs::db {

Record_Set Open_Checked(Database& db, const std::string& sql, std::string_view operation) {
    Record_Set rs = db.Open_Recordset(sql, true);
    if (rs.Failed()) throw Statement_Failed_Error(operation);
    return rs;
}

Field Optional_Field(const Record_Set& rs, std::string_view name) {
    if (!rs.Has_Column(name)) return std::nullopt;
    return rs.Value(name);
}

} // namespace pcs::db
