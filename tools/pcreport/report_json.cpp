#include "report_json.h"

#include "common/text.h"
#include "counter/count_report.h"

namespace pcs::tools {

bool Is_Blank_Or_Header(std::string_view line) {
    size_t i = 0;
    while (i < line.size() && (line[i] == ' ' || line[i] == '\r' || line[i] == '\n' || line[i] == '\t'))
        ++i;
    line.remove_prefix(i);
    return line.empty() || line.substr(0, 20) == "EMPTY,TEST_DURATION,";
}

namespace {

// Texts from a serial line may hold any byte; JSON wants valid UTF-8.
std::string Printable(std::string_view s) {
    std::string out;
    for (unsigned char c : s)
        out += (c >= 32 && c < 127) ? static_cast<char>(c) : '?';
    return out;
}

} // namespace

nlohmann::json Code_Report(std::string_view text, const Report_Options& options) {
    nlohmann::json j;
    Run run = Run::From_Id(options.Run_Id);
    run.Dilution_Flag = options.Dilution;
    Report_Parse p = Parse_Count_Report(text, run.Kind);
    Count_Report& r = p.Report;
    bool scaled_ok = true;
    if (!r.Invalid && run.Scaled_By_Dilution()) scaled_ok = Scale_For_Dilution(r);

    j["code_text"] = Printable(r.Code_Text);
    j["codes"] = {Printable(r.Code_2), Printable(r.Code_5), Printable(r.Code_15)};
    j["volume"] = r.Volume;
    j["values"] = {r.Value[0], r.Value[1], r.Value[2], r.Value[3], r.Value[4], r.Value[5], r.Value_7};
    auto per_ml = Per_mL_Values(r);
    j["per_ml"] = {per_ml[0], per_ml[1], per_ml[2], per_ml[3], per_ml[4], per_ml[5], 0};
    j["counter_code"] = r.Counter_Code;
    j["invalid"] = r.Invalid;
    if (r.Invalid)
        j["error"] = std::string(Invalid_Count_Message) + " (" + r.Invalid_Reason + ")";
    else if (!scaled_ok)
        j["error"] = "the counts are too large to scale for the dilution";

    if (options.Standard && !r.Invalid) {
        nlohmann::json codes = nlohmann::json::array();
        std::string code_text;
        for (size_t i = 0; i < 3; ++i) {
            double unrounded = static_cast<double>(r.Value[i]) / r.Volume;
            std::string c = Standard_ISO_Code(unrounded, r.Value[i]);
            codes.push_back(c);
            code_text += (i ? "/" : "") + c;
        }
        j["standard"] = {{"code_text", code_text}, {"codes", codes}};
    }
    return j;
}

} // namespace pcs::tools
