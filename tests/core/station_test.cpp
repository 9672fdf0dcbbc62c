// The main form's model over a scripted database: what the stored bath, the history and the counter
// can hand it that they should not, and the statements it sends.
#include "common/text.h"
#include "lab/batch.h"
#include "lab/rack.h"
#include "records/prt_count.h"
#include "records_fixture.h"
#include "station/station.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>

using namespace pcs;
using namespace pcs::test;

namespace {

struct Scripted_Panel : Action_Panel_Port {
    std::vector<std::string> Shown;
    std::vector<uint64_t> Counts; // the identity of each count the panel was shown for
    std::vector<bool> Diluted;
    std::deque<Panel_Outcome> Outcomes;
    Panel_Outcome Show_Action_Panel(const Run& run, int16_t) override {
        Shown.push_back(run.Id());
        Counts.push_back(run.Count_Id);
        Diluted.push_back(run.Dilution_Flag);
        if (Outcomes.empty()) return {};
        auto o = Outcomes.front();
        Outcomes.pop_front();
        // A scripted count is the count the panel was shown for, unless the script names another.
        if (o.Action == "COUNT" && o.Count_Id == 0) o.Count_Id = run.Count_Id;
        return o;
    }
};

const std::vector<std::string> Batch_Columns = {"ERROR",     "DETAIL_ID",   "BATCH_ID", "POSITION",
                                                "SAMPLE_ID", "SAMPLE_TYPE", "RUN_NO",   "STATUS",
                                                "WEIGHT",    "EXTRA",       "PRIORITY"};
std::vector<db::Field> Stored(const char* pos, db::Field id, db::Field type, const char* extra) {
    return {F("0"), F("1"), F("9"), F(pos), id, type, F("1"), F("READY"), Null, F(extra), F("RUSH")};
}

struct Station_Scripted : Records_Fixture {
    Temp_Dir dir;
    Manual_Clock clock{std::chrono::system_clock::now()};
    Recording_Status status;
    Rack rack{db, g, alerts, emp, clock, std::string("DSN=LAB")};
    Batch batch{db};
    PrtCount result{db, g, emp};
    Count_Logs logs{dir.Path(), alerts};
    Scripted_Panel panel;
    Station_View view;
    Station st{{g, clock, alerts, status, db, rack, batch, result, emp, logs, panel, view}};
    Table stored{Batch_Columns, {}};
    std::string fail;                 // statements containing this fail as the server would
    std::string save_status = "DONE"; // the save's answer; empty: no row

    Station_Scripted() {
        emp.Emp_Num = 117;
        emp.Full_name = "Ann Lee";
        backend.Responder = [this](const std::string& sql) -> Answer_Script {
            if (!fail.empty() && Contains(sql, fail)) return Failed();
            if (Contains(sql, "import_PC002"))
                return save_status.empty() ? Answer_Script::No_Rows()
                                           : Row({"STATUS", "LAB_ID", "LAB_CODE", "RUN_NO"},
                                                 {F(save_status.c_str()), F("9"), F("VOLMAR"), F("1")});
            if (Contains(sql, "get_batch_samples")) return Answer_Script::Rows_Of(stored);
            if (Contains(sql, "Get_PC_Bath_OldestRack")) return Row({"RACK_DESC"}, {F("R-1 ")});
            // A history row of NULLs: entered, but with nothing in it.
            if (Contains(sql, "get_pc_history"))
                return Row({"STATUS", "ISO", "ISO_2", "ISO_5", "ISO_15"}, {Null, Null, Null, Null, Null});
            if (Contains(sql, "set_PC_Bath")) return Row({"ERROR", "MESSAGE"}, {F("0"), F("ok")});
            if (Contains(sql, "TBL_TestGroup_Count")) return Row({"COUNT"}, {F(" 7 ")});
            if (Contains(sql, "labtrack_inserttest")) return Row({"STATUS"}, {F("READY")});
            return Answer_Script::No_Rows();
        };
    }
};

} // namespace

