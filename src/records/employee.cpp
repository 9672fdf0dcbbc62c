#include "records/employee.h"

#include "common/globals.h"
#include "common/sql.h"
#include "common/text.h"
#include "db/statement_error.h"

namespace pcs {

Employee::Employee(db::Database& db) : db_(db) {
    Employee_Reset();
}

void Employee::Employee_Reset() {
    Emp_Num = -1;
    isAdmin = false;
    First_Name.clear();
    Last_Name.clear();
    Full_name.clear();
    Password.clear();
    Department.clear();
    Lab_Code = Lab_Code_Default;
}

void Employee::Employee_Refresh() {
    Emp_Num = -1;
    Full_name.clear();
}

bool Employee::Login(const std::optional<std::string>& vPassword) {
    const std::string typed = vPassword.value_or("");
    std::string sql = "exec lab.dbo.validate_password @source = 'Qor', "
                      "@UserPassword = '" +
                      SQL_Escape(RTrim(typed)) + "', " + "@labcode = '" + SQL_Escape(Lab_Code) + "'";
    db::Wait_Text waiting(db_, "Checking the password…");
    db::Record_Set rs = db::Open_Checked(db_, sql, "the password check");
    if (rs.Eof()) {
        Employee_Reset();
        return false;
    }
    if (rs.Is_Null("EMP_NUM")) return false;

    // Everything is read before anything is stored, so a bad answer leaves the record as it was.
    int16_t number = rs.Int16("EMP_NUM");
    db::Field admin = db::Optional_Field(rs, "ISADMIN");
    bool is_admin = admin && Try_Double(*admin) == 1.0;
    std::string first = db::Optional_Field(rs, "FIRSTNAME").value_or("");
    std::string last = db::Optional_Field(rs, "LASTNAME").value_or("");
    std::string department = Trim(db::Optional_Field(rs, "Qor_Func").value_or(""));
    rs.Close();

    Emp_Num = number;
    isAdmin = is_admin;
    Full_name = Trim(first) + " " + Trim(last);
    First_Name = first;
    Last_Name = last;
    Password = typed;
    Department = department;
    return true;
}

db::Record_Set Employee::Employee_List(const std::optional<std::string>& whatDepartment,
                                       bool includeDismissed) {
    const std::string lab = SQL_Escape(Lab_Code);
    std::string sql = "select * "
                      "from   hadel.dbo.view_employees(nolock) "
                      "where  lab_code = '" +
                      lab + "' ";
    if (!includeDismissed) sql += "and    dismissed = 'N'";
    if (whatDepartment && !whatDepartment->empty()) {
        const std::string dept = SQL_Escape(*whatDepartment);
        sql += "and    (func_group is not null and func_group = '" + dept + "') " + "union " + "select * " +
               "from   hadel.dbo.view_employees(nolock)" + "where  emp_num in ( " + "select  distinct " +
               "supervisor_id " + "from    hadel.dbo.view_employees(nolock) " + "where   lab_code = '" + lab +
               "' " + "and     (func_group is not null and func_group = '" + dept + "') ";
        sql += includeDismissed ? ")" : "and    dismissed = 'N')";
    }
    sql += "Order by    job_desc, full_name ";
    return db_.Open_Recordset(sql, true);
}

} // namespace pcs
