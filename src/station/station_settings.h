// The values the main form reads from the settings once at start: the check-standard interval, the
// ISO limits and the bath's timing and capacity.
#pragma once

#include "counter/count_validation.h"

#include <cstdint>
#include <string>
#include <vector>

namespace pcs {

class Settings_Collection;

struct Station_Settings {
    int16_t SAMPLES_BETWEEN_CHECKS = 15;
    Validation_Limits Limits;
    int16_t INIT_ISO_HIST_DECREASE = 22; // loaded; no rule reads it
    int16_t ISO_HIST_DECREASE_MAX = 20;  // loaded; no rule reads it
    // The file has no default for these; a station without them still has to work.
    int16_t SAMPLE_SHAKE_TIME = 60;
    int16_t SAMPLE_BATH_TIME = 300;
    int16_t MAX_RACKS_IN_BATH = 2;
};

// What the read could not take from the file. Each such key keeps the value it had.
struct Settings_Read {
    std::vector<std::string> Missing;
    std::vector<std::string> Not_Numbers;
    // "KEY = value (what it must be)" for a number that would stop the work (no sample ever counted,
    // a bath time below zero).
    std::vector<std::string> Out_Of_Sense;
    bool Complete() const { return Missing.empty() && Not_Numbers.empty() && Out_Of_Sense.empty(); }
    // One text for the technician naming every key that was not taken; "" when all were.
    std::string Message() const;
};

// Reads the keys in the station's order into s. In debug mode the bath times are 2 and 7 seconds.
Settings_Read Load_Station_Settings(const Settings_Collection& settings, bool debug_mode,
                                    Station_Settings& s);

} // namespace pcs
