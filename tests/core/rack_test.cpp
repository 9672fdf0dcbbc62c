#include "common/sql.h"
#include "common/text.h"
#include "db/connect_string.h"
#include "db/statement_error.h"
#include "lab/rack.h"
#include "records/pqm_fdm.h"
#include "records/prt_count.h"
#include "records/screen.h"
#include "records/weights.h"
#include "records_fixture.h"
#include "support/temp_dir.h"

#include <filesystem>
#include <fstream>

using namespace pcs;
using namespace pcs::test;
using namespace std::chrono_literals;

namespace {

const std::vector<std::string> Rack_Columns = {"RACK_ID",          "CURRENT_RACK_STATUS",
                                               "CURR_USER",        "CURR_STATION",
                                               "POSITION",         "STATUS",
                                               "PRIORITY",         "RUN_NO",
                                               "WORK_ORDER_NO",    "LAB_ID",
                                               "LAB_CODE",         "COMPONENT_CODE",
                                               "DOPICTURE",        "DESIRED_WEIGHT",
                                               "RECEIVED_DATETIME"};

std::vector<db::Field> Rack_Row(const char* position, const char* status, const char* lab_id,
                                const char* received = "2024-03-05 10:00:00.000") {
    return {F("310"),    F("OPEN"),   F("17"),    F("PARTICLE COUNT"), F(position), F(status),
            F(" RUSH "), F("2"),      F("W-1"),   F(lab_id),           F("VOLMAR"), F(" GEAR "),
            F("1"),      F(" 12.5 "), F(received)};
}

struct RackTest : Records_Fixture {
    Temp_Dir dir;
    Manual_Clock clock{std::chrono::system_clock::from_time_t(2000000000)};
    std::unique_ptr<Rack> rack;

    RackTest() {
        std::ofstream(dir / "settings.txt") << "INSTRUMENT_ID;PC002;the counter\nCOMM_PORT;1;port\n";
        g.App_Folder = dir.Path().string() + "/";
        emp.Station = "PARTICLE COUNT";
        emp.Emp_Num = 117;
        rack = std::make_unique<Rack>(db, g, alerts, emp, clock, std::string("DSN=LAB"));
    }

    void Answer_Rack(std::vector<std::vector<db::Field>> rows) {
        backend.Queue.push_back(Answer_Script::Rows_Of(Table{Rack_Columns, std::move(rows)}));
    }
};

} // namespace

TEST_F(RackTest, CreationLoadsTheSettingsFileAndStartsEmpty) {
    EXPECT_EQ(rack->Settings.Count(), 2u);
    EXPECT_EQ(rack->Settings.Int16("comm_port"), 1);
    EXPECT_EQ(g.Station_Instrument_Id, "PC002");
    EXPECT_EQ(rack->Lab_Code, "VOLMAR");
    EXPECT_TRUE(rack->Pos.empty());
    EXPECT_TRUE(backend.Statements.empty());

    Rack with_connection(db, g, alerts, emp, clock, std::string("DSN=STATION"));
    EXPECT_EQ(g.Connect_String, "DSN=STATION");
    Rack with_station_default(db, g, alerts, emp, clock);
    EXPECT_EQ(g.Connect_String, db::Station_Connect_String());
}

