// The rules around a count: which kind of run comes next (check standard, flush or the sample), the
// limits a check standard or flush must meet, and the question put after a sample was saved.
#pragma once

#include "counter/run.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace pcs {

inline constexpr const char* Check_Failed_Message = "Check sample not within limits!";
inline constexpr const char* Flush_Failed_Message = "Flush count to high!";

// Highest ISO range numbers each kind of run may give, as the station settings hold them.
struct Validation_Limits {
    int16_t ISO2_FLUSH = 18, ISO5_FLUSH = 15, ISO15_FLUSH = 13;
    int16_t ISO2_CHECK = 18, ISO5_CHECK = 15, ISO15_CHECK = 13;
    int16_t ISO2_SAMPLE = 21, ISO5_SAMPLE = 18, ISO15_SAMPLE = 999;
};

// One number of a history code of two or three numbers joined by "/" (size 2, 5 or 15); "" when the
// code has no such number.
std::string Get_History_Code(int size, std::string_view text);

// True when the next sample may follow the previous count without a flush: both 5 um codes are
// numbers and the next is not cleaner (or both are below ISO5_SAMPLE).
bool Compare_Codes(std::string_view previous, std::string_view next, int16_t iso5_sample);

// The flush rule over the last code shown (row 0 of the result table) and the history caption of the
// slot about to run.
bool Flush_Not_Needed(std::string_view previous_code_text, std::string_view history_caption,
                      int16_t iso5_sample);

// What a touch on a slot runs first: a check standard, a flush, or the sample itself.
struct Run_Choice {
    Run_Kind Kind = Run_Kind::Sample;
    bool Flush_Due = false;
};
// n = samples since the last passed check standard, N = SAMPLES_BETWEEN_CHECKS. A due flush goes
// before a due check; the check follows on the next touch.
Run_Choice Choose_Run_Type(int n, int N, bool flush_not_needed);

// True when the codes are within the limits of the kind of run (a check standard's, a flush's, the
// sample limits for any other). A code that is not a number cannot be judged and passes.
bool Validate_Codes(Run_Kind kind, std::string_view Code_2, std::string_view Code_5, std::string_view Code_15,
                    const Validation_Limits& limits);

// "<rack>\r\n\r\nCurrent count is [<code>], history is [<history>].  Do you want to rerun the sample?"
std::string Rerun_Question(std::string_view rack_desc, std::string_view code_text,
                           std::string_view history_caption);

} // namespace pcs
