// Parsing and coding a report, as a share of the time the report takes to arrive on the 9600-baud
// line (8N1: ten bits a character, 960 characters a second). The ratio is what matters: the station
// must code a report in far less time than the counter takes to send it.
#include "counter/count_report.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <string>

namespace {

const std::string Counter_Code_Report =
    "!S\r!LPR1,00:00:28.76,BP,RP,GP,LP,8,C,2.00,5.00,15.00,25.00,50.00,100.00,100.00,100.00,4446,908,51,13,0,"
    "0,0,0,"
    "20.00,03/26/04,12:05:03,LAB.TECH,22222222,01100663,,ISO Code: 13/9,\r";
const std::string Computed_Code_Report = "!S\r!LPR1,00:00:28.76,BP,RP,GP,LP,8,C,2.00,5.00,15.00,25.00,50.00,"
                                         "100.00,100.00,100.00,166655,66655,3120,611,"
                                         "204,17,0,0,20.00,03/26/04,12:05:03,LAB.TECH,22222222,01100663,,,\r";

constexpr double Characters_Per_Second = 960.0;

void Code_Report(benchmark::State& state, const std::string& text) {
    auto start = std::chrono::steady_clock::now();
    for (auto _ : state) {
        pcs::Report_Parse p = pcs::Parse_Count_Report(text, pcs::Run_Kind::Sample);
        pcs::Count_Report r = p.Report;
        auto per_ml = pcs::Per_mL_Values(r);
        pcs::Scale_For_Dilution(r);
        benchmark::DoNotOptimize(per_ml);
        benchmark::DoNotOptimize(r);
    }
    double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    double per_report = elapsed / static_cast<double>(state.iterations());
    double transfer = static_cast<double>(text.size()) / Characters_Per_Second;
    state.counters["ratio_to_transfer"] = per_report / transfer;
    state.counters["goal"] = 1.0 / 10000;
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}

} // namespace

BENCHMARK_CAPTURE(Code_Report, counter_code, Counter_Code_Report);
BENCHMARK_CAPTURE(Code_Report, computed_code, Computed_Code_Report);
BENCHMARK_MAIN();
