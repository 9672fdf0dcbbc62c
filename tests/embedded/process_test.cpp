// Several station processes on one embedded lab database: rack hand-out races and processes killed in
// the middle of a write.

#include "embedded_fixture.h"

#include <chrono>
#include <csignal>
#include <poll.h>
#include <sys/wait.h>
#include <thread>

using namespace pcs;
using namespace pcs::test;

namespace {

// A child process running one function; its answer comes back through a pipe.
struct Child {
    pid_t Pid = -1;
    int Go = -1;     // parent writes here to start the child
    int Answer = -1; // parent reads the child's answer here
};

template <class F> Child Start_Child(F body) {
    int go[2], answer[2];
    if (::pipe(go) != 0 || ::pipe(answer) != 0) throw std::runtime_error("pipe");
    pid_t pid = ::fork();
    if (pid == 0) {
        ::close(go[1]);
        ::close(answer[0]);
        char c;
        if (::read(go[0], &c, 1) != 1) ::_exit(3);
        std::string out;
        try {
            out = body();
        } catch (const std::exception& e) {
            out = std::string("exception: ") + e.what();
        }
        (void)!::write(answer[1], out.data(), out.size());
        ::_exit(0);
    }
    ::close(go[0]);
    ::close(answer[1]);
    return Child{pid, go[1], answer[0]};
}

std::string Read_Answer(Child& c, int timeout_ms = 30000) {
    std::string out;
    char buf[256];
    pollfd p{c.Answer, POLLIN, 0};
    while (::poll(&p, 1, timeout_ms) > 0) {
        ssize_t n = ::read(c.Answer, buf, sizeof buf);
        if (n <= 0) break;
        out.append(buf, static_cast<size_t>(n));
    }
    ::close(c.Answer);
    ::close(c.Go);
    int status = 0;
    ::waitpid(c.Pid, &status, 0);
    return out;
}

// What a station process does: a database layer of its own on the file.
std::string Station_Call(const fs::path& lab_file, const std::string& sql, const std::string& column) {
    Globals g;
    g.Connect_String = embedded::Embedded_Connect_String(lab_file);
    embedded::Embedded_Backend backend;
    Recording_Alerts alerts;
    db::Database database(g, backend, alerts);
    db::Record_Set rs = database.Open_Recordset(sql);
    if (!rs.Is_Open()) return "not open";
    if (rs.Eof()) return "no row";
    return rs.Text_Or(column, "NULL");
}

class Processes : public Embedded_Test {};

} // namespace

TEST_F(Processes, TwoStationsRacingForOneRackGetExactlyOneHandOut) {
    for (int rack = 1; rack <= 8; ++rack) {
        std::vector<Child> children;
        for (int emp : {101, 102})
            children.push_back(Start_Child([&, emp] {
                return Station_Call(
                    Lab_File,
                    "exec labrack.dbo.rack_acquisition_upd @rack_id = " + std::to_string(rack) +
                        ", @emp_num = " + std::to_string(emp) + ", @station = 'PARTICLE COUNT " +
                        std::to_string(emp) + "', @action = 'GET'",
                    "ERROR");
            }));
        for (auto& c : children)
            (void)!::write(c.Go, "g", 1); // both at once
        std::vector<std::string> answers;
        for (auto& c : children)
            answers.push_back(Read_Answer(c));
        std::sort(answers.begin(), answers.end());
        EXPECT_EQ(answers, (std::vector<std::string>{"0", "1"})) << "rack " << rack;
        std::string holder =
            One("select CURR_USER from labrack.dbo.racks where rack_id = " + std::to_string(rack));
        EXPECT_TRUE(holder == "101" || holder == "102") << holder;
    }
}

