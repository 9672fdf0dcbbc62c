// Two ratios from one run:
//  - start of the program to the login screen shown, over a bare Qt window's start (goal: at most 2);
//  - a touch on a key to its text painted in the input box, over 1/10 of a 60 Hz frame (goal: below 1).
#include "common/globals.h"
#include "common/ports.h"
#include "ui/fonts.h"
#include "ui/form_keyinput.h"
#include "ui/pictures.h"
#include "ui/touch_label.h"

#include <QApplication>
#include <QLineEdit>
#include <QProcess>
#include <QTest>

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <vector>

using Steady = std::chrono::steady_clock;

namespace {

struct Silent_Alerts : pcs::Alert_Port {
    void Alert(const std::string&) override {}
    int Ask_Yes_No(const std::string&, bool, int) override { return pcs::Answer_No; }
};

double Start_Seconds(const char* mode) {
    auto t0 = Steady::now();
    QProcess p;
    p.start(SHELL_START_PATH, {mode});
    if (!p.waitForFinished(60000) || p.exitCode() != 0) return -1;
    return std::chrono::duration<double>(Steady::now() - t0).count();
}

void BM_Start_Login_vs_Bare(benchmark::State& state) {
    std::vector<double> bare, login;
    for (auto _ : state) {
        bare.push_back(Start_Seconds("bare"));
        login.push_back(Start_Seconds("login"));
    }
    auto median = [](std::vector<double> v) {
        std::sort(v.begin(), v.end());
        return v[v.size() / 2];
    };
    const double b = median(bare), l = median(login);
    if (b <= 0 || l <= 0) {
        state.SkipWithError("the start program failed");
        return;
    }
    state.counters["bare_ms"] = b * 1000;
    state.counters["login_ms"] = l * 1000;
    state.counters["ratio_login_over_bare"] = l / b;
}

// Counts the paints of the input box, so a touch is timed until its text is on the screen.
struct Paint_Watch : QObject {
    int Paints = 0;
    bool eventFilter(QObject* o, QEvent* e) override {
        if (e->type() == QEvent::Paint) ++Paints;
        return QObject::eventFilter(o, e);
    }
};

void BM_Key_Touch_To_Text(benchmark::State& state) {
    pcs::Globals g;
    pcs::Init_Colors(g);
    g.Common_Folder = pcs::ui::Default_Picture_Folder().string();
    Silent_Alerts alerts;
    pcs::ui::Form_KeyInput keyboard(g, alerts);
    keyboard.Set_Prompt("Enter Password");
    keyboard.Set_Mask("*");
    keyboard.show();
    QApplication::processEvents();
    QLineEdit* box = keyboard.txt_Input();
    Paint_Watch watch;
    box->installEventFilter(&watch);
    QWidget* key = keyboard.lbl_Key(17); // "Y"
    std::vector<double> ms;
    for (auto _ : state) {
        if (box->text().size() > 40) box->clear();
        QApplication::processEvents();
        const int before = watch.Paints;
        auto t0 = Steady::now();
        QTest::mouseClick(key, Qt::LeftButton, {}, key->rect().center());
        while (watch.Paints == before)
            QApplication::processEvents(QEventLoop::AllEvents, 5);
        ms.push_back(std::chrono::duration<double, std::milli>(Steady::now() - t0).count());
    }
    std::sort(ms.begin(), ms.end());
    const double median = ms[ms.size() / 2];
    state.counters["touch_to_text_ms"] = median;
    state.counters["ratio_over_tenth_frame"] = median / (1000.0 / 60.0 / 10.0);
    std::printf("key touch to its text painted / a tenth of a 60 Hz frame = %.4f (median %.3f ms)\n",
                median / (1000.0 / 60.0 / 10.0), median);
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    bool smoke = argc > 1 && std::strcmp(argv[1], "--smoke") == 0;
    QApplication app(argc, argv);
    pcs::ui::Install_Font_Substitutes();
    benchmark::RegisterBenchmark("start/login_vs_bare", BM_Start_Login_vs_Bare)
        ->Iterations(smoke ? 1 : 15)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("keyboard/touch_to_text", BM_Key_Touch_To_Text)
        ->Iterations(smoke ? 5 : 300)
        ->Unit(benchmark::kMicrosecond);
    int bargc = 1;
    benchmark::Initialize(&bargc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
