// Wiring of the alert, the question, the status banner, the touch boundary and the picture folder.
#include "common/messages.h"
#include "support/temp_dir.h"
#include "ui/artwork.h"
#include "ui/form_message.h"
#include "ui/guarded.h"
#include "ui/pictures.h"
#include "ui/screen_ports.h"
#include "ui/touch_label.h"
#include "ui/twips.h"
#include "ui_fixture.h"

#include <QLabel>
#include <QTest>

#include <filesystem>
#include <fstream>

using namespace pcs;
using namespace pcs::test;
using namespace std::chrono_literals;
namespace fs = std::filesystem;

namespace {

struct ModalForms : ::testing::Test {
    Globals g = Screen_Globals();
    Manual_Clock clock{Time_Point{} + 500s};
    ui::Screen_Alerts alerts{g, clock};
};

} // namespace

TEST_F(ModalForms, AlertShowsTheTextKeepsTheStationAwakeAndGivesTheStateBack) {
    g.App_State = "ACTIVE";
    std::string seen_state, seen_text;
    When_Modal([&](QWidget* w) {
        seen_state = g.App_State;
        seen_text = w->findChild<QLabel*>("lbl_message")->text().toStdString();
        clock.Advance(7s);
        Touch(w->findChild<QWidget*>("lbl_ok"));
    });
    Show_Alert(alerts, std::string("Cannot connect to device"));
    EXPECT_EQ(seen_state, "IDLE");
    EXPECT_EQ(seen_text, "Cannot connect to device");
    EXPECT_EQ(g.App_State, "ACTIVE");
    EXPECT_EQ(g.Last_Activity, clock.Now());
}

TEST_F(ModalForms, QuestionAnswersByTouchAndByKey) {
    When_Modal([](QWidget* w) { Touch(w->findChild<QWidget*>("lbl_No")); });
    EXPECT_EQ(alerts.Ask_Yes_No("Rerun the sample?"), Answer_No);

    When_Modal([](QWidget* w) {
        EXPECT_EQ(w->findChild<QLabel*>("lbl_message")->font().pointSize(), 14);
        QTest::keyClick(w, Qt::Key_Y, Qt::ShiftModifier); // ignored
        QTest::keyClick(w, Qt::Key_Y, Qt::AltModifier);
    });
    EXPECT_EQ(alerts.Ask_Yes_No("Rerun the sample?"), Answer_Yes);

    When_Modal([](QWidget* w) { QTest::keyClick(w, Qt::Key_O); });
    EXPECT_EQ(alerts.Ask_Yes_No("Rerun the sample?", false, 18), Answer_Closed);
}

TEST_F(ModalForms, GuardedHandlerAlertsAndTheScreenCarriesOn) {
    Recording_Alerts recorded;
    ui::Guarded(recorded, [] { throw std::runtime_error("The lab database did not answer."); });
    ui::Guarded(recorded, [] { throw 42; });
    ui::Guarded(recorded, [] {});
    ASSERT_EQ(recorded.Alerts.size(), 2u);
    EXPECT_EQ(recorded.Alerts[0], "The lab database did not answer.");
    EXPECT_EQ(recorded.Alerts[1], ui::Unexpected_Error_Text);
}

TEST_F(ModalForms, StatusBannerKeepsItsFirstTextAndTheHeaderCaptionFollows) {
    QLabel caption;
    ui::Screen_Status status;
    status.Attach_Status_Label(&caption);
    EXPECT_EQ(Show_Status(status, g, std::string("SAVING RESULTS")), "");
    ASSERT_TRUE(status.Panel());
    EXPECT_TRUE(status.Panel()->isVisible());
    EXPECT_EQ(status.Show_Message_Panel_Text(), "SAVING RESULTS");
    EXPECT_EQ(Show_Status(status, g, std::string("LOADING")), "saving results");
    EXPECT_EQ(status.Show_Message_Panel_Text(), "SAVING RESULTS");
    EXPECT_EQ(caption.text(), "loading");
    EXPECT_FALSE(caption.isVisible());
    Show_Status(status, g, std::string());
    EXPECT_FALSE(status.Message_Panel_Showing());
}

TEST(Pictures, TheBuildDrewEveryPictureAndAMissingOneLeavesAFrame) {
    Globals g = Screen_Globals();
    for (const auto& a : ui::Station_Artwork()) {
        QPixmap p = ui::Read_Picture(ui::Picture_Path(g, a.Name));
        EXPECT_FALSE(p.isNull()) << a.Name;
        EXPECT_EQ(p.size(), a.Size) << a.Name;
    }
    ui::Touch_Label img("img_iso", "Procedure document");
    img.Set_Picture_Control(true);
    ui::Load_Picture(&img, ui::Picture_Path(g, "no_such_picture.png"));
    EXPECT_TRUE(img.Picture().isNull());
    ui::Load_Picture(&img, ui::Picture_Path(g, ui::Picture_Iso_Icon));
    EXPECT_FALSE(img.Picture().isNull());
    ui::Load_Picture(&img, ui::Picture_Path(g, "no_such_picture.png"));
    EXPECT_FALSE(img.Picture().isNull()); // left as it was
    img.resize(40, 40);
    EXPECT_FALSE(img.grab().isNull());

    EXPECT_EQ(ui::Twips_To_Pixels(13500, 96), 900);
}

// Pictures decoded ahead on their own thread are the pictures the files hold, a GIF-named file holding
// PNG data too; a file that is no picture, or one that appeared later, is read as before.
TEST(Pictures, APictureDecodedAheadIsTheFilesOwn) {
    test::Temp_Dir dir;
    const fs::path folder = dir.Path() / "pictures";
    fs::create_directories(folder);
    Globals g = Screen_Globals();
    const std::vector<std::string> names = {ui::Picture_Splash, ui::Picture_Iso_Icon, "bttn_bath_idle.gif"};
    for (const std::string& n : names)
        fs::copy_file(ui::Picture_Path(g, n), folder / n);
    std::ofstream(folder / "notes.txt") << "not a picture";
    {
        ui::Picture_Prefetch ahead(folder, {"bttn_bath_idle.gif"});
        ui::Picture_Prefetch second(folder, {}); // only one runs: this one does nothing
        fs::copy_file(ui::Picture_Path(g, ui::Picture_Config_Icon), folder / ui::Picture_Config_Icon);
        for (const std::string& n : names) {
            const QImage a = ui::Read_Picture(folder / n).toImage(),
                         b = QImage(QString::fromStdString((folder / n).string()));
            EXPECT_FALSE(a.isNull()) << n;
            EXPECT_EQ(a.convertToFormat(QImage::Format_ARGB32), b.convertToFormat(QImage::Format_ARGB32))
                << n;
        }
        EXPECT_TRUE(ui::Read_Picture(folder / "notes.txt").isNull());
        EXPECT_FALSE(ui::Read_Picture(folder / ui::Picture_Config_Icon).isNull());
    }
    // Stopped at once: another may run then, and a picture it never decoded is read from the file.
    { ui::Picture_Prefetch stopped(folder, {}); }
    ui::Picture_Prefetch again(folder, {ui::Picture_Splash});
    EXPECT_FALSE(ui::Read_Picture(folder / ui::Picture_Splash).isNull());
    EXPECT_EQ(ui::Twips_To_Pixels(15, 96), 1);
    EXPECT_EQ(ui::Twips_To_Pixels(1440, 144), 144);
}
