#include "common/text.h"
#include "db/statement_error.h"
#include "records_fixture.h"

using namespace pcs;
using namespace pcs::test;

namespace {

using EmployeeLogin = Records_Fixture;

Answer_Script Employee_Row(db::Field num, db::Field admin, db::Field first, db::Field last, db::Field func) {
    return Row({"EMP_NUM", "ISADMIN", "FIRSTNAME", "LASTNAME", "Qor_Func"}, {num, admin, first, last, func});
}

} // namespace

TEST_F(EmployeeLogin, SendsThePasswordWithoutTrailingBlanksAndFillsTheRecord) {
    emp.Station = "PARTICLE COUNT";
    backend.Queue.push_back(Employee_Row(F("117"), F("1"), F(" Ann "), F("Lee "), F(" LAB ")));
    EXPECT_TRUE(emp.Login(std::string(" secret  ")));
    EXPECT_EQ(Last_Statement(), "exec lab.dbo.validate_password @source = 'Qor', @UserPassword = ' secret', "
                                "@labcode = 'VOLMAR'");
    EXPECT_EQ(emp.Emp_Num, 117);
    EXPECT_TRUE(emp.isAdmin);
    EXPECT_EQ(emp.Full_name, "Ann Lee");
    EXPECT_EQ(emp.First_Name, " Ann ");
    EXPECT_EQ(emp.Last_Name, "Lee ");
    EXPECT_EQ(emp.Password, " secret  ");
    EXPECT_EQ(emp.Department, "LAB");
    EXPECT_EQ(emp.Station, "PARTICLE COUNT");
}

TEST_F(EmployeeLogin, IsAdminOnlyForOne) {
    for (auto [value, expected] : std::vector<std::pair<db::Field, bool>>{
             {F("1"), true}, {F("0"), false}, {F("2"), false}, {Null, false}, {F("yes"), false}}) {
        backend.Queue.push_back(Employee_Row(F("5"), value, F("A"), F("B"), F("X")));
        ASSERT_TRUE(emp.Login(std::string("pw")));
        EXPECT_EQ(emp.isAdmin, expected) << value.value_or("NULL");
    }
}

TEST_F(EmployeeLogin, QuotesInThePasswordAreDoubledAndLogNobodyIn) {
    backend.Queue.push_back(Empty({"EMP_NUM"}));
    EXPECT_FALSE(emp.Login(std::string("x'; drop table t --")));
    EXPECT_EQ(Last_Statement(), "exec lab.dbo.validate_password @source = 'Qor', "
                                "@UserPassword = 'x''; drop table t --', @labcode = 'VOLMAR'");
    EXPECT_EQ(emp.Emp_Num, -1);
}

TEST_F(EmployeeLogin, NoRowLogsThePreviousTechnicianOutButANullNumberKeepsThem) {
    emp.Station = "PARTICLE COUNT";
    backend.Queue.push_back(Employee_Row(F("42"), F("0"), F("Bo"), F("Ek"), Null));
    ASSERT_TRUE(emp.Login(std::string("good")));
    EXPECT_EQ(emp.Department, "");

    backend.Queue.push_back(Employee_Row(Null, F("1"), F("Zed"), F("Zed"), F("X")));
    EXPECT_FALSE(emp.Login(std::string("odd")));
    EXPECT_EQ(emp.Emp_Num, 42);
    EXPECT_EQ(emp.Full_name, "Bo Ek");

    backend.Queue.push_back(Empty({"EMP_NUM"}));
    EXPECT_FALSE(emp.Login(std::string("wrong")));
    EXPECT_EQ(emp.Emp_Num, -1);
    EXPECT_EQ(emp.Full_name, "");
    EXPECT_EQ(emp.Password, "");
    EXPECT_EQ(emp.Lab_Code, "VOLMAR");
    EXPECT_EQ(emp.Station, "PARTICLE COUNT");
}

TEST_F(EmployeeLogin, BadAnswersRaiseTypedErrorsAndChangeNothing) {
    backend.Queue.push_back(Employee_Row(F("42"), F("0"), F("Bo"), F("Ek"), F("LAB")));
    ASSERT_TRUE(emp.Login(std::string("good")));

    backend.Queue.push_back(Employee_Row(F("70000"), F("1"), F("Big"), F("Num"), F("X")));
    EXPECT_THROW(emp.Login(std::string("pw")), Conversion_Error);
    backend.Queue.push_back(Failed());
    EXPECT_THROW(emp.Login(std::string("pw")), db::Statement_Failed_Error);
    EXPECT_EQ(emp.Emp_Num, 42);
    EXPECT_EQ(emp.Full_name, "Bo Ek");
    EXPECT_FALSE(emp.isAdmin);
}

TEST_F(EmployeeLogin, ResetAndRefresh) {
    emp.Station = "PARTICLE COUNT";
    emp.Supervisor = 9;
    backend.Queue.push_back(Employee_Row(F("42"), F("1"), F("Bo"), F("Ek"), F("LAB")));
    ASSERT_TRUE(emp.Login(std::string("good")));
    emp.Employee_Refresh();
    EXPECT_EQ(emp.Emp_Num, -1);
    EXPECT_EQ(emp.Full_name, "");
    EXPECT_TRUE(emp.isAdmin);
    EXPECT_EQ(emp.First_Name, "Bo");
    emp.Employee_Reset();
    EXPECT_FALSE(emp.isAdmin);
    EXPECT_EQ(emp.First_Name, "");
    EXPECT_EQ(emp.Station, "PARTICLE COUNT");
    EXPECT_EQ(emp.Supervisor, 9);
}

TEST_F(EmployeeLogin, EmployeeListTexts) {
    emp.Employee_List(std::nullopt, false);
    EXPECT_EQ(Last_Statement(), "select * from   hadel.dbo.view_employees(nolock) where  lab_code = 'VOLMAR' "
                                "and    dismissed = 'N'Order by    job_desc, full_name ");
    emp.Employee_List(std::string(""), true);
    EXPECT_EQ(Last_Statement(), "select * from   hadel.dbo.view_employees(nolock) where  lab_code = 'VOLMAR' "
                                "Order by    job_desc, full_name ");
    emp.Employee_List(std::string("O'LAB"), false);
    EXPECT_EQ(
        Last_Statement(),
        "select * from   hadel.dbo.view_employees(nolock) where  lab_code = 'VOLMAR' and    dismissed = 'N'"
        "and    (func_group is not null and func_group = 'O''LAB') union select * "
        "from   hadel.dbo.view_employees(nolock)where  emp_num in ( select  distinct supervisor_id "
        "from    hadel.dbo.view_employees(nolock) where   lab_code = 'VOLMAR' "
        "and     (func_group is not null and func_group = 'O''LAB') and    dismissed = 'N')"
        "Order by    job_desc, full_name ");
    emp.Employee_List(std::nullopt, std::string("LAB"), true);
    EXPECT_NE(Last_Statement().find("func_group = 'LAB') )Order by"), std::string::npos);
}
