// The whole station as a laboratory runs it: pcstation in a process of its own (offscreen), on a lab
// database freshly made by labdb and counter-sim on a pseudo-terminal, driven by touch scripts. The
// statement trace of the sample run is kept in the build tree.
#include "support/counter_sim_process.h"
#include "support/damage_file.h"
#include "support/temp_dir.h"

#include <QCoreApplication>
#include <QImage>
#include <QProcess>
#include <QProcessEnvironment>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

using pcs::test::Counter_Sim;
using pcs::test::Temp_Dir;
namespace fs = std::filesystem;

namespace {

struct Station_Run {
    int Exit = -1;
    std::string Out, Err;
    // "touch-script: <control> = <text>" lines, in order (a text may go on over several lines).
    std::vector<std::pair<std::string, std::string>> Shown;
    std::string Show(const std::string& control) const {
        for (const auto& [c, text] : Shown)
            if (c == control) return text;
        return "<" + control + " not shown>";
    }
    std::string Show_Last(const std::string& control) const {
        for (auto it = Shown.rbegin(); it != Shown.rend(); ++it)
            if (it->first == control) return it->second;
        return "<" + control + " not shown>";
    }
};

Station_Run Parse_Output(Station_Run r) {
    std::istringstream in(r.Out);
    std::string line;
    while (std::getline(in, line)) {
        const std::string head = "touch-script: ";
        if (line.rfind(head, 0) == 0) {
            auto eq = line.find(" = ");
            if (eq != std::string::npos)
                r.Shown.emplace_back(line.substr(head.size(), eq - head.size()), line.substr(eq + 3));
        } else if (!r.Shown.empty()) {
            r.Shown.back().second += "\n" + line;
        }
    }
    return r;
}

std::string Tool(const char* program, const QStringList& args) {
    QProcess p;
    p.start(program, args);
    if (!p.waitForFinished(60000) || p.exitCode() != 0)
        throw std::runtime_error(std::string(program) + " " + args.join(' ').toStdString() +
                                 " failed: " + p.readAllStandardError().toStdString());
    return p.readAllStandardOutput().toStdString();
}

std::vector<nlohmann::json> Json_Lines(const std::string& text) {
    std::vector<nlohmann::json> out;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line))
        if (!line.empty() && line[0] == '{') out.push_back(nlohmann::json::parse(line));
    return out;
}

struct Login {
    long long Emp_Num = 0;
    std::string Name, Password;
};

// A lab database made and seeded as a site makes it, with the particle-count technicians who can log in.
struct Fresh_Lab {
    fs::path File;
    std::vector<Login> Logins;
    explicit Fresh_Lab(const fs::path& folder) : File(folder / "lab.db") {
        const std::string seeded =
            Tool(LABDB_BIN, {"seed", "--create", "--seed", "4406", QString::fromStdString(File.string())});
        for (const nlohmann::json& j : Json_Lines(seeded))
            if (j["station"] == "PARTICLE COUNT" && !j["dismissed"].get<bool>())
                Logins.push_back({j["emp_num"].get<long long>(), j["name"], j["password"]});
    }
    // How many racks a station holds.
    int Racks_Held() const {
        auto rows = Json_Lines(Tool(LABDB_BIN, {"query", "--db", QString::fromStdString(File.string()),
                                                "select count(*) AS N from labrack.dbo.racks where CURR_USER "
                                                "is not null"}));
        if (rows.size() != 1) return -1;
        const nlohmann::json& n = rows[0]["N"];
        return n.is_string() ? std::stoi(n.get<std::string>()) : n.get<int>();
    }
    std::string Holder(const std::string& rack) const {
        auto rows =
            Json_Lines(Tool(LABDB_BIN, {"query", "--db", QString::fromStdString(File.string()),
                                        QString::fromStdString("select CURR_USER from "
                                                               "labrack.dbo.racks where RACK_DESC = '" +
                                                               rack + "'")}));
        if (rows.size() != 1) return "<no rack " + rack + ">";
        return rows[0]["CURR_USER"].is_null() ? "" : rows[0]["CURR_USER"].get<std::string>();
    }
};

// A program folder: the example settings with the counter's device and bath times of seconds.
fs::path Program_Folder(const fs::path& folder, const std::string& counter,
                        const std::string& instrument = "PC002") {
    fs::create_directories(folder);
    std::ifstream in(EXAMPLES_DIR "/settings.txt");
    std::ofstream out(folder / "settings.txt");
    std::string line;
    while (std::getline(in, line)) {
        auto key = line.substr(0, line.find(';'));
        auto rest =
            line.find(';') == std::string::npos ? std::string() : line.substr(line.find(';', key.size() + 1));
        if (key == "COMM_DEVICE") line = key + ";" + counter + rest;
        if (key == "INSTRUMENT_ID") line = key + ";" + instrument + rest;
        if (key == "SAMPLE_SHAKE_TIME") line = key + ";1" + rest;
        if (key == "SAMPLE_BATH_TIME") line = key + ";3" + rest;
        out << line << "\n";
    }
    return folder;
}

