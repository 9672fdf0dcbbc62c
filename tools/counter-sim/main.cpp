// counter-sim: a particle counter on a pseudo-terminal (or a serial device) that answers the station's
// commands the way the real instrument does, with fault modes for testing the link.
#include "counter_sim.h"

#include "pcs_version.h"

#include <CLI/CLI.hpp>

#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <deque>
#include <filesystem>
#include <iostream>
#include <optional>
#include <set>

using namespace pcs::sim;
using Steady = std::chrono::steady_clock;

namespace {

volatile sig_atomic_t stop_requested = 0;
void On_Signal(int) {
    stop_requested = 1;
}

// One character at 9600 baud: start bit, 8 data bits, stop bit.
constexpr auto Char_Time = std::chrono::nanoseconds(1'000'000'000LL * 10 / 9600);

bool Make_Raw(int fd) {
    termios t{};
    if (tcgetattr(fd, &t) != 0) return false;
    cfmakeraw(&t);
    cfsetispeed(&t, B9600);
    cfsetospeed(&t, B9600);
    t.c_cflag |= CLOCAL | CREAD;
    t.c_cflag &= ~(PARENB | CSTOPB | CSIZE);
    t.c_cflag |= CS8;
    return tcsetattr(fd, TCSANOW, &t) == 0;
}

// Where a symbolic link points; "" when the path is not one.
std::string Link_Target(const std::string& link) {
    char buf[4096];
    ssize_t n = ::readlink(link.c_str(), buf, sizeof buf);
    return n > 0 ? std::string(buf, static_cast<size_t>(n)) : std::string();
}

// Makes link point to target. Only a link a simulator made is replaced: one to a pseudo-terminal
// (left by an earlier run; their numbers are reused) or to the same target. Anything else of that name
// belongs to someone else. The reason when refused.
std::optional<std::string> Make_Link(const std::string& link, const std::string& target) {
    struct stat st {};
    if (::lstat(link.c_str(), &st) != 0) {
        if (errno != ENOENT) return std::string(std::strerror(errno));
        if (::symlink(target.c_str(), link.c_str()) != 0) return std::string(std::strerror(errno));
        return std::nullopt;
    }
    if (!S_ISLNK(st.st_mode)) return std::string("it exists and is not a link");
    std::string old = Link_Target(link);
    if (old.rfind("/dev/pts/", 0) != 0 && old != target)
        return "it is a link to " + old + ", which the simulator did not make";
    // A new link beside it, renamed over the old one: the name never points nowhere.
    std::string aside = link + ".counter-sim." + std::to_string(::getpid());
    if (::symlink(target.c_str(), aside.c_str()) != 0) return std::string(std::strerror(errno));
    if (::rename(aside.c_str(), link.c_str()) != 0) {
        int e = errno;
        ::unlink(aside.c_str());
        return std::string(std::strerror(e));
    }
    return std::nullopt;
}

struct Options {
    std::string Device, Link, Iso = "17/15/12", Check, Reports, Code = "two";
    double Count_Time = 5, Volume = 20;
    uint64_t Seed = 0;
    std::vector<std::string> Faults;
    int Fault_Count = 0;
    bool Pace = false, Timestamps = false, Verbose = false;
    std::string Label, Sample_Id = "22222222";
};

class Simulator {
public:
    Simulator(int fd, Report_Source source, const Options& o) : fd_(fd), source_(std::move(source)), o_(o) {
        for (const auto& f : o.Faults)
            faults_.insert(f);
        pace_ = o.Pace || faults_.count("paced");
        faults_left_ = o.Fault_Count;
        rng_.seed(o.Seed ^ 0x5eed);
    }

    int Run() {
        std::string line;
        char buf[256];
        while (!stop_requested) {
            auto now = Steady::now();
            if (report_due_ && now >= *report_due_) {
                report_due_.reset();
                Send_Report();
            }
            if (!Flush_Output(now)) return 1;
            if (hangup_due_ && now >= *hangup_due_) return 0;

            pollfd p{fd_, POLLIN, 0};
            if (!out_.empty()) p.events |= POLLOUT;
            timespec ts{0, 200'000'000};
            auto wake = Next_Wake();
            if (wake) {
                auto d = std::max<Steady::duration>(*wake - Steady::now(), Steady::duration::zero());
                auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(d).count();
                ts = {static_cast<time_t>(ns / 1'000'000'000), static_cast<long>(ns % 1'000'000'000)};
            }
            if (pace_ && !out_.empty()) p.events &= ~POLLOUT; // paced output is driven by the clock
            int r = ppoll(&p, 1, &ts, nullptr);
            if (r < 0) {
                if (errno == EINTR) continue;
                std::perror("counter-sim: poll");
                return 1;
            }
            if (r > 0 && (p.revents & POLLIN)) {
                ssize_t n = ::read(fd_, buf, sizeof buf);
                if (n < 0 && errno != EAGAIN && errno != EINTR) {
                    std::perror("counter-sim: read");
                    return 1;
                }
                if (n == 0) {
                    // A hung-up terminal reads as end of file for good: the line is gone.
                    std::fprintf(stderr, "counter-sim: the line was hung up\n");
                    return 1;
                }
                for (ssize_t i = 0; i < n; ++i) {
                    char c = buf[i];
                    if (c == '\r' || c == '\n') {
                        if (!line.empty()) Command(Normalise_Command(line));
                        line.clear();
                    } else if (line.size() < 1024) {
                        line += c;
                    }
                }
            } else if (r > 0 && (p.revents & (POLLHUP | POLLERR)) && !(p.revents & POLLIN)) {
                // Nobody on the other end of a device: wait instead of spinning.
                ::usleep(20000);
            }
        }
        return 0;
    }

private:
    bool Fault(const char* name) const {
        return faults_.count(name) && (o_.Fault_Count == 0 || faults_left_ > 0);
    }

    void Command(const std::string& cmd) {
        if (o_.Verbose) std::cerr << "counter-sim: < " << cmd << "\n";
        if (Fault("silence")) {
            if (cmd == "S" && faults_left_ > 0) --faults_left_;
            return;
        }
        std::string ack = Acknowledgement(cmd);
        if (ack.empty()) return; // the counter ignores what it does not know
        Queue(ack);
        if (cmd == "S") {
            report_due_ = Steady::now() + std::chrono::duration_cast<Steady::duration>(
                                              std::chrono::duration<double>(std::max(0.0, o_.Count_Time)));
        } else if (cmd == "H" && !Fault("ignore-stop")) {
            report_due_.reset();
        }
    }

    void Send_Report() {
        std::string report;
        bool faulty = true, drop = false;
        if (Fault("garbage")) {
            // Noise in place of a report; the reports to come are not disturbed.
            std::uniform_int_distribution<int> byte(0, 255);
            while (report.size() < 140) {
                char c = static_cast<char>(byte(rng_));
                if (c != '\r' && c != '\n') report += c;
            }
            report += "\r";
        } else {
            report = source_.Next(std::time(nullptr));
            if (Fault("drop")) {
                report = report.substr(0, report.size() / 2);
                drop = true;
            } else if (!Fault("no-line-end")) {
                report += "\r";
                faulty = false;
            }
        }
        if (faulty && faults_left_ > 0) --faults_left_;
        if (!Queue(report)) return;
        report_ends_.push_back(queued_);
        if (drop) hangup_at_ = queued_;
    }

    // Like the counter's own transmit buffer, what nobody takes off the line does not pile up without
    // end: beyond Out_Limit new text is lost. False when it was.
    bool Queue(const std::string& s) {
        if (out_.size() + s.size() > Out_Limit) return false;
        out_.insert(out_.end(), s.begin(), s.end());
        queued_ += s.size();
        return true;
    }
    static constexpr size_t Out_Limit = 64 * 1024;

    std::optional<Steady::time_point> Next_Wake() const {
        std::optional<Steady::time_point> w = report_due_;
        if (hangup_due_ && (!w || *hangup_due_ < *w)) w = hangup_due_;
        if (pace_ && !out_.empty() && (!w || next_char_ < *w)) w = next_char_;
        return w;
    }

    // Writes what the clock allows; false on a write error other than a full buffer.
    bool Flush_Output(Steady::time_point now) {
        while (!out_.empty()) {
            size_t n = out_.size();
            if (pace_) {
                if (now < next_char_) return true;
                n = 1;
            }
            std::string chunk(out_.begin(), out_.begin() + static_cast<std::ptrdiff_t>(n));
            // The time a report's last byte was sent is taken as the write starts: once write returns the
            // reader may already have acted on it, and a time taken after would come out later than that.
            auto writing = Steady::now();
            ssize_t w = ::write(fd_, chunk.data(), chunk.size());
            if (w < 0) {
                // Nobody reads yet (a full buffer, no reader on a pty): try again a character later
                // rather than at once, which would spin while paced.
                if (pace_ && (errno == EAGAIN || errno == EIO)) next_char_ = now + Char_Time;
                if (errno == EAGAIN || errno == EINTR) return true;
                if (errno == EIO) return true;
                std::perror("counter-sim: write");
                return false;
            }
            out_.erase(out_.begin(), out_.begin() + w);
            written_ += static_cast<size_t>(w);
            if (pace_) next_char_ = std::max(next_char_ + Char_Time, now + Char_Time / 2);
            while (!report_ends_.empty() && written_ >= report_ends_.front()) {
                report_ends_.pop_front();
                if (o_.Timestamps) {
                    auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(writing.time_since_epoch())
                                  .count();
                    std::printf("sent %lld\n", static_cast<long long>(ns));
                    std::fflush(stdout);
                }
            }
            if (hangup_at_ && written_ >= *hangup_at_) {
                // The line is dropped in the middle of the report, once the half sent has had time to
                // reach the other end (a hang-up discards what the terminal has not delivered).
                hangup_at_.reset();
                hangup_due_ = now + std::chrono::milliseconds(300);
                return true;
            }
            if (pace_) return true;
        }
        return true;
    }

    int fd_;
    Report_Source source_;
    const Options& o_;
    std::set<std::string> faults_;
    bool pace_ = false;
    int faults_left_ = 0;
    std::mt19937_64 rng_;
    std::deque<char> out_;
    size_t queued_ = 0, written_ = 0;
    std::deque<size_t> report_ends_;
    std::optional<size_t> hangup_at_;
    std::optional<Steady::time_point> hangup_due_;
    std::optional<Steady::time_point> report_due_;
    Steady::time_point next_char_{};
};

} // namespace

int main(int argc, char** argv) try {
    CLI::App app{"Particle counter simulator: answers REMOTE+, REMOTE-, S and H on a pseudo-terminal or a "
                 "serial device and sends one report line per count."};
    Options o;
    app.set_version_flag("--version", "counter-sim " PCS_VERSION);
    app.add_option("--device", o.Device, "Open this serial device instead of creating a pseudo-terminal");
    app.add_option("--link", o.Link, "Make a symbolic link with this name to the pseudo-terminal");
    app.add_option("--count-time", o.Count_Time, "Seconds from S to the report")
        ->check(CLI::Range(0.0, 86400.0));
    app.add_option("--iso", o.Iso, "Cleanliness of the drawn counts, ISO 4406 codes 4/6/14 um(c)");
    app.add_option("--check", o.Check, "Check-standard fluid that passes or fails the default check limits")
        ->check(CLI::IsMember({"pass", "fail"}));
    app.add_option("--reports", o.Reports, "Take report lines in turn from this file instead of drawing them")
        ->check(CLI::ExistingFile);
    CLI::Option* code_option =
        app.add_option("--code", o.Code,
                       "The counter's own ISO code field: two numbers, three, or none (default two; three "
                       "with --check)")
            ->check(CLI::IsMember({"two", "three", "none"}));
    app.add_option("--volume", o.Volume, "Analysed volume in mL")->check(CLI::Range(0.1, 10000.0));
    app.add_option("--label", o.Label, "Run label field of the report (default SAMPLE, CHECK with --check)");
    app.add_option("--sample-id", o.Sample_Id, "Sample identifier field of the report");
    app.add_option("--seed", o.Seed, "Seed of the drawn counts (0: a fresh one each start)");
    app.add_option("--fault", o.Faults,
                   "Fault mode, may be repeated: no-line-end, garbage, silence, drop, paced, ignore-stop "
                   "(H is acknowledged but the count goes on to its report)")
        ->check(CLI::IsMember({"no-line-end", "garbage", "silence", "drop", "paced", "ignore-stop"}));
    app.add_option("--fault-count", o.Fault_Count, "Faults apply to this many counts only (0: all)")
        ->check(CLI::NonNegativeNumber);
    app.add_flag("--pace", o.Pace, "Send characters at the 9600-baud rate (about 1.04 ms each)");
    app.add_flag("--timestamps", o.Timestamps,
                 "Print \"sent <ns>\" (monotonic clock) after each report's last byte");
    app.add_flag("-v,--verbose", o.Verbose, "Log the commands received on standard error");
    CLI11_PARSE(app, argc, argv);

    Cleanliness clean;
    try {
        clean = o.Check == "pass"   ? Check_Standard_Pass
                : o.Check == "fail" ? Check_Standard_Fail
                                    : Parse_Cleanliness(o.Iso);
    } catch (const std::exception& e) {
        std::cerr << "counter-sim: --iso: " << e.what() << "\n";
        return 2;
    }
    Report_Options ro;
    ro.Volume_ml = o.Volume;
    ro.Count_Seconds = o.Count_Time;
    ro.Sample_Id = o.Sample_Id;
    ro.Run_Label = !o.Label.empty() ? o.Label : (o.Check.empty() ? "SAMPLE" : "CHECK");
    ro.Code = o.Code == "three"  ? Code_Format::Three
              : o.Code == "none" ? Code_Format::None
                                 : Code_Format::Two;
    // With two numbers the station's third code stays empty, and a check standard that is not all
    // numbers passes whatever it counted: only three numbers let --check fail fail.
    if (!o.Check.empty() && code_option->count() == 0) ro.Code = Code_Format::Three;
    uint64_t seed = o.Seed ? o.Seed : static_cast<uint64_t>(Steady::now().time_since_epoch().count());

    std::optional<Report_Source> source;
    try {
        source = o.Reports.empty() ? Report_Source(clean, ro, seed) : Report_Source(o.Reports, ro);
    } catch (const std::exception& e) {
        std::cerr << "counter-sim: " << e.what() << "\n";
        return 2;
    }

    struct sigaction sa {};
    sa.sa_handler = On_Signal;
    sigaction(SIGTERM, &sa, nullptr);
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGHUP, &sa, nullptr);
    signal(SIGPIPE, SIG_IGN);

