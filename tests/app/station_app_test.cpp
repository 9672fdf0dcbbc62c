// The station's composition root as a technician meets it: a login on the on-screen keys brings up the
// working forms on the screen the station runs on, and the header's document button hands the
// procedure document's address to the site's browser.
#include "lab_admin.h"
#include "screen_fit.h"
#include "station_app.h"
#include "station_options.h"
#include "support/temp_dir.h"
#include "touch_script.h"

#include <QApplication>
#include <QCursor>
#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <QWidget>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <memory>
#include <optional>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace pcs;

namespace {

QWidget* Window(const char* name) {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->objectName() == name && w->isVisible()) return w;
    return nullptr;
}

QRect Global_Rect(const QWidget* w) {
    return QRect(w->mapToGlobal(QPoint(0, 0)), w->size());
}

// Runs in the station's program folder, as pcstation does, and goes back afterwards.
struct In_Folder {
    fs::path before = fs::current_path();
    explicit In_Folder(const fs::path& p) { fs::current_path(p); }
    ~In_Folder() { fs::current_path(before); }
};

// The scale the station's start-up chose for the test's screen.
double Chosen_Factor = 0;

// A seeded embedded lab in a folder of its own and the station on it, logged in on the on-screen keys
// with the working forms up. The station runs in its program folder, as pcstation does.
struct Logged_In_Station {
    test::Temp_Dir dir;
    fs::path lab = dir.Path() / "lab.db";
    std::string password;
    std::optional<In_Folder> here;
    std::unique_ptr<app::Station_App> station;

    Logged_In_Station() {
        embedded::Lab_Admin::Create(lab);
        for (const auto& login : embedded::Lab_Admin(lab).Seed_Demo({14, 7}))
            if (login.Station == "PARTICLE COUNT" && !login.Dismissed && password.empty())
                password = login.Password;
        fs::copy_file(EXAMPLE_SETTINGS, dir.Path() / "settings.txt");
    }
    ~Logged_In_Station() {
        station.reset();
        ::unsetenv("PCSTATION_CONNECT");
    }
    // Starts the station.
    bool Start(const QStringList& more = {}) {
        auto parsed = app::Parse_Station_Options(
            QStringList{"pcstation", "--folder", QString::fromStdString(dir.Path().string()), "--lab-db",
                        QString::fromStdString(lab.string()), "--pictures", PCS_PICTURE_DIR} +
                more,
            app::Process_Environment(), dir.Path());
        if (!parsed.Options || password.empty()) return false;
        here.emplace(dir.Path());
        ::setenv("PCSTATION_CONNECT", parsed.Options->Connect_String.c_str(), 1);
        station = std::make_unique<app::Station_App>(*parsed.Options);
        station->Login_Screen()->show();
        return true;
    }
    // Touches Login and types the password on the on-screen keys.
    void Touch_Login(const std::string& typed) {
        QTimer keys;
        QObject::connect(&keys, &QTimer::timeout, [&] {
            if (app::Type_On_Keyboard(QString::fromStdString(typed))) keys.stop();
        });
        keys.start(10);
        station->Login_Screen()->findChild<QPushButton*>("cmd_Login")->click();
    }
    static bool Working_Forms_Up() {
        return QTest::qWaitFor(
            [] { return Window("Form_Rack") && Window("Form_Test") && !QApplication::activeModalWidget(); },
            20000);
    }
    // Starts the station and logs in; false when the working forms did not come up.
    bool Log_In() {
        if (!Start()) return false;
        Touch_Login(password);
        return Working_Forms_Up();
    }
};

} // namespace

