#include "views/rack_view.h"

#include "common/messages.h"
#include "common/text.h"
#include "db/statement_error.h"
#include "lab/rack.h"
#include "records/employee.h"

#include "common/local_time.h"

namespace pcs {

namespace {

constexpr const char* Save_Idle = "bttn_save_idle.jpg";
constexpr const char* Save_On = "bttn_save_on.jpg";

std::string Date_Text(Time_Point t) {
    return Local_Time_Text(t, "%Y-%m-%d");
}

// The text after the leading line break of a cell caption.
std::string Caption_Lab_Number(const std::string& caption) {
    return caption.size() > 2 ? caption.substr(2) : "";
}

// Shows a status text for the length of a step and gives the replaced one back, even when it throws.
class Status_Scope {
public:
    Status_Scope(Status_Port& port, const Globals& g, const std::string& text)
        : port_(port), g_(g), previous_(Show_Status(port, g, text)) {}
    ~Status_Scope() {
        try {
            Show_Status(port_, g_, previous_);
        } catch (...) {
        }
    }
    Status_Scope(const Status_Scope&) = delete;
    Status_Scope& operator=(const Status_Scope&) = delete;

private:
    Status_Port& port_;
    const Globals& g_;
    std::string previous_;
};

} // namespace

std::string Rack_Desc_Caption(const std::string& rack_desc) {
    std::string t = Trim(rack_desc);
    if (t.size() > 15) return t.substr(0, 15) + "...";
    return rack_desc;
}

int Cell_Font_Size(int rack_width_twips, int twips_per_pixel) {
    if (twips_per_pixel <= 0) return 12;
    return static_cast<int>(Round_Half_Even(static_cast<double>(rack_width_twips) / twips_per_pixel / 10.0));
}

Color Position_Color(Color_Part part, const std::string& status, const std::string& priority, int run_no,
                     bool done_unchanged, const Palette& palette) {
    const bool border = part == Color_Part::Border;
    const Color ink = palette.Color_Ink;
    if (status == "READY") {
        if (!border) return ink;
        if (priority == "NORMAL" && run_no == 1) return palette.Cell_Normal;
        if (priority == "RUSH") return palette.Cell_Rush;
        if (priority == "CRITICAL") return palette.Cell_Critical;
        if (priority == "URGENT") return palette.Cell_Urgent;
        if (run_no > 1) return palette.Cell_Retest;
        return ink;
    }
    if (status == "DONE") {
        if (!border) return ink;
        return done_unchanged ? palette.Color_Navy : palette.Cell_Changed;
    }
    return border ? ink : palette.Color_Steel_2;
}

int Priority_Button(const std::string& name) {
    const std::string n = UCase(Trim(name));
    for (size_t i = 0; i < Priority_Tags.size(); ++i)
        if (n == Priority_Tags[i]) return static_cast<int>(i);
    return -1;
}

Rack_View::Rack_View(Globals& g, const Clock& clock, Rack& rack, Employee& employee, Status_Port& status,
                     Alert_Port& alerts, Main_Form_Port& main_form, Search_Port& search, App_Exit_Port& app)
    : g_(g), clock_(clock), rack_(rack), employee_(employee), status_(status), alerts_(alerts),
      main_(main_form), search_(search), app_(app) {
    for (int i = 0; i < Rack_Cells; ++i)
        Init_Rack_Position(i);
}

Color Rack_View::Cell_Color(int Index, Color_Part part, const std::string& status,
                            const std::string& priority, int run_no) const {
    bool unchanged = false;
    if (Selected_Pos_Index != -1 && Index >= 0 && static_cast<size_t>(Index) < rack_.Pos.size()) {
        const RackPositions& p = *rack_.Pos[Index];
        unchanged = p.Init_Status == p.Status;
    }
    return Position_Color(part, status, priority, run_no, unchanged, g_.Colors);
}

void Rack_View::Form_Load() {
    Active_Priority_Button = -1;
    if (rack_width == 0) {
        rack_width = static_cast<int16_t>(115 * Metrics.Twips_X);
        rack_height = static_cast<int16_t>(90 * Metrics.Twips_Y);
    }
    Priority_Filter.clear();
    Selected_Pos_Index = -1;
    Resize_Rack(0, 0);
    Show_Rack();
    lbl_rackDesc.clear();
    lbl_RackDate.clear();
    lbl_RackStatus.clear();
    lbl_ActiveWo.clear();
    main_.Init();
    main_.User_Login();
    bttn_Nav_Click(1);
    Refresh_Priority();
}

void Rack_View::Form_Unload() {
    Init_Globals(g_);
    Current_Lab_Number.clear();
    Current_Sample_Type.clear();
}

void Rack_View::Resize_Rack(int iOffsetX, int iOffsetY) {
    Layout = pcs::Resize_Rack(Metrics, rack_width, rack_height, iOffsetX, iOffsetY);
    for (int i = 0; i < Rack_Cells; ++i) {
        Cells[i].Info.clear();
        Cells[i].Result.clear();
        Cells[i].Screen.Visible = Cells[i].Water.Visible = Cells[i].Picture.Visible = false;
    }
}

void Rack_View::Resize_Rack(std::string_view iOffsetX, std::string_view iOffsetY) {
    Resize_Rack(Offset_Twips(iOffsetX), Offset_Twips(iOffsetY));
}

void Rack_View::Reset_Interface() {
    rack_.Initialize_pos();
    for (int i = 0; i < Rack_Cells; ++i)
        Init_Rack_Position(i);
    bttn_Nav_Visible = {false, false, false};
    img_Priority_Visible = false;
    for (auto& p : Priority_Images)
        p.Visible = false;
    img_ptr_Visible = false;
    lbl_ActiveWo.clear();
    lbl_RackStatus.clear();
    lbl_RackDate.clear();
    lbl_rackDesc.clear();
    img_save_Picture = Save_Idle;
    main_.Rack_Refresh(false);
    Selected_Sample.clear();
    Results_Saved = true;
}

void Rack_View::Show_Rack() {
    lbl_rackDesc = Rack_Desc_Caption(rack_.Rack_Desc);
    lbl_rackDesc_ToolTip = rack_.Rack_Desc;
    for (const auto& p : rack_.Pos)
        Init_Rack_Position(p->Pos);
}

void Rack_View::Init_Rack_Position(int Index) {
    if (Index < 0 || Index >= Rack_Cells) return;
    Cell_Look& c = Cells[Index];
    c.Opaque = false;
    std::string status, weight, priority, description;
    int run = 0;
    bool picture_wanted = false;
    if (!rack_.Rack_Desc.empty() && static_cast<size_t>(Index) < rack_.Pos.size()) {
        const RackPositions& p = *rack_.Pos[Index];
        status = p.Status;
        weight = p.TargetWeight;
        priority = p.Priority;
        run = p.Run_No;
        description = p.Sample_Desc;
        picture_wanted = p.doPicture;
    }
    c.Caption = "\r\n" + description;
    c.Sample_Fore = g_.Colors.Color_White;
    c.Font_Size = Cell_Font_Size(rack_width, Metrics.Twips_X);
    c.Sample_Visible = !status.empty();
    c.Tag = status;
    if (status.empty()) {
        c.Info.clear();
        c.Result.clear();
    }
    c.Border = Cell_Color(Index, Color_Part::Border, status, priority, run);
    c.Back = Cell_Color(Index, Color_Part::Back, status, priority, run);
    c.Opaque = true;
    c.Info_Fore = g_.Colors.Color_Amber;
    c.Result_Fore = g_.Colors.Color_White;
    if (status != "DONE") {
        c.Info = weight;
    } else {
        c.Sample_Fore = c.Info_Fore = c.Result_Fore = c.Border;
    }
    if (description.empty()) {
        c.Screen.Visible = c.Water.Visible = c.Picture.Visible = false;
        return;
    }
    const std::string state = status == "DONE" ? "done" : "ready";
    const std::string station = employee_.Station;
    if (station == "SCREEN" || station == "SCREENING") {
        c.Screen = {state, "cs_s_" + state + ".jpg", true};
        c.Water = {state, "cs_w_" + state + ".jpg", true};
        c.Picture = {state, "cs_p_" + state + ".jpg", picture_wanted};
    }
}

void Rack_View::Rack_Pos_Activate(int Index) {
    if (Index < 0 || Index >= Rack_Cells) return;
    Cell_Look& c = Cells[Index];
    Active_Pos_Color = c.Back;
    c.Back = g_.Colors.Color_White;
    c.Sample_Fore = c.Info_Fore = c.Result_Fore = g_.Colors.Color_Slate_2;
    img_save_Picture = Save_On;
}

void Rack_View::Rack_Pos_DeActivate(int Index) {
    if (Index < 0 || Index >= Rack_Cells) return;
    Cell_Look& c = Cells[Index];
    if (Active_Pos_Color) c.Back = *Active_Pos_Color;
    c.Sample_Fore = c.Result_Fore = g_.Colors.Color_White;
    c.Info_Fore = g_.Colors.Color_Amber;
}

void Rack_View::lbl_sample_Click(int Index) {
    if (Index < 0 || Index >= Rack_Cells || Cells[Index].Tag.empty()) return;
    // Loading the bath is the technician at work: the station does not lock under it.
    g_.Last_Activity = clock_.Now();
    Rack_Pos_DeActivate(Selected_Pos_Index);
    Status_Scope status(status_, g_,
                        employee_.Station == "VISUAL" ? "RETRIEVING SCREEN IMAGES"
                                                      : "RETRIEVING SAMPLE TESTING DETAILS");
    if (!rack_.isRackLoggedOut(true)) return;
    lbl_RackStatus = loaded_status_;
    main_.Quick_Hide();
    Current_Lab_Number = Caption_Lab_Number(Cells[Index].Caption);
    Current_Sample_Type = "SAMPLE";
    RackPositions& pos = rack_.Pos_Item(static_cast<size_t>(Index) + 1);
    if (main_.Process_Sample(Index, Current_Lab_Number, pos.Status)) {
        pos.isSaved = false;
        Results_Saved = false;
        // The whole lab number: one that does not start with a zero is not cut at its first zero.
        Selected_Sample = Caption_Lab_Number(Cells[Index].Caption);
        Current_Lab_Number = Selected_Sample;
        Selected_Pos_Index = Index;
        Rack_Pos_Activate(Index);
        if (main_.Quick_Show(Index)) Results_Saved = true;
    } else {
        Selected_Sample.clear();
        Current_Lab_Number.clear();
        Selected_Pos_Index = -1;
    }
}

void Rack_View::Select_Sample(const std::string& lab_number) {
    for (int i = 0; i < Rack_Cells; ++i) {
        const std::string& caption = Cells[i].Caption;
        if (caption.size() > 2 && caption.substr(2, 8) == lab_number) {
            lbl_sample_Click(i);
            return;
        }
    }
}

void Rack_View::lbl_status_update() {
    const int i = Selected_Pos_Index;
    if (i < 0 || i >= Rack_Cells) return;
    const Cell_Look& c = Cells[i];
    const std::string station = employee_.Station;
    const bool screen = c.Screen.Tag == "done", water = c.Water.Tag == "done",
               picture = c.Picture.Tag == "done";
    const bool complete = (station == "SCREENING" && screen && water && picture) ||
                          (station == "VISUAL" && screen && picture) || (station == "SPAT" && water);
    if (complete) {
        Cells[i].Border = Cell_Color(i, Color_Part::Border, "DONE", "", 1);
    } else if (static_cast<size_t>(i) < rack_.Pos.size()) {
        const RackPositions& p = *rack_.Pos[i];
        Cells[i].Border = Cell_Color(i, Color_Part::Border, p.Status, p.Priority, p.Run_No);
    }
}

// ---- choosing a rack ------------------------------------------------------------------------------

bool Rack_View::Release_Rack() {
    if (held_rack_id_.empty()) return true;
    const bool given = rack_.Rack_Acquisition("PUT", held_rack_id_, held_by_);
    held_rack_id_.clear();
    if (!given) {
        // Not ours any more (the lab's administration freed it and another station took it): said, so
        // nobody believes the rack is free.
        std::string why = Trim(rack_.Rack_Status);
        Show_Alert(alerts_, "The rack " + Trim(rack_.Rack_Desc) + " was not given back" +
                                (why.empty() ? std::string(".") : ": " + why));
    }
    return given;
}

bool Rack_View::Take_Rack(std::string& why) {
    why.clear();
    if (rack_.Rack_id.empty()) return true;
    if (rack_.Rack_Status_Update("GET")) {
        held_rack_id_ = rack_.Rack_id;
        held_by_ = rack_.Technician();
        return true;
    }
    // Held elsewhere: the server names the holder in its message; how the rack comes free is ours.
    const std::string desc = Trim(rack_.Rack_Desc);
    why = Trim(rack_.Rack_Status);
    if (why.empty())
        why = "The rack " + desc + " is in use by employee " + Trim(rack_.Curr_User) + " at " +
              rack_.Curr_Station + ".";
    const std::string holder =
        Trim(rack_.Curr_User).empty() ? std::string("its holder") : "employee " + Trim(rack_.Curr_User);
    why += " If that station has stopped, the rack comes back when " + holder +
           " logs in at a particle-count station again, or when the lab's administration frees it "
           "(on the embedded lab database: labdb release-rack <lab database> --rack " +
           desc + ").";
    return false;
}

bool Rack_View::Load_Chosen_Rack(const std::string& rack_desc, std::string& why) {
    why.clear();
    rack_.Initialize_pos();
    rack_.Rack_Desc = rack_desc;
    try {
        rack_.Rack_Load(rack_.Rack_Desc, g_.Test_Code);
    } catch (const std::exception& e) {
        rack_.Initialize_pos();
        Show_Alert(alerts_, "The rack " + Trim(rack_desc) + " cannot be shown: " + e.what());
        return false;
    }
    // The status under the rack is the rack's own, as loaded; the hand-out's message is another thing.
    loaded_status_ = rack_.Rack_Status;
    bool taken = false;
    try {
        taken = Take_Rack(why);
    } catch (const std::exception& e) {
        rack_.Initialize_pos();
        Show_Alert(alerts_, std::string(e.what()));
        return false;
    }
    if (!taken) rack_.Initialize_pos();
    return taken;
}

void Rack_View::Retake_Loaded_Rack() {
    // A navigation gave the loaded rack back and chose nothing else: the station keeps working on it,
    // so it takes it again rather than showing a rack another station may take.
    if (rack_.Rack_id.empty() || held_rack_id_ == rack_.Rack_id) return;
    std::string why;
    bool taken = false;
    try {
        taken = Take_Rack(why);
    } catch (const std::exception& e) {
        why = e.what();
    }
    if (taken) return;
    Show_Alert(alerts_, why);
    Show_No_Rack();
}

void Rack_View::Show_No_Rack() {
    Reset_Interface();
    // With nothing taken the technician still chooses: the list, the next free rack, the filters.
    bttn_Nav_Visible = {true, true, true};
    try {
        Refresh_Priority();
    } catch (const std::exception&) {
    }
}

void Rack_View::Technician_Logged_In() {
    if (held_rack_id_.empty() || held_by_ == rack_.Technician()) return;
    // Given back as the technician who took it (the lab database refuses anyone else), then taken for
    // the one at the station now.
    if (!Release_Rack()) {
        Show_No_Rack();
        return;
    }
    Retake_Loaded_Rack();
}

void Rack_View::Show_Loaded_Rack(const Rack_Search& search, int list_index) {
    Results_Saved = false;
    Selected_Sample.clear();
    Selected_Pos_Index = -1;
    img_ptr_Visible = true;
    Current_Rack_Index = static_cast<int16_t>(list_index);
    Show_Rack();
    lbl_RackDate = Date_Text(rack_.Rack_Date);
    lbl_RackStatus = loaded_status_;
    main_.Rack_OnClick();
    img_save_Picture = Save_Idle;
    const int n = search.Items, c = list_index;
    bool prev = true, next = true;
    if (n == 0 || n == 1)
        prev = next = false;
    else if (c <= 0)
        prev = false;
    else if (c >= n - 1)
        next = false;
    bttn_Nav_Visible = {prev, next, prev || next};
}

void Rack_View::Get_Racks(int Index, const std::string& sRackName) {
    const std::string action = Index >= 0 && Index < 3 ? Nav_Tags[Index] : "FIND";
    struct Unload {
        Search_Port& port;
        ~Unload() {
            try {
                port.Unload_Search();
            } catch (...) {
            }
        }
    } unload{search_};
    Rack_Search& search = search_.Load_Search();
    search.sSearchRackName = sRackName;
    search.strAction = action;
    search.bSearch = action == "FIND";
    search.Priority_Filter = Priority_Filter;
    search.Results_Saved = Results_Saved;
    search_.Show_Search_Modal();
    Racks_Found = search.Racks_Found;
    const std::string chosen = search.strRackDesc;
    if (chosen.empty() || g_.Test_Code.empty()) {
        Retake_Loaded_Rack();
        return;
    }

    // The main form's rack name comes here without a navigation: give the held rack back first.
    if (!held_rack_id_.empty() && held_rack_id_ == rack_.Rack_id && !Release_Rack()) {
        Show_No_Rack();
        return;
    }
    const std::string previous = rack_.Rack_Desc;
    std::string why;
    if (Load_Chosen_Rack(chosen, why)) {
        if (search.bSampleFound) {
            Show_Loaded_Rack(search, search.intRackIndex);
            bttn_Nav_Visible[0] = bttn_Nav_Visible[1] = false;
            search.bSampleFound = false;
            Select_Sample(search.strWo);
            return;
        }
        Show_Loaded_Rack(search, search.ItemCurrent);
        return;
    }
    if (why.empty()) {
        // Not shown for another reason (told already): the one loaded before stays.
        if (previous.empty() || !Load_Chosen_Rack(previous, why)) {
            if (!why.empty()) Show_Alert(alerts_, why);
            Show_No_Rack();
            return;
        }
        Selected_Sample.clear();
        Selected_Pos_Index = -1;
        Show_Rack();
        return;
    }

    // Held at another station. A rack the search picked by itself gives way to the next rack of the
    // list this station can take, in the list's order (the automatic pick's); one the technician chose
    // leaves the rack loaded before in place.
    std::vector<std::string> refused{why};
    int taken_at = -1;
    const int n = static_cast<int>(search.lst_os.size());
    int from = -1;
    for (int i = 0; i < n; ++i)
        if (search.lst_os[i].Text == chosen) from = i;
    if (search.Picked_Itself && !search.bSampleFound && from >= 0) {
        for (int k = 1; k < n && taken_at < 0; ++k) {
            const int i = (from + k) % n;
            if (Load_Chosen_Rack(search.lst_os[i].Text, why))
                taken_at = i;
            else if (!why.empty())
                refused.push_back(why);
            else
                break; // the lab database does not answer: told already, no use going on
        }
    } else if (!previous.empty()) {
        std::string again;
        if (Load_Chosen_Rack(previous, again)) {
            Show_Alert(alerts_, refused.front());
            Selected_Sample.clear();
            Selected_Pos_Index = -1;
            Show_Rack();
            return;
        }
        if (!again.empty()) refused.push_back(again);
    }

    std::string told;
    const size_t listed = std::min<size_t>(refused.size(), 3);
    for (size_t i = 0; i < listed; ++i)
        told += (i ? "\r\n\r\n" : "") + refused[i];
    if (refused.size() > listed)
        told += "\r\n\r\n" + std::to_string(refused.size() - listed) +
                " more racks are in use at other stations.";
    if (taken_at >= 0) {
        told += "\r\n\r\nThe next free rack, " + Trim(rack_.Rack_Desc) + ", is taken instead.";
        Show_Alert(alerts_, told);
        Show_Loaded_Rack(search, taken_at);
        return;
    }
    if (search.Picked_Itself && !search.bSampleFound)
        told += "\r\n\r\nNo rack is free for this station now: every rack of the list is in use at "
                "another station. Touch NEXT or FIND to look again.";
    Show_Alert(alerts_, told);
    Show_No_Rack();
}

void Rack_View::bttn_Nav_Click(int Index) {
    g_.Last_Activity = clock_.Now();
    main_.Nav_Start();
    struct End {
        Rack_View& v;
        ~End() {
            try {
                Show_Status(v.status_, v.g_, "");
                v.main_.Nav_End();
            } catch (...) {
            }
        }
    } end{*this};
    Show_Status(status_, g_, "RETRIEVING RACK INFORMATION");
    // The rack is given back before the save question, as the lab database expects.
    Release_Rack();
    if (Requires_saving()) {
        Retake_Loaded_Rack();
        return;
    }
    Get_Racks(Index, "");
}

// ---- priority filters -----------------------------------------------------------------------------

void Rack_View::Refresh_Priority() {
    img_Priority_Visible = false;
    for (auto& p : Priority_Images)
        p.Visible = false;
    if (g_.Test_Code.empty()) return;
    db::Record_Set rs = rack_.Get_Rack_Priority(Lab_Code_Default, g_.Test_Code);
    if (!rs.Is_Open()) return;
    img_Priority_Visible = true;
    // Four places, one for each filter the lab database names; other names have no button.
    int slot = 0;
    for (; !rs.Eof() && slot < 4; rs.Move_Next()) {
        const std::string name = Trim(rs.Text_Or("PRIORITY", ""));
        const int b = Priority_Button(name);
        if (b < 0 || Priority_Images[b].Visible) continue;
        Priority_Images[b] = {true, slot++, "bttn_" + name + "_off.gif"};
    }
}

void Rack_View::Priority_Click(int button) {
    if (button < 0 || button >= 4) return;
    const std::string name = Priority_Tags[button];
    g_.Last_Activity = clock_.Now();
    Racks_Found = true;
    {
        // The racks of the filter touched: one with no racks would list nothing.
        db::Record_Set rs = rack_.Get_Samples(g_.Test_Code, name);
        if (rs.Failed()) {
            // Not an empty filter: the technician is told the list could not be read.
            Racks_Found = false;
            Show_Alert(
                alerts_,
                db::Statement_Failed_Error("the racks of the " + name + " filter", rs.Errors()).what());
            return;
        }
        if (!rs.Is_Open() || rs.Columns().empty() || rs.Eof()) Racks_Found = false;
    }
    if (!Racks_Found) {
        Show_Alert(alerts_, "No records found!");
        return;
    }
    Priority_Images[button].Picture = "bttn_" + name + "_on.gif";
    if (Active_Priority_Button >= 0 && Active_Priority_Button != button)
        Priority_Images[Active_Priority_Button].Picture =
            std::string("bttn_") + Priority_Tags[Active_Priority_Button] + "_off.gif";
    Active_Priority_Button = button;
    Priority_Filter = name;
    bttn_Nav_Click(2);
}

void Rack_View::img_Priority_Click() {
    if (g_.Test_Code.empty()) return;
    Priority_Filter.clear();
    Active_Priority_Button = -1;
    Refresh_Priority();
    bttn_Nav_Click(0);
}

// ---- saving and leaving ---------------------------------------------------------------------------

void Rack_View::img_save_Click() {
    if (Selected_Pos_Index == -1) return;
    g_.Last_Activity = clock_.Now();
    Status_Scope status(status_, g_, "SAVING RESULTS");
    main_.Save_Results();
    if (main_.AllSaved()) img_save_Picture = Save_Idle;
    Results_Saved = true;
}

bool Rack_View::Requires_saving() {
    if (Selected_Sample.empty() || Results_Saved) return false;
    int answer = Answer_Closed;
    {
        Status_Scope status(status_, g_, "SAVE EDITED RESULTS?");
        answer = alerts_.Ask_Yes_No("SAVE EDITED RESULTS?");
    }
    return answer != Answer_Yes && answer != Answer_No;
}

void Rack_View::lbl_Exit_Click() {
    if (!Requires_saving()) img_Exit_Click();
}

void Rack_View::img_Exit_Click() {
    try {
        Release_Rack();
    } catch (const std::exception& e) {
        // The technician leaves all the same; the lab's administration can free the rack.
        Show_Alert(alerts_, std::string(e.what()));
    }
    app_.App_Exit();
}

} // namespace pcs