TEST_F(RackTest, LoadTextAndGapsBecomeEmptyPositionsUpToTwenty) {
    Answer_Rack(
        {Rack_Row("1", "READY", "1001"), Rack_Row("2", "PENDING", "1002"), Rack_Row("5", "", "1005")});
    rack->Rack_Load("R'12 ", " PrtCount ");
    EXPECT_EQ(Last_Statement(),
              "exec labrack.dbo.outstanding_rackTests @rack_desc = 'R''12 ', @test_group = 'PrtCount'");
    ASSERT_EQ(rack->Pos.size(), 20u);
    for (size_t i = 0; i < 20; ++i)
        EXPECT_EQ(rack->Pos[i]->Pos, static_cast<int16_t>(i));
    EXPECT_EQ(rack->Rack_id, "310");
    EXPECT_EQ(rack->Rack_Status, "OPEN");
    EXPECT_EQ(rack->Curr_User, "17");
    EXPECT_EQ(rack->Curr_Station, "PARTICLE COUNT");

    const RackPositions& first = rack->Pos_Item(1);
    EXPECT_EQ(first.Lab_Id, "1001");
    EXPECT_EQ(first.Status, "READY");
    EXPECT_TRUE(first.Active);
    EXPECT_EQ(first.Priority, "RUSH");
    EXPECT_EQ(first.Run_No, 2);
    EXPECT_EQ(first.Sample_Desc, "W-1");
    EXPECT_EQ(first.Component_Code, "GEAR");
    EXPECT_TRUE(first.doPicture);
    EXPECT_EQ(first.TargetWeight, "12.5");
    EXPECT_FALSE(first.isSaved);

    // "PENDING" is kept as "DONE" and stays active.
    EXPECT_EQ(rack->Pos_Item(2).Status, "DONE");
    EXPECT_EQ(rack->Pos_Item(2).Init_Status, "DONE");
    EXPECT_TRUE(rack->Pos_Item(2).Active);

    // Positions 3 and 4 are gaps; the row for position 5 has no status, so it is inactive.
    for (size_t i : {3u, 4u, 20u}) {
        EXPECT_EQ(rack->Pos_Item(i).Lab_Id, "0");
        EXPECT_FALSE(rack->Pos_Item(i).Active);
        ASSERT_TRUE(rack->Pos_Item(i).Rec);
        EXPECT_TRUE(rack->Pos_Item(i).Rec->isEmpty);
    }
    EXPECT_EQ(rack->Pos_Item(5).Lab_Id, "1005");
    EXPECT_FALSE(rack->Pos_Item(5).Active);
    EXPECT_FALSE(rack->Pos_Item(5).Rec->isEmpty);
}

TEST_F(RackTest, ResultRecordFollowsTheStation) {
    auto kind_for = [&](const std::string& station) -> std::string {
        emp.Station = station;
        Answer_Rack({Rack_Row("1", "PENDING", "1001")});
        rack->Rack_Load("R1", "PrtCount");
        auto& rec = rack->Pos_Item(1).Rec;
        if (!rec) return "none";
        EXPECT_EQ(rec->Lab_Id, "1001");
        EXPECT_EQ(rec->Lab_Code, "VOLMAR");
        EXPECT_EQ(rec->Run_No, 2);
        EXPECT_EQ(rec->Priority, "RUSH");
        EXPECT_EQ(rec->Status, "DONE");
        EXPECT_FALSE(rec->isEmpty);
        return rec->Record_Kind();
    };
    EXPECT_EQ(kind_for("PARTICLE COUNT"), "PrtCount");
    EXPECT_EQ(kind_for("PC"), "PrtCount");
    EXPECT_TRUE(std::dynamic_pointer_cast<PrtCount>(rack->Pos_Item(1).Rec));
    for (const char* s : {"SCREENING", "SCREEN", "SPAT", "VISUAL"})
        EXPECT_EQ(kind_for(s), "SCREEN");
    EXPECT_EQ(kind_for("WEIGH"), "WEIGHT");
    EXPECT_EQ(kind_for("PQM"), "PQM");
    EXPECT_EQ(kind_for("FTIR"), "none");

    emp.Station = "SCALE";
    Answer_Rack({});
    rack->Rack_Load("R1", "KF");
    EXPECT_EQ(Last_Statement(), "exec labrack.dbo.outstanding_rackTests @rack_desc = 'R1', @test_group = 'KF'"
                                ", @weight_required = 1, @showWeighed = 0 ");
    EXPECT_EQ(rack->Pos_Item(1).Rec->Record_Kind(), "WEIGHT");
}

