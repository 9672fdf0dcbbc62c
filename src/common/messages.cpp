#include "common/messages.h"

#include "common/text.h"

namespace pcs {

std::string Show_Status(Status_Port& port, const Globals& g, const std::optional<std::string>& text) {
    port.Hide_Status_Label();
    bool showing = port.Message_Panel_Showing();
    std::string previous = port.Status_Caption();
    std::string t = text.value_or("");
    port.Set_Status_Caption(LCase(t));
    if (t.empty() && showing) {
        port.Unload_Message_Panel();
    } else if (!t.empty() && !showing) {
        port.Show_Message_Panel(t, Font_Spec{"Arial", 12, true, g.Colors.Color_White.Rgb()});
    }
    return previous;
}

void Show_Alert(Alert_Port& port, const std::optional<std::string>& text) {
    if (!text || Trim(*text).empty()) return;
    port.Alert(*text);
}

} // namespace pcs
