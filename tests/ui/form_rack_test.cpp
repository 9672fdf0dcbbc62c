// The rack view and the rack search as the technician touches them, on an embedded lab database: the
// wiring of touches, keys and a barcode scan to the models, the exit through the login screen, and
// the PNGs of both screens.

#include "ui_fixture.h"
#include "views/views_fixture.h"

#include "shell/login_screen.h"
#include "support/scripted_serial_port.h"
#include "support/station_rig.h"
#include "ui/form_rack.h"
#include "ui/form_search.h"
#include "ui/rack_main_form.h"
#include "ui/touch_label.h"
#include "views/station_main_form.h"

#include <QLabel>
#include <QListWidget>
#include <QTest>

using namespace pcs;
using namespace pcs::test;
using pcs::ui::Form_Rack;
using pcs::ui::Form_Search;

namespace {

// The login screen's orderly exit on a recorded counter port.
class Login_Exit : public App_Exit_Port, private Login_View {
public:
    Login_Exit(Globals& g, const Clock& c, Employee& e, Alert_Port& a, const Settings_Collection& s)
        : login_(g, c, e, a, *this), settings_(s) {}
    Scripted_Serial_Port Port;
    bool Ended = false;
    void App_Exit() override { login_.App_Exit(&Port, &settings_); }

private:
    Keyboard_Answer Ask_Password(const std::string&, const std::string&) override { return {}; }
    void Show_Login_Screen() override {}
    void Hide_Login_Screen() override {}
    void Timer1_Changed(bool) override {}
    void End_Program() override { Ended = true; }
    Login_Screen login_;
    const Settings_Collection& settings_;
};

class Form_Rack_Test : public Rack_Lab {
protected:
    void SetUp() override {
        Rack_Lab::SetUp();
        G.Common_Folder = PCS_PICTURE_DIR;
        Exit = std::make_unique<Login_Exit>(G, Clock, *Emp, Alerts, Rack_->Settings);
        Form = std::make_unique<Form_Rack>(
            ui::Form_Rack_Parts{G, Clock, *Rack_, *Emp, Status, Alerts, Main, *Exit});
        // The main form's cells and its layout call, as its load and Init make them.
        Form->Model().rack_width = static_cast<int16_t>(95 * 15);
        Form->Model().rack_height = static_cast<int16_t>(75 * 15);
        Form->show();
        Form->Load();
        Form->Resize_Rack(0, 72 * 15);
    }
    template <class T = QWidget> T* Control(const QString& name) { return Form->findChild<T*>(name); }
    bool Shown(const QString& name) { return Control(name) && Control(name)->isVisible(); }

    std::unique_ptr<Login_Exit> Exit;
    std::unique_ptr<Form_Rack> Form;
};

} // namespace

TEST_F(Form_Rack_Test, NavigationButtonsShowAndHideAsTheRackMoves) {
    EXPECT_EQ(Rack_->Rack_Desc, "RACK-C");
    EXPECT_FALSE(Shown("bttn_Nav_0"));
    EXPECT_TRUE(Shown("bttn_Nav_1"));
    EXPECT_TRUE(Shown("bttn_Nav_2"));
    Touch(Control("bttn_Nav_1"));
    EXPECT_EQ(Control<QLabel>("lbl_rackDesc")->text(), "RACK-B");
    EXPECT_TRUE(Shown("bttn_Nav_0") && Shown("bttn_Nav_1"));
    Touch(Control("bttn_Nav_1"));
    EXPECT_EQ(Rack_->Rack_Desc, "RACK-A");
    EXPECT_FALSE(Shown("bttn_Nav_1"));
    EXPECT_EQ(Holder("RACK-B"), "");
    EXPECT_EQ(Holder("RACK-A"), "101");
    EXPECT_EQ(Form->Searches_Shown, 0);

    // A priority filter with one rack picks it unseen and hides all three buttons.
    ASSERT_TRUE(Shown("img_rush"));
    Touch(Control("img_rush"));
    EXPECT_EQ(Rack_->Rack_Desc, "RACK-B");
    EXPECT_FALSE(Shown("bttn_Nav_0") || Shown("bttn_Nav_1") || Shown("bttn_Nav_2"));
    EXPECT_EQ(Form->Searches_Shown, 0);
}

