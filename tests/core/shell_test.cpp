// The screen shell's rules without a display: keyboard, question, toolbox, login and idle lock, header.
#include "records_fixture.h"
#include "settings/settings.h"
#include "shell/header_bar.h"
#include "shell/key_input.h"
#include "shell/login_screen.h"
#include "shell/modal_models.h"
#include "support/scripted_serial_port.h"

#include <chrono>
#include <functional>

using namespace pcs;
using namespace pcs::test;
using namespace std::chrono_literals;

namespace {

// An input box with a cursor, as the keyboard's view.
struct Box : Key_Input_View {
    std::string Text;
    size_t Cursor = 0;
    bool Hidden = false;
    int Caps_Refreshes = 0;
    void Focus_Input() override {}
    void Type_Text(const std::string& t) override {
        Text.insert(Cursor, t);
        Cursor += t.size();
    }
    void Delete_Right() override {
        if (Cursor < Text.size()) Text.erase(Cursor, 1);
    }
    std::string Input_Text() const override { return Text; }
    void Hide_Panel() override { Hidden = true; }
    void Caps_Changed() override { ++Caps_Refreshes; }
};

int Key(const char* tag) {
    for (int i = 0; i < Key_Count; ++i)
        if (std::string(Key_Tags[static_cast<size_t>(i)]) == tag) return i;
    throw std::runtime_error(tag);
}

} // namespace

TEST(Keyboard, TypesLowerCaseUnlessCapsAndDeletesToTheRight) {
    Box box;
    Key_Input k(box);
    k.Load();
    EXPECT_EQ(k.CAPS_Caption, "CAPS off");
    for (const char* t : {"Q", "1", "@", "CMD_SPACE", "CMD_ALT"})
        k.Key_Click(Key(t));
    EXPECT_EQ(box.Text, "q1@ ");
    k.Key_Click(Key("CMD_CAPS"));
    EXPECT_EQ(k.CAPS_Caption, "CAPS On");
    k.Key_Click(Key("Z"));
    k.Key_Click(Key("CMD_CAPS"));
    EXPECT_EQ(k.CAPS_Caption, "CAPS Off");
    EXPECT_EQ(k.CAPS_Tag, "OFF");
    EXPECT_EQ(box.Caps_Refreshes, 2);
    EXPECT_EQ(box.Text, "q1@ Z");

    box.Cursor = 1; // between "q" and "1"
    k.Key_Click(Key("CMD_DELETE"));
    EXPECT_EQ(box.Text, "q@ Z");
    EXPECT_FALSE(box.Hidden);

    k.Input_Key_Up(13);
    EXPECT_TRUE(box.Hidden);
    EXPECT_TRUE(k.isEntered);
    EXPECT_EQ(k.UserInput, "q@ Z");

    k.Key_Click(Key("CMD_CANCEL"));
    EXPECT_FALSE(k.isEntered);
    EXPECT_EQ(k.UserInput, "");
    EXPECT_THROW(k.Key_Click(Key_Count), std::out_of_range);
}

TEST(Question, AnswersYNOAloneOrWithAltAndRestoresTheState) {
    Globals g;
    Manual_Clock clock(Time_Point{} + 1000s);
    g.App_State = "ACTIVE";
    Question q(g, clock);
    q.Load();
    EXPECT_EQ(q.iFontSize, 14);
    EXPECT_EQ(q.Align, 0);
    EXPECT_EQ(g.App_State, "IDLE");
    EXPECT_FALSE(q.Key_Down('Y', Mod_Shift));
    EXPECT_FALSE(q.Key_Down('Y', Mod_Ctrl | Mod_Alt));
    EXPECT_FALSE(q.Key_Down('X', Mod_None));
    EXPECT_EQ(q.intInput, 0);
    EXPECT_TRUE(q.Key_Down('Y', Mod_Alt));
    EXPECT_EQ(q.intInput, Answer_Yes);
    EXPECT_TRUE(q.Key_Down('n', Mod_None));
    EXPECT_EQ(q.intInput, Answer_No);
    EXPECT_TRUE(q.Key_Down('O', Mod_None));
    EXPECT_EQ(q.intInput, Answer_Closed);
    clock.Advance(5s);
    q.Unload();
    q.Unload();
    EXPECT_EQ(g.App_State, "ACTIVE");
    EXPECT_EQ(g.Last_Activity, clock.Now());
}

