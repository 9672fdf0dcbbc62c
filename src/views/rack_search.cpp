#include "views/rack_search.h"

#include "common/messages.h"
#include "common/text.h"
#include "db/statement_error.h"
#include "lab/rack.h"

namespace pcs {

std::string Pad_Lab_Number(const std::string& typed) {
    std::string padded = "00000000" + typed;
    return padded.substr(padded.size() - Lab_Number_Length);
}

Rack_Search::Rack_Search(Globals& g, const Clock& clock, Rack& rack, Alert_Port& alerts, Search_View& view)
    : g_(g), clock_(clock), rack_(rack), alerts_(alerts), view_(view) {}

void Rack_Search::Form_Load() {
    kept_app_state_ = g_.App_State;
    g_.App_State = "IDLE";
    Working_Size = false;
    if (strAction.empty()) strAction = "FIND";
    strWo.clear();
    strRackDesc.clear();
    intRackIndex = -1;
    Items = 0;
    ItemCurrent = 0;

    Racks_Found = Load_Rack_List(g_.Test_Code);
    const size_t n = lst_os.size();
    const bool find = strAction == "FIND";
    const bool picks_itself = Racks_Found && ((!sSearchRackName.empty() && find && n > 0) ||
                                              (find && n == 1) || strAction == "PREV" || strAction == "NEXT");
    if (picks_itself)
        Timer1_Enabled = true;
    else
        Working_Size = true;
}

void Rack_Search::Form_Unload() {
    Close_Rack_List();
    Timer1_Enabled = false;
    g_.App_State = kept_app_state_;
    g_.Last_Activity = clock_.Now();
}

bool Rack_Search::Load_Rack_List(const std::string& test_code) {
    lst_os.clear();
    ListIndex = -1;
    Items = 0;
    preset_index_ = -1;
    Close_Rack_List();
    try {
        list_rs_ = rack_.Get_Samples(Trim(test_code), Priority_Filter);
        if (!list_rs_.Is_Open()) throw db::Statement_Failed_Error("the list of racks", list_rs_.Errors());
        if (list_rs_.Columns().empty()) return false;
        // Thousands of rows: each field is read where it stands, without a copy of its own.
        auto field = [&](std::string_view column) -> std::string_view {
            if (!list_rs_.Has_Column(column)) return {};
            const db::Field& f = list_rs_.Value(column);
            return f ? std::string_view(*f) : std::string_view();
        };
        for (; !list_rs_.Eof(); list_rs_.Move_Next()) {
            std::optional<double> n = Try_Double(field("RACK_ID"));
            lst_os.push_back({Trim(field("RACK_DESC")), n ? static_cast<long long>(*n) : 0,
                              Trim(field("CURR_USER")), Trim(field("CURR_STATION"))});
            ++Items;
        }
    } catch (const std::exception& e) {
        // The lab database cannot be reached or answered rows the list cannot read.
        Close_Rack_List();
        Show_Alert(alerts_, std::string(e.what()));
        lst_os.clear();
        Items = 0;
        return false;
    }
    if (lst_os.size() == 1) ListIndex = 0;
    if (!sSearchRackName.empty()) {
        for (size_t i = 0; i < lst_os.size(); ++i) {
            if (lst_os[i].Text == sSearchRackName) {
                preset_index_ = static_cast<int>(i);
                break;
            }
        }
    }
    return true;
}

std::string Rack_Search::Neighbour_Rack() {
    std::string loaded = rack_.Rack_Desc;
    for (size_t i = 0; i < lst_os.size(); ++i) {
        if (lst_os[i].Text != loaded) continue;
        // With no neighbour that way the loaded rack itself is the answer, so a "NEXT" from the last
        // rack reloads it instead of jumping to the top of the list.
        size_t to = i;
        if (strAction == "PREV" && i > 0)
            to = i - 1;
        else if (strAction == "NEXT" && i + 1 < lst_os.size())
            to = i + 1;
        intRackIndex = static_cast<int16_t>(to);
        return lst_os[to].Text;
    }
    return loaded;
}

void Rack_Search::Close_Rack_List() {
    list_rs_.Close();
    list_rs_ = db::Record_Set();
}

void Rack_Search::Hide() {
    Hidden = true;
    Timer1_Enabled = false;
    view_.Hide_Search();
}

void Rack_Search::Timer1_Timer() {
    Timer1_Enabled = false;
    if (lst_os.empty()) {
        Hide();
        return;
    }
    ListIndex = 0;
    if (!Results_Saved) {
        Neighbour_Rack();
        if (sSearchRackName.empty() && intRackIndex >= 0) ListIndex = intRackIndex;
    }
    if (rack_.Rack_Desc.empty() && sSearchRackName.empty()) {
        // Nothing on screen yet (a login): a rack this technician still holds, left by a station that
        // stopped, is the one to go on with, so it does not stay held by nobody at work.
        const Rack_Holder me = rack_.Technician();
        const std::string number = std::to_string(me.Emp_Num);
        for (size_t i = 0; i < lst_os.size(); ++i) {
            const Search_Entry& e = lst_os[i];
            if (e.Holder_Emp_Num == number &&
                (e.Holder_Station.empty() || Equals_No_Case(e.Holder_Station, me.Station))) {
                ListIndex = static_cast<int>(i);
                break;
            }
        }
    }
    ItemCurrent = static_cast<int16_t>(ListIndex);
    Picked_Itself = true;
    lst_os_DblClick();
}

void Rack_Search::lst_os_DblClick() {
    Close_Rack_List();
    if (!sSearchRackName.empty() && preset_index_ >= 0) ListIndex = preset_index_;
    // A touch on the empty part of the list chooses nothing.
    if (ListIndex < 0 || ListIndex >= static_cast<int>(lst_os.size())) return;
    intRackIndex = static_cast<int16_t>(ListIndex);
    strRackDesc = lst_os[ListIndex].Text;
    ItemCurrent = static_cast<int16_t>(ListIndex);
    Hide();
}

void Rack_Search::Start_New_Entry_After_Search() {
    if (!searched_) return;
    searched_ = false;
    txt_wo.clear();
    typed_.clear();
}

bool Rack_Search::Typed_Refused() const {
    size_t digits = 0;
    for (char c : typed_) {
        if (c < '0' || c > '9') return true;
        ++digits;
    }
    return digits > Lab_Number_Length;
}

void Rack_Search::Type_Digit(char digit) {
    Start_New_Entry_After_Search();
    typed_ += digit;
    if (txt_wo.size() < Lab_Number_Length) txt_wo += digit;
}

void Rack_Search::lbl_no_Click(int Index) {
    if (Index < 0 || Index > 9) return;
    Start_New_Entry_After_Search();
    // The pad is the technician's own hand: a ninth digit is simply not taken.
    if (txt_wo.size() < Lab_Number_Length) {
        txt_wo += static_cast<char>('0' + Index);
        typed_ += static_cast<char>('0' + Index);
    }
}

void Rack_Search::Key_Press(char c) {
    if (c >= '0' && c <= '9') {
        Type_Digit(c);
    } else if (c == '\r' || c == '\n') {
        lbl_Go_Click();
    } else if (c == '\b') {
        Start_New_Entry_After_Search();
        if (typed_.empty()) return;
        // What is shown is the digits typed, up to eight: taking a key back takes it from both.
        const char last = typed_.back();
        typed_.pop_back();
        if (last >= '0' && last <= '9') {
            size_t digits = 0;
            for (char k : typed_)
                digits += k >= '0' && k <= '9';
            if (digits < txt_wo.size()) txt_wo.pop_back();
        }
    } else if (static_cast<unsigned char>(c) >= 0x20) {
        Start_New_Entry_After_Search();
        typed_ += c;
    }
}

void Rack_Search::lbl_Clear_Click() {
    txt_wo.clear();
    typed_.clear();
    searched_ = false;
}

void Rack_Search::lbl_Go_Click() {
    if (Typed_Refused()) {
        // A scan of something that is not a lab number would otherwise search a part of it.
        const std::string what = typed_;
        lbl_Clear_Click();
        Show_Alert(alerts_, "\"" + what + "\" is not a lab number: a lab number has at most " +
                                std::to_string(Lab_Number_Length) + " digits and nothing else.");
        return;
    }
    typed_.clear();
    if (txt_wo.empty()) return;
    txt_wo = Pad_Lab_Number(txt_wo);
    searched_ = true;
    const std::string found = rack_.Sample_Found(txt_wo, g_.Test_Code);
    if (found == rack_.Rack_Desc) return; // on no rack, or on the loaded one: the dialog stays open
    strWo = txt_wo;
    bSampleFound = true;
    strRackDesc = found;
    Close_Rack_List();
    Hide();
}

void Rack_Search::lbl_Refresh_Click() {
    Racks_Found = Load_Rack_List(g_.Test_Code);
}

void Rack_Search::lbl_exit_Click() {
    Close_Rack_List();
    strRackDesc.clear();
    intRackIndex = -1;
    Hide();
}

} // namespace pcs
