// Every colour the station's screens and pictures show, in one type and written once: the forms' palette
// (the shared copy in Globals, filled by Init_Colors), the rack cells' priority colours and the shades the
// drawn pictures and touch buttons use.
#pragma once

#include <cstdint>

namespace pcs {

struct Color {
    uint8_t R = 0, G = 0, B = 0;
    friend bool operator==(const Color&, const Color&) = default;
    // The colour as the windowing toolkit's 0xRRGGBB value.
    constexpr uint32_t Rgb() const { return (uint32_t(R) << 16) | (uint32_t(G) << 8) | uint32_t(B); }
    static constexpr Color From_Rgb(uint32_t v) {
        return Color{uint8_t(v >> 16), uint8_t(v >> 8), uint8_t(v)};
    }
};

struct Palette {
    // The forms' back, fill, border and text colours.
    Color Color_Slate, Color_Blue, Color_Slate_2, Color_Navy, Color_Steel, Color_Steel_2, Color_Ink;
    Color Color_Text; // never assigned: stays black
    Color Color_Amber, Color_White, Color_Sky;

    // The rack cells' borders: a first run of a normal sample, a retest, the three priorities, and a
    // finished position whose status was changed on this visit; the holder's rim.
    Color Cell_Normal, Cell_Retest, Cell_Rush, Cell_Urgent, Cell_Critical, Cell_Changed;
    Color Holder_Rim;

    // Drawn pictures and touch buttons: the raised plate of a button (top, bottom, pressed) and the rim of
    // a plain one, the oil and a grey cap of a sample bottle, the glass rim, a dimmed caption, the bath
    // well's rim and depth, and the keyboard's green of Enter and CAPS.
    Color Button_Top, Button_Bottom, Button_Pressed, Plate_Rim;
    Color Oil, Cap_Grey, Glass_Rim, Dim_Caption, Well_Rim, Well_Deep, Key_Green;
};

inline constexpr Palette Station_Palette = [] {
    Palette p;
    p.Color_Slate = {74, 80, 85};
    p.Color_Blue = {0, 73, 127};
    p.Color_Slate_2 = {74, 80, 85};
    p.Color_Navy = {23, 49, 74};
    p.Color_Steel = {87, 99, 110};
    p.Color_Steel_2 = {91, 101, 110};
    p.Color_Ink = {44, 61, 77};
    p.Color_Amber = {233, 176, 25};
    p.Color_White = {255, 255, 255};
    p.Color_Sky = {130, 190, 247};

    p.Cell_Normal = Color::From_Rgb(0x41CB51);
    p.Cell_Retest = Color::From_Rgb(0xF9FE65);
    p.Cell_Rush = Color::From_Rgb(0xFA4FB0);
    p.Cell_Urgent = Color::From_Rgb(0xE60000);
    p.Cell_Critical = Color::From_Rgb(0xFFA500);
    p.Cell_Changed = Color::From_Rgb(0xBBBBBB);
    p.Holder_Rim = Color::From_Rgb(0x47505B);

    p.Button_Top = {98, 112, 124};
    p.Button_Bottom = {52, 60, 68};
    p.Button_Pressed = {30, 38, 46};
    p.Plate_Rim = {150, 162, 174};
    p.Oil = {200, 140, 30};
    p.Cap_Grey = {150, 160, 170};
    p.Glass_Rim = {225, 232, 240};
    p.Dim_Caption = {190, 198, 206};
    p.Well_Rim = {120, 140, 160};
    p.Well_Deep = {12, 28, 44};
    p.Key_Green = {0, 255, 0};
    return p;
}();

} // namespace pcs
