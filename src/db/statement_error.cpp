#include "db/statement_error.h"

namespace pcs::db {

std::string Statement_Failed_Error::Failure_Text(std::string_view operation,
                                                 const std::vector<Error_Record>& errors) {
    std::string text = "The lab database did not answer " + std::string(operation);
    const Error_Record* cause = nullptr;
    for (const Error_Record& e : errors)
        if (!e.Description.empty() && (!cause || (cause->Number == 0 && e.Number != 0))) cause = &e;
    if (!cause) return text + ". Check the connection and try again.";
    std::string why = cause->Description;
    while (!why.empty() && (why.back() == '.' || why.back() == ' '))
        why.pop_back();
    text += ": " + why + ".";
    // A lost connection is the one cause the technician can look at from the bench.
    if (cause->Sql_State.rfind("08", 0) == 0) text += " Check the connection and try again.";
    return text;
}

Record_Set Open_Checked(Database& db, const std::string& sql, std::string_view operation) {
    Record_Set rs = db.Open_Recordset(sql, true);
    if (rs.Failed()) throw Statement_Failed_Error(operation, rs.Errors());
    return rs;
}

Field Optional_Field(const Record_Set& rs, std::string_view name) {
    if (!rs.Has_Column(name)) return std::nullopt;
    return rs.Value(name);
}

} // namespace pcs::db
