// Racks: which racks wait for a test group, handing a rack out and taking it back, loading its positions.
#include "procedure_kit.h"
#include "rack_summary.h"

#include "common/text.h"

namespace pcs::embedded {

namespace {

// ---- labrack.dbo.outstanding_rackTests -----------------------------------------------------------

// One row per occupied position of the rack, in position order; STATUS is the test group's latest run
// on that sample ("" when the sample has no test of the group, so the station leaves it inactive).
// The rack's status is "IN USE" while a station holds it, else how many of its tests wait ("3 OF 20
// READY"), which stays true once the loading station has taken it.
const char* const Rack_Tests_Sql =
    "SELECT r.RACK_ID, r.RACK_DESC, "
    "CASE WHEN r.CURR_USER IS NOT NULL THEN 'IN USE' ELSE (sum(ifnull(t.STATUS, '') = 'READY') OVER ()) || "
    "' OF ' || (count(t.TRACK_ID) OVER ()) || ' READY' END AS CURRENT_RACK_STATUS, "
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

Procedure Outstanding_Rack_Tests() {
    Procedure p{"labrack",
                "outstanding_rackTests",
                {"rack_desc", "test_group", "weight_required", "showweighed"},
                false,
                {}};
    p.Body = [](Sqlite_Db& db, const Proc_Args& a) -> Proc_Result {
        std::string rack = a.Required_Text("rack_desc");
        std::string group = a.Text("test_group", "PrtCount");
        long long weight_required = a.Int("weight_required").value_or(0);
        long long show_weighed = a.Int("showweighed").value_or(1);
        return Proc_Result::Of(
            db.Query(Rack_Tests_Sql, {rack, group, weight_required ? 1LL : 0LL, show_weighed ? 1LL : 0LL}));
    };
    return p;
}

// ---- labrack.dbo.rack_acquisition_upd ------------------------------------------------------------

Procedure Rack_Acquisition() {
    Procedure p{"labrack", "rack_acquisition_upd", {"rack_id", "emp_num", "station", "action"}, true, {}};
    p.Body = [](Sqlite_Db& db, const Proc_Args& a) -> Proc_Result {
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
            return Proc_Result::Of(One_Row(
                cols, {F(1LL),
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
    };
    return p;
}

// ---- labrack.dbo.outstanding_racks ---------------------------------------------------------------

Procedure Outstanding_Racks() {
    Procedure p{"labrack",
                "outstanding_racks",
                {"lab_code", "test_group", "priority", "weight_required", "isweighed", "spat", "visual"},
                false,
                {}};
    p.Body = [](Sqlite_Db& db, const Proc_Args& a) -> Proc_Result {
        std::string lab = a.Required_Text("lab_code");
        std::optional<std::string> group = a.Get("test_group");
        if (group && Trim(*group).empty()) group.reset();
        std::optional<std::string> priority = a.Get("priority");
        if (priority && Trim(*priority).empty()) priority.reset();
        long long weight_required = a.Int("weight_required").value_or(0);
        std::optional<long long> is_weighed = a.Int("isweighed");
        // Without the weighing filters the racks' summary answers (the same rows in the same order).
        if (!weight_required)
            if (auto t = Summary_Outstanding_Racks(db, lab, group, priority))
                return Proc_Result::Of(std::move(*t));
        return Proc_Result::Of(
            Outstanding_Racks_Statement(db, lab, group, priority, weight_required != 0, is_weighed));
    };
    return p;
}

// ---- labrack.dbo.get_rack_priority ---------------------------------------------------------------

// The priority filters in use among the outstanding tests on racks: RETEST, RUSH, URGENT, CRITICAL.
// NORMAL is the unfiltered list and has no filter of its own.
Procedure Get_Rack_Priority() {
    Procedure p{"labrack",
                "get_rack_priority",
                {"lab_code", "test_group", "spat", "visual", "weight_required", "isweighed", "showall"},
                false,
                {}};
    p.Body = [](Sqlite_Db& db, const Proc_Args& a) -> Proc_Result {
        std::string lab = a.Required_Text("lab_code");
        std::optional<std::string> group = a.Get("test_group");
        if (group && Trim(*group).empty()) group.reset();
        long long weight_required = a.Int("weight_required").value_or(0);
        if (!weight_required)
            if (auto t = Summary_Rack_Priorities(db, lab, group)) return Proc_Result::Of(std::move(*t));
        return Proc_Result::Of(Rack_Priorities_Statement(db, lab, group, weight_required != 0));
    };
    return p;
}

// ---- labrack.dbo.Get_RackSample ------------------------------------------------------------------

Procedure Get_Rack_Sample() {
    Procedure p{"labrack",
                "Get_RackSample",
                {"lab_number", "lab_code", "lab_id", "test_group", "weight_required", "showweighed", "status",
                 "test"},
                false,
                {}};
    p.Body = [](Sqlite_Db& db, const Proc_Args& a) -> Proc_Result {
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
        return Proc_Result::Of(db.Query(sql, {Param_Of(number), lab_id ? Param(*lab_id) : Param(),
                                              Param_Of(lab), Param_Of(group), Param_Of(status)}));
    };
    return p;
}

} // namespace

std::vector<Procedure> Rack_Procedures() {
    return {Outstanding_Rack_Tests(), Rack_Acquisition(), Outstanding_Racks(), Get_Rack_Priority(),
            Get_Rack_Sample()};
}

Table Outstanding_Racks_Statement(Sqlite_Db& db, const std::string& lab,
                                  const std::optional<std::string>& group,
                                  const std::optional<std::string>& priority, bool weight_required,
                                  std::optional<long long> is_weighed) {
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
    return db.Query(sql, {lab, Param_Of(group), Param_Of(priority), weight_required ? 1LL : 0LL,
                          is_weighed ? Param(*is_weighed ? 1LL : 0LL) : Param()});
}

Table Rack_Priorities_Statement(Sqlite_Db& db, const std::string& lab,
                                const std::optional<std::string>& group, bool weight_required) {
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
    return db.Query(sql, {lab, Param_Of(group), weight_required ? 1LL : 0LL});
}

const char* Rack_Tests_Sql_Text() {
    return Rack_Tests_Sql;
}

} // namespace pcs::embedded
