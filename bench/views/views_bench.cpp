// A touch on "NEXT" until the next rack is drawn, with 5,000 racks outstanding in an embedded lab
// database: the rack view's own work (search list, rack load, cells, drawing) against the statements
// it sends (rack hand-back, list, load, hand-out), both in the thread's CPU time of one run. The
// search's one-second automatic pick is an idle wait, so it counts in neither.

#include "bench_lab.h"
#include "embedded_backend.h"

#include "common/globals.h"
#include "db/database.h"
#include "lab/rack.h"
#include "records/employee.h"
#include "ui/fonts.h"
#include "ui/form_rack.h"

#include <QApplication>
#include <QTest>
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace pcs;

namespace {

int Racks = 5000;
constexpr int Positions = 20;

double Cpu_Seconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return t.tv_sec + t.tv_nsec * 1e-9;
}

// Everything the database does for a statement: connecting, running it, walking its rows.
double Statement_Seconds = 0;
struct Timed {
    double start = Cpu_Seconds();
    ~Timed() { Statement_Seconds += Cpu_Seconds() - start; }
};

class Timed_Cursor : public db::Db_Cursor {
public:
    explicit Timed_Cursor(std::unique_ptr<db::Db_Cursor> c) : c_(std::move(c)) {}
    const std::vector<std::string>& Columns() const override { return c_->Columns(); }
    bool Fetch() override {
        Timed t;
        return c_->Fetch();
    }
    const db::Field& Value(size_t column) const override { return c_->Value(column); }

private:
    std::unique_ptr<db::Db_Cursor> c_;
};

class Timed_Backend : public db::Db_Backend {
public:
    std::unique_ptr<db::Db_Connection> Connect(const std::string& cs, const db::Connect_Options& o) override {
        struct Connection : db::Db_Connection {
            std::unique_ptr<db::Db_Connection> inner;
            db::Exec_Outcome Execute(const std::string& sql) override {
                Timed t;
                db::Exec_Outcome out = inner->Execute(sql);
                if (out.Rows) out.Rows = std::make_unique<Timed_Cursor>(std::move(out.Rows));
                return out;
            }
            ~Connection() override {
                Timed t;
                inner.reset();
            }
        };
        Timed t;
        auto c = std::make_unique<Connection>();
        c->inner = inner_.Connect(cs, o);
        return c;
    }

private:
    embedded::Embedded_Backend inner_;
};

// The main form takes no sample: the port's own no-ops.
struct Quiet_Ports : Alert_Port, Status_Port, Main_Form_Port, App_Exit_Port {
    void Alert(const std::string& text) override { std::fprintf(stderr, "alert: %s\n", text.c_str()); }
    int Ask_Yes_No(const std::string&, bool, int) override { return Answer_No; }
    std::string Status_Caption() const override { return caption; }
    void Set_Status_Caption(const std::string& t) override { caption = t; }
    void Hide_Status_Label() override {}
    bool Message_Panel_Showing() const override { return false; }
    void Show_Message_Panel(const std::string&, const Font_Spec&) override {}
    void Unload_Message_Panel() override {}
    void App_Exit() override {}
    std::string caption;
};

double Own_Ratio = -1, Own_Per_Touch = 0, Statements_Per_Touch = 0;

void BM_Next_Rack_Drawn(benchmark::State& state) {
    bench::Bench_Lab lab("views-bench");
    lab.Add_Racks(Racks, Positions);
    Globals g;
    Init_Colors(g);
    g.Test_Code = "PrtCount";
    g.Common_Folder = PCS_PICTURE_DIR;
    g.Connect_String = lab.Connect_String();
    System_Clock clock;
    Timed_Backend backend;
    Quiet_Ports ports;
    db::Database database(g, backend, ports);
    Employee technician(database);
    technician.Emp_Num = 101;
    technician.Station = "PARTICLE COUNT";
    technician.Lab_Code = Lab_Code_Default;
    Rack rack(database, g, ports, technician, clock, g.Connect_String);
    ui::Form_Rack form({g, clock, rack, technician, ports, ports, ports, ports});
    form.Model().rack_width = 95 * 15;
    form.Model().rack_height = 75 * 15;
    form.show();
    form.Load();
    QWidget* next = form.findChild<QWidget*>("bttn_Nav_1");

    double own = 0, statements = 0;
    long touches = 0;
    std::string last = rack.Rack_Desc;
    for (auto _ : state) {
        const double s0 = Statement_Seconds, c0 = Cpu_Seconds();
        QTest::mouseClick(next, Qt::LeftButton);
        form.repaint();
        const double c1 = Cpu_Seconds(), s1 = Statement_Seconds;
        statements += s1 - s0;
        own += (c1 - c0) - (s1 - s0);
        // Between touches the station's event loop turns: what the view leaves for then is no part of
        // this touch (the next one's search form is made ahead there).
        state.PauseTiming();
        QCoreApplication::processEvents();
        state.ResumeTiming();
        ++touches;
        if (rack.Rack_Desc == last) state.SkipWithError("NEXT did not move to another rack");
        last = rack.Rack_Desc;
    }
    if (touches > 0 && statements > 0) {
        Own_Ratio = own / statements;
        Own_Per_Touch = own / touches;
        Statements_Per_Touch = statements / touches;
    }
    state.counters["own_ms"] = Own_Per_Touch * 1e3;
    state.counters["statements_ms"] = Statements_Per_Touch * 1e3;
}

} // namespace

int main(int argc, char** argv) {
    bench::Bench_Args command(argc, argv);
    const bool smoke = command.Smoke;
    std::vector<char*>& args = command.Args;
    if (smoke) Racks = 50;
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    int qargc = 1;
    QApplication app(qargc, argv);
    ui::Install_Font_Substitutes();
    // Each touch waits out the search's one-second pick: a handful of touches is the whole run.
    benchmark::RegisterBenchmark("Next_Rack_Drawn", BM_Next_Rack_Drawn)
        ->Iterations(smoke ? 2 : 12)
        ->Unit(benchmark::kMillisecond);
    int n = static_cast<int>(args.size());
    benchmark::Initialize(&n, args.data());
    benchmark::RunSpecifiedBenchmarks();
    if (Own_Ratio >= 0)
        std::printf("NEXT to the next rack drawn, %d racks: the view's own CPU time %.2f ms, its statements' "
                    "%.2f ms; own / statements = %.2f (goal: below 1)\n",
                    Racks, Own_Per_Touch * 1e3, Statements_Per_Touch * 1e3, Own_Ratio);
    benchmark::Shutdown();
    return 0;
}
