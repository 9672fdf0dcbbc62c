#include "station/bath.h"

#include "common/text.h"

#include <algorithm>

namespace pcs {

bool Bath_Slot::Is_Free() const {
    return Trim(Lab_Number).empty();
}

std::string Slot_Accessible_Name(int index, const Bath_Slot& slot) {
    std::string name = "Bath slot " + std::to_string(index + 1);
    if (slot.Is_Free()) return name + ", free";
    name += ", " + Trim(slot.Lab_Number);
    if (!slot.State_Text.empty()) name += ", " + slot.State_Text;
    return name;
}

std::string Priority_Picture(std::string_view common_folder, std::string_view priority) {
    std::string p = Trim(priority);
    std::string name = std::string(common_folder) + "bttn_bath";
    if (!p.empty() && !Is_Numeric(p)) name += "_" + p;
    return name + ".gif";
}

State_Colours History_Colour(std::string_view ISO_5, std::string_view ISO_15, int16_t iso5_sample,
                             int16_t iso15_sample) {
    auto i5 = Try_Double(ISO_5), i15 = Try_Double(ISO_15);
    if (!i5 || !i15) return {History_Orange, Black};
    if (*i5 < iso5_sample && *i15 < iso15_sample) return {History_Green, Black};
    if (*i5 < 20 && *i15 < 20) return {History_Yellow, Black};
    if (*i5 > 19 && *i15 > 17) return {History_Red, White};
    return {History_Yellow, Black};
}

History_Look History_Look_For(std::string_view history_text, bool flush_not_needed) {
    History_Look look;
    if (!flush_not_needed) return look;
    look.Boxed = true;
    std::string t = Trim(history_text);
    bool three_numbers = std::count(t.begin(), t.end(), '/') == 2;
    if (!three_numbers && t != "No Hist" && t != "Not Entered") look.Back = History_Grey;
    return look;
}

bool Bath_Tick(std::span<Bath_Slot> slots, Time_Point now, int16_t shake_time) {
    using std::chrono::floor;
    using std::chrono::seconds;
    bool changed = false;
    for (size_t i = 0; i < slots.size(); ++i) {
        Bath_Slot& s = slots[i];
        if (s.State_Text == "START" || s.Ready_At == "READY" || s.Ready_At.empty() || !s.Ready_By) continue;
        // Whole seconds, as the times were always kept.
        long long d = (floor<seconds>(now) - floor<seconds>(*s.Ready_By)).count();
        std::string state;
        if (d >= 0) {
            state = "START";
            s.Ready_Slot = std::to_string(i);
        } else if (floor<seconds>(now) < floor<seconds>(s.Added_At) + seconds(shake_time)) {
            state = "SHAKE";
        } else {
            state = std::to_string(-d);
        }
        if (state != s.State_Text) {
            s.State_Text = std::move(state);
            changed = true;
        }
    }
    return changed;
}

int Lowest_Free_Slot(std::span<const Bath_Slot> slots) {
    for (size_t i = 0; i < slots.size(); ++i)
        if (slots[i].Is_Free()) return static_cast<int>(i);
    return -1;
}

int Slot_Of_Sample(std::span<const Bath_Slot> slots, std::string_view lab_number) {
    std::string wanted = Trim(lab_number);
    for (size_t i = 0; i < slots.size(); ++i)
        if (!slots[i].Is_Free() && Trim(slots[i].Lab_Number) == wanted) return static_cast<int>(i);
    return -1;
}

int Other_Racks_In_Bath(std::span<const Bath_Slot> slots, std::string_view current_rack) {
    std::string seen = Trim(current_rack) + ",";
    int count = 0;
    for (const Bath_Slot& s : slots) {
        if (s.Is_Free()) continue;
        std::string desc = Trim(s.Rack_Desc);
        if (Contains(seen, desc)) continue;
        seen += desc + ",";
        ++count;
    }
    return count;
}

Bath_Extra Split_Extra(std::string_view extra) {
    Bath_Extra out;
    size_t rid = extra.find("RID=");
    std::string_view desc = rid == std::string_view::npos ? extra : extra.substr(0, rid);
    out.Rack_Desc = desc.size() > 3 ? std::string(desc.substr(3)) : std::string();
    if (rid != std::string_view::npos) out.Rack_Id = std::string(extra.substr(rid + 4));
    return out;
}

std::string Max_Racks_Message(int16_t max_racks) {
    return "Maximum of " + std::to_string(max_racks) + " racks are allowed in the bath at any time";
}

} // namespace pcs
