// The station from start-up to saved counts against the embedded lab database: the real records,
// rack, batch and logs; only the action panel and the technician's answers are scripted.
#include "common/globals.h"
#include "common/text.h"
#include "common/text_file.h"
#include "counter/count_logs.h"
#include "db/database.h"
#include "embedded_backend.h"
#include "lab/batch.h"
#include "lab/rack.h"
#include "lab_admin.h"
#include "records/employee.h"
#include "records/prt_count.h"
#include "station/station.h"
#include "support/fake_ports.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <deque>
#include <fstream>

using namespace pcs;
using namespace std::chrono_literals;

namespace {

constexpr const char* Password = "4711";

// The embedded backend, with a switch that makes statements containing a text fail as a server would.
class Failing_Backend : public db::Db_Backend {
public:
    explicit Failing_Backend(db::Db_Backend& real) : real_(real) {}
    std::string Fail_When;

    std::unique_ptr<db::Db_Connection> Connect(const std::string& cs, const db::Connect_Options& o) override {
        return std::make_unique<Connection>(real_.Connect(cs, o), *this);
    }

private:
    struct Connection : db::Db_Connection {
        Connection(std::unique_ptr<db::Db_Connection> c, Failing_Backend& b)
            : inner(std::move(c)), owner(b) {}
        db::Exec_Outcome Execute(const std::string& sql) override {
            if (!owner.Fail_When.empty() && Contains(sql, owner.Fail_When)) {
                db::Exec_Outcome out;
                out.Errors.push_back({1205, "Transaction was deadlocked on lock resources", "40001", 1205});
                return out;
            }
            return inner->Execute(sql);
        }
        std::unique_ptr<db::Db_Connection> inner;
        Failing_Backend& owner;
    };
    db::Db_Backend& real_;
};

struct Scripted_Panel : Action_Panel_Port {
    struct Shown {
        std::string Lab_Number;
        int16_t Index;
    };
    std::vector<Shown> Shows;
    std::deque<Panel_Outcome> Outcomes;
    Panel_Outcome Show_Action_Panel(const Run& run, int16_t sIndex) override {
        Shows.push_back({run.Id(), sIndex});
        if (Outcomes.empty()) return {};
        Panel_Outcome o = Outcomes.front();
        Outcomes.pop_front();
        // A scripted count is the count the panel was shown for.
        if (o.Action == "COUNT") o.Count_Id = run.Count_Id;
        return o;
    }
};

// A report line as the panel hands it over: 20 mL, the counts given, the counter's code when given.
std::string Report(const std::array<long, 4>& counts, const std::string& code = "") {
    std::string line = "!LPR1,00:00:28.76,BP,RP,GP,LP,8,C,2.00,5.00,15.00,25.00,50.00,100.00,100.00,100.00,";
    for (long c : counts)
        line += std::to_string(c) + ",";
    line += "0,0,0,0,20.00,03/26/04,12:05:03,LAB.TECH,22222222,X,,";
    line += code.empty() ? "" : "ISO Code: " + code;
    return line + ",\r";
}
Panel_Outcome Count(const std::string& report) {
    return {"COUNT", report};
}

const std::string Clean = Report({4446, 908, 51, 13});                   // 15/13/8
const std::string Dirty = Report({160000, 60000, 6000, 100});            // 20/19/15
const std::string Check_Fails = Report({4446, 908, 51, 13}, "19/15/13"); // above ISO2_CHECK
const std::string Check_Passes = Report({4446, 908, 51, 13}, "13/9");

struct StationDb : ::testing::Test {
    test::Temp_Dir dir;
    std::filesystem::path lab_file = dir.Path() / "lab.db";
    std::vector<std::string> a, b, c; // lab numbers of racks R-A, R-B, R-C
    Manual_Clock clock{std::chrono::system_clock::now()};
    Globals g;
    embedded::Embedded_Backend embedded;
    Failing_Backend backend{embedded};
    test::Recording_Alerts alerts;
    test::Recording_Status status;
    std::unique_ptr<db::Database> db;
    std::unique_ptr<Employee> emp;
    std::unique_ptr<Rack> rack;
    std::unique_ptr<Count_Logs> logs;
    std::unique_ptr<PrtCount> result;
    Scripted_Panel panel;
    Station_View view;

