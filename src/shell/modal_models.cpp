#include "shell/modal_models.h"

#include <stdexcept>

namespace pcs {

void Idle_While_Open::Load() {
    saved_ = g_.App_State;
    g_.App_State = "IDLE";
    loaded_ = true;
}

void Idle_While_Open::Unload() {
    if (!loaded_) return;
    loaded_ = false;
    g_.App_State = saved_;
    g_.Last_Activity = clock_.Now();
}

void Question::Load() {
    idle_.Load();
    if (iFontSize == 0) iFontSize = 14;
}

bool Question::Key_Down(char key, int modifiers) {
    if (modifiers != Mod_None && modifiers != Mod_Alt) return false;
    switch (key) {
    case 'Y':
    case 'y':
        intInput = Answer_Yes;
        return true;
    case 'N':
    case 'n':
        intInput = Answer_No;
        return true;
    case 'O':
    case 'o':
        intInput = Answer_Closed;
        return true;
    default:
        return false;
    }
}

void Toolbox::Load() {
    Action.clear();
    timer_.Set_Timer1(false);
    loaded_ = true;
}

void Toolbox::Choose(int index) {
    if (index < 0 || index >= static_cast<int>(Toolbox_Buttons.size()))
        throw std::out_of_range("no tool " + std::to_string(index));
    Action = Toolbox_Buttons[static_cast<size_t>(index)].Tag;
}

void Toolbox::Unload() {
    if (!loaded_) return;
    loaded_ = false;
    timer_.Set_Timer1(true);
}

std::optional<Run_Kind> Toolbox_Run_Kind(std::string_view action) {
    if (action == Toolbox_Single_Run_Tag) return Run_Kind::Single;
    if (action == Run_Word(Run_Kind::Check)) return Run_Kind::Check;
    return std::nullopt;
}

} // namespace pcs
