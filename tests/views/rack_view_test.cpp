// The rack view and the rack search on a real embedded lab database: navigation, the search's ways of
// choosing, priority filters, handing a sample over, saving questions, leaving, and bad input.

#include "views_fixture.h"

#include "counter/count_logs.h"
#include "lab/batch.h"
#include "records/prt_count.h"
#include "views/station_main_form.h"

using namespace pcs;
using namespace pcs::test;

namespace {

const std::array<bool, 3> None{false, false, false};

} // namespace

TEST_F(Views_Test, NavigationWalksTheListAndHandsEachRackBack) {
    View->Form_Load();
    // The first outstanding rack comes up by itself, taken for this station.
    EXPECT_EQ(Rack_->Rack_Desc, "RACK-C");
    EXPECT_EQ(Search->Shown, 0);
    EXPECT_EQ(Holder("RACK-C"), "101");
    EXPECT_EQ(View->bttn_Nav_Visible, (std::array<bool, 3>{false, true, true}));
    EXPECT_TRUE(View->img_ptr_Visible);
    EXPECT_EQ(View->lbl_rackDesc, "RACK-C");
    EXPECT_EQ(Main.Calls.front(), "Init");

    View->bttn_Nav_Click(1);
    EXPECT_EQ(Rack_->Rack_Desc, "RACK-B");
    EXPECT_EQ(Holder("RACK-C"), "");
    EXPECT_EQ(Holder("RACK-B"), "101");
    EXPECT_EQ(View->bttn_Nav_Visible, (std::array<bool, 3>{true, true, true}));
    EXPECT_EQ(View->Current_Rack_Index, 1);

    View->bttn_Nav_Click(1);
    EXPECT_EQ(Rack_->Rack_Desc, "RACK-A");
    EXPECT_EQ(View->bttn_Nav_Visible, (std::array<bool, 3>{true, false, true}));
    // The empty third slot of rack A is an empty cell; the fourth shows its sample.
    EXPECT_EQ(View->Cells[2].Tag, "");
    EXPECT_EQ(View->Cells[2].Back, G.Colors.Color_Steel_2);
    EXPECT_EQ(View->Cells[3].Caption, "\r\n" + Lab_Numbers[2]);
    EXPECT_EQ(View->Cells[3].Border, (Color{0x41, 0xCB, 0x51}));

    View->bttn_Nav_Click(0);
    EXPECT_EQ(Rack_->Rack_Desc, "RACK-B");
    EXPECT_EQ(Holder("RACK-A"), "");
    EXPECT_EQ(Search->Shown, 0);

    // Released, a rack can be taken by a second station.
    auto other = Technician(102);
    Rack second(*Db, G, Alerts, *other, Clock, G.Connect_String);
    second.Rack_Load("RACK-A", "PrtCount");
    EXPECT_TRUE(second.Rack_Status_Update("GET"));
    EXPECT_EQ(Holder("RACK-A"), "102");
}

TEST_F(Views_Test, OneRackHidesEveryNavigationButton) {
    embedded::Lab_Admin(Lab_File).Release_Rack("RACK-A"); // nothing held: a no-op
    Db->Execute_SQL("update labrack.dbo.racks set LAB_CODE = 'OTHER' where RACK_DESC <> 'RACK-B'");
    View->Form_Load();
    EXPECT_EQ(Rack_->Rack_Desc, "RACK-B");
    EXPECT_EQ(View->bttn_Nav_Visible, None);
}

TEST_F(Views_Test, SearchPicksANamedRackUnseenAndShowsTheListOtherwise) {
    View->Form_Load();
    View->Get_Racks(-1, "RACK-A");
    EXPECT_EQ(Rack_->Rack_Desc, "RACK-A");
    EXPECT_EQ(Search->Shown, 0);
    // The main form's rack name comes without a navigation: the rack left is given back all the same.
    EXPECT_EQ(Holder("RACK-C"), "");
    EXPECT_EQ(Holder("RACK-A"), "101");

    // "FIND" with no name and three racks waits for the technician, who takes the second entry.
    std::vector<std::string> listed;
    Search->Technician = [&](Rack_Search& s) {
        for (const auto& e : s.lst_os)
            listed.push_back(e.Text);
        EXPECT_TRUE(s.Working_Size);
        s.ListIndex = 1;
        s.lbl_getRack_Click();
    };
    View->bttn_Nav_Click(2);
    EXPECT_EQ(Search->Shown, 1);
    EXPECT_EQ(listed, (std::vector<std::string>{"RACK-C", "RACK-B", "RACK-A"}));
    EXPECT_EQ(Rack_->Rack_Desc, "RACK-B");
    EXPECT_EQ(View->bttn_Nav_Visible, (std::array<bool, 3>{true, true, true}));

    // Refreshing twice counts the racks once; leaving through exit keeps the loaded rack, held.
    Search->Technician = [&](Rack_Search& s) {
        s.lbl_Refresh_Click();
        s.lbl_Refresh_Click();
        EXPECT_EQ(s.Items, 3);
        s.lbl_exit_Click();
    };
    View->bttn_Nav_Click(2);
    EXPECT_EQ(Rack_->Rack_Desc, "RACK-B");
    EXPECT_EQ(Holder("RACK-B"), "101");
    EXPECT_EQ(G.App_State, "IDLE"); // given back as found
}

