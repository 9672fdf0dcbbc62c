// The settings loader reads a file people edit by hand: any bytes must load by its rules or not at all.
#include "settings/settings.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    pcs::Settings_Collection settings;
    pcs::Load_Settings_Text(settings, text);
    for (const auto& [key, s] : settings.Items()) {
        // Every record is found again under its own key, whatever its case.
        if (&settings.Find(key)->Value != &s.Value) std::abort();
        try {
            (void)settings.Int16(key);
        } catch (const std::exception&) {
        }
    }
    pcs::Globals g;
    pcs::Set_Global_Variables(settings, g);
    return 0;
}
