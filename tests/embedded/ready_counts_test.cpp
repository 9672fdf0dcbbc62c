// The test groups' counts of READY tests, read from the counts the triggers keep, are the rows counting
// the tests gives, for every lab code and test group asked, through every kind of change to the tests,
// and on an older lab database that gets the counts when it is opened.
#include "embedded_fixture.h"
#include "sql_dialect.h"
#include "sqlite_db.h"

using namespace pcs;
using namespace pcs::embedded;
using namespace pcs::test;

namespace {

class ReadyCounts : public Embedded_Test {
protected:
    // db answers the statement from its counts as the station's layer does, and counting gives the
    // same rows; each count is also the one a plain count(*) over lab_tracking finds.
    void Expect_Exact(Sqlite_Db& db, const std::string& when) {
        ASSERT_TRUE(db.Has_Ready_Counts()) << when;
        for (const char* lab : {"'VOLMAR'", "'volmar'", "'OTHERLAB'", "'NOLAB'", "null"}) {
            for (const char* group : {"null", "'PrtCount'", "'prtcount'", "'SCREEN'", "'EMPTYGRP'"}) {
                const std::string sql =
                    std::string("select * from labrack.dbo.TBL_TestGroup_Count(") + lab + ", " + group + ") ";
                const std::string what = when + ", " + lab + ", " + group;
                Table kept, counted;
                ASSERT_TRUE(db.Run_Text(std::get<Plain_Statement>(Parse_Statement(sql, true)).Sql, kept));
                ASSERT_TRUE(db.Run_Text(std::get<Plain_Statement>(Parse_Statement(sql, false)).Sql, counted));
                EXPECT_EQ(kept.Columns, counted.Columns) << what;
                EXPECT_EQ(kept.Rows, counted.Rows) << what;
                if (std::string(group) != "'EMPTYGRP'") {
                    ASSERT_FALSE(kept.Rows.empty()) << what;
                }
                for (const auto& row : kept.Rows) {
                    Table direct =
                        db.Query("SELECT count(*) FROM main.lab_tracking WHERE STATUS = 'READY' AND "
                                 "TEST_GROUP = ?1 AND LAB_CODE = " +
                                     std::string(lab),
                                 {*row[0]});
                    EXPECT_EQ(row[3], direct.Rows[0][0]) << what << ", group " << *row[0];
                }
            }
        }
    }
    long long Count(const std::string& lab, const std::string& group) {
        return std::stoll(
            *Rows("select * from labrack.dbo.TBL_TestGroup_Count('" + lab + "', '" + group + "') ")
                 .at(0)
                 .at("COUNT"));
    }
};

} // namespace

