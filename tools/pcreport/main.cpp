// pcreport: codes counter report texts, one per line, from files or standard input, and prints one
// JSON object per line. It never stops at a bad line; the exit status says whether any line was bad.
#include "report_json.h"

#include "pcs_version.h"

#include <CLI/CLI.hpp>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <iostream>
#include <limits>
#include <vector>

namespace {

// Longer than any report could be: refused without being held whole.
constexpr size_t Max_Line = 64 * 1024;

struct Run_State {
    bool Any_Bad = false;
    bool Output_Failed = false;
    int Output_Errno = 0;
};

void Print(const nlohmann::json& j, Run_State& state) {
    std::cout << j.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) << '\n';
    if (!std::cout && !state.Output_Failed) {
        state.Output_Failed = true;
        state.Output_Errno = errno;
    }
}

// Reads lines ending in LF; a CR before it stays in the text (a count log's rows carry CRs of their own).
// False when the input could not be read.
bool Code_Stream(std::istream& in, const std::string& source, const pcs::tools::Report_Options& options,
                 Run_State& state) {
    std::vector<char> buf(Max_Line + 1);
    long number = 0;
    while (!state.Output_Failed) {
        in.getline(buf.data(), static_cast<std::streamsize>(buf.size()));
        size_t got = static_cast<size_t>(in.gcount());
        if (got == 0 && in.eof()) break;
        if (in.bad()) return false;
        ++number;
        nlohmann::json j;
        if (in.fail() && !in.eof()) {
            // The rest of the line is skipped as it comes, never stored.
            in.clear();
            in.ignore(std::numeric_limits<std::streamsize>::max(), '\n');
            if (in.bad()) return false;
            j["invalid"] = true;
            j["error"] = "the line is longer than " + std::to_string(Max_Line) + " bytes: not a report";
        } else {
            if (!in.eof()) --got; // the LF
            std::string_view line(buf.data(), got);
            if (pcs::tools::Is_Blank_Or_Header(line)) continue;
            j = pcs::tools::Code_Report(line, options);
        }
        j["source"] = source;
        j["line"] = number;
        if (j.contains("error")) state.Any_Bad = true;
        Print(j, state);
        if (in.eof()) break;
    }
    return !in.bad();
}

} // namespace

int main(int argc, char** argv) {
    CLI::App app{"Codes particle-counter report lines (raw panel text or count-log rows) as JSON lines."};
    pcs::tools::Report_Options options;
    app.set_version_flag("--version", "pcreport " PCS_VERSION);
    std::vector<std::string> files;
    app.add_option("files", files, "Files of report lines; standard input when none (or \"-\")");
    app.add_option("-r,--run-id", options.Run_Id,
                   "Run identifier: CHECK, FLUSH, SINGLE or a lab number (default SAMPLE)");
    app.add_flag("-d,--dilution", options.Dilution, "The sample was diluted 1:10 (sample runs only)");
    app.add_flag("-s,--standard", options.Standard,
                 "Add the code of the ISO 4406 table applied to the unrounded per-mL values");
    CLI11_PARSE(app, argc, argv);

    Run_State state;
    bool io_error = false;
    if (files.empty()) files.push_back("-");
    for (const auto& f : files) {
        if (state.Output_Failed) break;
        if (f == "-") {
            if (!Code_Stream(std::cin, "-", options, state)) io_error = true;
            continue;
        }
        std::ifstream in(f, std::ios::binary);
        if (!in) {
            std::cerr << "pcreport: cannot open " << f << '\n';
            io_error = true;
            continue;
        }
        if (!Code_Stream(in, f, options, state)) {
            std::cerr << "pcreport: error reading " << f << '\n';
            io_error = true;
        }
    }
    if (!state.Output_Failed && !std::cout.flush()) state.Output_Errno = errno;
    if (state.Output_Failed || !std::cout) {
        std::cerr << "pcreport: cannot write the output: " << std::strerror(state.Output_Errno) << '\n';
        return 2;
    }
    if (io_error) return 2;
    return state.Any_Bad ? 1 : 0;
}
