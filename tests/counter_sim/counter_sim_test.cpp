#include "counter_sim.h"

#include "common/text.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include <filesystem>
#include <fstream>

using namespace pcs::sim;

TEST(SimCleanliness, ParsesThreeFallingCodes) {
    Cleanliness c = Parse_Cleanliness("18/16/13");
    EXPECT_EQ(c.Code_4, 18);
    EXPECT_EQ(c.Code_6, 16);
    EXPECT_EQ(c.Code_14, 13);
    for (const char* bad : {"", "18/16", "18/16/13/9", "16/18/13", "18/16/x", "30/20/10", "18//13"})
        EXPECT_THROW(Parse_Cleanliness(bad), std::invalid_argument) << bad;
}

TEST(SimCleanliness, Iso4406ScaleBounds) {
    EXPECT_EQ(Iso4406_Code(0), 0);
    EXPECT_EQ(Iso4406_Code(2.55), 9); // the counter codes 51 particles in 20 mL as 9
    EXPECT_EQ(Iso4406_Code(45.4), 13);
    EXPECT_EQ(Iso4406_Code(1300), 17);
    EXPECT_EQ(Iso4406_Code(1300.5), 18);
    EXPECT_EQ(Iso4406_Code(1e9), 28);
}

TEST(SimCounts, FallFromChannelToChannelAndMatchTheCleanliness) {
    std::mt19937_64 rng(42);
    for (Cleanliness c :
         {Cleanliness{17, 15, 12}, Cleanliness{21, 19, 16}, Cleanliness{14, 14, 14}, Check_Standard_Pass}) {
        for (int i = 0; i < 50; ++i) {
            Channel_Counts n = Draw_Counts(c, 20, rng);
            for (size_t ch = 1; ch < n.size(); ++ch)
                EXPECT_LE(n[ch], n[ch - 1]);
            EXPECT_EQ(n[6], 0);
            EXPECT_EQ(n[7], 0);
            EXPECT_NEAR(Iso4406_Code(n[0] / 20.0), c.Code_4, 1);
            EXPECT_NEAR(Iso4406_Code(n[1] / 20.0), c.Code_6, 1);
        }
    }
}

TEST(SimCounts, CheckStandardsStayWithinOrBeyondTheDefaultLimits) {
    std::mt19937_64 rng(1);
    for (int i = 0; i < 50; ++i) {
        // A check standard carries three numbers, read against the limits 18/15/13 in turn.
        Channel_Counts pass = Draw_Counts(Check_Standard_Pass, 20, rng);
        EXPECT_LE(Iso4406_Code(pass[0] / 20.0), 18);
        EXPECT_LE(Iso4406_Code(pass[1] / 20.0), 15);
        EXPECT_LE(Iso4406_Code(pass[2] / 20.0), 13);
        Channel_Counts fail = Draw_Counts(Check_Standard_Fail, 20, rng);
        EXPECT_GT(Iso4406_Code(fail[0] / 20.0), 18);
    }
}

TEST(SimReport, FieldLayoutOfTheCounter) {
    Report_Options o;
    o.Count_Seconds = 28.76;
    o.Run_Label = "CHECK";
    Channel_Counts n{4446, 908, 51, 13, 0, 0, 0, 0};
    std::string line = Format_Report(n, o, 0);
    std::vector<std::string> f = pcs::Split(line, ',');
    ASSERT_EQ(f.size(), 33u);
    EXPECT_EQ(f[0], "!LPR1");
    EXPECT_EQ(f[1], "00:00:28.76");
    EXPECT_EQ(f[8], "2.00");
    EXPECT_EQ(f[15], "100.00");
    EXPECT_EQ(f[16], "4446");
    EXPECT_EQ(f[18], "51");
    EXPECT_EQ(f[24], "20.00");
    EXPECT_EQ(f[25].size(), 8u); // MM/DD/YY
    EXPECT_EQ(f[27], "LAB.TECH");
    EXPECT_EQ(f[29], "CHECK");
    EXPECT_EQ(f[31], "ISO Code: 13/9");
    EXPECT_EQ(f[32], "");
    o.Code = Code_Format::Three;
    EXPECT_EQ(pcs::Split(Format_Report(n, o, 0), ',')[31], "ISO Code: 15/13/9");
    o.Code = Code_Format::None;
    EXPECT_EQ(pcs::Split(Format_Report(n, o, 0), ',').size(), 32u);
}

