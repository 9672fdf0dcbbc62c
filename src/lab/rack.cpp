#include "lab/rack.h"

#include "common/sql.h"
#include "common/text.h"
#include "db/connect_string.h"
#include "db/memory_cursor.h"
#include "db/statement_error.h"
#include "records/pqm_fdm.h"
#include "records/prt_count.h"
#include "records/screen.h"
#include "records/weights.h"

#include <algorithm>
#include <ctime>
#include <numeric>
#include <stdexcept>

namespace pcs {

namespace {

std::string Field_Text(const db::Record_Set& rs, std::string_view name, std::string_view fallback = "") {
    return db::Optional_Field(rs, name).value_or(std::string(fallback));
}

} // namespace

Rack::Rack(db::Database& db, Globals& globals, Alert_Port& alerts, Employee& employee, const Clock& clock,
           const std::optional<std::string>& station_connect_string)
    : db_(db), g_(globals), alerts_(alerts), employee_(employee), clock_(clock) {
    Lab_Code = Lab_Code_Default;
    g_.Connect_String = station_connect_string ? *station_connect_string : db::Station_Connect_String();
    Load_Software_settings();
    Initialize_pos();
}

RackPositions& Rack::Pos_Item(size_t index) {
    if (index < 1 || index > Pos.size())
        throw std::out_of_range("The rack has no position " + std::to_string(index) + ".");
    return *Pos[index - 1];
}

void Rack::Initialize_pos() {
    Rack_id.clear();
    Rack_Desc.clear();
    Pos_Release();
}

void Rack::Pos_Release() {
    Pos.clear();
}

std::string Rack::Station_Key() const {
    return UCase(Trim(employee_.Station));
}

std::shared_ptr<Result_Record> Rack::New_Result_Record() const {
    const std::string s = Station_Key();
    if (s == "PC" || s == "PARTICLE COUNT") return std::make_shared<PrtCount>(db_, g_, employee_);
    if (s == "SCREENING" || s == "SCREEN" || s == "SPAT" || s == "VISUAL")
        return std::make_shared<Screen>(db_);
    if (s == "SCALE" || s == "WEIGH") return std::make_shared<Weights>(db_, g_, alerts_);
    if (s == "PQM") return std::make_shared<PQM_FDM>();
    return nullptr;
}

void Rack::Rack_Load(const std::string& sId, const std::string& sTestGroup) {
    Pos_Release();
    std::string sql = "exec labrack.dbo.outstanding_rackTests "
                      "@rack_desc = '" +
                      SQL_Escape(sId) + "', " + "@test_group = '" + SQL_Escape(Trim(sTestGroup)) + "'";
    if (Station_Key() == "SCALE") sql += ", @weight_required = 1, @showWeighed = 0 ";

    db::Wait_Text waiting(db_, "Loading rack " + Trim(sId) + "…");
    db::Record_Set rs = db_.Open_Recordset(sql, true);
    Time_Point rack_date = clock_.Now();
    Rack_Status.clear();
    Curr_User.clear();
    Curr_Station.clear();
    Rack_id.clear();
    if (!rs.Is_Open()) throw db::Statement_Failed_Error("the rack " + Trim(sId), rs.Errors());

    db::Memory_Table table = db::Read_Rest(rs);
    rs.Close();

    // Each row's place, checked before anything is built so a bad answer leaves no half-loaded rack.
    auto pos_col = std::find_if(table.Columns.begin(), table.Columns.end(),
                                [](const std::string& c) { return Equals_No_Case(c, "POSITION"); });
    if (!table.Rows.empty() && pos_col == table.Columns.end())
        throw db::Lab_Data_Error("The lab database answered the rack " + Trim(sId) + " without positions.");
    size_t pc = static_cast<size_t>(pos_col - table.Columns.begin());
    std::vector<int16_t> places(table.Rows.size());
    for (size_t r = 0; r < table.Rows.size(); ++r) {
        const db::Field& f = table.Rows[r][pc];
        std::optional<int16_t> p = f ? Try_Int16(*f) : std::nullopt;
        if (!p || *p < 1)
            throw db::Lab_Data_Error("The lab database answered the position \"" + f.value_or("NULL") +
                                     "\" on the rack " + Trim(sId) + ", which is not a rack position.");
        places[r] = *p;
    }
    // Rows answered out of order still land on their own slots; a repeated position keeps its
    // place in the answer and takes the next slot.
    std::vector<size_t> order(table.Rows.size());
    std::iota(order.begin(), order.end(), size_t{0});
    std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) { return places[a] < places[b]; });
    db::Memory_Table sorted{table.Columns, {}};
    for (size_t r : order)
        sorted.Rows.push_back(std::move(table.Rows[r]));
    std::vector<int16_t> sorted_places;
    for (size_t r : order)
        sorted_places.push_back(places[r]);

    try {
        db::Record_Set rows = db::Record_Set_Of(std::move(sorted));
        std::string rack_id, status, user, station;
        if (!rows.Eof()) {
            rack_id = Field_Text(rows, "RACK_ID");
            if (auto v = db::Optional_Field(rows, "CURRENT_RACK_STATUS")) status = *v;
            if (auto v = db::Optional_Field(rows, "CURR_USER")) user = *v;
            if (auto v = db::Optional_Field(rows, "CURR_STATION")) station = *v;
        }
        int16_t i = 0;
        for (size_t r = 0; !rows.Eof(); ++r) {
            // The row belongs at index POSITION - 1; the slots before it that no row fills stay empty.
            const size_t p = static_cast<size_t>(sorted_places[r] - 1);
            while (Pos.size() < p)
                Rack_Set(nullptr, i++);
            if (r == 0) {
                Rack_Set(&rows, i);
            } else {
                // Past the first row the walk is error-tolerant: a row whose values cannot be read (a
                // run number beyond 16 bits) shows as an empty slot instead of costing the whole rack.
                try {
                    Rack_Set(&rows, i);
                } catch (const Conversion_Error&) {
                    Rack_Set(nullptr, i);
                }
            }
            ++i;
            if (auto received = db::Optional_Field(rows, "RECEIVED_DATETIME")) {
                auto t = Parse_Db_Date_Time(*received);
                if (t && rack_date > *t) rack_date = *t;
            }
            rows.Move_Next();
        }
        while (Pos.size() < 20)
            Rack_Set(nullptr, i++);
        Rack_id = rack_id;
        Rack_Status = status;
        Curr_User = user;
        Curr_Station = station;
        Rack_Date = rack_date;
    } catch (...) {
        Pos_Release();
        throw;
    }
}