TEST_F(RackTest, MoreThanTwentyRowsAreAllKeptAndRepeatsAppend) {
    std::vector<std::vector<db::Field>> rows;
    for (int p = 1; p <= 24; ++p)
        rows.push_back(Rack_Row(std::to_string(p).c_str(), "READY", std::to_string(1000 + p).c_str()));
    Answer_Rack(rows);
    rack->Rack_Load("R1", "PrtCount");
    ASSERT_EQ(rack->Pos.size(), 24u);
    EXPECT_EQ(rack->Pos_Item(24).Lab_Id, "1024");

    Answer_Rack(
        {Rack_Row("1", "READY", "1001"), Rack_Row("1", "READY", "2001"), Rack_Row("2", "READY", "1002")});
    rack->Rack_Load("R1", "PrtCount");
    ASSERT_EQ(rack->Pos.size(), 20u);
    EXPECT_EQ(rack->Pos_Item(1).Lab_Id, "1001");
    EXPECT_EQ(rack->Pos_Item(2).Lab_Id, "2001");
    EXPECT_EQ(rack->Pos_Item(3).Lab_Id, "1002");
}

TEST_F(RackTest, RowsOutOfOrderLandOnTheirOwnSlots) {
    Answer_Rack({Rack_Row("5", "READY", "1005"), Rack_Row("2", "READY", "1002")});
    rack->Rack_Load("R1", "PrtCount");
    EXPECT_EQ(rack->Pos_Item(2).Lab_Id, "1002");
    EXPECT_EQ(rack->Pos_Item(5).Lab_Id, "1005");
    EXPECT_EQ(rack->Pos_Item(1).Lab_Id, "0");
}

TEST_F(RackTest, RackDateIsTheEarliestReceivedOrNow) {
    Answer_Rack({Rack_Row("1", "READY", "1", "2024-03-05 10:00:00.000"),
                 Rack_Row("2", "READY", "2", "2024-03-01"), Rack_Row("3", "READY", "3", "not a date")});
    rack->Rack_Load("R1", "PrtCount");
    EXPECT_EQ(rack->Rack_Date, *Parse_Db_Date_Time("2024-03-01 00:00"));

    Answer_Rack({Rack_Row("1", "READY", "1", "2040-01-01T00:00:00")});
    rack->Rack_Load("R1", "PrtCount");
    EXPECT_EQ(rack->Rack_Date, clock.Now());

    Answer_Rack({});
    rack->Rack_Load("R1", "PrtCount");
    EXPECT_EQ(rack->Rack_Date, clock.Now());
    EXPECT_EQ(rack->Rack_id, "");
    EXPECT_EQ(rack->Pos.size(), 20u);
}

TEST_F(RackTest, NullsInAPositionRowKeepTheEmptySlotValues) {
    auto row = Rack_Row("1", "READY", "1001");
    for (size_t c = 5; c < row.size(); ++c)
        row[c] = std::nullopt;
    Answer_Rack({row});
    rack->Rack_Load("R1", "PrtCount");
    const RackPositions& p = rack->Pos_Item(1);
    EXPECT_EQ(p.Status, "");
    EXPECT_EQ(p.Lab_Id, "0");
    EXPECT_EQ(p.Run_No, 0);
    EXPECT_FALSE(p.doPicture);
    EXPECT_FALSE(p.Rec->isEmpty);
}

