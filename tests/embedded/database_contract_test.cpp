// What the station's database layer promises its callers, checked on the embedded backend: NULLs,
// column names in any case, result sets that were never opened, error numbers and texts, and the
// retry of a statement that waited too long for a lock.

#include "embedded_fixture.h"

#include <cstdlib>
#include <fstream>

using namespace pcs;
using namespace pcs::test;

namespace {

// Counts the statements that reach the backend.
class Counting_Backend : public db::Db_Backend {
public:
    explicit Counting_Backend(db::Db_Backend& inner) : inner_(inner) {}
    int Runs = 0;
    std::vector<db::Error_Record> Last_Errors;
    std::unique_ptr<db::Db_Connection> Connect(const std::string& cs, const db::Connect_Options& o) override {
        struct Conn : db::Db_Connection {
            std::unique_ptr<db::Db_Connection> Inner;
            Counting_Backend* Owner;
            db::Exec_Outcome Execute(const std::string& sql) override {
                ++Owner->Runs;
                auto out = Inner->Execute(sql);
                Owner->Last_Errors = out.Errors;
                return out;
            }
        };
        auto c = std::make_unique<Conn>();
        c->Inner = inner_.Connect(cs, o);
        c->Owner = this;
        return c;
    }

private:
    db::Db_Backend& inner_;
};

class Database_Contract : public Embedded_Test {};

} // namespace

TEST_F(Database_Contract, NullIsKeptApartFromEmptyTextAndNamesMatchInAnyCase) {
    db::Record_Set rs =
        Db->Open_Recordset("select null as No_Value, '' as Empty_Text, 12 as Whole, 2.5 as Half, "
                           "'O''Brien' as Name");
    ASSERT_TRUE(rs.Is_Open());
    EXPECT_TRUE(rs.Is_Null("NO_VALUE"));
    EXPECT_TRUE(rs.Is_Null("no_value"));
    EXPECT_FALSE(rs.Is_Null("empty_text"));
    EXPECT_EQ(rs.Text("EMPTY_TEXT"), "");
    EXPECT_EQ(rs.Text_Or("No_Value", "-"), "-");
    EXPECT_EQ(rs.Int16("whole"), 12);
    EXPECT_EQ(rs.Int16("HALF"), 2); // halves to even
    EXPECT_EQ(rs.Text("name"), "O'Brien");
    EXPECT_THROW(rs.Value("missing"), db::Column_Not_Found_Error);
    EXPECT_THROW(rs.Text("No_value"), db::Null_Field_Error);
    rs.Move_Next();
    EXPECT_TRUE(rs.Eof());
    EXPECT_THROW(rs.Move_Next(), db::No_Current_Row_Error);
}

TEST_F(Database_Contract, AFailedStatementGivesAnUnopenedResultSetAndNoAlert) {
    db::Record_Set rs = Db->Open_Recordset("select * from lab.dbo.no_such_table");
    EXPECT_FALSE(rs.Is_Open());
    EXPECT_THROW(rs.Eof(), db::Not_Open_Error);
    EXPECT_FALSE(Db->Execute_SQL("update lab.dbo.no_such_table set x = 1"));
    EXPECT_TRUE(Alerts.Alerts.empty());
    EXPECT_EQ(Db->Open_Retry_Count(), 0);
    // An update that ran answers true and has no rows.
    EXPECT_TRUE(Db->Execute_SQL("update lab.dbo.samples set CUSTOMER = 'X' where LAB_ID = -1"));
    EXPECT_FALSE(Db->Open_Recordset("update lab.dbo.samples set CUSTOMER = 'X' where LAB_ID = -1").Is_Open());
}

TEST_F(Database_Contract, ErrorRecordsFormatAsTheStationsAlertText) {
    auto out = Run("exec lab.dbo.no_such_procedure");
    std::string text = db::Format_DB_Errors(out.Errors);
    EXPECT_EQ(
        text,
        "Error[-2147217900]\r\n\r\nCould not find stored procedure 'lab.dbo.no_such_procedure'.\r\n\r\n\r\n");
}

