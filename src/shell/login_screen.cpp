#include "shell/login_screen.h"

#include "common/messages.h"
#include "common/text.h"
#include "counter/counter_link.h"

#include <chrono>

namespace pcs {

Login_Screen::Login_Screen(Globals& g, const Clock& clock, Employee& employee, Alert_Port& alerts,
                           Login_View& view, Working_Forms* forms)
    : g_(g), clock_(clock), employee_(employee), alerts_(alerts), view_(view), forms_(forms) {}

void Login_Screen::Load(const std::string& connect_string) {
    g_.Connect_String = connect_string;
    Init_Colors(g_);
    g_.App_State = "IDLE";
    g_.Last_Activity = clock_.Now();
    g_.Debug_Mode = false;
    First_Login = true;
    Set_Timer1(false);
}

void Login_Screen::Set_Timer1(bool on) {
    Timer1_Enabled = on;
    view_.Timer1_Changed(on);
}

void Login_Screen::cmd_Login_Click() {
    const std::string before = g_.App_State;
    const bool timer_before = Timer1_Enabled;
    g_.App_State = "LOGIN";

    bool entered = false;
    try {
        if (g_.Debug_Mode) {
            Set_Timer1(true);
            if (forms_) forms_->Password_Check_Starting();
            intInput = employee_.Login(employee_.Password);
            if (forms_) forms_->Show_User();
            entered = true;
        } else {
            Keyboard_Answer answer = view_.Ask_Password(Password_Prompt, "*");
            if (!Trim(answer.UserInput).empty()) {
                if (forms_) forms_->Password_Check_Starting();
                intInput = employee_.Login(answer.UserInput);
                if (forms_) forms_->Show_User();
                entered = true;
            }
        }
    } catch (...) {
        // The check did not run: nothing was decided, so the station stays as it was.
        g_.App_State = before;
        Set_Timer1(timer_before);
        throw;
    }

    if (!entered) {
        g_.App_State = before;
        if (before != "ACTIVE") Set_Timer1(false);
        return;
    }
    if (intInput) {
        reAlign_Forms();
        if (forms_) forms_->Technician_Logged_In();
        if (forms_) forms_->Show_Working_Forms();
        view_.Hide_Login_Screen();
    } else {
        Show_Alert(alerts_, std::string(Invalid_Login_Text));
    }
    First_Login = false;
    Set_Timer1(true);
    g_.App_State = "ACTIVE";
    g_.Last_Activity = clock_.Now();
}

void Login_Screen::Timer1_Timer() {
    if (g_.App_State != "ACTIVE") return;
    auto idle = std::chrono::duration_cast<std::chrono::seconds>(clock_.Now() - g_.Last_Activity);
    if (idle.count() >= Idle_Lock_Seconds) Enter_Hibernation();
}

void Login_Screen::Enter_Hibernation() {
    if (forms_) Saved_Positions = forms_->Positions();
    view_.Show_Login_Screen();
    g_.App_State = "HIBERNATE";
    if (forms_) forms_->Hibernate_Working_Forms();
}

void Login_Screen::Hibernate() {
    g_.Last_Activity = clock_.Now() - std::chrono::seconds(600);
}

void Login_Screen::reAlign_Forms() {
    if (First_Login || !forms_) return;
    forms_->Restore_Positions(Saved_Positions);
}

void Login_Screen::App_Exit(Serial_Port* port, const Settings_Collection* settings) {
    if (port && settings) Release_Remote_Mode(*port, *settings);
    view_.End_Program();
}

void Login_Screen::cmd_Exit_Click(Serial_Port* port, const Settings_Collection* settings) {
    if (forms_ && forms_->Leave()) return;
    App_Exit(port, settings);
}

} // namespace pcs
