// The rack view's and the rack search's own pictures: navigation, the priority filters on and off, the
// "all racks" filter, save idle and on, exit, the rack pointer, the screening progress marks and the
// search's keypad plate.
#pragma once

#include "ui/artwork.h"

#include <array>
#include <vector>

namespace pcs::ui {

// The navigation pictures, by bttn_Nav index: PREV, NEXT, FIND.
inline constexpr std::array<const char*, 3> Picture_Nav = {"bttn_prev.jpg", "bttn_next.jpg", "bttn_find.jpg"};
inline constexpr const char* Picture_All_Racks = "bttn_PRIORITY.gif";
inline constexpr const char* Picture_Exit = "bttn_exit.jpg";
inline constexpr const char* Picture_Pointer = "img_ptr.gif";
inline constexpr const char* Picture_Keypad = "img_keypad.jpg";

std::vector<Artwork> Rack_View_Artwork();

} // namespace pcs::ui