TEST_F(ReadyCounts, EqualCountingTheTestsThroughEveryKindOfChange) {
    Sqlite_Db check(Lab_File, 5000);
    Sqlite_Db other(Lab_File, 5000);
    EXPECT_EQ(check.Damage().value_or(""), "");
    other.Exec("INSERT INTO main.test_groups (TEST_GROUP, DESCRIPTION) VALUES ('EMPTYGRP', 'no tests')");
    Expect_Exact(check, "at first");
    const long long ready = Count("VOLMAR", "PrtCount");
    ASSERT_GT(ready, 3);
    EXPECT_EQ(Count("VOLMAR", "EMPTYGRP"), 0);

    // A sample with a READY particle count, and one with none at all.
    const std::string sample =
        *other
             .Query("SELECT LAB_ID FROM main.lab_tracking WHERE STATUS = 'READY' AND TEST_GROUP = 'PrtCount' "
                    "ORDER BY TRACK_ID LIMIT 1")
             .Rows[0][0];
    auto add = [&](const std::string& group, int run, const std::string& status) {
        other.Exec("INSERT INTO main.lab_tracking (LAB_ID, LAB_CODE, TEST_GROUP, RUN_NO, STATUS, DATE_ADDED) "
                   "VALUES (?1, 'VOLMAR', ?2, ?3, ?4, '2000-01-01 00:00:00')",
                   {std::stoll(sample), group, static_cast<long long>(run), status});
    };
    add("SCREEN", 7, "READY");
    add("SCREEN", 8, "DONE");
    add("prtcount", 9, "ready"); // another spelling of the same group and status
    Expect_Exact(check, "after READY, DONE and lower-case inserts");
    EXPECT_EQ(Count("VOLMAR", "PrtCount"), ready + 1);

    other.Exec("UPDATE main.lab_tracking SET STATUS = 'DONE' WHERE LAB_ID = ?1 AND RUN_NO = 7",
               {std::stoll(sample)});
    other.Exec("UPDATE main.lab_tracking SET STATUS = 'ready' WHERE LAB_ID = ?1 AND RUN_NO = 8",
               {std::stoll(sample)});
    other.Exec("UPDATE main.lab_tracking SET STATUS = 'READY' WHERE LAB_ID = ?1 AND RUN_NO = 9",
               {std::stoll(sample)});
    Expect_Exact(check, "after READY to DONE and DONE to 'ready'");

    other.Exec("UPDATE main.lab_tracking SET TEST_GROUP = 'SCREEN' WHERE LAB_ID = ?1 AND RUN_NO = 9",
               {std::stoll(sample)});
    other.Exec("UPDATE main.lab_tracking SET LAB_CODE = 'OTHERLAB' WHERE LAB_ID = ?1 AND RUN_NO = 8",
               {std::stoll(sample)});
    other.Exec("UPDATE main.lab_tracking SET LAB_CODE = 'volmar', TEST_GROUP = 'PRTCOUNT' WHERE TRACK_ID = "
               "(SELECT max(TRACK_ID) FROM main.lab_tracking WHERE STATUS = 'READY' AND TEST_GROUP = "
               "'PrtCount')");
    Expect_Exact(check, "after test groups and lab codes changed");
    EXPECT_EQ(Count("OTHERLAB", "SCREEN"), 1);

    // The station's own writes: a result saved, a test taken off, a redo, a rack routed.
    std::string saved;
    for (auto& r :
         Rows("exec labrack.dbo.outstanding_rackTests @rack_desc = 'PC-R001', @test_group = 'PrtCount'"))
        if (saved.empty() && r["STATUS"] == std::optional<std::string>("READY"))
            saved = r["WORK_ORDER_NO"].value();
    ASSERT_FALSE(saved.empty());
    EXPECT_EQ(Rows("exec Lab.dbo.import_PC002 @labnumber = '" + saved +
                   "', @instrumentid = 'PC002', @filename = 'USER_INTERFACE', @labcode = 'VOLMAR', @method = "
                   "'ISO4406', @sampleVolume = '20', @factorVolume = 1, @pc2m = '4446', @pc5m = '908', "
                   "@pc15m = '51', @pc25m = '13', @pc50m = '0', @pc100m = '0', @pc200m = '0', @empnum = 101, "
                   "@test = 'N' ")
                  .at(0)
                  .at("STATUS"),
              "DONE");
    Rows("exec Lab.dbo.labtrack_inserttest  @labnumber = '" + saved +
         "', @labcode = 'VOLMAR', @testgrp = 'PrtCount', @class = 'REDO', @comments = 'x',@return_status = "
         "'Y'");
    Rows("exec lab.dbo.labtrack_testaction @labnumber = '" + saved +
         "', @empnum = 101, @labcode = 'VOLMAR', @testgrp = 'PrtCount', @testaction = 'TOO_DARK' ");
    Rack_Spec routed;
    routed.Rack_Desc = "PC-NEW-01";
    routed.New_Samples = 3;
    Lab_Admin(Lab_File).Route_Rack(routed);
    Expect_Exact(check, "after a save, a redo, a test action and a routing");

    // A row pushed out by INSERT OR REPLACE leaves the counts as a delete does.
    EXPECT_TRUE(
        Run("insert or replace into lab.dbo.lab_tracking (TRACK_ID, LAB_ID, LAB_CODE, TEST_GROUP, "
            "RUN_NO, STATUS, DATE_ADDED) select TRACK_ID, LAB_ID, LAB_CODE, TEST_GROUP, RUN_NO, 'DONE', "
            "DATE_ADDED from lab.dbo.lab_tracking where STATUS = 'READY' and TEST_GROUP = 'PrtCount' "
            "order by TRACK_ID limit 1")
            .Ok);
    Expect_Exact(check, "after a READY test replaced");

    other.Exec("DELETE FROM main.lab_tracking WHERE TRACK_ID = (SELECT min(TRACK_ID) FROM main.lab_tracking "
               "WHERE STATUS = 'READY')");
    other.Exec("DELETE FROM main.lab_tracking WHERE LAB_ID = ?1", {std::stoll(sample)});
    Expect_Exact(check, "after a test and a sample's tests deleted");
    EXPECT_EQ(Count("OTHERLAB", "SCREEN"), 0);
    EXPECT_EQ(check.Damage().value_or(""), "");
}

TEST_F(ReadyCounts, AnOlderLabDatabaseGetsItsCountsWhenOpened) {
    {
        Sqlite_Db old(Lab_File, 5000);
        old.Exec_Script(
            "DROP TRIGGER main.lab_tracking_ready_insert; DROP TRIGGER main.lab_tracking_ready_delete; "
            "DROP TRIGGER main.lab_tracking_ready_update; DROP TABLE main.ready_counts; "
            "DELETE FROM main.db_info WHERE NAME = 'ready_counts'");
        // Written while nothing counted it.
        old.Exec("UPDATE main.lab_tracking SET STATUS = 'ready' WHERE TRACK_ID = (SELECT max(TRACK_ID) FROM "
                 "main.lab_tracking WHERE STATUS <> 'READY')");
    }
    Sqlite_Db reopened(Lab_File, 5000);
    EXPECT_TRUE(reopened.Has_Ready_Counts());
    EXPECT_EQ(reopened.Damage().value_or(""), "");
    Expect_Exact(reopened, "after the counts were added");
    reopened.Exec(
        "UPDATE main.lab_tracking SET STATUS = 'DONE' WHERE STATUS = 'READY' AND TEST_GROUP = 'SCREEN'");
    Expect_Exact(reopened, "after a change to the upgraded file");
    EXPECT_EQ(Count("VOLMAR", "SCREEN"), 0);
}