class Station {
public:
    Station(const fs::path& folder, const Fresh_Lab& lab, const Login& who, const char* script,
            const fs::path& trace = {}, QStringList env = {}) {
        QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
        e.insert("QT_QPA_PLATFORM", "offscreen");
        e.insert("PASSWORD", QString::fromStdString(who.Password));
        for (const QString& kv : env)
            e.insert(kv.section('=', 0, 0), kv.section('=', 1));
        proc_.setProcessEnvironment(e);
        QStringList args{"--folder",       QString::fromStdString(folder.string()),
                         "--lab-db",       QString::fromStdString(lab.File.string()),
                         "--touch-script", QString(E2E_SCRIPTS "/") + script};
        if (!trace.empty()) args << "--sql-trace" << QString::fromStdString(trace.string());
        proc_.start(PCSTATION_BIN, args);
    }
    ~Station() {
        if (proc_.state() != QProcess::NotRunning) {
            proc_.kill();
            proc_.waitForFinished(5000);
        }
    }
    // Waits for the next shown text of the control while the station runs.
    std::string Wait_Shown(const std::string& control, int ms) {
        const std::string head = "touch-script: " + control + " = ";
        for (QElapsedTimer t; !t.isValid() || t.elapsed() < ms;) {
            if (!t.isValid()) t.start();
            while (proc_.canReadLine()) {
                const std::string line = proc_.readLine().trimmed().toStdString();
                out_ += line + "\n";
                if (line.rfind(head, 0) == 0) return line.substr(head.size());
            }
            if (!proc_.waitForReadyRead(200) && proc_.state() == QProcess::NotRunning) break;
        }
        return "<" + control + " not shown: " + proc_.readAllStandardError().toStdString() + ">";
    }
    void Terminate() { proc_.terminate(); }
    // kill -9: the station gets no chance to give anything back.
    void Kill() {
        proc_.kill();
        proc_.waitForFinished(10000);
    }
    Station_Run Finish(int ms) {
        Station_Run r;
        if (!proc_.waitForFinished(ms)) proc_.kill(), proc_.waitForFinished(5000);
        r.Exit = proc_.exitStatus() == QProcess::NormalExit ? proc_.exitCode() : -1;
        r.Out = out_ + proc_.readAllStandardOutput().toStdString();
        r.Err = proc_.readAllStandardError().toStdString();
        return Parse_Output(std::move(r));
    }

private:
    QProcess proc_;
    std::string out_;
};

std::string Read_File(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// The counts the counter reports, channel by channel (2, 5, 15, 25, 50, 100, 200 and 400 um): each
// different, so a channel stored in the wrong column shows. No code field: the station codes them.
const std::vector<long long> Check_Counts{4446, 908, 51, 13, 0, 0, 0, 0};
const std::vector<long long> Sample_Counts{221860, 66655, 3120, 611, 204, 17, 3, 0};

std::string Report(const std::vector<long long>& c, const std::string& label) {
    std::string line = "!LPR1,00:00:28.76,BP,RP,GP,LP,8,C,2.00,5.00,15.00,25.00,50.00,100.00,100.00,100.00,";
    for (long long v : c)
        line += std::to_string(v) + ",";
    return line + "20.00,03/26/04,12:05:03,LAB.TECH,22222222," + label + ",,";
}

} // namespace

