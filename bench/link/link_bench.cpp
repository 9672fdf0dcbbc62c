// How long after counter-sim has written the last byte of a report the link says "COUNT", compared
// with the time the report takes on the wire at 9600 baud (10 bits a character). Goal: below 1/100.
#include "counter/counter_link.h"
#include "qt_serial_port.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QProcess>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

using namespace pcs;
using Steady = std::chrono::steady_clock;

namespace {

struct Silent_Alerts : Alert_Port {
    int Shown = 0;
    void Alert(const std::string&) override { ++Shown; }
    int Ask_Yes_No(const std::string&, bool, int) override { return Answer_No; }
};

// The link as the panel runs it: the modal panel's event loop ends when the report has arrived.
struct Rig : Counter_Link_Events {
    QProcess sim;
    std::string link_path;
    std::unique_ptr<Qt_Serial_Port> port;
    Silent_Alerts alerts;
    std::unique_ptr<Counter_Link> link;
    QEventLoop* loop = nullptr;
    Steady::time_point counted{};
    bool ok = false;

    explicit Rig(bool paced) {
        link_path = (std::filesystem::temp_directory_path() /
                     ("pcs_bench_counter_" + std::to_string(::getpid()) + (paced ? "_paced" : "")))
                        .string();
        QStringList args{
            "--count-time", "0", "--timestamps", "--seed", "1", "--link", QString::fromStdString(link_path)};
        if (paced) args << "--pace";
        sim.start(COUNTER_SIM_PATH, args);
        if (!sim.waitForStarted(10000) || !Wait_Line(10000)) return;
        sim.readLine();
        port = std::make_unique<Qt_Serial_Port>(link_path);
        link = std::make_unique<Counter_Link>(*port, alerts);
        link->Events = this;
        link->Start(1);
        ok = port->Is_Open() && alerts.Shown == 0;
    }
    ~Rig() {
        link.reset();
        port.reset();
        sim.terminate();
        if (!sim.waitForFinished(5000)) sim.kill();
    }
    bool Wait_Line(int ms) {
        return sim.canReadLine() || (sim.waitForReadyRead(ms) && sim.canReadLine()) || sim.canReadLine();
    }

    void On_Report_Received() override {
        counted = Steady::now();
        if (loop) loop->quit();
    }

    // One count: start, wait for "COUNT", then the simulator's time of the report's last byte.
    // Returns the delay in seconds and the report's length, or a negative delay on failure.
    std::pair<double, size_t> Count() {
        QEventLoop l;
        loop = &l;
        counted = {};
        QTimer::singleShot(10000, &l, &QEventLoop::quit);
        link->Counter_Command("START");
        l.exec();
        loop = nullptr;
        if (counted == Steady::time_point{}) return {-1, 0};
        QByteArray line;
        while (!line.startsWith("sent ")) {
            if (!Wait_Line(5000)) return {-1, 0};
            line = sim.readLine().trimmed();
        }
        long long sent_ns = line.mid(5).toLongLong();
        double delay = (counted.time_since_epoch().count() - sent_ns) * 1e-9;
        size_t report = link->Bffr.size() - 3; // without the "!S" acknowledgement and its CR
        return {delay, report};
    }
};

void Report_To_Count(benchmark::State& state, bool paced) {
    Rig rig(paced);
    if (!rig.ok) {
        state.SkipWithError("counter-sim did not come up");
        return;
    }
    double ratio_sum = 0, worst = 0;
    int n = 0;
    for (auto _ : state) {
        auto [delay, length] = rig.Count();
        if (delay < 0) {
            state.SkipWithError("no report");
            return;
        }
        state.SetIterationTime(delay);
        double wire = length * 10.0 / 9600.0;
        double ratio = delay / wire;
        ratio_sum += ratio;
        worst = std::max(worst, ratio);
        ++n;
    }
    double mean = n ? ratio_sum / n : 0;
    state.counters["ratio"] = mean;
    state.counters["worst_ratio"] = worst;
    std::printf(
        "%s: delay after the last byte / transfer time at 9600 baud = %.5f (1/%.0f), worst %.5f, %d counts\n",
        paced ? "paced" : "burst", mean, mean > 0 ? 1 / mean : 0.0, worst, n);
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    bool smoke = false;
    for (int i = 1; i < argc; ++i)
        if (std::string(argv[i]) == "--smoke") smoke = true;
    benchmark::RegisterBenchmark("report_to_count/burst", Report_To_Count, false)
        ->UseManualTime()
        ->Unit(benchmark::kMicrosecond)
        ->Iterations(smoke ? 3 : 200);
    if (!smoke)
        benchmark::RegisterBenchmark("report_to_count/paced_9600", Report_To_Count, true)
            ->UseManualTime()
            ->Unit(benchmark::kMicrosecond)
            ->Iterations(20);
    int bargc = 1;
    benchmark::Initialize(smoke ? &bargc : &argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
