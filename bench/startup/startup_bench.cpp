// Three ratios from one run, each over a bare Qt window's start (the same program, started the same way,
// showing an empty window):
//  - start of the station's program to its login screen shown (goal: at most 2);
//  - a login on the on-screen keys to the working forms drawn, on a lab of 5,000 outstanding racks
//    (goal: at most 8), from the Enter of a password typed at a finger's pace;
//  - a touch on the rack view's NEXT to the next rack drawn, on the same lab (goal: at most 2).
// Both touches are timed on the wall clock, less the rack search's one-second automatic pick: that pick
// is an idle wait the screens are made to keep. The station's busy time against its statements' (their
// times from the program's own statement trace) is printed beside them.
// The program runs itself as the child: "--child bare" or "--child station <pcstation's options>".
#include "bench_lab.h"
#include "station_app.h"
#include "station_options.h"
#include "touch_script.h"

#include "ui/screen_wait.h"
#include "views/rack_search.h"

#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QMouseEvent>
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
constexpr int Nexts = 5;
// A technician's login on the on-screen keys: eight digits and Enter, a quarter of a second apart.
constexpr auto Typing_Time = std::chrono::milliseconds(9 * 250);

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
// "working <wall ms> <cpu seconds> <statement seconds>" once the rack view is drawn with no modal window
// over it and the main form and header bar are showing; then touches NEXT a few times and says
// "next <wall ms>" for each, once the next rack is drawn. Wall times leave out the search's automatic
// picks. Like a finger it touches nothing while the station shows that it waits on the lab database.
class Watch final : public QObject {
public:
    explicit Watch(QWidget* first, bool log_in, int nexts) : first_(first), log_in_(log_in), nexts_(nexts) {}

    bool eventFilter(QObject* o, QEvent* e) override {
        if (e->type() == QEvent::Timer && o->objectName() == "Timer1" && o->parent() &&
            o->parent()->objectName() == "Form_Search")
            ++picks_;
        if (e->type() != QEvent::Paint) return QObject::eventFilter(o, e);
        if (phase_ == 0 && o == first_) {
            phase_ = 1;
            Say("shown");
            QTimer::singleShot(0, this, [this] { log_in_ ? Log_In() : QCoreApplication::exit(0); });
        } else if (phase_ == 2 && o->objectName() == "Form_Rack" && !QApplication::activeModalWidget() &&
                   Showing("Form_Test") && Showing("Form_Header")) {
            phase_ = 3;
            char line[96];
            std::snprintf(line, sizeof line, "working %.3f %.6f %.6f", Wall_Ms(),
                          Cpu_Seconds() - cpu_at_login_, trace_.Ms_Since(trace_at_login_) / 1e3);
            Say(line);
            QTimer::singleShot(0, this, [this] { Next(); });
        }
        return QObject::eventFilter(o, e);
    }

private:
    static bool Showing(const char* name) {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w->objectName() == name && w->isVisible()) return true;
        return false;
    }
    static QWidget* Window(const char* name) {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w->objectName() == name && w->isVisible()) return w;
        return nullptr;
    }
    void Start_Clock() {
        began_ = Steady::now();
        picks_ = 0;
    }
    double Wall_Ms() const {
        return std::chrono::duration<double, std::milli>(Steady::now() - began_).count() -
               picks_ * double(pcs::Auto_Pick_Interval_Ms);
    }
    void Log_In() {
        if (pcs::ui::Screen_Wait::Waiting()) {
            QTimer::singleShot(5, this, [this] { Log_In(); });
            return;
        }
        Say("login");
        // The keyboard is modal: its keys are touched from a timer running inside its loop, once the
        // keyboard is up and the station no longer waits (the lab database's check, which starts after
        // the login screen's first paint, ignores touches). A finger takes its time (Typing_Time from the
        // keyboard's opening): the keys are touched at once at the last one's moment; the clock starts there.
        auto* keys = new QTimer(this);
        keys->setInterval(1);
        const auto typing_done = Steady::now() + Typing_Time;
        connect(keys, &QTimer::timeout, this, [this, keys, typing_done] {
            if (pcs::ui::Screen_Wait::Waiting() || Steady::now() < typing_done) return;
            trace_at_login_ = trace_.Size();
            cpu_at_login_ = Cpu_Seconds();
            Start_Clock();
            if (!pcs::app::Type_On_Keyboard(Password)) return;
            keys->stop();
            phase_ = 2;
        });
        keys->start();
        if (auto* login = first_->findChild<QPushButton*>("cmd_Login")) login->click();
    }
    // A touch on NEXT as a finger makes it; the rack view answers it to the end before it returns.
    void Next() {
        if (pcs::ui::Screen_Wait::Waiting()) {
            QTimer::singleShot(5, this, [this] { Next(); });
            return;
        }
        QWidget* rack = Window("Form_Rack");
        QWidget* next = rack ? rack->findChild<QWidget*>("bttn_Nav_1") : nullptr;
        if (nexts_-- <= 0 || !next || !next->isVisible()) {
            QCoreApplication::exit(nexts_ < 0 ? 0 : 4);
            return;
        }
        Start_Clock();
        const QPointF at(next->width() / 2.0, next->height() / 2.0);
        const QPointF global = next->mapToGlobal(at);
        for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
            QMouseEvent touch(type, at, global, Qt::LeftButton,
                              type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton,
                              Qt::NoModifier);
            QApplication::sendEvent(next, &touch);
        }
        rack->repaint();
        char line[64];
        std::snprintf(line, sizeof line, "next %.3f", Wall_Ms());
        Say(line);
        QTimer::singleShot(0, this, [this] { Next(); });
    }

    QWidget* first_;
    bool log_in_;
    int nexts_;
    int phase_ = 0;
    int picks_ = 0;
    Steady::time_point began_;
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
        Watch watch(&bare, false, 0);
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
    Watch watch(station.Login_Screen(), true, Nexts);
    app.installEventFilter(&watch);
    return station.Run();
}

