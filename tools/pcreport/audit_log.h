// Reads a station's count logs back for the lab's audit of its counter: every check standard with its
// codes and verdict, the shift's figures per day, how the samples' codes spread, and every line that
// could not be read. The logs are streamed line by line; what is kept grows with the days, the check
// standards and a few fixed-size lists, never with the size of a log.
#pragma once

#include "counter/count_validation.h"

#include <array>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace pcs::audit {

// The folder cannot be audited at all (it is missing, or holds no active log).
class Audit_Error : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A calendar day as yyyymmdd.
using Day = int;
// "2026-12-09" or "12/09/26" (the logs' MM/DD/YY); nullopt when it is neither.
std::optional<Day> Parse_Day(std::string_view text);
std::string Day_Text(Day d); // "2026-12-09"

struct Audit_Options {
    std::optional<Day> From, To; // inclusive; lines outside are passed over
    size_t Max_Listed_Unreadable = 1000;
    size_t Max_Chart_Points = 20000; // the chart keeps the latest check standards
    size_t Listed_Samples = 10;      // cleanest and dirtiest
};

// Codes at 4, 6 and 14 um(c): range numbers, 0 where there is none.
using Codes = std::array<int, 3>;

struct Check_Point {
    long Line = 0; // in the active log
    Day Date = 0;
    std::string Time;
    Codes Code{};
    std::array<int32_t, 3> Per_mL{};
    bool Failed = false;
    bool In_Check_Log = true; // false: judged here by the limits in settings.txt
};

struct Day_Figures {
    long Samples = 0, Reruns = 0, Tests = 0, Unnamed = 0;
    long Checks = 0, Checks_Failed = 0, Flushes = 0, Flushes_Failed = 0, Invalid = 0;
    int First_Second = -1, Last_Second = -1; // the day's first and last count
    long Counts() const { return Samples + Tests + Unnamed + Checks + Flushes + Invalid; }
    void Add(const Day_Figures& o);
};

struct Sample_Count {
    std::string Lab_Number;
    long Line = 0;
    Day Date = 0;
    std::string Time;
    Codes Code{};
    int Score() const { return Code[0] + Code[1] + Code[2]; }
};

struct Unreadable_Line {
    std::string File;
    long Line = 0;
    std::string Why;
};

struct Audit {
    Validation_Limits Limits;       // as the station reads them from settings.txt
    std::vector<std::string> Notes; // about the settings and the logs, for the page's head
    std::map<Day, Day_Figures> Days;
    Day_Figures Total;
    std::deque<Check_Point> Checks;                  // the latest Max_Chart_Points, in log order
    long Checks_Left_Out = 0;                        // older ones not kept for the chart
    std::array<std::array<long, 30>, 3> Histogram{}; // samples by code (index = code) per size
    std::vector<Sample_Count> Cleanest, Dirtiest;
    std::vector<Unreadable_Line> Unreadable; // the first Max_Listed_Unreadable
    long Unreadable_Total = 0;
    long Lines_Read = 0;    // lines of the active log, blank ones included
    long Outside_Range = 0; // counts dated outside From ... To
    long Stamped = 0;       // counts whose row says which run the station made
};

// Reads FOLDER/PC_Active.csv, PC_STD_Passed.csv, PC_STD_Error.csv and settings.txt. Throws
// Audit_Error when the folder is not there or holds no active log; a damaged log is read as far as
// it goes and its lines are listed.
Audit Read_Audit(const std::filesystem::path& folder, const Audit_Options& options = {});

} // namespace pcs::audit
