// The rack search: the outstanding racks of the station's test group under the priority filter in
// force, picked from the list, found through a lab number (pad, keyboard or barcode scanner), or picked
// by itself one second after opening for "PREV", "NEXT" and a "FIND" with an obvious answer. The Qt
// dialog draws this model and forwards touches and keys.
#pragma once

#include "common/clock.h"
#include "common/globals.h"
#include "common/ports.h"
#include "db/record_set.h"

#include <cstdint>
#include <string>
#include <vector>

namespace pcs {

class Rack;

// What the search asks of its dialog.
class Search_View {
public:
    virtual ~Search_View() = default;
    // Ends the modal show; the caller then reads the public fields and unloads the search.
    virtual void Hide_Search() = 0;
};

struct Search_Entry {
    std::string Text;    // the rack's name
    long long Item_Data; // its RACK_ID
    // Who holds it, when the list says (CURR_USER, CURR_STATION); "" for nobody or not said.
    std::string Holder_Emp_Num = {};
    std::string Holder_Station = {};
};

inline constexpr int Search_Width_Twips = 9435;
inline constexpr int Search_Height_Twips = 5625;
inline constexpr int Auto_Pick_Interval_Ms = 1000;
inline constexpr size_t Lab_Number_Length = 8;

// A lab number padded on the left with zeros to eight characters ("1234" gives "00001234").
std::string Pad_Lab_Number(const std::string& typed);

class Rack_Search {
public:
    Rack_Search(Globals& g, const Clock& clock, Rack& rack, Alert_Port& alerts, Search_View& view);

    // Set by the caller before the show.
    std::string sSearchRackName;
    std::string strAction; // "FIND", "PREV" or "NEXT"; "" counts as "FIND"
    bool bSearch = false;
    std::string Priority_Filter; // the rack view's filter: "" lists all outstanding racks
    bool Results_Saved = false;  // false: a result may wait in the rack view, the search picks a neighbour
    // Read by the caller after the show.
    std::string strRackDesc;
    int16_t intRackIndex = -1;
    std::string strWo;
    bool bSampleFound = false;
    int16_t Items = 0;
    int16_t ItemCurrent = 0;
    bool Racks_Found = false; // the last list of racks was not empty
    int16_t intPriorityWin_Top = 0;
    int16_t intPriorityWin_Left = 0;

    // What the dialog shows.
    std::vector<Search_Entry> lst_os;
    int ListIndex = -1; // the selected entry, -1 for none
    std::string txt_wo; // the lab number being typed
    bool Timer1_Enabled = false;
    bool Working_Size = false; // false: 0 x 0, picking by itself unseen
    bool Hidden = false;
    // The rack was picked by the one-second automatic pick, not by the technician.
    bool Picked_Itself = false;

    // The opening: decides between picking by itself (Timer1_Enabled) and waiting (Working_Size).
    void Form_Load();
    void Form_Unload();

    void Timer1_Timer();
    void lst_os_DblClick();
    void lbl_getRack_Click() { lst_os_DblClick(); }
    void lbl_Go_Click();
    void lbl_no_Click(int Index);
    void lbl_Clear_Click();
    void lbl_Refresh_Click();
    void lbl_exit_Click();

    // A key from a keyboard or a barcode scanner typing as one: digits go into the number as the pad's
    // keys do, Enter searches as Go does, Backspace takes the last key back. Anything else is kept
    // out of the number; the search then refuses the entry with a clear message. The first key after a
    // search starts a new number, so each scan (digits, then Enter) stands on its own.
    void Key_Press(char c);

private:
    bool Load_Rack_List(const std::string& test_code);
    std::string Neighbour_Rack();
    void Close_Rack_List();
    void Hide();
    void Type_Digit(char digit);
    void Start_New_Entry_After_Search();
    // The typed keys refused: something but digits, or more digits than a lab number has.
    bool Typed_Refused() const;

    Globals& g_;
    const Clock& clock_;
    Rack& rack_;
    Alert_Port& alerts_;
    Search_View& view_;
    db::Record_Set list_rs_;
    std::string kept_app_state_;
    int preset_index_ = -1; // the entry equal to sSearchRackName
    std::string typed_;     // every key since the last clear or search, as typed
    bool searched_ = false; // the number shown was searched: the next key starts a new one
};

} // namespace pcs
