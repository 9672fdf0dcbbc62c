// How much of the station's time budget its core takes: a complete report text to a saved result with
// the result table and histogram model updated, as a share of the time the report takes to arrive at
// 9600 baud (10 bits a character); and the bath tick over thirty occupied slots as a share of its one
// second. Prints both ratios; the goals are below 1/50 and below 1/1000.

#include "bench_lab.h"
#include "embedded_backend.h"

#include "common/globals.h"
#include "common/ports.h"
#include "counter/count_logs.h"
#include "db/database.h"
#include "lab/batch.h"
#include "lab/rack.h"
#include "records/employee.h"
#include "records/prt_count.h"
#include "station/bath.h"
#include "station/station.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace pcs;
using namespace std::chrono_literals;

namespace {

int Sample_Count = 200; // one READY test per iteration: a saved test cannot be saved again

const std::string Report_Text = "!LPR1,00:00:28.76,BP,RP,GP,LP,8,C,2.00,5.00,15.00,25.00,50.00,100.00,100.00,"
                                "100.00,4446,908,51,13,0,0,0,0,20.00,03/26/04,12:05:03,LAB.TECH,22222222,"
                                "01100663,,ISO Code: 15/13/8,\r";

struct Yes_Alerts : Alert_Port {
    void Alert(const std::string& text) override { std::fprintf(stderr, "alert: %s\n", text.c_str()); }
    int Ask_Yes_No(const std::string&, bool, int) override { return Answer_Yes; }
};
struct Quiet_Status : Status_Port {
    std::string Status_Caption() const override { return ""; }
    void Set_Status_Caption(const std::string&) override {}
    void Hide_Status_Label() override {}
    bool Message_Panel_Showing() const override { return false; }
    void Show_Message_Panel(const std::string&, const Font_Spec&) override {}
    void Unload_Message_Panel() override {}
};
struct No_Panel : Action_Panel_Port {
    Panel_Outcome Show_Action_Panel(const Run&, int16_t) override { return {}; }
};

// The common lab with a technician, racks of the samples to save, and the station's settings.
struct Station_Lab : bench::Bench_Lab {
    std::vector<std::string> Lab_Numbers;
    Station_Lab() : Bench_Lab("station-bench") {
        Add_Technician(117, "4711");
        embedded::Lab_Admin admin(Lab_File());
        Lab_Numbers = admin.New_Lab_Numbers(Lab_Code_Default, Sample_Count);
        for (int r = 0; r * 20 < Sample_Count; ++r) {
            embedded::Rack_Spec rack;
            rack.Rack_Desc = "B-" + std::to_string(r);
            auto first = Lab_Numbers.begin() + r * 20;
            rack.Lab_Numbers.assign(first, first + std::min<long>(20, Lab_Numbers.end() - first));
            admin.Route_Rack(rack);
        }
        std::ofstream settings(Folder() / "settings.txt");
        settings << "INSTRUMENT_ID;PC002;\n";
        for (const char* key :
             {"SAMPLES_BETWEEN_CHECKS", "ISO2_FLUSH", "ISO5_FLUSH", "ISO15_FLUSH", "ISO2_CHECK", "ISO5_CHECK",
              "ISO15_CHECK", "ISO2_SAMPLE", "ISO5_SAMPLE", "ISO15_SAMPLE", "INIT_ISO_HIST_DECREASE",
              "ISO_HIST_DECREASE_MAX", "SAMPLE_SHAKE_TIME", "SAMPLE_BATH_TIME", "MAX_RACKS_IN_BATH"})
            settings << key << ";20;\n";
    }
};

void BM_Report_To_Saved_Result(benchmark::State& state) {
    Station_Lab lab;
    Globals g;
    g.App_Folder = lab.Folder().string() + "/";
    g.Connect_String = lab.Connect_String();
    embedded::Embedded_Backend backend;
    Yes_Alerts alerts;
    Quiet_Status status;
    db::Database db(g, backend, alerts);
    Employee emp(db);
    emp.Login(std::string("4711"));
    System_Clock clock;
    Rack rack(db, g, alerts, emp, clock, g.Connect_String);
    Batch batch(db);
    PrtCount result(db, g, emp);
    Count_Logs logs(lab.Folder(), alerts);
    No_Panel panel;
    Station_View view;
    Station st({g, clock, alerts, status, db, rack, batch, result, emp, logs, panel, view});
    st.Load(false, lab.Folder());

    size_t i = 0, saved = 0;
    for (auto _ : state) {
        Run sample = Run::Of_Sample(lab.Lab_Numbers[i++ % lab.Lab_Numbers.size()]);
        st.process_data(sample, Report_Text);
        saved += result.saveOk;
        benchmark::DoNotOptimize(st.History_Graph.Bar_Height(0, 100));
    }
    if (saved != i) state.SkipWithError("a report was not saved");
}

void BM_Bath_Tick_30_Slots(benchmark::State& state) {
    std::array<Bath_Slot, Bath_Slot_Count> slots{};
    Time_Point t0 = std::chrono::system_clock::now();
    for (int i = 0; i < Bath_Slot_Count; ++i) {
        slots[i].Lab_Number = std::to_string(1100000 + i) + " ";
        slots[i].Added_At = t0;
        slots[i].Ready_By = t0 + std::chrono::hours(24 * 365);
        slots[i].Ready_At = "soaking";
    }
    Time_Point now = t0 + 60s; // past the shake: every tick writes new seconds into every slot
    bool changed = false;
    for (auto _ : state) {
        now += 1s;
        changed |= Bath_Tick(slots, now, 60);
    }
    if (!changed) state.SkipWithError("nothing ticked");
}

class Ratio_Reporter : public benchmark::ConsoleReporter {
public:
    std::map<std::string, double> Seconds, Cpu_Seconds;
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const auto& r : runs)
            if (!r.error_occurred) {
                double unit = benchmark::GetTimeUnitMultiplier(r.time_unit);
                Seconds[r.run_name.function_name] = r.GetAdjustedRealTime() / unit;
                Cpu_Seconds[r.run_name.function_name] = r.GetAdjustedCPUTime() / unit;
            }
        ConsoleReporter::ReportRuns(runs);
    }
};

} // namespace

