// The first half of processing a counter report: parse and code it, log it, and stop an invalid
// count with its message.
#pragma once

#include "common/globals.h"
#include "common/ports.h"
#include "counter/count_logs.h"
#include "counter/count_report.h"
#include "counter/run.h"

#include <string_view>

namespace pcs {

// Parses the report text for the run in hand, appends it with the run to the active log (not in debug
// mode), and for an invalid count shows its message. The caller repeats an invalid run and goes on
// with validation or saving only when the report is not Invalid.
Report_Parse Begin_Processing(std::string_view text, const Run& run, const Globals& g, Count_Logs& logs,
                              Alert_Port& alerts);

} // namespace pcs