namespace {

struct Timer_Probe : Hibernation_Timer {
    std::vector<bool> Switches;
    void Set_Timer1(bool on) override { Switches.push_back(on); }
};

} // namespace

TEST(Toolbox, StopsTheIdleLockWhileLoadedAndKeepsTheChosenTag) {
    Timer_Probe timer;
    Toolbox t(timer);
    t.Load();
    t.Unload();
    EXPECT_EQ(t.Action, "");
    t.Load();
    t.Choose(1);
    EXPECT_EQ(t.Action, "SETTINGS");
    t.Choose(0);
    EXPECT_EQ(t.Action, "CHECK");
    t.Unload();
    EXPECT_EQ(timer.Switches, (std::vector<bool>{false, true, false, true}));
}

namespace {

struct Login_Screen_Probe : Login_View, Working_Forms {
    std::deque<Keyboard_Answer> Typed;
    std::vector<std::string> Events;
    bool Login_Showing = true;
    bool Timer = false;
    Saved_Window_Positions Where{{100, 0}, {100, 300}, {0, 0}};

    Keyboard_Answer Ask_Password(const std::string& prompt, const std::string& mask) override {
        Events.push_back("keyboard " + prompt + " " + mask);
        Keyboard_Answer a = Typed.front();
        Typed.pop_front();
        return a;
    }
    void Show_Login_Screen() override { Login_Showing = true; }
    void Hide_Login_Screen() override { Login_Showing = false; }
    void Timer1_Changed(bool on) override { Timer = on; }
    void End_Program() override { Events.push_back("end"); }

    Saved_Window_Positions Positions() const override { return Where; }
    void Restore_Positions(const Saved_Window_Positions& p) override {
        Where = p;
        Events.push_back("restore");
    }
    void Show_User() override { Events.push_back("showUser"); }
    void Show_Working_Forms() override { Events.push_back("show forms"); }
    void Hibernate_Working_Forms() override { Events.push_back("hibernate forms"); }
};

struct LoginScreen : Records_Fixture {
    Manual_Clock clock{Time_Point{} + 10000s};
    Login_Screen_Probe view;
    Login_Screen login{g, clock, emp, alerts, view, &view};

    LoginScreen() { login.Load("DSN=LAB"); }
    void Accepting(const char* password) {
        view.Typed.push_back({true, password});
        backend.Queue.push_back(Row({"EMP_NUM", "ISADMIN", "FIRSTNAME", "LASTNAME", "Qor_Func"},
                                    {F("117"), F("0"), F("Ann"), F("Lee"), F("LAB")}));
    }
};

} // namespace

