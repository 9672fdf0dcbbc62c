// The bath's rules that need no database: a slot's state, the one-second tick, the history colours and
// marks, the priority pictures and the slot numbering of the grid.
#pragma once

#include "common/clock.h"
#include "common/globals.h"

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace pcs {

inline constexpr int Bath_Slot_Count = 30;
inline constexpr int Bath_Columns = 6;
inline constexpr int Bath_Rows = 5;

inline constexpr const char* No_Hist_Text = "No Hist ";
inline constexpr const char* Not_Entered_Text = "Not Entered ";
inline constexpr const char* Idle_Slot_Picture = "bttn_bath_idle.gif";

inline constexpr Color History_Orange{0xFF, 0x8C, 0x00};
inline constexpr Color History_Green{0x00, 0xDF, 0x0E};
inline constexpr Color History_Yellow{0xFF, 0xFF, 0x00};
inline constexpr Color History_Red{0xFF, 0x00, 0x00};
inline constexpr Color History_Grey{0xAF, 0xAF, 0xAF};
inline constexpr Color Black{0, 0, 0};
inline constexpr Color White{0xFF, 0xFF, 0xFF};

// How the history cell is drawn: boxed when the sample can follow the last count without a flush.
struct History_Look {
    bool Boxed = false; // opaque, bordered, centred, black text; else right-aligned, transparent, white
    Color Back = White; // white, or grey for a history that is not a three-number code
};

struct Bath_Slot {
    std::string Lab_Number; // the lab number and one blank; "" for a free slot
    Time_Point Added_At{};
    std::string Ready_At;               // soak deadline as text; a reloaded slot keeps its priority here
    std::optional<Time_Point> Ready_By; // the deadline the tick counts down to; none for a reloaded slot
    std::string State_Text;             // "SHAKE", seconds left, "START"; "" when free
    Color State_Back = History_Orange, State_Fore = Black;
    bool State_Boxed = false; // bordered and opaque while occupied
    std::string History_Text; // "16/14/11 ", "No Hist ", "Not Entered "
    History_Look History;
    std::string Rack_Desc;
    std::string Rack_Id;
    std::string Priority;
    std::string Picture;    // the bottle picture's path
    std::string Ready_Slot; // "" while soaking, the slot number once ready
    bool Oldest_Mark = false;

    bool Is_Free() const;
};

// Grid position of a slot: index = row * 6 + column, row 0 at the top.
inline int Slot_Row(int index) {
    return index / Bath_Columns;
}
inline int Slot_Column(int index) {
    return index % Bath_Columns;
}
// What a screen reader says of a slot: "Bath slot 7, 01100663, START" (slots counted from 1).
std::string Slot_Accessible_Name(int index, const Bath_Slot& slot);

// Common_Folder + "bttn_bath" + "_" + priority (when it is a word) + ".gif".
std::string Priority_Picture(std::string_view common_folder, std::string_view priority);

// The state cell's colours from the sample's last code.
struct State_Colours {
    Color Back = History_Orange;
    Color Fore = Black;
};
State_Colours History_Colour(std::string_view ISO_5, std::string_view ISO_15, int16_t iso5_sample,
                             int16_t iso15_sample);

// The history cell's look when the sample can (or cannot) run without a flush.
History_Look History_Look_For(std::string_view history_text, bool flush_not_needed);

// The one-second tick over the slots, as a function of the time given: a soaking slot shows "SHAKE"
// for its first shake_time seconds, then the seconds left, then "START". Ready and reloaded slots are
// left alone. Returns whether anything shown changed.
bool Bath_Tick(std::span<Bath_Slot> slots, Time_Point now, int16_t shake_time);

// The lowest free slot, or -1 when the bath is full.
int Lowest_Free_Slot(std::span<const Bath_Slot> slots);
// The slot holding the sample (lab numbers compared trimmed), or -1.
int Slot_Of_Sample(std::span<const Bath_Slot> slots, std::string_view lab_number);
// Racks in the bath other than the current one (descriptions compared as the station always has: a
// rack whose name is part of one already counted is not counted again).
int Other_Racks_In_Bath(std::span<const Bath_Slot> slots, std::string_view current_rack);

// The stored bath's EXTRA: "RD=" + rack description + "RID=" + rack id.
struct Bath_Extra {
    std::string Rack_Desc;
    std::string Rack_Id;
};
Bath_Extra Split_Extra(std::string_view extra);

// The maximum-racks refusal.
std::string Max_Racks_Message(int16_t max_racks);

} // namespace pcs
