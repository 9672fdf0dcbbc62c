// pcstation: the particle-count station. Checks what the site named before any window opens, then
// hands over to the composition root.
#include "screen_fit.h"
#include "station_app.h"
#include "station_options.h"
#include "stop_signals.h"
#include "touch_script.h"

#include <QApplication>

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <fstream>
#include <memory>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

fs::path Program_Dir(const char* argv0) {
    std::error_code ec;
    fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    if (ec) exe = fs::absolute(argv0, ec);
    return exe.parent_path();
}

// Qt aborts when it cannot reach a display; say so plainly instead.
bool Display_Reachable() {
    const char* platform = std::getenv("QT_QPA_PLATFORM");
    if (platform && *platform) return true;
    return std::getenv("DISPLAY") || std::getenv("WAYLAND_DISPLAY");
}

} // namespace

int main(int argc, char** argv) {
    using namespace pcs::app;
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    Parse_Result parsed = Parse_Station_Options(arguments, Process_Environment(), Program_Dir(argv[0]));
    if (!parsed.Options) {
        std::fputs(parsed.Message.c_str(), parsed.Exit == Exit_Ok ? stdout : stderr);
        if (parsed.Exit != Exit_Ok) std::fputc('\n', stderr);
        return parsed.Exit;
    }
    const Station_Options& o = *parsed.Options;
    std::vector<Touch_Step> script;
    if (!o.Touch_Script.empty()) {
        std::ifstream in(o.Touch_Script);
        Touch_Script_File file = Parse_Touch_Script(in);
        if (!file.Error.empty()) {
            std::fprintf(stderr, "pcstation: touch script %s %s\n", o.Touch_Script.c_str(),
                         file.Error.c_str());
            return Exit_Usage;
        }
        script = std::move(file.Steps);
    }
    if (!Display_Reachable()) {
        std::fputs("pcstation: no display (DISPLAY is not set): run it on the station's screen, under "
                   "Xvfb, or with QT_QPA_PLATFORM=offscreen\n",
                   stderr);
        return Exit_No_Display;
    }
    // The station works in its program folder: settings.txt and the count logs are opened by name.
    if (::chdir(o.Program_Folder.c_str()) != 0) {
        std::fprintf(stderr, "pcstation: cannot work in %s\n", o.Program_Folder.c_str());
        return Exit_Bad_Folder;
    }
    QApplication app(argc, argv);
    // The working forms scaled as one whole to this screen, before the first form is built.
    Scale_To_Screen();
    QApplication::setApplicationName("pcstation");
    QApplication::setQuitOnLastWindowClosed(false);
    try {
        Station_App station(o);
        Stop_Signals stop([&station] { station.Orderly_Exit(); });
        // --screenshots plays the built-in look at the station; it logs in when given the password.
        if (!o.Screenshots.empty())
            script = Screenshot_Script(o.Screenshots.string(), std::getenv("PCSTATION_DEMO_PASSWORD"));
        std::unique_ptr<Touch_Script> player;
        if (!script.empty()) {
            player = std::make_unique<Touch_Script>(
                std::move(script), o.Screenshots.empty() ? o.Touch_Script.string() : "of --screenshots",
                [](const std::string& name) { return Process_Environment()(name.c_str()); });
            player->Start();
        }
        const int code = station.Run();
        return player && player->Failed() ? int(Exit_Script_Failed) : code;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "pcstation: %s\n", e.what());
        return Exit_Failed;
    }
}
