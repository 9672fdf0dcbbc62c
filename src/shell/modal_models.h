// The models of the modal alert, the yes/no question and the toolbox. While an alert or question is
// open the station reads "IDLE", so it cannot lock under it; closing puts the state back.
#pragma once

#include "common/clock.h"
#include "common/globals.h"
#include "common/ports.h"
#include "shell/working_forms.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace pcs {

// Keeps App_State "IDLE" from Load to Unload, then restores it and refreshes Last_Activity.
class Idle_While_Open {
public:
    Idle_While_Open(Globals& g, const Clock& clock) : g_(g), clock_(clock) {}
    void Load();
    // Once only; later calls do nothing.
    void Unload();
    bool Loaded() const { return loaded_; }

private:
    Globals& g_;
    const Clock& clock_;
    std::string saved_;
    bool loaded_ = false;
};

class Alert_Box {
public:
    Alert_Box(Globals& g, const Clock& clock) : idle_(g, clock) {}
    std::string Message;
    void Load() { idle_.Load(); }
    void Unload() { idle_.Unload(); }

private:
    Idle_While_Open idle_;
};

// Modifier keys as the question reads them.
enum Key_Modifier : int { Mod_None = 0, Mod_Shift = 1, Mod_Ctrl = 2, Mod_Alt = 4 };

class Question {
public:
    Question(Globals& g, const Clock& clock) : idle_(g, clock) {}
    std::string Message;
    int16_t Align = 0;     // 0 left, 1 right, 2 centred
    int16_t iFontSize = 0; // 0 means 14
    int16_t intInput = 0;  // 6 Yes, 7 No, 2 Exit

    void Load();
    // lbl_Yes, lbl_No, lbl_Exit: the answer is kept; the panel then unloads.
    void Answer(int answer) { intInput = static_cast<int16_t>(answer); }
    // Y, N and O answer with no modifier or with Alt alone; true when the key answered.
    bool Key_Down(char key, int modifiers);
    void Unload() { idle_.Unload(); }

private:
    Idle_While_Open idle_;
};

struct Tool_Button {
    const char* Caption;
    const char* Tag;
};
// The check command's tag is the check standard's run word.
inline constexpr const char* Toolbox_Single_Run_Tag = "RUN";
inline constexpr const char* Toolbox_Settings_Tag = "SETTINGS";
inline constexpr std::array<Tool_Button, 3> Toolbox_Buttons{{
    {"Run &Check", Run_Word(Run_Kind::Check).data()},
    {"Re&load Settings", Toolbox_Settings_Tag},
    {"&Run Sample", Toolbox_Single_Run_Tag},
}};
// The run a toolbox action starts: "RUN" a single test run, the check tag a check standard; none for
// any other action.
std::optional<Run_Kind> Toolbox_Run_Kind(std::string_view action);

// The toolbox stops the idle lock while it is loaded.
class Toolbox {
public:
    explicit Toolbox(Hibernation_Timer& timer) : timer_(timer) {}
    std::string Action;
    void Load();
    // cmd_Action(index): the tool's tag, then the panel closes.
    void Choose(int index);
    void Unload();

private:
    Hibernation_Timer& timer_;
    bool loaded_ = false;
};

} // namespace pcs