TEST(Station_End_To_End, OneSampleFromTheRackToTheLabDatabase) {
    Temp_Dir dir;
    Fresh_Lab lab(dir.Path());
    ASSERT_GE(lab.Logins.size(), 2u);
    const Login& tech = lab.Logins[1];
    const fs::path reports = dir / "reports.txt";
    std::ofstream(reports) << Report(Check_Counts, "CHECK") << "\n"
                           << Report(Sample_Counts, "SAMPLE") << "\n";
    Counter_Sim sim({"--count-time", "0.3", "--reports", QString::fromStdString(reports.string())});
    ASSERT_FALSE(sim.Path.empty()) << "counter-sim did not start";

    fs::create_directories(E2E_ARTEFACTS);
    const fs::path trace = fs::path(E2E_ARTEFACTS) / "first_sample_statements.jsonl";
    fs::remove(trace);
    std::printf("statement trace of the run: %s\n", trace.c_str());
    ::testing::Test::RecordProperty("statement_trace", trace.string());
    const fs::path folder = Program_Folder(dir / "station", sim.Path);
    Station station(folder, lab, tech, "first_sample.touch", trace);
    Station_Run run = station.Finish(100000);
    ASSERT_EQ(run.Exit, 0) << run.Err << run.Out;

    // The first outstanding rack was loaded and taken by the technician, and given back at the exit.
    const std::string rack = run.Show("Form_Rack/lbl_rackDesc");
    const std::string lab_number = run.Show("Form_Test/lbl_LabNumber_0");
    const std::string statements = Read_File(trace);
    const std::string acquire = "exec labrack.dbo.rack_acquisition_upd @rack_id = ";
    const std::string by =
        ", @emp_num = " + std::to_string(tech.Emp_Num) + ", @station = 'PARTICLE COUNT', @action = ";
    const size_t get = statements.find(by + "'GET'"), put = statements.find(by + "'PUT'");
    ASSERT_NE(get, std::string::npos) << "the rack was not taken";
    EXPECT_NE(put, std::string::npos) << "the rack was not given back";
    EXPECT_LT(get, put);
    EXPECT_NE(statements.find("exec labrack.dbo.outstanding_rackTests @rack_desc = '" + rack + "'"),
              std::string::npos);
    EXPECT_EQ(lab.Holder(rack), "");
    EXPECT_EQ(statements.find(tech.Password), std::string::npos) << "the password is in the trace";

    // The check standard passed and the sample's count was saved before the question.
    const std::string check_code = run.Show("Form_Test/lbl_Value_0_0");
    EXPECT_EQ(check_code, "15/13/8");
    const std::string sample_code = run.Show_Last("Form_Test/lbl_Value_0_0");
    EXPECT_EQ(run.Show("Form_Test/lbl_RunId_0"), lab_number);
    EXPECT_NE(run.Show("Form_AlertYesNo/lbl_message").find("Current count is [" + sample_code + "]"),
              std::string::npos)
        << run.Show("Form_AlertYesNo/lbl_message");
    const auto rows = Json_Lines(Tool(LABDB_BIN, {"results", QString::fromStdString(lab.File.string()),
                                                  "--lab-number", QString::fromStdString(lab_number)}));
    ASSERT_EQ(rows.size(), 1u) << "one saved result for " << lab_number;
    const nlohmann::json& row = rows[0];
    // The station stores six channels; the seventh column is always 0.
    const char* columns[] = {"PC2", "PC5", "PC15", "PC25", "PC50", "PC100", "PC200"};
    for (size_t i = 0; i < std::size(columns); ++i)
        EXPECT_EQ(std::stod(row[columns[i]].get<std::string>()), i < 6 ? double(Sample_Counts[i]) : 0.0)
            << columns[i];
    EXPECT_EQ(std::stod(row["SAMPLE_VOLUME"].get<std::string>()), 20.0);
    EXPECT_EQ(row["EMP_NUM"], std::to_string(tech.Emp_Num));
    EXPECT_EQ(row["STATUS"], "DONE");
    EXPECT_EQ(row["ISO_CODE"], sample_code);

    // Answered No, the slot was freed (the script waited for it); the counter left remote mode last.
    (void)QTest::qWaitFor([&] { return sim.Log().find("REMOTE-") != std::string::npos; }, 5000);
    const std::string commands = sim.Log();
    const size_t release = commands.rfind("REMOTE-");
    ASSERT_NE(release, std::string::npos) << commands;
    EXPECT_GT(release, commands.rfind("< S")) << commands;

    // The count logs of the run, coded again, give the codes the station showed.
    std::vector<std::string> recoded;
    for (const nlohmann::json& j :
         Json_Lines(Tool(PCREPORT_BIN, {QString::fromStdString((folder / "PC_Active.csv").string()),
                                        QString::fromStdString((folder / "PC_STD_Passed.csv").string())})))
        recoded.push_back(j["code_text"]);
    EXPECT_EQ(recoded, (std::vector<std::string>{check_code, sample_code, check_code}));
}

// The toolbox of the station as it ships: "Reload Settings" reads settings.txt again and "Run Check"
// opens the check-standard panel, runs the count and shows it, with no bath slot touched.
TEST(Station_End_To_End, TheToolboxReloadsTheSettingsAndRunsACheckStandard) {
    Temp_Dir dir;
    Fresh_Lab lab(dir.Path());
    ASSERT_GE(lab.Logins.size(), 2u);
    const fs::path reports = dir / "reports.txt";
    std::ofstream(reports) << Report(Check_Counts, "CHECK") << "\n";
    Counter_Sim sim({"--count-time", "0.3", "--reports", QString::fromStdString(reports.string())});
    ASSERT_FALSE(sim.Path.empty()) << "counter-sim did not start";
    const fs::path changed = dir / "settings-changed";
    const fs::path folder = Program_Folder(dir / "station", sim.Path);
    const fs::path trace = dir / "statements.jsonl";
    Station station(folder, lab, lab.Logins[1], "toolbox.touch", trace,
                    {"SETTINGS_CHANGED=" + QString::fromStdString(changed.string())});
    const std::string rack = station.Wait_Shown("Form_Rack/lbl_rackDesc", 30000);
    ASSERT_EQ(lab.Holder(rack), std::to_string(lab.Logins[1].Emp_Num)) << rack;
    // Another instrument named while the station runs: it counts only once the file is read again.
    const std::string settings = Read_File(folder / "settings.txt");
    const size_t at = settings.find("INSTRUMENT_ID;PC002;");
    ASSERT_NE(at, std::string::npos);
    std::ofstream(folder / "settings.txt")
        << settings.substr(0, at) << "INSTRUMENT_ID;PC077;"
        << settings.substr(at + std::string("INSTRUMENT_ID;PC002;").size());
    std::ofstream(changed) << "go\n";

    Station_Run run = station.Finish(60000);
    ASSERT_EQ(run.Exit, 0) << run.Err << run.Out;
    EXPECT_EQ(run.Show("form_Action/lbl_Banner"), "Run Process Control Sample");
    EXPECT_EQ(run.Show("Form_Test/lbl_Value_0_0"), "15/13/8");
    EXPECT_TRUE(QTest::qWaitFor([&] { return sim.Log().find("< S") != std::string::npos; }, 5000))
        << sim.Log();
    // A check standard: logged as one.
    EXPECT_NE(Read_File(folder / "PC_STD_Passed.csv").find(",CHECK,"), std::string::npos);
    const std::string statements = Read_File(trace);
    const std::string lab_number = run.Show("Form_Test/lbl_LabNumber_0");
    EXPECT_NE(statements.find("set_PC_Bath @sampleId = '" + lab_number), std::string::npos) << lab_number;
    EXPECT_NE(statements.find("@instrumentId = 'PC077'"), std::string::npos)
        << "the settings were not reloaded";
    EXPECT_EQ(statements.find("@instrumentId = 'PC002'"), std::string::npos);
    EXPECT_EQ(lab.Holder(rack), "");
}

