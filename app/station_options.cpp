#include "station_options.h"

#include "db/connect_string.h"
#include "pcs_version.h"

#include <QCommandLineParser>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

namespace pcs::app {

namespace fs = std::filesystem;

namespace {

constexpr const char* Version_Text = "pcstation " PCS_VERSION;

const char* const Environment_Help = R"(
Environment:
  PCSTATION_CONNECT     Lab database connection string (an ODBC DSN or driver string, or
                        EMBEDDED=<lab.db> for the embedded lab database). Default: the station's
                        built-in lab data source. Never printed or traced.
  PCSTATION_FOLDER      Program folder, as --folder. Default: the current folder.
  PCSTATION_PICTURES    Picture folder, as --pictures.
  PCSTATION_SQL_TRACE   Statement trace file, as --sql-trace.
  PCSTATION_DOC_SERVER  Web server of the procedure documents. Default: localhost.
  PCSTATION_BROWSER     Program that opens a document address. Default: xdg-open.
  PCSTATION_DEMO_PASSWORD  With --screenshots: the password the demo login types.

Settings (settings.txt in the program folder, "key;value;description" a line):
  COMM_PORT             Counter port number n: COMn on Windows, /dev/ttyS(n-1) on Linux.
  COMM_DEVICE           Counter device path instead (a USB adapter, or counter-sim's --link).
  KIOSK                 1 = run as with --kiosk (read at start). Default: 0.
  SAMPLE_IMAGE_SHARE    Root of the sample-image share (pictures below
                        virtual_directories/IMG_SAMPLES/VOLMAR/). Default: the program folder.
  INSTRUMENT_ID, SAMPLES_BETWEEN_CHECKS, ISO limits, bath times: see the example settings.txt
  installed with the program (share/pcstation/settings.txt).

Exit codes: 0 ended normally, 1 stopped on an error, 2 bad option or touch script, 3 a folder or
file cannot be used, 4 no display (set DISPLAY, run under Xvfb, or QT_QPA_PLATFORM=offscreen),
5 a step of the touch script was not met in time, 6 the lab database is damaged (the technician is
told; nothing is written into it). SIGTERM, SIGINT (Ctrl-C) and SIGHUP end the
station as its Exit does: the rack is given back and the counter leaves remote mode.
)";

struct Parser {
    QCommandLineParser p;
    QCommandLineOption help{{"h", "help"}, "Show this help and exit."};
    QCommandLineOption version{{"v", "version"}, "Show the version and exit."};
    QCommandLineOption folder{{"f", "folder"},
                              "Program folder: settings.txt and the count logs PC_Active.csv, "
                              "PC_STD_Passed.csv, PC_STD_Error.csv. Default: PCSTATION_FOLDER, else the "
                              "current folder.",
                              "dir"};
    QCommandLineOption pictures{"pictures",
                                "Folder of the button pictures. Default: PCSTATION_PICTURES, else "
                                "'pictures' beside the program, else share/pcstation/pictures.",
                                "dir"};
    QCommandLineOption lab_db{"lab-db",
                              "Use the embedded lab database in this file (made by 'labdb seed "
                              "--create'); overrides PCSTATION_CONNECT.",
                              "file"};
    QCommandLineOption trace{"sql-trace",
                             "Append every statement sent to the lab database, its outcome and time, to "
                             "this file (JSON lines). Default: PCSTATION_SQL_TRACE.",
                             "file"};
    QCommandLineOption screenshots{
        "screenshots",
        "Play the built-in look at the station: save the login screen to dir/login.png and, when "
        "PCSTATION_DEMO_PASSWORD is set, log in with it on the keys and save dir/working.png. Not "
        "with --touch-script.",
        "dir"};
    QCommandLineOption touch_script{
        "touch-script",
        "Play the steps of this file on the screens, touching the controls as a finger would "
        "(touch, type, wait, wait-file, show, picture, timeout; see README). A step not met in time ends "
        "the station with exit code 5.",
        "file"};
    QCommandLineOption development{
        "development",
        "A station for development: the main form offers the DEBUG box, which stops the counter "
        "being driven (the form says so while it is ticked). Never on a working bench."};
    QCommandLineOption kiosk{"kiosk",
                             "Run as the bench's only program: full screen, no mouse pointer, window "
                             "closing ignored, the station's own Exit the only way out. Also KIOSK;1 in "
                             "settings.txt."};
    Parser() {
        p.setApplicationDescription("The bench program of the particle-count station.");
        p.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
        p.addOptions(
            {help, version, folder, pictures, lab_db, trace, screenshots, touch_script, development, kiosk});
    }
};

// Why the folder cannot serve, or "" when it can.
std::string Folder_Problem(const fs::path& dir, bool writable) {
    std::error_code ec;
    if (!fs::exists(dir, ec)) return "does not exist";
    if (!fs::is_directory(dir, ec)) return "is not a folder";
    if (::access(dir.c_str(), R_OK | X_OK) != 0)
        return std::string("cannot be read: ") + std::strerror(errno);
    if (writable && ::access(dir.c_str(), W_OK) != 0)
        return std::string("cannot be written: ") + std::strerror(errno);
    return "";
}

Parse_Result Fail(int code, std::string message) {
    Parse_Result r;
    r.Exit = code;
    r.Message = "pcstation: " + std::move(message);
    return r;
}

} // namespace

Environment Process_Environment() {
    return [](const char* name) -> std::optional<std::string> {
        const char* v = std::getenv(name);
        if (!v) return std::nullopt;
        return std::string(v);
    };
}

std::string Help_Text() {
    Parser parser;
    std::string text = parser.p.helpText().toStdString();
    // The help lists the program by its own name, whatever path started it.
    if (auto at = text.find("Usage: "); at != std::string::npos) {
        auto end = text.find(' ', at + 7);
        text.replace(at + 7, end - (at + 7), "pcstation");
    }
    return text + Environment_Help;
}

fs::path Find_Picture_Folder(const fs::path& named, const fs::path& program_dir) {
    if (!named.empty()) return named;
    std::error_code ec;
    fs::path beside = program_dir / "pictures";
    if (fs::is_directory(beside, ec)) return beside;
    return program_dir.parent_path() / "share" / "pcstation" / "pictures";
}

Parse_Result Parse_Station_Options(const QStringList& arguments, const Environment& env,
                                   const fs::path& program_dir) {
    Parser parser;
    if (!parser.p.parse(arguments))
        return Fail(Exit_Usage, parser.p.errorText().toStdString() + " (pcstation --help lists the options)");
    if (!parser.p.positionalArguments().isEmpty())
        return Fail(Exit_Usage, "unexpected argument '" +
                                    parser.p.positionalArguments().first().toStdString() +
                                    "' (pcstation --help lists the options)");
    Parse_Result r;
    if (parser.p.isSet(parser.help)) {
        r.Message = Help_Text();
        return r;
    }
    if (parser.p.isSet(parser.version)) {
        r.Message = std::string(Version_Text) + "\n";
        return r;
    }
    auto value = [&](const QCommandLineOption& o, const char* variable) -> std::string {
        if (parser.p.isSet(o)) return parser.p.value(o).toStdString();
        return env(variable).value_or("");
    };

    Station_Options o;
    std::string folder = value(parser.folder, "PCSTATION_FOLDER");
    std::error_code ec;
    o.Program_Folder = folder.empty() ? fs::current_path(ec) : fs::absolute(folder, ec);
    if (std::string why = Folder_Problem(o.Program_Folder, true); !why.empty())
        return Fail(Exit_Bad_Folder, "the program folder " + o.Program_Folder.string() + " " + why);

    std::string pictures = value(parser.pictures, "PCSTATION_PICTURES");
    o.Picture_Folder = fs::absolute(Find_Picture_Folder(pictures, program_dir), ec);
    // Missing pictures only draw neutral frames; a folder the site named must be there, though.
    if (!pictures.empty())
        if (std::string why = Folder_Problem(o.Picture_Folder, false); !why.empty())
            return Fail(Exit_Bad_Folder, "the picture folder " + o.Picture_Folder.string() + " " + why);

    if (parser.p.isSet(parser.lab_db)) {
        fs::path lab = fs::absolute(parser.p.value(parser.lab_db).toStdString(), ec);
        if (!fs::is_regular_file(lab, ec))
            return Fail(Exit_Bad_Folder, "the lab database " + lab.string() +
                                             " does not exist (make one with: labdb seed --create " +
                                             lab.string() + ")");
        o.Connect_String = "EMBEDDED=" + lab.string();
    } else {
        o.Connect_String = env(db::Connect_Variable).value_or("");
    }

    std::string trace = value(parser.trace, "PCSTATION_SQL_TRACE");
    if (!trace.empty()) {
        o.Sql_Trace = fs::absolute(trace, ec);
        fs::path dir = o.Sql_Trace.parent_path();
        if (std::string why = Folder_Problem(dir, true); !why.empty())
            return Fail(Exit_Bad_Folder, "the statement trace's folder " + dir.string() + " " + why);
    }
    if (parser.p.isSet(parser.screenshots) && parser.p.isSet(parser.touch_script))
        return Fail(Exit_Usage, "--screenshots plays a touch script of its own: give it or --touch-script");
    if (parser.p.isSet(parser.screenshots)) {
        o.Screenshots = fs::absolute(parser.p.value(parser.screenshots).toStdString(), ec);
        fs::create_directories(o.Screenshots, ec);
        if (std::string why = Folder_Problem(o.Screenshots, true); !why.empty())
            return Fail(Exit_Bad_Folder, "the screenshot folder " + o.Screenshots.string() + " " + why);
    }
    o.Development = parser.p.isSet(parser.development);
    if (parser.p.isSet(parser.touch_script)) {
        o.Touch_Script = fs::absolute(parser.p.value(parser.touch_script).toStdString(), ec);
        if (!fs::is_regular_file(o.Touch_Script, ec) || ::access(o.Touch_Script.c_str(), R_OK) != 0)
            return Fail(Exit_Bad_Folder, "the touch script " + o.Touch_Script.string() + " cannot be read");
    }
    o.Kiosk = parser.p.isSet(parser.kiosk);
    r.Options = std::move(o);
    return r;
}

} // namespace pcs::app
