#pragma once

#include "common/clock.h"

#include <string>

namespace pcs {

// A time as local wall-clock text, in strftime's format (e.g. "%Y-%m-%d %H:%M:%S").
std::string Local_Time_Text(Time_Point t, const char* format);

// A time as local date and time to the second ("YYYY-MM-DD hh:mm:ss"): the form the lab database
// stores its times in and the station shows them in.
std::string Local_Date_Time_Text(Time_Point t);

} // namespace pcs
