// The station's composition root as a technician meets it: a login on the on-screen keys brings up the
// working forms on the screen the station runs on, and the header's document button hands the
// procedure document's address to the site's browser.
#include "demo_script.h"
#include "lab_admin.h"
#include "station_app.h"
#include "station_options.h"
#include "support/temp_dir.h"

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <QWidget>

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
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

} // namespace

TEST(Station_App, ALoginShowsTheWorkingFormsOnTheScreenAndTheDocumentButtonOpensTheProcedure) {
    test::Temp_Dir dir;
    const fs::path lab = dir.Path() / "lab.db";
    embedded::Lab_Admin::Create(lab);
    std::string password;
    for (const auto& login : embedded::Lab_Admin(lab).Seed_Demo({14, 7}))
        if (login.Station == "PARTICLE COUNT" && !login.Dismissed && password.empty())
            password = login.Password;
    ASSERT_FALSE(password.empty());
    fs::copy_file(EXAMPLE_SETTINGS, dir.Path() / "settings.txt");
    // The site's browser: writes the address it was given where the test can read it.
    const fs::path opened = dir.Path() / "opened.txt", browser = dir.Path() / "browser";
    std::ofstream(browser) << "#!/bin/sh\nprintf '%s' \"$1\" > '" << opened.string() << "'\n";
    fs::permissions(browser, fs::perms::owner_all);
    ::setenv("PCSTATION_BROWSER", browser.c_str(), 1);
    ::setenv("PCSTATION_DOC_SERVER", "docs.lab.test:8080", 1);

    auto parsed = app::Parse_Station_Options(
        {"pcstation", "--folder", QString::fromStdString(dir.Path().string()), "--lab-db",
         QString::fromStdString(lab.string()), "--pictures", PCS_PICTURE_DIR},
        app::Process_Environment(), dir.Path());
    ASSERT_TRUE(parsed.Options) << parsed.Message;
    In_Folder here(dir.Path());
    ::setenv("PCSTATION_CONNECT", parsed.Options->Connect_String.c_str(), 1);
    {
        app::Station_App station(*parsed.Options);
        station.Login_Screen()->show();
        QTimer keys;
        QObject::connect(&keys, &QTimer::timeout, [&] {
            if (app::Type_On_Keyboard(QString::fromStdString(password))) keys.stop();
        });
        keys.start(10);
        station.Login_Screen()->findChild<QPushButton*>("cmd_Login")->click();
        ASSERT_TRUE(QTest::qWaitFor(
            [] { return Window("Form_Rack") && Window("Form_Test") && !QApplication::activeModalWidget(); },
            20000));

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
        app::Working_Forms_Picture().save(PCS_SCREENS_DIR "/working_forms.png");

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
    ::unsetenv("PCSTATION_CONNECT");
}

// Offscreen, the station's screen is the full-HD touch screen the run command gives it too.
int main(int argc, char** argv) {
    const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
    const fs::path screens =
        fs::temp_directory_path() / ("pcs-station-screen-" + std::to_string(::getpid()) + ".json");
    if (platform.isEmpty() || platform == "offscreen") {
        std::ofstream(screens) << R"({"screens": [{"name": "station", "x": 0, "y": 0, "width": 1920, )"
                               << R"("height": 1080, "logicalDpiX": 96, "logicalDpiY": 96, "dpr": 1}]})";
        qputenv("QT_QPA_PLATFORM", QByteArray("offscreen:configfile=") + screens.c_str());
    }
    int result = 0;
    {
        QApplication app(argc, argv);
        ::testing::InitGoogleTest(&argc, argv);
        result = RUN_ALL_TESTS();
    }
    fs::remove(screens);
    return result;
}