TEST_F(Station_Scripted, StoredBathRowsThatCannotBePlacedAreNamedAndLeftInTheDatabase) {
    stored.Rows = {Stored("2", F("1100001"), F("SAMPLE"), "RD=R-1RID=5"),
                   Stored("2", F("1100002"), F("SAMPLE"), "RD=R-1RID=5"),  // twice for one slot
                   Stored("31", F("1100003"), F("SAMPLE"), "RD=R-1RID=5"), // no such slot
                   Stored("3", F("1100001"), F("SAMPLE"), "RD=R-1RID=5"),  // the same sample again
                   Stored("4", F("1100004"), Null, ""),                    // no type: an empty place
                   Stored("6", F("1100006"), F("SAMPLE"), "RD=R-2RID=6")};
    st.Load(false, dir.Path());

    EXPECT_EQ(Trim(st.Slots[1].Lab_Number), "1100001");
    EXPECT_EQ(st.Slots[1].Rack_Desc, "R-1");
    EXPECT_TRUE(st.Slots[1].Oldest_Mark);
    EXPECT_EQ(st.Slots[1].Picture, g.Common_Folder + "bttn_bath_RUSH.gif");
    EXPECT_EQ(st.Slots[1].History_Text, ""); // a history of NULLs is no history: the sample gets a flush
    EXPECT_EQ(Trim(st.Slots[5].Lab_Number), "1100006");
    EXPECT_FALSE(st.Slots[5].Oldest_Mark);
    EXPECT_TRUE(st.Slots[2].Is_Free());
    EXPECT_TRUE(st.Slots[3].Is_Free());
    EXPECT_EQ(st.Header.Rack_Name, "  R-2");
    EXPECT_EQ(st.Header.Rack_Id, "6");
    EXPECT_EQ(st.Header.Outstanding, "7");
    EXPECT_EQ(st.Header.Countdown, "15");
    // One alert for the keys the missing settings file did not give, one for the rows not shown.
    ASSERT_EQ(alerts.Alerts.size(), 2u);
    EXPECT_NE(alerts.Alerts[0].find("MAX_RACKS_IN_BATH"), std::string::npos);
    EXPECT_NE(alerts.Alerts[1].find("1100002 at position 2"), std::string::npos);
    EXPECT_NE(alerts.Alerts[1].find("1100003 at position 31"), std::string::npos);
    EXPECT_NE(alerts.Alerts[1].find("1100001 at position 3"), std::string::npos);
    for (const auto& s : backend.Statements)
        EXPECT_FALSE(Contains(s, "DELETE")) << s;

    // The refresh picture reloads the same bath under its status text.
    status.Caption = "ready";
    backend.Statements.clear();
    st.Reload_Bath();
    EXPECT_EQ(status.Caption, "ready");
    EXPECT_EQ(status.Panels_Shown, 1);
    EXPECT_EQ(Trim(st.Slots[1].Lab_Number), "1100001");
}

TEST_F(Station_Scripted, AddAndRemoveSendTheStoredBathStatements) {
    st.Load(false, dir.Path());
    rack.Rack_Desc = "R-O'K";
    rack.Rack_id = "5";
    g.Station_Instrument_Id = "PC002";
    backend.Statements.clear();
    ASSERT_TRUE(st.Process_Sample(0, "1100007", "READY"));
    EXPECT_EQ(backend.Statements[1],
              "exec labrack.dbo.set_PC_Bath @sampleId = '1100007', @extra = 'RD=R-O''KRID=5', @empNum = 117, "
              "@position = 1, @instrumentId = 'PC002', @action = 'ADD', @test = 0");
    EXPECT_EQ(st.Slots[0].History_Text, "");
    EXPECT_EQ(st.Slots[0].State_Text, "SHAKE");

    // Touched: the check standard is due. A panel that hands back no text has counted nothing, so the
    // check is still due.
    panel.Outcomes = {{"COUNT", ""}};
    st.Slot_Touch(0);
    EXPECT_EQ(panel.Shown, std::vector<std::string>{"CHECK"});
    EXPECT_EQ(st.Samples_Since_Check, 15);
    EXPECT_EQ(st.Current_Run().Id(), "");

    // An unreadable report of a sample records a redo and runs the sample again.
    st.Samples_Since_Check = 0;
    panel.Shown.clear();
    panel.Outcomes = {{"COUNT", "!LPR1,garbage\r"}, {"REMOVE", ""}};
    st.Slot_Touch(0);
    EXPECT_EQ(panel.Shown, (std::vector<std::string>{"1100007", "1100007"}));
    EXPECT_TRUE(Contains(backend.Statements[backend.Statements.size() - 3], "labtrack_inserttest"));
    EXPECT_EQ(alerts.Alerts.back(), "An invalid count was generated.");
    EXPECT_EQ(
        backend.Statements[backend.Statements.size() - 2],
        "exec labrack.dbo.set_PC_Bath @sampleId = '1100007', @extra = null, @empNum = 117, @position = 1, "
        "@action = 'DELETE', @test = 0");
    EXPECT_TRUE(st.Slots[0].Is_Free());
    EXPECT_EQ(st.Slots[0].Picture, g.Common_Folder + "bttn_bath_idle.gif");
}

