// The stored bath: the samples an instrument holds in its batch, by bath position.
#include "procedure_kit.h"

#include "common/text.h"

namespace pcs::embedded {

namespace {

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

Procedure Get_Batch_Samples() {
    Procedure p{
        "labrack", "get_batch_samples", {"batch_id", "lab_code", "instrument_id", "test_group"}, false, {}};
    p.Body = [](Sqlite_Db& db, const Proc_Args& a) -> Proc_Result {
        std::optional<long long> batch = a.Int("batch_id");
        // A station without an instrument id has no stored bath: no rows, as for an empty bath.
        std::string instrument = a.Text("instrument_id");
        if (!batch && !instrument.empty())
            batch = Open_Batch(db, instrument, a.Required_Text("lab_code"), a.Text("test_group", "PrtCount"));
        return Proc_Result::Of(db.Query(Batch_Rows_Sql, {batch ? Param(*batch) : Param()}));
    };
    return p;
}

Procedure Set_PC_Bath() {
    Procedure p{"labrack",
                "set_PC_Bath",
                {"sampleid", "extra", "empnum", "position", "instrumentid", "action", "test"},
                true,
                {}};
    p.Body = [](Sqlite_Db& db, const Proc_Args& a) -> Proc_Result {
        static const std::vector<std::string> cols = {"ERROR", "MESSAGE", "DETAIL_ID", "BATCH_ID",
                                                      "POSITION"};
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
        if (!position || *position < 1 || *position > 30)
            return answer(1, "The bath position must be 1 to 30.");

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
            return answer(
                0, "Sample " + sample + " taken out of bath position " + std::to_string(*position) + ".",
                Null, Null, F(*position));
        }

        std::string instrument = a.Text("instrumentid");
        if (instrument.empty())
            return answer(1, "The instrument is missing: the station's INSTRUMENT_ID setting is empty.");
        std::string eff = Effective_Priority;
        Table s = db.Query(
            "SELECT s.LAB_CODE, " + eff +
                ", t.RUN_NO, s.SAMPLE_TYPE FROM main.samples s "
                "LEFT JOIN main.lab_tracking t ON t.TRACK_ID = (SELECT TRACK_ID FROM main.lab_tracking "
                "WHERE LAB_ID = s.LAB_ID AND TEST_GROUP = 'PrtCount' ORDER BY RUN_NO DESC LIMIT 1) "
                "WHERE s.LAB_NUMBER = ?1 ORDER BY s.LAB_ID DESC LIMIT 1",
            {sample});
        if (s.Rows.empty()) return answer(1, "Sample " + sample + " is not known to the lab.");
        std::string lab = s.Rows[0][0].value_or("");
        std::optional<long long> batch = Open_Batch(db, instrument, lab, "PrtCount");
        if (!batch) {
            db.Exec(
                "INSERT INTO labrack.instrument_batches (INSTRUMENT_ID, LAB_CODE, TEST_GROUP, DATE_CREATED) "
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
            return answer(1, "Bath position " + std::to_string(*position) + " already holds sample " +
                                 holder + ".");
        }
        Table elsewhere =
            db.Query("SELECT POSITION FROM labrack.batch_details WHERE BATCH_ID = ?1 AND SAMPLE_ID = ?2",
                     {*batch, sample});
        if (!elsewhere.Rows.empty())
            return answer(1, "Sample " + sample + " is already in the bath at position " +
                                 elsewhere.Rows[0][0].value_or("?") + ".");
        db.Exec(
            "INSERT INTO labrack.batch_details (BATCH_ID, POSITION, SAMPLE_ID, SAMPLE_TYPE, RUN_NO, EXTRA, "
            "PRIORITY, "
            "EMP_NUM, DATE_ADDED) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9)",
            {*batch, *position, sample, s.Rows[0][3].value_or("SAMPLE"), Param_Of(s.Rows[0][2]),
             Param_Of(a.Get("extra")), Param_Of(s.Rows[0][1]), emp ? Param(*emp) : Param(), Now_Text()});
        long long detail = db.Last_Insert_Id();
        return answer(0, "Sample " + sample + " added at bath position " + std::to_string(*position) + ".",
                      F(detail), F(*batch), F(*position));
    };
    return p;
}

Procedure Get_PC_Bath_Oldest_Rack() {
    Procedure p{"labrack", "Get_PC_Bath_OldestRack", {"labcode"}, false, {}};
    p.Body = [](Sqlite_Db& db, const Proc_Args& a) -> Proc_Result {
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
    };
    return p;
}

} // namespace

std::vector<Procedure> Bath_Procedures() {
    return {Get_Batch_Samples(), Set_PC_Bath(), Get_PC_Bath_Oldest_Rack()};
}

} // namespace pcs::embedded
