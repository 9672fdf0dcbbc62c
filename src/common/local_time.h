#pragma once

#include "common/clock.h"

#include <string>

namespace pcs {

// A time as local wall-clock text, in strftime's format (e.g. "%Y-%m-%d %H:%M:%S").
std::string Local_Time_Text(Time_Point t, const char* format);

} // namespace pcs
