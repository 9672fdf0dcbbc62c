// The retry rule over the real ODBC backend. The SQLite ODBC driver never reports a query timeout
// (HYT00): a busy database gives a general error instead. So each statement here really runs through
// unixODBC, and the wrapper then answers the first runs as a driver answers a query timeout, with the
// number the backend gives HYT00.
#include "odbc_backend.h"
#include "odbc_test_env.h"

#include "db/database.h"
#include "support/fake_ports.h"

#include <gtest/gtest.h>

using namespace pcs;
using namespace pcs::db;

namespace {

class Timeout_Injector : public Db_Backend {
public:
    Timeout_Injector(Db_Backend& inner, int timeouts) : inner_(inner), timeouts_left_(timeouts) {}
    int Runs = 0;

    std::unique_ptr<Db_Connection> Connect(const std::string& cs, const Connect_Options& o) override;

private:
    friend class Injecting_Connection;
    Db_Backend& inner_;
    int timeouts_left_;
};

class Injecting_Connection : public Db_Connection {
public:
    Injecting_Connection(Timeout_Injector& b, std::unique_ptr<Db_Connection> inner)
        : b_(b), inner_(std::move(inner)) {}
    Exec_Outcome Execute(const std::string& sql) override {
        Exec_Outcome out = inner_->Execute(sql);
        ++b_.Runs;
        if (b_.timeouts_left_ > 0) {
            --b_.timeouts_left_;
            out.Rows.reset();
            out.Ok = false;
            out.Errors = {
                {odbc::Error_Number("HYT00", 0), "[unixODBC][Test]Query timeout expired", "HYT00", 0}};
        }
        return out;
    }

private:
    Timeout_Injector& b_;
    std::unique_ptr<Db_Connection> inner_;
};

std::unique_ptr<Db_Connection> Timeout_Injector::Connect(const std::string& cs, const Connect_Options& o) {
    return std::make_unique<Injecting_Connection>(*this, inner_.Connect(cs, o));
}

struct Retry : ::testing::Test {
    Globals g;
    odbc::Odbc_Backend odbc;
    test::Recording_Alerts alerts;

    void SetUp() override {
        std::filesystem::remove(test::Odbc_Env().Db_File);
        g.Connect_String = test::Odbc_Env().Connect_String();
        Database plain(g, odbc, alerts);
        ASSERT_TRUE(plain.Execute_SQL("create table runs (n integer)"));
    }

    std::string Count_Runs() {
        Database plain(g, odbc, alerts);
        return plain.Open_Recordset("select count(*) as n from runs").Text("n");
    }
};

} // namespace

TEST_F(Retry, AStatementThatAlwaysTimesOutRunsFiveTimesInAll) {
    Timeout_Injector injector(odbc, 1000);
    Database db(g, injector, alerts);

    EXPECT_FALSE(db.Execute_SQL("insert into runs values (1)"));
    EXPECT_EQ(Count_Runs(), "5");
    EXPECT_EQ(db.Execute_Retry_Count(), 0);

    injector.Runs = 0;
    Record_Set rs = db.Open_Recordset("select n from runs");
    EXPECT_EQ(injector.Runs, 5);
    EXPECT_FALSE(rs.Is_Open());
    EXPECT_THROW(rs.Eof(), Not_Open_Error);
    EXPECT_EQ(db.Open_Retry_Count(), 0);
    EXPECT_TRUE(alerts.Alerts.empty());
}

TEST_F(Retry, OneTimeoutThenSuccessGivesTheSecondRunsAnswer) {
    Timeout_Injector injector(odbc, 1);
    Database db(g, injector, alerts);
    EXPECT_TRUE(db.Execute_SQL("insert into runs values (7)"));
    EXPECT_EQ(injector.Runs, 2);
    EXPECT_EQ(Count_Runs(), "2"); // the timed-out run had reached the database too

    Timeout_Injector again(odbc, 1);
    Database db2(g, again, alerts);
    Record_Set rs = db2.Open_Recordset("select count(*) as N from runs");
    EXPECT_EQ(again.Runs, 2);
    ASSERT_TRUE(rs.Is_Open());
    EXPECT_EQ(rs.Text("n"), "2");
}
