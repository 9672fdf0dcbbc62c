#include "shell/header_bar.h"

#include "common/messages.h"
#include "common/text.h"
#include "shell/login_screen.h"
#include "shell/modal_models.h"

#include <chrono>
#include <cmath>

namespace pcs {

std::string User_Caption(const Employee& employee) {
    return LCase(employee.Full_name);
}

std::string Station_Caption(const Employee& employee, const Globals& g) {
    std::string code = Trim(g.Test_Code);
    return employee.Station + " STATION " + (code.empty() ? std::string() : "[ " + code + " ]");
}

Header_Layout Resize_Panel(Header_Layout l, int16_t iWidth) {
    l.Panel_Width = iWidth;
    l.Iso_Left = static_cast<int>(std::nearbyint(l.Panel_Left + l.Panel_Width - 1.2 * l.Iso_Width));
    l.Config_Left = static_cast<int>(std::nearbyint(l.Iso_Left - 1.2 * l.Config_Width));
    l.Status_Left = l.Config_Left - static_cast<int>(std::nearbyint(0.1 * l.Config_Width)) - l.Status_Width;
    return l;
}

void Header_Bar::img_Login_Click() {
    actions_.Lock();
}

void Header_Bar::img_iso_Click() {
    g_.Last_Activity = clock_.Now();
    view_.Show_Document(g_.Test_Code);
}

void Header_Bar::img_config_Click() {
    const std::string action = view_.Show_Toolbox();
    if (action == Toolbox_Settings_Tag) {
        const Time_Point shown = clock_.Now();
        Show_Status(status_, g_, std::string(Settings_Status_Text));
        try {
            actions_.Reload_Settings();
        } catch (...) {
            Show_Status(status_, g_, std::string()); // no banner left standing over the alert
            throw;
        }
        // The message stays up at least two whole seconds so the technician can read it.
        while (std::chrono::duration_cast<std::chrono::seconds>(clock_.Now() - shown).count() < 2)
            view_.Process_Events();
        Show_Status(status_, g_, std::string());
    } else if (const std::optional<Run_Kind> run = Toolbox_Run_Kind(action)) {
        actions_.Toolbox_Run(*run);
    }
}

} // namespace pcs
