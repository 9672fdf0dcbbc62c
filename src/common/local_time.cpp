#include "common/local_time.h"

#include <ctime>

namespace pcs {

std::string Local_Time_Text(Time_Point t, const char* format) {
    std::time_t tt = std::chrono::system_clock::to_time_t(t);
    std::tm tm{};
    localtime_r(&tt, &tm);
    char buf[64];
    size_t n = std::strftime(buf, sizeof buf, format, &tm);
    return std::string(buf, n);
}

std::string Local_Date_Time_Text(Time_Point t) {
    return Local_Time_Text(t, "%Y-%m-%d %H:%M:%S");
}

} // namespace pcs