// Two counters in one lab on one lab database: each station works a sample from a rack of its own to a
// saved result; the second, finding the first rack held, is told by whom and goes on to the next.
TEST(Station_End_To_End, TwoStationsEachWorkASampleFromARackOfTheirOwn) {
    Temp_Dir dir;
    Fresh_Lab lab(dir.Path());
    ASSERT_GE(lab.Logins.size(), 3u);
    const Login &first = lab.Logins[1], &second = lab.Logins[2];
    const fs::path reports = dir / "reports.txt";
    std::ofstream(reports) << Report(Check_Counts, "CHECK") << "\n"
                           << Report(Sample_Counts, "SAMPLE") << "\n";
    const QStringList counter{"--count-time", "0.3", "--reports", QString::fromStdString(reports.string())};
    Counter_Sim sim_a(counter), sim_b(counter);
    ASSERT_FALSE(sim_a.Path.empty() || sim_b.Path.empty()) << "counter-sim did not start";
    // Two counters are two instruments: each station keeps its own bath.
    const fs::path leave = dir / "leave";
    Station a(Program_Folder(dir / "a", sim_a.Path, "PC002"), lab, first, "works_a_sample.touch", {},
              {"LEAVE_FILE=" + QString::fromStdString(leave.string())});
    const std::string rack_a = a.Wait_Shown("Form_Rack/lbl_rackDesc", 60000);
    ASSERT_EQ(lab.Holder(rack_a), std::to_string(first.Emp_Num)) << rack_a;

    Station b(Program_Folder(dir / "b", sim_b.Path, "PC003"), lab, second, "second_station.touch");
    Station_Run run_b = b.Finish(120000);
    std::ofstream(leave) << "go\n";
    Station_Run run_a = a.Finish(120000);
    ASSERT_EQ(run_b.Exit, 0) << run_b.Err << run_b.Out;
    ASSERT_EQ(run_a.Exit, 0) << run_a.Err << run_a.Out;

    const std::string told = run_b.Show("Form_Alert/lbl_message");
    EXPECT_NE(told.find("Rack " + rack_a + " cannot be taken: it is in use by " + first.Name +
                        " at PARTICLE COUNT since "),
              std::string::npos)
        << told;
    const std::string rack_b = run_b.Show("Form_Rack/lbl_rackDesc");
    EXPECT_NE(told.find("The next free rack, " + rack_b + ", is taken instead."), std::string::npos) << told;
    EXPECT_NE(rack_b, rack_a);

    // Each count saved once, on its own sample, by the technician who worked it; no rack left held.
    for (const auto& [run, tech] : {std::pair{&run_a, &first}, std::pair{&run_b, &second}}) {
        const std::string lab_number = run->Show("Form_Test/lbl_LabNumber_0");
        const auto rows = Json_Lines(Tool(LABDB_BIN, {"results", QString::fromStdString(lab.File.string()),
                                                      "--lab-number", QString::fromStdString(lab_number)}));
        ASSERT_EQ(rows.size(), 1u) << "one saved result for " << lab_number;
        EXPECT_EQ(rows[0]["EMP_NUM"], std::to_string(tech->Emp_Num));
        EXPECT_EQ(std::stod(rows[0]["PC2"].get<std::string>()), double(Sample_Counts[0]));
    }
    EXPECT_NE(run_a.Show("Form_Test/lbl_LabNumber_0"), run_b.Show("Form_Test/lbl_LabNumber_0"));
    EXPECT_EQ(lab.Racks_Held(), 0);
}