TEST_F(Views_Test, ALabNumberTypedOrScannedLoadsItsRackAndHandsTheSampleOver) {
    View->Form_Load();
    ASSERT_EQ(Rack_->Rack_Desc, "RACK-C");
    // Lab number 00100002 sits in rack A, position 2: typed as "100002" and padded.
    Search->Technician = [&](Rack_Search& s) {
        for (char d : std::string("100002"))
            s.lbl_no_Click(d - '0');
        s.lbl_Go_Click();
        EXPECT_EQ(s.txt_wo, "00100002");
    };
    View->bttn_Nav_Click(2);
    EXPECT_EQ(Rack_->Rack_Desc, "RACK-A");
    EXPECT_EQ(std::count(Main.Calls.begin(), Main.Calls.end(), "Process_Sample 1 00100002 READY"), 1);
    EXPECT_EQ(View->Selected_Sample, "00100002");
    EXPECT_EQ(View->Selected_Pos_Index, 1);
    EXPECT_FALSE(View->bttn_Nav_Visible[0] || View->bttn_Nav_Visible[1]);

    // A scanner types the number and Enter; a ninth digit from the pad is refused.
    Search->Technician = [&](Rack_Search& s) {
        for (char c : std::string("00100006\r"))
            s.Key_Press(c);
    };
    View->bttn_Nav_Click(2);
    EXPECT_EQ(Rack_->Rack_Desc, "RACK-C");
    EXPECT_EQ(View->Selected_Sample, "00100006");

    Search->Technician = [&](Rack_Search& s) {
        for (int d : {1, 2, 3, 4, 5, 6, 7, 8, 9})
            s.lbl_no_Click(d);
        EXPECT_EQ(s.txt_wo, "12345678");
        s.lbl_Clear_Click();
        for (int d : {1, 2, 3, 4})
            s.lbl_no_Click(d);
        s.lbl_Go_Click(); // on no rack: the dialog stays, the number padded
        EXPECT_EQ(s.txt_wo, "00001234");
        EXPECT_FALSE(s.Hidden);
        // A scan with letters is refused with a message and searches nothing.
        for (char c : std::string("AB100002\r"))
            s.Key_Press(c);
        EXPECT_FALSE(s.Hidden);
        EXPECT_EQ(s.txt_wo, "");
        // Each scan stands on its own: after a number on no rack the next one is searched whole, and a
        // key taken back takes its refusal with it.
        for (char c : std::string("00001234\r0010000x\b2\r"))
            s.Key_Press(c);
        EXPECT_TRUE(s.Hidden);
        EXPECT_EQ(s.strRackDesc, "RACK-A");
    };
    Alerts.Alerts.clear();
    View->bttn_Nav_Click(2);
    ASSERT_EQ(Alerts.Alerts.size(), 1u);
    EXPECT_NE(Alerts.Alerts[0].find("\"AB100002\" is not a lab number"), std::string::npos);
    EXPECT_EQ(Rack_->Rack_Desc, "RACK-A");
    EXPECT_EQ(View->Selected_Sample, "00100002");
    EXPECT_EQ(Holder("RACK-C"), "");
    EXPECT_EQ(Holder("RACK-A"), "101");
}

