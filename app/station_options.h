// What a site can tell pcstation on its command line and in its environment, checked before any
// window opens so that a wrong folder is a clear message and an exit code, not a crash.
#pragma once

#include <QStringList>

#include <filesystem>
#include <functional>
#include <optional>
#include <string>

namespace pcs::app {

// Exit codes of pcstation.
enum Exit_Code : int {
    Exit_Ok = 0,
    Exit_Failed = 1,               // the station stopped on an error it could not show
    Exit_Usage = 2,                // an unknown option or a missing option value
    Exit_Bad_Folder = 3,           // a folder or file named by the site cannot be used
    Exit_No_Display = 4,           // no display to draw on
    Exit_Script_Failed = 5,        // a step of the touch script was not met in time
    Exit_Damaged_Lab_Database = 6, // the lab database's files are damaged: nothing is written into them
};

struct Station_Options {
    bool Help = false;
    bool Version = false;
    // The program folder: settings.txt and the count logs (the station's current folder while it runs).
    std::filesystem::path Program_Folder;
    // The button pictures; empty = beside the program, else the installed share folder.
    std::filesystem::path Picture_Folder;
    // PCSTATION_CONNECT, or EMBEDDED=<file> from --lab-db; empty = the built-in data source.
    std::string Connect_String;
    // PCSTATION_SQL_TRACE or --sql-trace; empty = no trace.
    std::filesystem::path Sql_Trace;
    // Save login.png there once the login screen shows, and working.png after a demo login with the
    // password in PCSTATION_DEMO_PASSWORD; empty = none.
    std::filesystem::path Screenshots;
    // --kiosk: the station is the bench's only program (full screen, no pointer, only its own Exit
    // ends it); settings.txt's KIOSK;1 asks the same.
    bool Kiosk = false;
    // --touch-script: the file of steps played on the screens; empty = none.
    std::filesystem::path Touch_Script;
    // --development: the main form offers its DEBUG box.
    bool Development = false;
};

struct Parse_Result {
    std::optional<Station_Options> Options;
    int Exit = Exit_Ok;  // when Options is empty
    std::string Message; // the error, or the help or version text
};

// Reads the environment variable; a test hands in its own.
using Environment = std::function<std::optional<std::string>(const char* name)>;
Environment Process_Environment();

// The help text: options, environment variables and the settings a site sets.
std::string Help_Text();

// Parses the arguments (argv[0] first) and checks every folder and file they name: the program
// folder must be a folder the station can read and write (count logs are written there), a named
// picture folder must be readable, a named lab database must exist, the trace's folder writable.
Parse_Result Parse_Station_Options(const QStringList& arguments, const Environment& env,
                                   const std::filesystem::path& program_dir);

// The pictures: the named folder, else "pictures" beside the program (the build), else the installed
// share folder (<prefix>/share/pcstation/pictures beside <prefix>/bin).
std::filesystem::path Find_Picture_Folder(const std::filesystem::path& named,
                                          const std::filesystem::path& program_dir);

} // namespace pcs::app
