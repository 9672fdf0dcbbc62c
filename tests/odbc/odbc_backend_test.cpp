// The ODBC backend through unixODBC and the SQLite ODBC driver, alone and under Database.
#include "odbc_backend.h"
#include "odbc_test_env.h"

#include "common/text.h"
#include "db/database.h"
#include "support/fake_ports.h"

#include <gtest/gtest.h>

using namespace pcs;
using namespace pcs::db;
using odbc::Odbc_Backend;

namespace {

struct Odbc : ::testing::Test {
    Globals g;
    Odbc_Backend backend;
    test::Recording_Alerts alerts;
    Database db{g, backend, alerts};

    void SetUp() override {
        std::filesystem::remove(test::Odbc_Env().Db_File);
        g.Connect_String = test::Odbc_Env().Connect_String();
    }

    Exec_Outcome Run(const std::string& sql, const std::string& cs = "") {
        auto c = backend.Connect(cs.empty() ? g.Connect_String : cs, Connect_Options{});
        return c->Execute(sql);
    }

    void Make_Tests_Table() {
        ASSERT_TRUE(db.Execute_SQL("create table tests (Lab_Id integer, Status text, Volume real)"));
        ASSERT_TRUE(db.Execute_SQL("insert into tests values (1001, 'READY', 10.5), (1002, null, null), "
                                   "(1003, 'DONE', 0.25)"));
    }
};

} // namespace

TEST_F(Odbc, RowsComeAsTextWithNullsApartAndColumnsMatchInAnyCase) {
    Make_Tests_Table();
    Record_Set rs =
        db.Open_Recordset("select Lab_Id, Status as Lab_Status, Volume from tests order by Lab_Id");
    ASSERT_TRUE(rs.Is_Open());
    EXPECT_EQ(rs.Columns(), (std::vector<std::string>{"Lab_Id", "Lab_Status", "Volume"}));

    ASSERT_FALSE(rs.Eof());
    EXPECT_EQ(rs.Text("LAB_ID"), "1001");
    EXPECT_EQ(rs.Text("lab_status"), "READY");
    EXPECT_DOUBLE_EQ(rs.Double("volume"), 10.5);
    rs.Move_Next();
    EXPECT_EQ(rs.Int32("Lab_Id"), 1002);
    EXPECT_TRUE(rs.Is_Null("LAB_STATUS"));
    EXPECT_TRUE(rs.Is_Null("Volume"));
    EXPECT_THROW(rs.Text("Lab_Status"), Null_Field_Error);
    EXPECT_EQ(rs.Text_Or("Lab_Status", "-"), "-");
    rs.Move_Next();
    EXPECT_EQ(rs.Text("Lab_Status"), "DONE");
    rs.Move_Next();
    EXPECT_TRUE(rs.Eof());
    EXPECT_THROW(rs.Value("Lab_Id"), No_Current_Row_Error);
    EXPECT_TRUE(alerts.Alerts.empty());

    // An empty text is a value, not NULL.
    Record_Set empty = db.Open_Recordset("select '' as e, null as n");
    EXPECT_EQ(empty.Value("E"), Field(""));
    EXPECT_EQ(empty.Value("N"), std::nullopt);
}

TEST_F(Odbc, LongValuesComeWholeAcrossChunksWithoutWarnings) {
    // 20,000 two-byte characters: the chunk boundaries fall inside characters.
    auto out = Run("select replace(hex(zeroblob(20000)), '00', 'é') as long_text, "
                   "hex(zeroblob(30000)) as longer");
    ASSERT_TRUE(out.Ok);
    EXPECT_TRUE(out.Errors.empty()) << out.Errors.front().Description;
    ASSERT_TRUE(out.Rows->Fetch());
    std::string expected;
    for (int i = 0; i < 20000; ++i)
        expected += "é";
    EXPECT_EQ(*out.Rows->Value(0), expected);
    EXPECT_EQ(*out.Rows->Value(1), std::string(60000, '0'));
    EXPECT_FALSE(out.Rows->Fetch());
}

TEST_F(Odbc, StatementsWithoutAResultSetGiveNoRows) {
    Make_Tests_Table();
    auto out = Run("update tests set Status = 'DONE' where Lab_Id = 1001");
    EXPECT_TRUE(out.Ok);
    EXPECT_EQ(out.Rows, nullptr);
    // An update that touches nothing still ran.
    out = Run("delete from tests where Lab_Id = 99");
    EXPECT_TRUE(out.Ok);
    EXPECT_EQ(out.Rows, nullptr);

    EXPECT_TRUE(db.Execute_SQL("update tests set Status = 'HOLD' where Lab_Id = 1003"));
    Record_Set rs = db.Open_Recordset("select Status from tests where Lab_Id = 1003");
    EXPECT_EQ(rs.Text("status"), "HOLD");
    // A statement with no rows read as a result set is one that was never opened.
    Record_Set none = db.Open_Recordset("update tests set Status = 'X' where Lab_Id = 1003");
    EXPECT_FALSE(none.Is_Open());
    EXPECT_TRUE(alerts.Alerts.empty());
}

