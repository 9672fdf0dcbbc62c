#include "settings/settings.h"
#include "station/action_panel.h"
#include "support/fake_ports.h"
#include "support/scripted_serial_port.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <fstream>

using namespace pcs;
using namespace std::chrono_literals;
using pcs::test::Recording_Alerts;
using pcs::test::Scripted_Serial_Port;

namespace {

struct Recording_Remover : Sample_Remover {
    std::vector<std::pair<std::string, std::string>> Calls;
    bool Answer = true;
    bool Throw = false;
    bool Remove_Sample(const std::string& lab, const std::string& action) override {
        Calls.emplace_back(lab, action);
        if (Throw) throw std::runtime_error("Lab_Id is not a number");
        return Answer;
    }
};

struct Recording_View : Action_Panel_View {
    int Hides = 0;
    Recording_Alerts* Alerts = nullptr;
    size_t Alerts_At_Hide = 0;
    void Hide_Panel() override {
        ++Hides;
        Alerts_At_Hide = Alerts->Alerts.size();
    }
};

// The station behind the panel: keeps the reports of counts no panel started.
struct Stray_Keeper : Panel_Host {
    std::vector<std::string> Strays;
    void Keep_Stray_Count(const std::string& line) override { Strays.push_back(line); }
};

struct Panel_Fixture : ::testing::Test {
    Globals g;
    Manual_Clock clock{Time_Point{} + 1000s};
    Recording_Alerts alerts;
    Scripted_Serial_Port port;
    Recording_Remover remover;
    Recording_View view;
    Settings_Collection settings;
    test::Temp_Dir share;
    Stray_Keeper host;
    Action_Panel panel{g, clock, alerts, port, remover, view, &host};

    void SetUp() override {
        view.Alerts = &alerts;
        settings.Add("COMM_PORT", Settings{"COMM_PORT", "1", "", "NORMAL", {}});
        settings.Add("SAMPLE_IMAGE_SHARE",
                     Settings{"SAMPLE_IMAGE_SHARE", share.Path().string(), "", "NORMAL", {}});
    }
    void Load(const std::string& run_id) {
        panel.Set_Run(Run::From_Id(run_id), -1);
        panel.Load(settings);
    }
    void Make_Picture(const std::string& name) {
        std::filesystem::path folder = Sample_Picture_Folder(share.Path());
        std::filesystem::create_directories(folder);
        std::ofstream(folder / name) << "jpeg";
    }
};

const std::string Report =
    "!LPR1,00:00:28.76,BP,RP,GP,LP,8,C,2.00,5.00,15.00,25.00,50.00,100.00,100.00,100.00,"
    "4446,908,51,13,0,0,0,0,20.00,03/26/04,12:05:03,LAB.TECH,22222222,CHECK,,ISO Code: 13/9,";

} // namespace

TEST(ActionPanelRules, RunWordsGetABannerAndLabNumbersTheSampleLayout) {
    EXPECT_EQ(Layout_For(Run::Of_Kind(Run_Kind::Flush)), Action_Layout::Run_Word);
    EXPECT_EQ(Layout_For(Run::Of_Kind(Run_Kind::Check)), Action_Layout::Run_Word);
    EXPECT_EQ(Layout_For(Run::Of_Kind(Run_Kind::Single)), Action_Layout::Run_Word);
    EXPECT_EQ(Layout_For(Run::Of_Sample("01100663")), Action_Layout::Sample);
    EXPECT_EQ(Layout_For(Run::Of_Kind(Run_Kind::Rerun)), Action_Layout::Sample);
    EXPECT_EQ(Banner_Text(Run::Of_Kind(Run_Kind::Flush)), "Flush required");
    EXPECT_EQ(Banner_Text(Run::Of_Kind(Run_Kind::Check)), "Run Process Control Sample");
    EXPECT_EQ(Banner_Text(Run::Of_Kind(Run_Kind::Single)), "Run single sample");
    EXPECT_EQ(Lab_Number_Line("01100663"), "Labnumber : 01100663");
}

TEST(ActionPanelRules, ReasonsAndTheirCodes) {
    std::vector<std::string> codes;
    for (const auto& r : Action_Reasons)
        codes.push_back(r.Code);
    EXPECT_EQ(codes,
              (std::vector<std::string>{"NOT_ENOUGH", "HIGH_H2O", "HIGH_H2O", "TOO_DARK", "TOO_CLOUDY"}));
    EXPECT_EQ(Reason_Question(Action_Reasons[0]),
              "Do you want to perform the following action on the specified sample [Delete]");
    EXPECT_EQ(Reason_Question(Action_Reasons[3]),
              "Do you want to perform the following action on the specified sample [PrtFilter]");
}