TEST_F(Views_Test, PriorityFilterListsItsRacksOrSaysThereAreNone) {
    View->Form_Load();
    // The lab database names the filters in use: URGENT and RUSH, in their two places.
    EXPECT_TRUE(View->img_Priority_Visible);
    EXPECT_TRUE(View->Priority_Images[2].Visible);
    EXPECT_EQ(View->Priority_Images[2].Slot, 0);
    EXPECT_EQ(View->Priority_Images[1].Slot, 1);
    EXPECT_EQ(View->Priority_Images[1].Picture, "bttn_RUSH_off.gif");
    EXPECT_FALSE(View->Priority_Images[0].Visible);

    View->Priority_Click(0); // RETEST: no rack holds one
    EXPECT_EQ(Alerts.Alerts, (std::vector<std::string>{"No records found!"}));
    EXPECT_EQ(View->Priority_Filter, "");
    EXPECT_EQ(Rack_->Rack_Desc, "RACK-C");
    EXPECT_EQ(Holder("RACK-C"), "101");

    View->Priority_Click(1); // RUSH: rack B alone, picked unseen
    EXPECT_EQ(View->Priority_Filter, "RUSH");
    EXPECT_EQ(Rack_->Rack_Desc, "RACK-B");
    EXPECT_EQ(View->Priority_Images[1].Picture, "bttn_RUSH_on.gif");
    EXPECT_EQ(View->bttn_Nav_Visible, None);

    View->img_Priority_Click(); // every outstanding rack again
    EXPECT_EQ(View->Priority_Filter, "");
    EXPECT_EQ(View->Priority_Images[1].Picture, "bttn_RUSH_off.gif");
    EXPECT_EQ(Search->Shown, 0);

    // A list that cannot be read is not an empty filter: the failure is told and nothing changes.
    Alerts.Alerts.clear();
    Backend.Refuse = "outstanding_racks";
    View->Priority_Click(2); // URGENT
    Backend.Refuse.clear();
    ASSERT_EQ(Alerts.Alerts.size(), 1u);
    EXPECT_NE(Alerts.Alerts[0].find("did not answer the racks of the URGENT filter"), std::string::npos)
        << Alerts.Alerts[0];
    EXPECT_EQ(View->Priority_Filter, "");
    EXPECT_EQ(View->Priority_Images[2].Picture, "bttn_URGENT_off.gif");
}

TEST_F(Views_Test, TouchingACellHandsTheSampleToTheMainForm) {
    View->Form_Load();
    View->lbl_sample_Click(5); // an empty cell: nothing
    EXPECT_EQ(View->Selected_Pos_Index, -1);

    View->lbl_sample_Click(1);
    EXPECT_EQ(Main.Calls.back(), "Process_Sample 1 " + Lab_Numbers[6] + " READY");
    EXPECT_EQ(View->Current_Lab_Number, Lab_Numbers[6]);
    EXPECT_EQ(View->Selected_Pos_Index, 1);
    EXPECT_EQ(View->Cells[1].Back, G.Colors.Color_White);
    EXPECT_EQ(View->img_save_Picture, "bttn_save_on.jpg");
    EXPECT_TRUE(View->Results_Saved); // the main form's Quick_Show
    EXPECT_EQ(Status.Caption, "");

    View->lbl_sample_Click(0); // the earlier cell gets its own colour back
    EXPECT_EQ(View->Cells[1].Back, (Color{0x2C, 0x3D, 0x4D}));
    EXPECT_EQ(View->Selected_Pos_Index, 0);

    Main.Takes_Samples = false;
    View->lbl_sample_Click(1);
    EXPECT_EQ(View->Selected_Pos_Index, -1);
    EXPECT_EQ(View->Current_Lab_Number, "");
}

TEST_F(Views_Test, AnUnsavedSampleAsksBeforeLeavingAndClosingTheQuestionKeepsTheRack) {
    Main.Quick_Show_Saves = false;
    View->Form_Load();
    View->lbl_sample_Click(0);
    ASSERT_FALSE(View->Results_Saved);

    Alerts.Answers = {Answer_Closed};
    View->bttn_Nav_Click(1);
    EXPECT_EQ(Alerts.Questions, (std::vector<std::string>{"SAVE EDITED RESULTS?"}));
    EXPECT_EQ(Rack_->Rack_Desc, "RACK-C");
    EXPECT_EQ(Holder("RACK-C"), "101"); // given back before the question, taken again after

    Alerts.Answers = {Answer_Closed};
    View->lbl_Exit_Click();
    EXPECT_EQ(Exit.Exits, 0);

    Alerts.Answers = {Answer_No};
    View->bttn_Nav_Click(1);
    EXPECT_EQ(Rack_->Rack_Desc, "RACK-B");

    View->img_save_Click(); // nothing selected on the new rack
    EXPECT_EQ(std::count(Main.Calls.begin(), Main.Calls.end(), "Save_Results"), 0);
}

TEST_F(Views_Test, ExitGivesTheRackBackAndEndsThroughTheLoginScreen) {
    View->Form_Load();
    ASSERT_EQ(Holder("RACK-C"), "101");
    View->lbl_Exit_Click();
    EXPECT_EQ(Holder("RACK-C"), "");
    EXPECT_EQ(Exit.Exits, 1);
}