    StationDb() {
        embedded::Lab_Admin::Create(lab_file);
        embedded::Lab_Admin admin(lab_file);
        embedded::Employee_Spec ann;
        ann.Emp_Num = 117;
        ann.First_Name = "Ann";
        ann.Last_Name = "Lee";
        admin.Add_Employee(ann, Password);
        auto route = [&](const char* desc, int n) {
            embedded::Rack_Spec r;
            r.Rack_Desc = desc;
            r.Lab_Numbers = admin.New_Lab_Numbers("VOLMAR", n);
            admin.Route_Rack(r);
            return r.Lab_Numbers;
        };
        a = route("R-A", 3);
        b = route("R-B", 2);
        c = route("R-C", 1);
        // No INIT_ISO_HIST_DECREASE or ISO_HIST_DECREASE_MAX: the station names them once and goes on.
        std::ofstream(dir.Path() / "settings.txt") << "INSTRUMENT_ID;PC002;the counter\n"
                                                      "SAMPLES_BETWEEN_CHECKS;2;\n"
                                                      "ISO2_CHECK;18;\nISO5_CHECK;15;\nISO15_CHECK;13;\n"
                                                      "ISO2_FLUSH;18;\nISO5_FLUSH;15;\nISO15_FLUSH;13;\n"
                                                      "ISO2_SAMPLE;21;\nISO5_SAMPLE;18;\nISO15_SAMPLE;999;\n"
                                                      "SAMPLE_SHAKE_TIME;60;\nSAMPLE_BATH_TIME;300;\n"
                                                      "MAX_RACKS_IN_BATH;2;\n";
        g.App_Folder = dir.Path().string() + "/";
        std::string connect = embedded::Embedded_Connect_String(lab_file);
        g.Connect_String = connect;
        db = std::make_unique<db::Database>(g, backend, alerts);
        emp = std::make_unique<Employee>(*db);
        EXPECT_TRUE(emp->Login(std::string(Password)));
        rack = std::make_unique<Rack>(*db, g, alerts, *emp, clock, connect);
        logs = std::make_unique<Count_Logs>(dir.Path(), alerts);
        result = std::make_unique<PrtCount>(*db, g, *emp);
    }

    // A station as the form load leaves it, on a batch of its own (as after a restart).
    std::unique_ptr<Station> Start(Batch& batch) {
        auto s = std::make_unique<Station>(
            Station_Parts{g, clock, alerts, status, *db, *rack, batch, *result, *emp, *logs, panel, view});
        s->Load(false, dir.Path());
        return s;
    }

    // The rack view names the rack, then loads it.
    void Take(const char* desc) {
        rack->Rack_Desc = desc;
        rack->Rack_Load(desc, "PrtCount");
    }

    std::vector<std::vector<db::Field>> Results_Of(const std::string& lab) {
        embedded::Lab_Admin admin(lab_file);
        return admin.Results(lab).Rows;
    }
    size_t Lines(const char* log) {
        std::ifstream in(dir.Path() / log);
        size_t n = 0;
        for (std::string line; std::getline(in, line);)
            n += line.find("!LPR1") != std::string::npos;
        return n;
    }
};

} // namespace

