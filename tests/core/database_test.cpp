#include "common/text.h"
#include "db/database.h"
#include "db/statement_error.h"
#include "support/fake_ports.h"
#include "support/scripted_backend.h"

#include <gtest/gtest.h>

#include <functional>

using namespace pcs;
using namespace pcs::db;
using test::Answer_Script;
using test::Table;

namespace {

struct Fixture : ::testing::Test {
    Globals g;
    test::Scripted_Backend backend;
    test::Recording_Alerts alerts;
    Database db{g, backend, alerts};
    void SetUp() override { g.Connect_String = "DSN=LAB"; }
};

using DatabaseAccess = Fixture;

} // namespace

TEST_F(DatabaseAccess, AlwaysTimingOutRunsFiveTimesThenGivesAnUnopenedSet) {
    backend.Responder = [](const std::string&) { return Answer_Script::Timeout(); };
    Record_Set rs = db.Open_Recordset("select 1", true);
    EXPECT_EQ(backend.Statements.size(), 5u);
    EXPECT_FALSE(rs.Is_Open());
    EXPECT_THROW(rs.Eof(), Not_Open_Error);
    EXPECT_EQ(db.Open_Retry_Count(), 0);
    EXPECT_TRUE(alerts.Alerts.empty());

    backend.Statements.clear();
    EXPECT_FALSE(db.Execute_SQL("update x", true));
    EXPECT_EQ(backend.Statements.size(), 5u);
    EXPECT_EQ(db.Execute_Retry_Count(), 0);
}

TEST_F(DatabaseAccess, OneTimeoutThenRowsReturnsTheSecondRun) {
    backend.Queue.push_back(Answer_Script::Timeout());
    backend.Queue.push_back(Answer_Script::Rows_Of(Table{{"STATUS"}, {{std::string("DONE")}}}));
    Record_Set rs = db.Open_Recordset("exec x", true);
    EXPECT_EQ(backend.Statements.size(), 2u);
    ASSERT_FALSE(rs.Eof());
    EXPECT_EQ(rs.Text("status"), "DONE");
}

TEST_F(DatabaseAccess, OtherErrorsAreNotRetriedNorShown) {
    backend.Queue.push_back(
        Answer_Script::Failure({{-2147217900, "Incorrect syntax near 'x'.", "42000", 102}}));
    Record_Set rs = db.Open_Recordset("x", true);
    EXPECT_EQ(backend.Statements.size(), 1u);
    EXPECT_FALSE(rs.Is_Open());
    EXPECT_TRUE(alerts.Alerts.empty());
}

TEST_F(DatabaseAccess, WarningsOfASuccessfulStatementAreShownInOneAlert) {
    auto ok = Answer_Script::Rows_Of(Table{{"A"}, {{std::string("1")}}});
    ok.Errors = {{0, "Changed database context to 'lab'.", "01000", 5701},
                 {50000, "first warning", "01000", 50000},
                 {-1, "second warning", "01000", 0}};
    backend.Queue.push_back(ok);
    Record_Set rs = db.Open_Recordset("exec y", true);
    EXPECT_TRUE(rs.Is_Open());
    ASSERT_EQ(alerts.Alerts.size(), 1u);
    EXPECT_EQ(alerts.Alerts[0],
              "Error[50000]\r\n\r\nfirst warning\r\n\r\n\r\nError[-1]\r\n\r\nsecond warning\r\n\r\n\r\n");
    EXPECT_EQ(db.Show_DB_Errors(ok.Errors, false), 2);
    EXPECT_EQ(alerts.Alerts.size(), 1u);

    // The same warnings make Execute_SQL report failure.
    backend.Queue.push_back(ok);
    EXPECT_FALSE(db.Execute_SQL("exec y", true));
}

