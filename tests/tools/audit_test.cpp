// pcreport audit as a supervisor uses it: logs written by the station's own logging code, the page
// rendered by a real browser (headless Chromium) and read back from its DOM; damaged and huge logs.
#include "common/text.h"
#include "common/text_file.h"
#include "counter/count_report.h"
#include "counter/count_validation.h"
#include "counter/report_processing.h"
#include "support/fake_ports.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <fstream>
#include <random>
#include <regex>
#include <set>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace pcs;
namespace fs = std::filesystem;

namespace {

struct Run_Result {
    int Status = -1;
    bool Timed_Out = false;
    long Max_Rss_Kb = 0;
    double Seconds = 0;
    std::string Err;
};

// Runs a program in a process group of its own, standard output to a file; kills the whole group when
// it ends or when the time is up, so nothing it started (a browser's helpers) is left running.
Run_Result Run_Program(const std::vector<std::string>& args, const fs::path& out, int timeout_s) {
    const fs::path err = out.string() + ".err";
    auto started = std::chrono::steady_clock::now();
    pid_t pid = ::fork();
    if (pid == 0) {
        ::setpgid(0, 0);
        int o = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        int e = ::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ::dup2(o, 1);
        ::dup2(e, 2);
        std::vector<char*> argv;
        for (const auto& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    ::setpgid(pid, pid);
    Run_Result r;
    int status = 0;
    rusage use{};
    for (;;) {
        pid_t done = ::wait4(pid, &status, WNOHANG, &use);
        if (done == pid) break;
        if (std::chrono::steady_clock::now() - started > std::chrono::seconds(timeout_s)) {
            r.Timed_Out = true;
            ::kill(-pid, SIGKILL);
            ::wait4(pid, &status, 0, &use);
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ::kill(-pid, SIGKILL); // whatever the program left behind in its group
    r.Seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    r.Status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    r.Max_Rss_Kb = use.ru_maxrss;
    r.Err = Read_File(err);
    return r;
}

Run_Result Audit(const fs::path& folder, const fs::path& page, std::vector<std::string> more = {}) {
    std::vector<std::string> args{PCREPORT_BIN, "audit", folder.string(), "-o", page.string()};
    args.insert(args.end(), more.begin(), more.end());
    return Run_Program(args, page.string() + ".out", 120);
}

// The counter's text as the action panel hands it over, with its own code of three numbers.
std::string Report(const std::string& date, const std::string& time, const std::string& code) {
    auto v = Split(code, '/');
    auto count = [&](size_t i) { // a count per mL inside the code's range, in 20 mL
        long c = std::stol(v[i]);
        return std::to_string(std::lround(Iso_Code_Upper_Bound[static_cast<size_t>(c)] * 0.75 * 20));
    };
    return "!S\r!LPR1,00:00:28.76,BP,RP,GP,LP,8,C,2.00,5.00,15.00,25.00,50.00,100.00,100.00,100.00," +
           count(0) + "," + count(1) + "," + count(2) + ",13,0,0,0,0,20.00," + date + "," + time +
           ",LAB.TECH,22222222,SAMPLE,,ISO Code: " + code + ",\r";
}

// A station's logs written by the station's own logging: Begin_Processing and the check-standard log.
struct Station_Logs {
    fs::path Dir;
    Globals G;
    test::Recording_Alerts Alerts;
    Count_Logs Logs{Dir, Alerts};
    Validation_Limits Limits;
    long Line = 1; // the new log's empty first line
    std::vector<long> Failed_Check_Lines;
    int Checks = 0;

    explicit Station_Logs(fs::path dir) : Dir(std::move(dir)) {}
    void Count(const std::string& run_id, const std::string& date, const std::string& time,
               const std::string& code) {
        const pcs::Run run = pcs::Run::From_Id(run_id);
        Report_Parse p = Begin_Processing(Report(date, time, code), run, G, Logs, Alerts);
        ++Line;
        if (run_id == "CHECK" && !p.Report.Invalid) {
            bool passed =
                Validate_Codes(Run_Kind::Check, p.Report.Code_2, p.Report.Code_5, p.Report.Code_15, Limits);
            Logs.Log_Check_Standard(passed, p.Log_Line);
            ++Checks;
            if (!passed) Failed_Check_Lines.push_back(Line);
        }
    }
    void Damage(const std::string& bytes) {
        std::ofstream(Dir / Active_Log_Name, std::ios::binary | std::ios::app) << bytes << "\r\n";
        ++Line;
    }
};

std::vector<std::string> All(const std::string& text, const std::string& re, size_t group = 1) {
    std::vector<std::string> out;
    std::regex r(re);
    for (auto it = std::sregex_iterator(text.begin(), text.end(), r); it != std::sregex_iterator(); ++it)
        out.push_back((*it)[group].str());
    return out;
}

std::string Element(const std::string& dom, const std::string& id, const std::string& tag) {
    size_t at = dom.find("id=\"" + id + "\"");
    if (at == std::string::npos) return "";
    return dom.substr(at, dom.find("</" + tag + ">", at) - at);
}

} // namespace

TEST(Audit, PageInABrowserShowsWhatTheLogsHold) {
    test::Temp_Dir dir;
    std::ofstream(dir / "settings.txt")
        << "Station settings\nISO2_CHECK;17;x\nISO5_CHECK;15;x\nISO15_CHECK;12;x\n"
        << "ISO2_FLUSH;18;x\nISO5_FLUSH;15;x\nISO15_FLUSH;13;x\n";
    Station_Logs s(dir.Path());
    s.Limits.ISO2_CHECK = 17, s.Limits.ISO15_CHECK = 12;
    const std::string d1 = "12/07/26", d2 = "12/08/26";
    s.Count("CHECK", d1, "08:00:00", "16/14/11");
    s.Count("FLUSH", d1, "08:05:00", "15/13/10");
    s.Count("26000001", d1, "08:10:00", "17/15/12");
    s.Count("26000002", d1, "08:20:00", "19/17/14");
    s.Count("26000002", d1, "08:30:00", "19/17/13"); // the technician's Yes
    s.Count("26000003", d1, "08:40:00", "2/1/0");    // invalid, counted again at once
    s.Count("26000003", d1, "08:41:00", "15/13/10");
    s.Count("CHECK", d1, "09:00:00", "18/15/12"); // 18 > 17: failed
    s.Count("CHECK", d1, "09:02:00", "17/15/12");
    s.Count("FLUSH", d1, "09:10:00", "19/16/14"); // failed
    s.Count("FLUSH", d1, "09:12:00", "16/14/11");
    s.Count("26000004", d1, "10:10:00", "14/12/9");
    static constexpr char garbage[] = "\x01\x02\xff\xfe garbage \x00 from the line";
    s.Damage(std::string(garbage, sizeof garbage - 1)); // the NUL inside is part of the damage
    const long binary_line = s.Line;
    s.Damage("!LPR1,00:00:28.76,BP,RP");
    const long short_line = s.Line;
    s.Count("CHECK", d2, "07:30:00", "16/15/12");
    s.Count("26000005", d2, "07:40:00", "20/18/15");
    s.Count("26000006", d2, "08:40:00", "16/14/11");
    s.Count("CHECK", d2, "09:00:00", "17/16/12"); // 16 > 15: failed
    s.Count("CHECK", d2, "09:05:00", "16/14/11");
    ASSERT_EQ(s.Failed_Check_Lines.size(), 2u);

    const fs::path page = dir / "audit.html";
    Run_Result r = Audit(dir.Path(), page);
    EXPECT_EQ(r.Status, 1) << "two damaged lines: " << r.Err;
    EXPECT_NE(r.Err.find("2 lines"), std::string::npos) << r.Err;
    const std::string html = Read_File(page);
    EXPECT_EQ(html.find("http"), std::string::npos) << "the page fetches nothing";
    EXPECT_EQ(html.find("<script"), std::string::npos);

    // The browser, as root without a sandbox, a fresh profile, nothing fetched; it is killed after.
    const fs::path profile = dir / "profile";
    fs::create_directories(profile);
    std::vector<std::string> chromium{"/usr/bin/chromium",
                                      "--headless",
                                      "--no-sandbox",
                                      "--disable-gpu",
                                      "--disable-quic",
                                      "--no-first-run",
                                      "--disable-background-networking",
                                      "--disable-component-update",
                                      "--disable-sync",
                                      "--disable-crash-reporter",
                                      "--user-data-dir=" + profile.string()};
    ASSERT_TRUE(fs::exists(chromium[0])) << "scripts/setup installs chromium";
    auto dump = chromium;
    dump.insert(dump.end(), {"--dump-dom", "file://" + page.string()});
    Run_Result b = Run_Program(dump, dir / "dom.html", 90);
    ASSERT_FALSE(b.Timed_Out) << b.Err;
    ASSERT_EQ(b.Status, 0) << b.Err;
    const std::string dom = Read_File(dir / "dom.html");
    ASSERT_NE(dom.find("Particle counter audit"), std::string::npos) << dom.substr(0, 500);

    // One point per check standard on each line, the failed ones marked at their log lines.
    const std::string chart = Element(dom, "check-codes", "svg");
    auto lines = All(chart, "<polyline class=\"series[^>]*points=\"([^\"]*)\"");
    ASSERT_EQ(lines.size(), 3u);
    for (const auto& points : lines)
        EXPECT_EQ(Split(points, ' ').size(), static_cast<size_t>(s.Checks));
    std::vector<long> marked;
    for (const auto& l : All(chart, "<g class=\"failed\" data-line=\"(\\d+)\""))
        marked.push_back(std::stol(l));
    EXPECT_EQ(marked, s.Failed_Check_Lines);
    EXPECT_EQ(All(Element(dom, "check-table", "table"), "<tr class=\"failed\"").size(), 2u);
    // The limits drawn are those of settings.txt.
    EXPECT_EQ(All(chart, "class=\"limit s(\\d+)\" data-size=\"\\d+\" data-limit=\"(\\d+)\"", 2),
              (std::vector<std::string>{"17", "15", "12"}));

    // The shift table: per day and in all.
    auto row = [&](const std::string& day) {
        size_t at = dom.find("data-day=\"" + day + "\"");
        return at == std::string::npos ? std::string() : dom.substr(at, dom.find('>', at) - at);
    };
    auto attr = [](const std::string& r, const std::string& name) {
        auto v = All(r, " data-" + name + "=\"(\\d+)\"");
        return v.empty() ? -1L : std::stol(v[0]);
    };
    const std::string day1 = row("2026-12-07"), all = row("All days");
    EXPECT_EQ(attr(day1, "samples"), 5);
    EXPECT_EQ(attr(day1, "reruns"), 1);
    EXPECT_EQ(attr(day1, "invalid"), 1);
    EXPECT_EQ(attr(day1, "checks"), 3);
    EXPECT_EQ(attr(day1, "checks-failed"), 1);
    EXPECT_EQ(attr(day1, "flushes"), 3);
    EXPECT_EQ(attr(day1, "flushes-failed"), 1);
    EXPECT_EQ(attr(row("2026-12-08"), "samples"), 2);
    EXPECT_EQ(attr(all, "counts"), 17);
    EXPECT_EQ(attr(all, "checks"), 6);
    EXPECT_EQ(attr(all, "checks-failed"), 2);
    // The dirtiest sample first, by its lab number; the damaged lines listed by number.
    EXPECT_NE(Element(dom, "dirtiest", "table").find("<td class=\"t\">26000005</td>"), std::string::npos);
    const std::string bad = Element(dom, "unreadable-table", "table");
    EXPECT_NE(bad.find("<td>" + std::to_string(binary_line) + "</td>"), std::string::npos) << bad;
    EXPECT_NE(bad.find("<td>" + std::to_string(short_line) + "</td><td class=\"t\">too few fields"),
              std::string::npos)
        << bad;

    // The picture a supervisor sees, kept with the build.
    const fs::path png = fs::path(PCS_BUILD_DIR) / "audit" / "audit_page.png";
    fs::create_directories(png.parent_path());
    fs::remove(png);
    auto shot = chromium;
    shot.insert(shot.end(), {"--screenshot=" + png.string(), "--window-size=1280,3400", "--hide-scrollbars",
                             "file://" + page.string()});
    Run_Result p = Run_Program(shot, dir / "shot.out", 90);
    EXPECT_EQ(p.Status, 0) << p.Err;
    EXPECT_GT(fs::exists(png) ? fs::file_size(png) : 0, 20000u);
}

TEST(Audit, BadInputGivesAMessageOrAPageNeverACrash) {
    test::Temp_Dir dir;
    const fs::path page = dir / "page.html";
    // No folder, and a folder without logs: a message and no page.
    Run_Result none = Audit(dir / "nowhere", page);
    EXPECT_EQ(none.Status, 2);
    EXPECT_NE(none.Err.find("is not a folder"), std::string::npos) << none.Err;
    fs::create_directories(dir / "empty");
    Run_Result empty = Audit(dir / "empty", page);
    EXPECT_EQ(empty.Status, 2);
    EXPECT_NE(empty.Err.find("holds no count log PC_Active.csv"), std::string::npos) << empty.Err;
    Run_Result dates = Audit(dir / "empty", page, {"--from", "2026-13-01"});
    EXPECT_EQ(dates.Status, 2);

    // A log of binary garbage with one good row in it, and a row with too few fields: each bad line is
    // listed once, the good row counted once.
    fs::create_directories(dir / "garbage");
    const std::string good =
        "\r!LPR1,00:00:28.76,BP,RP,GP,LP,8,C,2.00,5.00,15.00,25.00,50.00,100.00,100.00,100.00,4446,908,51,13,"
        "0,0,0,"
        "0,20.00,03/26/26,12:05:03,LAB.TECH,22222222,SAMPLE,26000001,ISO Code: 15/13/8\r,";
    {
        std::mt19937 rng(7);
        std::string noise(4000, '\0');
        for (char& c : noise)
            c = static_cast<char>(rng() % 256);
        std::ofstream(dir / "garbage" / Active_Log_Name, std::ios::binary) << noise << "\n"
                                                                           << good << "\r\n"
                                                                           << "!LPR1,00:00:28.76,BP,RP\r\n";
    }
    Run_Result g = Audit(dir / "garbage", page);
    EXPECT_EQ(g.Status, 1);
    std::string html = Read_File(page);
    auto total = All(html, "data-total=\"(\\d+)\"");
    ASSERT_EQ(total.size(), 1u);
    EXPECT_GE(std::stol(total[0]), 2);
    EXPECT_NE(html.find("too few fields (4"), std::string::npos);
    EXPECT_NE(html.find("data-day=\"All days\" data-counts=\"1\" data-samples=\"1\""), std::string::npos);

    // A check-standard log row that the active log does not hold is listed, not counted; rows written
    // without the station's run are told apart only as far as the check-standard logs go.
    fs::create_directories(dir / "old");
    std::string unstamped = good;
    unstamped.replace(unstamped.find("26000001"), 8, "");
    std::string other_check = unstamped;
    other_check.replace(other_check.find("12:05:03"), 8, "12:09:00");
    std::ofstream(dir / "old" / Active_Log_Name, std::ios::binary) << "\r\n"
                                                                   << unstamped << "\r\n"
                                                                   << good << "\r\n";
    std::ofstream(dir / "old" / Error_Log_Name, std::ios::binary) << "\r\n"
                                                                  << unstamped << "\r\n"
                                                                  << other_check << "\r\n";
    Run_Result o = Audit(dir / "old", page);
    EXPECT_EQ(o.Status, 1);
    html = Read_File(page);
    EXPECT_NE(html.find("data-counts=\"2\" data-samples=\"1\" data-reruns=\"0\" data-checks=\"1\" "
                        "data-checks-failed=\"1\""),
              std::string::npos);
    EXPECT_NE(html.find("<td>3</td><td class=\"t\">a check standard that is not in PC_Active.csv"),
              std::string::npos);
    EXPECT_NE(html.find("limits drawn are the station's defaults"), std::string::npos);

    // A log of 200 MB: a 100 MB line without an end, then good rows between lines too long to be rows.
    // The tool holds neither; its memory stays far below the log's size.
    fs::create_directories(dir / "huge");
    {
        std::ofstream out(dir / "huge" / Active_Log_Name, std::ios::binary);
        std::string mb(1 << 20, '\x9c');
        for (int i = 0; i < 100; ++i)
            out << mb;
        out << "\n";
        std::string block = good + "\r\n" + std::string(100 * 1024, 'x') + "\n";
        for (size_t written = 100u << 20; written < 200u << 20; written += block.size())
            out << block;
    }
    ASSERT_GE(fs::file_size(dir / "huge" / Active_Log_Name), 200u << 20);
    Run_Result h = Audit(dir / "huge", page);
    EXPECT_EQ(h.Status, 1) << h.Err;
    EXPECT_LT(h.Max_Rss_Kb, 80 * 1024) << "the tool held the log";
    EXPECT_LT(fs::file_size(page), 512u * 1024);
    html = Read_File(page);
    EXPECT_NE(html.find("longer than 65536 bytes"), std::string::npos);
    std::printf("audit of a 200 MB log: %.2f s, %ld kB at most, page %zu bytes\n", h.Seconds, h.Max_Rss_Kb,
                static_cast<size_t>(fs::file_size(page)));
}
