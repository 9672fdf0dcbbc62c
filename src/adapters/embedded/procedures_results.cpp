// Results and history: saving counts and screenings, adding and taking off test runs, reading earlier
// results.
#include "procedure_kit.h"

#include "common/text.h"
#include "counter/count_report.h"

#include <set>

namespace pcs::embedded {

namespace {

// ---- labrack.dbo.get_pc_history ------------------------------------------------------------------

// The last particle count before this one: an earlier run of the same sample, or the latest earlier
// sample of the same component (samples received together are in lab-id order, so two of them are
// never each other's history). NOT_ENTERED when that test never got a result.
Procedure Get_PC_History() {
    Procedure p{"labrack", "get_pc_history", {"lab_code", "lab_number"}, false, {}};
    p.Body = [](Sqlite_Db& db, const Proc_Args& a) -> Proc_Result {
        static const std::vector<std::string> cols = {"STATUS", "ISO",        "ISO_2",  "ISO_5",
                                                      "ISO_15", "LAB_NUMBER", "RUN_NO", "DATE_ENTERED"};
        std::string lab = a.Required_Text("lab_code");
        std::string number = a.Required_Text("lab_number");
        Table s = db.Query("SELECT LAB_ID, COMPONENT_CODE, RECEIVED_DATETIME FROM main.samples "
                           "WHERE LAB_CODE = ?1 AND LAB_NUMBER = ?2",
                           {lab, number});
        if (s.Rows.empty()) return Proc_Result::Of(No_Rows(cols));
        Table h = db.Query(
            "SELECT CASE WHEN r.LAB_ID IS NULL THEN 'NOT_ENTERED' ELSE 'ENTERED' END AS STATUS, r.ISO_CODE "
            "AS "
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
    };
    return p;
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

Procedure Import_PC002() {
    Procedure p{"lab",
                "import_PC002",
                {"labnumber", "instrumentid", "filename", "labcode", "method", "samplevolume", "factorvolume",
                 "pc2m", "pc5m", "pc15m", "pc25m", "pc50m", "pc100m", "pc200m", "empnum", "test"},
                true,
                {}};
    p.Body = [](Sqlite_Db& db, const Proc_Args& a) -> Proc_Result {
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
                    (st->Run_No ? " (run " + std::to_string(*st->Run_No) + " is " + st->Status + ")" : "") +
                    ".",
                F(st->Lab_Id), F(st->Run_No));

        std::optional<double> volume = a.Number("samplevolume");
        double factor = a.Number("factorvolume").value_or(1.0);
        if (!volume || *volume <= 0 || factor <= 0)
            return failed("ERROR", "The sample volume must be a number above 0.", F(st->Lab_Id),
                          F(st->Run_No));
        static const char* const channels[] = {"pc2m", "pc5m", "pc15m", "pc25m", "pc50m", "pc100m", "pc200m"};
        std::vector<Param> counts, per_ml;
        double ml[7] = {};
        for (int i = 0; i < 7; ++i) {
            std::optional<double> c = a.Number(channels[i]);
            if (c && *c < 0)
                return failed("ERROR", std::string("The count @") + channels[i] + " is negative.",
                              F(st->Lab_Id), F(st->Run_No));
            counts.push_back(c ? Param(*c) : Param());
            ml[i] = c ? *c * factor / *volume : 0.0;
            per_ml.push_back(c ? Param(ml[i]) : Param());
        }
        if (!a.Number("pc2m") || !a.Number("pc5m") || !a.Number("pc15m"))
            return failed("ERROR", "The counts of 2, 5 and 15 um are required.", F(st->Lab_Id),
                          F(st->Run_No));
        int iso2 = Whole_Count_Range_Number(ml[0]), iso5 = Whole_Count_Range_Number(ml[1]),
            iso15 = Whole_Count_Range_Number(ml[2]);
        std::string code = std::to_string(iso2) + "/" + std::to_string(iso5) + "/" + std::to_string(iso15);
        std::optional<long long> emp = a.Int("empnum");
        std::string now = Now_Text();

        std::vector<Param> row = {
            st->Lab_Id, *st->Run_No, a.Text("instrumentid"), a.Text("filename"), a.Text("method"),
            *volume,    factor};
        row.insert(row.end(), counts.begin(), counts.end());
        row.insert(row.end(), per_ml.begin(), per_ml.end());
        for (const Param& p : {Param(code), Param((long long)iso2), Param((long long)iso5),
                               Param((long long)iso15), emp ? Param(*emp) : Param(), Param(now)})
            row.push_back(p);
        db.Query("INSERT OR REPLACE INTO main.testgroup_pc (LAB_ID, RUN_NO, INSTRUMENT_ID, FILENAME, METHOD, "
                 "SAMPLE_VOLUME, FACTOR_VOLUME, PC2, PC5, PC15, PC25, PC50, PC100, PC200, PC2_ML, PC5_ML, "
                 "PC15_ML, "
                 "PC25_ML, PC50_ML, PC100_ML, PC200_ML, ISO_CODE, ISO_2, ISO_5, ISO_15, EMP_NUM, "
                 "DATE_ENTERED) VALUES "
                 "(?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11, ?12, ?13, ?14, ?15, ?16, ?17, ?18, ?19, "
                 "?20, ?21, "
                 "?22, "
                 "?23, ?24, ?25, ?26, ?27)",
                 row);
        std::string status = iso2 >= Review_Range_Number ? "PENDING" : "DONE";
        db.Exec(
            "UPDATE main.lab_tracking SET STATUS = ?2, EMP_NUM = ?3, DATE_COMPLETED = ?4 WHERE TRACK_ID = ?1",
            {*st->Track_Id, status, emp ? Param(*emp) : Param(), now});
        std::string message = status == "DONE"
                                  ? "Result " + code + " saved."
                                  : "Result " + code + " saved; it waits for review before release.";
        return Proc_Result::Of(
            One_Row(cols, {F(status), F(st->Lab_Id), F(st->Lab_Code), F(st->Run_No), F(code), F(message)}));
    };
    return p;
}

// ---- Lab.dbo.labtrack_inserttest -----------------------------------------------------------------

Procedure Labtrack_Insert_Test() {
    Procedure p{"lab",
                "labtrack_inserttest",
                {"labnumber", "labcode", "testgrp", "class", "comments", "return_status"},
                true,
                {}};
    p.Body = [](Sqlite_Db& db, const Proc_Args& a) -> Proc_Result {
        static const std::vector<std::string> cols = {"STATUS",     "LAB_ID", "LAB_NUMBER",
                                                      "TEST_GROUP", "RUN_NO", "MESSAGE"};
        std::string number = a.Required_Text("labnumber");
        std::string lab = a.Required_Text("labcode");
        std::string group = a.Required_Text("testgrp");
        bool answer = UCase(a.Text("return_status", "Y")) != "N";
        auto reply = [&](const std::string& status, Field lab_id, Field run, const std::string& message) {
            return answer ? Proc_Result::Of(
                                One_Row(cols, {F(status), lab_id, F(number), F(group), run, F(message)}))
                          : Proc_Result::None();
        };
        if (db.Query("SELECT 1 FROM main.test_groups WHERE TEST_GROUP = ?1", {group}).Rows.empty())
            return reply("ERROR", Null, Null, "Unknown test group " + group + ".");
        std::optional<Sample_Test> st = Find_Sample_Test(db, number, std::nullopt, lab, group);
        if (!st)
            return reply("NOT_FOUND", Null, Null, "Sample " + number + " is not known to lab " + lab + ".");
        if (st->Track_Id && st->Status == "READY")
            return reply("READY", F(st->Lab_Id), F(st->Run_No),
                         "Run " + std::to_string(*st->Run_No) + " of " + group + " is already outstanding.");
        long long run = st->Run_No.value_or(0) + 1;
        db.Exec(
            "INSERT INTO main.lab_tracking (LAB_ID, LAB_CODE, TEST_GROUP, RUN_NO, STATUS, CLASS, COMMENTS, "
            "DATE_ADDED) "
            "VALUES (?1, ?2, ?3, ?4, 'READY', ?5, ?6, ?7)",
            {st->Lab_Id, st->Lab_Code, group, run, Param_Of(a.Get("class")), Param_Of(a.Get("comments")),
             Now_Text()});
        return reply("READY", F(st->Lab_Id), F(run),
                     "Run " + std::to_string(run) + " of " + group + " added.");
    };
    return p;
}

// ---- lab.dbo.labtrack_testaction -----------------------------------------------------------------

Procedure Labtrack_Test_Action() {
    Procedure p{"lab",
                "labtrack_testaction",
                {"labnumber", "empnum", "labcode", "testgrp", "testaction", "labid"},
                true,
                {}};
    p.Body = [](Sqlite_Db& db, const Proc_Args& a) -> Proc_Result {
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
        auto reply = [&](const std::string& status, Field id, Field run, Field prio,
                         const std::string& message) {
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
        db.Exec("UPDATE main.lab_tracking SET STATUS = 'DONE', TEST_ACTION = ?2, EMP_NUM = ?3, "
                "DATE_COMPLETED = ?4 "
                "WHERE TRACK_ID = ?1",
                {*st->Track_Id, UCase(action), emp ? Param(*emp) : Param(), Now_Text()});
        return reply("DONE", F(st->Lab_Id), F(st->Run_No), F(st->Priority),
                     group + " run " + std::to_string(*st->Run_No) + " taken off: " + UCase(action) + ".");
    };
    return p;
}

// ---- lab.dbo.tgrp_query, lab.dbo.tgrp_Screen_upd -------------------------------------------------

std::string Result_Table(Sqlite_Db& db, const std::string& group) {
    Table t = db.Query("SELECT RESULT_TABLE FROM main.test_groups WHERE TEST_GROUP = ?1", {group});
    if (t.Rows.empty() || !t.Rows[0][0]) throw Proc_Error("Unknown test group " + group + ".");
    return *t.Rows[0][0];
}

Procedure Tgrp_Query() {
    Procedure p{"lab", "tgrp_query", {"testgroup", "labid", "labcode", "status", "histories"}, false, {}};
    p.Body = [](Sqlite_Db& db, const Proc_Args& a) -> Proc_Result {
        std::string group = a.Required_Text("testgroup");
        long long lab_id = a.Required_Int("labid");
        std::optional<std::string> lab = a.Get("labcode");
        std::optional<std::string> status = a.Get("status");
        if (status && Trim(*status).empty()) status.reset();
        bool histories = UCase(a.Text("histories", "N")) == "Y";
        std::string table = Result_Table(db, group);
        // Test group tables share LAB_ID and RUN_NO; their own columns follow the tracking columns.
        std::string sql =
            "SELECT t.LAB_ID, t.RUN_NO, t.STATUS, t.TEST_ACTION, s.PRIORITY AS SAMPLE_PRIORITY, "
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
    };
    return p;
}

Procedure Tgrp_Screen_Upd() {
    Procedure p{"lab",
                "tgrp_Screen_upd",
                {"labid", "saveaction", "testgroup", "white_metal", "babbitt", "precipitate", "silt",
                 "debris", "dirt", "appearance", "odor", "h2o_emul", "h2o_free", "completed", "runno",
                 "status_visual", "status_spat", "status_image", "empnum"},
                true,
                {}};
    p.Body = [](Sqlite_Db& db, const Proc_Args& a) -> Proc_Result {
        static const std::vector<std::string> cols = {"LAB_ID", "RUN_NO", "LAB_STATUS", "SAMPLE_PRIORITY",
                                                      "COMPLETED"};
        long long lab_id = a.Required_Int("labid");
        long long run = a.Required_Int("runno");
        std::string group = a.Text("testgroup", "SCREEN");
        std::string save = UCase(a.Text("saveaction", "UPDATE"));
        if (save != "UPDATE") throw Proc_Error("Unknown save action '" + save + "': use UPDATE.");
        if (!Equals_No_Case(group, "SCREEN"))
            throw Proc_Error("tgrp_Screen_upd saves the SCREEN test group only.");
        Table t = db.Query(
            "SELECT t.TRACK_ID, t.STATUS, s.PRIORITY FROM main.lab_tracking t JOIN main.samples s ON "
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
        db.Query("INSERT OR REPLACE INTO main.testgroup_screen (LAB_ID, RUN_NO, APPEARANCE, BABBITT, DEBRIS, "
                 "DIRT, "
                 "H2O_EMUL, H2O_FREE, ODOR, PRECIPITATE, SILT, WHITE_METAL, STATUS_VISUAL, STATUS_SPAT, "
                 "STATUS_IMAGE, "
                 "COMPLETED, EMP_NUM, DATE_ENTERED, DATE_COMPLETED) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, "
                 "?9, ?10, "
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
    };
    return p;
}

} // namespace

std::vector<Procedure> Results_Procedures() {
    return {Get_PC_History(),       Import_PC002(), Labtrack_Insert_Test(),
            Labtrack_Test_Action(), Tgrp_Query(),   Tgrp_Screen_Upd()};
}

} // namespace pcs::embedded