TEST_F(DatabaseAccess, InformationalRecordWithNumberZeroShowsNothing) {
    auto ok = Answer_Script::No_Rows();
    ok.Errors = {{0, "info", "01000", 0}};
    backend.Queue.push_back(ok);
    EXPECT_TRUE(db.Execute_SQL("update x", true));
    EXPECT_TRUE(alerts.Alerts.empty());
}

TEST_F(DatabaseAccess, EmptyConnectStringTakesTheFallbackForGood) {
    g.Connect_String.clear();
    db.Set_Fallback_Connect_String("FALLBACK");
    db.Execute_SQL("select 1", true);
    EXPECT_EQ(g.Connect_String, "FALLBACK");
    db.Execute_SQL("select 1", true);
    EXPECT_EQ(backend.Connect_Strings, (std::vector<std::string>{"FALLBACK", "FALLBACK"}));
}

TEST_F(DatabaseAccess, RefusedConnectionReachesTheCallerAndResetsTheCounter) {
    backend.Refuse_Connections = true;
    EXPECT_THROW(db.Open_Recordset("select 1", true), Connect_Error);
    EXPECT_EQ(db.Open_Retry_Count(), 0);
}

TEST(RecordSet, FieldsByNameInAnyCaseWithNulls) {
    test::Scripted_Backend backend;
    backend.Queue.push_back(Answer_Script::Rows_Of(
        Table{{"EMP_NUM", "FirstName"},
              {{std::string("17"), std::nullopt}, {std::string("70000"), std::string("Ann")}}}));
    auto conn = std::shared_ptr<Db_Connection>(backend.Connect("x", {}));
    auto out = conn->Execute("q");
    Record_Set rs(conn, std::move(out.Rows));
    ASSERT_FALSE(rs.Eof());
    EXPECT_EQ(rs.Int16("emp_num"), 17);
    EXPECT_TRUE(rs.Is_Null("FIRSTNAME"));
    EXPECT_EQ(rs.Text_Or("firstname", "-"), "-");
    EXPECT_THROW(rs.Text("FirstName"), Null_Field_Error);
    EXPECT_THROW(rs.Value("nope"), Column_Not_Found_Error);
    rs.Move_Next();
    EXPECT_THROW(rs.Int16("EMP_NUM"), Conversion_Error);
    EXPECT_EQ(rs.Int32("EMP_NUM"), 70000);
    rs.Move_Next();
    EXPECT_TRUE(rs.Eof());
    EXPECT_THROW(rs.Value("EMP_NUM"), No_Current_Row_Error);
    rs.Close();
    EXPECT_THROW(rs.Eof(), Not_Open_Error);
}

// A result set says which it was, and the checked reader raises only for a statement that failed.
TEST_F(DatabaseAccess, AResultSetTellsRowsNoRowsAndFailureApart) {
    backend.Queue.push_back(Answer_Script::Rows_Of(Table{{"STATUS"}, {}}));
    backend.Queue.push_back(Answer_Script::No_Rows());
    backend.Queue.push_back(
        Answer_Script::Failure({{-2147217900, "Invalid object name 'x'.", "42S02", 208}}));
    backend.Queue.push_back(Answer_Script::No_Rows());
    backend.Queue.push_back(
        Answer_Script::Failure({{-2147217900, "Invalid object name 'x'.", "42S02", 208}}));

    Record_Set empty = db.Open_Recordset("select STATUS from t", true);
    EXPECT_EQ(empty.Result(), Record_Set::Outcome::Rows);
    EXPECT_TRUE(empty.Is_Open());
    EXPECT_TRUE(empty.Eof());

    Record_Set none = db.Open_Recordset("exec p", true);
    EXPECT_EQ(none.Result(), Record_Set::Outcome::No_Rows);
    EXPECT_FALSE(none.Is_Open());
    EXPECT_TRUE(none.Eof());
    EXPECT_FALSE(none.Has_Column("STATUS"));
    EXPECT_THROW(none.Move_Next(), No_Current_Row_Error);

    Record_Set failed = db.Open_Recordset("select x", true);
    EXPECT_TRUE(failed.Failed());
    ASSERT_EQ(failed.Errors().size(), 1u);
    EXPECT_EQ(failed.Errors()[0].Native_Error, 208);
    EXPECT_THROW(failed.Eof(), Not_Open_Error);

    EXPECT_TRUE(Open_Checked(db, "exec p", "the answer").Eof());
    EXPECT_THROW(Open_Checked(db, "select x", "the answer"), Statement_Failed_Error);

    // A failure names the cause the backend gave; only a lost connection, or none given, sends the
    // technician to the connection.
    const Error_Record key{-2147217900, "The password key file /lab/lab.key is missing.", "42000", 50000};
    const Error_Record lost{-2147467259, "[DBNETLIB]General network error", "08S01", 11};
    EXPECT_EQ(Statement_Failed_Error("the password check", {key}).what(),
              std::string("The lab database did not answer the password check: The password key file "
                          "/lab/lab.key is missing."));
    EXPECT_EQ(Statement_Failed_Error("the bath entry", {lost}).what(),
              std::string("The lab database did not answer the bath entry: [DBNETLIB]General network error. "
                          "Check the connection and try again."));
    EXPECT_EQ(Statement_Failed_Error("the rack").what(),
              std::string("The lab database did not answer the rack. Check the connection and try again."));
}