int main(int argc, char** argv) {
    bench::Bench_Args command(argc, argv);
    const bool smoke = command.Smoke;
    std::vector<char*>& args = command.Args;
    if (smoke) Sample_Count = 10;
    benchmark::RegisterBenchmark("Report_To_Saved_Result", BM_Report_To_Saved_Result)
        ->Iterations(Sample_Count);
    benchmark::RegisterBenchmark("Bath_Tick/30_slots", BM_Bath_Tick_30_Slots)->MinTime(smoke ? 0.01 : 0.5);
    int n = static_cast<int>(args.size());
    benchmark::Initialize(&n, args.data());
    Ratio_Reporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const double transfer_s = Report_Text.size() * 10.0 / 9600.0;
    // One "figure: name|ratio|goal|limit" line each, as bench/run reads them. The wall time includes the
    // embedded database's synchronous commit, which waits for the disk under the lab file.
    auto figure = [](const char* name, double ratio, const char* goal, double limit) {
        std::printf("figure: %s|%.6f|%s|%g\n", name, ratio, goal, limit);
    };
    auto report = reporter.Seconds.find("Report_To_Saved_Result");
    if (report != reporter.Seconds.end()) {
        std::printf("a report's transfer at 9600 baud: %.1f ms\n", transfer_s * 1000);
        figure("report to saved result (wall) / its transfer time", report->second / transfer_s, "1/50",
               0.02);
        figure("report to saved result (cpu) / its transfer time",
               reporter.Cpu_Seconds["Report_To_Saved_Result"] / transfer_s, "1/50", 0.02);
    }
    auto tick = reporter.Seconds.find("Bath_Tick/30_slots");
    if (tick != reporter.Seconds.end())
        figure("bath tick, 30 slots / its 1 s period", tick->second, "1/1000", 0.001);
    benchmark::Shutdown();
    return 0;
}
