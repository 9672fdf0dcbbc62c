// The rack the station works on: its outstanding tests loaded from the lab database, taking it for the
// station and giving it back, the rack lists of the screens, and the station's settings.
#pragma once

#include "common/clock.h"
#include "common/globals.h"
#include "common/ports.h"
#include "db/database.h"
#include "db/record_set.h"
#include "lab/rack_position.h"
#include "records/employee.h"
#include "settings/settings.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace pcs {

// Who takes a rack or gives it back: a technician's number and station, as the lab database records
// the holder.
struct Rack_Holder {
    int16_t Emp_Num = -1;
    std::string Station;
    friend bool operator==(const Rack_Holder&, const Rack_Holder&) = default;
};

class Rack {
public:
    // Stores the station's connection string (the one given, else the site's or the built-in one, as
    // the login screen does), loads the settings file and starts with no rack.
    Rack(db::Database& db, Globals& globals, Alert_Port& alerts, Employee& employee, const Clock& clock,
         const std::optional<std::string>& station_connect_string = std::nullopt);

    std::string Rack_id;     // RACK_ID; spliced unquoted, so checked to be a number before use
    std::string Rack_Desc;   // the rack's name
    std::string Rack_Status; // CURRENT_RACK_STATUS after a load, the server's MESSAGE after GET/PUT
    Time_Point Rack_Date{};
    std::string Curr_User; // employee number of whoever holds the rack, as text
    std::string Curr_Station;
    std::string Emp_Num; // carried for the screens
    std::string Lab_Code;
    std::string softWare_Name;
    std::optional<std::string> softWare_id;
    std::vector<std::shared_ptr<RackPositions>> Pos; // in slot order
    Settings_Collection Settings;

    // The position at a 1-based index, as the screens count them; std::out_of_range otherwise.
    RackPositions& Pos_Item(size_t index);

    void Initialize_pos();
    void Pos_Release();

    // Loads the rack named sId for the test group. Gaps become empty positions and the rack always
    // has at least 20. Rows are placed by POSITION even when the database answers them out of order.
    // A later row whose values cannot be read (a run number beyond 16 bits) becomes an empty slot.
    // Any other failure leaves the rack with no positions and no id, and the error is raised.
    void Rack_Load(const std::string& sId, const std::string& sTestGroup);

    // Appends one position from the current row of rRS, or an empty one when rRS is null.
    void Rack_Set(const db::Record_Set* rRS, int16_t vPosition);

    // "GET" takes the rack for the technician's station, "PUT" gives it back. Any other action does
    // nothing and answers false (in debug mode every action answers true without a call).
    bool Rack_Status_Update(const std::optional<std::string>& sAction);
    // The same for the rack rack_id and the holder named: a rack is given back by whoever took it,
    // whoever is logged in by then.
    bool Rack_Acquisition(const std::string& sAction, const std::string& rack_id, const Rack_Holder& holder);
    // The technician logged in now, as a holder.
    Rack_Holder Technician() const;

    bool isRackLoggedOut(bool bForceLogout) const;

    // List queries, handed back unread; a result set that was never opened means the query failed.
    db::Record_Set Get_Rack_Priority(const std::string& sLabCode, const std::string& sTestGroup);
    db::Record_Set Get_Samples(const std::string& sTestGroup, const std::string& sPriority);
    db::Record_Set Rack_Outstanding_Tests(bool isWeighed, const std::optional<std::string>& vTestGroup);

    // The name of the rack that holds the sample; the loaded rack's own name when the answer has none.
    std::string Sample_Found(const std::string& Lab_Number, const std::string& Test_Group);

    // The settings file.
    void Load_Software_settings();
    void Set_Global_Variables();
    // The database form of the settings.
    void Get_SoftwareId();
    db::Record_Set Software_GetSettings();
    void Load_Software_settings_OLD();

private:
    std::string Station_Key() const;
    std::shared_ptr<Result_Record> New_Result_Record() const;

    db::Database& db_;
    Globals& g_;
    Alert_Port& alerts_;
    Employee& employee_;
    const Clock& clock_;
};

// Reads a date-time as the lab database writes it ("2024-03-05 14:22:10.000", "2024-03-05T14:22",
// "2024-03-05") in local time; nullopt when it is not one.
std::optional<Time_Point> Parse_Db_Date_Time(std::string_view text);

} // namespace pcs
