#include "shell/key_input.h"

#include "common/text.h"

#include <stdexcept>

namespace pcs {

const std::array<const char*, Key_Count> Key_Tags{
    "`",          "1",        "2",          "3",       "4",         "5", "6", "7", "8",         "9", "0",
    "+",          "Q",        "W",          "E",       "R",         "T", "Y", "U", "I",         "O", "P",
    "CMD_DELETE", "-",        "A",          "S",       "D",         "F", "G", "H", "J",         "K", "L",
    ":",          "'",        "Z",          "X",       "C",         "V", "B", "N", "M",         ",", ".",
    "?",          "CMD_CAPS", "CMD_CANCEL", "CMD_ALT", "CMD_SPACE", "(", ")", "@", "CMD_ENTER",
};

bool Key_Input::Is_Command(int index) {
    return std::string(Key_Tags.at(static_cast<size_t>(index))).find("CMD") != std::string::npos;
}

std::string Key_Input::Key_Caption(int index) {
    std::string tag = Key_Tags.at(static_cast<size_t>(index));
    if (!Is_Command(index)) return tag;
    if (tag == "CMD_DELETE") return "Del";
    if (tag == "CMD_CAPS") return "Caps";
    if (tag == "CMD_CANCEL") return "Cancel";
    if (tag == "CMD_ALT") return "Alt";
    if (tag == "CMD_SPACE") return "Space";
    if (tag == "CMD_ENTER") return "Enter";
    return tag;
}

void Key_Input::Key_Click(int index) {
    if (index < 0 || index >= Key_Count) throw std::out_of_range("no key " + std::to_string(index));
    const std::string tag = Key_Tags[static_cast<size_t>(index)];
    if (tag.find("CMD") != std::string::npos) {
        Command(Trim(tag));
        return;
    }
    view_.Focus_Input();
    std::string text = Trim(tag);
    view_.Type_Text(CAPS_Tag == "ON" ? UCase(text) : LCase(text));
}

void Key_Input::Command(const std::string& tag) {
    if (tag == "CMD_CANCEL") {
        isEntered = false;
        UserInput.clear();
        view_.Hide_Panel();
    } else if (tag == "CMD_DELETE") {
        view_.Delete_Right();
    } else if (tag == "CMD_SPACE") {
        view_.Focus_Input();
        view_.Type_Text(" ");
    } else if (tag == "CMD_ENTER") {
        isEntered = true;
        UserInput = view_.Input_Text();
        view_.Hide_Panel();
    } else if (tag == "CMD_CAPS") {
        if (CAPS_Tag != "OFF") {
            CAPS_Caption = "CAPS Off";
            CAPS_Tag = "OFF";
        } else {
            CAPS_Caption = "CAPS On";
            CAPS_Tag = "ON";
        }
        view_.Caps_Changed();
    }
    // Any other command (CMD_ALT) does nothing.
}

void Key_Input::Input_Key_Up(int key_code) {
    if (key_code == 13) Command("CMD_ENTER");
}

} // namespace pcs
