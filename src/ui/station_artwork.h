// The bath station's own pictures: the bath bottles by priority, the idle bath well, the counter's run
// button in its three looks, the reason tiles and buttons of the action panel, the refresh picture.
#pragma once

#include "ui/artwork.h"

#include <array>
#include <vector>

namespace pcs::ui {

// The bottle pictures by priority word; "bttn_bath.gif" serves a numeric or empty priority.
inline constexpr std::array<const char*, 5> Bath_Priorities = {"NORMAL", "RETEST", "RUSH", "URGENT",
                                                               "CRITICAL"};

// The run button's looks in the order of the hidden image array: disabled, ready, counting.
inline constexpr std::array<const char*, 3> Picture_Run_Button = {
    "bttn_startCounter_off.jpg", "bttn_startCounter_on.jpg", "bttn_stopCounter_on.jpg"};
// The five reason tiles, index 0 to 4.
inline constexpr std::array<const char*, 5> Picture_Reason_Tile = {
    "bttn_action_not_enough.jpg", "bttn_action_water.jpg", "bttn_action_fire.jpg", "bttn_action_dark.jpg",
    "bttn_action_opaque.jpg"};
inline constexpr const char* Picture_Remove_From_Bath = "bttn_remove_bath.jpg";
inline constexpr const char* Picture_Close = "bttn_close.jpg";
inline constexpr const char* Picture_Refresh = "bttn_refresh.jpg";

std::vector<Artwork> Bath_Station_Artwork();

} // namespace pcs::ui