TEST_F(Panel_Fixture, RunWordLayoutShowsNoPicturesAndArmsTheCounter) {
    g.App_State = "ACTIVE";
    Load("CHECK");
    EXPECT_EQ(panel.Layout, Action_Layout::Run_Word);
    EXPECT_EQ(panel.Banner, "Run Process Control Sample");
    EXPECT_TRUE(panel.Pictures.Bottom.empty());
    EXPECT_EQ(g.App_State, "IDLE");
    EXPECT_EQ(port.Written, "H\rREMOTE+\r"); // whatever the counter still ran is stopped first
    EXPECT_EQ(panel.Link.Run_Button_Tag, "STOP");
    // A check standard is never scaled: no toggle to show otherwise.
    EXPECT_FALSE(panel.Dilution_Visible);
    panel.Dilution_Click();
    EXPECT_EQ(panel.Dilution_Chosen, std::nullopt);
}

TEST_F(Panel_Fixture, SamplePicturesAreLookedForOnTheShare) {
    Load(" 01100663 ");
    EXPECT_EQ(panel.Layout, Action_Layout::Sample);
    EXPECT_EQ(panel.Pictures.Bottom.filename(), "BTM_01100663_01.jpg");
    EXPECT_EQ(panel.Pictures.Colour.filename(), "CLR_01100663_01.jpg");
    EXPECT_EQ(panel.Pictures.Bottom.parent_path(),
              share.Path() / "virtual_directories" / "IMG_SAMPLES" / "VOLMAR");
    EXPECT_TRUE(panel.Pictures.Buttons_Move_Up());

    Make_Picture("CLR_01100663_01.jpg");
    panel.Reset_Interface();
    EXPECT_FALSE(panel.Pictures.Bottom_Exists);
    EXPECT_TRUE(panel.Pictures.Colour_Exists);
    EXPECT_FALSE(panel.Pictures.Buttons_Move_Up());

    EXPECT_TRUE(Find_Sample_Pictures(share.Path(), "  ").Bottom.empty());
}

TEST_F(Panel_Fixture, DilutionToggleShowsTheRunsDilutionAndTellsTheRunWhatWasChosen) {
    pcs::Run diluted = Run::Of_Sample("01100663");
    diluted.Dilution_Flag = true;
    panel.Set_Run(diluted, 0);
    panel.Load(settings);
    // What the toggle shows is what the save applies: the run's own dilution, from the load on.
    EXPECT_TRUE(panel.Dilution_Visible);
    EXPECT_EQ(panel.Dilution.Tag, "10");
    EXPECT_EQ(panel.Dilution.Shape_Rgb, 0x65C473u);
    EXPECT_EQ(panel.Dilution.Caption, "SAMPLE DILUTION\nDILUTION RATIO 1:10");
    EXPECT_EQ(panel.Dilution_Chosen, std::nullopt);
    panel.Dilution_Click();
    EXPECT_EQ(panel.Dilution.Tag, "");
    EXPECT_EQ(panel.Dilution.Shape_Rgb, 0x9E9E9Eu);
    EXPECT_EQ(panel.Dilution_Chosen, false);
    panel.Dilution_Click();
    EXPECT_EQ(panel.Dilution.Tag, "10");
    EXPECT_EQ(panel.Dilution_Chosen, true);
}

TEST_F(Panel_Fixture, OnlyTheReportOfItsOwnCountEndsThePanelWithCount) {
    pcs::Run run = Run::Of_Sample("01100663");
    run.Count_Id = 7;
    panel.Set_Run(run, 0);
    panel.Load(settings);
    port.Receive(Report + "\r"); // the report of a count this panel did not start
    EXPECT_EQ(view.Hides, 0);
    EXPECT_EQ(host.Strays, std::vector<std::string>{Report + "\r"});
    EXPECT_EQ(panel.Report_Count_Id, 0u);
    panel.Run_Button_Click();
    port.Receive("!S\r" + Report + "\r");
    EXPECT_EQ(panel.Action, "COUNT");
    EXPECT_EQ(view.Hides, 1);
    EXPECT_EQ(panel.Report_Count_Id, 7u);
    EXPECT_EQ(panel.Bffr(), "!S\r" + Report + "\r");
}

