#include "counter/count_validation.h"
#include "sample_photos.h"
#include "support/counter_sim_process.h"
#include "support/station_rig.h"
#include "ui/form_action.h"
#include "ui/form_pcgrid.h"
#include "ui/touch_label.h"
#include "views/station_main_form.h"

#include <QCheckBox>
#include <QLabel>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <fstream>
#include <set>

using namespace pcs;
using pcs::test::Counter_Sim;
using pcs::test::Station_Rig;
using pcs::ui::form_Action;

namespace {

QString Text(QWidget& form, const QString& name) {
    auto* l = form.findChild<QLabel*>(name);
    return l ? l->text() : QString("<no %1>").arg(name);
}

void Touch(QWidget& form, const QString& name) {
    QWidget* w = form.findChild<QWidget*>(name);
    ASSERT_TRUE(w) << name.toStdString();
    QTest::mouseClick(w, Qt::LeftButton);
}

// The technician at the counter: whenever an action panel is up and the counter has answered remote
// mode, presses the run button (or the close button), and notes which run the panel was for.
class Technician : public QObject {
public:
    Technician(ui::Form_Test& form, bool close_instead = false) : form_(form), close_(close_instead) {
        connect(&timer_, &QTimer::timeout, this, [this] { Look(); });
        timer_.start(10);
    }
    std::vector<std::string> Runs;

private:
    void Look() {
        form_Action* a = form_.Action_Form();
        if (!a || !a->isVisible()) return;
        const Action_Panel& p = a->Panel();
        if (close_) {
            Runs.push_back(p.sLabNumber);
            QTest::mouseClick(a->findChild<QWidget*>("img_Close"), Qt::LeftButton);
            return;
        }
        if (p.Link.Run_Button_Tag != Run_Button_Tag_Stopped || !p.Bffr().ends_with("!REMOTE+\r")) return;
        Runs.push_back(p.sLabNumber);
        QTest::mouseClick(a->findChild<QWidget*>("img_RunSample"), Qt::LeftButton);
    }
    ui::Form_Test& form_;
    bool close_;
    QTimer timer_;
};

} // namespace

TEST(FormTest, SampleFromBathToSavedCountOnTheLiveCounter) {
    Counter_Sim sim({"--count-time", "0.2", "--check", "pass"});
    ASSERT_FALSE(sim.Path.empty());
    Station_Rig rig(sim.Path, PCS_PICTURE_DIR);
    ui::Form_Test& form = *rig.Form;
    form.show();
    EXPECT_EQ(Text(form, "lbl_Countdown"), "15");
    EXPECT_FALSE(form.findChild<QWidget*>("lbl_RackName")->isVisible());
    EXPECT_TRUE(form.History_Window().isVisible());

    // The rack view hands over the first sample of the rack in hand.
    rig.Take_Rack("PC-R001");
    const std::string lab = rig.Lab_Number(0);
    ASSERT_TRUE(rig.Hand_To_Bath(0));
    EXPECT_EQ(Text(form, "lbl_LabNumber_0").trimmed().toStdString(), lab);
    EXPECT_EQ(Text(form, "lbl_RackName"), "  PC-R001");
    EXPECT_TRUE(form.findChild<QWidget*>("lbl_RackName")->isVisible());
    EXPECT_FALSE(form.findChild<ui::Touch_Label*>("img_Bath_0")->Picture().isNull());
    EXPECT_TRUE(form.findChild<QWidget*>("lbl_State_0")->accessibleName().startsWith("Bath slot 1, "));

    // The bath timer shakes it, counts down and makes it ready.
    std::set<std::string> seen;
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            seen.insert(Text(form, "lbl_State_0").toStdString());
            return seen.count("START") > 0;
        },
        10000));
    EXPECT_TRUE(seen.count("SHAKE"));
    EXPECT_TRUE(seen.count("1") || seen.count("2"));

    // The first touch runs the check standard; its count is drawn on top of the table and as bars.
    Technician tech(form);
    Touch(form, "lbl_State_0");
    ASSERT_EQ(tech.Runs, (std::vector<std::string>{"CHECK"}));
    EXPECT_TRUE(rig.Alerts.Alerts.empty()) << rig.Alerts.Alerts.front();
    EXPECT_EQ(Text(form, "lbl_RunId_0"), "CHECK");
    const QString check_code = Text(form, "lbl_Value_0_0");
    EXPECT_FALSE(check_code.isEmpty());
    EXPECT_EQ(Text(form.History_Window(), "lbl_CODE"), check_code);
    EXPECT_GT(form.findChild<QWidget*>("shp_size_0")->height(), 0);
    EXPECT_EQ(Text(form, "lbl_Countdown"), "15");
    EXPECT_EQ(rig.G.App_State, "ACTIVE");
    EXPECT_TRUE(QTest::qWaitFor([&] { return !rig.Port->Is_Open(); }, 2000)); // closed after the drawing

    // Then the sample itself (after a flush when its history asks for one): saved, then the question.
    const std::string history = Text(form, "lbl_History_0").toStdString();
    for (int touches = 0; touches < 3 && tech.Runs.back() != lab; ++touches)
        Touch(form, "img_Bath_0");
    ASSERT_EQ(tech.Runs.back(), lab);
    EXPECT_EQ(Text(form, "lbl_RunId_0").toStdString(), lab);
    const std::string code = Text(form, "lbl_Value_0_0").toStdString();
    ASSERT_FALSE(rig.Alerts.Questions.empty());
    EXPECT_EQ(rig.Alerts.Questions.back(), Rerun_Question("PC-R001", code, history));
    embedded::Lab_Admin admin(rig.Lab_File);
    EXPECT_FALSE(admin.Results(lab).Rows.empty());
    // Answered No: the sample leaves the bath; the count-down moved by one.
    EXPECT_EQ(Text(form, "lbl_LabNumber_0"), "");
    EXPECT_EQ(Text(form, "lbl_Countdown"), "14");
    EXPECT_TRUE(rig.Alerts.Alerts.empty()) << rig.Alerts.Alerts.front();
}

