// The statement trace over the real ODBC backend and over a scripted one.
#include "odbc_backend.h"
#include "odbc_test_env.h"

#include "common/text.h"
#include "db/database.h"
#include "db/trace.h"
#include "support/fake_ports.h"
#include "support/scripted_backend.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cstdlib>
#include <fstream>
#include <sys/wait.h>
#include <unistd.h>

using namespace pcs;
using namespace pcs::db;
using json = nlohmann::json;

namespace {

struct Trace : ::testing::Test {
    std::filesystem::path path = test::Odbc_Env().Folder / "trace.jsonl";
    Globals g;
    test::Recording_Alerts alerts;

    void SetUp() override {
        std::filesystem::remove(path);
        std::filesystem::remove(test::Odbc_Env().Db_File);
        g.Connect_String = test::Odbc_Env().Connect_String();
    }
    void TearDown() override { unsetenv(Sql_Trace_Variable); }

    // Every line must be one JSON object.
    std::vector<json> Lines() {
        std::vector<json> lines;
        std::ifstream in(path);
        std::string line;
        while (std::getline(in, line)) {
            EXPECT_NO_THROW(lines.push_back(json::parse(line))) << line;
        }
        return lines;
    }
};

} // namespace

TEST_F(Trace, EveryStatementItsOutcomeRowsAndDurationAreAppended) {
    setenv(Sql_Trace_Variable, path.c_str(), 1);
    auto backend = With_Statement_Trace(std::make_unique<odbc::Odbc_Backend>());
    Database db(g, *backend, alerts);

    ASSERT_TRUE(db.Execute_SQL("create table t (a integer, b text)"));
    ASSERT_TRUE(db.Execute_SQL("insert into t values (1, 'x'), (2, 'it''s'), (3, null)"));
    {
        Record_Set rs = db.Open_Recordset("select a, b from t order by a");
        while (!rs.Eof())
            rs.Move_Next();
    }
    {
        // Closed after one row of three.
        Record_Set rs = db.Open_Recordset("select a\nfrom t\twhere b <> '\"'");
        rs.Close();
    }
    EXPECT_FALSE(db.Execute_SQL("select * from missing"));

    auto lines = Lines();
    ASSERT_EQ(lines.size(), 7u);
    for (const auto& l : lines) {
        EXPECT_EQ(l["pid"], static_cast<long>(getpid()));
        EXPECT_EQ(l["time"].get<std::string>().size(), 24u) << l["time"];
    }
    EXPECT_EQ(lines[0]["event"], "statement");
    EXPECT_EQ(lines[0]["sql"], "create table t (a integer, b text)");
    EXPECT_EQ(lines[0]["ok"], true);
    EXPECT_EQ(lines[0]["result"], "none");
    EXPECT_TRUE(lines[0]["errors"].empty());
    EXPECT_GE(lines[0]["ms"].get<double>(), 0.0);
    EXPECT_EQ(lines[1]["sql"], "insert into t values (1, 'x'), (2, 'it''s'), (3, null)");

    // A result set: its statement line, then its rows when it has been read to the end.
    EXPECT_EQ(lines[2]["result"], "rows");
    EXPECT_EQ(lines[3]["event"], "rows");
    EXPECT_EQ(lines[3]["id"], lines[2]["id"]);
    EXPECT_EQ(lines[3]["rows"], 3);
    EXPECT_EQ(lines[3]["end"], true);

    // Newlines, tabs and quotes stay inside the one line and come back exactly.
    EXPECT_EQ(lines[4]["sql"], "select a\nfrom t\twhere b <> '\"'");
    EXPECT_EQ(lines[5]["id"], lines[4]["id"]);
    EXPECT_EQ(lines[5]["rows"], 1);
    EXPECT_EQ(lines[5]["end"], false);

    EXPECT_EQ(lines[6]["ok"], false);
    EXPECT_EQ(lines[6]["result"], "none");
    ASSERT_EQ(lines[6]["errors"].size(), 1u);
    EXPECT_EQ(lines[6]["errors"][0]["number"], db::Command_Error_Number);
    EXPECT_TRUE(Contains(lines[6]["errors"][0]["description"].get<std::string>(), "no such table: missing"));

    std::set<long> ids;
    for (const auto& l : lines)
        if (l["event"] == "statement") ids.insert(l["id"].get<long>());
    EXPECT_EQ(ids.size(), 5u);
}