TEST_F(StationDb, FromStartUpToSavedCountsAndBackAfterARestart) {
    // Someone left a sample of R-B in the bath at position 5.
    Take("R-B");
    db->Open_Recordset(
        "exec labrack.dbo.set_PC_Bath @sampleId = '" + b[0] + "', @extra = 'RD=R-BRID=" + rack->Rack_id +
            "', @empNum = 117, @position = 5, @instrumentId = 'PC002', " + "@action = 'ADD', @test = 0",
        true);

    Batch batch(*db);
    auto st = Start(batch);
    ASSERT_EQ(alerts.Alerts.size(), 1u);
    EXPECT_NE(alerts.Alerts[0].find("INIT_ISO_HIST_DECREASE, ISO_HIST_DECREASE_MAX"), std::string::npos);
    alerts.Alerts.clear();
    EXPECT_EQ(st->Header.Countdown, "2");
    EXPECT_EQ(st->Samples_Since_Check, 2);
    EXPECT_EQ(Trim(st->Slots[4].Lab_Number), b[0]);
    EXPECT_EQ(st->Slots[4].State_Text, "START");
    EXPECT_EQ(st->Slots[4].Rack_Desc, "R-B");
    EXPECT_TRUE(st->Slots[4].Oldest_Mark);
    EXPECT_TRUE(st->Header.Visible);
    EXPECT_EQ(st->Header.Rack_Name, "  R-B");

    // A sample handed over from rack R-A shakes, soaks and is ready.
    Take("R-A");
    ASSERT_TRUE(st->Process_Sample(0, a[0], "READY"));
    EXPECT_FALSE(st->Process_Sample(0, a[0], "READY")); // already in
    EXPECT_FALSE(st->Process_Sample(1, a[1], "DONE"));
    EXPECT_TRUE(st->Timer_Enabled);
    const Bath_Slot& s0 = st->Slots[0];
    EXPECT_EQ(s0.History_Text, "No Hist ");
    EXPECT_EQ(s0.Picture, g.Common_Folder + "bttn_bath_NORMAL.gif");
    EXPECT_EQ(st->Header.Rack_Name, "  R-A");
    st->Bath_Timer_Tick();
    EXPECT_EQ(s0.State_Text, "SHAKE");
    clock.Advance(60s);
    st->Bath_Timer_Tick();
    EXPECT_EQ(s0.State_Text, "240");
    clock.Advance(240s);
    st->Bath_Timer_Tick();
    EXPECT_EQ(s0.State_Text, "START");

    // A third rack is one too many.
    Take("R-C");
    EXPECT_FALSE(st->Process_Sample(0, c[0], "READY"));
    ASSERT_EQ(alerts.Alerts.size(), 1u);
    EXPECT_EQ(alerts.Alerts[0], "Maximum of 2 racks are allowed in the bath at any time");
    alerts.Alerts.clear();
    Take("R-A");

    // First touch: the check standard, failed once, then passed.
    panel.Outcomes = {Count(Check_Fails), Count(Check_Passes)};
    st->Slot_Touch(0);
    ASSERT_EQ(panel.Shows.size(), 2u);
    EXPECT_EQ(panel.Shows[0].Lab_Number, "CHECK");
    EXPECT_EQ(panel.Shows[0].Index, -1);
    EXPECT_EQ(panel.Shows[1].Lab_Number, "CHECK");
    EXPECT_EQ(alerts.Alerts, std::vector<std::string>{"Check sample not within limits!"});
    EXPECT_EQ(st->Samples_Since_Check, 0);
    EXPECT_EQ(st->Header.Countdown, "2");
    EXPECT_EQ(st->Results.Rows()[0].Run_Id, "CHECK");
    EXPECT_EQ(st->Results.Previous_Code(), "13/9");
    EXPECT_EQ(Lines("PC_STD_Error.csv"), 1u);
    EXPECT_EQ(Lines("PC_STD_Passed.csv"), 1u);
    alerts.Alerts.clear();

    // The sample: saved, Yes records a redo and runs it again, No frees the slot.
    panel.Shows.clear();
    panel.Outcomes = {Count(Clean), Count(Dirty)};
    alerts.Answers = {Answer_Yes, Answer_No};
    st->Slot_Touch(0);
    ASSERT_EQ(panel.Shows.size(), 2u);
    EXPECT_EQ(panel.Shows[0].Lab_Number, a[0]);
    EXPECT_EQ(panel.Shows[0].Index, 0);
    EXPECT_EQ(panel.Shows[1].Lab_Number, a[0]);
    ASSERT_EQ(alerts.Questions.size(), 2u);
    EXPECT_EQ(alerts.Questions[0],
              "R-A\r\n\r\nCurrent count is [15/13/8], history is [No Hist].  Do you want to "
              "rerun the sample?");
    EXPECT_TRUE(alerts.Alerts.empty()) << alerts.Alerts[0];
    EXPECT_EQ(st->Samples_Since_Check, 1); // counted once
    EXPECT_EQ(st->Header.Countdown, "1");
    EXPECT_TRUE(st->Slots[0].Is_Free());
    EXPECT_EQ(st->Results.Rows()[0].Values[0], "20/19/15");
    EXPECT_EQ(st->Results.Rows()[1].Values,
              (std::array<std::string, 8>{"15/13/8", "222", "45", "3", "1", "0", "0", "0"}));
    EXPECT_EQ(st->History_Graph.Code_Label(), "20/19/15");
    EXPECT_EQ(st->History_Graph.Y_Top(), "10000");
    auto saved = Results_Of(a[0]);
    ASSERT_EQ(saved.size(), 2u);
    // LAB_NUMBER, COMPONENT_CODE, RUN_NO, STATUS, ISO_CODE, SAMPLE_VOLUME, PC2, PC5, PC15, PC25, ..., EMP_NUM
    const auto& first = saved[0][2] == std::optional<std::string>("1") ? saved[0] : saved[1];
    EXPECT_EQ(first[4], "15/13/8");
    EXPECT_EQ(To_Double(*first[5]), 20);
    EXPECT_EQ(To_Double(*first[6]), 4446);
    EXPECT_EQ(To_Double(*first[7]), 908);
    EXPECT_EQ(To_Double(*first[8]), 51);
    EXPECT_EQ(first[17], "117");
    EXPECT_EQ(Lines("PC_Active.csv"), 4u);

    // The next sample is cleaner than that last count: a flush first, then the sample, whose save
    // the database fails.
    ASSERT_TRUE(st->Process_Sample(1, a[1], "READY"));
    panel.Shows.clear();
    panel.Outcomes = {Count(Check_Passes)};
    st->Slot_Touch(0);
    ASSERT_EQ(panel.Shows.size(), 1u);
    EXPECT_EQ(panel.Shows[0].Lab_Number, "FLUSH");
    EXPECT_EQ(panel.Shows[0].Index, 0);
    EXPECT_EQ(st->Results.Rows()[0].Run_Id, "FLUSH");

    backend.Fail_When = "import_PC002";
    panel.Outcomes = {Count(Clean)};
    st->Slot_Touch(0);
    EXPECT_EQ(panel.Shows.back().Lab_Number, a[1]);
    ASSERT_EQ(alerts.Alerts.size(), 1u);
    EXPECT_NE(alerts.Alerts[0].find("did not answer"), std::string::npos);
    EXPECT_EQ(alerts.Questions.size(), 2u); // nothing asked
    EXPECT_EQ(Trim(st->Slots[0].Lab_Number), a[1]);
    EXPECT_TRUE(Results_Of(a[1]).empty());
    EXPECT_EQ(Lines("PC_Active.csv"), 6u); // the count is in the log
    backend.Fail_When.clear();
    alerts.Alerts.clear();

    // A restarted core finds the bath as the database stored it.
    Batch fresh(*db);
    auto again = Start(fresh);
    EXPECT_EQ(Trim(again->Slots[0].Lab_Number), a[1]);
    EXPECT_EQ(again->Slots[0].State_Text, "START");
    EXPECT_EQ(again->Slots[0].Rack_Desc, "R-A");
    EXPECT_EQ(Trim(again->Slots[4].Lab_Number), b[0]);
    for (int i : {1, 2, 3, 5})
        EXPECT_TRUE(again->Slots[i].Is_Free()) << i;
}
