// The counter's report line: its fields, its ISO 4406 code (the counter's own or computed from the
// counts), the sample volume and the count values, scaled per mL and for a 1:10 dilution.
#pragma once

#include "counter/run.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pcs {

inline constexpr const char* Invalid_Count_Message = "An invalid count was generated.";
// The tag that starts every report line (field 0).
inline constexpr const char* Report_Tag = "!LPR1";

// Field numbers of the report line.
enum Report_Field : size_t {
    Field_Duration = 1,
    Field_Count_1 = 16, // CNT_1 ... CNT_8 are 16 ... 23
    Field_Volume = 24,
    Field_Date = 25,
    Field_Time = 26,
    Field_Sample_Id = 28,
    Field_Run_Label = 29,
    Field_Station_Run = 30, // empty in the counter's line; the log rows carry the station's run there
};

// The count-log column names, in field order.
inline constexpr const char* Report_Column_Names =
    "EMPTY,TEST_DURATION,EMPTY,EMPTY,EMPTY,EMPTY,VOLUME,EMPTY,"
    "CH_1,CH_2,CH_3,CH_4,CH_5,CH_6,CH_7,CH_8,"
    "CNT_1,CNT_2,CNT_3,CNT_4,CNT_5,CNT_6,CNT_7,CNT_8,"
    "VOLUME,DATE,TIME,EMPTY,SAMPLE_ID,EMPTY,EMPTY,EMPTY,ISO_CODE";

struct Count_Report {
    std::string Code_2, Code_5, Code_15; // range numbers as text, or left as found
    std::string Code_Text;               // what is shown and stored, e.g. 13/9 or 15/13/8
    int16_t Volume = 0;                  // mL, whole number
    std::array<int32_t, 6> Value{};      // CNT_1 ... CNT_6 (channel 6 only when channel 5 has 10 per mL)
    double Value_7 = 0;                  // the 200 um value: the counter has no such channel
    bool Counter_Code = false;           // the line carried its own code
    bool Invalid = false;                // the count cannot be used: rerun
    std::string Invalid_Reason;          // why, for logs and tools (the technician sees the fixed message)
};

// What the first half of processing makes of one report text.
struct Report_Parse {
    Count_Report Report;
    std::string Log_Line;     // the line rebuilt for the count log
    std::string Station_Mode; // the run word of a check standard or a flush, else ""
    std::vector<std::string> Fields;
    bool Logged = false; // the line is in the active count log
};

// Parses and codes one report text as the action panel hands it over, for the kind of run in hand.
// Never throws for any input: a report that cannot be used comes back Invalid with a reason.
Report_Parse Parse_Count_Report(std::string_view text, Run_Kind kind);

// The line as the count log keeps it: fields joined by "," with a trailing line-end character moved
// in front of the final ",".
std::string Rebuild_Log_Line(const std::vector<std::string>& fields);

// The log line with the station's run identifier ("CHECK", "FLUSH", "SINGLE" or the lab number) in
// field 30, which the counter leaves empty: the counter never learns what it counted, so without it a
// log cannot tell a flush from a sample or a sample from its rerun. A line whose field 30 is not
// empty, or that ends before it, is logged as it came.
std::string Log_Line_With_Run(const std::vector<std::string>& fields, std::string_view run_id);

// The ISO 4406 table: the upper bound of codes 0 ... 28 in particles per mL (a code holds the counts
// above the bound of the code before it, up to and including its own).
inline constexpr std::array<double, 29> Iso_Code_Upper_Bound = {
    0.01, 0.02, 0.04, 0.08, 0.16, 0.32, 0.64, 1.3, 2.5, 5,     10,    20,    40,    80,   160,
    320,  640,  1300, 2500, 5000, 1e4,  2e4,  4e4, 8e4, 1.6e5, 3.2e5, 6.4e5, 1.3e6, 2.5e6};

// The range number the station gives a count per mL: the count rounded to a whole number (halves to
// even), 7 for 0 and 1, then the table, except that the station has always bounded codes 8 and 9 at
// 3 and 4 counts (so 3 gives 8 and 5 gives 10); 29 above the table.
int Whole_Count_Range_Number(double per_ml);

// ISO 4406 range number ("7" ... "25") of a count in a volume, both as text; "" when either is not a
// number or not above 0, or the count per mL is above the table.
std::string Get_ISO_Code(std::string_view count, std::string_view volume);

// The count per mL as a whole number (halves to even). Volume must be above 0.
int32_t Per_mL(int32_t count, int16_t volume);
std::array<int32_t, 6> Per_mL_Values(const Count_Report& r);

// Multiplies Value_1 ... Value_7 by 10 for a 1:10 dilution. False, with nothing changed, when a value
// would no longer fit 32 bits.
bool Scale_For_Dilution(Count_Report& r);
// Codes the first three channels again from the counts and the volume (after a dilution scaled them),
// as the lab codes what is saved; the code is left as it was when a channel falls outside the table.
void Code_From_Counts(Count_Report& r);

// The code of the ISO 4406 table applied to an unrounded count per mL: codes 0 to 28 (more than the
// lower bound, up to and including the upper bound), ">28" above the table, with "≥" in front when
// fewer than 20 particles were counted.
std::string Standard_ISO_Code(double per_ml, int64_t particles_counted);

} // namespace pcs
