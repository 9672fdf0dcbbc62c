#include "qt_serial_port.h"
#include "sample_photos.h"
#include "settings/settings.h"
#include "support/counter_sim_process.h"
#include "support/fake_ports.h"
#include "support/temp_dir.h"
#include "ui/form_action.h"
#include "ui/touch_label.h"

#include <QLabel>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <memory>

using namespace pcs;
using pcs::test::Counter_Sim;
using pcs::test::Recording_Alerts;
using pcs::ui::form_Action;
using pcs::ui::Touch_Label;

namespace {

struct Recording_Remover : Sample_Remover {
    std::vector<std::string> Codes;
    bool Remove_Sample(const std::string&, const std::string& code) override {
        Codes.push_back(code);
        return true;
    }
};

// The panel for one run on the Qt serial adapter, with the pictures the build drew.
struct Action_Rig {
    pcs::test::Temp_Dir share;
    Globals g;
    System_Clock clock;
    Recording_Alerts alerts;
    Recording_Remover remover;
    Settings_Collection settings;
    std::unique_ptr<Qt_Serial_Port> port;
    std::unique_ptr<form_Action> form;

    Action_Rig(const std::string& device, const std::string& lab) {
        Init_Colors(g);
        g.Common_Folder = PCS_PICTURE_DIR;
        settings.Add("COMM_PORT", Settings{"COMM_PORT", "1", "", "NORMAL", {}});
        settings.Add("COMM_DEVICE", Settings{"COMM_DEVICE", device, "", "NORMAL", {}});
        settings.Add("SAMPLE_IMAGE_SHARE",
                     Settings{"SAMPLE_IMAGE_SHARE", share.Path().string(), "", "NORMAL", {}});
        port = std::make_unique<Qt_Serial_Port>(Counter_Device_Path(settings));
        form = std::make_unique<form_Action>(g, clock, alerts, *port, remover, settings);
        form->Panel().Set_Run(Run::From_Id(lab), -1);
    }
    template <class T = QWidget> T* Find(const char* name) { return form->findChild<T*>(name); }
    void Touch(const char* name) {
        QWidget* w = Find(name);
        ASSERT_TRUE(w) << name;
        QTest::mouseClick(w, Qt::LeftButton);
    }
    // The modal show as the run sequence does it, with the technician's touches scripted meanwhile.
    int Exec(std::function<void()> meanwhile) {
        QTimer::singleShot(0, form.get(), std::move(meanwhile));
        // A failed expectation must not leave the test waiting forever in the modal loop.
        QTimer::singleShot(60000, form.get(), [this] { form->QDialog::done(-1); });
        return form->exec();
    }
};

bool Wait(const std::function<bool()>& cond, int ms = 15000) {
    return QTest::qWaitFor(cond, ms);
}

} // namespace

TEST(FormAction, CheckStandardCountsOnTheLiveCounterAndCloses) {
    Counter_Sim sim({"--count-time", "0.3"});
    ASSERT_FALSE(sim.Path.empty());
    Action_Rig rig(sim.Path, "CHECK");
    bool counting_drawn = false;
    const int result = rig.Exec([&] {
        ASSERT_TRUE(Wait([&] { return rig.form->Panel().Bffr() == "!H\r!REMOTE+\r"; }));
        EXPECT_EQ(rig.Find<QLabel>("lbl_Banner")->text(), "Run Process Control Sample");
        EXPECT_FALSE(rig.Find("img_action_0")->isVisible());
        EXPECT_FALSE(rig.Find("img_sample_0")->isVisible());
        pcs::test::Grab_Screen(*rig.form, "form_Action_check");
        rig.Touch("img_RunSample");
        counting_drawn = rig.Find("img_RunSample")->property("Tag").toString() == "RUN SAMPLE" &&
                         !rig.Find("img_Close")->isVisible() &&
                         rig.Find("img_RunSample")->accessibleName() == "Stop the count";
        // Closing while the count runs is refused; the report still ends the show.
        rig.Touch("img_Close");
        QTest::keyClick(rig.form.get(), Qt::Key_Escape);
    });
    EXPECT_TRUE(counting_drawn);
    EXPECT_EQ(result, QDialog::Accepted);
    EXPECT_EQ(rig.form->Panel().Action, "COUNT");
    EXPECT_NE(rig.form->Panel().Bffr().find("!LPR1"), std::string::npos);
    EXPECT_TRUE(rig.alerts.Alerts.empty());
    EXPECT_EQ(rig.g.App_State, "IDLE"); // until the caller unloads the panel
    rig.form->Unload();
    EXPECT_EQ(rig.g.App_State, "ACTIVE");
    EXPECT_TRUE(Wait([&] { return sim.Log().find("< S") != std::string::npos; }));
}

