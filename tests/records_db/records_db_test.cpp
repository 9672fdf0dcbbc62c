// The station's records against the embedded lab database: the same statement texts, real answers.
#include "common/globals.h"
#include "common/text.h"
#include "db/database.h"
#include "embedded_backend.h"
#include "lab/batch.h"
#include "lab/rack.h"
#include "lab_admin.h"
#include "records/employee.h"
#include "records/prt_count.h"
#include "records/screen.h"
#include "records/weights.h"
#include "support/fake_ports.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <fstream>

using namespace pcs;

namespace {

constexpr const char* Password = "4711'x";
constexpr const char* Other_Password = "90210";

struct RecordsDb : ::testing::Test {
    test::Temp_Dir dir;
    std::filesystem::path lab_file = dir / "lab.db";
    std::vector<std::string> lab_numbers;
    std::string connect;

    Globals g;
    embedded::Embedded_Backend backend;
    test::Recording_Alerts alerts;
    std::unique_ptr<db::Database> db;
    std::unique_ptr<Employee> emp;
    Manual_Clock clock{std::chrono::system_clock::now()};

    RecordsDb() {
        embedded::Lab_Admin::Create(lab_file);
        {
            embedded::Lab_Admin admin(lab_file);
            embedded::Employee_Spec ann;
            ann.Emp_Num = 117;
            ann.First_Name = "Ann";
            ann.Last_Name = "Lee";
            ann.Is_Admin = true;
            admin.Add_Employee(ann, Password);
            embedded::Employee_Spec bo;
            bo.Emp_Num = 118;
            bo.First_Name = "Bo";
            bo.Last_Name = "Ek";
            admin.Add_Employee(bo, Other_Password);
            lab_numbers = admin.New_Lab_Numbers("VOLMAR", 3);
            embedded::Rack_Spec rack;
            rack.Rack_Desc = "R-TEST";
            rack.Lab_Numbers = lab_numbers;
            rack.Priority = "RUSH";
            admin.Route_Rack(rack);
        }
        connect = embedded::Embedded_Connect_String(lab_file);
        g.Connect_String = connect;
        g.App_Folder = dir.Path().string() + "/";
        std::ofstream(dir / "settings.txt") << "INSTRUMENT_ID;PC002;the counter\n";
        db = std::make_unique<db::Database>(g, backend, alerts);
        emp = std::make_unique<Employee>(*db);
        emp->Station = "PARTICLE COUNT";
    }

    std::unique_ptr<Rack> Loaded_Rack() {
        auto rack = std::make_unique<Rack>(*db, g, alerts, *emp, clock, connect);
        rack->Rack_Load("R-TEST", "PrtCount");
        return rack;
    }
};

} // namespace

TEST_F(RecordsDb, LoginWithTheSeededPassword) {
    EXPECT_TRUE(emp->Login(std::string(Password) + "  "));
    EXPECT_EQ(emp->Emp_Num, 117);
    EXPECT_EQ(emp->Full_name, "Ann Lee");
    EXPECT_TRUE(emp->isAdmin);
    EXPECT_EQ(emp->Password, std::string(Password) + "  ");

    EXPECT_FALSE(emp->Login(std::string("x'; drop table t --")));
    EXPECT_EQ(emp->Emp_Num, -1);
    EXPECT_FALSE(emp->Login(std::string("4711")));
    EXPECT_TRUE(emp->Login(std::string(Other_Password)));
    EXPECT_EQ(emp->Emp_Num, 118);
    EXPECT_FALSE(emp->isAdmin);
    EXPECT_TRUE(alerts.Alerts.empty()) << alerts.Alerts.front();

    db::Record_Set list = emp->Employee_List(std::nullopt, false);
    ASSERT_TRUE(list.Is_Open());
    int n = 0;
    for (; !list.Eof(); list.Move_Next())
        ++n;
    EXPECT_GE(n, 2);
}