TEST_F(Odbc, RejectedStatementsGiveRecordsWithNumbersAndDescriptions) {
    auto out = Run("select * from no_such_table");
    EXPECT_FALSE(out.Ok);
    EXPECT_EQ(out.Rows, nullptr);
    ASSERT_EQ(out.Errors.size(), 1u);
    EXPECT_NE(out.Errors[0].Number, 0);
    EXPECT_NE(out.Errors[0].Number, Timeout_Error_Number);
    EXPECT_TRUE(Contains(out.Errors[0].Description, "no such table: no_such_table"))
        << out.Errors[0].Description;
    EXPECT_EQ(out.Errors[0].Sql_State.size(), 5u);

    out = Run("selec 1");
    ASSERT_FALSE(out.Errors.empty());
    EXPECT_TRUE(Contains(out.Errors[0].Description, "syntax error")) << out.Errors[0].Description;

    // Through Database: not shown, not retried; the result set was never opened.
    Record_Set rs = db.Open_Recordset("select * from no_such_table");
    EXPECT_FALSE(rs.Is_Open());
    EXPECT_THROW(rs.Eof(), Not_Open_Error);
    EXPECT_FALSE(db.Execute_SQL("insert into no_such_table values (1)"));
    EXPECT_TRUE(alerts.Alerts.empty());
}

TEST_F(Odbc, AFailureWhileReadingRowsIsReportedNotSwallowed) {
    // Failing on the first row: the statement failed.
    Record_Set rs = db.Open_Recordset("select abs(-9223372036854775808) as n");
    EXPECT_FALSE(rs.Is_Open());

    // Failing on a later row (the driver stepping row by row): the read throws with the records.
    auto c = backend.Connect(g.Connect_String + ";StepAPI=1", Connect_Options{});
    auto out = c->Execute("select case when a = 2 then abs(-9223372036854775808) else a end as n "
                          "from (select 1 as a union all select 2 union all select 3)");
    ASSERT_TRUE(out.Ok);
    ASSERT_TRUE(out.Rows->Fetch());
    EXPECT_EQ(*out.Rows->Value(0), "1");
    try {
        out.Rows->Fetch();
        FAIL() << "the overflow on the second row went unnoticed";
    } catch (const odbc::Odbc_Error& e) {
        ASSERT_FALSE(e.Records().empty());
        EXPECT_TRUE(Contains(e.Records()[0].Description, "integer overflow")) << e.what();
        EXPECT_NE(e.Records()[0].Number, 0);
    }
}

TEST_F(Odbc, AnUnknownDataSourceIsAConnectErrorThatKeepsThePasswordOut) {
    g.Connect_String = "DSN=NO_SUCH_SOURCE;UID=darnwell;PWD=secret4417";
    try {
        db.Open_Recordset("select 1");
        FAIL() << "connected to a data source that does not exist";
    } catch (const Connect_Error& e) {
        ASSERT_FALSE(e.Records().empty());
        EXPECT_EQ(e.Records()[0].Sql_State, "IM002");
        EXPECT_EQ(e.Records()[0].Number, db::Connection_Error_Number);
        EXPECT_TRUE(Contains(e.what(), "Data source name not found")) << e.what();
        EXPECT_FALSE(Contains(e.what(), "secret4417"));
        for (const auto& r : e.Records())
            EXPECT_FALSE(Contains(r.Description, "secret4417"));
    }
    EXPECT_THROW(db.Execute_SQL("select 1"), Connect_Error);
    EXPECT_EQ(db.Open_Retry_Count(), 0);
    EXPECT_EQ(db.Execute_Retry_Count(), 0);
}

TEST_F(Odbc, AnEmptyConnectStringUsesTheFallbackFromThenOn) {
    g.Connect_String.clear();
    db.Set_Fallback_Connect_String(test::Odbc_Env().Driver_Connect_String());
    ASSERT_TRUE(db.Execute_SQL("create table t (a text)"));
    EXPECT_EQ(g.Connect_String, test::Odbc_Env().Driver_Connect_String());
    // Later calls keep using the stored string, whatever the fallback becomes.
    db.Set_Fallback_Connect_String("DSN=NO_SUCH_SOURCE");
    ASSERT_TRUE(db.Execute_SQL("insert into t values ('x')"));
    // The same file as the data source names.
    auto out = Run("select count(*) as n from t", test::Odbc_Env().Connect_String());
    ASSERT_TRUE(out.Ok);
    ASSERT_TRUE(out.Rows->Fetch());
    EXPECT_EQ(*out.Rows->Value(0), "1");
}

TEST(Odbc_Error_Numbers, TimeoutsAreTheRetriedNumberAndEveryErrorIsNonzero) {
    using odbc::Error_Number;
    EXPECT_EQ(Error_Number("HYT00", 0), Timeout_Error_Number);
    EXPECT_EQ(Error_Number("HYT01", 0), Timeout_Error_Number);
    EXPECT_EQ(Error_Number("S1T00", 0), Timeout_Error_Number);
    // Informational messages of a statement that ran are not shown; warnings are.
    EXPECT_EQ(Error_Number("01000", 5701), 0);
    EXPECT_EQ(Error_Number("01000", 0), 0);
    EXPECT_EQ(Error_Number("01000", 50000), 50000);
    EXPECT_EQ(Error_Number("01004", 0), db::Warning_Number);
    for (const char* s :
         {"42000", "HY000", "S1000", "08001", "08S01", "IM002", "28000", "42S02", "23000", "HY008"})
        EXPECT_NE(Error_Number(s, 0), 0) << s;
    EXPECT_EQ(Error_Number("28000", 18456), db::Authorization_Error_Number);
    EXPECT_EQ(Error_Number("42S02", 208), db::Table_Not_Found_Error_Number);
    EXPECT_EQ(Error_Number("42000", 102), db::Command_Error_Number);
}