TEST_F(Panel_Fixture, RemoveFromBathWorksWhileCountingAndWritesNothing) {
    Load("01100663");
    panel.Run_Button_Click();
    panel.Remove_From_Bath_Click();
    EXPECT_EQ(panel.Action, "REMOVE");
    EXPECT_EQ(view.Hides, 1);
    EXPECT_EQ(port.Written, "H\rREMOTE+\rS\rH\r"); // the count is stopped, not left to the next panel
    EXPECT_TRUE(remover.Calls.empty());
    EXPECT_TRUE(alerts.Questions.empty());
}

TEST_F(Panel_Fixture, ReasonRemovesTheSampleAfterYes) {
    Load("01100663");
    alerts.Answers = {Answer_Yes};
    panel.Reason_Click(2);
    ASSERT_EQ(remover.Calls.size(), 1u);
    EXPECT_EQ(remover.Calls[0], (std::pair<std::string, std::string>{"01100663", "HIGH_H2O"}));
    EXPECT_EQ(alerts.Questions[0],
              "Do you want to perform the following action on the specified sample [PrtFilter]");
    EXPECT_EQ(panel.Action, "REMOVE");
    EXPECT_EQ(view.Hides, 1);
    EXPECT_EQ(view.Alerts_At_Hide, 0u); // hidden first, then told
    EXPECT_EQ(alerts.Alerts, (std::vector<std::string>{"Sample was removed"}));
}

TEST_F(Panel_Fixture, ReasonDoesNothingWhileCountingOrWithoutYes) {
    Load("01100663");
    panel.Run_Button_Click();
    port.Receive("!S\r"); // acknowledged: the count runs on until its report or its stop
    alerts.Answers = {Answer_Yes};
    panel.Reason_Click(0);
    panel.Close_Click();
    EXPECT_TRUE(alerts.Questions.empty());
    EXPECT_EQ(view.Hides, 0);
    panel.Run_Button_Click(); // stop
    alerts.Answers = {Answer_No, Answer_Closed};
    panel.Reason_Click(0);
    panel.Reason_Click(4);
    panel.Reason_Click(7); // no such tile
    EXPECT_EQ(alerts.Questions.size(), 2u);
    EXPECT_TRUE(remover.Calls.empty());
    EXPECT_EQ(view.Hides, 0);
}

TEST_F(Panel_Fixture, DebugModeRefusesRemovals) {
    g.Debug_Mode = true;
    Load("01100663");
    alerts.Answers = {Answer_Yes};
    panel.Reason_Click(1);
    EXPECT_TRUE(remover.Calls.empty());
    EXPECT_EQ(alerts.Alerts, (std::vector<std::string>{"Records cannot be updated in DEBUG mode."}));
    EXPECT_EQ(view.Hides, 0);
}

TEST_F(Panel_Fixture, RefusedOrFailedRemovalLeavesThePanelOpen) {
    Load("01100663");
    remover.Answer = false;
    alerts.Answers = {Answer_Yes, Answer_Yes};
    panel.Reason_Click(3);
    EXPECT_EQ(panel.Action, "");
    EXPECT_EQ(view.Hides, 0);
    remover.Throw = true;
    panel.Reason_Click(3);
    EXPECT_EQ(view.Hides, 0);
    EXPECT_EQ(alerts.Alerts, (std::vector<std::string>{"Lab_Id is not a number"}));
}

TEST_F(Panel_Fixture, CloseOnlyWhileIdle) {
    Load("FLUSH");
    port.Receive("junk");
    panel.Run_Button_Click();
    EXPECT_FALSE(panel.Close_Visible);
    panel.Close_Click();
    EXPECT_EQ(view.Hides, 0);
    panel.Run_Button_Click();
    EXPECT_TRUE(panel.Close_Visible);
    port.Receive("!H");
    panel.Close_Click();
    EXPECT_EQ(view.Hides, 1);
    EXPECT_EQ(panel.Action, "");
    EXPECT_EQ(panel.Bffr(), "");
}

TEST_F(Panel_Fixture, UnloadClosesThePortAndRestartsTheIdleTime) {
    Load("SINGLE");
    EXPECT_EQ(g.App_State, "IDLE");
    clock.Advance(42s);
    panel.Unload();
    EXPECT_EQ(g.App_State, "ACTIVE");
    EXPECT_EQ(g.Last_Activity, Time_Point{} + 1042s);
    EXPECT_FALSE(port.Is_Open());
}

