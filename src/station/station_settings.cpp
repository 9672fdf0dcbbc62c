#include "station/station_settings.h"

#include "settings/settings.h"

namespace pcs {

std::string Settings_Read::Message() const {
    if (Complete()) return "";
    auto list = [](const std::vector<std::string>& keys) {
        std::string out;
        for (const auto& k : keys)
            out += (out.empty() ? "" : ", ") + k;
        return out;
    };
    std::string text =
        "The settings file does not give every station setting; the station uses its defaults.";
    if (!Missing.empty()) text += "\r\n\r\nMissing: " + list(Missing);
    if (!Not_Numbers.empty()) text += "\r\n\r\nNot a number: " + list(Not_Numbers);
    return text;
}

Settings_Read Load_Station_Settings(const Settings_Collection& settings, bool debug_mode,
                                    Station_Settings& s) {
    Settings_Read read;
    Validation_Limits& l = s.Limits;
    // In the order the station has always read them.
    std::pair<const char*, int16_t*> keys[] = {
        {"SAMPLES_BETWEEN_CHECKS", &s.SAMPLES_BETWEEN_CHECKS},
        {"ISO2_FLUSH", &l.ISO2_FLUSH},
        {"ISO5_FLUSH", &l.ISO5_FLUSH},
        {"ISO15_FLUSH", &l.ISO15_FLUSH},
        {"ISO2_CHECK", &l.ISO2_CHECK},
        {"ISO5_CHECK", &l.ISO5_CHECK},
        {"ISO15_CHECK", &l.ISO15_CHECK},
        {"ISO2_SAMPLE", &l.ISO2_SAMPLE},
        {"ISO5_SAMPLE", &l.ISO5_SAMPLE},
        {"ISO15_SAMPLE", &l.ISO15_SAMPLE},
        {"INIT_ISO_HIST_DECREASE", &s.INIT_ISO_HIST_DECREASE},
        {"ISO_HIST_DECREASE_MAX", &s.ISO_HIST_DECREASE_MAX},
        {"SAMPLE_SHAKE_TIME", &s.SAMPLE_SHAKE_TIME},
        {"SAMPLE_BATH_TIME", &s.SAMPLE_BATH_TIME},
        {"MAX_RACKS_IN_BATH", &s.MAX_RACKS_IN_BATH},
    };
    for (auto& [key, value] : keys) {
        if (!settings.Contains(key)) {
            read.Missing.emplace_back(key);
            continue;
        }
        try {
            *value = settings.Int16(key);
        } catch (const std::exception&) {
            read.Not_Numbers.emplace_back(key);
        }
    }
    if (debug_mode) {
        s.SAMPLE_SHAKE_TIME = 2;
        s.SAMPLE_BATH_TIME = 7;
    }
    return read;
}

} // namespace pcs
