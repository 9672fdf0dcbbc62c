// What the tools do when their output cannot be written, and what of the file system they may touch.
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

struct Shell_Run {
    int Status = -1;
    std::string Err;
};

// Standard output goes to a full disk; standard error is kept.
Shell_Run To_Full_Disk(const std::string& cmd) {
    Shell_Run r;
    FILE* p = ::popen(("timeout 30 " + cmd + " 2>&1 >/dev/full").c_str(), "r");
    if (!p) return r;
    std::array<char, 1024> buf;
    size_t n;
    while ((n = fread(buf.data(), 1, buf.size(), p)) > 0)
        r.Err.append(buf.data(), n);
    int st = ::pclose(p);
    r.Status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    return r;
}

int Status_Of(const std::string& cmd) {
    int st = std::system((cmd + " >/dev/null 2>&1").c_str());
    return WIFEXITED(st) ? WEXITSTATUS(st) : -1;
}

std::string Read(const fs::path& p) {
    std::ifstream in(p);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

} // namespace

TEST(ToolOutput, EveryToolFailsWithAMessageWhenItsOutputCannotBeWritten) {
    pcs::test::Temp_Dir dir;
    std::string db = (dir.Path() / "lab.db").string();
    ASSERT_EQ(Status_Of(std::string(LABDB_BIN) + " create " + db), 0);
    for (const std::string& cmd : {std::string(PCREPORT_BIN) + " " EXAMPLES_DIR "/reports.txt",
                                   std::string(LABDB_BIN) + " query --db " + db + " 'select 1 as a'",
                                   std::string(COUNTER_SIM_BIN) + " --count-time 0"}) {
        Shell_Run r = To_Full_Disk(cmd);
        EXPECT_NE(r.Status, 0) << cmd;
        EXPECT_NE(r.Err.find("cannot write the output"), std::string::npos) << cmd << ": " << r.Err;
    }
}

// --link replaces only a link a simulator made (one to a pseudo-terminal) and removes only its own.
TEST(ToolOutput, CounterSimLinksNeverReplaceSomeoneElsesFile) {
    pcs::test::Temp_Dir dir;
    fs::path file = dir.Path() / "settings.txt", other = dir.Path() / "other", stale = dir.Path() / "counter";
    std::ofstream(file) << "keep";
    fs::create_symlink(file, other);
    fs::create_symlink("/dev/pts/4242", stale);
    for (const fs::path& p : {file, other})
        EXPECT_EQ(Status_Of(std::string(COUNTER_SIM_BIN) + " --link " + p.string()), 1) << p;
    EXPECT_EQ(Read(file), "keep");
    EXPECT_EQ(fs::read_symlink(other), file);

    int out[2];
    ASSERT_EQ(::pipe2(out, O_CLOEXEC), 0);
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_adddup2(&fa, out[1], 1);
    std::string bin = COUNTER_SIM_BIN, opt = "--link", link = stale.string();
    char* argv[] = {bin.data(), opt.data(), link.data(), nullptr};
    pid_t pid = 0;
    ASSERT_EQ(posix_spawn(&pid, bin.c_str(), &fa, nullptr, argv, environ), 0);
    posix_spawn_file_actions_destroy(&fa);
    ::close(out[1]);
    std::string printed;
    char c;
    pollfd p{out[0], POLLIN, 0};
    while (printed.find('\n') == std::string::npos && ::poll(&p, 1, 10000) > 0 && ::read(out[0], &c, 1) == 1)
        printed += c;
    ::close(out[0]);
    ASSERT_FALSE(printed.empty());
    EXPECT_EQ(fs::read_symlink(stale).string() + "\n", printed);
    ::kill(pid, SIGTERM);
    int st = 0;
    ::waitpid(pid, &st, 0);
    EXPECT_FALSE(fs::exists(fs::symlink_status(stale)));
}