void Rack::Rack_Set(const db::Record_Set* rRS, int16_t vPosition) {
    std::string target_weight, status, priority, work_order, lab_id = "0", lab_code, component;
    int16_t run_no = 0;
    bool picture = false;
    bool empty = true;
    if (rRS) {
        const db::Record_Set& rs = *rRS;
        // A NULL column keeps the empty slot's value.
        target_weight = Trim(Field_Text(rs, "DESIRED_WEIGHT"));
        status = Trim(Field_Text(rs, "STATUS"));
        priority = Trim(Field_Text(rs, "PRIORITY"));
        if (auto v = db::Optional_Field(rs, "RUN_NO")) run_no = To_Int16(*v);
        work_order = Field_Text(rs, "WORK_ORDER_NO");
        lab_id = Field_Text(rs, "LAB_ID", "0");
        lab_code = Field_Text(rs, "LAB_CODE");
        component = Trim(Field_Text(rs, "COMPONENT_CODE"));
        if (auto v = db::Optional_Field(rs, "DOPICTURE")) picture = Try_Double(*v) == 1.0;
        empty = false;
    }
    if (status == "PENDING") status = "DONE";

    auto p = std::make_shared<RackPositions>();
    p->Pos = vPosition;
    p->Status = status;
    p->Init_Status = status;
    p->Run_No = run_no;
    p->Priority = priority;
    p->Active = !status.empty();
    p->Sample_Desc = work_order;
    p->Lab_Id = lab_id;
    p->Component_Code = component;
    p->doPicture = picture;
    p->TargetWeight = target_weight;
    p->Rec = New_Result_Record();
    if (p->Rec) {
        p->Rec->Lab_Id = lab_id;
        p->Rec->Lab_Code = lab_code;
        p->Rec->Run_No = run_no;
        p->Rec->Priority = priority;
        p->Rec->Status = status;
        p->Rec->isEmpty = empty;
    }
    Pos.push_back(std::move(p));
}

bool Rack::Rack_Status_Update(const std::optional<std::string>& sAction) {
    if (!g_.Debug_Mode && (!sAction || (*sAction != "GET" && *sAction != "PUT"))) return false;
    return Rack_Acquisition(sAction.value_or(""), Rack_id, Technician());
}

Rack_Holder Rack::Technician() const {
    return {employee_.Emp_Num, Trim(employee_.Station)};
}