TEST_F(Database_Contract, AStatementWaitingForAnotherStationsLockIsRetriedFiveTimes) {
    embedded::Embedded_Backend other_station;
    db::Connect_Options o;
    auto holder = other_station.Connect(Globals_.Connect_String, o);
    ASSERT_TRUE(holder->Execute("BEGIN IMMEDIATE").Ok);

    Backend.Set_Lock_Wait_Ms(20);
    Counting_Backend counting(Backend);
    db::Database database(Globals_, counting, Alerts);
    std::string get =
        "exec labrack.dbo.rack_acquisition_upd @rack_id = 3, @emp_num = 101, @station = 'PARTICLE "
        "COUNT', @action = 'GET'";
    db::Record_Set rs = database.Open_Recordset(get);
    EXPECT_FALSE(rs.Is_Open());
    EXPECT_EQ(counting.Runs, 5);
    ASSERT_EQ(counting.Last_Errors.size(), 1u);
    EXPECT_EQ(counting.Last_Errors[0].Number, db::Timeout_Error_Number);
    EXPECT_EQ(counting.Last_Errors[0].Sql_State, "HYT00");
    EXPECT_EQ(database.Open_Retry_Count(), 0);

    ASSERT_TRUE(holder->Execute("ROLLBACK").Ok);
    counting.Runs = 0;
    db::Record_Set ok = database.Open_Recordset(get);
    ASSERT_TRUE(ok.Is_Open());
    EXPECT_EQ(ok.Text("ERROR"), "0");
    EXPECT_EQ(counting.Runs, 1);
}

TEST_F(Database_Contract, ReadsGoOnWhileAnotherStationWrites) {
    embedded::Embedded_Backend other_station;
    db::Connect_Options o;
    auto holder = other_station.Connect(Globals_.Connect_String, o);
    ASSERT_TRUE(holder->Execute("BEGIN IMMEDIATE").Ok);
    ASSERT_TRUE(holder->Execute("update labrack.dbo.racks set CURR_USER = 999").Ok);
    Backend.Set_Lock_Wait_Ms(20);
    // The other station's change is not seen before it commits.
    EXPECT_EQ(One("select count(*) from labrack.dbo.racks where CURR_USER = 999"), "0");
    holder.reset(); // a connection dropped in a transaction rolls it back
    EXPECT_EQ(One("select count(*) from labrack.dbo.racks where CURR_USER = 999"), "0");
}

TEST_F(Database_Contract, ARunawayStatementEndsAsATimeoutOrARefusalNotAHang) {
    db::Connect_Options o;
    o.Command_Timeout_S = 1;
    auto c = Backend.Connect(Globals_.Connect_String, o);
    auto start = std::chrono::steady_clock::now();
    // No rows at all: only the command timeout stops it.
    auto out = c->Execute("with recursive n(x) as (select 1 union all select x + 1 from n) "
                          "select count(*) from n");
    EXPECT_FALSE(out.Ok);
    ASSERT_EQ(out.Errors.size(), 1u);
    EXPECT_EQ(out.Errors[0].Number, db::Timeout_Error_Number);
    // Endless rows: refused before they fill the station's memory.
    out = c->Execute("with recursive n(x) as (select 1 union all select x + 1 from n) select x from n");
    EXPECT_FALSE(out.Ok);
    ASSERT_EQ(out.Errors.size(), 1u);
    EXPECT_NE(out.Errors[0].Number, 0);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(15));
    // The connection still answers.
    EXPECT_TRUE(c->Execute("select 1").Ok);
}