// A station killed with its rack held: the rack is not stranded. Another station is told who holds it,
// since when and how it is freed, and goes on; the technician it names takes it back at the next login.
TEST(Station_End_To_End, ARackAKilledStationLeftIsTakenBackByItsTechnician) {
    Temp_Dir dir;
    Fresh_Lab lab(dir.Path());
    ASSERT_GE(lab.Logins.size(), 3u);
    const Login &first = lab.Logins[1], &second = lab.Logins[2];
    const fs::path release = dir / "release";
    const QStringList until_release{"RELEASE_FILE=" + QString::fromStdString(release.string())};
    std::string rack;
    {
        Station killed(Program_Folder(dir / "a", (dir / "no-counter").string()), lab, first,
                       "holds_rack.touch", {}, until_release);
        rack = killed.Wait_Shown("Form_Rack/lbl_rackDesc", 60000);
        ASSERT_EQ(lab.Holder(rack), std::to_string(first.Emp_Num)) << rack;
        killed.Kill();
    }
    ASSERT_EQ(lab.Holder(rack), std::to_string(first.Emp_Num)) << "kill -9 gives nothing back";

    Station other(Program_Folder(dir / "b", (dir / "no-counter").string()), lab, second, "rack_in_use.touch");
    Station_Run told = other.Finish(60000);
    ASSERT_EQ(told.Exit, 0) << told.Err << told.Out;
    const std::string alert = told.Show("Form_Alert/lbl_message");
    EXPECT_NE(alert.find("in use by " + first.Name + " at PARTICLE COUNT since "), std::string::npos)
        << alert;
    EXPECT_NE(alert.find("comes back when employee " + std::to_string(first.Emp_Num) + " logs in"),
              std::string::npos)
        << alert;
    EXPECT_NE(alert.find("labdb release-rack"), std::string::npos) << alert;
    EXPECT_NE(told.Show("Form_Rack/lbl_rackDesc"), rack);
    EXPECT_EQ(lab.Holder(rack), std::to_string(first.Emp_Num)) << "the second station took the rack";

    // The technician logs in again (at the restarted station): the rack comes back to the screen.
    Station restarted(Program_Folder(dir / "a", (dir / "no-counter").string()), lab, first,
                      "holds_rack.touch", {}, until_release);
    EXPECT_EQ(restarted.Wait_Shown("Form_Rack/lbl_rackDesc", 60000), rack);
    std::ofstream(release) << "go\n";
    Station_Run left = restarted.Finish(60000);
    EXPECT_EQ(left.Exit, 0) << left.Err;
    EXPECT_EQ(lab.Racks_Held(), 0);
}

// A technician locks the station; another logs in at it: the rack held for the first is given back by
// the first and taken by the second. The login screen's Exit then leaves as the working forms' Exit.
TEST(Station_End_To_End, ALoginAtALockedStationHandsTheRackOverAndItsExitGivesItBack) {
    Temp_Dir dir;
    Fresh_Lab lab(dir.Path());
    ASSERT_GE(lab.Logins.size(), 3u);
    const Login &first = lab.Logins[1], &second = lab.Logins[2];
    Counter_Sim sim({"--count-time", "0.3"});
    ASSERT_FALSE(sim.Path.empty()) << "counter-sim did not start";
    const fs::path checked = dir / "checked";
    QString lower_name = QString::fromStdString(second.Name).toLower();
    Station station(Program_Folder(dir / "a", sim.Path), lab, first, "locked_handover.touch", {},
                    {"SECOND_PASSWORD=" + QString::fromStdString(second.Password),
                     "SECOND_NAME=" + lower_name,
                     "CHECKED_FILE=" + QString::fromStdString(checked.string())});
    const std::string rack = station.Wait_Shown("Form_Rack/lbl_rackDesc", 60000);
    ASSERT_EQ(station.Wait_Shown("Form_Header/lbl_UserDesc", 60000), lower_name.toStdString());
    EXPECT_EQ(station.Wait_Shown("Form_Rack/lbl_rackDesc", 10000), rack);
    EXPECT_EQ(lab.Holder(rack), std::to_string(second.Emp_Num));
    std::ofstream(checked) << "go\n";
    Station_Run run = station.Finish(60000);
    EXPECT_EQ(run.Exit, 0) << run.Err << run.Out;
    EXPECT_EQ(lab.Racks_Held(), 0);
    EXPECT_TRUE(QTest::qWaitFor([&] { return sim.Log().find("REMOTE-") != std::string::npos; }, 5000))
        << sim.Log();
}

// Stopped from outside (a service manager, Ctrl-C in the run command), the station leaves as from its
// Exit: the rack is given back and the counter leaves remote mode.
TEST(Station_End_To_End, AStopSignalLeavesAsTheExitDoes) {
    Temp_Dir dir;
    Fresh_Lab lab(dir.Path());
    ASSERT_GE(lab.Logins.size(), 2u);
    Counter_Sim sim({"--count-time", "0.3"});
    ASSERT_FALSE(sim.Path.empty()) << "counter-sim did not start";
    Station station(Program_Folder(dir / "a", sim.Path), lab, lab.Logins[1], "holds_rack.touch", {},
                    {"RELEASE_FILE=" + QString::fromStdString((dir / "never").string())});
    const std::string rack = station.Wait_Shown("Form_Rack/lbl_rackDesc", 30000);
    ASSERT_EQ(lab.Holder(rack), std::to_string(lab.Logins[1].Emp_Num)) << rack;
    station.Terminate();
    Station_Run run = station.Finish(30000);
    EXPECT_EQ(run.Exit, 0) << run.Err;
    EXPECT_EQ(lab.Holder(rack), "");
    EXPECT_TRUE(QTest::qWaitFor([&] { return sim.Log().find("REMOTE-") != std::string::npos; }, 5000))
        << sim.Log();
}

