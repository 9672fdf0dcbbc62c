// The run in hand: what goes through the counter (a sample, a check standard, a flush, a toolbox test
// run, or the repeat of a failed check standard or flush), the sample's lab number, its dilution, and
// which count it is. The station owns the current run and hands it to the panel, the parser, the
// validation and the save; nobody else changes it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace pcs {

enum class Run_Kind {
    Sample, // a sample of the bath: its lab number names the run
    Check,  // the check standard
    Flush,  // clean fluid through the counter before a cleaner sample
    Single, // a test run from the toolbox, never saved
    Rerun,  // the run after a failed check standard or flush
};

// The word the station names a run kind by; "" for a sample, which goes by its lab number.
constexpr std::string_view Run_Word(Run_Kind kind) {
    switch (kind) {
    case Run_Kind::Check:
        return "CHECK";
    case Run_Kind::Flush:
        return "FLUSH";
    case Run_Kind::Single:
        return "SINGLE";
    case Run_Kind::Rerun:
        return "RERUN";
    case Run_Kind::Sample:
        break;
    }
    return {};
}

struct Run {
    Run_Kind Kind = Run_Kind::Sample;
    std::string Lab_Number;     // the sample's, for a sample run; "" otherwise
    bool Dilution_Flag = false; // the sample was diluted 1:10: its saved counts are multiplied by 10
    bool Rerun_Flag = false;    // the run just processed must be repeated
    // Which count this is: a new number for every count started (every showing of the action panel);
    // 0 before the first. A report belongs to the count whose number it was started under.
    uint64_t Count_Id = 0;

    // The run identifier as the screens and the lab database see it: the run word, or the lab number.
    std::string Id() const;
    bool Is(Run_Kind kind) const { return Kind == kind; }
    // Check standards and flushes are judged against limits; everything else is a sample's count.
    bool Is_Check_Or_Flush() const { return Kind == Run_Kind::Check || Kind == Run_Kind::Flush; }
    // A dilution scales only a sample's counts, never a check standard's or a flush's.
    bool Scaled_By_Dilution() const { return Dilution_Flag && !Is_Check_Or_Flush(); }

    static Run Of_Kind(Run_Kind kind);
    static Run Of_Sample(std::string lab_number);
    // A run identifier as text (a run word in any case, otherwise a lab number), as the command-line
    // tools take it.
    static Run From_Id(std::string_view id);
};

} // namespace pcs