TEST_F(LoginScreen, AcceptedLoginShowsTheFormsAndLocksAfter300IdleSeconds) {
    EXPECT_EQ(g.App_State, "IDLE");
    EXPECT_EQ(g.Colors.Color_Amber, (Color{233, 176, 25}));
    Accepting("4406");
    login.cmd_Login_Click();
    EXPECT_EQ(Last_Statement(), "exec lab.dbo.validate_password @source = 'Qor', @UserPassword = '4406', "
                                "@labcode = 'VOLMAR'");
    EXPECT_EQ(view.Events, (std::vector<std::string>{"keyboard Enter Password *", "showUser", "show forms"}));
    EXPECT_TRUE(login.intInput);
    EXPECT_FALSE(view.Login_Showing);
    EXPECT_FALSE(login.First_Login);
    EXPECT_TRUE(view.Timer);
    EXPECT_EQ(g.App_State, "ACTIVE");

    clock.Advance(299s);
    login.Timer1_Timer();
    EXPECT_EQ(g.App_State, "ACTIVE");
    clock.Advance(1s);
    login.Timer1_Timer();
    EXPECT_EQ(g.App_State, "HIBERNATE");
    EXPECT_TRUE(view.Login_Showing);
    EXPECT_EQ(view.Events.back(), "hibernate forms");
    const Saved_Window_Positions at_lock = view.Where;

    // Cancelling the keyboard while locked changes nothing and stops the timer.
    view.Typed.push_back({false, ""});
    login.cmd_Login_Click();
    EXPECT_EQ(g.App_State, "HIBERNATE");
    EXPECT_FALSE(view.Timer);

    // The next login puts the forms back where they were at the lock.
    view.Where = {};
    Accepting("4406");
    login.cmd_Login_Click();
    EXPECT_EQ(view.Where, at_lock);
    EXPECT_NE(std::find(view.Events.begin(), view.Events.end(), "restore"), view.Events.end());

    // Hibernate makes the next tick lock even right after activity.
    login.Hibernate();
    login.Timer1_Timer();
    EXPECT_EQ(g.App_State, "HIBERNATE");
}

TEST_F(LoginScreen, RefusedPasswordAlertsAndStillCountsAsAnEntry) {
    view.Typed.push_back({true, "nope"});
    backend.Queue.push_back(Empty({"EMP_NUM"}));
    login.cmd_Login_Click();
    EXPECT_EQ(alerts.Alerts, (std::vector<std::string>{"Invalid login provided, please try again."}));
    EXPECT_TRUE(view.Login_Showing);
    EXPECT_EQ(g.App_State, "ACTIVE");
    EXPECT_TRUE(view.Timer);
    EXPECT_FALSE(login.First_Login);
    clock.Advance(300s);
    login.Timer1_Timer();
    EXPECT_EQ(g.App_State, "HIBERNATE");
}

TEST_F(LoginScreen, BlankEntryReturnsToThePreviousStateWithoutAStatement) {
    view.Typed.push_back({true, "   "});
    login.cmd_Login_Click();
    EXPECT_TRUE(backend.Statements.empty());
    EXPECT_EQ(g.App_State, "IDLE");
    EXPECT_FALSE(view.Timer);
    EXPECT_TRUE(login.First_Login);
}

TEST_F(LoginScreen, ACheckThatFailsLeavesTheStationAsBeforeTheTouch) {
    Accepting("4406");
    login.cmd_Login_Click();
    clock.Advance(400s);
    login.Timer1_Timer();
    ASSERT_EQ(g.App_State, "HIBERNATE");
    view.Typed.push_back({false, ""});
    login.cmd_Login_Click(); // a cancelled entry while locked stops the timer
    ASSERT_FALSE(view.Timer);

    view.Typed.push_back({true, "4406"});
    backend.Queue.push_back(Failed());
    EXPECT_THROW(login.cmd_Login_Click(), db::Db_Error);
    EXPECT_EQ(g.App_State, "HIBERNATE");
    EXPECT_FALSE(view.Timer);
    EXPECT_TRUE(view.Login_Showing);
    EXPECT_EQ(emp.Emp_Num, 117); // nothing was decided about the technician
}

TEST_F(LoginScreen, DebugModeChecksTheStoredPasswordAgain) {
    Accepting("4406");
    login.cmd_Login_Click();
    g.Debug_Mode = true;
    Accepting("unused");
    view.Typed.clear();
    login.cmd_Login_Click();
    EXPECT_EQ(Last_Statement(), "exec lab.dbo.validate_password @source = 'Qor', @UserPassword = '4406', "
                                "@labcode = 'VOLMAR'");
    EXPECT_TRUE(login.intInput);
}