TEST_F(Form_Rack_Test, ALabNumberOnThePadOrFromAScannerFindsItsRack) {
    When_Modal([](QWidget* dialog) {
        for (const char* key : {"lbl_no_1", "lbl_no_0", "lbl_no_0", "lbl_no_0", "lbl_no_0", "lbl_no_2"})
            Touch(dialog->findChild<QWidget*>(key));
        EXPECT_EQ(dialog->findChild<QLabel*>("txt_wo")->text(), "100002");
        Touch(dialog->findChild<QWidget*>("lbl_Go"));
    });
    Touch(Control("bttn_Nav_2"));
    EXPECT_EQ(Rack_->Rack_Desc, "RACK-A");
    EXPECT_EQ(Form->Model().Selected_Sample, "00100002");
    EXPECT_EQ(Form->Model().Cells[1].Back, G.Colors.Color_White);

    // A scanner types the lab number and Enter into the dialog; letters from it are refused.
    When_Modal([](QWidget* dialog) {
        QTest::keyClicks(dialog, "AB12");
        QTest::keyClick(dialog, Qt::Key_Return);
        EXPECT_EQ(dialog->findChild<QLabel*>("txt_wo")->text(), "");
        QTest::keyClicks(dialog, "00100006");
        QTest::keyClick(dialog, Qt::Key_Return);
    });
    Touch(Control("bttn_Nav_2"));
    EXPECT_EQ(Rack_->Rack_Desc, "RACK-C");
    EXPECT_EQ(Form->Model().Selected_Sample, "00100006");
    ASSERT_EQ(Alerts.Alerts.size(), 1u);
    EXPECT_NE(Alerts.Alerts[0].find("\"AB12\" is not a lab number"), std::string::npos);
    EXPECT_EQ(Form->Searches_Shown, 2);
}

TEST_F(Form_Rack_Test, TouchingACellAndLeavingTheProgram) {
    Touch(Control("lbl_sample_0"));
    EXPECT_EQ(Main.Calls.back(), "Process_Sample 0 " + Lab_Numbers[5] + " READY");
    EXPECT_EQ(Form->Model().img_save_Picture, "bttn_save_on.jpg");

    Touch(Control("lbl_Exit"));
    EXPECT_EQ(Holder("RACK-C"), "");
    EXPECT_NE(Exit->Port.Written.find("REMOTE-\r"), std::string::npos);
    EXPECT_TRUE(Exit->Ended);
}