TEST(FormTest, CounterThatDoesNotAnswerLeavesTheBathAsItWas) {
    Station_Rig rig("/dev/pts/no-such-counter", PCS_PICTURE_DIR);
    ui::Form_Test& form = *rig.Form;
    form.show();
    rig.Take_Rack("PC-R002");
    ASSERT_TRUE(rig.Hand_To_Bath(3));
    Technician tech(form, true);
    Touch(form, "lbl_LabNumber_0");
    EXPECT_EQ(tech.Runs, (std::vector<std::string>{"CHECK"}));
    EXPECT_EQ(rig.Alerts.Alerts, (std::vector<std::string>{"Cannot connect to device"}));
    EXPECT_EQ(form.Model().Current_Run().Id(), "");
    EXPECT_EQ(Text(form, "lbl_RunId_0"), "");
    EXPECT_EQ(Text(form, "lbl_LabNumber_0").trimmed().toStdString(), rig.Lab_Number(3));
    // The check standard is still due.
    EXPECT_EQ(Text(form, "lbl_Countdown"), "0");
    EXPECT_EQ(rig.G.App_State, "ACTIVE");
}

TEST(FormTest, RackNameRefreshDebugAndHistoryWindowFollowTheForm) {
    Station_Rig rig("/dev/pts/no-such-counter", PCS_PICTURE_DIR);
    ui::Form_Test& form = *rig.Form;
    std::string opened;
    QObject::connect(&form, &ui::Form_Test::Rack_Requested, [&](const std::string& rack) { opened = rack; });
    form.show();
    rig.Take_Rack("PC-R002");
    ASSERT_TRUE(rig.Hand_To_Bath(0));
    ASSERT_TRUE(rig.Hand_To_Bath(1));
    Touch(form, "lbl_RackName");
    EXPECT_EQ(opened, "PC-R002");

    // The refresh picture reloads the stored bath: both samples are back, ready at once.
    Touch(form, "img_Refresh");
    EXPECT_EQ(rig.Status.Panels_Shown, 1);
    EXPECT_EQ(Text(form, "lbl_LabNumber_1").trimmed().toStdString(), rig.Lab_Number(1));
    EXPECT_EQ(Text(form, "lbl_State_1"), "START");

    // The debug box is not on a working station's screen; on a development station it reaches the
    // counter link (with it ticked nothing is sent, so nothing fails) and the form says so.
    auto* debug = form.findChild<QCheckBox*>("chk_debug");
    EXPECT_FALSE(debug->isVisible());
    form.Allow_Debug(true);
    ASSERT_TRUE(debug->isVisible());
    EXPECT_FALSE(form.findChild<QWidget*>("lbl_Debug")->isVisible());
    debug->setChecked(true);
    EXPECT_TRUE(form.findChild<QWidget*>("lbl_Debug")->isVisible());
    EXPECT_TRUE(pcs::test::Grab_Screen(form, "main_form_debug"));
    Technician tech(form, true);
    Touch(form, "lbl_History_1");
    EXPECT_EQ(tech.Runs.size(), 1u);
    EXPECT_TRUE(rig.Alerts.Alerts.empty());

    // Hibernation hides the histogram and brings it back where it was.
    ui::form_pcGrid& grid = form.History_Window();
    grid.move(40, 620);
    form.Model().Hibernate();
    EXPECT_FALSE(grid.isVisible());
    grid.move(0, 0);
    form.Model().reActivate();
    EXPECT_TRUE(grid.isVisible());
    EXPECT_EQ(grid.pos(), QPoint(40, 620));
    // The operations with nothing to do for this station are there and harmless.
    Station_Main_Form as_the_rack_view_sees_it(form.Model());
    Main_Form_Port& main_form = as_the_rack_view_sees_it;
    EXPECT_FALSE(main_form.Rack_Refresh(true));
    EXPECT_FALSE(main_form.AllSaved());
    main_form.User_Login();
    main_form.Save_Results();
    main_form.Nav_End();
}

