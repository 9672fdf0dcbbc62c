// The header bar's rules: its captions, the arithmetic that keeps its icons at the right edge, and
// what its touches do (lock, toolbox, procedure document).
#pragma once

#include "common/clock.h"
#include "common/globals.h"
#include "common/ports.h"
#include "records/employee.h"
#include "shell/working_forms.h"

#include <cstdint>
#include <string>

namespace pcs {

class Settings_Collection;

inline constexpr const char* Settings_Status_Text = "Initializing software settings";

// Lower-case full name of the current employee.
std::string User_Caption(const Employee& employee);
// Station + " STATION " + "[ " + Test_Code + " ]" (the brackets only with a Test_Code).
std::string Station_Caption(const Employee& employee, const Globals& g);

// Left edges and widths of the header's right-hand controls, in one unit (the form's own).
struct Header_Layout {
    int Panel_Left = 0, Panel_Width = 0;
    int Iso_Left = 0, Iso_Width = 0;
    int Config_Left = 0, Config_Width = 0;
    int Status_Left = 0, Status_Width = 0;
};
// The panel takes the width; the ISO icon, the toolbox icon and the status caption line up from the
// right edge with gaps of a fifth and a tenth of an icon.
Header_Layout Resize_Panel(Header_Layout layout, int16_t iWidth);

// What the header's model asks of its form.
class Header_View {
public:
    virtual ~Header_View() = default;
    // The toolbox shown modally; its Action.
    virtual std::string Show_Toolbox() = 0;
    // Lets the screen process its events once (while a status message is held up).
    virtual void Process_Events() = 0;
    // Opens the station's procedure document (Show_Document with the test code).
    virtual void Show_Document(const std::string& test_code) = 0;
};

// Where the header's touches go beyond the header itself: the lock, the toolbox's runs and the
// settings reload. Each does nothing until the composition root answers it (the runs wait for the main
// form, which comes with the first login).
class Header_Actions : public Toolbox_Run_Port {
public:
    virtual void Lock() {}
    void Toolbox_Run(Run_Kind /*kind*/) override {}
    virtual void Reload_Settings() {}
};

class Header_Bar {
public:
    Header_Bar(Globals& g, const Clock& clock, Employee& employee, Status_Port& status, Header_View& view,
               Header_Actions& actions)
        : g_(g), clock_(clock), employee_(employee), status_(status), view_(view), actions_(actions) {}

    std::string User_Desc;
    std::string Station;

    void showUser() { User_Desc = User_Caption(employee_); }
    void showStation() { Station = Station_Caption(employee_, g_); }

    // img_Login and lbl_UserDesc: lock now.
    void img_Login_Click();
    void img_iso_Click();
    void img_config_Click();

private:
    Globals& g_;
    const Clock& clock_;
    Employee& employee_;
    Status_Port& status_;
    Header_View& view_;
    Header_Actions& actions_;
};

} // namespace pcs
