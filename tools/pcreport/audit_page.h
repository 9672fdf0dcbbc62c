// The audit as one self-contained HTML page: inline SVG charts drawn here, a table of values under
// every chart, a print style sheet; nothing is fetched from anywhere.
#pragma once

#include "audit_log.h"

#include <ostream>
#include <string>

namespace pcs::audit {

struct Page_Info {
    std::string Folder;    // as the user named it
    std::string Generated; // local date and time of the run
    std::optional<Day> From, To;
};

void Write_Page(std::ostream& out, const Audit& a, const Page_Info& info);

} // namespace pcs::audit