    int fd = -1, slave = -1;
    std::string path;
    if (!o.Device.empty()) {
        fd = ::open(o.Device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (fd < 0 || !Make_Raw(fd)) {
            std::cerr << "counter-sim: cannot open " << o.Device << ": " << std::strerror(errno) << "\n";
            return 1;
        }
        path = o.Device;
    } else {
        fd = posix_openpt(O_RDWR | O_NOCTTY);
        if (fd < 0 || grantpt(fd) != 0 || unlockpt(fd) != 0 || !ptsname(fd)) {
            std::cerr << "counter-sim: cannot create a pseudo-terminal: " << std::strerror(errno) << "\n";
            return 1;
        }
        path = ptsname(fd);
        // Holding the terminal side open keeps the line up between the station's opens, and makes it
        // raw so that CR reaches the station as CR.
        slave = ::open(path.c_str(), O_RDWR | O_NOCTTY);
        if (slave < 0 || !Make_Raw(slave)) {
            std::cerr << "counter-sim: cannot set up " << path << ": " << std::strerror(errno) << "\n";
            return 1;
        }
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    }
    if (!o.Link.empty()) {
        if (auto refused = Make_Link(o.Link, path)) {
            std::cerr << "counter-sim: cannot link " << o.Link << ": " << *refused << "\n";
            return 1;
        }
    }
    int rc = 0;
    if (std::printf("%s\n", path.c_str()) < 0 || std::fflush(stdout) != 0) {
        std::cerr << "counter-sim: cannot write the output: " << std::strerror(errno) << "\n";
        rc = 1;
    } else {
        Simulator sim(fd, std::move(*source), o);
        rc = sim.Run();
        if (std::ferror(stdout)) {
            std::cerr << "counter-sim: cannot write the output\n";
            rc = 1;
        }
    }

    if (slave >= 0) ::close(slave);
    ::close(fd);
    // Only a link that still points where this run pointed it: another simulator may have taken it over.
    if (!o.Link.empty() && Link_Target(o.Link) == path) ::unlink(o.Link.c_str());
    return rc;
} catch (const std::exception& e) {
    std::cerr << "counter-sim: " << e.what() << "\n";
    return 1;
} catch (...) {
    std::cerr << "counter-sim: an unexpected error\n";
    return 1;
}
