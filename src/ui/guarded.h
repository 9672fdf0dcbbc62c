// Every handler of a touch is a boundary: whatever it throws is shown to the technician in an alert
// and the screen stays usable.
#pragma once

#include "common/ports.h"

#include <exception>
#include <string>

namespace pcs::ui {

inline constexpr const char* Unexpected_Error_Text = "The station could not finish that. Please try again.";

// Shows the text, swallowing whatever the alert itself might throw (nothing must escape a handler).
void Alert_Safely(Alert_Port& alerts, const std::string& text) noexcept;

template <class F> void Guarded(Alert_Port& alerts, F&& f) noexcept {
    try {
        f();
    } catch (const std::exception& e) {
        const std::string what = e.what();
        Alert_Safely(alerts, what.empty() ? std::string(Unexpected_Error_Text) : what);
    } catch (...) {
        Alert_Safely(alerts, Unexpected_Error_Text);
    }
}

} // namespace pcs::ui