TEST(Station_App, ALoginShowsTheWorkingFormsOnTheScreenAndTheDocumentButtonOpensTheProcedure) {
    Logged_In_Station s;
    // The site's browser: writes the address it was given where the test can read it.
    const fs::path opened = s.dir.Path() / "opened.txt", browser = s.dir.Path() / "browser";
    std::ofstream(browser) << "#!/bin/sh\nprintf '%s' \"$1\" > '" << opened.string() << "'\n";
    fs::permissions(browser, fs::perms::owner_all);
    ::setenv("PCSTATION_BROWSER", browser.c_str(), 1);
    ::setenv("PCSTATION_DOC_SERVER", "docs.lab.test:8080", 1);
    ASSERT_TRUE(s.Log_In());
    {
        // Every working form stands on the screen, none past its edge.
        const QRect screen = QApplication::primaryScreen()->geometry();
        for (const char* name : {"Form_Rack", "Form_Test", "Form_Header", "form_pcGrid"}) {
            QWidget* w = Window(name);
            ASSERT_TRUE(w) << name;
            EXPECT_TRUE(screen.contains(w->frameGeometry())) << name;
        }
        // The main form under the header bar; the histogram beside it, clear of the rack view's buttons.
        QWidget* main_form = Window("Form_Test");
        QWidget* histogram = Window("form_pcGrid");
        EXPECT_EQ(main_form->y(), Window("Form_Header")->frameGeometry().bottom() + 1);
        EXPECT_LE(histogram->frameGeometry().right(), main_form->x());
        for (const char* name : {"img_save", "img_Exit", "bttn_Nav_0", "bttn_Nav_2", "img_Priority"}) {
            const QWidget* control = Window("Form_Rack")->findChild<QWidget*>(name);
            ASSERT_TRUE(control) << name;
            EXPECT_FALSE(Global_Rect(control).intersects(histogram->frameGeometry())) << name;
            EXPECT_FALSE(Global_Rect(control).intersects(Window("Form_Header")->frameGeometry())) << name;
        }

        // Cells touched on the rack view go into the main form's bath: the two forms are joined.
        for (int cell = 0; cell < 4; ++cell)
            QTest::mouseClick(Window("Form_Rack")->findChild<QWidget*>(QString("lbl_sample_%1").arg(cell)),
                              Qt::LeftButton);
        int filled = 0;
        for (int slot = 0; slot < 30; ++slot)
            if (auto* l = main_form->findChild<QLabel*>(QString("lbl_LabNumber_%1").arg(slot)))
                filled += !l->text().trimmed().isEmpty();
        EXPECT_EQ(filled, 4);
        QTest::qWait(1200); // a bath tick: the slots show their state
        QDir().mkpath(PCS_SCREENS_DIR);
        app::Screen_Picture().save(PCS_SCREENS_DIR "/working_forms.png");

        QWidget* iso = Window("Form_Header")->findChild<QWidget*>("img_iso");
        ASSERT_TRUE(iso);
        QTest::mouseClick(iso, Qt::LeftButton);
        ASSERT_TRUE(QTest::qWaitFor([&] { return fs::exists(opened) && fs::file_size(opened) > 0; }, 10000));
        std::ifstream in(opened);
        std::string address((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        EXPECT_EQ(address, "http://docs.lab.test:8080/DocsOnLine//ISO9001-2000/LWI/LWI-PC-001.pdf");
    }
    ::unsetenv("PCSTATION_BROWSER");
    ::unsetenv("PCSTATION_DOC_SERVER");
}

// The working forms are built while a password is checked, and loaded only once one is accepted: a refused
// password leaves them unshown with nothing of the lab read, and the next login brings them up.
TEST(Station_App, ARefusedPasswordReadsNothingOfTheLabAndTheNextLoginBringsUpTheForms) {
    Logged_In_Station s;
    const fs::path trace = s.dir.Path() / "statements.jsonl";
    ASSERT_TRUE(s.Start({"--sql-trace", QString::fromStdString(trace.string())}));
    // What stands when the refusal is told, and the alert closed as a finger would.
    bool alerted = false, built = false, shown = true;
    QTimer alert;
    QObject::connect(&alert, &QTimer::timeout, [&] {
        QWidget* m = QApplication::activeModalWidget();
        if (!m || m->objectName() != "Form_Alert") return;
        alert.stop();
        alerted = true;
        for (QWidget* w : QApplication::topLevelWidgets())
            built = built || w->objectName() == "Form_Rack";
        shown = Window("Form_Rack") || Window("Form_Test");
        m->close();
    });
    alert.start(10);
    s.Touch_Login(s.password + "9");
    EXPECT_TRUE(alerted);
    EXPECT_TRUE(built);
    EXPECT_FALSE(shown);
    std::ifstream in(trace);
    std::string statements((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_NE(statements.find("validate_password"), std::string::npos);
    EXPECT_EQ(statements.find("labrack."), std::string::npos) << statements;

    s.Touch_Login(s.password);
    ASSERT_TRUE(s.Working_Forms_Up());
    const QString rack = Window("Form_Rack")->findChild<QLabel*>("lbl_rackDesc")->text().trimmed();
    EXPECT_FALSE(rack.isEmpty());
}

// A kiosk station: the login screen fills the screen and the pointer is hidden for the whole program.
TEST(Station_App, AKioskStationFillsTheScreenWithoutAPointer) {
    Logged_In_Station s;
    auto parsed = app::Parse_Station_Options(
        {"pcstation", "--kiosk", "--folder", QString::fromStdString(s.dir.Path().string()), "--lab-db",
         QString::fromStdString(s.lab.string()), "--pictures", PCS_PICTURE_DIR},
        app::Process_Environment(), s.dir.Path());
    ASSERT_TRUE(parsed.Options) << parsed.Message;
    In_Folder here(s.dir.Path());
    ::setenv("PCSTATION_CONNECT", parsed.Options->Connect_String.c_str(), 1);
    app::Station_App station(*parsed.Options);
    bool full = false, no_pointer = false, shown = false;
    QTimer::singleShot(1500, [&] {
        QWidget* login = station.Login_Screen();
        full = login->windowState().testFlag(Qt::WindowFullScreen);
        const QCursor* cursor = QGuiApplication::overrideCursor();
        no_pointer = cursor && cursor->shape() == Qt::BlankCursor;
        shown = login->isVisible();
        QApplication::exit(0);
    });
    EXPECT_EQ(station.Run(), 0);
    EXPECT_TRUE(full);
    EXPECT_TRUE(no_pointer);
    EXPECT_TRUE(shown);
    QGuiApplication::restoreOverrideCursor(); // the next test's station is no kiosk
}

// The screen this run stands for (PCS_TEST_SCREEN, e.g. 1366x768@2: its size in logical pixels and its
// pixel ratio): the working forms, scaled to it by the station's start-up, fit it side by side, and
// every touch control keeps at least 28 of the screen's pixels on its short side.
TEST(Station_Screen, TheWorkingFormsFitTheScreenScaledAsOneWhole) {
    Logged_In_Station s;
    ASSERT_TRUE(s.Log_In());
    const QScreen* screen = QApplication::primaryScreen();
    const QRect area = screen->geometry();
    // The start-up chose a scale for this screen: below 1 on the small ones, above on the large.
    EXPECT_EQ(Chosen_Factor < 1, area.width() < app::Working_Area_Design.width() ||
                                     area.height() < app::Working_Area_Design.height());

    // The rack view stands behind the others: its working part is its panel with the rows of buttons
    // above and below it.
    QWidget* rack = Window("Form_Rack");
    QRect rack_part;
    for (QWidget* w : rack->findChildren<QWidget*>())
        if (w->isVisible() && !w->isWindow() && w->parentWidget() == rack) rack_part |= Global_Rect(w);
    std::vector<std::pair<std::string, QRect>> windows{{"rack view", rack_part}};
    for (const char* name : {"Form_Header", "Form_Test", "form_pcGrid"})
        windows.emplace_back(name, Window(name)->frameGeometry());
    for (size_t i = 0; i < windows.size(); ++i) {
        EXPECT_TRUE(area.contains(windows[i].second)) << windows[i].first;
        for (size_t j = i + 1; j < windows.size(); ++j)
            EXPECT_FALSE(windows[i].second.intersects(windows[j].second))
                << windows[i].first << " overlaps " << windows[j].first;
    }

    // A touch control answers clicked(); controls of one touch area (a bath slot) count as one.
    std::map<QString, QRect> areas;
    for (const char* name : {"Form_Rack", "Form_Header", "Form_Test", "form_pcGrid"})
        for (QWidget* w : Window(name)->findChildren<QWidget*>()) {
            if (!w->isVisible() || w->metaObject()->indexOfSignal("clicked()") < 0) continue;
            const QString group = w->property("touch_area").toString();
            areas[group.isEmpty() ? w->objectName() : group] |= Global_Rect(w);
        }
    EXPECT_GT(areas.size(), 20u);
    for (const auto& [name, r] : areas)
        EXPECT_GE(std::min(r.width(), r.height()), 28)
            << name.toStdString() << " is " << r.width() << "x" << r.height();

    QDir().mkpath(PCS_SCREENS_DIR);
    const QString shot = QString(PCS_SCREENS_DIR "/working_%1x%2@%3.png")
                             .arg(area.width())
                             .arg(area.height())
                             .arg(screen->devicePixelRatio());
    EXPECT_TRUE(app::Screen_Picture().save(shot));
}

// Offscreen, the station's screen is PCS_TEST_SCREEN (WIDTHxHEIGHT@RATIO), else the full-HD touch
// screen the run command gives it too; the station's own start-up scales the forms to it.
int main(int argc, char** argv) {
    const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
    const fs::path screens =
        fs::temp_directory_path() / ("pcs-station-screen-" + std::to_string(::getpid()) + ".json");
    if (platform.isEmpty() || platform == "offscreen") {
        int width = 1920, height = 1080, ratio = 1;
        if (const char* want = std::getenv("PCS_TEST_SCREEN"))
            std::sscanf(want, "%dx%d@%d", &width, &height, &ratio);
        // The offscreen screen's size is in its logical pixels, as the station sees it.
        std::ofstream(screens) << R"({"screens": [{"name": "station", "x": 0, "y": 0, "width": )" << width
                               << R"(, "height": )" << height
                               << R"(, "logicalDpiX": 96, "logicalDpiY": 96, "dpr": )" << ratio << "}]}";
        qputenv("QT_QPA_PLATFORM", QByteArray("offscreen:configfile=") + screens.c_str());
    }
    int result = 0;
    {
        QApplication app(argc, argv);
        Chosen_Factor = app::Scale_To_Screen();
        ::testing::InitGoogleTest(&argc, argv);
        result = RUN_ALL_TESTS();
    }
    fs::remove(screens);
    return result;
}
