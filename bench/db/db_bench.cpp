// Rack load (outstanding_rackTests for one rack) through Database::Open_Recordset, against the same
// rows read by a raw prepared SQLite statement, both on one embedded lab database in the same run.
// Prints the ratio; the goal is within 2x.

#include "embedded_backend.h"
#include "lab_admin.h"
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

struct Bench_Db {
    fs::path Folder;
    fs::path Lab_File;
    Bench_Db() {
        std::string templ = (fs::temp_directory_path() / "pcs-db-bench-XXXXXX").string();
        Folder = ::mkdtemp(templ.data());
        Lab_File = Folder / "lab.db";
        auto start = std::chrono::steady_clock::now();
        embedded::Lab_Admin::Create(Lab_File);
        embedded::Lab_Admin(Lab_File).Build_Benchmark_Data(Racks, Positions);
        double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        std::fprintf(stderr, "built %d racks, %d tests in %.2f s\n", Racks, Racks * Positions, s);
    }
    ~Bench_Db() {
        std::error_code ec;
        fs::remove_all(Folder, ec);
    }
    static Bench_Db& Get() {
        static Bench_Db db;
        return db;
    }
};

std::string Rack_Name(long i) {
    return "BR-" + std::to_string(100000 + (i * 7919) % Racks);
}

void BM_Rack_Load_Raw_Sqlite(benchmark::State& state) {
    Raw_Rack_Reader reader(Bench_Db::Get().Lab_File);
    long i = 0;
    size_t bytes = 0, rows = 0;
    for (auto _ : state)
        rows += reader.Read(Rack_Name(i++), "PrtCount", bytes);
    benchmark::DoNotOptimize(bytes);
    if (rows != static_cast<size_t>(i) * Positions) state.SkipWithError("wrong number of rows");
    state.counters["rows"] = benchmark::Counter(static_cast<double>(rows), benchmark::Counter::kIsRate);
}

void BM_Rack_Load_Database(benchmark::State& state) {
    Globals g;
    g.Connect_String = embedded::Embedded_Connect_String(Bench_Db::Get().Lab_File);
    embedded::Embedded_Backend backend;
    No_Alerts alerts;
    db::Database database(g, backend, alerts);
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
    bool smoke = false;
    std::vector<char*> args;
    for (int i = 0; i < argc; ++i) {
        if (std::strcmp(argv[i], "--smoke") == 0)
            smoke = true;
        else
            args.push_back(argv[i]);
    }
    if (smoke) Racks = 50;
    double min_time = smoke ? 0.01 : 0.5;
    benchmark::RegisterBenchmark("Rack_Load/raw_sqlite", BM_Rack_Load_Raw_Sqlite)->MinTime(min_time);
    benchmark::RegisterBenchmark("Rack_Load/database", BM_Rack_Load_Database)->MinTime(min_time);
    int n = static_cast<int>(args.size());
    benchmark::Initialize(&n, args.data());
    Bench_Db::Get();
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
