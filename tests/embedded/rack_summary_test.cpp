// The outstanding racks and the priority filters answered from the racks' summary are the rows their
// statements give, in the same order, through the changes a lab makes from another connection: results
// saved, priorities raised, retests added, racks taken, emptied and routed, a new test group.
#include "embedded_fixture.h"
#include "rack_summary.h"
#include "sqlite_db.h"

#include "common/globals.h"

using namespace pcs;
using namespace pcs::embedded;
using namespace pcs::test;

namespace {

class RackSummary : public Embedded_Test {
protected:
    void Expect_As_Statements(Sqlite_Db& db, const std::string& when) {
        const std::string lab = Lab_Code_Default;
        for (const std::optional<std::string>& group :
             {std::optional<std::string>(), std::optional<std::string>("PrtCount"),
              std::optional<std::string>("prtcount"), std::optional<std::string>("SCREEN")}) {
            Transaction tx(db, false);
            for (const std::optional<std::string>& priority :
                 {std::optional<std::string>(), std::optional<std::string>("RUSH"),
                  std::optional<std::string>("retest"), std::optional<std::string>("CRITICAL"),
                  std::optional<std::string>("NORMAL")}) {
                std::optional<Table> cached = Summary_Outstanding_Racks(db, lab, group, priority);
                ASSERT_TRUE(cached) << when;
                Table plain = Outstanding_Racks_Statement(db, lab, group, priority, false, std::nullopt);
                EXPECT_EQ(cached->Columns, plain.Columns);
                EXPECT_EQ(cached->Rows, plain.Rows) << when << ", group " << group.value_or("null")
                                                    << ", priority " << priority.value_or("null");
            }
            std::optional<Table> cached = Summary_Rack_Priorities(db, lab, group);
            ASSERT_TRUE(cached) << when;
            Table plain = Rack_Priorities_Statement(db, lab, group, false);
            EXPECT_EQ(cached->Columns, plain.Columns);
            EXPECT_EQ(cached->Rows, plain.Rows) << when << ", priorities of group " << group.value_or("null");
        }
    }
};

} // namespace

TEST_F(RackSummary, AnswersAsTheStatementsThroughTheLabsChanges) {
    Sqlite_Db station(Lab_File, 5000);
    Sqlite_Db other(Lab_File, 5000);
    ASSERT_TRUE(station.Has_Change_Logs());
    Expect_As_Statements(station, "at first");
    ASSERT_FALSE(Summary_Outstanding_Racks(station, Lab_Code_Default, std::string("PrtCount"), std::nullopt)
                     ->Rows.empty());

    other.Exec("UPDATE main.lab_tracking SET STATUS = 'DONE' WHERE TRACK_ID IN (SELECT TRACK_ID FROM "
               "main.lab_tracking WHERE STATUS = 'READY' ORDER BY TRACK_ID LIMIT 3)");
    Expect_As_Statements(station, "after three results");
    other.Exec("UPDATE main.samples SET PRIORITY = 'critical' WHERE LAB_ID IN (SELECT LAB_ID FROM "
               "main.lab_tracking WHERE STATUS = 'READY' ORDER BY TRACK_ID DESC LIMIT 1)");
    other.Exec(
        "INSERT INTO main.lab_tracking (LAB_ID, LAB_CODE, TEST_GROUP, RUN_NO, STATUS, DATE_ADDED) "
        "SELECT LAB_ID, LAB_CODE, TEST_GROUP, RUN_NO + 1, 'READY', '2000-01-01 00:00:00' FROM "
        "main.lab_tracking WHERE STATUS = 'DONE' AND TEST_GROUP = 'PrtCount' ORDER BY TRACK_ID LIMIT 1");
    Expect_As_Statements(station, "after a priority raised and a retest");
    other.Exec("UPDATE labrack.racks SET CURR_USER = 117, CURR_STATION = 'PARTICLE COUNT' WHERE RACK_ID = "
               "(SELECT min(RACK_ID) FROM labrack.racks)");
    other.Exec("DELETE FROM labrack.rack_positions WHERE RACK_ID = (SELECT max(RACK_ID) FROM labrack.racks)");
    Expect_As_Statements(station, "after a rack taken and one emptied");
    Rack_Spec routed;
    routed.Rack_Desc = "PC-NEW-01";
    routed.Priority = "URGENT";
    routed.New_Samples = 4;
    Lab_Admin(Lab_File).Route_Rack(routed);
    Expect_As_Statements(station, "after a rack routed");
    other.Exec("INSERT INTO main.test_groups (TEST_GROUP, DESCRIPTION) VALUES ('NEWGROUP', 'new')");
    other.Exec("UPDATE main.lab_tracking SET TEST_GROUP = 'NEWGROUP' WHERE TRACK_ID = (SELECT max(TRACK_ID) "
               "FROM main.lab_tracking WHERE STATUS = 'READY')");
    Expect_As_Statements(station, "after a new test group");
}

TEST_F(RackSummary, AnOlderLabDatabaseGetsItsChangeLogsWhenOpened) {
    {
        Sqlite_Db old(Lab_File, 5000);
        old.Exec_Script("DROP TRIGGER labrack.racks_logged_delete; DELETE FROM main.db_info WHERE NAME = "
                        "'summary_epoch'");
    }
    Sqlite_Db reopened(Lab_File, 5000);
    EXPECT_TRUE(reopened.Has_Change_Logs());
    Expect_As_Statements(reopened, "after the logs were added");
}

// The station's own round: the list, a rack taken, the list again, the rack given back, and so on.
TEST_F(RackSummary, TheListAnswersBetweenRacksTakenAndGivenBack) {
    const std::string list =
        "labrack.dbo.outstanding_racks  @lab_code = 'VOLMAR' , @test_group = 'PrtCount' , "
        "@priority = null";
    for (const char* action : {"GET", "PUT", "GET"}) {
        db::Exec_Outcome answer = Run(list);
        ASSERT_TRUE(answer.Ok) << "before " << action << ": " << answer.Errors.at(0).Description;
        auto racks = Rows(list);
        ASSERT_FALSE(racks.empty()) << "before " << action;
        Rows("exec labrack.dbo.rack_acquisition_upd @rack_id = " + racks.front().at("RACK_ID").value() +
             ", @emp_num = 117, @station = 'PARTICLE COUNT', @action = '" + action + "'");
    }
    auto racks = Rows(list);
    ASSERT_FALSE(racks.empty());
    EXPECT_EQ(racks.front().at("CURR_USER"), std::optional<std::string>("117"));
}
