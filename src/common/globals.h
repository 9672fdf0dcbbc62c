// The process-wide values of the station: configuration, the palette and the activity state. The
// composition root owns one Globals and passes it by reference; a test makes a fresh one.
#pragma once

#include "common/clock.h"
#include "common/palette.h"

#include <cstdint>
#include <string>

namespace pcs {

// The lab code of every statement.
inline constexpr const char* Lab_Code_Default = "VOLMAR";
// The station's test group.
inline constexpr const char* Test_Code_PrtCount = "PrtCount";

struct Globals {
    // Database
    std::string Connect_String;

    // Palette, filled by Init_Colors
    Palette Colors;

    // Set from the main form's debug check box at its load
    bool Debug_Mode = false;

    // Activity state for the inactivity lock
    std::string App_State = "IDLE"; // "IDLE", "ACTIVE", "LOGIN", "HIBERNATE"
    Time_Point Last_Activity{};

    // Station identity and folders
    std::string Test_Code;
    std::string Station_Instrument_Id;
    std::string App_Folder;    // the program's folder, with a trailing separator, or ""
    std::string Common_Folder; // the picture folder
};

// Fills the palette with the station's colours (Station_Palette).
void Init_Colors(Globals& g);

// Resets the station's test group and instrument; the rack view calls it when it unloads.
void Init_Globals(Globals& g);

} // namespace pcs
