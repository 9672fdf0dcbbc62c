// The particle-count station's main form as a model: its start-up, the bath of thirty slots, the run
// sequence from a touch on a slot to a saved and validated count, the result table, the rack header
// and the histogram. The screens draw it and forward touches; it reaches them only through ports.
#pragma once

#include "common/clock.h"
#include "common/globals.h"
#include "common/ports.h"
#include "counter/count_logs.h"
#include "counter/count_report.h"
#include "counter/run.h"
#include "shell/working_forms.h"
#include "station/bath.h"
#include "station/histogram.h"
#include "station/result_table.h"
#include "station/station_settings.h"

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <utility>

namespace pcs {

namespace db {
class Database;
}
class Rack;
class Batch;
class PrtCount;
class Employee;

inline constexpr const char* Station_Name = "PARTICLE COUNT";
inline constexpr const char* Reloading_Bath_Status = "RELOADING BATH CONTENT";

// What the modal action panel ended with: "COUNT" with the counter's text, "REMOVE", or anything
// else when it was closed; and the dilution the technician chose, when the toggle was touched.
struct Panel_Outcome {
    Panel_Outcome() = default;
    Panel_Outcome(std::string action, std::string bffr, std::optional<bool> dilution_chosen = std::nullopt,
                  uint64_t count_id = 0)
        : Action(std::move(action)), Bffr(std::move(bffr)), Dilution_Chosen(dilution_chosen),
          Count_Id(count_id) {}

    std::string Action;
    std::string Bffr;
    std::optional<bool> Dilution_Chosen;
    // The count the report in Bffr belongs to (the Count_Id of the run the panel started it for); 0
    // when none. A report of any other count reaches no sample.
    uint64_t Count_Id = 0;
};

// The modal action panel, as the run sequence uses it.
class Action_Panel_Port {
public:
    virtual ~Action_Panel_Port() = default;
    // Creates the panel for one count of the run (slot sIndex, -1 for none), shows it modally, reads
    // its outcome and unloads it.
    virtual Panel_Outcome Show_Action_Panel(const Run& run, int16_t sIndex) = 0;
};

// Top and left of the history window; top -1 = nothing remembered.
struct Window_Place {
    int Top = -1;
    int Left = 0;
};

// What the main form asks of its screens besides alerts, questions and status texts.
class Station_View {
public:
    virtual ~Station_View() = default;
    // The bath grid, the result table, the rack header or the count-down changed.
    virtual void Refresh() {}
    // The main form was laid out (its Init): the screens place what stands beside it.
    virtual void Laid_Out() {}
    // The histogram model changed.
    virtual void Histogram_Changed() {}
    virtual void Show_History_Window() {}
    virtual void Hide_History_Window() {}
    virtual Window_Place History_Window_Place() const { return {}; }
    virtual void Move_History_Window(const Window_Place&) {}
    // The rack name was touched: the rack view shows that rack.
    virtual void Open_Rack_View(const std::string& /*rack_desc*/) {}
    // The one-second bath timer runs once the first sample came in.
    virtual void Bath_Timer_Enabled(bool /*enabled*/) {}
};

// The shared objects and ports the main form works with; all outlive it.
struct Station_Parts {
    Globals& G;
    const Clock& Time;
    Alert_Port& Alerts;
    Status_Port& Status;
    db::Database& Db;
    Rack& Current_Rack; // the shared rack, with the settings collection
    Batch& Bath_Batch;  // the instrument batch that holds the stored bath
    PrtCount& Result;   // the shared particle-count result record
    Employee& Technician;
    Count_Logs& Logs;
    Action_Panel_Port& Panel;
    Station_View& View;
};

class Station final : public Toolbox_Run_Port {
public:
    explicit Station(const Station_Parts& parts);

