// A simulated shift on the real pieces: the station's main-form model, the action panel and counter
// link on the Qt serial adapter with counter-sim on a pseudo-terminal, and a fresh embedded lab
// database. A scripted technician takes 20 racks of 20 samples, hands each sample to the bath and
// touches slots until the bath is empty, answering the rerun question now and then with Yes. On the
// way the counter goes silent once, gives invalid and dirty counts, the database times out (once
// briefly, once for good) and refuses one save. Nothing may be lost or saved twice, and memory must
// not grow with the shift.
#include "audit_log.h"
#include "audit_page.h"
#include "embedded_backend.h"
#include "lab_admin.h"
#include "qt_serial_port.h"

#include "common/text.h"
#include "counter/count_logs.h"
#include "counter/counter_link.h"
#include "db/database.h"
#include "lab/batch.h"
#include "lab/rack.h"
#include "records/employee.h"
#include "records/prt_count.h"
#include "settings/settings.h"
#include "station/action_panel.h"
#include "station/station.h"
#include "support/counter_sim_process.h"
#include "support/fake_ports.h"
#include "support/temp_dir.h"

#include <QCoreApplication>
#include <QProcess>
#include <QTest>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <functional>
#include <future>
#include <map>
#include <set>
#include <sstream>
#include <thread>

#include <sys/wait.h>
#include <unistd.h>

using namespace pcs;
namespace fs = std::filesystem;
using Steady = std::chrono::steady_clock;

namespace {

constexpr int Racks = 20;
constexpr int Rack_Size = 20;
constexpr const char* Password = "13013013";

// A report as the counter sends it, told apart by its counts; the counter's own code is three numbers.
std::string Report_Line(int n, const std::string& code) {
    int c1 = 4000 + 7 * n, c2 = 900 + 3 * n, c3 = 50 + n, c4 = 13, c5 = 250, c6 = 4;
    char buf[512];
    std::snprintf(buf, sizeof buf,
                  "!LPR1,00:00:28.76,BP,RP,GP,LP,8,C,2.00,5.00,15.00,25.00,50.00,100.00,100.00,100.00,"
                  "%d,%d,%d,%d,%d,%d,0,0,20.00,03/26/04,12:05:03,LAB.TECH,SHIFT,RUN,,ISO Code: %s,",
                  c1, c2, c3, c4, c5, c6, code.c_str());
    return buf;
}

long Resident_Kb() {
    std::ifstream in("/proc/self/statm");
    long size = 0, resident = 0;
    in >> size >> resident;
    return resident * (::sysconf(_SC_PAGESIZE) / 1024);
}

std::string Field_Of(const std::string& line, size_t index) {
    size_t start = 0;
    for (size_t i = 0; i < index; ++i) {
        start = line.find(',', start);
        if (start == std::string::npos) return "";
        ++start;
    }
    return line.substr(start, line.find(',', start) - start);
}

// The station's own time around a run, phase by phase: a touch to the action panel shown, the panel's
// report to the rerun question asked (the save lies between), a No to the slot freed.
struct Phase_Times {
    enum Since { Idle, Touch, Report, Answer };
    Since since = Idle;
    Steady::time_point at{};
    Steady::duration Touch_To_Panel{}, Report_To_Question{}, Answer_To_Freed{};
    int Panels = 0, Questions = 0, Freed = 0;

    void Mark(Since s) {
        since = s;
        at = Steady::now();
    }
    void Ended(Since expected, Steady::duration& sum, int& count) {
        if (since == expected) {
            sum += Steady::now() - at;
            ++count;
        }
        since = Idle;
    }
    void Panel_Shown() { Ended(Touch, Touch_To_Panel, Panels); }
    void Question_Asked() { Ended(Report, Report_To_Question, Questions); }
    void Touch_Returned() { Ended(Answer, Answer_To_Freed, Freed); }
    static double Ms(Steady::duration d, int n) {
        return std::chrono::duration<double, std::milli>(d).count() / std::max(1, n);
    }
};

// The technician at the alerts and the question box: Yes to one rerun question in 25. Keeps counts
// only, so that the shift's own bookkeeping does not grow with it.
struct Technician_Alerts : Alert_Port {
    std::map<std::string, int> Alerts;
    int Questions = 0;
    int Yes_Answers = 0;
    Phase_Times* Phases = nullptr;
    void Alert(const std::string& text) override { ++Alerts[text]; }
    int Ask_Yes_No(const std::string&, bool, int) override {
        if (Phases) Phases->Question_Asked();
        if (++Questions % 25 == 7) {
            ++Yes_Answers;
            return Answer_Yes;
        }
        if (Phases) Phases->Mark(Phase_Times::Answer);
        return Answer_No;
    }
};

struct Panel_View : Action_Panel_View {
    void Hide_Panel() override {}
};

// The modal action panel as the technician works it: waits for remote mode, presses run, and when the
// counter stays silent stops the count and closes the panel.
class Counter_Panel : public Action_Panel_Port {
public:
    Counter_Panel(Globals& g, const Clock& clock, Alert_Port& alerts, PrtCount& remover,
                  const Settings_Collection& settings)
        : g_(g), clock_(clock), alerts_(alerts), remover_(remover), settings_(settings) {}