TEST_F(Views_Test, BadRacksAndAFailingSearchLeaveTheLoadedRackInPlace) {
    View->Form_Load();
    ASSERT_EQ(Rack_->Rack_Desc, "RACK-C");

    // Rack B is held by a second station: touched by name, the holder is named and rack C stays loaded
    // and held; reached by NEXT, the station goes on to the next rack it can take.
    auto other = Technician(102);
    Rack second(*Db, G, Alerts, *other, Clock, G.Connect_String);
    second.Rack_Load("RACK-B", "PrtCount");
    ASSERT_TRUE(second.Rack_Status_Update("GET"));
    Search->Technician = [](Rack_Search& s) {
        s.ListIndex = 1;
        s.lbl_getRack_Click();
    };
    View->bttn_Nav_Click(2);
    ASSERT_EQ(Alerts.Alerts.size(), 1u);
    EXPECT_NE(Alerts.Alerts[0].find("in use by"), std::string::npos) << Alerts.Alerts[0];
    EXPECT_EQ(Rack_->Rack_Desc, "RACK-C");
    EXPECT_EQ(View->Cells[0].Caption, "\r\n" + Lab_Numbers[5]);
    EXPECT_EQ(Holder("RACK-C"), "101");
    EXPECT_EQ(Holder("RACK-B"), "102");
    Alerts.Alerts.clear();
    View->bttn_Nav_Click(1);
    ASSERT_EQ(Alerts.Alerts.size(), 1u);
    EXPECT_NE(Alerts.Alerts[0].find("The next free rack, RACK-A, is taken instead."), std::string::npos)
        << Alerts.Alerts[0];
    EXPECT_EQ(Rack_->Rack_Desc, "RACK-A");
    EXPECT_EQ(Holder("RACK-A"), "101");
    EXPECT_EQ(Holder("RACK-C"), "");
    EXPECT_EQ(View->bttn_Nav_Visible, (std::array<bool, 3>{true, false, true}));
    ASSERT_TRUE(second.Rack_Status_Update("PUT"));
    View->Get_Racks(-1, "RACK-C");
    ASSERT_EQ(Rack_->Rack_Desc, "RACK-C");

    // Rack B's positions cannot be read.
    ASSERT_TRUE(Db->Execute_SQL(
        "update labrack.dbo.rack_positions set POSITION = -POSITION where RACK_ID = " + second.Rack_id,
        false));
    Alerts.Alerts.clear();
    View->bttn_Nav_Click(1);
    ASSERT_EQ(Alerts.Alerts.size(), 1u);
    EXPECT_NE(Alerts.Alerts[0].find("The rack RACK-B cannot be shown"), std::string::npos)
        << Alerts.Alerts[0];
    EXPECT_EQ(Rack_->Rack_Desc, "RACK-C");
    EXPECT_EQ(Holder("RACK-C"), "101");

    // The lab database cannot answer the search: its alert, an empty list, the rack kept.
    Backend.Refuse = "outstanding_racks";
    Alerts.Alerts.clear();
    Search->Shown = 0;
    View->bttn_Nav_Click(1);
    EXPECT_EQ(Search->Shown, 1);
    ASSERT_FALSE(Alerts.Alerts.empty());
    EXPECT_NE(Alerts.Alerts[0].find("did not answer the list of racks"), std::string::npos);
    EXPECT_EQ(Rack_->Rack_Desc, "RACK-C");
    EXPECT_EQ(Holder("RACK-C"), "101");
}