TEST_F(RecordsDb, LoadAcquireAndRelease) {
    ASSERT_TRUE(emp->Login(std::string(Password)));
    auto rack = Loaded_Rack();
    EXPECT_TRUE(Is_Numeric(rack->Rack_id)) << rack->Rack_id;
    ASSERT_EQ(rack->Pos.size(), 20u);
    for (size_t i = 1; i <= 3; ++i) {
        const RackPositions& p = rack->Pos_Item(i);
        EXPECT_EQ(p.Pos, static_cast<int16_t>(i - 1));
        EXPECT_TRUE(p.Active) << i;
        EXPECT_NE(p.Lab_Id, "0");
        EXPECT_EQ(p.Priority, "RUSH");
        ASSERT_TRUE(p.Rec);
        EXPECT_EQ(p.Rec->Record_Kind(), "PrtCount");
        EXPECT_FALSE(p.Rec->isEmpty);
    }
    EXPECT_FALSE(rack->Pos_Item(4).Active);
    EXPECT_TRUE(rack->Pos_Item(4).Rec->isEmpty);
    EXPECT_LE(rack->Rack_Date, clock.Now());

    EXPECT_TRUE(rack->Rack_Status_Update(std::string("GET")));
    EXPECT_EQ(rack->Curr_User, "117");
    EXPECT_EQ(rack->Curr_Station, "PARTICLE COUNT");

    // A second technician at another station cannot take it while it is held.
    Employee other(*db);
    other.Station = "SCREEN";
    ASSERT_TRUE(other.Login(std::string(Other_Password)));
    Rack theirs(*db, g, alerts, other, clock, connect);
    theirs.Rack_Load("R-TEST", "PrtCount");
    EXPECT_FALSE(theirs.Rack_Status_Update(std::string("GET")));
    EXPECT_EQ(Trim(theirs.Curr_User), "117");
    EXPECT_EQ(theirs.Curr_Station, "PARTICLE COUNT");
    EXPECT_FALSE(theirs.Rack_Status.empty());

    EXPECT_TRUE(rack->Rack_Status_Update(std::string("PUT")));
    EXPECT_TRUE(theirs.Rack_Status_Update(std::string("GET")));
    EXPECT_TRUE(theirs.Rack_Status_Update(std::string("PUT")));
    EXPECT_TRUE(alerts.Alerts.empty()) << alerts.Alerts.front();
}

TEST_F(RecordsDb, ListsAndSearch) {
    ASSERT_TRUE(emp->Login(std::string(Password)));
    auto rack = Loaded_Rack();

    db::Record_Set racks = rack->Get_Samples("PrtCount", "");
    ASSERT_TRUE(racks.Is_Open());
    bool found = false;
    for (; !racks.Eof(); racks.Move_Next())
        found = found || Trim(racks.Text_Or("RACK_DESC", "")) == "R-TEST";
    EXPECT_TRUE(found);

    db::Record_Set rush = rack->Get_Samples("PrtCount", "RUSH");
    ASSERT_TRUE(rush.Is_Open());
    EXPECT_FALSE(rush.Eof());

    db::Record_Set priorities = rack->Get_Rack_Priority("VOLMAR", "PrtCount");
    ASSERT_TRUE(priorities.Is_Open());
    ASSERT_FALSE(priorities.Eof());
    EXPECT_EQ(Trim(priorities.Text("PRIORITY")), "RUSH");

    db::Record_Set count = rack->Rack_Outstanding_Tests(false, std::string("PrtCount"));
    ASSERT_TRUE(count.Is_Open());
    ASSERT_FALSE(count.Eof());
    EXPECT_EQ(To_Int32(count.Text("COUNT")), 3);

    rack->Rack_Desc = "SOMEWHERE";
    EXPECT_EQ(rack->Sample_Found(lab_numbers[1], "PrtCount"), "R-TEST");
    EXPECT_EQ(rack->Sample_Found("99999999", "PrtCount"), "SOMEWHERE");
    EXPECT_TRUE(alerts.Alerts.empty()) << alerts.Alerts.front();
}

TEST_F(RecordsDb, SaveRedoAndRemove) {
    ASSERT_TRUE(emp->Login(std::string(Password)));
    PrtCount rec(*db, g, *emp);
    rec.Save_Results(lab_numbers[0], emp->Emp_Num, std::string("25"), std::string("12000"),
                     std::string("3000"), std::string("400"), std::string("50"), std::string("10"),
                     std::string("1"), std::string("0"), "");
    EXPECT_TRUE(rec.saveOk) << rec.Status;
    EXPECT_EQ(rec.Status, "DONE");
    EXPECT_EQ(rec.Lab_Code, "VOLMAR");
    EXPECT_TRUE(Is_Numeric(rec.Lab_Id));
    EXPECT_GE(rec.Run_No, 1);
    const int16_t first_run = rec.Run_No;

    // The saved test is no longer outstanding on the rack.
    auto rack = Loaded_Rack();
    EXPECT_EQ(rack->Pos_Item(1).Status, "DONE");

    EXPECT_TRUE(rec.Redo_Sample(lab_numbers[0], emp->Full_name));
    rack = Loaded_Rack();
    EXPECT_EQ(rack->Pos_Item(1).Status, "READY");
    EXPECT_GT(rack->Pos_Item(1).Run_No, first_run);

    EXPECT_TRUE(rec.Remove_Sample(lab_numbers[1], "TOO_DARK"));
    EXPECT_FALSE(rec.Remove_Sample("99999999", "TOO_DARK"));

    rec.Save_Results("99999999", emp->Emp_Num, std::string("25"), std::string("1"), std::string("1"),
                     std::string("1"), std::string("1"), std::string("1"), std::string("1"), std::string("0"),
                     "");
    EXPECT_FALSE(rec.saveOk);
    EXPECT_NE(rec.Status, "DONE");
    EXPECT_TRUE(alerts.Alerts.empty()) << alerts.Alerts.front();
}