TEST_F(RackTest, BadAnswersLeaveNoHalfLoadedRack) {
    auto check_cleared = [&] {
        EXPECT_TRUE(rack->Pos.empty());
        EXPECT_EQ(rack->Rack_id, "");
        EXPECT_EQ(rack->Rack_Status, "");
        EXPECT_EQ(rack->Curr_User, "");
        EXPECT_EQ(rack->Curr_Station, "");
    };
    Answer_Rack({Rack_Row("1", "READY", "1001")});
    rack->Rack_Load("R1", "PrtCount");

    backend.Queue.push_back(Failed());
    EXPECT_THROW(rack->Rack_Load("R1", "PrtCount"), db::Statement_Failed_Error);
    check_cleared();

    for (const char* bad : {"abc", "0", "40000"}) {
        Answer_Rack({Rack_Row("1", "READY", "1001"), Rack_Row(bad, "READY", "1002")});
        EXPECT_THROW(rack->Rack_Load("R1", "PrtCount"), db::Lab_Data_Error) << bad;
        check_cleared();
    }
    auto null_pos = Rack_Row("1", "READY", "1001");
    null_pos[4] = std::nullopt;
    Answer_Rack({null_pos});
    EXPECT_THROW(rack->Rack_Load("R1", "PrtCount"), db::Lab_Data_Error);
    check_cleared();

    auto big_run = Rack_Row("1", "READY", "1001");
    big_run[7] = F("70000");
    Answer_Rack({Rack_Row("2", "READY", "1002"), big_run});
    EXPECT_THROW(rack->Rack_Load("R1", "PrtCount"), Conversion_Error);
    check_cleared();
}

TEST_F(RackTest, AnUnreadableRowPastTheFirstCostsOnlyItsSlot) {
    auto big_run = Rack_Row("2", "READY", "1002");
    big_run[7] = F("70000");
    Answer_Rack({Rack_Row("1", "READY", "1001"), big_run, Rack_Row("3", "READY", "1003")});
    rack->Rack_Load("R1", "PrtCount");
    ASSERT_EQ(rack->Pos.size(), 20u);
    EXPECT_EQ(rack->Rack_id, "310");
    EXPECT_EQ(rack->Pos_Item(2).Lab_Id, "0");
    EXPECT_TRUE(rack->Pos_Item(2).Rec->isEmpty);
    EXPECT_EQ(rack->Pos_Item(3).Lab_Id, "1003");
    EXPECT_EQ(rack->Pos_Item(3).Pos, 2);
}

TEST_F(RackTest, AcquisitionTakenAndRefused) {
    Answer_Rack({Rack_Row("1", "READY", "1001")});
    rack->Rack_Load("R1", "PrtCount");
    emp.Station = " PARTICLE COUNT ";

    backend.Queue.push_back(
        Row({"ERROR", "CURR_USER", "CURR_STATION", "MESSAGE"}, {F("0"), Null, Null, F("taken")}));
    EXPECT_TRUE(rack->Rack_Status_Update(std::string("GET")));
    EXPECT_EQ(Last_Statement(), "exec labrack.dbo.rack_acquisition_upd @rack_id = 310, @emp_num = 117, "
                                "@station = 'PARTICLE COUNT', @action = 'GET'");
    EXPECT_EQ(rack->Curr_User, "117");
    EXPECT_EQ(rack->Curr_Station, "PARTICLE COUNT");
    EXPECT_EQ(rack->Rack_Status, "taken");

    backend.Queue.push_back(Row({"ERROR", "CURR_USER", "CURR_STATION", "MESSAGE"},
                                {F("1"), F("88"), F(" SCREEN "), F("held by 88")}));
    EXPECT_FALSE(rack->Rack_Status_Update(std::string("GET")));
    EXPECT_EQ(rack->Curr_User, "88");
    EXPECT_EQ(rack->Curr_Station, "SCREEN");
    EXPECT_EQ(rack->Rack_Status, "held by 88");

    backend.Queue.push_back(Row({"ERROR", "MESSAGE"}, {Null, Null}));
    EXPECT_FALSE(rack->Rack_Status_Update(std::string("PUT")));
    EXPECT_EQ(Last_Statement().substr(Last_Statement().size() - 15), "@action = 'PUT'");
    EXPECT_EQ(rack->Curr_User, "");
    EXPECT_EQ(rack->Rack_Status, "");

    backend.Queue.push_back(Empty({"ERROR"}));
    EXPECT_FALSE(rack->Rack_Status_Update(std::string("PUT")));
    backend.Queue.push_back(Failed());
    EXPECT_THROW(rack->Rack_Status_Update(std::string("PUT")), db::Statement_Failed_Error);
}