// A second stop signal ends the station at once, even while its orderly exit waits on a lab database
// another program holds locked (the wait alone could last 100 s).
TEST(Station_End_To_End, ASecondStopSignalEndsTheStationWhileItWaitsOnALockedLabDatabase) {
    Temp_Dir dir;
    Fresh_Lab lab(dir.Path());
    ASSERT_GE(lab.Logins.size(), 2u);
    Station station(Program_Folder(dir / "a", (dir / "no-counter").string()), lab, lab.Logins[1],
                    "holds_rack.touch", {},
                    {"RELEASE_FILE=" + QString::fromStdString((dir / "never").string())});
    const std::string rack = station.Wait_Shown("Form_Rack/lbl_rackDesc", 60000);
    ASSERT_FALSE(rack.empty());
    QProcess locker;
    locker.start("sqlite3", {QString::fromStdString((dir / "lab.labrack.db").string())});
    ASSERT_TRUE(locker.waitForStarted(10000));
    locker.write("BEGIN EXCLUSIVE;\nSELECT count(*) FROM racks;\n");
    QTest::qWait(1000);
    station.Terminate(); // the orderly exit gives the rack back: it waits for the lock
    QTest::qWait(1500);
    QElapsedTimer since_second;
    since_second.start();
    station.Terminate();
    Station_Run run = station.Finish(15000);
    EXPECT_LT(since_second.elapsed(), 5000) << run.Err;
    EXPECT_NE(run.Exit, 0) << "ended by the signal, not by its exit";
    locker.write("ROLLBACK;\n.quit\n");
    locker.closeWriteChannel();
    locker.waitForFinished(10000);
}

// KIOSK;1 in settings.txt: the station fills the screen without a pointer, and the touch script's
// pictures show each screen whole, the size of the screen; its own Exit still ends it.
TEST(Station_End_To_End, AKioskStationIsPicturedWholeAndLeavesByItsExit) {
    Temp_Dir dir;
    Fresh_Lab lab(dir.Path());
    ASSERT_GE(lab.Logins.size(), 2u);
    Counter_Sim sim({"--count-time", "0.3"});
    const fs::path folder = Program_Folder(dir / "a", sim.Path), pictures = dir / "pictures";
    std::ofstream(folder / "settings.txt", std::ios::app) << "KIOSK;1;the bench's only program\n";
    fs::create_directories(pictures);
    Station station(folder, lab, lab.Logins[1], "kiosk_pictures.touch", {},
                    {"PICTURES=" + QString::fromStdString(pictures.string())});
    Station_Run run = station.Finish(60000);
    EXPECT_EQ(run.Exit, 0) << run.Err;
    for (const char* name : {"login.png", "working.png"}) {
        QImage picture(QString::fromStdString((pictures / name).string()));
        ASSERT_FALSE(picture.isNull()) << name;
        // The offscreen screen's default size; the login screen fills it, the working forms stand on it.
        EXPECT_EQ(picture.size(), QSize(800, 800)) << name;
        EXPECT_NE(picture.pixelColor(400, 400), QColor(Qt::black)) << name;
    }
}

// A script that cannot go on says which step and what it saw, with an exit code of its own; one that
// is not a script is refused before any window opens.
TEST(Station_End_To_End, AStepNotMetInTimeEndsTheStationNamingTheStep) {
    Temp_Dir dir;
    std::ofstream(dir / "stuck.touch") << "timeout 0.5\n"
                                          "wait cmd_Login\n"
                                          "wait cmd_Login = \"Log in later\"\n";
    std::ofstream(dir / "bad.touch") << "touch cmd_Login\nswipe left\n";
    auto run = [&](const char* script) {
        QProcess p;
        QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
        e.insert("QT_QPA_PLATFORM", "offscreen");
        p.setProcessEnvironment(e);
        p.start(PCSTATION_BIN, {"--folder", QString::fromStdString(dir.Path().string()), "--touch-script",
                                QString::fromStdString((dir / script).string())});
        EXPECT_TRUE(p.waitForFinished(30000));
        return std::make_pair(p.exitCode(), p.readAllStandardError().toStdString());
    };
    const auto [stuck, why] = run("stuck.touch");
    EXPECT_EQ(stuck, 5) << why;
    EXPECT_NE(why.find("line 3 (wait cmd_Login = Log in later): cmd_Login shows \"Login\""),
              std::string::npos)
        << why;
    const auto [bad, refused] = run("bad.touch");
    EXPECT_EQ(bad, 2);
    EXPECT_NE(refused.find("line 2: unknown step 'swipe'"), std::string::npos) << refused;
}