bool Rack::Rack_Acquisition(const std::string& sAction, const std::string& rack_id,
                            const Rack_Holder& holder) {
    if (g_.Debug_Mode) {
        Curr_User = To_Text(static_cast<long long>(holder.Emp_Num));
        Curr_Station = holder.Station;
        return true;
    }
    if (sAction != "GET" && sAction != "PUT") return false;

    const std::string emp = To_Text(static_cast<long long>(holder.Emp_Num));
    std::string sql =
        "exec labrack.dbo.rack_acquisition_upd @rack_id = " + SQL_Number(rack_id, "The rack id") + ", " +
        "@emp_num = " + emp + ", " + "@station = '" + SQL_Escape(Trim(holder.Station)) + "', " +
        "@action = '" + sAction + "'";
    db::Record_Set rs = db::Open_Checked(db_, sql, "the rack hand-out");
    if (rs.Eof()) return false;

    db::Field error = rs.Value("ERROR");
    db::Field user = db::Optional_Field(rs, "CURR_USER");
    db::Field station = db::Optional_Field(rs, "CURR_STATION");
    db::Field message = db::Optional_Field(rs, "MESSAGE");
    rs.Close();

    Curr_User.clear();
    Curr_Station.clear();
    Rack_Status.clear();
    // A NULL or unreadable ERROR is no permission.
    bool ok = error && Try_Double(*error) == 0.0;
    if (ok) {
        Curr_User = emp;
        Curr_Station = Trim(holder.Station);
    } else {
        if (user) Curr_User = *user;
        if (station) Curr_Station = Trim(*station);
    }
    if (message) Rack_Status = *message;
    return ok;
}

bool Rack::isRackLoggedOut(bool) const {
    return true;
}

db::Record_Set Rack::Get_Rack_Priority(const std::string& sLabCode, const std::string& sTestGroup) {
    std::string sql = "labrack.dbo.get_rack_priority "
                      "'" +
                      SQL_Escape(Trim(sLabCode)) + "' ";
    sql += sTestGroup.empty() ? ", null" : ", '" + SQL_Escape(sTestGroup) + "' ";
    sql += ", 0";
    sql += ", 0";
    if (Station_Key() == "SCALE") sql += ", 1, 0 ";
    sql += ", 0";
    return db_.Open_Recordset(sql, true);
}

db::Record_Set Rack::Get_Samples(const std::string& sTestGroup, const std::string& sPriority) {
    std::string sql = "labrack.dbo.outstanding_racks "
                      " @lab_code = '" +
                      SQL_Escape(Trim(employee_.Lab_Code)) + "' ";
    if (!sTestGroup.empty()) sql += ", @test_group = '" + SQL_Escape(sTestGroup) + "' ";
    sql += sPriority.empty() ? ", @priority = null" : ", @priority = '" + SQL_Escape(Trim(sPriority)) + "'";
    const std::string s = Station_Key();
    if (s == "SCALE")
        sql += ", @weight_required = 1, @isWeighed = 0 ";
    else if (s == "SPAT")
        sql += ", @spat = -1, @visual = null ";
    else if (s == "VISUAL")
        sql += ", @spat = null, @visual = -1 ";
    return db_.Open_Recordset(sql, true);
}

db::Record_Set Rack::Rack_Outstanding_Tests(bool isWeighed, const std::optional<std::string>& vTestGroup) {
    std::string group = vTestGroup ? Trim(*vTestGroup) : "";
    std::string sql = "select * from labrack.dbo.TBL_TestGroup_Count('" + SQL_Escape(Trim(Lab_Code)) + "', " +
                      (group.empty() ? std::string("null") : "'" + SQL_Escape(group) + "'") + ") ";
    if (isWeighed) sql += "where isWeighed = 1 ";
    return db_.Open_Recordset(sql, true);
}

std::string Rack::Sample_Found(const std::string& Lab_Number, const std::string& Test_Group) {
    std::string answer = Rack_Desc;
    std::string sql = "exec labrack.dbo.Get_RackSample  "
                      "@lab_number = '" +
                      SQL_Escape(Trim(Lab_Number)) + "', " + "@lab_code = '" + SQL_Escape(Trim(Lab_Code)) +
                      "', " + "@lab_id = null, " + "@test_group = '" + SQL_Escape(Trim(Test_Group)) + "', " +
                      "@weight_required = 0, " + "@showWeighed = 0, " + "@status = 'READY', " +
                      "@test = 'n' ";
    db::Record_Set rs = db_.Open_Recordset(sql, true);
    if (rs.Is_Open() && !rs.Columns().empty() && !rs.Eof()) {
        if (auto desc = db::Optional_Field(rs, "RACK_DESC")) answer = Trim(*desc);
    }
    return answer;
}

