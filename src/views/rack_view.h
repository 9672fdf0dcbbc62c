// The rack view's rules: the rack the technician holds drawn as twenty cells, choosing a rack (search,
// previous / next, priority filters), handing a touched sample to the main form, saving and leaving.
// The Qt form draws this model, forwards touches and implements the ports.
#pragma once

#include "common/clock.h"
#include "common/globals.h"
#include "common/ports.h"
#include "lab/rack.h"
#include "views/rack_layout.h"
#include "views/rack_search.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>

namespace pcs {

class Employee;

// The main station form's operations the rack view calls. Every station form offers the set; what a
// station's form has nothing to do for stays as it is here (at the particle-count station most of it).
class Main_Form_Port {
public:
    virtual ~Main_Form_Port() = default;
    virtual void Init() {}
    virtual void User_Login() {}
    virtual bool Rack_Refresh(bool /*bIsStartUp*/) { return false; }
    virtual void Rack_OnClick() {}
    virtual void Nav_Start() {}
    virtual void Nav_End() {}
    virtual void Quick_Hide() {}
    // Shows the selected sample's results; true when the form holds them as saved (the rack view then
    // has nothing waiting to be saved).
    virtual bool Quick_Show(int /*Index*/) { return false; }
    // Puts the sample of rack cell Index into the work; true when it was taken up.
    virtual bool Process_Sample(int /*Index*/, const std::string& /*sampleId*/,
                                const std::string& /*sStatus*/) {
        return false;
    }
    virtual void Save_Results() {}
    virtual bool AllSaved() { return false; }
};

// The rack search dialog: loaded fresh, its fields set, shown modally, read, unloaded.
class Search_Port {
public:
    virtual ~Search_Port() = default;
    virtual Rack_Search& Load_Search() = 0;
    // Returns when the search has hidden itself.
    virtual void Show_Search_Modal() = 0;
    virtual void Unload_Search() = 0;
};

// The orderly end of the program: the login screen's exit, which takes the counter out of remote mode.
class App_Exit_Port {
public:
    virtual ~App_Exit_Port() = default;
    virtual void App_Exit() = 0;
};

enum class Color_Part { Back, Border };

// The rack name as its label shows it: longer than 15 characters (trimmed), the first 15 and "...".
std::string Rack_Desc_Caption(const std::string& rack_desc);

// The cell's text size: the cell width in pixels / 10, halves to even (95 px gives 10, 115 px gives 12).
int Cell_Font_Size(int rack_width_twips, int twips_per_pixel);

// The colours of a cell from its position's status, priority and run number. Names are compared
// exactly. done_unchanged: a cell is selected and the position at index + 1 still has the status it
// was loaded with (only a "DONE" border reads it).
Color Position_Color(Color_Part part, const std::string& status, const std::string& priority, int run_no,
                     bool done_unchanged, const Palette& palette);

// The priority filters, in the order of their saved places.
inline constexpr std::array<const char*, 4> Priority_Tags = {"RETEST", "RUSH", "URGENT", "CRITICAL"};
inline constexpr std::array<const char*, 3> Nav_Tags = {"PREV", "NEXT", "FIND"};

// The filter image of a priority name (trimmed, any case): 0 to 3 in Priority_Tags, -1 for none.
int Priority_Button(const std::string& name);

struct Status_Picture_Look {
    std::string Tag; // "ready" or "done"
    std::string Picture;
    bool Visible = false;
};

// One cell as the form draws it.
struct Cell_Look {
    std::string Caption; // lbl_sample: a line break, then the work order (the text on the second line)
    std::string Tag;     // the position's status; "" for an empty cell
    bool Sample_Visible = false;
    std::string Info;   // lbl_Info: the target weight
    std::string Result; // lbl_Result
    bool Opaque = false;
    Color Back, Border;
    Color Sample_Fore, Info_Fore, Result_Fore;
    int Font_Size = 12;
    Status_Picture_Look Screen, Water, Picture;
};

struct Priority_Look {
    bool Visible = false;
    int Slot = -1; // index into the layout's Priority_Button_Left
    std::string Picture;
};

class Rack_View {
public:
    Rack_View(Globals& g, const Clock& clock, Rack& rack, Employee& employee, Status_Port& status,
              Alert_Port& alerts, Main_Form_Port& main_form, Search_Port& search, App_Exit_Port& app);

