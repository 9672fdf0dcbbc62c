// Two ratios from one run, each over a bare Qt window's start (the same program, started the same way,
// showing an empty window):
//  - start of the station's program to its login screen shown (goal: at most 2);
//  - a login on the on-screen keys to the working forms drawn, on a lab of 5,000 outstanding racks:
//    the station's own busy time against the time of the statements it sends (their times from the
//    program's own statement trace), as for the rack view's touches (goal: below 1). Busy means CPU
//    time, so that the rack search's one-second pick, an idle wait, stays out; the wall time and the
//    ratio of the busy time to the bare window's start are printed beside it.
// The program runs itself as the child: "--child bare" or "--child station <pcstation's options>".
#include "bench_lab.h"
#include "station_app.h"
#include "station_options.h"
#include "touch_script.h"

#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QTimer>
#include <QWidget>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <vector>

#include <sys/resource.h>
#include <unistd.h>

namespace fs = std::filesystem;
using Steady = std::chrono::steady_clock;

namespace {

constexpr const char* Password = "4711";

double Cpu_Seconds() {
    rusage u{};
    ::getrusage(RUSAGE_SELF, &u);
    return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) * 1e-6;
}

void Say(const char* line) {
    std::printf("%s\n", line);
    std::fflush(stdout);
}

// ---- the child ---------------------------------------------------------------------------------------

// The statement trace from a byte offset on: its size now, and the milliseconds of the statements and
// row fetches it records after the offset.
struct Trace_Reader {
    QString Path = qEnvironmentVariable("PCSTATION_SQL_TRACE");
    qint64 Size() const { return QFileInfo(Path).size(); }
    double Ms_Since(qint64 offset) const {
        QFile f(Path);
        if (!f.open(QIODevice::ReadOnly) || !f.seek(offset)) return -1;
        static const QRegularExpression ms(R"re("(?:ms|fetch_ms)":([0-9.eE+-]+))re");
        double sum = 0;
        for (auto it = ms.globalMatch(QString::fromUtf8(f.readAll())); it.hasNext();)
            sum += it.next().captured(1).toDouble();
        return sum;
    }
};

// Says "shown" at the first window's first paint; for the station then logs in on the keys and says
// "working <cpu seconds>" once the rack view is drawn with no modal window over it and the main form
// and header bar are showing.
class Watch final : public QObject {
public:
    explicit Watch(QWidget* first, bool log_in) : first_(first), log_in_(log_in) {}

    bool eventFilter(QObject* o, QEvent* e) override {
        if (e->type() != QEvent::Paint) return QObject::eventFilter(o, e);
        if (phase_ == 0 && o == first_) {
            phase_ = 1;
            Say("shown");
            QTimer::singleShot(0, this, [this] { log_in_ ? Log_In() : QCoreApplication::exit(0); });
        } else if (phase_ == 2 && o->objectName() == "Form_Rack" && !QApplication::activeModalWidget() &&
                   Showing("Form_Test") && Showing("Form_Header")) {
            phase_ = 3;
            char line[64];
            std::snprintf(line, sizeof line, "working %.6f %.6f", Cpu_Seconds() - cpu_at_login_,
                          trace_.Ms_Since(trace_at_login_) / 1e3);
            Say(line);
            QTimer::singleShot(0, qApp, [] { QCoreApplication::exit(0); });
        }
        return QObject::eventFilter(o, e);
    }

private:
    static bool Showing(const char* name) {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w->objectName() == name && w->isVisible()) return true;
        return false;
    }
    void Log_In() {
        Say("login");
        trace_at_login_ = trace_.Size();
        cpu_at_login_ = Cpu_Seconds();
        // The keyboard is modal: its keys are touched from a timer running inside its loop.
        auto* keys = new QTimer(this);
        keys->setInterval(1);
        connect(keys, &QTimer::timeout, this, [this, keys] {
            if (!pcs::app::Type_On_Keyboard(Password)) return;
            keys->stop();
            phase_ = 2;
        });
        keys->start();
        if (auto* login = first_->findChild<QPushButton*>("cmd_Login")) login->click();
    }

    QWidget* first_;
    bool log_in_;
    int phase_ = 0;
    double cpu_at_login_ = 0;
    Trace_Reader trace_;
    qint64 trace_at_login_ = 0;
};

