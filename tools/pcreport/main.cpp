// pcreport: codes counter report texts, one per line, from files or standard input, and prints one
// JSON object per line. It never stops at a bad line; the exit status says whether any line was bad.
#include "report_json.h"

#include <CLI/CLI.hpp>

#include <fstream>
#include <iostream>

namespace {

// Reads lines ending in LF; a CR before it stays in the text (a count log's rows carry CRs of their own).
bool Code_Stream(std::istream& in, const std::string& source, const pcs::tools::Report_Options& options,
                 bool& any_bad) {
    std::string line;
    long number = 0;
    while (std::getline(in, line)) {
        ++number;
        if (pcs::tools::Is_Blank_Or_Header(line)) continue;
        nlohmann::json j = pcs::tools::Code_Report(line, options);
        j["source"] = source;
        j["line"] = number;
        if (j.contains("error")) any_bad = true;
        std::cout << j.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) << '\n';
    }
    return !in.bad();
}

} // namespace

int main(int argc, char** argv) {
    CLI::App app{"Codes particle-counter report lines (raw panel text or count-log rows) as JSON lines."};
    pcs::tools::Report_Options options;
    std::vector<std::string> files;
    app.add_option("files", files, "Files of report lines; standard input when none (or \"-\")");
    app.add_option("-r,--run-id", options.Run_Id,
                   "Run identifier: CHECK, FLUSH, SINGLE or a lab number (default SAMPLE)");
    app.add_flag("-d,--dilution", options.Dilution, "The sample was diluted 1:10 (sample runs only)");
    app.add_flag("-s,--standard", options.Standard,
                 "Add the code of the ISO 4406 table applied to the unrounded per-mL values");
    CLI11_PARSE(app, argc, argv);

    bool any_bad = false;
    bool io_error = false;
    if (files.empty()) files.push_back("-");
    for (const auto& f : files) {
        if (f == "-") {
            if (!Code_Stream(std::cin, "-", options, any_bad)) io_error = true;
            continue;
        }
        std::ifstream in(f, std::ios::binary);
        if (!in) {
            std::cerr << "pcreport: cannot open " << f << '\n';
            io_error = true;
            continue;
        }
        if (!Code_Stream(in, f, options, any_bad)) {
            std::cerr << "pcreport: error reading " << f << '\n';
            io_error = true;
        }
    }
    std::cout.flush();
    if (io_error) return 2;
    return any_bad ? 1 : 0;
}
