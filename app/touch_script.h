// A touch script drives the station's screens from a file of steps, touching controls as a finger
// would: a control is found by its object name or accessible name among the windows a finger can
// reach (only the modal window while one is up), must be visible and enabled, and gets a press and a
// release at its centre. Reading a control's text is looking, not touching: any shown window serves.
// Steps, one a line ('#' starts a comment; a word with blanks is written in double quotes):
//   timeout <seconds>          the time each later step may wait (default 10)
//   touch <control>            wait until the control can be touched, then touch it
//   type <text>                touch the on-screen keyboard's key of each character ($NAME: the
//                              value of the environment variable NAME, never echoed)
//   wait <control>             wait until the control is shown
//   wait <control> = <text>    ... until it shows exactly the text (blanks at the ends ignored)
//   wait <control> ~ <text>    ... until its text contains the text
//   wait <control> != <text>   ... until it shows something else
//   wait-file <path>           wait until the file exists ($NAME expands as above)
//   show <control>             print "touch-script: <control> = <text>" on standard output
//   picture <path>             save the screen as it stands (every shown window in its place) to a
//                              PNG file, once a window is shown
// A word may begin with $NAME followed by more text ($SCREENS/login.png).
// A control may be named <window>/<control> to look only in the top-level window of that object name.
// A step that waits longer than its timeout ends the program with a message naming the step.
#pragma once

#include <QImage>
#include <QObject>
#include <QString>
#include <QStringList>

#include <chrono>
#include <functional>
#include <istream>
#include <optional>
#include <string>
#include <vector>

namespace pcs::app {

struct Touch_Step {
    int Line = 0;
    std::string Source; // the line as written, for messages
    QString Verb;
    QStringList Args;
};

struct Touch_Script_File {
    std::vector<Touch_Step> Steps;
    std::string Error; // the first line that is not a step; empty when all are
};

// Reads the steps; an unknown verb or a wrong number of words is an error naming its line.
Touch_Script_File Parse_Touch_Script(std::istream& in);

// The run command's look at a station without a screen: the login screen saved to folder/login.png
// and, when log_in, a login with the password in PCSTATION_DEMO_PASSWORD (never on the command line,
// where anyone could read it) and the working forms saved to folder/working.png.
std::vector<Touch_Step> Screenshot_Script(const std::string& folder, bool log_in);

// The screen as it stands: every shown window drawn in its place, the full-screen ones first and the
// modal one last, on black; a null image when no window is shown.
QImage Screen_Picture();

// Touches the text's keys and Enter on the on-screen keyboard when it is showing; false when not.
bool Type_On_Keyboard(const QString& text);

// The environment lookup a script's $NAME words use; a test hands in its own.
using Script_Environment = std::function<std::optional<std::string>(const std::string& name)>;

class Touch_Script : public QObject {
public:
    Touch_Script(std::vector<Touch_Step> steps, std::string name, Script_Environment env);
    void Start();
    bool Failed() const { return failed_; }
    bool Finished() const { return next_ >= steps_.size(); }

    // Called with the message when a step fails; the default prints it and ends the event loops.
    std::function<void(const std::string&)> On_Failure;

private:
    void Poll();
    // True when the step is done (or started: a touch may open a modal window whose loop goes on
    // playing the later steps); false to look again later. Sets why_ to what is still missing.
    bool Try(const Touch_Step& s);
    void Fail(const std::string& why);
    QString Expand(const QString& word) const;

    std::vector<Touch_Step> steps_;
    std::string name_;
    Script_Environment env_;
    size_t next_ = 0;
    std::chrono::milliseconds timeout_{10000};
    std::chrono::steady_clock::time_point step_began_;
    std::string why_;
    bool failed_ = false;
};

} // namespace pcs::app