// ---- the parent --------------------------------------------------------------------------------------

struct Run_Times {
    double Shown = -1; // start to first window painted, wall seconds
    double Login = -1; // login touched to working forms drawn, wall seconds less the automatic pick
    double Login_Cpu = -1;
    double Login_Statements = -1; // seconds
    std::vector<double> Next;     // NEXT touched to the next rack drawn, wall seconds less the pick
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
    while (p.waitForReadyRead(60000) || p.canReadLine()) {
        while (p.canReadLine()) {
            const QByteArray line = p.readLine().trimmed();
            if (line == "shown")
                t.Shown = since();
            else if (line.startsWith("working ")) {
                const QList<QByteArray> f = line.split(' ');
                t.Login = f.value(1).toDouble() / 1e3;
                t.Login_Cpu = f.value(2).toDouble();
                t.Login_Statements = f.value(3, "-1").toDouble();
            } else if (line.startsWith("next ")) {
                t.Next.push_back(line.split(' ').value(1).toDouble() / 1e3);
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
    std::vector<double> bare, shown, login, login_cpu, own_over_statements, next;
    for (int i = 0; i < (smoke ? 1 : 7); ++i) {
        const Run_Times b = Run_Once({"--child", "bare"});
        const Run_Times s = Run_Once(station, trace);
        if (b.Shown <= 0 || s.Shown <= 0 || s.Login <= 0 || s.Login_Statements <= 0 || s.Next.empty()) {
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
        // The first NEXT after a login is the one a technician waits for most.
        next.insert(next.end(), s.Next.begin(), s.Next.end());
    }
    const double b = Median(bare), s = Median(shown), l = Median(login), c = Median(login_cpu),
                 n = Median(next);
    std::printf("bare Qt window shown %.0f ms; station's login screen shown %.0f ms; login to working forms "
                "drawn (%d racks, from the Enter) %.0f ms wall, %.0f ms busy, own busy / statements %.2f; "
                "NEXT to the next "
                "rack drawn %.0f ms wall (medians of %zu starts, %zu NEXTs; walls less the search's "
                "one-second automatic pick)\n",
                b * 1e3, s * 1e3, racks, l * 1e3, c * 1e3, Median(own_over_statements), n * 1e3, bare.size(),
                next.size());
    std::printf("figure: start-up to login screen shown / bare Qt window shown|%.2f|2|2\n", s / b);
    std::printf("figure: login to working forms drawn (%d racks), wall / bare window shown|%.2f|8|8\n", racks,
                l / b);
    std::printf("figure: NEXT to next rack drawn (%d racks), wall / bare window shown|%.2f|2|2\n", racks,
                n / b);
    return 0;
}
