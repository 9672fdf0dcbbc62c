// Rack load (outstanding_rackTests for one rack) through Database::Open_Recordset, against the same
// rows read by a raw prepared SQLite statement, both on one embedded lab database in the same run.
// Prints the ratio; the goal is within 2x. Also times the test group's count of outstanding tests.

#include "bench_lab.h"
#include "embedded_backend.h"
#include "raw_rack_reader.h"

#include "common/globals.h"
#include "common/ports.h"
#include "db/database.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace pcs;

namespace {

int Racks = 5000;
constexpr int Positions = 20;

struct No_Alerts : Alert_Port {
    void Alert(const std::string&) override {}
    int Ask_Yes_No(const std::string&, bool, int) override { return Answer_Closed; }
};

// One database for both measurements, built at the first use.
const bench::Bench_Lab& Lab() {
    static const std::unique_ptr<bench::Bench_Lab> lab = [] {
        auto l = std::make_unique<bench::Bench_Lab>("db-bench");
        l->Add_Racks(Racks, Positions);
        return l;
    }();
    return *lab;
}

// The station's database layer on that lab.
struct Lab_Database {
    Globals G;
    embedded::Embedded_Backend Backend;
    No_Alerts Alerts;
    db::Database Database;
    Lab_Database() : Database(G, Backend, Alerts) { G.Connect_String = Lab().Connect_String(); }
};

std::string Rack_Name(long i) {
    return "BR-" + std::to_string(100000 + (i * 7919) % Racks);
}

void BM_Rack_Load_Raw_Sqlite(benchmark::State& state) {
    Raw_Rack_Reader reader(Lab().Lab_File());
    long i = 0;
    size_t bytes = 0, rows = 0;
    for (auto _ : state)
        rows += reader.Read(Rack_Name(i++), "PrtCount", bytes);
    benchmark::DoNotOptimize(bytes);
    if (rows != static_cast<size_t>(i) * Positions) state.SkipWithError("wrong number of rows");
    state.counters["rows"] = benchmark::Counter(static_cast<double>(rows), benchmark::Counter::kIsRate);
}

void BM_Rack_Load_Database(benchmark::State& state) {
    Lab_Database lab;
    db::Database& database = lab.Database;
    long i = 0;
    size_t bytes = 0, rows = 0;
    for (auto _ : state) {
        db::Record_Set rs = database.Open_Recordset("exec labrack.dbo.outstanding_rackTests @rack_desc = '" +
                                                    Rack_Name(i++) + "', @test_group = 'PrtCount'");
        const auto& cols = rs.Columns();
        while (!rs.Eof()) {
            // Every field, by name, as the rack record reads them.
            for (const auto& c : cols) {
                const db::Field& f = rs.Value(c);
                if (f) bytes += f->size();
            }
            ++rows;
            rs.Move_Next();
        }
        rs.Close();
    }
    benchmark::DoNotOptimize(bytes);
    if (rows != static_cast<size_t>(i) * Positions) state.SkipWithError("wrong number of rows");
    state.counters["rows"] = benchmark::Counter(static_cast<double>(rows), benchmark::Counter::kIsRate);
}

// The outstanding tests of one test group, which the station asks at every login and after every save.
void BM_Test_Group_Count(benchmark::State& state) {
    Lab_Database lab;
    db::Database& database = lab.Database;
    long long counted = 0;
    for (auto _ : state) {
        db::Record_Set rs =
            database.Open_Recordset("select * from labrack.dbo.TBL_TestGroup_Count('VOLMAR', 'PrtCount') ");
        counted = rs.Eof() ? -1 : std::stoll(rs.Value("COUNT").value_or("-1"));
        rs.Close();
    }
    if (counted != static_cast<long long>(Racks) * Positions) state.SkipWithError("wrong count");
}

// Collects the times so the ratio can be printed after the run.
class Ratio_Reporter : public benchmark::ConsoleReporter {
public:
    std::map<std::string, double> Times;
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const auto& r : runs)
            if (!r.error_occurred) Times[r.run_name.function_name] = r.GetAdjustedRealTime();
        ConsoleReporter::ReportRuns(runs);
    }
};

} // namespace

int main(int argc, char** argv) {
    bench::Bench_Args command(argc, argv);
    const bool smoke = command.Smoke;
    std::vector<char*>& args = command.Args;
    if (smoke) Racks = 50;
    double min_time = smoke ? 0.01 : 0.5;
    benchmark::RegisterBenchmark("Rack_Load/raw_sqlite", BM_Rack_Load_Raw_Sqlite)->MinTime(min_time);
    benchmark::RegisterBenchmark("Rack_Load/database", BM_Rack_Load_Database)->MinTime(min_time);
    benchmark::RegisterBenchmark("Test_Group_Count/database", BM_Test_Group_Count)
        ->MinTime(min_time)
        ->Unit(benchmark::kMicrosecond);
    int n = static_cast<int>(args.size());
    benchmark::Initialize(&n, args.data());
    Lab();
    Ratio_Reporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    auto raw = reporter.Times.find("Rack_Load/raw_sqlite");
    auto layer = reporter.Times.find("Rack_Load/database");
    if (raw != reporter.Times.end() && layer != reporter.Times.end() && raw->second > 0)
        std::printf(
            "rack load through Database::Open_Recordset / raw prepared SQLite = %.2f (goal: within 2x)\n",
            layer->second / raw->second);
    benchmark::Shutdown();
    return 0;
}