void Rack::Load_Software_settings() {
    pcs::Load_Software_settings(Settings, g_);
}

void Rack::Set_Global_Variables() {
    pcs::Set_Global_Variables(Settings, g_);
}

void Rack::Get_SoftwareId() {
    softWare_id.reset();
    if (softWare_Name.empty()) return;
    std::string sql = "SELECT * "
                      "FROM   labrack.dbo.Lab_Software (nolock) "
                      "WHERE  name = '" +
                      SQL_Escape(Trim(softWare_Name)) + "' ";
    db::Record_Set rs = db::Open_Checked(db_, sql, "the software lookup");
    if (!rs.Eof()) softWare_id = rs.Value("SOFTWARE_ID");
}

db::Record_Set Rack::Software_GetSettings() {
    Get_SoftwareId();
    // An unknown program has no id: nothing is sent.
    std::string id = SQL_Number(softWare_id.value_or(""), "The software id of \"" + softWare_Name + "\"");
    std::string sql = "SELECT * "
                      "FROM   labrack.dbo.Lab_Software_Settings (nolock) "
                      "WHERE  software_id = " +
                      id + " " + "AND    type = 'NORMAL' " + "ORDER " + "BY     software_id, " + "Setting";
    return db_.Open_Recordset(sql, true);
}

void Rack::Load_Software_settings_OLD() {
    Settings.Clear();
    if (softWare_Name.empty()) return;
    db::Record_Set rs = Software_GetSettings();
    if (!rs.Is_Open()) throw db::Statement_Failed_Error("the software settings", rs.Errors());
    for (; !rs.Eof(); rs.Move_Next()) {
        db::Field setting = rs.Value("Setting");
        if (!setting) continue;
        pcs::Settings s;
        s.Setting = Trim(*setting);
        s.Value = Trim(Field_Text(rs, "VALUE"));
        s.Description = Trim(Field_Text(rs, "DESCRIPTION"));
        s.Type_ = Trim(Field_Text(rs, "TYPE"));
        // A setting listed twice: the later row wins, as in the settings file.
        if (!Settings.Add(s.Setting, s) && Settings.Contains(s.Setting)) Settings.Item(s.Setting) = s;
    }
}

std::optional<Time_Point> Parse_Db_Date_Time(std::string_view text) {
    std::string t = Trim(text);
    int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
    auto digits = [&](size_t at, size_t n, int& out) {
        if (at + n > t.size()) return false;
        int v = 0;
        for (size_t k = at; k < at + n; ++k) {
            if (t[k] < '0' || t[k] > '9') return false;
            v = v * 10 + (t[k] - '0');
        }
        out = v;
        return true;
    };
    if (!digits(0, 4, y) || t.size() < 10 || t[4] != '-' || !digits(5, 2, mo) || t[7] != '-' ||
        !digits(8, 2, d))
        return std::nullopt;
    size_t at = 10;
    if (at < t.size()) {
        if ((t[at] != ' ' && t[at] != 'T') || !digits(at + 1, 2, h) || t.size() < at + 6 ||
            t[at + 3] != ':' || !digits(at + 4, 2, mi))
            return std::nullopt;
        at += 6;
        if (at < t.size()) {
            if (t[at] != ':' || !digits(at + 1, 2, s)) return std::nullopt;
            at += 3;
            // Fractions of a second do not matter for the rack's date.
            if (at < t.size() && t[at] == '.') {
                ++at;
                while (at < t.size() && t[at] >= '0' && t[at] <= '9')
                    ++at;
            }
            if (at != t.size()) return std::nullopt;
        }
    }
    if (mo < 1 || mo > 12 || d < 1 || d > 31 || h > 23 || mi > 59 || s > 60) return std::nullopt;
    std::tm tm{};
    tm.tm_year = y - 1900;
    tm.tm_mon = mo - 1;
    tm.tm_mday = d;
    tm.tm_hour = h;
    tm.tm_min = mi;
    tm.tm_sec = s;
    tm.tm_isdst = -1;
    std::time_t tt = std::mktime(&tm);
    if (tt == static_cast<std::time_t>(-1) && !(y == 1969 && mo == 12 && d == 31)) return std::nullopt;
    return std::chrono::system_clock::from_time_t(tt);
}

} // namespace pcs