TEST_F(RackTest, AcquisitionSendsNothingForOtherActionsOrABadRackId) {
    rack->Rack_id = "310";
    EXPECT_FALSE(rack->Rack_Status_Update(std::string("get")));
    EXPECT_FALSE(rack->Rack_Status_Update(std::nullopt));
    rack->Rack_id = "310; delete from racks";
    EXPECT_THROW(rack->Rack_Status_Update(std::string("GET")), Sql_Value_Error);
    rack->Rack_id = "";
    EXPECT_THROW(rack->Rack_Status_Update(std::string("PUT")), Sql_Value_Error);
    EXPECT_TRUE(backend.Statements.empty());

    g.Debug_Mode = true;
    EXPECT_TRUE(rack->Rack_Status_Update(std::string("anything")));
    EXPECT_EQ(rack->Curr_User, "117");
    EXPECT_EQ(rack->Curr_Station, "PARTICLE COUNT");
    EXPECT_TRUE(backend.Statements.empty());
    EXPECT_TRUE(rack->isRackLoggedOut(false));
}

TEST_F(RackTest, ListQueryTexts) {
    rack->Get_Samples("PrtCount", " RUSH ");
    EXPECT_EQ(Last_Statement(),
              "labrack.dbo.outstanding_racks  @lab_code = 'VOLMAR' , @test_group = 'PrtCount' "
              ", @priority = 'RUSH'");
    rack->Get_Samples("", "");
    EXPECT_EQ(Last_Statement(), "labrack.dbo.outstanding_racks  @lab_code = 'VOLMAR' , @priority = null");
    emp.Station = "SPAT";
    rack->Get_Samples("", "A'B");
    EXPECT_EQ(Last_Statement(), "labrack.dbo.outstanding_racks  @lab_code = 'VOLMAR' , @priority = 'A''B'"
                                ", @spat = -1, @visual = null ");
    emp.Station = "VISUAL";
    rack->Get_Samples("", "");
    EXPECT_EQ(Last_Statement(), "labrack.dbo.outstanding_racks  @lab_code = 'VOLMAR' , @priority = null"
                                ", @spat = null, @visual = -1 ");
    emp.Station = "SCALE";
    rack->Get_Samples("KF", "");
    EXPECT_EQ(Last_Statement(), "labrack.dbo.outstanding_racks  @lab_code = 'VOLMAR' , @test_group = 'KF' "
                                ", @priority = null, @weight_required = 1, @isWeighed = 0 ");
    rack->Get_Rack_Priority(" VOLMAR ", "KF");
    EXPECT_EQ(Last_Statement(), "labrack.dbo.get_rack_priority 'VOLMAR' , 'KF' , 0, 0, 1, 0 , 0");
    emp.Station = "PARTICLE COUNT";
    rack->Get_Rack_Priority("VOLMAR", "");
    EXPECT_EQ(Last_Statement(), "labrack.dbo.get_rack_priority 'VOLMAR' , null, 0, 0, 0");

    rack->Rack_Outstanding_Tests(false, std::string("  "));
    EXPECT_EQ(Last_Statement(), "select * from labrack.dbo.TBL_TestGroup_Count('VOLMAR', null) ");
    rack->Rack_Outstanding_Tests(true, std::string(" PrtCount "));
    EXPECT_EQ(Last_Statement(),
              "select * from labrack.dbo.TBL_TestGroup_Count('VOLMAR', 'PrtCount') where isWeighed = 1 ");
    backend.Queue.push_back(Row({"COUNT"}, {F("12")}));
    db::Record_Set rs = rack->Rack_Outstanding_Tests(false, std::nullopt);
    EXPECT_EQ(rs.Text("count"), "12");
}

