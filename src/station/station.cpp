#include "station/station.h"

#include "common/messages.h"
#include "common/sql.h"
#include "common/text.h"
#include "counter/count_validation.h"
#include "counter/report_processing.h"
#include "db/database.h"
#include "db/statement_error.h"
#include "lab/batch.h"
#include "lab/rack.h"
#include "records/employee.h"
#include "records/prt_count.h"
#include "settings/settings.h"

#include "common/local_time.h"

namespace pcs {

namespace {

// Where the count is when the lab has no result for it: only a log that was written is named.
std::string Where_The_Count_Is(bool logged, const std::string& log_path, const std::string& code_text) {
    if (logged) return "The count is kept in the count log " + log_path + ".";
    return "The count could not be written to the count log either: note it down (ISO code " +
           Trim(code_text) + ").";
}

// A save the lab database did not take: with the database's own word, or none when no answer row came.
std::string Save_Refused_Message(const std::string& lab_number, const std::string& status,
                                 const std::string& where) {
    std::string answer = Trim(status);
    std::string why = answer.empty() ? std::string("the lab database gave no answer")
                                     : "the lab database answered \"" + answer + "\"";
    return "The result of sample " + lab_number + " was not saved: " + why + ".\r\n" + where +
           " The sample stays in the bath.";
}

std::string Employee_Number(const Employee& e) {
    return To_Text(static_cast<long long>(e.Emp_Num));
}

} // namespace

Station::Station(const Station_Parts& parts) : p_(parts) {
    Show_Idle_Slots();
}

// ---- start-up and the shell's operations -----------------------------------------------------------

void Station::Load(bool debug_checked, const std::filesystem::path& app_folder,
                   const std::filesystem::path& picture_folder) {
    Globals& g = p_.G;
    Loading = true;
    History_Place = {};
    g.Debug_Mode = debug_checked;
    g.Test_Code = Test_Code_PrtCount;
    p_.Technician.Station = Station_Name;
    std::string folder = app_folder.empty() ? std::string() : (app_folder / "").string();
    g.App_Folder = Trim(folder);
    Settings_Read read = Load_Station_Settings(p_.Current_Rack.Settings, g.Debug_Mode, Config);
    g.Common_Folder = picture_folder.empty() ? folder : (picture_folder / "").string();
    Show_Idle_Slots();
    p_.View.Show_History_Window();
    Header_Caption = p_.Technician.Station + " STATION";
    Header.Countdown = To_Text(static_cast<long long>(Config.SAMPLES_BETWEEN_CHECKS));
    Header.Visible = false;
    // Told once, at start: the defaults stand in for what the file did not give.
    if (!read.Complete()) Show_Alert(p_.Alerts, read.Message());
    Load_Bath();
    Show_Outstanding_Count();
    Loading = false;
    Samples_Since_Check = Config.SAMPLES_BETWEEN_CHECKS;
    p_.View.Refresh();
}

void Station::Init() {
    Show_Idle_Slots();
    p_.View.Refresh();
    p_.View.Laid_Out();
}

void Station::Show_Idle_Slots() {
    for (Bath_Slot& s : Slots)
        if (s.Is_Free()) s.Picture = p_.G.Common_Folder + Idle_Slot_Picture;
}

void Station::Hibernate() {
    History_Place = p_.View.History_Window_Place();
    p_.View.Hide_History_Window();
}

void Station::reActivate() {
    if (History_Place.Top != -1) p_.View.Move_History_Window(History_Place);
    p_.View.Show_History_Window();
}

void Station::Unload() {
    p_.View.Hide_History_Window();
}

// ---- the bath ----------------------------------------------------------------------------------------

bool Station::Process_Sample(int16_t Index, const std::string& sampleId, const std::string& sStatus) {
    if (sampleId.empty()) return false;
    if (!Timer_Enabled) {
        Timer_Enabled = true;
        p_.View.Bath_Timer_Enabled(true);
    }
    if (sStatus == "DONE" || sStatus.empty()) return false;
    bool added = Bath_Add_Sample(sampleId, false, Index);
    p_.View.Refresh();
    return added;
}

bool Station::Bath_Add_Sample(const std::string& sampleId, bool reloading, int position) {
    int slot = Lowest_Free_Slot(Slots);
    if (reloading) {
        // A stored row for a slot the bath does not have, or one already taken, is not shown.
        if (!Valid_Slot(position) || !Slots[position].Is_Free()) return false;
    } else if (slot < 0) {
        return false;
    }
    if (Slot_Of_Sample(Slots, sampleId) >= 0) return false;
    const int16_t max_racks = Config.MAX_RACKS_IN_BATH;
    if (!Loading && Other_Racks_In_Bath(Slots, p_.Current_Rack.Rack_Desc) >= max_racks) {
        Show_Alert(p_.Alerts, Max_Racks_Message(max_racks));
        return false;
    }
    if (reloading) slot = position;

    Bath_Slot& s = Slots[slot];
    Fill_History(s, sampleId);
    s.Rack_Desc = Trim(p_.Current_Rack.Rack_Desc);
    s.Rack_Id = Trim(p_.Current_Rack.Rack_id);
    std::string refused = reloading ? std::string() : Store_In_Bath(sampleId, slot);
    bool result = refused.empty();

    // The slot is filled even when the lab refused the entry: the sample is on the bench either way.
    s.Priority = Priority_For(reloading, position);
    s.Lab_Number = sampleId + " ";
    Time_Point now = p_.Time.Now();
    s.Added_At = now;
    s.Ready_By = now + std::chrono::seconds(Config.SAMPLE_BATH_TIME);
    s.Ready_At = Local_Date_Time_Text(*s.Ready_By);
    s.State_Boxed = true;
    s.Ready_Slot.clear();
    s.Picture = Priority_Picture(p_.G.Common_Folder, s.Priority);
    Bath_Tick(std::span<Bath_Slot>(Slots), now, Config.SAMPLE_SHAKE_TIME);
    Show_Rack_Header(true, Trim(p_.Current_Rack.Rack_Desc), p_.Current_Rack.Rack_id);
    if (!reloading) Mark_Oldest_Rack(); // the stored bath marks its own once all rows are in
    Refresh_History_Marks(slot);
    if (!result)
        Show_Alert(p_.Alerts, "Sample " + Trim(sampleId) + " is in bath slot " + std::to_string(slot + 1) +
                                  " on this screen only: the lab database did not store the bath entry (" +
                                  refused +
                                  ").\r\nIt will not be in the bath after a restart of the station.");
    return result;
}

void Station::Fill_History(Bath_Slot& s, const std::string& sampleId) {
    s.State_Back = History_Orange;
    s.State_Fore = Black;
    s.History_Text.clear();
    std::string sql = std::string("exec labrack.dbo.get_pc_history '") + Lab_Code_Default + "', '" +
                      SQL_Escape(Trim(sampleId)) + "'";
    // A history that cannot be read leaves what was set so far: the sample then always gets a flush.
    try {
        db::Record_Set rs = p_.Db.Open_Recordset(sql, true);
        if (rs.Failed()) return;
        // A statement that answered no result set at all has no history either.
        if (!rs.Is_Open() || rs.Columns().empty() || rs.Eof()) {
            s.History_Text = No_Hist_Text;
            return;
        }
        if (Trim(rs.Text_Or("STATUS", "")) == "NOT_ENTERED") {
            s.History_Text = Not_Entered_Text;
            return;
        }
        s.History_Text = rs.Text("ISO") + " ";
        const Validation_Limits& l = Config.Limits;
        State_Colours c =
            History_Colour(rs.Text_Or("ISO_5", ""), rs.Text_Or("ISO_15", ""), l.ISO5_SAMPLE, l.ISO15_SAMPLE);
        s.State_Back = c.Back;
        s.State_Fore = c.Fore;
    } catch (const std::exception&) {
    }
}

std::string Station::Store_In_Bath(const std::string& sampleId, int slot) {
    const Rack& rack = p_.Current_Rack;
    std::string sql =
        "exec labrack.dbo.set_PC_Bath @sampleId = '" + SQL_Escape(Trim(sampleId)) + "', " +
        "@extra = 'RD=" + SQL_Escape(Trim(rack.Rack_Desc)) + "RID=" + SQL_Escape(Trim(rack.Rack_id)) + "', " +
        "@empNum = " + Employee_Number(p_.Technician) + ", " + "@position = " + std::to_string(slot + 1) +
        ", " + "@instrumentId = '" + SQL_Escape(Trim(p_.G.Station_Instrument_Id)) + "', " +
        "@action = 'ADD', " + "@test = 0";
    try {
        db::Record_Set rs = db::Open_Checked(p_.Db, sql, "the bath entry");
        if (rs.Eof()) return "the lab database gave no answer";
        db::Field error = db::Optional_Field(rs, "ERROR");
        if (!error) return "";
        std::optional<double> v = Try_Double(*error);
        if (!v || *v == 0) return "";
        std::string message = Trim(db::Optional_Field(rs, "MESSAGE").value_or(""));
        return "the lab database answered error " + Trim(*error) +
               (message.empty() ? "" : " (" + message + ")");
    } catch (const std::exception& e) {
        return e.what();
    }
}

std::string Station::Priority_For(bool reloading, int position) const {
    if (reloading) {
        for (const Samples& smp : p_.Bath_Batch.Sample)
            if (smp.Position == position + 1) return Trim(smp.Priority);
        return "";
    }
    // The position handed over: the rack view marks it active only after the bath took it.
    const auto& pos = p_.Current_Rack.Pos;
    if (position < 0 || position >= static_cast<int>(pos.size()) || !pos[position]) return "";
    const RackPositions& rp = *pos[position];
    if (rp.Priority == "NORMAL" && rp.Run_No > 1) return "RETEST";
    return rp.Priority;
}

void Station::Clear_Slot(Bath_Slot& s) {
    s = Bath_Slot{};
    s.Picture = p_.G.Common_Folder + Idle_Slot_Picture;
}

void Station::Bath_Remove_Sample(int slot) {
    if (slot == -1) slot = 1;
    if (!Valid_Slot(slot)) return;
    Bath_Slot& s = Slots[slot];
    const std::string lab = Trim(s.Lab_Number);
    std::string sql = "exec labrack.dbo.set_PC_Bath @sampleId = '" + SQL_Escape(lab) + "', " +
                      "@extra = null, " + "@empNum = " + Employee_Number(p_.Technician) + ", " +
                      "@position = " + std::to_string(slot + 1) + ", " + "@action = 'DELETE', " + "@test = 0";
    std::string kept; // why the stored row is still there
    try {
        db::Record_Set rs = db::Open_Checked(p_.Db, sql, "the bath removal");
        if (!rs.Eof()) {
            db::Field error = db::Optional_Field(rs, "ERROR");
            if (error && Try_Double(*error) != 0.0) {
                std::string message = Trim(db::Optional_Field(rs, "MESSAGE").value_or(""));
                kept = message.empty() ? "the lab database answered error " + Trim(*error) : message;
            }
        }
    } catch (const std::exception& e) {
        kept = e.what();
    }
    // The sample is off the bench either way: a slot left on screen would invite a second run and save.
    if (!kept.empty())
        Show_Alert(p_.Alerts, "The stored bath entry of sample " + lab + " at position " +
                                  std::to_string(slot + 1) +
                                  " could not be removed from the lab database: " + kept +
                                  "\r\nThe slot is cleared here; the entry comes back at the next start "
                                  "of the station, to be removed then.");
    Clear_Slot(s);
}

void Station::Load_Bath() {
    std::string oldest = Get_Oldest_Rack();
    db::Record_Set rs;
    Batch& batch = p_.Bath_Batch;
    try {
        rs = batch.Get_Batch_Samples(std::nullopt, p_.G.Station_Instrument_Id, Lab_Code_Default,
                                     Test_Code_PrtCount);
    } catch (const std::exception& e) {
        Database_Failed(e);
        return;
    }
    const db::Field blank = std::string();
    while (batch.Sample.size() < Bath_Slot_Count)
        batch.Add_New_Batch_Sample(blank, To_Text(static_cast<long long>(batch.Sample.size()) + 1), blank,
                                   blank, blank, blank, blank, blank, blank, blank);

    std::string last_desc, last_id;
    int last_position = -1;
    std::vector<std::string> not_shown;
    for (; rs.Is_Open() && !rs.Eof(); rs.Move_Next()) {
        try {
            std::string stored_at = Trim(rs.Text_Or("POSITION", ""));
            int position = rs.Int16("POSITION") - 1;
            std::string type = UCase(Trim(rs.Text_Or("SAMPLE_TYPE", "")));
            std::string id = Trim(rs.Text_Or("SAMPLE_ID", ""));
            if (type.empty() || id.empty()) continue;
            // Unlike the old reload, a row that cannot be placed is left in the database untouched:
            // removing it there would take out whichever sample really holds that place.
            if (!Bath_Add_Sample(id, true, position)) {
                not_shown.push_back(id + " at position " + stored_at);
                continue;
            }
            Bath_Slot& s = Slots[position];
            s.State_Text = "START";
            s.Ready_At = rs.Text_Or("PRIORITY", "");
            s.Ready_By.reset();
            s.Priority = Trim(s.Ready_At);
            s.Picture = Priority_Picture(p_.G.Common_Folder, s.Priority);
            s.Ready_Slot = std::to_string(position);
            std::string extra = rs.Text_Or("EXTRA", "");
            if (!extra.empty()) {
                Bath_Extra e = Split_Extra(extra);
                s.Rack_Desc = e.Rack_Desc;
                s.Rack_Id = e.Rack_Id;
                last_desc = e.Rack_Desc;
                last_id = e.Rack_Id;
            }
            s.Oldest_Mark = Trim(s.Rack_Desc) == oldest;
            last_position = position;
        } catch (const std::exception&) {
            // One unreadable row does not stop the reload.
        }
    }
    if (!last_desc.empty()) {
        Show_Rack_Header(true, last_desc, last_id);
        Refresh_History_Marks(last_position);
    }
    if (!not_shown.empty()) {
        std::string text = "The stored bath holds samples that cannot be shown in the bath:";
        for (const auto& n : not_shown)
            text += "\r\n" + n;
        Show_Alert(p_.Alerts, text);
    }
}

void Station::Reload_Bath() {
    p_.G.Last_Activity = p_.Time.Now(); // the technician's touch
    std::string previous = Show_Status(p_.Status, p_.G, std::string(Reloading_Bath_Status));
    // The rows come back from the database as they are; the rack limit is for samples coming in.
    bool was_loading = Loading;
    Loading = true;
    for (Bath_Slot& s : Slots)
        Clear_Slot(s);
    Load_Bath();
    Loading = was_loading;
    Show_Status(p_.Status, p_.G, previous);
    p_.View.Refresh();
}

std::string Station::Get_Oldest_Rack() {
    try {
        db::Record_Set rs = p_.Db.Open_Recordset(
            std::string("exec labrack.dbo.Get_PC_Bath_OldestRack @labcode = '") + Lab_Code_Default + "'",
            true);
        if (!rs.Is_Open() || rs.Eof()) return "";
        return Trim(rs.Text_Or("RACK_DESC", ""));
    } catch (const std::exception&) {
        return "";
    }
}

void Station::Mark_Oldest_Rack() {
    std::string oldest = Get_Oldest_Rack();
    if (oldest.empty()) return;
    for (Bath_Slot& s : Slots)
        s.Oldest_Mark = !s.Is_Free() && Trim(s.Rack_Desc) == oldest;
}

void Station::Refresh_History_Marks(int slot) {
    for (int i = 0; i < Bath_Slot_Count; ++i) {
        if (slot != -1 && i != slot) continue;
        Bath_Slot& s = Slots[i];
        if (s.Is_Free() || s.History_Text.empty()) continue;
        s.History = History_Look_For(s.History_Text, Flush_Not_Needed(i));
    }
}

void Station::Bath_Timer_Tick() {
    if (Bath_Tick(std::span<Bath_Slot>(Slots), p_.Time.Now(), Config.SAMPLE_SHAKE_TIME)) p_.View.Refresh();
}

// ---- runs --------------------------------------------------------------------------------------------

void Station::Slot_Touch(int s) {
    run_ = Run{};
    if (!Valid_Slot(s) || Slots[s].Is_Free()) return;
    p_.G.Last_Activity = p_.Time.Now();
    int index = s;
    if (Choose_Run_Type(s)) {
        Run_Slot = s;
    } else if (run_.Is(Run_Kind::Check)) {
        index = -1;
    } else {
        Run_Slot = s;
        run_.Lab_Number = Trim(Slots[s].Lab_Number);
    }
    Run_Sample(index);
}

void Station::Toolbox_Run(Run_Kind kind) {
    // The dilution of the last run stands: only a touch on a slot clears it.
    run_.Kind = kind;
    run_.Lab_Number.clear();
    Run_Sample(-1);
}

bool Station::Choose_Run_Type(int slot) {
    Run_Choice c =
        pcs::Choose_Run_Type(Samples_Since_Check, Config.SAMPLES_BETWEEN_CHECKS, Flush_Not_Needed(slot));
    if (c.Kind != Run_Kind::Sample) {
        run_.Kind = c.Kind;
        run_.Lab_Number.clear();
    }
    return c.Flush_Due;
}

bool Station::Flush_Not_Needed(int slot) const {
    std::string caption = Valid_Slot(slot) ? Slots[slot].History_Text : std::string();
    return pcs::Flush_Not_Needed(Results.Previous_Code(), caption, Config.Limits.ISO5_SAMPLE);
}

void Station::Run_Sample(int index) {
    const Run kept_run = run_;
    const int16_t kept_count = Samples_Since_Check;
    for (;;) {
        // Every pass is a count of its own; the dilution chosen on an earlier pass stays.
        const bool diluted = run_.Dilution_Flag;
        run_ = kept_run;
        run_.Dilution_Flag = diluted;
        run_.Rerun_Flag = false;
        Start_Count();
        p_.Result.saveOk = false;
        Panel_Outcome out = p_.Panel.Show_Action_Panel(run_, static_cast<int16_t>(index));
        if (out.Dilution_Chosen) run_.Dilution_Flag = *out.Dilution_Chosen;
        if (out.Action == "COUNT" && out.Count_Id != run_.Count_Id) {
            // Not the count this panel was shown for (another run's, or one left running): it is kept
            // in the offline log and ends the pass like a closed panel.
            Keep_Stray_Count(out.Bffr);
            out.Action.clear();
        }
        p_.G.Last_Activity = p_.Time.Now();
        Current_Slot = index;

        if (out.Action == "REMOVE") {
            index = Run_Slot;
            Bath_Remove_Sample(index);
            Mark_Oldest_Rack();
            Refresh_History_Marks(-1);
            break;
        }
        // No text is no count: ended like a closed panel, so a check standard is not taken as passed.
        if (out.Action != "COUNT" || out.Bffr.empty()) {
            run_.Kind = Run_Kind::Sample;
            run_.Lab_Number.clear();
            break;
        }
        process_data(out.Bffr);
        if (run_.Is(Run_Kind::Rerun) || run_.Rerun_Flag) {
            if (Is_Numeric(run_.Id()) && run_.Rerun_Flag) {
                try {
                    run_.Rerun_Flag = p_.Result.Redo_Sample(run_.Id(), p_.Technician.Full_name);
                } catch (const std::exception& e) {
                    // No repeat was recorded: the saved count stands and the sample stays in the bath.
                    Database_Failed(e);
                    run_.Rerun_Flag = false;
                }
            }
            Samples_Since_Check = kept_count;
            if (run_.Rerun_Flag) continue;
            break;
        }
        if (p_.Result.saveOk) Show_Outstanding_Count();
        Mark_Oldest_Rack();
        Refresh_History_Marks(-1);
        break;
    }
    if (run_.Is(Run_Kind::Check) && Samples_Since_Check >= Config.SAMPLES_BETWEEN_CHECKS)
        Samples_Since_Check = 0;
    Refresh_Countdown();
}

void Station::process_data(const std::string& BytesRead) {
    process_data(run_, BytesRead);
}

void Station::Keep_Stray_Count(const std::string& line) {
    if (!p_.G.Debug_Mode) p_.Logs.Log_Stray_Count(line);
}

void Station::process_data(Run& run, const std::string& BytesRead) {
    Report_Parse p = Begin_Processing(BytesRead, run, p_.G, p_.Logs, p_.Alerts);
    if (!p.Station_Mode.empty()) Station_Mode = p.Station_Mode;
    if (p.Report.Invalid) {
        run.Rerun_Flag = true;
        return;
    }
    if (run.Is_Check_Or_Flush()) {
        Validate_Run(run, p);
        return;
    }
    Count_Report& r = p.Report;
    // A value that would overflow stays unscaled, as it always has.
    // What is saved is coded again, so the code shown and asked about is the code of what is stored.
    if (run.Scaled_By_Dilution() && Scale_For_Dilution(r)) Code_From_Counts(r);
    if (!run.Is(Run_Kind::Single)) {
        Save_Sample(run, r, p.Logged);
        ++Samples_Since_Check;
    }
    Show_Count(run, r);
}

void Station::Validate_Run(Run& run, const Report_Parse& p) {
    const Count_Report& r = p.Report;
    bool passed = Validate_Codes(run.Kind, r.Code_2, r.Code_5, r.Code_15, Config.Limits);
    // The form's mode, not the run, says whether this was a check standard.
    bool check = Station_Mode == Run_Word(Run_Kind::Check);
    if (check && !p_.G.Debug_Mode) p_.Logs.Log_Check_Standard(passed, p.Log_Line);
    if (passed) {
        Station_Mode = "IDLE";
        Show_Count(run, r);
        return;
    }
    run.Kind = Run_Kind::Rerun;
    run.Lab_Number.clear();
    run.Rerun_Flag = true;
    Show_Alert(p_.Alerts, std::string(check ? Check_Failed_Message : Flush_Failed_Message));
}

void Station::Save_Sample(Run& run, Count_Report& r, bool logged) {
    PrtCount& rec = p_.Result;
    const std::string lab_number = run.Id();
    auto text = [](long long v) { return db::Field(To_Text(v)); };
    const std::string where =
        Where_The_Count_Is(logged, p_.Logs.Path_Of(Active_Log_Name).string(), r.Code_Text);
    // Cleared so that a save answered with no row is told apart from one the database refused in words.
    rec.Status.clear();
    try {
        rec.Save_Results(lab_number, p_.Technician.Emp_Num, text(r.Volume), text(r.Value[0]),
                         text(r.Value[1]), text(r.Value[2]), text(r.Value[3]), text(r.Value[4]),
                         text(r.Value[5]), db::Field(To_Text(r.Value_7)), "");
    } catch (const Save_Outcome_Unknown& e) {
        // Sent once and never again by itself: the technician checks the lab before counting it again.
        rec.saveOk = false;
        Show_Alert(p_.Alerts, std::string(e.what()) +
                                  "\r\nLook the sample up in the lab database before counting it again. " +
                                  where + " The sample stays in the bath.");
        return;
    } catch (const std::exception& e) {
        // As for a save the lab did not take: the sample stays, no question.
        rec.saveOk = false;
        Show_Alert(p_.Alerts, std::string(e.what()) + "\r\n" + where + " The sample stays in the bath.");
        return;
    }
    if (!rec.saveOk && !p_.G.Debug_Mode) {
        // The sample stays in the bath for another run. The technician must know that the lab has no
        // result for it.
        Show_Alert(p_.Alerts, Save_Refused_Message(Trim(lab_number), rec.Status, where));
        return;
    }
    const bool known = Valid_Slot(Current_Slot);
    std::string question = Rerun_Question(known ? Slots[Current_Slot].Rack_Desc : "", r.Code_Text,
                                          known ? Slots[Current_Slot].History_Text : "");
    if (p_.Alerts.Ask_Yes_No(question, true, 13) == Answer_Yes)
        run.Rerun_Flag = true;
    else
        Bath_Remove_Sample(Run_Slot);
}

void Station::Show_Count(const Run& run, const Count_Report& r) {
    std::array<int32_t, 6> per_ml = Per_mL_Values(r);
    std::array<std::string, 7> shown;
    std::array<double, Histogram::Channels> bars{};
    for (size_t i = 0; i < per_ml.size(); ++i) {
        shown[i] = To_Text(static_cast<long long>(per_ml[i]));
        bars[i] = per_ml[i];
    }
    shown[6] = To_Text(r.Value_7);
    bars[6] = r.Value_7;
    History_Graph.Show_histogram(r.Code_Text, bars);
    p_.View.Histogram_Changed();
    Show_Results(run.Id(), r.Code_Text, shown);
}

void Station::Database_Failed(const std::exception& e) {
    Show_Alert(p_.Alerts, std::string(e.what()));
}

// ---- the result table, the rack header and the count-down -------------------------------------------

void Station::Show_Results(const std::string& run_id, const std::string& code_text,
                           const std::array<std::string, 7>& values) {
    Results.Show_Results(run_id, code_text, values);
    p_.View.Refresh();
}

void Station::Show_Rack_Header(bool show, const std::string& rack_desc, const std::string& rack_id) {
    Header.Rack_Name = "  " + rack_desc;
    Header.Rack_Id = rack_id;
    Header.Visible = show;
}

void Station::Show_Outstanding_Count() {
    try {
        db::Record_Set rs = p_.Current_Rack.Rack_Outstanding_Tests(false, std::string(Test_Code_PrtCount));
        if (!rs.Is_Open() || rs.Columns().empty() || rs.Eof()) return;
        Header.Outstanding = Trim(rs.Text_Or("COUNT", ""));
    } catch (const std::exception&) {
        // The count is a courtesy; the last one shown stands.
    }
}

void Station::Refresh_Countdown() {
    Header.Countdown = To_Text(static_cast<long long>(Config.SAMPLES_BETWEEN_CHECKS - Samples_Since_Check));
    p_.View.Refresh();
}

void Station::Rack_Name_Click() {
    p_.View.Open_Rack_View(Trim(Header.Rack_Name));
}

} // namespace pcs
