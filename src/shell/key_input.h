// The on-screen keyboard's rules: 53 keys whose tags say what they type or do, caps, masking, and
// the confirmed input the caller reads once the panel has hidden itself.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace pcs {

inline constexpr int Key_Count = 53;
// The tag of each key lbl_Key(i). A tag containing "CMD" is a command; any other is the text typed.
extern const std::array<const char*, Key_Count> Key_Tags;

// What the keyboard needs of its input box.
class Key_Input_View {
public:
    virtual ~Key_Input_View() = default;
    virtual void Focus_Input() = 0;
    // Typed at the cursor as if it came from a keyboard.
    virtual void Type_Text(const std::string& text) = 0;
    // The character after the cursor goes (the Delete key).
    virtual void Delete_Right() = 0;
    virtual std::string Input_Text() const = 0;
    virtual void Hide_Panel() = 0;
    // The caps indicator's caption changed.
    virtual void Caps_Changed() = 0;
};

class Key_Input {
public:
    explicit Key_Input(Key_Input_View& view) : view_(view) {}

    bool isEntered = false;
    std::string UserInput;
    std::string CAPS_Caption = "CAPS off";
    std::string CAPS_Tag = "OFF";

    // The key's caption on the panel: what it types, or the command's name.
    static std::string Key_Caption(int index);
    static bool Is_Command(int index);

    void Load() { isEntered = false; }
    // lbl_Key(index) was touched.
    void Key_Click(int index);
    // A key released in the input box; 13 (Enter) confirms.
    void Input_Key_Up(int key_code);

private:
    void Command(const std::string& tag);
    Key_Input_View& view_;
};

} // namespace pcs
