// A demo technician logs in on the embedded lab database by touching the on-screen keys; the header
// and the working forms appear. Also the refused and the failing check, the toolbox, and the PNGs.
#include "common/messages.h"
#include "common/text.h"
#include "embedded_fixture.h"
#include "shell/key_input.h"
#include "ui/form_alertyesno.h"
#include "ui/form_extras.h"
#include "ui/form_header.h"
#include "ui/form_keyinput.h"
#include "ui/form_login.h"
#include "ui/form_message.h"
#include "ui/screen_ports.h"
#include "ui/working_form_set.h"
#include "ui_fixture.h"

#include <QAccessible>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

using namespace pcs;
using namespace pcs::test;
using namespace std::chrono_literals;

namespace {

int Key_Of(char c) {
    const std::string want(1, char(std::toupper(static_cast<unsigned char>(c))));
    for (int i = 0; i < Key_Count; ++i)
        if (want == Key_Tags[static_cast<size_t>(i)]) return i;
    throw std::runtime_error("no key for " + want);
}

// Touches the keys of the text on the keyboard, then Enter.
void Type_On(QWidget* keyboard, const std::string& text, bool enter = true) {
    for (char c : text)
        Touch(keyboard->findChild<QWidget*>(QString("lbl_Key_%1").arg(Key_Of(c))));
    if (enter) Touch(keyboard->findChild<QWidget*>("lbl_Key_52"));
}

// The header's touches as the station answers them: the lock to the login screen, the runs noted.
struct Header_Answers : Header_Actions {
    Login_Screen* Login = nullptr;
    std::vector<Run_Kind> Runs;
    void Lock() override { Login->showSplash(); }
    void Toolbox_Run(Run_Kind kind) override { Runs.push_back(kind); }
};

struct LoginFlow : Embedded_Test {
    Manual_Clock clock{Time_Point{} + 100000s};
    Header_Answers answers;
    ui::Screen_Alerts screen_alerts{Globals_, clock};
    ui::Screen_Status status;
    std::unique_ptr<Employee> emp;
    std::unique_ptr<ui::Form_Login> login;
    std::unique_ptr<ui::Form_Header> header;
    QWidget main_form; // stands in for the station's main form, built by its own screens
    ui::Working_Form_Set forms;
    int reactivations = 0;

    void SetUp() override {
        Embedded_Test::SetUp();
        Init_Colors(Globals_);
        Globals_.Common_Folder = PCS_PICTURE_DIR;
        Globals_.Test_Code = Test_Code_PrtCount;
        emp = std::make_unique<Employee>(*Db);
        emp->Station = "PARTICLE COUNT";
        login = std::make_unique<ui::Form_Login>(Globals_, clock, *emp, screen_alerts,
                                                 Globals_.Connect_String, &forms);
        header = std::make_unique<ui::Form_Header>(Globals_, clock, *emp, status, screen_alerts, answers);
        header->Timer = &login->Screen();
        answers.Login = &login->Screen();
        status.Attach_Status_Label(header->lbl_Status());
        main_form.setObjectName("Form_Test");
        forms.Main_Form = &main_form;
        forms.Header = header.get();
        QObject::connect(&forms, &ui::Working_Form_Set::Main_Form_Shown, [this] { ++reactivations; });
        login->resize(1280, 1024);
        login->show();
    }

    // Touches Login, types the password on the keys, and answers the alert that follows; its text.
    std::string Login_With(const std::string& password) {
        std::string alert;
        When_Modal(
            [&](QWidget* kb) {
                When_Modal(
                    [&](QWidget* a) {
                        alert = a->findChild<QLabel*>("lbl_message")->text().toStdString();
                        Touch(a->findChild<QWidget*>("lbl_ok"));
                    },
                    "Form_Alert");
                Type_On(kb, password);
            },
            "Form_KeyInput");
        Touch(login->findChild<QWidget*>("cmd_Login"));
        return alert;
    }

    const embedded::Demo_Login& Someone() const { return Seeded_Template::Get().Logins.front(); }
};

} // namespace

