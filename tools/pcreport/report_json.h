// One report text coded as a JSON object, the way pcreport prints it.
#pragma once

#include <nlohmann/json.hpp>

#include <string_view>

namespace pcs::tools {

struct Report_Options {
    std::string Run_Id = "SAMPLE"; // a sample run unless told otherwise
    bool Dilution = false;         // the sample was diluted 1:10
    bool Standard = false;         // add the code of the ISO 4406 table on unrounded values
};

// True for a line that holds no report (blank, or a count log's header row).
bool Is_Blank_Or_Header(std::string_view line);

// The JSON object of one report text; "error" is set when the text cannot be coded.
nlohmann::json Code_Report(std::string_view text, const Report_Options& options);

} // namespace pcs::tools