// The counter's port belongs to one panel for one count: opened once at its load, kept open while the
// station, already active again, processes the outcome, closed once at its unload.
TEST_F(Panel_Fixture, ThePortOpensAtTheLoadAndClosesOnceAtTheUnload) {
    panel.Unload(); // never loaded: nothing to close, the station not touched
    panel.Release_Station();
    EXPECT_EQ(port.Count_Calls("close"), 0);
    EXPECT_EQ(g.App_State, "IDLE");
    EXPECT_FALSE(panel.Loaded());

    Load("CHECK");
    Load("CHECK"); // shown again: not loaded again
    EXPECT_EQ(port.Count_Calls("open"), 1);
    EXPECT_EQ(port.Written, "H\rREMOTE+\r") << "a count left running is stopped before remote mode";
    EXPECT_TRUE(port.Is_Open());

    clock.Advance(5s);
    panel.Release_Station();
    EXPECT_EQ(g.App_State, "ACTIVE");
    EXPECT_EQ(g.Last_Activity, Time_Point{} + 1005s);
    EXPECT_TRUE(port.Is_Open()) << "the port closes only at the unload";
    const int closes = port.Count_Calls("close");

    clock.Advance(5s);
    g.App_State = "IDLE"; // the station went on meanwhile
    panel.Unload();
    panel.Unload();
    EXPECT_FALSE(port.Is_Open());
    EXPECT_EQ(port.Count_Calls("close"), closes + 1);
    EXPECT_EQ(g.App_State, "IDLE") << "released once, not again at the unload";
    EXPECT_EQ(g.Last_Activity, Time_Point{} + 1005s);
    // Done with, the panel is not brought back.
    Load("CHECK");
    panel.Release_Station();
    EXPECT_EQ(port.Count_Calls("open"), 1);
    EXPECT_EQ(g.App_State, "IDLE");
}

TEST_F(Panel_Fixture, MissingCommPortStillLoadsAndReportsTheDevice) {
    settings.Remove("COMM_PORT");
    Load("CHECK");
    EXPECT_EQ(panel.Link.iCommPort, 0);
    EXPECT_EQ(panel.Link.Run_Button_Tag, "STOP");
    settings.Add("COMM_PORT", Settings{"COMM_PORT", "not a port", "", "NORMAL", {}});
    Action_Panel next{g, clock, alerts, port, remover, view};
    next.Set_Run(Run::Of_Kind(Run_Kind::Check), -1);
    EXPECT_NO_THROW(next.Load(settings));
    EXPECT_EQ(next.Link.iCommPort, 0);
}

#include "records/prt_count.h"
#include "records_fixture.h"

namespace {

struct Panel_With_Records : pcs::test::Records_Fixture {
    Manual_Clock clock;
    Scripted_Serial_Port port;
    Recording_View view;
    Settings_Collection settings;
    PrtCount rec{db, g, emp};
    Action_Panel panel{g, clock, alerts, port, rec, view};
    Panel_With_Records() {
        emp.Emp_Num = 117;
        view.Alerts = &alerts;
        panel.Set_Run(Run::Of_Sample("0012345"), 3);
        panel.Load(settings);
    }
};

} // namespace

TEST_F(Panel_With_Records, ReasonTakesTheTestOffThroughTheResultRecord) {
    backend.Queue.push_back(pcs::test::Row({"LAB_STATUS"}, {pcs::test::F("DONE")}));
    alerts.Answers = {Answer_Yes};
    panel.Reason_Click(4);
    EXPECT_EQ(Last_Statement(), "exec lab.dbo.labtrack_testaction @labnumber = '0012345', @empnum = 117, "
                                "@labcode = 'VOLMAR', @testgrp = 'PrtCount', @testaction = 'TOO_CLOUDY' ");
    EXPECT_EQ(panel.Action, "REMOVE");
    EXPECT_EQ(alerts.Alerts.back(), "Sample was removed");
}

TEST_F(Panel_With_Records, LostDatabaseLeavesThePanelOpen) {
    backend.Queue.push_back(pcs::test::Failed());
    alerts.Answers = {Answer_Yes};
    panel.Reason_Click(0);
    EXPECT_EQ(panel.Action, "");
    EXPECT_EQ(view.Hides, 0);
    ASSERT_FALSE(alerts.Alerts.empty());
    // The cause the database gave is named, not only "check the connection".
    EXPECT_EQ(alerts.Alerts.back(),
              "The lab database did not answer the test removal: Could not find stored procedure.");
}
