// The status text of long operations and the alert box, over the screens' ports.
#pragma once

#include "common/globals.h"
#include "common/ports.h"

#include <optional>
#include <string>

namespace pcs {

// Shows a status text in the message panel and the header caption; returns the caption it replaced,
// so a caller restores it with a second call. "" hides the panel. A panel already showing keeps its
// first text until it is hidden.
std::string Show_Status(Status_Port& port, const Globals& g, const std::optional<std::string>& text);

// Shows the text in the modal alert and waits; a missing or all-blank text shows nothing.
void Show_Alert(Alert_Port& port, const std::optional<std::string>& text);

} // namespace pcs
