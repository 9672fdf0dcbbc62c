#include "ui/guarded.h"

#include "common/messages.h"

namespace pcs::ui {

void Alert_Safely(Alert_Port& alerts, const std::string& text) noexcept {
    try {
        Show_Alert(alerts, text);
    } catch (...) {
        // The alert itself failed; the screen carries on rather than end the station.
    }
}

} // namespace pcs::ui