const std::string Report = "!LPR1,00:00:28.76,BP,RP,GP,LP,8,C,2.00,5.00,15.00,25.00,50.00,100.00,100.00,"
                           "100.00,4446,908,51,13,0,0,0,0,20.00,03/26/04,12:05:03,LAB.TECH,1,X,,,\r";

// Each save fault: how often the result reached the lab, whether the sample is still in the bath, and
// what the technician is told (every alert text, the rerun question or none).
TEST_F(Station_Scripted, EachSampleIsSavedOnceAndTheTechnicianToldTheTruth) {
    struct Fault {
        const char* name;
        std::function<void()> arrange;
        int stored;                    // results the lab holds afterwards
        bool stays;                    // the sample is still in the bath
        bool asked;                    // the rerun question came
        std::vector<const char*> told; // pieces of the one alert, none when empty
    };
    int committed = 0;
    auto plain = [this, &committed] {
        backend.Responder = [this, &committed, base = backend.Responder](const std::string& sql) {
            if (Contains(sql, "import_PC002") && save_status == "DONE") ++committed;
            return base(sql);
        };
    };
    const std::string log = (dir.Path() / "PC_Active.csv").string();
    std::vector<Fault> faults = {
        {"run number beyond 16 bits",
         [&] {
             backend.Responder = [&committed, base = backend.Responder](const std::string& sql) {
                 if (!Contains(sql, "import_PC002")) return base(sql);
                 ++committed;
                 return Row({"STATUS", "LAB_ID", "LAB_CODE", "RUN_NO"},
                            {F("DONE"), F("9"), F("VOLMAR"), F("70000")});
             };
         },
         1,
         false,
         true,
         {}},
        {"removal refused after the save",
         [&] {
             plain();
             fail = "DELETE";
         },
         1,
         false,
         true,
         {"stored bath entry of sample 1100007 at position 1 could not be removed", "did not answer"}},
        {"committed, then timed out",
         [&] {
             backend.Responder = [&committed, base = backend.Responder](const std::string& sql) {
                 if (!Contains(sql, "import_PC002")) return base(sql);
                 ++committed; // the server took it; the answer is lost
                 return Answer_Script::Timeout();
             };
         },
         1,
         true,
         false,
         {"may or may not have stored it", "before counting it again", log.c_str(), "stays in the bath"}},
        {"refused, count log unwritable",
         [&] {
             plain();
             save_status = "NOT FOUND";
             std::filesystem::create_directories(dir.Path() / "PC_Active.csv");
         },
         0,
         true,
         false,
         {"not saved", "could not be written to the count log", "stays in the bath"}},
        {"refused, count log written",
         [&] {
             plain();
             save_status = "NOT FOUND";
         },
         0,
         true,
         false,
         {"not saved", log.c_str(), "stays in the bath"}},
    };
    const auto base_responder = backend.Responder;
    st.Load(false, dir.Path());
    for (const Fault& f : faults) {
        backend.Responder = base_responder;
        fail.clear();
        save_status = "DONE";
        std::filesystem::remove_all(dir.Path() / "PC_Active.csv");
        committed = 0;
        for (int i = 0; i < Bath_Slot_Count; ++i)
            st.Slots[i] = Bath_Slot{};
        ASSERT_TRUE(st.Process_Sample(0, "1100007", "READY")) << f.name;
        f.arrange();
        st.Samples_Since_Check = 0;
        st.Slots[0].History_Text = "16/14/12 "; // dirtier than the last count: no flush
        alerts.Alerts.clear();
        alerts.Questions.clear();
        panel.Outcomes = {{"COUNT", Report}};
        st.Slot_Touch(0);

        EXPECT_EQ(committed, f.stored) << f.name;
        EXPECT_EQ(Trim(st.Slots[0].Lab_Number) == "1100007", f.stays) << f.name;
        EXPECT_EQ(alerts.Questions.size(), f.asked ? 1u : 0u) << f.name;
        // The log alert of an unwritable log comes first; the one about the save is the last.
        std::vector<std::string> about_save = alerts.Alerts;
        std::erase(about_save, std::string(Log_Failure_Message));
        if (f.told.empty()) {
            EXPECT_TRUE(about_save.empty()) << f.name << ": " << (about_save.empty() ? "" : about_save[0]);
            continue;
        }
        ASSERT_EQ(about_save.size(), 1u) << f.name;
        for (const char* piece : f.told)
            EXPECT_TRUE(Contains(about_save[0], piece)) << f.name << ": " << about_save[0];
        if (f.stays) {
            EXPECT_EQ(Contains(about_save[0], "kept in the count log"),
                      std::filesystem::is_regular_file(dir.Path() / "PC_Active.csv"))
                << f.name;
        }
    }
}

