#include "procedures.h"

#include "passwords.h"

#include "common/text.h"

#include <algorithm>
#include <cmath>
#include <set>

namespace pcs::embedded {

using db::Field;

namespace {

Field F(const std::string& s) {
    return s;
}
Field F(long long v) {
    return std::to_string(v);
}
Field F(const std::optional<long long>& v) {
    return v ? Field(std::to_string(*v)) : Field();
}
const Field Null{};

Table One_Row(std::vector<std::string> columns, std::vector<Field> values) {
    Table t;
    t.Columns = std::move(columns);
    t.Rows.push_back(std::move(values));
    return t;
}

Table No_Rows(std::vector<std::string> columns) {
    Table t;
    t.Columns = std::move(columns);
    return t;
}

std::optional<long long> Int_Of(const Field& f) {
    if (!f || !Is_Numeric(*f)) return std::nullopt;
    return static_cast<long long>(std::llround(To_Double(*f)));
}

// The effective priority of a test: a NORMAL sample's repeat run is a RETEST.
const char* const Effective_Priority =
    "(CASE WHEN upper(s.PRIORITY) = 'NORMAL' AND t.RUN_NO > 1 THEN 'RETEST' ELSE upper(s.PRIORITY) END)";
const char* const Priority_Rank_Sql =
    "(CASE %P WHEN 'CRITICAL' THEN 4 WHEN 'URGENT' THEN 3 WHEN 'RUSH' THEN 2 "
    "WHEN 'RETEST' THEN 1 ELSE 0 END)";

std::string Rank_Of(const std::string& expr) {
    std::string s = Priority_Rank_Sql;
    s.replace(s.find("%P"), 2, expr);
    return s;
}

std::string Employee_Name(Sqlite_Db& db, long long emp_num) {
    Table t =
        db.Query("SELECT FIRSTNAME || ' ' || LASTNAME FROM hadel.employees WHERE EMP_NUM = ?1", {emp_num});
    if (!t.Rows.empty() && t.Rows[0][0]) return *t.Rows[0][0];
    return "employee " + std::to_string(emp_num);
}

// ---- lab.dbo.validate_password -------------------------------------------------------------------

Proc_Result Validate_Password(Sqlite_Db& db, const Proc_Args& a) {
    static const std::vector<std::string> cols = {"EMP_NUM",  "FIRSTNAME", "LASTNAME", "FULL_NAME",
                                                  "ISADMIN",  "Qor_Func",  "JOB_DESC", "STATION",
                                                  "LAB_CODE", "MESSAGE"};
    std::string password = RTrim(a.Get("userpassword").value_or(""));
    std::string lab_code = a.Required_Text("labcode");
    if (password.empty()) return Proc_Result::Of(No_Rows(cols));
    Table key = db.Query("SELECT KEY FROM main.db_keys WHERE PURPOSE = 'password_lookup'");
    if (key.Rows.empty() || !key.Rows[0][0])
        throw Proc_Error("The password lookup key of the lab database is missing.");
    std::string lookup = Lookup_Hash(*key.Rows[0][0], lab_code, password);
    Table found = db.Query("SELECT p.PWHASH, e.EMP_NUM, e.FIRSTNAME, e.LASTNAME, e.ISADMIN, e.FUNC_GROUP, "
                           "e.JOB_DESC, e.STATION, e.LAB_CODE, e.DISMISSED "
                           "FROM main.employee_passwords p JOIN hadel.employees e ON e.EMP_NUM = p.EMP_NUM "
                           "WHERE p.LAB_CODE = ?1 AND p.LOOKUP = ?2",
                           {lab_code, lookup});
    if (found.Rows.empty() || !found.Rows[0][0] || !Verify_Password(*found.Rows[0][0], password))
        return Proc_Result::Of(No_Rows(cols));
    const auto& r = found.Rows[0];
    if (UCase(r[9].value_or("N")) != "N")
        return Proc_Result::Of(One_Row(cols, {Null, Null, Null, Null, Null, Null, Null, Null, r[8],
                                              F("Employee " + r[1].value_or("") + " is no longer active.")}));
    std::string full = Trim(r[2].value_or("")) + " " + Trim(r[3].value_or(""));
    return Proc_Result::Of(
        One_Row(cols, {r[1], r[2], r[3], F(full), r[4], r[5], r[6], r[7], r[8], F("Password accepted.")}));
}

// ---- labrack.dbo.outstanding_rackTests -----------------------------------------------------------

// One row per occupied position of the rack, in position order; STATUS is the test group's latest run
// on that sample ("" when the sample has no test of the group, so the station leaves it inactive).
const char* const Rack_Tests_Sql =
    "SELECT r.RACK_ID, r.RACK_DESC, "
    "CASE WHEN r.CURR_USER IS NULL THEN 'AVAILABLE' ELSE 'IN USE' END AS CURRENT_RACK_STATUS, "
    "r.CURR_USER, r.CURR_STATION, p.POSITION, s.LAB_ID, s.LAB_CODE, s.LAB_NUMBER AS WORK_ORDER_NO, "
    "s.COMPONENT_CODE, ifnull(t.STATUS, '') AS STATUS, s.PRIORITY, ifnull(t.RUN_NO, 0) AS RUN_NO, "
    "s.RECEIVED_DATETIME, s.DESIRED_WEIGHT, s.DOPICTURE, s.SAMPLE_TYPE, t.TEST_GROUP, t.WEIGHT "
    "FROM labrack.racks r "
    "JOIN labrack.rack_positions p ON p.RACK_ID = r.RACK_ID "
    "JOIN main.samples s ON s.LAB_ID = p.LAB_ID "
    "LEFT JOIN main.lab_tracking t ON t.TRACK_ID = (SELECT t2.TRACK_ID FROM main.lab_tracking t2 "
    "WHERE t2.LAB_ID = s.LAB_ID AND t2.TEST_GROUP = ?2 ORDER BY t2.RUN_NO DESC LIMIT 1) "
    "WHERE r.RACK_DESC = ?1 "
    "AND (?3 = 0 OR (t.TRACK_ID IS NOT NULL AND (?4 = 1 OR isnumeric(t.WEIGHT) = 0))) "
    "ORDER BY p.POSITION";

Proc_Result Outstanding_Rack_Tests(Sqlite_Db& db, const Proc_Args& a) {
    std::string rack = a.Required_Text("rack_desc");
    std::string group = a.Text("test_group", "PrtCount");
    long long weight_required = a.Int("weight_required").value_or(0);
    long long show_weighed = a.Int("showweighed").value_or(1);
    return Proc_Result::Of(
        db.Query(Rack_Tests_Sql, {rack, group, weight_required ? 1LL : 0LL, show_weighed ? 1LL : 0LL}));
}

// ---- labrack.dbo.rack_acquisition_upd ------------------------------------------------------------

Proc_Result Rack_Acquisition(Sqlite_Db& db, const Proc_Args& a) {
    static const std::vector<std::string> cols = {"ERROR",     "MESSAGE",   "RACK_ID",
                                                  "RACK_DESC", "CURR_USER", "CURR_STATION"};
    long long rack_id = a.Required_Int("rack_id");
    long long emp = a.Required_Int("emp_num");
    std::string station = a.Required_Text("station");
    std::string action = UCase(a.Required_Text("action"));
    if (action != "GET" && action != "PUT")
        throw Proc_Error("Unknown rack action '" + action + "': use GET or PUT.");

    Table t = db.Query(
        "SELECT RACK_DESC, CURR_USER, CURR_STATION, DATE_ACQUIRED FROM labrack.racks WHERE RACK_ID = ?1",
        {rack_id});
    if (t.Rows.empty())
        return Proc_Result::Of(
            One_Row(cols, {F(2LL), F("Rack " + std::to_string(rack_id) + " does not exist."), F(rack_id),
                           Null, Null, Null}));
    const auto& r = t.Rows[0];
    std::string desc = r[0].value_or("");
    std::optional<long long> holder = Int_Of(r[1]);
    std::string holder_station = Trim(r[2].value_or(""));
    bool mine = holder && *holder == emp && Equals_No_Case(holder_station, station);

    if (holder && !mine) {
        std::string verb = action == "GET" ? "cannot be taken" : "cannot be given back";
        return Proc_Result::Of(
            One_Row(cols, {F(1LL),
                           F("Rack " + desc + " " + verb + ": it is in use by " + Employee_Name(db, *holder) +
                             " at " + holder_station + " since " + r[3].value_or("?") + "."),
                           F(rack_id), F(desc), r[1], r[2]}));
    }
    if (action == "GET") {
        db.Exec("UPDATE labrack.racks SET CURR_USER = ?2, CURR_STATION = ?3, DATE_ACQUIRED = ?4 WHERE "
                "RACK_ID = ?1",
                {rack_id, emp, station, Now_Text()});
        return Proc_Result::Of(One_Row(cols, {F(0LL), F("IN USE BY " + UCase(Employee_Name(db, emp))),
                                              F(rack_id), F(desc), F(emp), F(station)}));
    }
    db.Exec("UPDATE labrack.racks SET CURR_USER = NULL, CURR_STATION = NULL, DATE_ACQUIRED = NULL WHERE "
            "RACK_ID = ?1",
            {rack_id});
    return Proc_Result::Of(One_Row(cols, {F(0LL), F("AVAILABLE"), F(rack_id), F(desc), Null, Null}));
}

// ---- labrack.dbo.outstanding_racks ---------------------------------------------------------------

Proc_Result Outstanding_Racks(Sqlite_Db& db, const Proc_Args& a) {
    std::string lab = a.Required_Text("lab_code");
    std::optional<std::string> group = a.Get("test_group");
    if (group && Trim(*group).empty()) group.reset();
    std::optional<std::string> priority = a.Get("priority");
    if (priority && Trim(*priority).empty()) priority.reset();
    long long weight_required = a.Int("weight_required").value_or(0);
    std::optional<long long> is_weighed = a.Int("isweighed");

    std::string eff = Effective_Priority;
    std::string sql = "SELECT r.RACK_DESC, r.RACK_ID, count(*) AS OUTSTANDING, min(s.RECEIVED_DATETIME) AS "
                      "OLDEST_RECEIVED, "
                      "CASE max(" +
                      Rank_Of(eff) +
                      ") WHEN 4 THEN 'CRITICAL' WHEN 3 THEN 'URGENT' WHEN 2 THEN 'RUSH' "
                      "WHEN 1 THEN 'RETEST' ELSE 'NORMAL' END AS PRIORITY, r.CURR_USER, r.CURR_STATION "
                      "FROM labrack.racks r "
                      "JOIN labrack.rack_positions p ON p.RACK_ID = r.RACK_ID "
                      "JOIN main.samples s ON s.LAB_ID = p.LAB_ID "
                      "JOIN main.lab_tracking t ON t.LAB_ID = s.LAB_ID AND t.STATUS = 'READY' "
                      "JOIN main.test_groups g ON g.TEST_GROUP = t.TEST_GROUP "
                      "WHERE r.LAB_CODE = ?1 AND (?2 IS NULL OR t.TEST_GROUP = ?2) "
                      "AND (?4 = 0 OR g.IS_WEIGHED = 1) "
                      "AND (?5 IS NULL OR ?4 = 0 OR isnumeric(t.WEIGHT) = ?5) "
                      "GROUP BY r.RACK_ID "
                      "HAVING ?3 IS NULL OR sum(" +
                      eff +
                      " = upper(?3)) > 0 "
                      "ORDER BY max(" +
                      Rank_Of(eff) + ") DESC, OLDEST_RECEIVED, r.RACK_DESC";
    return Proc_Result::Of(
        db.Query(sql, {lab, Param_Of(group), Param_Of(priority), weight_required ? 1LL : 0LL,
                       is_weighed ? Param(*is_weighed ? 1LL : 0LL) : Param()}));
}

// ---- labrack.dbo.get_rack_priority ---------------------------------------------------------------

// The priority filters in use among the outstanding tests on racks: RETEST, RUSH, URGENT, CRITICAL.
// NORMAL is the unfiltered list and has no filter of its own.
Proc_Result Get_Rack_Priority(Sqlite_Db& db, const Proc_Args& a) {
    std::string lab = a.Required_Text("lab_code");
    std::optional<std::string> group = a.Get("test_group");
    if (group && Trim(*group).empty()) group.reset();
    long long weight_required = a.Int("weight_required").value_or(0);
    std::string eff = Effective_Priority;
    std::string sql =
        "SELECT PRIORITY, count(*) AS TESTS FROM (SELECT " + eff +
        " AS PRIORITY "
        "FROM labrack.rack_positions p "
        "JOIN labrack.racks r ON r.RACK_ID = p.RACK_ID "
        "JOIN main.samples s ON s.LAB_ID = p.LAB_ID "
        "JOIN main.lab_tracking t ON t.LAB_ID = s.LAB_ID AND t.STATUS = 'READY' "
        "JOIN main.test_groups g ON g.TEST_GROUP = t.TEST_GROUP "
        "WHERE r.LAB_CODE = ?1 AND (?2 IS NULL OR t.TEST_GROUP = ?2) AND (?3 = 0 OR g.IS_WEIGHED = 1)) "
        "WHERE PRIORITY <> 'NORMAL' GROUP BY PRIORITY ORDER BY " +
        Rank_Of("PRIORITY") + " DESC";
    return Proc_Result::Of(db.Query(sql, {lab, Param_Of(group), weight_required ? 1LL : 0LL}));
}

// ---- labrack.dbo.Get_RackSample ------------------------------------------------------------------

Proc_Result Get_Rack_Sample(Sqlite_Db& db, const Proc_Args& a) {
    std::optional<std::string> number = a.Get("lab_number");
    if (number) number = Trim(*number);
    std::optional<long long> lab_id = a.Int("lab_id");
    if ((!number || number->empty()) && !lab_id) throw Proc_Error("Give @lab_number or @lab_id.", 201);
    std::optional<std::string> lab = a.Get("lab_code");
    std::optional<std::string> group = a.Get("test_group");
    if (group && Trim(*group).empty()) group.reset();
    std::optional<std::string> status = a.Get("status");
    if (status && Trim(*status).empty()) status.reset();
    std::string sql =
        "SELECT r.RACK_DESC, r.RACK_ID, p.POSITION, s.LAB_ID, s.LAB_NUMBER, s.LAB_CODE "
        "FROM main.samples s "
        "JOIN labrack.rack_positions p ON p.LAB_ID = s.LAB_ID "
        "JOIN labrack.racks r ON r.RACK_ID = p.RACK_ID "
        "WHERE (s.LAB_NUMBER = ?1 OR s.LAB_ID = ?2) AND (?3 IS NULL OR s.LAB_CODE = ?3) "
        "AND (?4 IS NULL OR EXISTS (SELECT 1 FROM main.lab_tracking t WHERE t.LAB_ID = s.LAB_ID "
        "AND t.TEST_GROUP = ?4 AND (?5 IS NULL OR t.STATUS = ?5))) "
        "ORDER BY r.RACK_ID DESC LIMIT 1";
    return Proc_Result::Of(db.Query(sql, {Param_Of(number), lab_id ? Param(*lab_id) : Param(), Param_Of(lab),
                                          Param_Of(group), Param_Of(status)}));
}

// ---- the stored bath: get_batch_samples, set_PC_Bath, Get_PC_Bath_OldestRack ----------------------

std::optional<long long> Open_Batch(Sqlite_Db& db, const std::string& instrument, const std::string& lab,
                                    const std::string& group) {
    Table t =
        db.Query("SELECT BATCH_ID FROM labrack.instrument_batches WHERE INSTRUMENT_ID = ?1 AND LAB_CODE = ?2 "
                 "AND TEST_GROUP = ?3 AND DATE_COMPLETED IS NULL ORDER BY BATCH_ID DESC LIMIT 1",
                 {instrument, lab, group});
    if (t.Rows.empty()) return std::nullopt;
    return Int_Of(t.Rows[0][0]);
}

const char* const Batch_Rows_Sql =
    "SELECT 0 AS ERROR, d.DETAIL_ID, d.BATCH_ID, d.POSITION, d.SAMPLE_ID, d.SAMPLE_TYPE, d.RUN_NO, "
    "(SELECT t.STATUS FROM main.samples s JOIN main.lab_tracking t ON t.LAB_ID = s.LAB_ID "
    " WHERE s.LAB_NUMBER = d.SAMPLE_ID AND s.LAB_CODE = b.LAB_CODE AND t.TEST_GROUP = b.TEST_GROUP "
    " ORDER BY t.RUN_NO DESC LIMIT 1) AS STATUS, "
    "d.WEIGHT, d.EXTRA, d.PRIORITY, d.EMP_NUM, d.DATE_ADDED, b.INSTRUMENT_ID "
    "FROM labrack.batch_details d JOIN labrack.instrument_batches b ON b.BATCH_ID = d.BATCH_ID "
    "WHERE d.BATCH_ID = ?1 ORDER BY d.POSITION";

Proc_Result Get_Batch_Samples(Sqlite_Db& db, const Proc_Args& a) {
    std::optional<long long> batch = a.Int("batch_id");
    // A station without an instrument id has no stored bath: no rows, as for an empty bath.
    std::string instrument = a.Text("instrument_id");
    if (!batch && !instrument.empty())
        batch = Open_Batch(db, instrument, a.Required_Text("lab_code"), a.Text("test_group", "PrtCount"));
    return Proc_Result::Of(db.Query(Batch_Rows_Sql, {batch ? Param(*batch) : Param()}));
}

Proc_Result Set_PC_Bath(Sqlite_Db& db, const Proc_Args& a) {
    static const std::vector<std::string> cols = {"ERROR", "MESSAGE", "DETAIL_ID", "BATCH_ID", "POSITION"};
    auto answer = [&](long long error, const std::string& message, Field detail = {}, Field batch = {},
                      Field pos = {}) {
        return Proc_Result::Of(One_Row(cols, {F(error), F(message), detail, batch, pos}));
    };
    std::string sample = a.Required_Text("sampleid");
    std::string action = UCase(a.Required_Text("action"));
    std::optional<long long> position = a.Int("position");
    std::optional<long long> emp = a.Int("empnum");
    if (action != "ADD" && action != "DELETE")
        throw Proc_Error("Unknown bath action '" + action + "': use ADD or DELETE.");
    if (!position || *position < 1 || *position > 30) return answer(1, "The bath position must be 1 to 30.");

    if (action == "DELETE") {
        std::optional<std::string> instrument = a.Get("instrumentid");
        int n = db.Exec(
            "DELETE FROM labrack.batch_details WHERE SAMPLE_ID = ?1 AND POSITION = ?2 AND BATCH_ID IN "
            "(SELECT BATCH_ID FROM labrack.instrument_batches WHERE DATE_COMPLETED IS NULL "
            "AND (?3 IS NULL OR INSTRUMENT_ID = ?3))",
            {sample, *position, Param_Of(instrument)});
        if (n == 0)
            return answer(0, "Sample " + sample + " was not in the bath at position " +
                                 std::to_string(*position) + ".");
        return answer(0,
                      "Sample " + sample + " taken out of bath position " + std::to_string(*position) + ".",
                      Null, Null, F(*position));
    }

    std::string instrument = a.Text("instrumentid");
    if (instrument.empty())
        return answer(1, "The instrument is missing: the station's INSTRUMENT_ID setting is empty.");
    std::string eff = Effective_Priority;
    Table s =
        db.Query("SELECT s.LAB_CODE, " + eff +
                     ", t.RUN_NO, s.SAMPLE_TYPE FROM main.samples s "
                     "LEFT JOIN main.lab_tracking t ON t.TRACK_ID = (SELECT TRACK_ID FROM main.lab_tracking "
                     "WHERE LAB_ID = s.LAB_ID AND TEST_GROUP = 'PrtCount' ORDER BY RUN_NO DESC LIMIT 1) "
                     "WHERE s.LAB_NUMBER = ?1 ORDER BY s.LAB_ID DESC LIMIT 1",
                 {sample});
    if (s.Rows.empty()) return answer(1, "Sample " + sample + " is not known to the lab.");
    std::string lab = s.Rows[0][0].value_or("");
    std::optional<long long> batch = Open_Batch(db, instrument, lab, "PrtCount");
    if (!batch) {
        db.Exec("INSERT INTO labrack.instrument_batches (INSTRUMENT_ID, LAB_CODE, TEST_GROUP, DATE_CREATED) "
                "VALUES (?1, ?2, 'PrtCount', ?3)",
                {instrument, lab, Now_Text()});
        batch = db.Last_Insert_Id();
    }
    Table at = db.Query(
        "SELECT SAMPLE_ID, DETAIL_ID FROM labrack.batch_details WHERE BATCH_ID = ?1 AND POSITION = ?2",
        {*batch, *position});
    if (!at.Rows.empty()) {
        std::string holder = at.Rows[0][0].value_or("");
        if (Equals_No_Case(holder, sample))
            return answer(
                0, "Sample " + sample + " is already at bath position " + std::to_string(*position) + ".",
                at.Rows[0][1], F(*batch), F(*position));
        return answer(1,
                      "Bath position " + std::to_string(*position) + " already holds sample " + holder + ".");
    }
    Table elsewhere =
        db.Query("SELECT POSITION FROM labrack.batch_details WHERE BATCH_ID = ?1 AND SAMPLE_ID = ?2",
                 {*batch, sample});
    if (!elsewhere.Rows.empty())
        return answer(1, "Sample " + sample + " is already in the bath at position " +
                             elsewhere.Rows[0][0].value_or("?") + ".");
    db.Exec("INSERT INTO labrack.batch_details (BATCH_ID, POSITION, SAMPLE_ID, SAMPLE_TYPE, RUN_NO, EXTRA, "
            "PRIORITY, "
            "EMP_NUM, DATE_ADDED) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9)",
            {*batch, *position, sample, s.Rows[0][3].value_or("SAMPLE"), Param_Of(s.Rows[0][2]),
             Param_Of(a.Get("extra")), Param_Of(s.Rows[0][1]), emp ? Param(*emp) : Param(), Now_Text()});
    long long detail = db.Last_Insert_Id();
    return answer(0, "Sample " + sample + " added at bath position " + std::to_string(*position) + ".",
                  F(detail), F(*batch), F(*position));
}

Proc_Result Get_PC_Bath_Oldest_Rack(Sqlite_Db& db, const Proc_Args& a) {
    std::string lab = a.Required_Text("labcode");
    return Proc_Result::Of(db.Query(
        "SELECT r.RACK_DESC, r.RACK_ID, min(s.RECEIVED_DATETIME) AS OLDEST_RECEIVED, count(*) AS SAMPLES "
        "FROM labrack.batch_details d "
        "JOIN labrack.instrument_batches b ON b.BATCH_ID = d.BATCH_ID AND b.DATE_COMPLETED IS NULL "
        "JOIN main.samples s ON s.LAB_NUMBER = d.SAMPLE_ID AND s.LAB_CODE = b.LAB_CODE "
        "JOIN labrack.rack_positions p ON p.LAB_ID = s.LAB_ID "
        "JOIN labrack.racks r ON r.RACK_ID = p.RACK_ID "
        "WHERE b.LAB_CODE = ?1 GROUP BY r.RACK_ID ORDER BY OLDEST_RECEIVED, r.RACK_DESC LIMIT 1",
        {lab}));
}

// ---- labrack.dbo.get_pc_history ------------------------------------------------------------------

// The last particle count before this one: an earlier run of the same sample, or the latest earlier
// sample of the same component (samples received together are in lab-id order, so two of them are
// never each other's history). NOT_ENTERED when that test never got a result.
Proc_Result Get_PC_History(Sqlite_Db& db, const Proc_Args& a) {
    static const std::vector<std::string> cols = {"STATUS", "ISO",        "ISO_2",  "ISO_5",
                                                  "ISO_15", "LAB_NUMBER", "RUN_NO", "DATE_ENTERED"};
    std::string lab = a.Required_Text("lab_code");
    std::string number = a.Required_Text("lab_number");
    Table s = db.Query("SELECT LAB_ID, COMPONENT_CODE, RECEIVED_DATETIME FROM main.samples "
                       "WHERE LAB_CODE = ?1 AND LAB_NUMBER = ?2",
                       {lab, number});
    if (s.Rows.empty()) return Proc_Result::Of(No_Rows(cols));
    Table h = db.Query(
        "SELECT CASE WHEN r.LAB_ID IS NULL THEN 'NOT_ENTERED' ELSE 'ENTERED' END AS STATUS, r.ISO_CODE AS "
        "ISO, "
        "r.ISO_2, r.ISO_5, r.ISO_15, s.LAB_NUMBER, t.RUN_NO, r.DATE_ENTERED "
        "FROM main.lab_tracking t JOIN main.samples s ON s.LAB_ID = t.LAB_ID "
        "LEFT JOIN main.testgroup_pc r ON r.LAB_ID = t.LAB_ID AND r.RUN_NO = t.RUN_NO "
        "WHERE t.TEST_GROUP = 'PrtCount' AND ("
        " (t.LAB_ID = ?1 AND r.LAB_ID IS NOT NULL) OR "
        " (ifnull(?2, '') <> '' AND s.COMPONENT_CODE = ?2 AND (s.RECEIVED_DATETIME < ?3 OR "
        "(s.RECEIVED_DATETIME = ?3 AND s.LAB_ID < ?1)))) "
        "ORDER BY coalesce(r.DATE_ENTERED, t.DATE_COMPLETED, s.RECEIVED_DATETIME) DESC, t.TRACK_ID DESC "
        "LIMIT 1",
        {Param_Of(s.Rows[0][0]), Param_Of(s.Rows[0][1]), Param_Of(s.Rows[0][2])});
    h.Columns = cols;
    return Proc_Result::Of(std::move(h));
}

// ---- Lab.dbo.import_PC002 ------------------------------------------------------------------------

struct Sample_Test {
    long long Lab_Id = 0;
    std::string Lab_Code, Priority;
    std::optional<long long> Track_Id, Run_No;
    std::string Status; // of the latest run of the group, "" when none
};

std::optional<Sample_Test> Find_Sample_Test(Sqlite_Db& db, const std::optional<std::string>& lab_number,
                                            std::optional<long long> lab_id,
                                            const std::optional<std::string>& lab_code,
                                            const std::string& group) {
    Table t = db.Query(
        "SELECT s.LAB_ID, s.LAB_CODE, s.PRIORITY, t.TRACK_ID, t.RUN_NO, t.STATUS "
        "FROM main.samples s LEFT JOIN main.lab_tracking t ON t.TRACK_ID = (SELECT TRACK_ID FROM "
        "main.lab_tracking WHERE LAB_ID = s.LAB_ID AND TEST_GROUP = ?4 ORDER BY RUN_NO DESC LIMIT 1) "
        "WHERE (s.LAB_NUMBER = ?1 OR s.LAB_ID = ?2) AND (?3 IS NULL OR s.LAB_CODE = ?3) "
        "ORDER BY s.LAB_ID DESC LIMIT 1",
        {Param_Of(lab_number), lab_id ? Param(*lab_id) : Param(), Param_Of(lab_code), group});
    if (t.Rows.empty()) return std::nullopt;
    const auto& r = t.Rows[0];
    Sample_Test st;
    st.Lab_Id = Int_Of(r[0]).value_or(0);
    st.Lab_Code = r[1].value_or("");
    st.Priority = r[2].value_or("");
    st.Track_Id = Int_Of(r[3]);
    st.Run_No = Int_Of(r[4]);
    st.Status = UCase(r[5].value_or(""));
    return st;
}

// Results this severe wait for a supervisor's review before they are released.
constexpr int Review_Range_Number = 23;

Proc_Result Import_PC002(Sqlite_Db& db, const Proc_Args& a) {
    static const std::vector<std::string> cols = {"STATUS", "LAB_ID",   "LAB_CODE",
                                                  "RUN_NO", "ISO_CODE", "MESSAGE"};
    std::string number = a.Required_Text("labnumber");
    std::string lab = a.Required_Text("labcode");
    auto failed = [&](const std::string& status, const std::string& message, Field lab_id = {},
                      Field run = {}) {
        return Proc_Result::Of(One_Row(cols, {F(status), lab_id, F(lab), run, Null, F(message)}));
    };
    std::optional<Sample_Test> st = Find_Sample_Test(db, number, std::nullopt, lab, "PrtCount");
    if (!st) return failed("NOT_FOUND", "Sample " + number + " is not known to lab " + lab + ".");
    if (!st->Track_Id || st->Status != "READY")
        return failed(
            "NOT_READY",
            "Sample " + number + " has no outstanding particle count" +
                (st->Run_No ? " (run " + std::to_string(*st->Run_No) + " is " + st->Status + ")" : "") + ".",
            F(st->Lab_Id), F(st->Run_No));

    std::optional<double> volume = a.Number("samplevolume");
    double factor = a.Number("factorvolume").value_or(1.0);
    if (!volume || *volume <= 0 || factor <= 0)
        return failed("ERROR", "The sample volume must be a number above 0.", F(st->Lab_Id), F(st->Run_No));
    static const char* const channels[] = {"pc2m", "pc5m", "pc15m", "pc25m", "pc50m", "pc100m", "pc200m"};
    std::vector<Param> counts, per_ml;
    double ml[7] = {};
    for (int i = 0; i < 7; ++i) {
        std::optional<double> c = a.Number(channels[i]);
        if (c && *c < 0)
            return failed("ERROR", std::string("The count @") + channels[i] + " is negative.", F(st->Lab_Id),
                          F(st->Run_No));
        counts.push_back(c ? Param(*c) : Param());
        ml[i] = c ? *c * factor / *volume : 0.0;
        per_ml.push_back(c ? Param(ml[i]) : Param());
    }
    if (!a.Number("pc2m") || !a.Number("pc5m") || !a.Number("pc15m"))
        return failed("ERROR", "The counts of 2, 5 and 15 um are required.", F(st->Lab_Id), F(st->Run_No));
    int iso2 = Iso_Range_Number(ml[0]), iso5 = Iso_Range_Number(ml[1]), iso15 = Iso_Range_Number(ml[2]);
    std::string code = std::to_string(iso2) + "/" + std::to_string(iso5) + "/" + std::to_string(iso15);
    std::optional<long long> emp = a.Int("empnum");
    std::string now = Now_Text();

    std::vector<Param> row = {
        st->Lab_Id, *st->Run_No, a.Text("instrumentid"), a.Text("filename"), a.Text("method"),
        *volume,    factor};
    row.insert(row.end(), counts.begin(), counts.end());
    row.insert(row.end(), per_ml.begin(), per_ml.end());
    for (Param p : {Param(code), Param((long long)iso2), Param((long long)iso5), Param((long long)iso15),
                    emp ? Param(*emp) : Param(), Param(now)})
        row.push_back(p);
    db.Query(
        "INSERT OR REPLACE INTO main.testgroup_pc (LAB_ID, RUN_NO, INSTRUMENT_ID, FILENAME, METHOD, "
        "SAMPLE_VOLUME, FACTOR_VOLUME, PC2, PC5, PC15, PC25, PC50, PC100, PC200, PC2_ML, PC5_ML, PC15_ML, "
        "PC25_ML, PC50_ML, PC100_ML, PC200_ML, ISO_CODE, ISO_2, ISO_5, ISO_15, EMP_NUM, DATE_ENTERED) VALUES "
        "(?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11, ?12, ?13, ?14, ?15, ?16, ?17, ?18, ?19, ?20, ?21, "
        "?22, "
        "?23, ?24, ?25, ?26, ?27)",
        row);
    std::string status = iso2 >= Review_Range_Number ? "PENDING" : "DONE";
    db.Exec("UPDATE main.lab_tracking SET STATUS = ?2, EMP_NUM = ?3, DATE_COMPLETED = ?4 WHERE TRACK_ID = ?1",
            {*st->Track_Id, status, emp ? Param(*emp) : Param(), now});
    std::string message = status == "DONE" ? "Result " + code + " saved."
                                           : "Result " + code + " saved; it waits for review before release.";
    return Proc_Result::Of(
        One_Row(cols, {F(status), F(st->Lab_Id), F(st->Lab_Code), F(st->Run_No), F(code), F(message)}));
}

// ---- Lab.dbo.labtrack_inserttest -----------------------------------------------------------------

Proc_Result Labtrack_Insert_Test(Sqlite_Db& db, const Proc_Args& a) {
    static const std::vector<std::string> cols = {"STATUS",     "LAB_ID", "LAB_NUMBER",
                                                  "TEST_GROUP", "RUN_NO", "MESSAGE"};
    std::string number = a.Required_Text("labnumber");
    std::string lab = a.Required_Text("labcode");
    std::string group = a.Required_Text("testgrp");
    bool answer = UCase(a.Text("return_status", "Y")) != "N";
    auto reply = [&](const std::string& status, Field lab_id, Field run, const std::string& message) {
        return answer
                   ? Proc_Result::Of(One_Row(cols, {F(status), lab_id, F(number), F(group), run, F(message)}))
                   : Proc_Result::None();
    };
    if (db.Query("SELECT 1 FROM main.test_groups WHERE TEST_GROUP = ?1", {group}).Rows.empty())
        return reply("ERROR", Null, Null, "Unknown test group " + group + ".");
    std::optional<Sample_Test> st = Find_Sample_Test(db, number, std::nullopt, lab, group);
    if (!st) return reply("NOT_FOUND", Null, Null, "Sample " + number + " is not known to lab " + lab + ".");
    if (st->Track_Id && st->Status == "READY")
        return reply("READY", F(st->Lab_Id), F(st->Run_No),
                     "Run " + std::to_string(*st->Run_No) + " of " + group + " is already outstanding.");
    long long run = st->Run_No.value_or(0) + 1;
    db.Exec("INSERT INTO main.lab_tracking (LAB_ID, LAB_CODE, TEST_GROUP, RUN_NO, STATUS, CLASS, COMMENTS, "
            "DATE_ADDED) "
            "VALUES (?1, ?2, ?3, ?4, 'READY', ?5, ?6, ?7)",
            {st->Lab_Id, st->Lab_Code, group, run, Param_Of(a.Get("class")), Param_Of(a.Get("comments")),
             Now_Text()});
    return reply("READY", F(st->Lab_Id), F(run), "Run " + std::to_string(run) + " of " + group + " added.");
}

// ---- lab.dbo.labtrack_testaction -----------------------------------------------------------------

Proc_Result Labtrack_Test_Action(Sqlite_Db& db, const Proc_Args& a) {
    static const std::vector<std::string> cols = {"LAB_STATUS",      "LAB_ID",      "RUN_NO",
                                                  "SAMPLE_PRIORITY", "TEST_ACTION", "MESSAGE"};
    std::optional<std::string> number = a.Get("labnumber");
    if (number) number = Trim(*number);
    std::optional<long long> lab_id = a.Int("labid");
    if ((!number || number->empty()) && !lab_id) throw Proc_Error("Give @labnumber or @labId.", 201);
    std::optional<std::string> lab = a.Get("labcode");
    if (lab) lab = Trim(*lab);
    std::string group = a.Required_Text("testgrp");
    std::string action = a.Required_Text("testaction");
    auto reply = [&](const std::string& status, Field id, Field run, Field prio, const std::string& message) {
        return Proc_Result::Of(One_Row(cols, {F(status), id, run, prio, F(action), F(message)}));
    };
    if (db.Query("SELECT 1 FROM main.test_actions WHERE TEST_GROUP = ?1 AND TEST_ACTION = ?2",
                 {group, action})
            .Rows.empty())
        return reply("ERROR", Null, Null, Null,
                     "Test action " + action + " is not defined for " + group + ".");
    std::optional<Sample_Test> st = Find_Sample_Test(db, number, lab_id, lab, group);
    if (!st) return reply("NOT_FOUND", Null, Null, Null, "The sample is not known to the lab.");
    if (!st->Track_Id || st->Status != "READY")
        return reply(st->Status.empty() ? "NOT_FOUND" : st->Status, F(st->Lab_Id), F(st->Run_No),
                     F(st->Priority), "The sample has no outstanding " + group + " test.");
    std::optional<long long> emp = a.Int("empnum");
    db.Exec(
        "UPDATE main.lab_tracking SET STATUS = 'DONE', TEST_ACTION = ?2, EMP_NUM = ?3, DATE_COMPLETED = ?4 "
        "WHERE TRACK_ID = ?1",
        {*st->Track_Id, UCase(action), emp ? Param(*emp) : Param(), Now_Text()});
    return reply("DONE", F(st->Lab_Id), F(st->Run_No), F(st->Priority),
                 group + " run " + std::to_string(*st->Run_No) + " taken off: " + UCase(action) + ".");
}

// ---- lab.dbo.tgrp_query, lab.dbo.tgrp_Screen_upd -------------------------------------------------

std::string Result_Table(Sqlite_Db& db, const std::string& group) {
    Table t = db.Query("SELECT RESULT_TABLE FROM main.test_groups WHERE TEST_GROUP = ?1", {group});
    if (t.Rows.empty() || !t.Rows[0][0]) throw Proc_Error("Unknown test group " + group + ".");
    return *t.Rows[0][0];
}

Proc_Result Tgrp_Query(Sqlite_Db& db, const Proc_Args& a) {
    std::string group = a.Required_Text("testgroup");
    long long lab_id = a.Required_Int("labid");
    std::optional<std::string> lab = a.Get("labcode");
    std::optional<std::string> status = a.Get("status");
    if (status && Trim(*status).empty()) status.reset();
    bool histories = UCase(a.Text("histories", "N")) == "Y";
    std::string table = Result_Table(db, group);
    // Test group tables share LAB_ID and RUN_NO; their own columns follow the tracking columns.
    std::string sql = "SELECT t.LAB_ID, t.RUN_NO, t.STATUS, t.TEST_ACTION, s.PRIORITY AS SAMPLE_PRIORITY, "
                      "s.LAB_NUMBER, r.* FROM main.lab_tracking t JOIN main.samples s ON s.LAB_ID = t.LAB_ID "
                      "LEFT JOIN main.\"" +
                      table +
                      "\" r ON r.LAB_ID = t.LAB_ID AND r.RUN_NO = t.RUN_NO "
                      "WHERE t.LAB_ID = ?1 AND t.TEST_GROUP = ?2 AND (?3 IS NULL OR s.LAB_CODE = ?3) "
                      "AND (?4 IS NULL OR t.STATUS = ?4) ORDER BY t.RUN_NO DESC" +
                      std::string(histories ? "" : " LIMIT 1");
    Table t = db.Query(sql, {lab_id, group, Param_Of(lab), Param_Of(status)});
    // Drop the result table's own copies of the key columns.
    std::vector<size_t> keep;
    std::set<std::string> seen;
    Table out;
    for (size_t c = 0; c < t.Columns.size(); ++c)
        if (seen.insert(UCase(t.Columns[c])).second) {
            keep.push_back(c);
            out.Columns.push_back(t.Columns[c]);
        }
    for (auto& row : t.Rows) {
        std::vector<Field> r;
        for (size_t c : keep)
            r.push_back(row[c]);
        out.Rows.push_back(std::move(r));
    }
    return Proc_Result::Of(std::move(out));
}

Proc_Result Tgrp_Screen_Upd(Sqlite_Db& db, const Proc_Args& a) {
    static const std::vector<std::string> cols = {"LAB_ID", "RUN_NO", "LAB_STATUS", "SAMPLE_PRIORITY",
                                                  "COMPLETED"};
    long long lab_id = a.Required_Int("labid");
    long long run = a.Required_Int("runno");
    std::string group = a.Text("testgroup", "SCREEN");
    std::string save = UCase(a.Text("saveaction", "UPDATE"));
    if (save != "UPDATE") throw Proc_Error("Unknown save action '" + save + "': use UPDATE.");
    if (!Equals_No_Case(group, "SCREEN"))
        throw Proc_Error("tgrp_Screen_upd saves the SCREEN test group only.");
    Table t =
        db.Query("SELECT t.TRACK_ID, t.STATUS, s.PRIORITY FROM main.lab_tracking t JOIN main.samples s ON "
                 "s.LAB_ID = t.LAB_ID WHERE t.LAB_ID = ?1 AND t.TEST_GROUP = 'SCREEN' AND t.RUN_NO = ?2",
                 {lab_id, run});
    if (t.Rows.empty())
        throw Proc_Error("Lab id " + std::to_string(lab_id) + " has no SCREEN test run " +
                         std::to_string(run) + ".");
    bool completed = UCase(a.Text("completed", "N")) == "Y";
    std::vector<Param> p = {lab_id, run};
    for (const char* f : {"appearance", "babbitt", "debris", "dirt", "h2o_emul", "h2o_free", "odor",
                          "precipitate", "silt", "white_metal"}) {
        std::optional<std::string> v = a.Get(f);
        p.push_back(v ? Param(Trim(*v)) : Param());
    }
    for (const char* f : {"status_visual", "status_spat", "status_image"}) {
        std::optional<long long> v = a.Int(f);
        p.push_back(v ? Param(*v) : Param());
    }
    std::optional<long long> emp = a.Int("empnum");
    p.push_back(completed ? "Y" : "N");
    p.push_back(emp ? Param(*emp) : Param());
    p.push_back(Now_Text());
    p.push_back(completed ? Param(Now_Text()) : Param());
    db.Query(
        "INSERT OR REPLACE INTO main.testgroup_screen (LAB_ID, RUN_NO, APPEARANCE, BABBITT, DEBRIS, DIRT, "
        "H2O_EMUL, H2O_FREE, ODOR, PRECIPITATE, SILT, WHITE_METAL, STATUS_VISUAL, STATUS_SPAT, STATUS_IMAGE, "
        "COMPLETED, EMP_NUM, DATE_ENTERED, DATE_COMPLETED) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, "
        "?11, ?12, ?13, ?14, ?15, ?16, ?17, ?18, ?19)",
        p);
    std::string status = UCase(t.Rows[0][1].value_or("READY"));
    if (completed && status == "READY") {
        db.Exec("UPDATE main.lab_tracking SET STATUS = 'DONE', DATE_COMPLETED = ?2 WHERE TRACK_ID = ?1",
                {Param_Of(t.Rows[0][0]), Now_Text()});
        status = "DONE";
    }
    return Proc_Result::Of(
        One_Row(cols, {F(lab_id), F(run), F(status), t.Rows[0][2], F(completed ? "Y" : "N")}));
}

std::vector<Procedure> Make_Procedures() {
    return {
        {"lab", "validate_password", {"source", "userpassword", "labcode"}, false, Validate_Password},
        {"labrack",
         "outstanding_rackTests",
         {"rack_desc", "test_group", "weight_required", "showweighed"},
         false,
         Outstanding_Rack_Tests},
        {"labrack",
         "rack_acquisition_upd",
         {"rack_id", "emp_num", "station", "action"},
         true,
         Rack_Acquisition},
        {"labrack",
         "outstanding_racks",
         {"lab_code", "test_group", "priority", "weight_required", "isweighed", "spat", "visual"},
         false,
         Outstanding_Racks},
        {"labrack",
         "get_rack_priority",
         {"lab_code", "test_group", "spat", "visual", "weight_required", "isweighed", "showall"},
         false,
         Get_Rack_Priority},
        {"labrack",
         "Get_RackSample",
         {"lab_number", "lab_code", "lab_id", "test_group", "weight_required", "showweighed", "status",
          "test"},
         false,
         Get_Rack_Sample},
        {"labrack",
         "get_batch_samples",
         {"batch_id", "lab_code", "instrument_id", "test_group"},
         false,
         Get_Batch_Samples},
        {"labrack", "get_pc_history", {"lab_code", "lab_number"}, false, Get_PC_History},
        {"labrack",
         "set_PC_Bath",
         {"sampleid", "extra", "empnum", "position", "instrumentid", "action", "test"},
         true,
         Set_PC_Bath},
        {"labrack", "Get_PC_Bath_OldestRack", {"labcode"}, false, Get_PC_Bath_Oldest_Rack},
        {"lab",
         "import_PC002",
         {"labnumber", "instrumentid", "filename", "labcode", "method", "samplevolume", "factorvolume",
          "pc2m", "pc5m", "pc15m", "pc25m", "pc50m", "pc100m", "pc200m", "empnum", "test"},
         true,
         Import_PC002},
        {"lab",
         "labtrack_inserttest",
         {"labnumber", "labcode", "testgrp", "class", "comments", "return_status"},
         true,
         Labtrack_Insert_Test},
        {"lab",
         "labtrack_testaction",
         {"labnumber", "empnum", "labcode", "testgrp", "testaction", "labid"},
         true,
         Labtrack_Test_Action},
        {"lab", "tgrp_query", {"testgroup", "labid", "labcode", "status", "histories"}, false, Tgrp_Query},
        {"lab",
         "tgrp_Screen_upd",
         {"labid", "saveaction", "testgroup", "white_metal", "babbitt", "precipitate", "silt", "debris",
          "dirt", "appearance", "odor", "h2o_emul", "h2o_free", "completed", "runno", "status_visual",
          "status_spat", "status_image", "empnum"},
         true,
         Tgrp_Screen_Upd},
    };
}

} // namespace

// ---- arguments -----------------------------------------------------------------------------------

bool Proc_Args::Given(const std::string& name) const {
    return values_.count(name) != 0;
}

std::optional<std::string> Proc_Args::Get(const std::string& name) const {
    auto it = values_.find(name);
    return it == values_.end() ? std::nullopt : it->second;
}

std::string Proc_Args::Text(const std::string& name, const std::string& fallback) const {
    auto v = Get(name);
    return v ? Trim(*v) : fallback;
}

void Proc_Args::Missing(const std::string& name) const {
    throw Proc_Error("Procedure or function '" + procedure_ + "' expects parameter '@" + name +
                         "', which was not supplied.",
                     201);
}

std::string Proc_Args::Required_Text(const std::string& name) const {
    auto v = Get(name);
    if (!v || Trim(*v).empty()) Missing(name);
    return Trim(*v);
}

std::optional<double> Proc_Args::Number(const std::string& name) const {
    auto v = Get(name);
    if (!v || Trim(*v).empty()) return std::nullopt;
    if (!Is_Numeric(*v))
        throw Proc_Error("Error converting data type varchar to numeric: @" + name + " = '" + *v + "'.", 8114,
                         "22018");
    double d = To_Double(*v);
    if (!std::isfinite(d))
        throw Proc_Error("Arithmetic overflow error converting @" + name + " to a number.", 8115, "22003");
    return d;
}

std::optional<long long> Proc_Args::Int(const std::string& name) const {
    auto d = Number(name);
    if (!d) return std::nullopt;
    if (std::fabs(*d) > 9.0e15)
        throw Proc_Error("Arithmetic overflow converting @" + name + " to a whole number.", 8115, "22003");
    return static_cast<long long>(Round_Half_Even(*d));
}

long long Proc_Args::Required_Int(const std::string& name) const {
    auto v = Int(name);
    if (!v) Missing(name);
    return *v;
}

// ---- registry and running ------------------------------------------------------------------------

const std::vector<Procedure>& All_Procedures() {
    static const std::vector<Procedure> procs = Make_Procedures();
    return procs;
}

const Procedure* Find_Procedure(const Procedure_Call& call) {
    if (!call.Owner.empty() && !Equals_No_Case(call.Owner, "dbo")) return nullptr;
    for (const Procedure& p : All_Procedures()) {
        if (!Equals_No_Case(p.Name, call.Name)) continue;
        if (call.Database.empty() || Equals_No_Case(call.Database, p.Database)) return &p;
    }
    return nullptr;
}

Proc_Result Run_Procedure(Sqlite_Db& db, const Procedure& proc, const Procedure_Call& call) {
    std::map<std::string, std::optional<std::string>> values;
    size_t position = 0;
    for (const Call_Argument& arg : call.Arguments) {
        std::string name = arg.Name;
        if (name.empty()) {
            if (position >= proc.Parameters.size())
                throw Dialect_Error(8144, "42000",
                                    "Procedure or function " + proc.Name +
                                        " has too many arguments specified.");
            name = proc.Parameters[position++];
        } else if (std::find(proc.Parameters.begin(), proc.Parameters.end(), name) == proc.Parameters.end()) {
            throw Dialect_Error(8145, "42000",
                                "@" + name + " is not a parameter for procedure " + proc.Name + ".");
        }
        if (values.count(name))
            throw Dialect_Error(8143, "42000", "Parameter '@" + name + "' was supplied multiple times.");
        if (!arg.Is_Default) values[name] = arg.Value;
    }
    Proc_Args args(proc.Name, std::move(values));
    Transaction tx(db, proc.Writes);
    Proc_Result result = proc.Body(db, args);
    // A call with @test set is a trial: it answers as it would, and changes nothing.
    auto test = args.Get("test");
    bool trial = test && (Trim(*test) == "1" || Equals_No_Case(Trim(*test), "Y"));
    if (!trial) tx.Commit();
    return result;
}

const char* Rack_Tests_Sql_Text() {
    return Rack_Tests_Sql;
}

int Iso_Range_Number(double per_ml) {
    // The ISO 4406 scale on the count per mL rounded to a whole number (halves to even), as the station
    // codes a count itself, so both show the same code: 0 and 1 give 7, 4 alone gives 9.
    static const long long upper[] = {1,     3,      4,      10,     20,      40,     80,    160,
                                      320,   640,    1300,   2500,   5000,    10000,  20000, 40000,
                                      80000, 160000, 320000, 640000, 1300000, 2500000};
    double n = Round_Half_Even(per_ml);
    for (int i = 0; i < static_cast<int>(sizeof upper / sizeof upper[0]); ++i)
        if (n <= static_cast<double>(upper[i])) return 7 + i;
    return 29;
}

int Priority_Rank(const std::string& priority) {
    std::string p = UCase(Trim(priority));
    if (p == "CRITICAL") return 4;
    if (p == "URGENT") return 3;
    if (p == "RUSH") return 2;
    if (p == "RETEST") return 1;
    return 0;
}

} // namespace pcs::embedded