    // Cell size in twips; the main form sets them before the view loads.
    int16_t rack_width = 0;
    int16_t rack_height = 0;

    // The selection, the view's own (cleared at its load and with each rack loaded).
    int Selected_Pos_Index = -1; // the selected cell, -1 for none
    std::string Selected_Sample; // its lab number, "" for none
    std::string Priority_Filter; // the priority whose racks are listed, "" for all outstanding racks
    bool Results_Saved = false;  // no edited result waits to be saved
    int Current_Rack_Index = 0;  // the loaded rack's index in the last search's list
    bool Racks_Found = false;    // the last rack query answered racks
    std::optional<Color> Active_Pos_Color; // the selected cell's back colour before it was highlighted
    std::string Current_Lab_Number;        // the lab number handed to the main form
    std::string Current_Sample_Type;       // what was handed ("SAMPLE")

    // What the form shows.
    std::array<Cell_Look, Rack_Cells> Cells;
    std::string lbl_rackDesc, lbl_rackDesc_ToolTip, lbl_RackDate, lbl_RackStatus;
    std::string lbl_ActiveWo;
    bool img_ptr_Visible = false;
    std::array<bool, 3> bttn_Nav_Visible{};
    bool img_Priority_Visible = false;
    std::array<Priority_Look, 4> Priority_Images;
    int Active_Priority_Button = -1; // -1: img_Priority, else the filter image's index
    std::string img_save_Picture = "bttn_save_idle.jpg";
    bool img_save_Visible = true;
    Rack_Metrics Metrics;
    Rack_Layout Layout;

    // Public operations.
    void Form_Load();
    void Form_Unload();
    void Reset_Interface();
    void Init_Rack_Position(int Index);
    void Resize_Rack(int iOffsetX, int iOffsetY);
    void Resize_Rack(std::string_view iOffsetX, std::string_view iOffsetY);
    void Save_bttn_toggle(bool isOn) { img_save_Visible = isOn; }
    void Refresh_Priority();
    bool Requires_saving();
    void Get_Racks(int Index, const std::string& sRackName);
    void bttn_Nav_Click(int Index);
    void Rack_Pos_Activate(int Index);
    void Rack_Pos_DeActivate(int Index);
    void lbl_status_update();
    void Select_Sample(const std::string& lab_number);

    // Touches.
    void lbl_sample_Click(int Index);
    void Priority_Click(int button);
    void img_Priority_Click();
    void img_save_Click();
    void lbl_Exit_Click();
    void img_Exit_Click();

    // A technician logged in at this station: a rack held for another one (the station was locked and
    // someone else logged in) is given back by whoever took it, then taken for the one logged in now.
    void Technician_Logged_In();

    // The rack id this station holds (a successful "GET" not yet given back); "" for none.
    const std::string& Held_Rack_Id() const { return held_rack_id_; }

private:
    void Show_Rack();
    Color Cell_Color(int Index, Color_Part part, const std::string& status, const std::string& priority,
                     int run_no) const;
    // Gives the held rack back as whoever took it; a refusal is told to the technician. False then.
    bool Release_Rack();
    // Takes the loaded rack for the technician logged in; false with why (the holder, since when and
    // how it is freed) when it is held elsewhere. A lab database that does not answer raises.
    bool Take_Rack(std::string& why);
    bool Load_Chosen_Rack(const std::string& rack_desc, std::string& why);
    void Retake_Loaded_Rack();
    // No rack on screen, and every way of choosing one still there.
    void Show_No_Rack();

    // The rack shown: its name, status and date as loaded, its navigation from its list place.
    void Show_Loaded_Rack(const Rack_Search& search, int list_index);

    Globals& g_;
    const Clock& clock_;
    Rack& rack_;
    Employee& employee_;
    Status_Port& status_;
    Alert_Port& alerts_;
    Main_Form_Port& main_;
    Search_Port& search_;
    App_Exit_Port& app_;
    std::string held_rack_id_;
    Rack_Holder held_by_;       // who took the held rack
    std::string loaded_status_; // the rack's own status as its load answered it
};

} // namespace pcs