TEST(FormAction, SampleLayoutDrawsPicturesToggleAndRemoves) {
    Counter_Sim sim({"--count-time", "5"});
    ASSERT_FALSE(sim.Path.empty());
    Action_Rig rig(sim.Path, "01100663");
    pcs::test::Write_Sample_Photos(Sample_Picture_Folder(rig.share.Path()), "01100663", true, true);
    const int result = rig.Exec([&] {
        ASSERT_TRUE(Wait([&] { return rig.form->Panel().Bffr() == "!H\r!REMOTE+\r"; }));
        EXPECT_EQ(rig.Find<QLabel>("lbl_LabNumber")->text(), "Labnumber : 01100663");
        EXPECT_FALSE(rig.Find("lbl_Banner")->isVisible());
        EXPECT_EQ(rig.Find<QLabel>("lbl_action_desc_1")->text(), "TOO MUCH WATER PRESENT");
        EXPECT_FALSE(rig.Find<QLabel>("img_sample_0")->pixmap().isNull());
        EXPECT_FALSE(rig.Find<QLabel>("img_sample_1")->pixmap().isNull());
        // Every touch control says what it is.
        for (Touch_Label* t : rig.form->findChildren<Touch_Label*>())
            EXPECT_FALSE(t->accessibleName().isEmpty()) << t->objectName().toStdString();
        rig.Touch("lblDilution");
        EXPECT_EQ(rig.Find<QLabel>("lblDilution")->text(), "SAMPLE DILUTION\nDILUTION RATIO 1:10");
        EXPECT_EQ(rig.Find("shpDilution")->palette().color(QPalette::Window), QColor(101, 196, 115));
        EXPECT_EQ(rig.form->Panel().Dilution_Chosen, true);
        pcs::test::Grab_Screen(*rig.form, "form_Action_sample");
        // A reason answered No changes nothing.
        rig.Touch("lbl_action_desc_2");
        EXPECT_EQ(rig.alerts.Questions.size(), 1u);
        EXPECT_TRUE(rig.remover.Codes.empty());
        // "Remove from bath" ends the panel even while counting.
        rig.Touch("img_RunSample");
        rig.Touch("lbl_Remove");
    });
    EXPECT_EQ(result, QDialog::Accepted);
    EXPECT_EQ(rig.form->Panel().Action, "REMOVE");
    EXPECT_TRUE(rig.remover.Codes.empty());
}

TEST(FormAction, MissingPicturesMoveTheButtonsUpAndAReasonRemovesTheTest) {
    Counter_Sim sim({"--count-time", "5"});
    ASSERT_FALSE(sim.Path.empty());
    Action_Rig rig(sim.Path, "01100664");
    rig.alerts.Answers = {Answer_Yes};
    rig.Exec([&] {
        EXPECT_TRUE(rig.Find<QLabel>("img_sample_0")->pixmap().isNull());
        EXPECT_EQ(rig.Find("img_RunSample")->y(), rig.Find("img_sample_0")->y());
        EXPECT_EQ(rig.Find("img_Close")->y(), rig.Find("img_RunSample")->y());
        EXPECT_GE(rig.form->height(), rig.Find("img_RunSample")->geometry().bottom());
        rig.Touch("img_action_3");
    });
    EXPECT_EQ(rig.remover.Codes, (std::vector<std::string>{"TOO_DARK"}));
    EXPECT_EQ(rig.form->Panel().Action, "REMOVE");
    EXPECT_EQ(rig.alerts.Alerts, (std::vector<std::string>{"Sample was removed"}));
}

TEST(FormAction, CounterThatDoesNotAnswerLeavesAPanelThatCloses) {
    Action_Rig rig("/dev/pts/no-such-counter", "FLUSH");
    const int result = rig.Exec([&] {
        EXPECT_EQ(rig.alerts.Alerts, (std::vector<std::string>{"Cannot connect to device"}));
        EXPECT_EQ(rig.Find<QLabel>("lbl_Banner")->text(), "Flush required");
        rig.Touch("img_Close");
    });
    EXPECT_EQ(result, QDialog::Accepted);
    EXPECT_EQ(rig.form->Panel().Action, "");
}
