#include "station/action_panel.h"

#include "common/globals.h"
#include "common/text.h"
#include "settings/settings.h"

#include <system_error>

namespace pcs {

std::string Reason_Question(const Action_Reason& reason) {
    return "Do you want to perform the following action on the specified sample [" +
           Trim(reason.Action_Word) + "]";
}

Action_Layout Layout_For(const Run& run) {
    return Banner_Text(run).empty() ? Action_Layout::Sample : Action_Layout::Run_Word;
}

std::string Banner_Text(const Run& run) {
    switch (run.Kind) {
    case Run_Kind::Flush:
        return "Flush required";
    case Run_Kind::Check:
        return "Run Process Control Sample";
    case Run_Kind::Single:
        return "Run single sample";
    case Run_Kind::Sample:
    case Run_Kind::Rerun:
        break;
    }
    return "";
}

std::string Lab_Number_Line(std::string_view sLabNumber) {
    return "Labnumber : " + std::string(sLabNumber);
}

Dilution_Look Dilution_Look_For(bool diluted) {
    if (diluted) return {"10", 0x65C473, "SAMPLE DILUTION\nDILUTION RATIO 1:10"}; // RGB(101,196,115)
    return {"", 0x9E9E9E, "DEFAULT SAMPLING\nNO DILUTION"};                       // RGB(158,158,158)
}

std::filesystem::path Sample_Picture_Folder(const std::filesystem::path& share_root) {
    return share_root / "virtual_directories" / "IMG_SAMPLES" / Lab_Code_Default;
}

Sample_Pictures Find_Sample_Pictures(const std::filesystem::path& share_root, std::string_view lab_number) {
    Sample_Pictures p;
    std::string lab = Trim(lab_number);
    if (lab.empty()) return p;
    std::filesystem::path folder = Sample_Picture_Folder(share_root);
    p.Bottom = folder / ("BTM_" + lab + "_01.jpg");
    p.Colour = folder / ("CLR_" + lab + "_01.jpg");
    // An unreachable share reads as "no picture", never as an error.
    std::error_code ec;
    p.Bottom_Exists = std::filesystem::is_regular_file(p.Bottom, ec);
    p.Colour_Exists = std::filesystem::is_regular_file(p.Colour, ec);
    return p;
}

std::filesystem::path Sample_Image_Share(const Settings_Collection& settings, const Globals& g) {
    if (const Settings* s = settings.Find("SAMPLE_IMAGE_SHARE"); s && !Trim(s->Value).empty())
        return std::filesystem::path(Trim(s->Value));
    if (!g.App_Folder.empty()) return std::filesystem::path(g.App_Folder);
    return std::filesystem::current_path();
}

Action_Panel::Action_Panel(Globals& g, const Clock& clock, Alert_Port& alerts, Serial_Port& port,
                           Sample_Remover& remover, Action_Panel_View& view, Panel_Host* host)
    : Link(port, alerts, host), g_(g), clock_(clock), alerts_(alerts), remover_(remover), view_(view),
      host_(host) {
    Link.Events = this;
}

void Action_Panel::Set_Run(const Run& run, int16_t index) {
    run_ = run;
    sLabNumber = run.Id();
    sIndex = index;
}

void Action_Panel::Load(const Settings_Collection& settings) {
    if (stage_ != Stage::Created) return;
    // Loaded from the start: a load that fails part-way still has its port closed at the unload.
    stage_ = Stage::Loaded;
    Dilution_Visible = !run_.Is_Check_Or_Flush();
    Dilution = Dilution_Look_For(Dilution_Visible && run_.Dilution_Flag);
    Link.sCounterState = "IDLE";
    share_root_ = Sample_Image_Share(settings, g_);
    Reset_Interface();
    // A missing or unreadable COMM_PORT leaves the link without a port: the technician gets
    // "Cannot connect to device" instead of a panel that fails to load.
    int16_t port = 0;
    try {
        port = Counter_Port_Number(settings).value_or(0);
    } catch (const std::exception&) {
    }
    Link.Start(port);
    view_.Refresh();
}

void Action_Panel::Reset_Interface() {
    g_.App_State = "IDLE";
    Link.Set_Run_Button(true);
    Layout = Layout_For(run_);
    Banner = Banner_Text(run_);
    Pictures =
        Layout == Action_Layout::Sample ? Find_Sample_Pictures(share_root_, sLabNumber) : Sample_Pictures{};
}

void Action_Panel::Release_Station() {
    if (stage_ != Stage::Loaded) return;
    stage_ = Stage::Released;
    Station_Active_Again();
}

void Action_Panel::Unload() {
    if (stage_ == Stage::Created || stage_ == Stage::Unloaded) return;
    const bool released = stage_ == Stage::Released;
    stage_ = Stage::Unloaded;
    Link.Stop();
    if (!released) Station_Active_Again();
}

void Action_Panel::Station_Active_Again() {
    g_.App_State = "ACTIVE";
    g_.Last_Activity = clock_.Now();
}

void Action_Panel::Dilution_Click() {
    if (!Dilution_Visible) return;
    bool diluted = Dilution.Tag.empty();
    Dilution = Dilution_Look_For(diluted);
    Dilution_Chosen = diluted;
    view_.Refresh();
}

void Action_Panel::Remove_From_Bath_Click() {
    // Leaving mid-count stops the count first: its report must not come to the next panel.
    if (Link.Counting()) Link.Counter_Command("STOP");
    Action = "REMOVE";
    Hide();
}

void Action_Panel::Reason_Click(int index) {
    if (index < 0 || index >= static_cast<int>(Action_Reasons.size())) return;
    if (Link.sCounterState != "IDLE") return;
    const Action_Reason& reason = Action_Reasons[static_cast<size_t>(index)];
    if (alerts_.Ask_Yes_No(Reason_Question(reason)) != Answer_Yes) return;
    if (g_.Debug_Mode) {
        alerts_.Alert(Debug_Refusal_Text);
        return;
    }
    bool removed = false;
    try {
        removed = remover_.Remove_Sample(sLabNumber, reason.Code);
    } catch (const std::exception& e) {
        // The database layer reports its own errors; anything else still must not end the program.
        alerts_.Alert(e.what());
        return;
    }
    if (!removed) return;
    Action = "REMOVE";
    Hide();
    alerts_.Alert(Sample_Removed_Text);
}

void Action_Panel::Close_Click() {
    if (Link.sCounterState != "IDLE") return;
    Action.clear();
    Link.Bffr.clear();
    Hide();
}

void Action_Panel::On_Report_Received() {
    Action = "COUNT";
    Report_Count_Id = run_.Count_Id;
    Hide();
}

void Action_Panel::On_Stray_Report(const std::string& line) {
    if (host_) host_->Keep_Stray_Count(line);
}

void Action_Panel::On_Close_Button_Visible(bool visible) {
    Close_Visible = visible;
    view_.Refresh();
}

void Action_Panel::Hide() {
    Hidden = true;
    view_.Hide_Panel();
}

} // namespace pcs