    struct Run {
        std::string Run_Id, Action, Bffr;
    };
    // One line a run, "run id|action|CNT_1", written as the shift goes.
    std::ofstream Run_Log;
    int Runs = 0;
    std::function<void(const Run&)> Before_Processing; // fault injection, once the panel has closed
    Steady::duration Station_Time{}; // touch-to-panel and panel-to-next-touch, excluding the counter
    Steady::duration Counter_Time{};
    Steady::time_point Last_Return{};
    Phase_Times* Phases = nullptr;

    Panel_Outcome Show_Action_Panel(const pcs::Run& in_hand, int16_t sIndex) override {
        auto shown = Steady::now();
        if (Phases) Phases->Panel_Shown();
        if (Last_Return != Steady::time_point{}) Station_Time += shown - Last_Return;
        Qt_Serial_Port port(Counter_Device_Path(settings_));
        Action_Panel panel(g_, clock_, alerts_, port, remover_, view_);
        panel.Set_Run(in_hand, sIndex);
        panel.Load(settings_);
        // A silent counter never answers; the technician presses run all the same.
        (void)QTest::qWaitFor([&] { return panel.Bffr().find("!REMOTE+") != std::string::npos; }, 1000);
        auto counting = Steady::now();
        panel.Run_Button_Click();
        if (!QTest::qWaitFor([&] { return panel.Hidden; }, 1500)) {
            panel.Run_Button_Click(); // stop the count that never came
            panel.Close_Click();
        }
        Counter_Time += Steady::now() - counting;
        Panel_Outcome out{panel.Action, panel.Bffr(), panel.Dilution_Chosen, panel.Report_Count_Id};
        panel.Unload();
        Run run{in_hand.Id(), out.Action, out.Bffr};
        ++Runs;
        size_t tag = run.Bffr.find("!LPR1");
        Run_Log << run.Run_Id << "|" << run.Action << "|"
                << (tag == std::string::npos ? "" : Field_Of(run.Bffr.substr(tag), 16)) << "|"
                << (run.Bffr.find("Code: 2/1/0,") != std::string::npos ? "invalid" : "") << "\n";
        if (Before_Processing) Before_Processing(run);
        Last_Return = Steady::now();
        if (Phases) Phases->Mark(Phase_Times::Report);
        return out;
    }

private:
    Globals& g_;
    const Clock& clock_;
    Alert_Port& alerts_;
    PrtCount& remover_;
    const Settings_Collection& settings_;
    Panel_View view_;
};

struct Result_Row {
    std::string Lab_Number;
    long long Run_No = 0;
    std::string Pc2, Pc5, Pc15, Pc25, Pc50, Pc100, Volume, Emp;
};

} // namespace