// Damage found at start is named to the technician, and the station leaves without writing a byte.
TEST(Station_End_To_End, ADamagedLabDatabaseIsNamedAndNothingIsWrittenIntoIt) {
    Temp_Dir dir;
    Fresh_Lab lab(dir.Path());
    ASSERT_FALSE(lab.Logins.empty());
    ASSERT_TRUE(pcs::test::Damage_Last_Pages(lab.File));
    const std::string before = Read_File(lab.File);
    Station station(Program_Folder(dir / "station", (dir / "no-counter").string()), lab, lab.Logins[0],
                    "damaged_lab.touch");
    Station_Run run = station.Finish(60000);
    EXPECT_EQ(run.Exit, 6) << run.Err;
    const std::string told = run.Show("Form_Alert/lbl_message");
    EXPECT_NE(told.find("lab.db"), std::string::npos) << told;
    EXPECT_NE(told.find("will not write"), std::string::npos) << told;
    EXPECT_EQ((told + run.Err).find("EMBEDDED="), std::string::npos) << told << run.Err;
    EXPECT_TRUE(Read_File(lab.File) == before);
}

namespace {

// A check standard cleaner than any sample's history (10/8/7), so no flush comes between the runs.
const std::vector<long long> Clean_Check_Counts{200, 60, 20, 5, 0, 0, 0, 0};
// A count that must reach no sample: every channel ends in 1 and 0.
const std::vector<long long> Stray_Counts{111110, 33310, 1110, 210, 10, 0, 0, 0};

std::vector<nlohmann::json> Results_Of(const Fresh_Lab& lab, const std::string& lab_number) {
    return Json_Lines(Tool(LABDB_BIN, {"results", QString::fromStdString(lab.File.string()), "--lab-number",
                                       QString::fromStdString(lab_number)}));
}

double Pc2(const nlohmann::json& row) {
    return std::stod(row["PC2"].get<std::string>());
}

using Planned_Report = std::pair<std::vector<long long>, const char*>; // counts and the counter's label

// counter-sim's arguments for the reports given, in order, written into the folder.
QStringList Sim_Arguments(const fs::path& folder, const std::vector<Planned_Report>& reports,
                          const QString& count_time, const QStringList& more) {
    const fs::path file = folder / "reports.txt";
    std::ofstream out(file);
    for (const auto& [counts, label] : reports)
        out << Report(counts, label) << "\n";
    return QStringList{"--count-time", count_time, "--reports", QString::fromStdString(file.string())} + more;
}

// A fresh lab, a counter that plays the reports given, and a station's program folder on both; the
// station keeps reports no panel started in Offline.
struct Counting_Lab {
    Temp_Dir Dir;
    Fresh_Lab Lab{Dir.Path()};
    Counter_Sim Sim;
    fs::path Folder = Program_Folder(Dir / "station", Sim.Path);
    fs::path Offline = Folder / "PC_Offline.csv";
    Counting_Lab(const std::vector<Planned_Report>& reports, const QString& count_time,
                 const QStringList& more = {})
        : Sim(Sim_Arguments(Dir.Path(), reports, count_time, more)) {}
    // The counter is up and the lab has the technicians the tests log in as.
    testing::AssertionResult Ready() const {
        if (Sim.Path.empty()) return testing::AssertionFailure() << "counter-sim did not start";
        if (Lab.Logins.size() < 2) return testing::AssertionFailure() << "the lab has too few logins";
        return testing::AssertionSuccess();
    }
    // OFFLINE_LOG and NEVER (a file no one writes) for the touch scripts.
    QStringList Environment() const {
        return {"OFFLINE_LOG=" + QString::fromStdString(Offline.string()),
                "NEVER=" + QString::fromStdString((Dir / "never").string())};
    }
};

} // namespace

// "Remove from bath" mid-count with the next sample's panel opened at once. The counter here goes on
// counting after its stop, so the abandoned count's report does come, to the next sample's panel
// before its own start: it is kept in the offline log and saved for no sample; the next sample's own
// count is the one saved.
TEST(Station_End_To_End, AnAbandonedCountReachesNoSampleAndTheNextSavesItsOwn) {
    Counting_Lab c({{Clean_Check_Counts, "CHECK"}, {Stray_Counts, "SAMPLE"}, {Sample_Counts, "SAMPLE"}},
                   "1.5", {"--fault", "ignore-stop"});
    ASSERT_TRUE(c.Ready());
    Fresh_Lab& lab = c.Lab;
    Counter_Sim& sim = c.Sim;
    const fs::path &folder = c.Folder, &offline = c.Offline;
    Station station(folder, lab, lab.Logins[1], "abandoned_count.touch", {}, c.Environment());
    Station_Run run = station.Finish(100000);
    ASSERT_EQ(run.Exit, 0) << run.Err << run.Out;

    const std::string abandoned = run.Show("Form_Test/lbl_LabNumber_0");
    const std::string next = run.Show("Form_Test/lbl_LabNumber_1");
    EXPECT_NE(run.Show("form_Action/lbl_LabNumber").find(next), std::string::npos);
    EXPECT_TRUE(Results_Of(lab, abandoned).empty()) << "the abandoned sample has a result";
    const auto saved = Results_Of(lab, next);
    ASSERT_EQ(saved.size(), 1u);
    EXPECT_EQ(Pc2(saved[0]), double(Sample_Counts[0])) << "the next sample saved another count";
    EXPECT_NE(Read_File(offline).find(",111110,"), std::string::npos) << Read_File(offline);
    EXPECT_EQ(Read_File(folder / "PC_Active.csv").find(",111110,"), std::string::npos);
    // The panel left mid-count stopped it, and the next one stopped whatever still ran before its own.
    const std::string commands = sim.Log();
    const size_t first_start = commands.find("< S\n", commands.find("< S\n") + 1);
    ASSERT_NE(first_start, std::string::npos) << commands;
    EXPECT_NE(commands.find("< H", first_start), std::string::npos) << commands;
}