TEST_F(LoginFlow, DemoTechnicianLogsInByTouchingTheKeys) {
    const auto& demo = Someone();
    std::string shown_text, accessible_value;
    When_Modal(
        [&](QWidget* kb) {
            EXPECT_EQ(kb->findChild<QLabel*>("lbl_Desc")->text(), "Enter Password");
            EXPECT_EQ(Globals_.App_State, "LOGIN");
            Type_On(kb, demo.Password.substr(0, 3), false);
            auto* box = kb->findChild<QLineEdit*>("txt_Input");
            shown_text = box->displayText().toStdString();
            accessible_value =
                QAccessible::queryAccessibleInterface(box)->text(QAccessible::Value).toStdString();
            Grab(kb, "keyboard");
            Type_On(kb, demo.Password.substr(3));
        },
        "Form_KeyInput");
    Touch(login->findChild<QWidget*>("cmd_Login"));

    EXPECT_EQ(shown_text, "***");
    EXPECT_EQ(accessible_value.find(demo.Password.substr(0, 3)), std::string::npos);
    EXPECT_EQ(emp->Emp_Num, demo.Emp_Num);
    EXPECT_TRUE(login->Screen().intInput);
    EXPECT_EQ(Globals_.App_State, "ACTIVE");
    EXPECT_FALSE(login->isVisible());
    EXPECT_TRUE(main_form.isVisible());
    EXPECT_TRUE(header->isVisible());
    EXPECT_EQ(reactivations, 1);
    EXPECT_TRUE(login->Timer1().isActive());
    EXPECT_EQ(login->Timer1().interval(), 60000);
    auto* name = header->findChild<QLabel*>("lbl_UserDesc");
    EXPECT_EQ(name->text().toStdString(), LCase(demo.Full_Name));
    EXPECT_EQ(header->findChild<QLabel*>("lbl_Station")->text(), "PARTICLE COUNT STATION [ PrtCount ]");
    header->resize(1280, header->height());
    header->Resize_Panel(1270);
    Grab(header.get(), "header");

    // Touching the technician's name locks the station; the lock icon does the same.
    main_form.move(40, 120);
    Touch(name);
    EXPECT_EQ(Globals_.App_State, "HIBERNATE");
    EXPECT_TRUE(login->isVisible());
    EXPECT_FALSE(header->isVisible());
    EXPECT_FALSE(main_form.isVisible());
    main_form.move(0, 0);

    // Back in with the same password: the forms return to where they were at the lock.
    When_Modal([&](QWidget* kb) { Type_On(kb, demo.Password); }, "Form_KeyInput");
    Touch(login->findChild<QWidget*>("cmd_Login"));
    EXPECT_EQ(main_form.pos(), QPoint(40, 120));
    EXPECT_EQ(reactivations, 2);
}

TEST_F(LoginFlow, WrongPasswordAlertsAndCancelReturnsToTheStateBefore) {
    const std::string alert = Login_With("1");
    EXPECT_EQ(alert, "Invalid login provided, please try again.");
    EXPECT_TRUE(login->isVisible());
    EXPECT_EQ(Globals_.App_State, "ACTIVE");

    Globals_.App_State = "HIBERNATE";
    login->Timer1().stop();
    When_Modal([&](QWidget* kb) { Touch(kb->findChild<QWidget*>("lbl_Key_46")); }, "Form_KeyInput");
    Touch(login->findChild<QWidget*>("cmd_Login"));
    EXPECT_EQ(Globals_.App_State, "HIBERNATE");
    EXPECT_FALSE(login->Timer1().isActive());
}

TEST_F(LoginFlow, AnUnreachableDatabaseAlertsAndLeavesTheLoginScreenUsable) {
    Globals_.Connect_String = embedded::Embedded_Connect_String(Folder.Path() / "missing" / "lab.db");
    const std::string alert = Login_With("12345678");
    EXPECT_FALSE(alert.empty());
    EXPECT_EQ(alert.find("12345678"), std::string::npos);
    EXPECT_EQ(Globals_.App_State, "IDLE");
    EXPECT_FALSE(login->Timer1().isActive());
    EXPECT_TRUE(login->Screen().First_Login);
    EXPECT_TRUE(login->isVisible());
    EXPECT_TRUE(login->findChild<QWidget*>("cmd_Login")->isEnabled());
    Grab(login.get(), "login");
}

TEST_F(LoginFlow, ToolboxRunsACheckAndStopsTheIdleLockWhileOpen) {
    login->Timer1().start();
    bool timer_while_open = true;
    When_Modal(
        [&](QWidget* box) {
            timer_while_open = login->Timer1().isActive();
            box->adjustSize();
            Grab(box, "toolbox");
            EXPECT_EQ(box->findChild<QPushButton*>("cmd_Action_0")->accessibleName(), "Run Check");
            Touch(box->findChild<QWidget*>("cmd_Action_0"));
        },
        "Form_Extras");
    header->show();
    Touch(header->findChild<QWidget*>("img_config"));
    EXPECT_FALSE(timer_while_open);
    EXPECT_TRUE(login->Timer1().isActive());
    EXPECT_EQ(answers.Runs, std::vector<Run_Kind>{Run_Kind::Check});
}

TEST_F(LoginFlow, PanelsAsTheTechnicianSeesThem) {
    When_Modal(
        [&](QWidget* q) {
            Grab(q, "question");
            Touch(q->findChild<QWidget*>("lbl_Yes"));
        },
        "Form_AlertYesNo");
    EXPECT_EQ(screen_alerts.Ask_Yes_No("The count of 01100663 differs from its history.\nRerun the sample?"),
              Answer_Yes);
    When_Modal(
        [&](QWidget* a) {
            Grab(a, "alert");
            Touch(a->findChild<QWidget*>("lbl_ok"));
        },
        "Form_Alert");
    screen_alerts.Alert("Cannot connect to device");
    status.Set_Owner(login.get());
    Show_Status(status, Globals_, std::string("SAVING RESULTS"));
    ASSERT_TRUE(status.Panel());
    Grab(status.Panel(), "message");
    Show_Status(status, Globals_, std::string());
}
