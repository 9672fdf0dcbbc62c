// The station's tunable values: "settings.txt" in the program's folder, held as a keyed collection.
#pragma once

#include "common/globals.h"

#include <any>
#include <cstdint>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace pcs {

// One setting.
struct Settings {
    std::string Setting;     // the key, as written
    std::string Value;       // the text as read
    std::string Description; // free text
    std::string Type_;       // "NORMAL" for every setting the loaders create
    std::any FormObj;        // a slot for a screen object tied to the setting; no loader fills it
};

// Asking the collection for a key it does not hold.
class Missing_Setting_Error : public std::out_of_range {
public:
    explicit Missing_Setting_Error(std::string_view key)
        : std::out_of_range("Invalid procedure call or argument: no setting \"" + std::string(key) + "\""),
          key_(key) {}
    const std::string& Key() const noexcept { return key_; }

private:
    std::string key_;
};

// Settings keyed by name; lookup ignores letter case, insertion order is kept.
class Settings_Collection {
public:
    // Adds a record under the key; false (and nothing changes) when the key is already there.
    bool Add(std::string_view key, Settings record);
    // The record under the key; throws Missing_Setting_Error.
    Settings& Item(std::string_view key);
    const Settings& Item(std::string_view key) const;
    const Settings* Find(std::string_view key) const;
    bool Contains(std::string_view key) const { return Find(key) != nullptr; }
    void Remove(std::string_view key);
    void Clear() { items_.clear(); }
    size_t Count() const { return items_.size(); }
    const std::vector<std::pair<std::string, Settings>>& Items() const { return items_; }

    // Typed readers: the value as a 16-bit whole number (halves to even), a double or a text.
    // Missing_Setting_Error for a missing key, Conversion_Error for a value that does not convert.
    int16_t Int16(std::string_view key) const;
    double Double(std::string_view key) const;
    std::string Text(std::string_view key) const;

private:
    std::vector<std::pair<std::string, Settings>> items_;
};

// The settings file: App_Folder + "settings.txt", or "settings.txt" in the current folder while
// App_Folder is empty.
std::filesystem::path Settings_File_Path(const Globals& g);

// Empties the collection and loads the settings file by the file's rules, then publishes
// INSTRUMENT_ID. A missing file leaves the collection empty; malformed lines are skipped.
void Load_Software_settings(Settings_Collection& settings, Globals& g);
// The same over a file's bytes (the loader's rules without the file system), for tools and fuzzing.
// Returns false when nothing was read (an empty first line or an empty text).
bool Load_Settings_Text(Settings_Collection& settings, std::string_view text);

// Copies INSTRUMENT_ID into Station_Instrument_Id; a missing key leaves it unchanged.
void Set_Global_Variables(const Settings_Collection& settings, Globals& g);

// "CODE" or "COUNT"; anything else reads as "CODE".
std::string Validation_Method(const Settings_Collection& settings, std::string_view key);
// ISO<n>_<run>_CODE_LOW / _HIGH; a missing key reads as 0, a value that is not a number throws.
double Code_Limit(const Settings_Collection& settings, int size, std::string_view run, bool high);

} // namespace pcs
