// What the SQLite ODBC driver never answers, through the real driver manager and a scripted driver:
// query timeouts, warnings on a statement that ran, and row counts ahead of a result set.
#include "odbc_backend.h"
#include "odbc_test_env.h"

#include "common/text.h"
#include "db/database.h"
#include "support/fake_ports.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace pcs;
using namespace pcs::db;

namespace {

struct Driver_Answers : ::testing::Test {
    Globals g;
    odbc::Odbc_Backend backend;
    test::Recording_Alerts alerts;
    Database db{g, backend, alerts};

    void SetUp() override {
        std::filesystem::remove(test::Odbc_Env().Scripted_Log);
        g.Connect_String = "DSN=" + test::Odbc_Env().Scripted_Dsn;
    }
    // How many statements the driver received, one a line.
    size_t Received() {
        std::string log = test::Read_Text(test::Odbc_Env().Scripted_Log);
        return static_cast<size_t>(std::count(log.begin(), log.end(), '\n'));
    }
    Exec_Outcome Run(const std::string& sql) { return backend.Connect(g.Connect_String, {})->Execute(sql); }
};

} // namespace

TEST_F(Driver_Answers, AQueryTimeoutIsTheRetriedNumberAndRunsFiveTimes) {
    auto out = Run("exec lab.dbo.slow timeout");
    EXPECT_FALSE(out.Ok);
    ASSERT_EQ(out.Errors.size(), 1u);
    EXPECT_EQ(out.Errors[0].Number, Timeout_Error_Number);
    EXPECT_EQ(out.Errors[0].Sql_State, "HYT00");
    EXPECT_TRUE(Contains(out.Errors[0].Description, "Query timeout expired")) << out.Errors[0].Description;

    std::filesystem::remove(test::Odbc_Env().Scripted_Log);
    Record_Set rs = db.Open_Recordset("exec lab.dbo.slow timeout");
    EXPECT_FALSE(rs.Is_Open());
    EXPECT_EQ(Received(), 5u);
    EXPECT_EQ(db.Open_Retry_Count(), 0);

    std::filesystem::remove(test::Odbc_Env().Scripted_Log);
    EXPECT_FALSE(db.Execute_SQL("exec lab.dbo.slow timeout"));
    EXPECT_EQ(Received(), 5u);
    EXPECT_TRUE(alerts.Alerts.empty());
}

TEST_F(Driver_Answers, ATimeoutWhileReadingTheFirstRowIsRetriedToo) {
    Record_Set rs = db.Open_Recordset("select n from big timeout at fetch");
    EXPECT_FALSE(rs.Is_Open());
    EXPECT_EQ(Received(), 5u);
}

TEST_F(Driver_Answers, WarningsOfAStatementThatRanComeWithItsRows) {
    auto out = Run("exec lab.dbo.set_PC_Bath warnings");
    ASSERT_TRUE(out.Ok);
    ASSERT_EQ(out.Errors.size(), 2u);
    EXPECT_EQ(out.Errors[0].Number, 0); // changed database context: informational
    EXPECT_EQ(out.Errors[0].Native_Error, 5701);
    EXPECT_EQ(out.Errors[1].Number, 50000);
    ASSERT_NE(out.Rows, nullptr);
    out.Rows.reset();

    // Database shows the warning, not the notice, and the rows still stand.
    Record_Set rs = db.Open_Recordset("exec lab.dbo.set_PC_Bath warnings");
    ASSERT_EQ(alerts.Alerts.size(), 1u);
    EXPECT_EQ(alerts.Alerts[0],
              "Error[50000]\r\n\r\n[PCS][Scripted]Bath slot 3 is over its time\r\n\r\n\r\n");
    ASSERT_TRUE(rs.Is_Open());
    EXPECT_EQ(rs.Text("status"), "DONE");
    // The same warning makes Execute_SQL report failure.
    EXPECT_FALSE(db.Execute_SQL("exec lab.dbo.set_PC_Bath warnings"));
    EXPECT_EQ(alerts.Alerts.size(), 2u);
}

TEST_F(Driver_Answers, RowCountsAheadOfTheResultSetArePassedOver) {
    Record_Set rs = db.Open_Recordset("exec lab.dbo.get_pc_history count first");
    ASSERT_TRUE(rs.Is_Open());
    EXPECT_EQ(rs.Columns(), (std::vector<std::string>{"Lab_Id", "Note"}));
    EXPECT_EQ(rs.Text("LAB_ID"), "7");
    EXPECT_TRUE(rs.Is_Null("note"));
    rs.Move_Next();
    EXPECT_EQ(rs.Text("note"), "x");
    rs.Move_Next();
    EXPECT_TRUE(rs.Eof());
    // A PRINT on the way (number 0) is not shown.
    EXPECT_TRUE(alerts.Alerts.empty());

    auto out = Run("exec lab.dbo.x fails after count");
    EXPECT_FALSE(out.Ok);
    ASSERT_EQ(out.Errors.size(), 1u);
    EXPECT_EQ(out.Errors[0].Native_Error, 2812);
    EXPECT_EQ(out.Errors[0].Number, db::Command_Error_Number);
}
