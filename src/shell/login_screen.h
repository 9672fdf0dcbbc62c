// The login screen's rules: the login sequence, the activity state, the sixty-second idle check that
// locks the station after 300 seconds, and the orderly exit that releases the counter.
#pragma once

#include "common/clock.h"
#include "common/globals.h"
#include "common/ports.h"
#include "records/employee.h"
#include "shell/working_forms.h"

#include <string>

namespace pcs {

class Serial_Port;
class Settings_Collection;

inline constexpr const char* Invalid_Login_Text = "Invalid login provided, please try again.";
inline constexpr const char* Password_Prompt = "Enter Password";
inline constexpr int Idle_Check_Interval_Ms = 60000;
inline constexpr int Idle_Lock_Seconds = 300;

// What the keyboard handed back.
struct Keyboard_Answer {
    bool isEntered = false;
    std::string UserInput;
};

// What the login screen's model asks of its form.
class Login_View {
public:
    virtual ~Login_View() = default;
    // The on-screen keyboard, shown modally with the prompt and the masking character.
    virtual Keyboard_Answer Ask_Password(const std::string& prompt, const std::string& mask) = 0;
    virtual void Show_Login_Screen() = 0;
    virtual void Hide_Login_Screen() = 0;
    virtual void Timer1_Changed(bool on) = 0;
    virtual void End_Program() = 0;
};

class Login_Screen final : public Hibernation_Timer {
public:
    // The working forms: none until the composition root builds them, or in a screen of its own.
    Login_Screen(Globals& g, const Clock& clock, Employee& employee, Alert_Port& alerts, Login_View& view,
                 Working_Forms* forms = nullptr);

    bool intInput = false;   // the last password check's answer
    bool First_Login = true; // until the first completed login entry
    Saved_Window_Positions Saved_Positions;
    bool Timer1_Enabled = false;

    // The screen's load: connection string and palette, state "IDLE", activity now, debug off.
    void Load(const std::string& connect_string);
    // The login sequence. A password check that throws leaves the state and the timer as they were
    // before the touch and passes the error on for the screen to show.
    void cmd_Login_Click();
    // Timer1's tick: locks the station when it has been "ACTIVE" and untouched for 300 seconds.
    void Timer1_Timer();
    void Enter_Hibernation();
    void showSplash() { Enter_Hibernation(); }
    // The next tick locks the station, if it is "ACTIVE".
    void Hibernate();
    void reAlign_Forms();
    // Takes the counter out of remote mode (errors ignored) and ends the program.
    void App_Exit(Serial_Port* port, const Settings_Collection* settings);
    // The Exit button, also while the station is locked: leaves as the working forms' Exit does, so no
    // rack stays held by a station that has gone and the counter leaves remote mode.
    void cmd_Exit_Click(Serial_Port* port, const Settings_Collection* settings);

    void Set_Timer1(bool on) override;

private:
    Globals& g_;
    const Clock& clock_;
    Employee& employee_;
    Alert_Port& alerts_;
    Login_View& view_;
    Working_Forms* forms_;
};

} // namespace pcs