TEST(SimReport, FileLinesAreTakenInTurn) {
    auto path = std::filesystem::temp_directory_path() / ("pcs_sim_reports_" + std::to_string(::getpid()));
    std::ofstream(path) << "!LPR1,a,\r\n\n!LPR1,b,\n";
    Report_Source src(path.string(), Report_Options{});
    EXPECT_EQ(src.Next(0), "!LPR1,a,");
    EXPECT_EQ(src.Next(0), "!LPR1,b,");
    EXPECT_EQ(src.Next(0), "!LPR1,a,");
    std::ofstream(path) << "\n\n";
    EXPECT_THROW(Report_Source(path.string(), Report_Options{}), std::runtime_error);
    std::filesystem::remove(path);
}

TEST(SimCommands, CaseInsensitiveWithAcknowledgements) {
    EXPECT_EQ(Acknowledgement(Normalise_Command(" remote+ ")), "!REMOTE+\r");
    EXPECT_EQ(Acknowledgement(Normalise_Command("Remote-")), "!REMOTE-\r");
    EXPECT_EQ(Acknowledgement(Normalise_Command("s")), "!S\r");
    EXPECT_EQ(Acknowledgement(Normalise_Command("h")), "!H\r");
    EXPECT_EQ(Acknowledgement(Normalise_Command("start")), "");
}

// On a serial device whose other end hangs up, the simulator ends instead of spinning on the dead line.
TEST(SimDevice, EndsWhenTheLineIsHungUp) {
    int master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC); // only the simulator holds the line
    ASSERT_GE(master, 0);
    ASSERT_EQ(grantpt(master), 0);
    ASSERT_EQ(unlockpt(master), 0);
    std::string device = ptsname(master);
    int out[2];
    ASSERT_EQ(::pipe2(out, O_CLOEXEC), 0);
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_adddup2(&fa, out[1], 1);
    posix_spawn_file_actions_addopen(&fa, 2, "/dev/null", O_WRONLY, 0);
    std::vector<std::string> args{COUNTER_SIM_PATH, "--device", device};
    std::vector<char*> argv;
    for (auto& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    ASSERT_EQ(posix_spawn(&pid, COUNTER_SIM_PATH, &fa, nullptr, argv.data(), environ), 0);
    posix_spawn_file_actions_destroy(&fa);
    ::close(out[1]);

    // Up once it has printed the device; then it answers on the line.
    auto read_within = [](int fd, int ms, const std::string& until) {
        std::string got;
        auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        while (got.find(until) == std::string::npos && std::chrono::steady_clock::now() < end) {
            pollfd p{fd, POLLIN, 0};
            char buf[256];
            if (::poll(&p, 1, 50) > 0) {
                ssize_t n = ::read(fd, buf, sizeof buf);
                if (n <= 0) break;
                got.append(buf, static_cast<size_t>(n));
            }
        }
        return got;
    };
    EXPECT_NE(read_within(out[0], 10000, "\n").find(device), std::string::npos);
    ::close(out[0]);
    ASSERT_EQ(::write(master, "remote+\r", 8), 8);
    EXPECT_NE(read_within(master, 5000, "!REMOTE+\r").find("!REMOTE+\r"), std::string::npos);
    ::close(master);

    int status = 0;
    pid_t done = 0;
    for (int i = 0; i < 100 && done == 0; ++i) {
        done = ::waitpid(pid, &status, WNOHANG);
        if (done == 0) std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    if (done == 0) {
        ::kill(pid, SIGKILL);
        ::waitpid(pid, &status, 0);
    }
    EXPECT_EQ(done, pid) << "counter-sim kept running on a hung-up line";
}