TEST_F(RecordsDb, BatchSamplesAsStoredByTheBath) {
    ASSERT_TRUE(emp->Login(std::string(Password)));
    auto rack = Loaded_Rack();
    Batch batch(*db);
    db::Record_Set none = batch.Get_Batch_Samples(std::nullopt, "PC002", "VOLMAR", "PrtCount");
    EXPECT_TRUE(batch.Sample.empty());

    for (int slot : {0, 4}) {
        const std::string& lab = lab_numbers[slot == 0 ? 0 : 2];
        db::Record_Set added =
            db->Open_Recordset("exec labrack.dbo.set_PC_Bath @sampleId = '" + lab +
                                   "', @extra = 'RD=R-TESTRID=" + rack->Rack_id +
                                   "', @empNum = 117, @position = " + std::to_string(slot + 1) +
                                   ", @instrumentId = 'PC002', @action = 'ADD', @test = 0",
                               true);
        ASSERT_TRUE(added.Is_Open());
        ASSERT_FALSE(added.Eof());
        ASSERT_EQ(added.Text("ERROR"), "0") << added.Text_Or("MESSAGE", "");
    }

    db::Record_Set rows = batch.Get_Batch_Samples(std::nullopt, "PC002", "VOLMAR", "PrtCount");
    ASSERT_EQ(batch.Sample.size(), 2u);
    EXPECT_EQ(batch.Sample_Item(1).Position, 1);
    EXPECT_EQ(batch.Sample_Item(1).Sample_ID, lab_numbers[0]);
    EXPECT_EQ(batch.Sample_Item(1).Extra, "RD=R-TESTRID=" + rack->Rack_id);
    EXPECT_EQ(batch.Sample_Item(2).Position, 5);
    EXPECT_EQ(batch.Sample_Item(2).Sample_ID, lab_numbers[2]);
    ASSERT_FALSE(rows.Eof());
    EXPECT_EQ(Trim(rows.Text("POSITION")), "1");
    EXPECT_TRUE(alerts.Alerts.empty()) << alerts.Alerts.front();
}

TEST_F(RecordsDb, ScreeningAndWeighingRecords) {
    {
        embedded::Lab_Admin admin(lab_file);
        auto numbers = admin.New_Lab_Numbers("VOLMAR", 2);
        embedded::Rack_Spec screen_rack;
        screen_rack.Rack_Desc = "S-TEST";
        screen_rack.Test_Group = "SCREEN";
        screen_rack.Lab_Numbers = {numbers[0]};
        admin.Route_Rack(screen_rack);
        embedded::Rack_Spec kf_rack;
        kf_rack.Rack_Desc = "K-TEST";
        kf_rack.Test_Group = "KF";
        kf_rack.Lab_Numbers = {numbers[1]};
        admin.Route_Rack(kf_rack);
    }
    ASSERT_TRUE(emp->Login(std::string(Password)));

    emp->Station = "SCREENING";
    Rack rack(*db, g, alerts, *emp, clock, connect);
    rack.Rack_Load("S-TEST", "SCREEN");
    auto screen = std::dynamic_pointer_cast<Screen>(rack.Pos_Item(1).Rec);
    ASSERT_TRUE(screen);
    screen->Get_Current_Results();
    EXPECT_TRUE(screen->wasViewed);
    // Visual ratings only: the test stays open and its ratings read back.
    screen->SetValues("VISUAL", true);
    screen->White_Metal = "LIGHT";
    EXPECT_TRUE(screen->Save_Screen(std::string("117"), std::nullopt));
    EXPECT_NE(screen->Status, "DONE");
    EXPECT_FALSE(screen->isChanged());

    Screen reread(*db);
    reread.Lab_Id = screen->Lab_Id;
    reread.Lab_Code = "VOLMAR";
    reread.Get_Current_Results();
    EXPECT_EQ(reread.Appearance, "NORML");
    EXPECT_EQ(reread.White_Metal, "LIGHT");
    EXPECT_EQ(reread.H2O_Free, "");

    // With the water rated too the test is complete.
    screen->Field_Value_Set("H2O FREE", 0);
    screen->SetValues("WATER", true);
    EXPECT_TRUE(screen->Save_Screen(std::string("117"), std::nullopt));
    EXPECT_EQ(screen->Status, "DONE");

    emp->Station = "SCALE";
    g.Test_Code = "KF";
    rack.Rack_Load("K-TEST", "KF");
    auto weights = std::dynamic_pointer_cast<Weights>(rack.Pos_Item(1).Rec);
    ASSERT_TRUE(weights);
    ASSERT_TRUE(weights->Weight_Assigned(std::string("1.25 g")));
    EXPECT_TRUE(weights->Save_Weight());
    EXPECT_EQ(weights->Status, "DONE");
    EXPECT_TRUE(alerts.Alerts.empty()) << alerts.Alerts.front();
}
