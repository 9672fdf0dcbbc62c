#include "counter/report_processing.h"

#include "common/messages.h"

namespace pcs {

Report_Parse Begin_Processing(std::string_view text, const Run& run, const Globals& g, Count_Logs& logs,
                              Alert_Port& alerts) {
    Report_Parse p = Parse_Count_Report(text, run.Kind);
    p.Log_Line = Log_Line_With_Run(p.Fields, run.Id());
    if (!g.Debug_Mode) p.Logged = logs.Log_Active_Count(p.Log_Line);
    if (p.Report.Invalid) Show_Alert(alerts, std::string(Invalid_Count_Message));
    return p;
}

} // namespace pcs