TEST_F(Trace, LinesAreOnDiskAtOnceAndAppendedToWhatIsThere) {
    {
        std::ofstream earlier(path);
        earlier << "{\"earlier\":true}\n";
    }
    test::Scripted_Backend scripted;
    Tracing_Backend traced(scripted, path.string());
    Database db(g, traced, alerts);
    scripted.Queue.push_back(test::Answer_Script::Rows_Of({{"STATUS"}, {{std::string("DONE")}}}));
    Record_Set rs = db.Open_Recordset("exec x");
    // The result set is still open and the backend alive, yet the statement is already in the file.
    auto lines = Lines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0]["earlier"], true);
    EXPECT_EQ(lines[1]["sql"], "exec x");
    rs.Move_Next();
    lines = Lines();
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[2]["rows"], 1);
}

TEST_F(Trace, TimeoutsOfEachRunAndFailedConnectionsAreTracedWithoutThePassword) {
    test::Scripted_Backend scripted;
    scripted.Responder = [](const std::string&) { return test::Answer_Script::Timeout(); };
    Tracing_Backend traced(scripted, path.string());
    Database db(g, traced, alerts);
    EXPECT_FALSE(db.Execute_SQL("exec slow"));

    odbc::Odbc_Backend odbc;
    Tracing_Backend traced_odbc(odbc, path.string());
    Database db2(g, traced_odbc, alerts);
    g.Connect_String = "DSN=NO_SUCH_SOURCE;PWD=secret4417";
    EXPECT_THROW(db2.Open_Recordset("select 1"), Connect_Error);

    auto lines = Lines();
    ASSERT_EQ(lines.size(), 6u);
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(lines[i]["sql"], "exec slow");
        EXPECT_EQ(lines[i]["errors"][0]["number"], Timeout_Error_Number);
        EXPECT_EQ(lines[i]["errors"][0]["sql_state"], "HYT00");
    }
    EXPECT_EQ(lines[5]["event"], "connect_failed");
    EXPECT_EQ(lines[5]["errors"][0]["sql_state"], "IM002");
    EXPECT_FALSE(Contains(test::Read_Text(path), "secret4417"));
}

TEST_F(Trace, OnlyWhenTheVariableNamesAFile) {
    unsetenv(Sql_Trace_Variable);
    auto plain = std::make_unique<test::Scripted_Backend>();
    Db_Backend* raw = plain.get();
    EXPECT_EQ(With_Statement_Trace(std::move(plain)).get(), raw);

    setenv(Sql_Trace_Variable, "/nonexistent-folder/trace.jsonl", 1);
    try {
        With_Statement_Trace(std::make_unique<test::Scripted_Backend>());
        FAIL() << "a trace file that cannot be written was accepted";
    } catch (const Trace_Error& e) {
        EXPECT_TRUE(Contains(e.what(), "/nonexistent-folder/trace.jsonl")) << e.what();
    }
}

TEST_F(Trace, StationsSharingOneTraceNeverMixTheirLines) {
    // Long statements, as long as a line may get; two processes writing at once.
    const std::string long_sql = "select '" + std::string(20000, 'x') + "'";
    std::vector<pid_t> children;
    for (int c = 0; c < 2; ++c) {
        pid_t pid = ::fork();
        if (pid == 0) {
            test::Scripted_Backend scripted;
            Tracing_Backend traced(scripted, path.string());
            for (int i = 0; i < 100; ++i)
                traced.Connect("DSN=x", Connect_Options{})->Execute(long_sql);
            ::_exit(0);
        }
        children.push_back(pid);
    }
    for (pid_t pid : children) {
        int status = 0;
        ::waitpid(pid, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    size_t statements = 0;
    for (const auto& line : Lines())
        if (line.value("event", "") == "statement" && line.value("sql", "") == long_sql) ++statements;
    EXPECT_EQ(statements, 200u);
}
