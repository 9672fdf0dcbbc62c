// Employees: who may log in at the station.
#include "procedure_kit.h"

#include "passwords.h"

#include "common/text.h"

namespace pcs::embedded {

namespace {

// ---- lab.dbo.validate_password -------------------------------------------------------------------

Procedure Validate_Password() {
    Procedure p{"lab", "validate_password", {"source", "userpassword", "labcode"}, false, {}};
    p.Body = [](Sqlite_Db& db, const Proc_Args& a) -> Proc_Result {
        static const std::vector<std::string> cols = {"EMP_NUM",  "FIRSTNAME", "LASTNAME", "FULL_NAME",
                                                      "ISADMIN",  "Qor_Func",  "JOB_DESC", "STATION",
                                                      "LAB_CODE", "MESSAGE"};
        std::string password = RTrim(a.Get("userpassword").value_or(""));
        std::string lab_code = a.Required_Text("labcode");
        if (password.empty()) return Proc_Result::Of(No_Rows(cols));
        std::string key;
        try {
            key = Read_Key_File(db.Files().Key);
        } catch (const Key_File_Error& e) {
            throw Proc_Error(std::string(e.what()) + ".");
        }
        std::string lookup = Lookup_Hash(key, lab_code, password);
        Table found =
            db.Query("SELECT p.PWHASH, e.EMP_NUM, e.FIRSTNAME, e.LASTNAME, e.ISADMIN, e.FUNC_GROUP, "
                     "e.JOB_DESC, e.STATION, e.LAB_CODE, e.DISMISSED "
                     "FROM main.employee_passwords p JOIN hadel.employees e ON e.EMP_NUM = p.EMP_NUM "
                     "WHERE p.LAB_CODE = ?1 AND p.LOOKUP = ?2",
                     {lab_code, lookup});
        if (found.Rows.empty() || !found.Rows[0][0] || !Verify_Password(*found.Rows[0][0], password))
            return Proc_Result::Of(No_Rows(cols));
        const auto& r = found.Rows[0];
        if (UCase(r[9].value_or("N")) != "N")
            return Proc_Result::Of(
                One_Row(cols, {Null, Null, Null, Null, Null, Null, Null, Null, r[8],
                               F("Employee " + r[1].value_or("") + " is no longer active.")}));
        std::string full = Trim(r[2].value_or("")) + " " + Trim(r[3].value_or(""));
        return Proc_Result::Of(One_Row(
            cols, {r[1], r[2], r[3], F(full), r[4], r[5], r[6], r[7], r[8], F("Password accepted.")}));
    };
    return p;
}

} // namespace

std::vector<Procedure> Employee_Procedures() {
    return {Validate_Password()};
}

std::string Employee_Name(Sqlite_Db& db, long long emp_num) {
    Table t =
        db.Query("SELECT FIRSTNAME || ' ' || LASTNAME FROM hadel.employees WHERE EMP_NUM = ?1", {emp_num});
    if (!t.Rows.empty() && t.Rows[0][0]) return *t.Rows[0][0];
    return "employee " + std::to_string(emp_num);
}

} // namespace pcs::embedded