// A file set that another station holds locked while a connection opens answers the timeout the station
// retries, not a lost database.
TEST_F(Database_Contract, ALockHeldWhileConnectingIsATimeoutAndRetried) {
    embedded::Embedded_Backend other_station;
    db::Connect_Options o;
    auto holder = other_station.Connect(Globals_.Connect_String, o);
    ASSERT_TRUE(holder->Execute("BEGIN EXCLUSIVE").Ok);
    embedded::Embedded_Backend station; // no connection kept from before the lock
    station.Set_Lock_Wait_Ms(20);
    Counting_Backend counting(station);
    db::Database database(Globals_, counting, Alerts);
    EXPECT_FALSE(database.Open_Recordset("select 1 as a").Is_Open());
    EXPECT_EQ(counting.Runs, 5);
    ASSERT_EQ(counting.Last_Errors.size(), 1u);
    EXPECT_EQ(counting.Last_Errors[0].Number, db::Timeout_Error_Number);
    EXPECT_EQ(counting.Last_Errors[0].Sql_State, "HYT00");

    ASSERT_TRUE(holder->Execute("ROLLBACK").Ok);
    EXPECT_TRUE(database.Open_Recordset("select 1 as a").Is_Open());
}

// One statement per text, and nothing in it that reaches another file or changes how the file set is
// kept, refused with the record a server gives for a refused statement.
TEST_F(Database_Contract, OneStatementPerTextAndNoneThatReachesOtherFiles) {
    std::string other = (Folder.Path() / "other.db").string();
    for (const std::string& sql : std::vector<std::string>{
             "select 1; attach database '" + other + "' as e", "select 1 as a; delete from lab.dbo.samples",
             "vacuum into '" + other + "'", "pragma journal_mode = wal",
             "select 1 as a from lab.dbo.samples where 1 = 0; detach database hadel",
             "exec labrack.dbo.outstanding_rackTests @rack_desc = 'R-1'; pragma writable_schema = 1"}) {
        db::Exec_Outcome out = Run(sql);
        EXPECT_FALSE(out.Ok) << sql;
        ASSERT_EQ(out.Errors.size(), 1u) << sql;
        EXPECT_EQ(out.Errors[0].Number, -2147217900) << sql;
        EXPECT_EQ(out.Errors[0].Sql_State, "42000") << sql;
    }
    EXPECT_FALSE(fs::exists(other));
    EXPECT_NE(One("select count(*) from lab.dbo.samples"), "0");
    EXPECT_EQ(One("select 7 as a; "), "7"); // a closing ";" starts nothing
}

// The lab database on a disk of its own that fills up, then is mounted read-only: each statement that
// cannot write names that cause, not only that the database did not answer. The disk is a small tmpfs
// mounted for the test, which needs root; elsewhere the test is skipped.
TEST_F(Database_Contract, AFullDiskAndAReadOnlyDiskAreNamedAsSuch) {
    Temp_Dir disk("pcs-disk");
    const std::string at = disk.Path().string();
    if (::geteuid() != 0 ||
        std::system(("mount -t tmpfs -o size=8m tmpfs '" + at + "' 2>/dev/null").c_str()) != 0)
        GTEST_SKIP() << "no file system of its own can be mounted here";
    struct Unmount {
        std::string At;
        ~Unmount() { (void)std::system(("umount '" + At + "'").c_str()); }
    } unmount{at};
    const std::string cs = embedded::Embedded_Connect_String(Copy_Seeded(disk.Path()));
    // Each attempt on a backend of its own, so no connection keeps the files open afterwards.
    auto errors_of = [&](const std::string& sql) {
        embedded::Embedded_Backend backend;
        return db::Format_DB_Errors(backend.Connect(cs, db::Connect_Options{})->Execute(sql).Errors);
    };
    const std::string grow = "update lab.dbo.samples set CUSTOMER = '" + std::string(2000, 'x') + "'";
    {
        std::ofstream filler(disk.Path() / "filler", std::ios::binary);
        const std::string block(64 * 1024, '\0');
        while (filler.write(block.data(), static_cast<std::streamsize>(block.size())))
            filler.flush();
    }
    const std::string full = errors_of(grow);
    EXPECT_NE(full.find("is full"), std::string::npos) << full;
    EXPECT_NE(full.find(at), std::string::npos) << full;

    fs::remove(disk.Path() / "filler");
    ASSERT_EQ(std::system(("mount -o remount,ro '" + at + "'").c_str()), 0);
    const std::string read_only = errors_of(grow);
    EXPECT_NE(read_only.find("read-only"), std::string::npos) << read_only;
}