// The station killed (kill -9) one moment into a sample's count and started again: the bath comes back
// from the lab database, the dead count's report (this counter goes on after a stop) is taken by no
// panel, neither the check standard waiting for its start nor the sample, and the sample is saved once,
// with its own count.
TEST(Station_End_To_End, KilledMidCountTheDeadCountIsTakenByNoPanel) {
    // Six seconds a count: long enough for the station to start again before the dead count ends.
    Counting_Lab c({{Clean_Check_Counts, "CHECK"},
                    {Stray_Counts, "SAMPLE"},
                    {Clean_Check_Counts, "CHECK"},
                    {Sample_Counts, "SAMPLE"}},
                   "6", {"--fault", "ignore-stop"});
    ASSERT_TRUE(c.Ready());
    Fresh_Lab& lab = c.Lab;
    Counter_Sim& sim = c.Sim;
    const fs::path &folder = c.Folder, &offline = c.Offline;
    const QStringList env = c.Environment();
    std::string lab_number;
    {
        Station dying(folder, lab, lab.Logins[1], "killed_mid_count.touch", {}, env);
        lab_number = dying.Wait_Shown("Form_Test/lbl_LabNumber_0", 30000);
        const std::string panel = dying.Wait_Shown("form_Action/lbl_LabNumber", 60000);
        ASSERT_NE(panel.find(lab_number), std::string::npos) << panel;
        ASSERT_TRUE(QTest::qWaitFor([&] { return sim.Log().rfind("< S") > sim.Log().find("< S"); }, 5000));
    } // killed
    Station again(folder, lab, lab.Logins[1], "after_the_kill.touch", {}, env);
    Station_Run run = again.Finish(100000);
    ASSERT_EQ(run.Exit, 0) << run.Err << run.Out;
    EXPECT_EQ(run.Show("Form_Test/lbl_LabNumber_0"), lab_number) << "the bath did not come back";

    const auto saved = Results_Of(lab, lab_number);
    ASSERT_EQ(saved.size(), 1u) << "saved " << saved.size() << " times";
    EXPECT_EQ(Pc2(saved[0]), double(Sample_Counts[0]));
    EXPECT_NE(Read_File(offline).find(",111110,"), std::string::npos);
    const std::string passed = Read_File(folder / "PC_STD_Passed.csv");
    EXPECT_EQ(passed.find(",111110,"), std::string::npos) << passed;
    EXPECT_EQ(passed.find("SAMPLE"), std::string::npos) << passed;
}

// The station killed (kill -9) with the rerun question up, its count saved: started again, the sample
// is back in the bath, its count is saved and logged once (nothing is sent again at the restart), and
// the rack the dead station held comes back to its technician and is given back at the Exit.
TEST(Station_End_To_End, KilledAtTheRerunQuestionTheSavedCountStaysOnce) {
    Counting_Lab c({{Clean_Check_Counts, "CHECK"}, {Sample_Counts, "SAMPLE"}}, "0.3");
    ASSERT_TRUE(c.Ready());
    Fresh_Lab& lab = c.Lab;
    const fs::path& folder = c.Folder;
    const QStringList env = c.Environment();
    std::string lab_number, rack;
    {
        Station dying(folder, lab, lab.Logins[1], "killed_at_question.touch", {}, env);
        lab_number = dying.Wait_Shown("Form_Test/lbl_LabNumber_0", 30000);
        rack = dying.Wait_Shown("Form_AlertYesNo/lbl_message", 60000);
        ASSERT_EQ(Results_Of(lab, lab_number).size(), 1u) << "saved before the question";
        dying.Kill();
    }
    Station again(folder, lab, lab.Logins[1], "back_after_the_kill.touch", {}, env);
    Station_Run run = again.Finish(60000);
    ASSERT_EQ(run.Exit, 0) << run.Err << run.Out;
    EXPECT_EQ(run.Show("Form_Test/lbl_LabNumber_0"), lab_number) << "the bath did not come back";
    EXPECT_NE(rack.find(run.Show("Form_Rack/lbl_rackDesc")), std::string::npos)
        << "the rack is not the dead one's";

    const auto saved = Results_Of(lab, lab_number);
    ASSERT_EQ(saved.size(), 1u) << "saved " << saved.size() << " times";
    EXPECT_EQ(Pc2(saved[0]), double(Sample_Counts[0]));
    const std::string logged = Read_File(folder / "PC_Active.csv");
    const std::string count = "," + std::to_string(Sample_Counts[0]) + ",";
    const size_t first = logged.find(count);
    ASSERT_NE(first, std::string::npos) << logged;
    EXPECT_EQ(logged.find(count, first + 1), std::string::npos) << "logged twice:\n" << logged;
    EXPECT_EQ(lab.Racks_Held(), 0);
}

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