TEST_F(Processes, AStationKilledInTheMiddleOfSavingLeavesEveryTestWhole) {
    std::vector<std::string> samples;
    for (auto& r :
         Rows("select s.LAB_NUMBER from lab.dbo.samples s join lab.dbo.lab_tracking t on t.LAB_ID = "
              "s.LAB_ID where t.TEST_GROUP = 'PrtCount' and t.STATUS = 'READY'"))
        samples.push_back(*r.begin()->second);
    ASSERT_GT(samples.size(), 100u);

    for (int round = 0; round < 4; ++round) {
        Child c = Start_Child([&] {
            Globals g;
            g.Connect_String = embedded::Embedded_Connect_String(Lab_File);
            embedded::Embedded_Backend backend;
            Recording_Alerts alerts;
            db::Database database(g, backend, alerts);
            // Save, ask for a redo, take off, again and again until killed.
            for (int i = 0;; ++i) {
                const std::string& s = samples[static_cast<size_t>(i) % samples.size()];
                database.Execute_SQL(
                    "exec Lab.dbo.import_PC002 @labnumber = '" + s +
                    "', @instrumentid = 'PC002', @filename = 'USER_INTERFACE', @labcode = "
                    "'VOLMAR', @method = 'ISO4406', @sampleVolume = '20', @factorVolume = 1, "
                    "@pc2m = '4446', @pc5m = '908', @pc15m = '51', @pc25m = '13', @pc50m = '0', "
                    "@pc100m = '0', @pc200m = '0', @empnum = 101, @test = 'N' ");
                database.Execute_SQL(
                    "exec Lab.dbo.labtrack_inserttest  @labnumber = '" + s +
                    "', @labcode = 'VOLMAR', @testgrp = 'PrtCount', @class = 'REDO', @comments = "
                    "'again',@return_status = 'Y'");
            }
            return std::string();
        });
        (void)!::write(c.Go, "g", 1);
        std::this_thread::sleep_for(std::chrono::milliseconds(60 + 45 * round));
        ::kill(c.Pid, SIGKILL);
        Read_Answer(c, 5000);

        EXPECT_EQ(Backend.Check_Damage(Globals_.Connect_String),
                  std::nullopt); // statement texts may no longer run a PRAGMA
        // A run is DONE exactly when its result is stored; every sample has at most one outstanding run.
        EXPECT_EQ(
            One("select count(*) from lab.dbo.lab_tracking t left join lab.dbo.testgroup_pc r on r.LAB_ID = "
                "t.LAB_ID and r.RUN_NO = t.RUN_NO where t.TEST_GROUP = 'PrtCount' and t.TEST_ACTION is null "
                "and ((t.STATUS in ('DONE', 'PENDING')) <> (r.LAB_ID is not null))"),
            "0");
        EXPECT_EQ(
            One("select count(*) from (select LAB_ID from lab.dbo.lab_tracking where TEST_GROUP = 'PrtCount' "
                "and STATUS = 'READY' group by LAB_ID having count(*) > 1)"),
            "0");
    }
    EXPECT_GT(std::stoi(One("select count(*) from lab.dbo.testgroup_pc where FILENAME = 'USER_INTERFACE'")),
              0);
}

TEST_F(Processes, ALongUpdateKilledHalfWayChangesNothing) {
    embedded::Lab_Admin(Lab_File).Build_Benchmark_Data(1000, 20);
    std::string total = One("select count(*) from lab.dbo.samples");
    for (int round = 0; round < 3; ++round) {
        Child c = Start_Child([&] {
            return Station_Call(
                Lab_File,
                "update lab.dbo.samples set CUSTOMER = 'KILLED " + std::to_string(round) +
                    "', DESIRED_WEIGHT = (select count(*) from lab.dbo.lab_tracking t where t.LAB_ID "
                    "= samples.LAB_ID)",
                "x");
        });
        (void)!::write(c.Go, "g", 1);
        std::this_thread::sleep_for(std::chrono::milliseconds(15 + 20 * round));
        ::kill(c.Pid, SIGKILL);
        Read_Answer(c, 5000);
        std::string changed = One("select count(*) from lab.dbo.samples where CUSTOMER = 'KILLED " +
                                  std::to_string(round) + "'");
        EXPECT_TRUE(changed == "0" || changed == total) << changed << " of " << total;
        EXPECT_EQ(Backend.Check_Damage(Globals_.Connect_String),
                  std::nullopt); // statement texts may no longer run a PRAGMA
    }
}
