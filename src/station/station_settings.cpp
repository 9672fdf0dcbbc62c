#include "station/station_settings.h"

#include "settings/settings.h"

#include <cstdint>

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
        "The settings file does not give every station setting a usable value; the station uses its "
        "defaults for these.";
    if (!Missing.empty()) text += "\r\n\r\nMissing: " + list(Missing);
    if (!Not_Numbers.empty()) text += "\r\n\r\nNot a number: " + list(Not_Numbers);
    if (!Out_Of_Sense.empty()) text += "\r\n\r\nOut of range: " + list(Out_Of_Sense);
    return text;
}

Settings_Read Load_Station_Settings(const Settings_Collection& settings, bool debug_mode,
                                    Station_Settings& s) {
    Settings_Read read;
    Validation_Limits& l = s.Limits;
    // In the order the station has always read them.
    // The least value that lets the station work: a check standard every 0 samples counts no sample,
    // a bath of no racks takes none, a limit or a time below zero means nothing.
    struct Key {
        const char* Name;
        int16_t* Value;
        int16_t Least;
    };
    constexpr int16_t Any = INT16_MIN;
    Key keys[] = {
        {"SAMPLES_BETWEEN_CHECKS", &s.SAMPLES_BETWEEN_CHECKS, 1},
        {"ISO2_FLUSH", &l.ISO2_FLUSH, 0},
        {"ISO5_FLUSH", &l.ISO5_FLUSH, 0},
        {"ISO15_FLUSH", &l.ISO15_FLUSH, 0},
        {"ISO2_CHECK", &l.ISO2_CHECK, 0},
        {"ISO5_CHECK", &l.ISO5_CHECK, 0},
        {"ISO15_CHECK", &l.ISO15_CHECK, 0},
        {"ISO2_SAMPLE", &l.ISO2_SAMPLE, 0},
        {"ISO5_SAMPLE", &l.ISO5_SAMPLE, 0},
        {"ISO15_SAMPLE", &l.ISO15_SAMPLE, 0},
        {"INIT_ISO_HIST_DECREASE", &s.INIT_ISO_HIST_DECREASE, Any},
        {"ISO_HIST_DECREASE_MAX", &s.ISO_HIST_DECREASE_MAX, Any},
        {"SAMPLE_SHAKE_TIME", &s.SAMPLE_SHAKE_TIME, 0},
        {"SAMPLE_BATH_TIME", &s.SAMPLE_BATH_TIME, 0},
        {"MAX_RACKS_IN_BATH", &s.MAX_RACKS_IN_BATH, 1},
    };
    for (const Key& key : keys) {
        if (!settings.Contains(key.Name)) {
            read.Missing.emplace_back(key.Name);
            continue;
        }
        int16_t v = 0;
        try {
            v = settings.Int16(key.Name);
        } catch (const std::exception&) {
            read.Not_Numbers.emplace_back(key.Name);
            continue;
        }
        if (v < key.Least) {
            read.Out_Of_Sense.push_back(std::string(key.Name) + " = " + std::to_string(v) + " (at least " +
                                        std::to_string(key.Least) + ", " + std::to_string(*key.Value) +
                                        " is used)");
            continue;
        }
        *key.Value = v;
    }
    if (debug_mode) {
        s.SAMPLE_SHAKE_TIME = 2;
        s.SAMPLE_BATH_TIME = 7;
    }
    return read;
}

} // namespace pcs
