// pcreport: codes counter report texts, one per line, from files or standard input, and prints one
// JSON object per line. It never stops at a bad line; the exit status says whether any line was bad.
// "pcreport audit FOLDER" reads a station's count logs back into one HTML page for the lab's audit.
#include "audit_log.h"
#include "audit_page.h"
#include "report_json.h"

#include "pcs_version.h"

#include <CLI/CLI.hpp>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <ctime>
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

struct Audit_Args {
    std::string Folder, Output, From, To;
};

// 0 when every line was read, 1 when the page lists lines that could not be, 2 when there is no page.
int Run_Audit(const Audit_Args& args) {
    namespace audit = pcs::audit;
    audit::Audit_Options options;
    audit::Page_Info info;
    for (auto [text, day, name] :
         {std::tuple{&args.From, &options.From, "--from"}, std::tuple{&args.To, &options.To, "--to"}}) {
        if (text->empty()) continue;
        *day = audit::Parse_Day(*text);
        if (!*day) {
            std::cerr << "pcreport: " << name << " " << *text << " is not a date (YYYY-MM-DD)\n";
            return 2;
        }
    }
    info.Folder = args.Folder;
    info.From = options.From;
    info.To = options.To;
    std::time_t now = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
    std::tm tm{};
    localtime_r(&now, &tm);
    char made[32];
    std::strftime(made, sizeof made, "%Y-%m-%d %H:%M", &tm);
    info.Generated = made;
    audit::Audit a;
    try {
        a = audit::Read_Audit(args.Folder, options);
    } catch (const audit::Audit_Error& e) {
        std::cerr << "pcreport: " << e.what() << '\n';
        return 2;
    }
    std::ofstream file;
    if (!args.Output.empty()) {
        file.open(args.Output, std::ios::binary | std::ios::trunc);
        if (!file) {
            std::cerr << "pcreport: cannot write " << args.Output << ": " << std::strerror(errno) << '\n';
            return 2;
        }
    }
    std::ostream& out = args.Output.empty() ? std::cout : file;
    audit::Write_Page(out, a, info);
    out.flush();
    if (!out) {
        std::cerr << "pcreport: cannot write the page: " << std::strerror(errno) << '\n';
        return 2;
    }
    if (a.Unreadable_Total > 0) {
        std::cerr << "pcreport: " << a.Unreadable_Total
                  << " lines of the logs could not be read; the page lists them with their line numbers\n";
        return 1;
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) try {
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
    Audit_Args audit_args;
    CLI::App* audit = app.add_subcommand(
        "audit", "Write one HTML page from a station's count logs: the check-standard control chart, the "
                 "shift's figures per day, the samples' codes and every line that could not be read");
    audit
        ->add_option("folder", audit_args.Folder,
                     "The station's program folder (PC_Active.csv, PC_STD_Passed.csv, PC_STD_Error.csv, "
                     "settings.txt)")
        ->required();
    audit->add_option("-o,--output", audit_args.Output,
                      "Write the page to this file (default: standard output)");
    audit->add_option("--from", audit_args.From, "First day to include, YYYY-MM-DD");
    audit->add_option("--to", audit_args.To, "Last day to include, YYYY-MM-DD");
    CLI11_PARSE(app, argc, argv);
    if (*audit) return Run_Audit(audit_args);

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
} catch (const std::exception& e) {
    std::cerr << "pcreport: " << e.what() << "\n";
    return 1;
} catch (...) {
    std::cerr << "pcreport: an unexpected error\n";
    return 1;
}