namespace {

struct Header_Probe : Header_View {
    Manual_Clock& clock;
    std::string Action;
    int Waits = 0;
    std::vector<std::string> Documents;
    explicit Header_Probe(Manual_Clock& c) : clock(c) {}
    std::string Show_Toolbox() override { return Action; }
    void Process_Events() override {
        ++Waits;
        clock.Advance(250ms);
    }
    void Show_Document(const std::string& code) override { Documents.push_back(code); }
};

} // namespace

TEST_F(LoginScreen, HeaderCaptionsAndToolboxActions) {
    emp.Station = "PARTICLE COUNT";
    emp.Full_name = "Ann LEE";
    Recording_Status status;
    Header_Probe probe(clock);
    struct : Header_Actions {
        Login_Screen* Login = nullptr;
        std::vector<std::string> Runs;
        std::function<void()> On_Reload;
        void Lock() override { Login->showSplash(); }
        void Toolbox_Run(Run_Kind kind) override { Runs.emplace_back(Run_Word(kind)); }
        void Reload_Settings() override { On_Reload(); }
    } main_form;
    main_form.Login = &login;
    Header_Bar header(g, clock, emp, status, probe, main_form);
    header.showUser();
    header.showStation();
    EXPECT_EQ(header.User_Desc, "ann lee");
    EXPECT_EQ(header.Station, "PARTICLE COUNT STATION ");
    g.Test_Code = " PrtCount ";
    header.showStation();
    EXPECT_EQ(header.Station, "PARTICLE COUNT STATION [ PrtCount ]");

    int reloads = 0;
    main_form.On_Reload = [&] {
        ++reloads;
        EXPECT_TRUE(status.Showing);
        EXPECT_EQ(status.Panel_Text, "Initializing software settings");
    };
    probe.Action = "SETTINGS";
    header.img_config_Click();
    EXPECT_EQ(reloads, 1);
    EXPECT_EQ(probe.Waits, 8); // two whole seconds in quarter-second steps
    EXPECT_FALSE(status.Showing);

    probe.Action = "RUN";
    header.img_config_Click();
    probe.Action = "CHECK";
    header.img_config_Click();
    probe.Action = "";
    header.img_config_Click();
    EXPECT_EQ(main_form.Runs, (std::vector<std::string>{"SINGLE", "CHECK"}));

    clock.Advance(50s);
    header.img_iso_Click();
    EXPECT_EQ(g.Last_Activity, clock.Now());
    EXPECT_EQ(probe.Documents, (std::vector<std::string>{" PrtCount "}));

    g.App_State = "ACTIVE";
    header.img_Login_Click();
    EXPECT_EQ(g.App_State, "HIBERNATE");
}

TEST(HeaderLayout, IconsLineUpFromTheRightEdge) {
    Header_Layout l;
    l.Panel_Left = 10;
    l.Iso_Width = 64;
    l.Config_Width = 65;
    l.Status_Width = 200;
    l = Resize_Panel(l, 1280);
    EXPECT_EQ(l.Panel_Width, 1280);
    EXPECT_EQ(l.Iso_Left, 1213);              // 10 + 1280 - 76.8
    EXPECT_EQ(l.Config_Left, 1135);           // 1213 - 78
    EXPECT_EQ(l.Status_Left, 1135 - 6 - 200); // a tenth of 65 rounds half to even
}

TEST_F(LoginScreen, AppExitReleasesTheCounterAndEndsEvenWhenThePortFails) {
    Settings_Collection settings;
    ASSERT_TRUE(Load_Settings_Text(settings, "COMM_PORT;1;counter port\n"));
    Scripted_Serial_Port port;
    login.App_Exit(&port, &settings);
    EXPECT_EQ(port.Written, "REMOTE-\r");
    EXPECT_EQ(view.Events.back(), "end");

    Scripted_Serial_Port dead;
    dead.Always_Fail_Open = true;
    login.App_Exit(&dead, &settings);
    EXPECT_EQ(dead.Written, "");
    EXPECT_EQ(std::count(view.Events.begin(), view.Events.end(), "end"), 2);
}