TEST_F(Station_Scripted, AHistoryWithoutAResultSetIsNoHistoryAndABathEntryTheLabRefusedIsNamed) {
    st.Load(false, dir.Path());
    auto base = backend.Responder;
    backend.Responder = [base](const std::string& sql) {
        if (Contains(sql, "get_pc_history")) return Answer_Script::No_Rows();
        if (Contains(sql, "'ADD'")) return Row({"ERROR", "MESSAGE"}, {F("3"), F("position taken")});
        return base(sql);
    };
    alerts.Alerts.clear();
    EXPECT_FALSE(st.Process_Sample(0, "1100007", "READY"));
    EXPECT_EQ(Trim(st.Slots[0].Lab_Number), "1100007");
    EXPECT_EQ(st.Slots[0].History_Text, "No Hist ");
    ASSERT_EQ(alerts.Alerts.size(), 1u);
    EXPECT_TRUE(Contains(alerts.Alerts[0], "1100007 is in bath slot 1 on this screen only"));
    EXPECT_TRUE(Contains(alerts.Alerts[0], "error 3 (position taken)"));
    EXPECT_TRUE(Contains(alerts.Alerts[0], "not be in the bath after a restart"));
}

TEST_F(Station_Scripted, AFailedRedoIsOneAlertAndTheSampleStays) {
    st.Load(false, dir.Path());
    ASSERT_TRUE(st.Process_Sample(0, "1100007", "READY"));
    st.Samples_Since_Check = 0;
    alerts.Alerts.clear();
    fail = "labtrack_inserttest";
    alerts.Answers = {Answer_Yes};
    panel.Outcomes = {{"COUNT", Report}};
    st.Slots[0].History_Text = "16/14/12 ";
    st.Slot_Touch(0);
    EXPECT_EQ(panel.Shown.size(), 1u); // not repeated
    ASSERT_EQ(alerts.Alerts.size(), 1u);
    EXPECT_TRUE(Contains(alerts.Alerts[0], "did not answer")) << alerts.Alerts[0];
    EXPECT_EQ(Trim(st.Slots[0].Lab_Number), "1100007");
}

