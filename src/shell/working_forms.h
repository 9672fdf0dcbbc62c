// What the screen shell asks of the station's working forms (the main form, the rack view and the
// header bar): where they stand, showing them after a login, hiding them when the station locks.
#pragma once

#include "counter/run.h"

namespace pcs {

struct Form_Place {
    int Top = 0;
    int Left = 0;
    friend bool operator==(const Form_Place&, const Form_Place&) = default;
};

// Top and left of the three working forms, taken when the station locks.
struct Saved_Window_Positions {
    Form_Place Main_Form, Rack_View, Header;
    friend bool operator==(const Saved_Window_Positions&, const Saved_Window_Positions&) = default;
};

class Working_Forms {
public:
    virtual ~Working_Forms() = default;
    virtual Saved_Window_Positions Positions() const = 0;
    virtual void Restore_Positions(const Saved_Window_Positions& p) = 0;
    // The header's user caption is refreshed from the current employee.
    virtual void Show_User() = 0;
    // A password is about to be checked against the lab database: the forms may make ready meanwhile
    // what needs neither the lab database nor the technician.
    virtual void Password_Check_Starting() {}
    // The main form is shown and told reActivate, then the header, then the rack view (modeless).
    virtual void Show_Working_Forms() = 0;
    // The main form is told Hibernate, then the main form, the rack view and the header are hidden.
    virtual void Hibernate_Working_Forms() = 0;
    // A login was accepted: a rack the station holds for someone else is handed over (the rack view).
    virtual void Technician_Logged_In() {}
    // Leaves as the working forms' Exit does (the rack given back, then the orderly exit); false when
    // there are no working forms yet, and the login screen's own orderly exit is the way out.
    virtual bool Leave() { return false; }
};

// The runs the toolbox starts on the main form: a check standard or a single test run, for no slot.
class Toolbox_Run_Port {
public:
    virtual ~Toolbox_Run_Port() = default;
    virtual void Toolbox_Run(Run_Kind kind) = 0;
};

// The login screen's sixty-second idle check timer, as the toolbox switches it.
class Hibernation_Timer {
public:
    virtual ~Hibernation_Timer() = default;
    virtual void Set_Timer1(bool on) = 0;
};

} // namespace pcs
