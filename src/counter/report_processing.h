// The first half of processing a counter report: parse and code it, log it, and stop an invalid
// count with its message and a rerun.
#pragma once

#include "common/globals.h"
#include "common/ports.h"
#include "counter/count_logs.h"
#include "counter/count_report.h"

#include <string_view>

namespace pcs {

// Parses the report text for the run in Globals::Run_Id, appends it to the active log (not in debug
// mode), and for an invalid count shows its message and sets Rerun_Flag. The caller goes on with
// validation or saving only when the report is not Invalid.
Report_Parse Begin_Processing(std::string_view text, Globals& g, Count_Logs& logs, Alert_Port& alerts);

} // namespace pcs
