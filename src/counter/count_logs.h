// CSV logs of the counter's reports beside the program: every processed report, and the check
// standards split by outcome. Nothing in the station reads them back.
#pragma once

#include "common/ports.h"

#include <filesystem>
#include <string>

namespace pcs {

inline constexpr const char* Active_Log_Name = "PC_Active.csv";
inline constexpr const char* Passed_Log_Name = "PC_STD_Passed.csv";
inline constexpr const char* Error_Log_Name = "PC_STD_Error.csv";
// Reports of counts no run of the station started (one still running when a panel opened, one that
// came after its stop): kept for the audit, never processed.
inline constexpr const char* Offline_Log_Name = "PC_Offline.csv";
inline constexpr const char* Log_Failure_Message = "Could not create PC active log file";

class Count_Logs {
public:
    // The logs live in the folder given ("" for the current folder).
    Count_Logs(std::filesystem::path folder, Alert_Port& alerts)
        : folder_(std::move(folder)), alerts_(alerts) {}

    // Appends the line to the active log; an empty line writes nothing. True when the line is in it.
    bool Log_Active_Count(const std::string& line);
    // Appends the line to the passed or the failed check-standard log; true when it is in it.
    bool Log_Check_Standard(bool passed, const std::string& line);
    // Appends a report no run took to the offline log, its line end removed.
    bool Log_Stray_Count(std::string line);

    std::filesystem::path Path_Of(const char* name) const { return folder_ / name; }

private:
    // Opens, writes one row and closes again, so no log stays open between reports. A log that
    // cannot be written is reported and processing goes on.
    bool Append(const char* name, const std::string& line);

    std::filesystem::path folder_;
    Alert_Port& alerts_;
};

} // namespace pcs