TEST_F(Form_Rack_Test, ScreensGrabbedForPeopleToLookAt) {
    // A rack as a technician meets it: priorities, a retest, counted samples, weights, an empty slot.
    embedded::Lab_Admin admin(Lab_File);
    std::vector<std::string> n = admin.New_Lab_Numbers("VOLMAR", 17);
    std::vector<std::string> places = n;
    places[6] = "";
    admin.Route_Rack({"PC-R00042-NIGHTSHIFT", "VOLMAR", "PrtCount", places, "NORMAL", ""});
    auto in = [&](std::initializer_list<int> k) {
        std::string list;
        for (int i : k)
            list += (list.empty() ? "'" : ", '") + n[i] + "'";
        return "(" + list + ")";
    };
    auto ids = [&](std::initializer_list<int> k) {
        return "(select LAB_ID from lab.dbo.samples where LAB_NUMBER in " + in(k) + ")";
    };
    ASSERT_TRUE(
        Db->Execute_SQL("update lab.dbo.samples set PRIORITY = 'RUSH' where LAB_NUMBER in " + in({1, 9})));
    ASSERT_TRUE(
        Db->Execute_SQL("update lab.dbo.samples set PRIORITY = 'URGENT' where LAB_NUMBER in " + in({3})));
    ASSERT_TRUE(Db->Execute_SQL("update lab.dbo.samples set PRIORITY = 'CRITICAL' where LAB_NUMBER in " +
                                in({4, 14})));
    ASSERT_TRUE(Db->Execute_SQL("update lab.dbo.samples set DESIRED_WEIGHT = '5.0' where LAB_NUMBER in " +
                                in({5, 11})));
    ASSERT_TRUE(
        Db->Execute_SQL("update lab.dbo.lab_tracking set RUN_NO = 2 where LAB_ID in " + ids({2, 12})));
    ASSERT_TRUE(Db->Execute_SQL("update lab.dbo.lab_tracking set STATUS = 'PENDING' where LAB_ID in " +
                                ids({7, 8, 15})));
    Form->Model().Refresh_Priority();
    Form->Get_Racks(-1, "PC-R00042-NIGHTSHIFT");
    ASSERT_EQ(Rack_->Rack_Desc, "PC-R00042-NIGHTSHIFT");
    Touch(Control("lbl_sample_5"));
    Form->resize(1280, 1024);
    QApplication::processEvents();
    Grab(Form.get(), "form_rack");

    When_Modal([](QWidget* dialog) {
        for (const char* key : {"lbl_no_1", "lbl_no_2", "lbl_no_3", "lbl_no_4"})
            Touch(dialog->findChild<QWidget*>(key));
        dialog->findChild<QListWidget*>("lst_os")->setCurrentRow(1);
        Grab(dialog, "form_search");
        Touch(dialog->findChild<QWidget*>("lbl_exit"));
    });
    Touch(Control("bttn_Nav_2"));
    EXPECT_EQ(Rack_->Rack_Desc, "PC-R00042-NIGHTSHIFT");
}

TEST(Form_Rack_Station, ACellTouchedOnTheRackViewEntersTheMainFormsBath) {
    Station_Rig rig("/dev/pcs-no-counter", PCS_PICTURE_DIR);
    rig.G.Test_Code = "PrtCount";
    Recording_Exit exit;
    Station_Main_Form main_form(rig.Form->Model());
    Form_Rack rack(ui::Form_Rack_Parts{rig.G, rig.Clock, *rig.Current_Rack, *rig.Technician, rig.Status,
                                       rig.Alerts, main_form, exit});
    ui::Join_Main_Form_And_Rack(*rig.Form, rack);
    rack.show();
    rack.Load();
    ASSERT_FALSE(rig.Current_Rack->Rack_Desc.empty());
    EXPECT_TRUE(rig.Form->isVisible()); // shown by the rack view, above it
    EXPECT_EQ(rig.Form->parentWidget(), &rack);
    EXPECT_GT(rack.findChild<QWidget*>("shp_rackPanel")->y(), 0); // laid out under the priority row
    // Every touch control stands inside the window, none above its top edge.
    for (const char* name :
         {"bttn_Nav_0", "bttn_Nav_1", "bttn_Nav_2", "img_Priority", "img_save", "img_Exit"}) {
        const QWidget* w = rack.findChild<QWidget*>(name);
        ASSERT_TRUE(w) << name;
        EXPECT_GE(w->y(), 0) << name;
        EXPECT_LE(w->geometry().bottom(), rack.height()) << name;
    }
    Grab(&rack, "form_rack_joined");

    const std::string lab = rig.Lab_Number(0);
    Touch(rack.findChild<QWidget*>("lbl_sample_0"));
    EXPECT_EQ(rig.Form->Model().Slots[0].Lab_Number, lab + " ");
    EXPECT_EQ(rack.Model().Selected_Sample, lab);
    EXPECT_TRUE(rack.Model().Results_Saved);

    // The rack name on the main form opens the rack view on that rack.
    const std::string first = rig.Current_Rack->Rack_Desc;
    rack.Get_Racks(-1, first == "PC-R001" ? "PC-R002" : "PC-R001");
    ASSERT_NE(rig.Current_Rack->Rack_Desc, first);
    emit rig.Form->Rack_Requested(first);
    EXPECT_EQ(rig.Current_Rack->Rack_Desc, first);
    rack.Unload();
}
