// The technician at the station: who is logged in, and the password check against the lab database.
#pragma once

#include "db/database.h"
#include "db/record_set.h"

#include <cstdint>
#include <optional>
#include <string>

namespace pcs {

class Employee {
public:
    explicit Employee(db::Database& db);

    std::string Station;  // "PARTICLE COUNT" at this station; a reset leaves it alone
    int16_t Emp_Num = -1; // -1 while nobody is logged in
    std::string First_Name;
    std::string Last_Name;
    std::string Full_name;
    bool isAdmin = false;
    std::string Password; // as typed at the last successful login
    std::string Department;
    std::string Lab_Code;
    int16_t Supervisor = 0;
    std::string FullName_Supervisor;

    // Logged out: number -1, names, password and department cleared, lab code "VOLMAR".
    void Employee_Reset();
    // Only the number and the full name.
    void Employee_Refresh();

    // Checks the password with the lab database. True and the record filled when it answers with an
    // employee number; no row logs the previous technician out; a row without a number changes nothing.
    // Throws db::Statement_Failed_Error when the check did not run, Conversion_Error for a number that
    // does not fit 16 bits (the record is then unchanged).
    bool Login(const std::optional<std::string>& vPassword);

    // The laboratory's employees for pick lists: a department's members and their supervisors, or
    // everyone. The result set is handed back unread (unopened when the statement failed).
    db::Record_Set Employee_List(const std::optional<std::string>& whatDepartment, bool includeDismissed);
    // The pick lists' own call: its first argument has never been used.
    db::Record_Set Employee_List(const std::optional<std::string>&,
                                 const std::optional<std::string>& whatDepartment, bool includeDismissed) {
        return Employee_List(whatDepartment, includeDismissed);
    }

private:
    db::Database& db_;
};

} // namespace pcs
