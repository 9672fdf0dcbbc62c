#include "counter/count_logs.h"

#include "common/messages.h"
#include "common/text_file.h"

namespace pcs {

bool Count_Logs::Append(const char* name, const std::string& line) {
    bool ok = false;
    try {
        // A new log starts with an empty line.
        std::ofstream out = Open_Text_File(Path_Of(name), std::string());
        out << line << "\r\n";
        out.close();
        ok = !out.fail();
    } catch (const File_Error&) {
        ok = false;
    }
    if (!ok) Show_Alert(alerts_, std::string(Log_Failure_Message));
    return ok;
}

bool Count_Logs::Log_Active_Count(const std::string& line) {
    if (line.empty()) return false;
    return Append(Active_Log_Name, line);
}

bool Count_Logs::Log_Check_Standard(bool passed, const std::string& line) {
    return Append(passed ? Passed_Log_Name : Error_Log_Name, line);
}

bool Count_Logs::Log_Stray_Count(std::string line) {
    while (!line.empty() && (line.back() == '\r' || line.back() == '\n'))
        line.pop_back();
    if (line.empty()) return false;
    return Append(Offline_Log_Name, line);
}

} // namespace pcs
