// The sample action panel's rules: what the panel shows for a run, the counter link it owns, the
// dilution toggle, removing the sample and closing. The Qt form draws this model and forwards touches.
#pragma once

#include "common/clock.h"
#include "common/globals.h"
#include "common/ports.h"
#include "counter/counter_link.h"
#include "counter/run.h"
#include "counter/serial_port.h"
#include "records/sample_remover.h"

#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace pcs {

class Settings_Collection;

// One of the five reasons a sample can be taken off the test.
struct Action_Reason {
    const char* Action_Word;
    const char* Reason_Text; // shown upper-cased
    const char* Code;        // the test action code
};
inline constexpr std::array<Action_Reason, 5> Action_Reasons{{
    {"Delete", "Not enough sample to perform PrtCount or PrtFilter ", "NOT_ENOUGH"},
    {"PrtFilter", "Too much water present ", "HIGH_H2O"},
    {"PrtFilter", "Fire Retardant ", "HIGH_H2O"},
    {"PrtFilter", "Sample is too dark ", "TOO_DARK"},
    {"PrtFilter", "Sample is opaque ", "TOO_CLOUDY"},
}};

inline constexpr const char* Action_Title = "Particle count tasks";
inline constexpr const char* Action_Prompt = "I want to remove this sample because.....";
inline constexpr const char* Remove_From_Bath_Text = "Remove from bath";
inline constexpr const char* Debug_Refusal_Text = "Records cannot be updated in DEBUG mode.";
inline constexpr const char* Sample_Removed_Text = "Sample was removed";
inline constexpr uint32_t Action_Panel_Back_Rgb = 0x292E35; // RGB(41,46,53)
inline constexpr int Action_Panel_Width_Twips = 12736;

// The question asked before a reason is applied.
std::string Reason_Question(const Action_Reason& reason);

// A sample gets the sample layout; a check standard, a flush and a toolbox run get a banner instead of
// tiles and pictures.
enum class Action_Layout { Sample, Run_Word };
Action_Layout Layout_For(const Run& run);
// "Flush required", "Run Process Control Sample", "Run single sample"; "" for a sample.
std::string Banner_Text(const Run& run);
// "Labnumber : " followed by the lab number.
std::string Lab_Number_Line(std::string_view sLabNumber);

// The dilution toggle's look: tag "" (no dilution) or "10" (diluted 1:10).
struct Dilution_Look {
    std::string Tag;
    uint32_t Shape_Rgb = 0;
    std::string Caption; // two lines joined by "\n"
};
Dilution_Look Dilution_Look_For(bool diluted);

// The sample pictures of a lab number on the sample-image share.
struct Sample_Pictures {
    std::filesystem::path Bottom; // "BTM_" + lab number + "_01.jpg"; empty when no lab number
    std::filesystem::path Colour; // "CLR_" + lab number + "_01.jpg"
    bool Bottom_Exists = false;
    bool Colour_Exists = false;
    // Neither picture exists: the run and close buttons move up to the row of the picture boxes.
    bool Buttons_Move_Up() const { return !Bottom_Exists && !Colour_Exists; }
};
// The folder of the pictures below the share's root: virtual_directories/IMG_SAMPLES/VOLMAR.
std::filesystem::path Sample_Picture_Folder(const std::filesystem::path& share_root);
Sample_Pictures Find_Sample_Pictures(const std::filesystem::path& share_root, std::string_view lab_number);
// The share's root: the setting SAMPLE_IMAGE_SHARE when present, otherwise the program's folder.
std::filesystem::path Sample_Image_Share(const Settings_Collection& settings, const Globals& g);

// What the panel asks of its form.
class Action_Panel_View {
public:
    virtual ~Action_Panel_View() = default;
    // Ends the modal show; the caller then reads Action and Bffr and unloads the panel.
    virtual void Hide_Panel() = 0;
    // Something shown changed (run button, close button, dilution toggle): redraw.
    virtual void Refresh() {}
};

// What the station that shows a panel tells it: whether the counter is driven at all (the counter
// link asks at each send), and where a report of a count the panel did not start is kept (it reaches
// no sample). Without a host the counter is driven and such a report is dropped.
class Panel_Host : public Counter_Drive {
public:
    bool Counter_Driven() const override { return true; }
    virtual void Keep_Stray_Count(const std::string& /*line*/) {}
};

class Action_Panel : private Counter_Link_Events {
public:
    Action_Panel(Globals& g, const Clock& clock, Alert_Port& alerts, Serial_Port& port,
                 Sample_Remover& remover, Action_Panel_View& view, Panel_Host* host = nullptr);

    // The caller's, before the show: the run in hand and its bath slot (-1 for none).
    void Set_Run(const Run& run, int16_t index);
    const Run& Run_In_Hand() const { return run_; }
    std::string sLabNumber; // the run as the panel names it: the lab number or the run word
    int16_t sIndex = -1;
    // Read by the caller after the show: "COUNT", "REMOVE" or "", the counter's text, and the dilution
    // the technician chose on the toggle (none when it was not touched: the run keeps its own).
    std::string Action;
    const std::string& Bffr() const { return Link.Bffr; }
    std::optional<bool> Dilution_Chosen;
    // The count whose report Bffr holds: the run's Count_Id once the report of the count this panel
    // started arrived, 0 before.
    uint64_t Report_Count_Id = 0;

    Counter_Link Link;

    // What the form shows.
    Action_Layout Layout = Action_Layout::Sample;
    std::string Banner;
    Sample_Pictures Pictures;
    Dilution_Look Dilution;
    // A check standard or a flush is never scaled: its toggle is not shown.
    bool Dilution_Visible = true;
    bool Close_Visible = true;
    bool Hidden = false;

    // The panel's life, once each and in this order: loaded (the counter's port opens), the station
    // released (active again as soon as the panel is done with, while its outcome is processed), unloaded
    // (the port closes). Each step is for the one panel: asked again, or out of order, it does nothing.

    // The panel load: the toggle shows the run's own dilution (what it shows is what the save applies),
    // lay out, stop any count the counter still runs, open the counter
    // link on COMM_PORT and put the counter into remote mode.
    void Load(const Settings_Collection& settings);
    bool Loaded() const { return stage_ != Stage::Created; }
    // Lays the panel out for the run; the station counts as idle while the panel is open.
    void Reset_Interface();
    // The unload's part for the station alone: active again, the idle time towards hibernation
    // restarted. The port stays open until the unload.
    void Release_Station();
    // The unload: the port is closed and the station released, if it was not already.
    void Unload();

    void Dilution_Click();
    void Remove_From_Bath_Click();
    void Reason_Click(int index);
    void Close_Click();
    void Run_Button_Click() { Link.Run_Button_Click(); }

private:
    void On_Report_Received() override;
    void On_Stray_Report(const std::string& line) override;
    void On_Run_Button_Changed() override { view_.Refresh(); }
    void On_Close_Button_Visible(bool visible) override;
    void Hide();
    void Station_Active_Again();

    enum class Stage { Created, Loaded, Released, Unloaded };
    Stage stage_ = Stage::Created;
    Globals& g_;
    const Clock& clock_;
    Alert_Port& alerts_;
    Sample_Remover& remover_;
    Action_Panel_View& view_;
    Panel_Host* host_;
    std::filesystem::path share_root_;
    Run run_;
};

} // namespace pcs