TEST(Shift, FourHundredSamplesNothingLostNothingTwice) {
    test::Temp_Dir dir;
    const fs::path lab = dir / "lab.db";
    std::vector<std::vector<std::string>> rack_samples;
    {
        embedded::Lab_Admin::Create(lab);
        embedded::Lab_Admin admin(lab);
        embedded::Employee_Spec e;
        e.Emp_Num = 130;
        e.First_Name = "Ines";
        e.Last_Name = "Dias";
        admin.Add_Employee(e, Password);
        std::vector<std::string> numbers = admin.New_Lab_Numbers("VOLMAR", Racks * Rack_Size);
        for (int r = 0; r < Racks; ++r) {
            embedded::Rack_Spec spec;
            spec.Rack_Desc = "SHIFT-" + std::to_string(r + 1);
            spec.Lab_Numbers.assign(numbers.begin() + r * Rack_Size, numbers.begin() + (r + 1) * Rack_Size);
            admin.Route_Rack(spec);
            rack_samples.push_back(spec.Lab_Numbers);
        }
    }
    // Clean counts with one dirty and one invalid among them: dirty ones fail a check standard or
    // flush, and are followed by a flush; invalid ones are run again.
    const std::vector<std::string> codes = {"16/14/11", "15/13/10", "17/15/12", "21/19/16", "14/12/9",
                                            "18/15/13", "13/11/8",  "2/1/0",    "16/13/10", "15/12/9"};
    {
        std::ofstream reports(dir / "reports.txt");
        for (size_t i = 0; i < codes.size(); ++i)
            reports << Report_Line(static_cast<int>(i), codes[i]) << "\n";
    }
    test::Counter_Sim sim({"--count-time", "0.005", "--reports",
                           QString::fromStdString((dir / "reports.txt").string()), "--fault", "silence",
                           "--fault-count", "1"});
    ASSERT_FALSE(sim.Path.empty());
    {
        std::ofstream s(dir / "settings.txt");
        s << "Settings of the simulated shift\n"
          << "COMM_PORT;1;counter\nCOMM_DEVICE;" << sim.Path << ";counter-sim\n"
          << "INSTRUMENT_ID;PC002;the counter\nSAMPLES_BETWEEN_CHECKS;15;checks\n"
          << "ISO2_FLUSH;18;x\nISO5_FLUSH;15;x\nISO15_FLUSH;13;x\nISO2_CHECK;18;x\nISO5_CHECK;15;x\n"
          << "ISO15_CHECK;13;x\nISO2_SAMPLE;21;x\nISO5_SAMPLE;18;x\nISO15_SAMPLE;999;x\n"
          << "INIT_ISO_HIST_DECREASE;22;x\nISO_HIST_DECREASE_MAX;20;x\n"
          << "SAMPLE_SHAKE_TIME;1;x\nSAMPLE_BATH_TIME;2;x\nMAX_RACKS_IN_BATH;2;x\n";
    }

    Globals g;
    g.App_Folder = (dir.Path() / "").string();
    Manual_Clock clock(std::chrono::system_clock::now());
    Technician_Alerts alerts;
    test::Recording_Status status;
    embedded::Embedded_Backend backend;
    backend.Set_Lock_Wait_Ms(40); // a held lock times out quickly and is retried
    g.Connect_String = embedded::Embedded_Connect_String(lab);
    db::Database database(g, backend, alerts);
    Employee technician(database);
    Rack rack(database, g, alerts, technician, clock, g.Connect_String); // loads settings.txt
    PrtCount result(database, g, technician);
    Batch batch(database);
    Count_Logs logs(dir.Path(), alerts);
    Counter_Panel panel(g, clock, alerts, result, rack.Settings);
    Station_View view;
    Station station({g, clock, alerts, status, database, rack, batch, result, technician, logs, panel, view});
    ASSERT_TRUE(technician.Login(std::string(Password)));
    station.Load(false, dir.Path());
    ASSERT_TRUE(alerts.Alerts.empty()) << alerts.Alerts.begin()->first;
    panel.Run_Log.open(dir / "runs.txt");

    // Faults of the lab database, each on one sample save.
    int lost_save_tries = 0, refused_tries = 0; // sample counts handed over for the two samples
    int sample_counts = 0;
    std::string refused_sample, lost_save_sample;
    // The faults are made by another process on the same files, as another station or the server
    // would (the sqlite3 shell), so that the memory measured is the station's own.
    QProcess holder;
    auto finish_holder = [&] {
        if (holder.state() != QProcess::NotRunning) holder.waitForFinished(30000);
    };
    auto in_other_process = [&](QStringList commands, const std::string& sql) {
        finish_holder();
        const fs::path flag = dir / "fault.flag";
        fs::remove(flag);
        QStringList args{QString::fromStdString(lab.string())};
        commands.prepend(".timeout 5000");
        commands << QString(".shell touch '%1'").arg(QString::fromStdString(flag.string()));
        for (const QString& c : commands)
            args << "-cmd" << c;
        holder.start(SQLITE3_CLI, args << QString::fromStdString(sql));
        auto until = Steady::now() + std::chrono::seconds(30);
        while (!fs::exists(flag) && Steady::now() < until && holder.state() != QProcess::NotRunning)
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        ASSERT_TRUE(fs::exists(flag)) << holder.readAllStandardError().toStdString();
    };
    // Holds the write lock for ms, then lets go.
    auto hold_lock = [&](int ms) {
        in_other_process({"BEGIN IMMEDIATE"}, ".shell sleep " + std::to_string(ms / 1000.0));
        // COMMIT once the sleep is over: the shell runs the last argument after the commands.
    };
    auto run_script = [&](const std::string& sql) {
        in_other_process({QString::fromStdString(sql)}, "SELECT 1");
        finish_holder();
    };
    panel.Before_Processing = [&](const Counter_Panel::Run& run) {
        finish_holder();
        if (run.Action != "COUNT" || !Is_Numeric(run.Run_Id)) return;
        ++sample_counts;
        lost_save_tries += run.Run_Id == lost_save_sample;
        refused_tries += run.Run_Id == refused_sample;
        if (sample_counts == 40) hold_lock(90); // two timeouts, then the retry saves it
        if (sample_counts == 120) {
            hold_lock(3000); // every retry times out: the save is lost for now
            lost_save_sample = run.Run_Id;
            lost_save_tries = 1;
        }
        if (sample_counts == 200) {
            refused_sample = run.Run_Id;
            refused_tries = 1;
            run_script("CREATE TRIGGER main.refuse_once BEFORE INSERT ON testgroup_pc BEGIN "
                       "SELECT RAISE(ABORT, 'the lab refuses this result'); END");
        }
        if (sample_counts == 201) run_script("DROP TRIGGER main.refuse_once");
    };

    Phase_Times phases;
    panel.Phases = &phases;
    alerts.Phases = &phases;
    long rss_after_10 = 0;
    auto started = Steady::now();
    int touches = 0;
    for (int r = 0; r < Racks; ++r) {
        rack.Rack_Load("SHIFT-" + std::to_string(r + 1), Test_Code_PrtCount);
        ASSERT_TRUE(rack.Rack_Status_Update("GET"));
        for (int i = 0; i < Rack_Size; ++i) {
            const RackPositions& p = *rack.Pos[i];
            ASSERT_EQ(p.Sample_Desc, rack_samples[r][i]);
            ASSERT_TRUE(station.Process_Sample(static_cast<int16_t>(i), p.Sample_Desc, p.Status))
                << p.Sample_Desc;
        }
        clock.Advance(std::chrono::seconds(3));
        station.Bath_Timer_Tick();
        for (;;) {
            int slot = -1;
            for (int s = 0; s < Bath_Slot_Count && slot < 0; ++s)
                if (!station.Slots[s].Is_Free()) slot = s;
            if (slot < 0) break;
            ASSERT_LT(++touches, 2000) << "the shift does not end";
            phases.Mark(Phase_Times::Touch);
            station.Slot_Touch(slot);
            phases.Touch_Returned();
            clock.Advance(std::chrono::seconds(60));
            if (rss_after_10 == 0 && sample_counts >= 10) rss_after_10 = Resident_Kb();
        }
        ASSERT_TRUE(rack.Rack_Status_Update("PUT"));
    }
    finish_holder();
    const double seconds = std::chrono::duration<double>(Steady::now() - started).count();
    const long rss_end = Resident_Kb();
    panel.Run_Log.close();

    // Every sample has exactly one result for each run it was given, with the counts it was saved with.
    // Read with the sqlite3 shell, not through the station's own layer.
    auto query = [&](const std::string& sql) {
        QProcess q;
        q.start(SQLITE3_CLI,
                {"-separator", "|", QString::fromStdString(lab.string()), QString::fromStdString(sql)});
        q.waitForFinished(30000);
        std::vector<std::vector<std::string>> out;
        for (const QByteArray& line : q.readAllStandardOutput().split('\n'))
            if (!line.isEmpty()) out.push_back(Split(line.toStdString(), '|'));
        return out;
    };
    auto rows = query("SELECT s.LAB_NUMBER, p.RUN_NO, p.PC2, p.EMP_NUM FROM testgroup_pc p JOIN samples s "
                      "ON s.LAB_ID = p.LAB_ID ORDER BY s.LAB_NUMBER, p.RUN_NO");
    auto outstanding =
        query("SELECT count(*) FROM lab_tracking WHERE TEST_GROUP = 'PrtCount' AND STATUS = 'READY'");
    std::map<std::string, int> results;
    for (const auto& row : rows) {
        ASSERT_EQ(row.size(), 4u);
        ++results[row[0]];
        EXPECT_EQ(row[3], "130");
    }
    ASSERT_EQ(outstanding.size(), 1u);
    EXPECT_EQ(outstanding[0][0], "0") << "tests left without a result";
    EXPECT_EQ(results.size(), static_cast<size_t>(Racks * Rack_Size)) << "samples without a result";
    EXPECT_EQ(rows.size(), static_cast<size_t>(Racks * Rack_Size + alerts.Yes_Answers))
        << "each sample saved once, once more per rerun asked for";
    EXPECT_GE(lost_save_tries, 2) << "the lost save was tried again";
    EXPECT_GE(refused_tries, 2) << "the refused save was tried again";

    // The count logs hold every report the station processed, in order; the results agree with them.
    struct Logged_Run {
        std::string Run_Id, Action, Cnt_1;
        bool Invalid = false;
    };
    std::vector<Logged_Run> runs, counted;
    {
        std::ifstream in(dir / "runs.txt");
        for (std::string line; std::getline(in, line);) {
            std::vector<std::string> f = Split(line, '|');
            f.resize(4);
            runs.push_back({f[0], f[1], f[2], f[3] == "invalid"});
            if (f[1] == "COUNT") counted.push_back(runs.back());
        }
    }
    std::ifstream active(dir / Active_Log_Name);
    std::vector<std::string> logged;
    for (std::string line; std::getline(active, line);)
        if (line.find("LPR1") != std::string::npos) logged.push_back(line);
    ASSERT_EQ(logged.size(), counted.size());
    std::map<std::string, std::set<std::string>> logged_counts; // lab number -> CNT_1 of its reports
    for (size_t i = 0; i < logged.size(); ++i) {
        EXPECT_EQ(Field_Of(logged[i].substr(logged[i].find("LPR1")), 16), counted[i].Cnt_1)
            << "log line " << i;
        if (!counted[i].Invalid) logged_counts[counted[i].Run_Id].insert(counted[i].Cnt_1);
    }
    for (const auto& row : rows) {
        std::string cnt1 = To_Text(static_cast<long long>(std::stod(row[2])));
        EXPECT_TRUE(logged_counts[row[0]].count(cnt1)) << row[0] << " saved counts no report gave";
    }
    std::ifstream passed(dir / Passed_Log_Name), failed(dir / Error_Log_Name);
    int passed_lines = 0, failed_lines = 0, checks = 0;
    for (std::string line; std::getline(passed, line);)
        passed_lines += line.find("LPR1") != std::string::npos;
    for (std::string line; std::getline(failed, line);)
        failed_lines += line.find("LPR1") != std::string::npos;
    for (const auto& run : counted)
        checks += run.Run_Id == "CHECK" && !run.Invalid;
    EXPECT_GE(passed_lines, Racks * Rack_Size / 15);
    EXPECT_EQ(passed_lines + failed_lines, checks) << "every valid check standard logged once";

    // The lab's audit of the shift reads from the logs what the shift did: every count once, checks and
    // flushes with their failures, the invalid counts, and as reruns the samples counted more than once
    // (a Yes to the question, a save that failed and was counted again).
    {
        int samples = 0, flushes = 0, invalid = 0;
        for (const auto& run : counted) {
            invalid += run.Invalid;
            if (run.Invalid) continue;
            flushes += run.Run_Id == "FLUSH";
            samples += Is_Numeric(run.Run_Id);
        }
        audit::Audit a = audit::Read_Audit(dir.Path());
        const audit::Day_Figures& t = a.Total;
        EXPECT_EQ(a.Unreadable_Total, 0) << (a.Unreadable.empty() ? "" : a.Unreadable[0].Why);
        EXPECT_EQ(t.Counts(), static_cast<long>(counted.size()));
        EXPECT_EQ(t.Checks, checks);
        EXPECT_EQ(t.Checks_Failed, failed_lines);
        EXPECT_EQ(static_cast<long>(a.Checks.size()), checks) << "one point per check standard";
        EXPECT_EQ(t.Flushes, flushes);
        EXPECT_EQ(t.Flushes_Failed, alerts.Alerts["Flush count to high!"]);
        EXPECT_EQ(t.Invalid, invalid);
        EXPECT_EQ(t.Invalid, alerts.Alerts["An invalid count was generated."]);
        EXPECT_EQ(t.Samples, samples);
        EXPECT_EQ(t.Samples - t.Reruns, Racks * Rack_Size) << "each sample counted first once";
        EXPECT_EQ(t.Reruns, alerts.Yes_Answers + (samples - static_cast<long>(rows.size())))
            << "reruns: the Yes answers and the counts whose save failed";
        std::printf(
            "audit of the shift's logs: %ld counts, %ld samples (%ld reruns), %ld check standards (%ld "
            "failed), %ld flushes (%ld failed), %ld invalid\n",
            t.Counts(), t.Samples, t.Reruns, t.Checks, t.Checks_Failed, t.Flushes, t.Flushes_Failed,
            t.Invalid);
        std::ostringstream page;
        audit::Write_Page(page, a, {dir.Path().string(), "now", {}, {}});
        EXPECT_NE(page.str().find("data-day=\"All days\" data-counts=\"" + std::to_string(counted.size()) +
                                  "\" data-samples=\"" + std::to_string(samples) + "\""),
                  std::string::npos);
    }

    // The faults were met: the save lost to the timeouts is told (the refused one leaves the sample in
    // the bath without a word, as the station always has).
    EXPECT_GT(alerts.Alerts["An invalid count was generated."], 0);
    int save_failures = 0;
    for (const auto& [text, n] : alerts.Alerts)
        if (text.find("particle count result") != std::string::npos) save_failures += n;
    EXPECT_GE(save_failures, 1);
    int silent = 0;
    for (const auto& run : runs)
        silent += run.Action.empty();
    EXPECT_EQ(silent, 1) << "the counter went silent once";

    // The address checker holds freed memory in quarantine, so the process grows whatever the
    // station does; it checks leaks itself, and the growth limit holds for the plain builds.
#if defined(__SANITIZE_ADDRESS__)
    constexpr bool Memory_Is_Sanitized = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
    constexpr bool Memory_Is_Sanitized = true;
#else
    constexpr bool Memory_Is_Sanitized = false;
#endif
#else
    constexpr bool Memory_Is_Sanitized = false;
#endif
    if (!Memory_Is_Sanitized) {
        EXPECT_LE(rss_end, rss_after_10 * 105 / 100)
            << "memory grew from " << rss_after_10 << " kB after 10 samples to " << rss_end << " kB";
    }

    // Every No to the rerun question ended its touch with the slot freed: the phases measured are whole.
    EXPECT_EQ(phases.Freed, alerts.Questions - alerts.Yes_Answers);
    EXPECT_GE(phases.Panels, touches);

    const double station_ms =
        std::chrono::duration<double, std::milli>(panel.Station_Time).count() / std::max(1, panel.Runs);
    const double counter_ms =
        std::chrono::duration<double, std::milli>(panel.Counter_Time).count() / std::max(1, panel.Runs);
    std::printf("shift: %d samples, %zu runs (%d checks logged %d/%d), %d touches in %.1f s; station %.2f ms "
                "a run besides the counter's %.2f ms; memory %ld kB after 10 samples, %ld kB at the end\n",
                Racks * Rack_Size, static_cast<size_t>(panel.Runs), checks, passed_lines, failed_lines,
                touches, seconds, station_ms, counter_ms, rss_after_10, rss_end);
    if (const char* out = std::getenv("PCS_SHIFT_FIGURES")) {
        std::ofstream f(out);
        f << "{\"station_ms_per_run\":" << station_ms << ",\"counter_ms_per_run\":" << counter_ms
          << ",\"rss_after_10_kb\":" << rss_after_10 << ",\"rss_end_kb\":" << rss_end
          << ",\"touch_to_panel_ms\":" << Phase_Times::Ms(phases.Touch_To_Panel, phases.Panels)
          << ",\"report_to_question_ms\":" << Phase_Times::Ms(phases.Report_To_Question, phases.Questions)
          << ",\"answer_to_freed_ms\":" << Phase_Times::Ms(phases.Answer_To_Freed, phases.Freed)
          << ",\"report_transfer_ms\":" << (Report_Line(0, codes[0]).size() + 1) * 10 * 1000.0 / 9600
          << ",\"seconds\":" << seconds << ",\"runs\":" << static_cast<size_t>(panel.Runs) << "}\n";
    }
}

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