// Two stations in one lab, and a rack a station left held.
TEST_F(Views_Test, WithEveryRackHeldElsewhereEveryWayOfChoosingStaysAndAFreedRackIsTaken) {
    auto other = Technician(102);
    Rack second(*Db, G, Alerts, *other, Clock, G.Connect_String);
    for (const char* r : {"RACK-A", "RACK-B", "RACK-C"}) {
        second.Rack_Load(r, "PrtCount");
        ASSERT_TRUE(second.Rack_Status_Update("GET"));
    }
    View->Form_Load();
    ASSERT_EQ(Alerts.Alerts.size(), 1u);
    const std::string& told = Alerts.Alerts[0];
    EXPECT_NE(told.find("Rack RACK-C cannot be taken: it is in use by"), std::string::npos) << told;
    EXPECT_NE(told.find("comes back when employee 102 logs in"), std::string::npos) << told;
    EXPECT_NE(told.find("labdb release-rack <lab database> --rack RACK-C"), std::string::npos) << told;
    EXPECT_NE(told.find("Rack RACK-A cannot be taken"), std::string::npos) << told;
    EXPECT_NE(told.find("No rack is free for this station now"), std::string::npos) << told;
    EXPECT_EQ(Rack_->Rack_Desc, "");
    EXPECT_EQ(View->bttn_Nav_Visible, (std::array<bool, 3>{true, true, true}));
    EXPECT_TRUE(View->img_Priority_Visible);
    EXPECT_EQ(Holder("RACK-C"), "102");

    // Rack B comes free: NEXT finds it, after the held rack C in the list's order.
    second.Rack_Load("RACK-B", "PrtCount");
    ASSERT_TRUE(second.Rack_Status_Update("PUT"));
    View->bttn_Nav_Click(1);
    EXPECT_EQ(Rack_->Rack_Desc, "RACK-B");
    EXPECT_EQ(Holder("RACK-B"), "101");
    // The status under the rack is the rack's own, not the hand-out's message.
    EXPECT_EQ(View->lbl_RackStatus, "2 OF 2 READY");
}

TEST_F(Views_Test, ARackLeftHeldComesBackToItsTechnicianAndPassesOnlyThroughHim) {
    // A station that stopped left rack B held by technician 101: his login takes it back.
    {
        Rack dead(*Db, G, Alerts, *Emp, Clock, G.Connect_String);
        dead.Rack_Load("RACK-B", "PrtCount");
        ASSERT_TRUE(dead.Rack_Status_Update("GET"));
    }
    View->Form_Load();
    EXPECT_EQ(Rack_->Rack_Desc, "RACK-B");
    EXPECT_TRUE(Alerts.Alerts.empty());

    // Locked, and technician 102 logs in at the station: given back by 101, taken by 102.
    Emp->Emp_Num = 102;
    View->Technician_Logged_In();
    EXPECT_EQ(Rack_->Rack_Desc, "RACK-B");
    EXPECT_EQ(Holder("RACK-B"), "102");

    // Meanwhile the administration freed it and a third station took it: the refusal to give it back is
    // told, and the station shows no rack it does not hold.
    embedded::Lab_Admin(Lab_File).Release_Rack("RACK-B");
    auto third = Technician(103);
    Rack elsewhere(*Db, G, Alerts, *third, Clock, G.Connect_String);
    elsewhere.Rack_Load("RACK-B", "PrtCount");
    ASSERT_TRUE(elsewhere.Rack_Status_Update("GET"));
    Emp->Emp_Num = 101;
    View->Technician_Logged_In();
    ASSERT_FALSE(Alerts.Alerts.empty());
    EXPECT_NE(Alerts.Alerts[0].find("The rack RACK-B was not given back"), std::string::npos)
        << Alerts.Alerts[0];
    EXPECT_EQ(Rack_->Rack_Desc, "");
    EXPECT_EQ(Holder("RACK-B"), "103");
    View->img_Exit_Click();
    EXPECT_EQ(Exit.Exits, 1);
    EXPECT_EQ(Holder("RACK-B"), "103");
}

TEST_F(Views_Test, TouchingACellPutsTheSampleIntoTheStationsBath) {
    struct No_Panel : Action_Panel_Port {
        Panel_Outcome Show_Action_Panel(const pcs::Run&, int16_t) override { return {}; }
    } panel;
    Station_View screens;
    Batch batch(*Db);
    PrtCount result(*Db, G, *Emp);
    Count_Logs logs(Folder.Path(), Alerts);
    Station station({G, Clock, Alerts, Status, *Db, *Rack_, batch, result, *Emp, logs, panel, screens});
    station.Load(false, Folder.Path());
    G.Station_Instrument_Id = "PC002"; // the instrument the lab database keeps the bath for
    Station_Main_Form main_form(station);
    Rack_View view(G, Clock, *Rack_, *Emp, Status, Alerts, main_form, *Search, Exit);
    view.Form_Load();
    ASSERT_EQ(Rack_->Rack_Desc, "RACK-C");

    view.lbl_sample_Click(1);
    EXPECT_EQ(station.Slots[0].Lab_Number, Lab_Numbers[6] + " ");
    EXPECT_EQ(view.Selected_Sample, Lab_Numbers[6]);
    EXPECT_TRUE(view.Results_Saved);
    embedded::Admin_Rows stored = embedded::Lab_Admin(Lab_File).Bath(std::nullopt);
    ASSERT_EQ(stored.Rows.size(), 1u);
}