int Run_Child(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    if (std::strcmp(argv[2], "bare") == 0) {
        QWidget bare;
        bare.setGeometry(QApplication::primaryScreen()->geometry());
        Watch watch(&bare, false);
        bare.installEventFilter(&watch);
        bare.show();
        return QApplication::exec();
    }
    QStringList arguments{QString::fromLocal8Bit(argv[0])};
    for (int i = 3; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    const fs::path program_dir = fs::read_symlink("/proc/self/exe").parent_path();
    auto parsed = pcs::app::Parse_Station_Options(arguments, pcs::app::Process_Environment(), program_dir);
    if (!parsed.Options) {
        std::fprintf(stderr, "startup_bench: %s\n", parsed.Message.c_str());
        return 2;
    }
    if (::chdir(parsed.Options->Program_Folder.c_str()) != 0) return 3;
    // As pcstation does: the database layer reads the connection from the environment.
    if (!parsed.Options->Connect_String.empty())
        ::setenv("PCSTATION_CONNECT", parsed.Options->Connect_String.c_str(), 1);
    pcs::app::Station_App station(*parsed.Options);
    Watch watch(station.Login_Screen(), true);
    app.installEventFilter(&watch);
    return station.Run();
}

// ---- the parent --------------------------------------------------------------------------------------

struct Run_Times {
    double Shown = -1; // start to first window painted, wall seconds
    double Login = -1; // login touched to working forms drawn, wall seconds
    double Login_Cpu = -1;
    double Login_Statements = -1; // seconds
};

Run_Times Run_Once(const QStringList& args, const QString& trace = {}) {
    Run_Times t;
    QProcess p;
    if (!trace.isEmpty()) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("PCSTATION_SQL_TRACE", trace);
        p.setProcessEnvironment(env);
    }
    p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    const auto start = Steady::now();
    auto since = [&] { return std::chrono::duration<double>(Steady::now() - start).count(); };
    p.start(QString::fromLocal8Bit(fs::read_symlink("/proc/self/exe").c_str()), args);
    double login_at = -1;
    while (p.waitForReadyRead(60000) || p.canReadLine()) {
        while (p.canReadLine()) {
            const QByteArray line = p.readLine().trimmed();
            if (line == "shown")
                t.Shown = since();
            else if (line == "login")
                login_at = since();
            else if (line.startsWith("working ")) {
                t.Login = since() - login_at;
                const QList<QByteArray> f = line.split(' ');
                t.Login_Cpu = f.value(1).toDouble();
                t.Login_Statements = f.value(2, "-1").toDouble();
            }
        }
        if (p.state() == QProcess::NotRunning) break;
    }
    p.waitForFinished(60000);
    if (p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) return {};
    return t;
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? -1 : v[v.size() / 2];
}

} // namespace

int main(int argc, char** argv) {
    if (argc > 2 && std::strcmp(argv[1], "--child") == 0) return Run_Child(argc, argv);
    const bool smoke = argc > 1 && std::strcmp(argv[1], "--smoke") == 0;
    if (qgetenv("QT_QPA_PLATFORM").isEmpty()) qputenv("QT_QPA_PLATFORM", "offscreen");
    QCoreApplication app(argc, argv);

    const int racks = smoke ? 50 : 5000;
    pcs::bench::Bench_Lab lab("startup-bench");
    lab.Add_Racks(racks, 20);
    lab.Add_Technician(117, Password);
    fs::copy_file(EXAMPLE_SETTINGS, lab.Folder() / "settings.txt");
    const QStringList station{"--child",  "station",
                              "--folder", QString::fromStdString(lab.Folder().string()),
                              "--lab-db", QString::fromStdString(lab.Lab_File().string())};

    const QString trace = QString::fromStdString((lab.Folder() / "statements.jsonl").string());
    std::vector<double> bare, shown, login, login_cpu, own_over_statements;
    for (int i = 0; i < (smoke ? 1 : 7); ++i) {
        const Run_Times b = Run_Once({"--child", "bare"});
        const Run_Times s = Run_Once(station, trace);
        if (b.Shown <= 0 || s.Shown <= 0 || s.Login <= 0 || s.Login_Statements <= 0) {
            std::fprintf(stderr,
                         "startup_bench: a start did not reach its window (bare %.3f, station %.3f, "
                         "login %.3f)\n",
                         b.Shown, s.Shown, s.Login);
            return 1;
        }
        bare.push_back(b.Shown);
        shown.push_back(s.Shown);
        login.push_back(s.Login);
        login_cpu.push_back(s.Login_Cpu);
        own_over_statements.push_back((s.Login_Cpu - s.Login_Statements) / s.Login_Statements);
    }
    const double b = Median(bare), s = Median(shown), l = Median(login), c = Median(login_cpu);
    std::printf("bare Qt window shown %.0f ms; station's login screen shown %.0f ms; login to working forms "
                "drawn (%d racks) %.0f ms wall, %.0f ms busy = %.1f bare starts (medians of %zu)\n",
                b * 1e3, s * 1e3, racks, l * 1e3, c * 1e3, c / b, bare.size());
    std::printf("figure: start-up to login screen shown / bare Qt window shown|%.2f|2|2\n", s / b);
    std::printf("figure: login to working forms (%d racks): own busy time / statements|%.2f|1|1\n", racks,
                Median(own_over_statements));
    return 0;
}