// What a technician sees in a working bath: grabbed for people to look at.
TEST(FormTest, BusyBathTableAndHistogramAreGrabbed) {
    Station_Rig rig("/dev/pts/no-such-counter", PCS_PICTURE_DIR, 60, 300);
    // Yesterday's rack stays in the bath over a restart.
    rig.Take_Rack("PC-R005");
    for (int p = 0; p < 4; ++p)
        rig.Hand_To_Bath(p);
    rig.New_Form();
    ui::Form_Test& form = *rig.Form;
    form.show();
    EXPECT_EQ(Text(form, "lbl_State_0"), "START");
    rig.Take_Rack("PC-R001");
    for (int p = 0; p < 12; ++p)
        rig.Hand_To_Bath(p);
    rig.Take_Rack("PC-R002");
    for (int p = 0; p < 6; ++p)
        rig.Hand_To_Bath(p);
    form.Model().Bath_Timer_Tick();
    bool oldest = false;
    for (int i = 0; i < Bath_Slot_Count; ++i)
        oldest = oldest || form.findChild<QWidget*>(QString("lbl_Oldest_%1").arg(i))->isVisible();
    EXPECT_TRUE(oldest);

    // Counts of the day, as toolbox single runs (shown, never saved).
    std::ifstream reports(EXAMPLES_DIR "/reports.txt");
    std::string line;
    for (int n = 0; n < 4 && std::getline(reports, line); ++n) {
        pcs::Run single = Run::Of_Kind(Run_Kind::Single);
        form.Model().process_data(single, line + "\r");
    }
    EXPECT_EQ(Text(form, "lbl_RunId_2"), "SINGLE");
    ui::form_pcGrid& grid = form.History_Window();
    const int before = grid.findChild<QWidget*>("shp_size_0")->height();
    Touch(grid, "chk_size_0");
    EXPECT_EQ(grid.findChild<QWidget*>("shp_size_0")->height(), 0);
    EXPECT_FALSE(form.Model().History_Graph.Checked()[0]);
    EXPECT_GT(grid.findChild<QWidget*>("shp_size_1")->height(), before > 0 ? 0 : -1);
    EXPECT_TRUE(pcs::test::Grab_Screen(form, "Form_Test_bath"));
    EXPECT_TRUE(pcs::test::Grab_Screen(grid, "form_pcGrid"));
}