    // ---- what the screens draw --------------------------------------------------------------------
    std::array<Bath_Slot, Bath_Slot_Count> Slots;
    Result_Table Results;
    Rack_Header Header;
    Histogram History_Graph;
    Station_Settings Config;
    std::string Header_Caption; // the header bar's station caption: "PARTICLE COUNT STATION"
    int16_t Samples_Since_Check = 0;
    std::string Station_Mode;
    bool Loading = false;
    bool Timer_Enabled = false;
    int Current_Slot = -1; // the slot of the run in progress
    int Run_Slot = -1;     // the slot of the last sample or flush started from the bath
    Window_Place History_Place;

    // ---- start-up and the shell's operations ------------------------------------------------------
    // The form load: debug flag from the check box, folders, settings (one alert naming keys it could
    // not take), the history window, the stored bath, the outstanding count, and the count-down primed
    // so that the first run is a check standard.
    // The picture folder, when given, replaces the program's folder as the folder of the pictures (a
    // build keeps its drawn pictures in a folder of their own).
    void Load(bool debug_checked, const std::filesystem::path& app_folder,
              const std::filesystem::path& picture_folder = {});
    // Lays the grid out: every free slot shows the idle bottle; the screens are told.
    void Init();
    void Hibernate();
    void reActivate();
    void Unload();

    // ---- the bath ---------------------------------------------------------------------------------
    // A sample handed over by the rack view from rack position Index. False when it did not enter the
    // bath (no id, status "DONE" or empty, already in, bath full, too many racks, refused by the lab).
    bool Process_Sample(int16_t Index, const std::string& sampleId, const std::string& sStatus);
    bool Bath_Add_Sample(const std::string& sampleId, bool reloading, int position);
    void Bath_Remove_Sample(int slot);
    void Load_Bath();
    void Reload_Bath();
    std::string Get_Oldest_Rack();
    void Mark_Oldest_Rack();
    // The history cells' looks, for one slot or (-1) all.
    void Refresh_History_Marks(int slot);
    // The one-second timer.
    void Bath_Timer_Tick();

    // ---- runs -------------------------------------------------------------------------------------
    // A touch on any element of slot s.
    void Slot_Touch(int s);
    // The toolbox's runs: a check standard or a single test run, for no slot.
    void Toolbox_Run(Run_Kind kind) override;
    // The run in hand (or the last one): the station is its only writer.
    const Run& Current_Run() const { return run_; }
    void Run_Sample(int index);
    bool Choose_Run_Type(int slot);
    bool Flush_Not_Needed(int slot) const;
    // One counter report of the run in hand: parse, log, validate or save, ask, show.
    void process_data(const std::string& BytesRead);
    // The same for a run given with the report (a report replayed from elsewhere than the panel); the
    // run learns whether it must be repeated.
    void process_data(Run& run, const std::string& BytesRead);
    // A report of a count no panel started: kept in the offline count log (not in debug mode), saved
    // for no sample.
    void Keep_Stray_Count(const std::string& line);

    // ---- the result table, the rack header and the count-down ---------------------------------------
    void Show_Results(const std::string& run_id, const std::string& code_text,
                      const std::array<std::string, 7>& values);
    void Show_Rack_Header(bool show, const std::string& rack_desc, const std::string& rack_id);
    void Show_Outstanding_Count();
    void Refresh_Countdown();
    void Rack_Name_Click();

private:
    void Show_Idle_Slots();
    void Clear_Slot(Bath_Slot& s);
    void Fill_History(Bath_Slot& s, const std::string& sampleId);
    // "" when the lab stored the bath entry, otherwise why it did not.
    std::string Store_In_Bath(const std::string& sampleId, int slot);
    std::string Priority_For(bool reloading, int position) const;
    void Show_Count(const Run& run, const Count_Report& r);
    void Validate_Run(Run& run, const Report_Parse& p);
    void Save_Sample(Run& run, Count_Report& r, bool logged);
    void Database_Failed(const std::exception& e);
    bool Valid_Slot(int slot) const { return slot >= 0 && slot < Bath_Slot_Count; }

    // Starts the next count of the run in hand: a new count identity.
    void Start_Count() { run_.Count_Id = ++counts_started_; }

    Station_Parts p_;
    Run run_;
    uint64_t counts_started_ = 0;
};

} // namespace pcs