TEST_F(RackTest, SampleFoundAnswersTheHoldingRackOrTheLoadedOne) {
    rack->Rack_Desc = "R1";
    backend.Queue.push_back(Row({"RACK_DESC"}, {F(" R7 ")}));
    EXPECT_EQ(rack->Sample_Found(" 0012'34 ", "PrtCount"), "R7");
    EXPECT_EQ(Last_Statement(),
              "exec labrack.dbo.Get_RackSample  @lab_number = '0012''34', @lab_code = 'VOLMAR', "
              "@lab_id = null, @test_group = 'PrtCount', @weight_required = 0, "
              "@showWeighed = 0, @status = 'READY', @test = 'n' ");
    backend.Queue.push_back(Empty({"RACK_DESC"}));
    EXPECT_EQ(rack->Sample_Found("1", "PrtCount"), "R1");
    backend.Queue.push_back(Row({"RACK_DESC"}, {Null}));
    EXPECT_EQ(rack->Sample_Found("1", "PrtCount"), "R1");
    backend.Queue.push_back(Answer_Script::No_Rows());
    EXPECT_EQ(rack->Sample_Found("1", "PrtCount"), "R1");
}

TEST_F(RackTest, DatabaseFormOfTheSettings) {
    rack->Load_Software_settings_OLD();
    EXPECT_EQ(rack->Settings.Count(), 0u);
    EXPECT_TRUE(backend.Statements.empty());

    rack->softWare_Name = " Bench's ";
    backend.Queue.push_back(Row({"SOFTWARE_ID"}, {F("4")}));
    backend.Queue.push_back(Answer_Script::Rows_Of(Table{{"Setting", "VALUE", "DESCRIPTION", "TYPE"},
                                                         {{F(" COMM_PORT "), F(" 3 "), Null, F("NORMAL")},
                                                          {Null, F("x"), F("y"), F("z")},
                                                          {F("ISO2_CHECK"), Null, F(" limit "), Null}}}));
    rack->Load_Software_settings_OLD();
    ASSERT_EQ(backend.Statements.size(), 2u);
    EXPECT_EQ(backend.Statements[0],
              "SELECT * FROM   labrack.dbo.Lab_Software (nolock) WHERE  name = 'Bench''s' ");
    EXPECT_EQ(backend.Statements[1],
              "SELECT * FROM   labrack.dbo.Lab_Software_Settings (nolock) "
              "WHERE  software_id = 4 AND    type = 'NORMAL' ORDER BY     software_id, "
              "Setting");
    EXPECT_EQ(rack->softWare_id, "4");
    ASSERT_EQ(rack->Settings.Count(), 2u);
    EXPECT_EQ(rack->Settings.Item("COMM_PORT").Value, "3");
    EXPECT_EQ(rack->Settings.Item("COMM_PORT").Description, "");
    EXPECT_EQ(rack->Settings.Item("ISO2_CHECK").Value, "");
    EXPECT_EQ(rack->Settings.Item("ISO2_CHECK").Description, "limit");

    // A program the database does not know has no id: the settings query is not sent.
    backend.Statements.clear();
    backend.Queue.push_back(Empty({"SOFTWARE_ID"}));
    EXPECT_THROW(rack->Load_Software_settings_OLD(), Sql_Value_Error);
    EXPECT_EQ(backend.Statements.size(), 1u);
    EXPECT_FALSE(rack->softWare_id);
}

TEST(DbDateTime, ReadsTheDatabaseForms) {
    auto a = Parse_Db_Date_Time("2024-03-05 14:22:10.123");
    auto b = Parse_Db_Date_Time("2024-03-05T14:22:10");
    ASSERT_TRUE(a && b);
    EXPECT_EQ(*a, *b);
    EXPECT_EQ(*Parse_Db_Date_Time("2024-03-05 14:22") + 10s, *a);
    for (const char* bad : {"", "2024-13-01", "2024-03-05 25:00", "05/03/2024", "2024-03-05 14:22:10x"})
        EXPECT_FALSE(Parse_Db_Date_Time(bad)) << bad;
}
