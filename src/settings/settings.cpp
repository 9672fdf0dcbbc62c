#include "settings/settings.h"

#include "common/text.h"
#include "common/text_file.h"

#include <system_error>

namespace pcs {

bool Settings_Collection::Add(std::string_view key, Settings record) {
    if (key.empty() || Find(key)) return false;
    items_.emplace_back(std::string(key), std::move(record));
    return true;
}

const Settings* Settings_Collection::Find(std::string_view key) const {
    for (const auto& [k, s] : items_)
        if (Equals_No_Case(k, key)) return &s;
    return nullptr;
}

const Settings& Settings_Collection::Item(std::string_view key) const {
    const Settings* s = Find(key);
    if (!s) throw Missing_Setting_Error(key);
    return *s;
}

Settings& Settings_Collection::Item(std::string_view key) {
    return const_cast<Settings&>(static_cast<const Settings_Collection&>(*this).Item(key));
}

void Settings_Collection::Remove(std::string_view key) {
    for (auto it = items_.begin(); it != items_.end(); ++it)
        if (Equals_No_Case(it->first, key)) {
            items_.erase(it);
            return;
        }
    throw Missing_Setting_Error(key);
}

int16_t Settings_Collection::Int16(std::string_view key) const {
    return To_Int16(Item(key).Value);
}
double Settings_Collection::Double(std::string_view key) const {
    return To_Double(Item(key).Value);
}
std::string Settings_Collection::Text(std::string_view key) const {
    return Item(key).Value;
}

std::filesystem::path Settings_File_Path(const Globals& g) {
    if (g.App_Folder.empty()) return "settings.txt";
    return std::filesystem::path(g.App_Folder) / "settings.txt";
}

namespace {

// Lines end at CR LF, LF or CR; a last line without its line end still counts.
std::vector<std::string_view> Lines_Of(std::string_view text) {
    std::vector<std::string_view> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find_first_of("\r\n", start);
        if (end == std::string_view::npos) {
            lines.push_back(text.substr(start));
            break;
        }
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
        if (text[end] == '\r' && start < text.size() && text[start] == '\n') ++start;
    }
    return lines;
}

} // namespace

bool Load_Settings_Text(Settings_Collection& settings, std::string_view text) {
    settings.Clear();
    // An editor's UTF-8 byte-order mark is not part of the first key.
    if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
    if (text.empty() || text[0] == '\r' || text[0] == '\n') return false;

    for (std::string_view line : Lines_Of(text)) {
        if (line.find(';') == std::string_view::npos) continue;
        std::vector<std::string> parts = Split(line, ';');
        if (parts.size() != 3) continue;
        const std::string& key = parts[0];
        if (key.empty()) continue; // no record can be kept under an empty key
        settings.Add(key, Settings{});
        // A repeated key updates the record already there: the last occurrence wins.
        Settings& s = settings.Item(key);
        s.Setting = parts[0];
        s.Value = parts[1];
        s.Description = parts[2];
        s.Type_ = "NORMAL";
    }
    return true;
}

void Set_Global_Variables(const Settings_Collection& settings, Globals& g) {
    if (const Settings* s = settings.Find("INSTRUMENT_ID")) g.Station_Instrument_Id = s->Value;
}

void Load_Software_settings(Settings_Collection& settings, Globals& g) {
    settings.Clear();
    auto path = Settings_File_Path(g);
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) return;
    std::string text = Read_File(path); // a file that is there but cannot be read is an error
    if (Load_Settings_Text(settings, text)) Set_Global_Variables(settings, g);
}

std::string Validation_Method(const Settings_Collection& settings, std::string_view key) {
    const std::string& v = settings.Item(key).Value;
    return v == "COUNT" ? "COUNT" : "CODE";
}

double Code_Limit(const Settings_Collection& settings, int size, std::string_view run, bool high) {
    std::string key =
        "ISO" + std::to_string(size) + "_" + std::string(run) + "_" + "CODE" + "_" + (high ? "HIGH" : "LOW");
    const Settings* s = settings.Find(key);
    if (!s) return 0;
    return To_Double(s->Value);
}

} // namespace pcs
