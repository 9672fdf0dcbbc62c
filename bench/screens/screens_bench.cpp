// The station's screens against their time budget, as ratios from one run:
// - the bath tick with its redraw over thirty occupied slots, as a share of its one-second period
//   (goal below 1/100);
// - a report's last byte written by counter-sim on the pseudo-terminal to the result drawn in the table
//   and the histogram, as a share of the report's transfer time at 9600 baud (goal below 1/50).
#include "support/counter_sim_process.h"
#include "support/station_rig.h"
#include "ui/form_action.h"
#include "ui/form_pcgrid.h"

#include <QApplication>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

using namespace pcs;
using pcs::test::Counter_Sim;
using pcs::test::Station_Rig;
using Steady = std::chrono::steady_clock;

namespace {

// Counts what the counter sent after the last command, so a report's length is known.
class Counting_Port final : public Serial_Port {
public:
    explicit Counting_Port(Serial_Port& inner) : inner_(inner) {
        inner_.Set_Comm_Handler([this](int code) { Raise_Comm_Event(code); });
    }
    ~Counting_Port() override { inner_.Set_Comm_Handler(nullptr); }
    size_t Received = 0;                // characters read since the last write
    Steady::time_point Last_Line_End{}; // when the last CR or LF was read

    void Set_Settings(const std::string& s) override { inner_.Set_Settings(s); }
    void Set_Port_Number(int16_t p) override { inner_.Set_Port_Number(p); }
    void Set_Input_Length(int16_t n) override { inner_.Set_Input_Length(n); }
    void Set_Receive_Threshold(int16_t n) override { inner_.Set_Receive_Threshold(n); }
    void Set_Send_Threshold(int16_t n) override { inner_.Set_Send_Threshold(n); }
    void Set_Input_Mode(Input_Mode m) override { inner_.Set_Input_Mode(m); }
    void Open() override { inner_.Open(); }
    void Close() noexcept override { inner_.Close(); }
    bool Is_Open() const override { return inner_.Is_Open(); }
    void Write(const std::string& text) override {
        Received = 0;
        inner_.Write(text);
    }
    std::string Read_Input() override {
        std::string s = inner_.Read_Input();
        Received += s.size();
        if (!s.empty() && (s[0] == '\r' || s[0] == '\n')) Last_Line_End = Steady::now();
        return s;
    }

private:
    Serial_Port& inner_;
};

// The technician presses the run button of each action panel once the counter is in remote mode.
void Press_Run_When_Ready(ui::Form_Test& form, QTimer& timer) {
    QObject::connect(&timer, &QTimer::timeout, &form, [&form] {
        ui::form_Action* a = form.Action_Form();
        if (!a || !a->isVisible()) return;
        Action_Panel& p = a->Panel();
        if (p.Link.Run_Button_Tag == Run_Button_Tag_Stopped && p.Bffr().ends_with("!REMOTE+\r"))
            p.Run_Button_Click();
    });
    timer.start(1);
}

void Bath_Tick(benchmark::State& state) {
    Station_Rig rig("/dev/pts/no-such-counter", PCS_PICTURE_DIR, 60, 3600);
    int in_bath = 0;
    for (const char* rack : {"PC-R001", "PC-R002"}) {
        rig.Take_Rack(rack);
        for (int p = 0; p < 20 && in_bath < Bath_Slot_Count; ++p)
            in_bath += rig.Hand_To_Bath(p) ? 1 : 0;
    }
    if (in_bath < Bath_Slot_Count) {
        state.SkipWithError("the bath did not fill");
        return;
    }
    ui::Form_Test& form = *rig.Form;
    form.show();
    rig.Clock.Ahead += std::chrono::seconds(61); // past the shaking: every tick changes every slot's seconds
    double total = 0;
    int n = 0;
    for (auto _ : state) {
        rig.Clock.Ahead += std::chrono::seconds(1);
        const auto t0 = Steady::now();
        form.Model().Bath_Timer_Tick();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::UpdateRequest);
        const double s = std::chrono::duration<double>(Steady::now() - t0).count();
        state.SetIterationTime(s);
        total += s;
        ++n;
    }
    const double ratio = n ? total / n : 0;
    state.counters["ratio"] = ratio;
    std::printf("bath tick with redraw over 30 slots / 1 s period = %.5f (1/%.0f), %d ticks\n", ratio,
                ratio > 0 ? 1 / ratio : 0.0, n);
}

void Report_To_Screen(benchmark::State& state) {
    Counter_Sim sim({"--count-time", "0", "--timestamps", "--check", "pass", "--seed", "1"});
    if (sim.Path.empty()) {
        state.SkipWithError("counter-sim did not come up");
        return;
    }
    Station_Rig rig(sim.Path, PCS_PICTURE_DIR);
    Counting_Port counting(*rig.Port);
    rig.Counter = &counting;
    rig.New_Form();
    ui::Form_Test& form = *rig.Form;
    form.show();
    QTimer technician;
    Press_Run_When_Ready(form, technician);
    double ratio_sum = 0, worst = 0, screen_sum = 0;
    std::vector<double> ratios;
    int n = 0;
    for (auto _ : state) {
        form.Model().Toolbox_Run(Run_Kind::Check); // returns once the count is processed and drawn
        // The repaints the drawing asked for, as the event loop would do them next.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::UpdateRequest);
        const auto shown = Steady::now();
        const long long sent = sim.Next_Sent_Ns(5000);
        if (sent < 0 || form.Model().Results.Rows()[0].Run_Id != "CHECK" || counting.Received < 4) {
            state.SkipWithError("no report reached the table");
            rig.Form.reset();
            return;
        }
        const double delay = (shown.time_since_epoch().count() - sent) * 1e-9;
        const double wire = (counting.Received - 3) * 10.0 / 9600.0; // without "!S" and its CR
        state.SetIterationTime(delay);
        ratio_sum += delay / wire;
        ratios.push_back(delay / wire);
        screen_sum += std::chrono::duration<double>(shown - counting.Last_Line_End).count() / wire;
        worst = std::max(worst, delay / wire);
        ++n;
    }
    rig.Form.reset(); // its last panel closes the counting port
    const double mean = n ? ratio_sum / n : 0;
    // The median as well: on a busy machine a few counts wait for the processor and carry the mean.
    std::sort(ratios.begin(), ratios.end());
    const double median = ratios.empty() ? 0 : ratios[ratios.size() / 2];
    state.counters["ratio"] = mean;
    state.counters["median_ratio"] = median;
    std::printf(
        "report's last byte to result drawn / transfer time at 9600 baud = %.5f (1/%.0f), median %.5f "
        "(1/%.0f), worst %.5f, %d counts; of the mean from the line end read by the station: %.5f\n",
        mean, mean > 0 ? 1 / mean : 0.0, median, median > 0 ? 1 / median : 0.0, worst, n,
        n ? screen_sum / n : 0.0);
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    bool smoke = false;
    for (int i = 1; i < argc; ++i)
        if (std::string(argv[i]) == "--smoke") smoke = true;
    benchmark::RegisterBenchmark("screens/bath_tick_30_slots", Bath_Tick)
        ->UseManualTime()
        ->Unit(benchmark::kMicrosecond)
        ->Iterations(smoke ? 3 : 300);
    benchmark::RegisterBenchmark("screens/report_to_result_drawn", Report_To_Screen)
        ->UseManualTime()
        ->Unit(benchmark::kMicrosecond)
        ->Iterations(smoke ? 2 : 50);
    int bargc = 1;
    benchmark::Initialize(smoke ? &bargc : &argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