TEST_F(Station_Scripted, EveryPassIsACountOfItsOwnAndTheChosenDilutionScalesTheSave) {
    st.Load(false, dir.Path());
    ASSERT_TRUE(st.Process_Sample(0, "1100007", "READY"));
    st.Samples_Since_Check = 0;
    st.Slots[0].History_Text = "16/14/12 "; // dirtier than the last count: no flush
    const std::string report = "!LPR1,00:00:28.76,BP,RP,GP,LP,8,C,2.00,5.00,15.00,25.00,50.00,100.00,100.00,"
                               "100.00,4446,908,51,13,0,0,0,0,20.00,03/26/04,12:05:03,LAB.TECH,1,X,,,\r";
    // Diluted on the panel, saved, answered Yes: the sample runs again, still diluted, as a new count.
    alerts.Answers = {Answer_Yes};
    panel.Outcomes = {{"COUNT", report, true}, {"REMOVE", ""}};
    st.Slot_Touch(0);
    EXPECT_EQ(panel.Shown, (std::vector<std::string>{"1100007", "1100007"}));
    EXPECT_EQ(panel.Diluted, (std::vector<bool>{false, true}));
    ASSERT_EQ(panel.Counts.size(), 2u);
    EXPECT_GT(panel.Counts[0], 0u);
    EXPECT_GT(panel.Counts[1], panel.Counts[0]);
    const auto save = std::find_if(backend.Statements.begin(), backend.Statements.end(),
                                   [](const std::string& s) { return Contains(s, "import_PC002"); });
    ASSERT_NE(save, backend.Statements.end());
    EXPECT_TRUE(Contains(*save, "@labnumber = '1100007'")) << *save;
    EXPECT_TRUE(Contains(*save, "@pc2m = '44460'")) << *save;
    // A touch on a slot starts afresh: undiluted, and a count never seen before.
    ASSERT_TRUE(st.Slots[0].Is_Free());
    ASSERT_TRUE(st.Process_Sample(1, "1100008", "READY"));
    panel.Outcomes = {{"", ""}};
    st.Slot_Touch(0);
    EXPECT_FALSE(panel.Diluted.back());
    EXPECT_GT(panel.Counts.back(), panel.Counts[1]);
}

TEST_F(Station_Scripted, AReportOfAnotherCountReachesNoSample) {
    st.Load(false, dir.Path());
    ASSERT_TRUE(st.Process_Sample(0, "1100007", "READY"));
    st.Samples_Since_Check = 0;
    st.Slots[0].History_Text = "16/14/12 ";
    backend.Statements.clear();
    panel.Outcomes = {{"COUNT", Report, std::nullopt, 999}};
    st.Slot_Touch(0);
    for (const auto& s : backend.Statements)
        EXPECT_FALSE(Contains(s, "import_PC002")) << s;
    EXPECT_TRUE(alerts.Questions.empty());
    EXPECT_EQ(Trim(st.Slots[0].Lab_Number), "1100007");
    EXPECT_FALSE(std::filesystem::exists(dir.Path() / "PC_Active.csv"));
    std::ifstream offline(dir.Path() / "PC_Offline.csv");
    std::string text((std::istreambuf_iterator<char>(offline)), {});
    EXPECT_TRUE(Contains(text, "4446,908,51,13")) << text;
}

TEST_F(Station_Scripted, ARerunSavesWhatThePanelShowedAndAsksAboutTheStoredCode) {
    st.Load(false, dir.Path());
    ASSERT_TRUE(st.Process_Sample(0, "1100007", "READY"));
    st.Samples_Since_Check = 0;
    st.Slots[0].History_Text = "16/14/12 ";
    // Diluted, answered Yes; rerun as shown (still diluted), answered Yes; rerun with the toggle turned
    // off, answered No.
    alerts.Answers = {Answer_Yes, Answer_Yes, Answer_No};
    panel.Outcomes = {{"COUNT", Report, true}, {"COUNT", Report}, {"COUNT", Report, false}};
    st.Slot_Touch(0);
    EXPECT_EQ(panel.Diluted, (std::vector<bool>{false, true, true}));
    std::vector<std::string> saved;
    for (const auto& s : backend.Statements)
        if (Contains(s, "import_PC002")) saved.push_back(s.substr(s.find("@pc2m"), 20));
    EXPECT_EQ(saved, (std::vector<std::string>{"@pc2m = '44460', @pc", "@pc2m = '44460', @pc",
                                               "@pc2m = '4446', @pc5"}));
    ASSERT_EQ(alerts.Questions.size(), 3u);
    EXPECT_TRUE(Contains(alerts.Questions[0], "Current count is [18/16/12]")) << alerts.Questions[0];
    EXPECT_TRUE(Contains(alerts.Questions[2], "Current count is [15/13/8]")) << alerts.Questions[2];
}
