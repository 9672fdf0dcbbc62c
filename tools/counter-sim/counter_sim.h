// What the simulated particle counter says: report lines drawn for a cleanliness or read from a file,
// and its answers to the station's commands.
#pragma once

#include <array>
#include <cstdint>
#include <ctime>
#include <optional>
#include <random>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace pcs::sim {

// ISO 4406 code numbers of the 4, 6 and 14 um(c) channels (the counter's 2, 5 and 15 um channels).
struct Cleanliness {
    int Code_4 = 17, Code_6 = 15, Code_14 = 12;
};

// "18/16/13": three codes 0..28, none above the one before it. Throws std::invalid_argument.
Cleanliness Parse_Cleanliness(std::string_view text);

// The ISO 4406 range number of a count per mL (0 for none; 28 is the top of the scale).
int Iso4406_Code(double per_ml);
// The upper bound of a range number, particles per mL.
double Iso4406_Upper(int code);

// Check-standard fluid whose codes stay within (pass) or go beyond (fail) the station's default
// check limits 18/15/13.
inline constexpr Cleanliness Check_Standard_Pass{16, 14, 11};
inline constexpr Cleanliness Check_Standard_Fail{21, 19, 16};

enum class Code_Format { Two, Three, None };

struct Report_Options {
    double Volume_ml = 20;
    double Count_Seconds = 5;
    std::string Operator = "LAB.TECH";
    std::string Sample_Id = "22222222";
    std::string Run_Label = "SAMPLE";
    Code_Format Code = Code_Format::Two;
};

using Channel_Counts = std::array<int64_t, 8>;

// Counts of the eight channels in the analysed volume, falling from channel to channel, with the
// scatter of a real count.
Channel_Counts Draw_Counts(const Cleanliness& c, double volume_ml, std::mt19937_64& rng);

// One report line in the counter's field layout, ending with "," (no line end).
std::string Format_Report(const Channel_Counts& counts, const Report_Options& o, std::time_t when);

// The counter's own code text of a report: "ISO Code: " and the 6 and 14 um(c) codes (or all three).
std::string Code_Field(const Channel_Counts& counts, double volume_ml, Code_Format format);

// Reports handed out in turn: drawn afresh each time, or the lines of a file, over and over.
class Report_Source {
public:
    Report_Source(Cleanliness c, Report_Options o, uint64_t seed);
    // Throws std::runtime_error when the file cannot be read or holds no line.
    Report_Source(const std::string& file, Report_Options o);
    std::string Next(std::time_t when);
    const Report_Options& Options() const { return options_; }

private:
    Cleanliness clean_{};
    Report_Options options_;
    std::mt19937_64 rng_;
    std::vector<std::string> lines_;
    size_t next_ = 0;
};

// A command line from the station, trimmed and upper-cased, and the counter's answer: "" for a
// command it does not know.
std::string Normalise_Command(std::string_view line);
std::string Acknowledgement(std::string_view command);

} // namespace pcs::sim