namespace {

// The waits the station shows, as a flag that is up while one runs.
struct Flag_Wait : Wait_Port {
    bool Inside = false;
    void Wait_For(const std::string&, const std::function<void()>& work) override {
        Inside = true;
        work();
        Inside = false;
    }
};

// A server whose every row notes whether it was read inside the wait; the third row is lost on the way.
struct Noting_Backend : Db_Backend {
    const Flag_Wait* Wait = nullptr;
    std::vector<bool> Read_Inside;
    struct Cursor : Db_Cursor {
        Noting_Backend& Server;
        std::vector<std::string> Names{"N"};
        Field Now;
        explicit Cursor(Noting_Backend& s) : Server(s) {}
        const std::vector<std::string>& Columns() const override { return Names; }
        bool Fetch() override {
            Server.Read_Inside.push_back(Server.Wait->Inside);
            if (Server.Read_Inside.size() == 3) throw Db_Error("the connection was lost");
            Now = std::to_string(Server.Read_Inside.size());
            return true;
        }
        const Field& Value(size_t) const override { return Now; }
    };
    std::unique_ptr<Db_Connection> Connect(const std::string&, const Connect_Options&) override {
        struct Connection : Db_Connection {
            Noting_Backend& Server;
            explicit Connection(Noting_Backend& s) : Server(s) {}
            Exec_Outcome Execute(const std::string&) override {
                return {true, std::make_unique<Cursor>(Server), {}};
            }
        };
        return std::make_unique<Connection>(*this);
    }
};

} // namespace

// Behind a wait, the rows of a statement are read while the wait runs (off the screen's thread), not as
// the station walks them; a row that could not be read fails where the station reaches it, as before.
TEST(DatabaseWait, RowsAreReadInsideTheWaitAndALostRowFailsWhereItWas) {
    Globals g;
    g.Connect_String = "DSN=LAB";
    Flag_Wait wait;
    Noting_Backend server;
    server.Wait = &wait;
    test::Recording_Alerts alerts;
    Database db{g, server, alerts};
    db.Set_Wait_Port(&wait);
    Record_Set rs = db.Open_Recordset("select N from lab.dbo.numbers");
    EXPECT_EQ(server.Read_Inside, (std::vector<bool>{true, true, true}));
    ASSERT_FALSE(rs.Eof());
    EXPECT_EQ(rs.Text("N"), "1");
    rs.Move_Next();
    EXPECT_EQ(rs.Text("N"), "2");
    EXPECT_THROW(rs.Move_Next(), Db_Error);
    EXPECT_EQ(server.Read_Inside.size(), 3u) << "nothing read again outside the wait";
}
