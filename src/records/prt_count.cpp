#include "records/prt_count.h"

#include "common/globals.h"
#include "common/sql.h"
#include "common/text.h"
#include "db/statement_error.h"

namespace pcs {

namespace {

// A value written as text: trimmed, its quotes doubled; NULL writes as nothing.
std::string Text_Value(const db::Field& v) {
    return SQL_Escape(Trim(v.value_or("")));
}

} // namespace

void PrtCount::Save_Results(const std::string& Lab_Number, int16_t Emp_Num, const db::Field& sample_Volume,
                            const db::Field& PC2, const db::Field& PC5, const db::Field& PC15,
                            const db::Field& PC25, const db::Field& PC50, const db::Field& PC100,
                            const db::Field& PC200, const std::string&) {
    std::string sql = "exec Lab.dbo.import_PC002 @labnumber = '" + SQL_Escape(Trim(Lab_Number)) + "', " +
                      "@instrumentid = 'PC002', " + "@filename = 'USER_INTERFACE', " + "@labcode = '" +
                      Lab_Code_Default + "', " + "@method = 'ISO4406', " + "@sampleVolume = '" +
                      Text_Value(sample_Volume) + "', " + "@factorVolume = 1, " + "@pc2m = '" +
                      Text_Value(PC2) + "', " + "@pc5m = '" + Text_Value(PC5) + "', " + "@pc15m = '" +
                      Text_Value(PC15) + "', " + "@pc25m = '" + Text_Value(PC25) + "', " + "@pc50m = '" +
                      Text_Value(PC50) + "', " + "@pc100m = '" + Text_Value(PC100) + "', " + "@pc200m = '" +
                      Text_Value(PC200) + "', " + "@empnum = " + To_Text(static_cast<long long>(Emp_Num)) +
                      ", " + "@test = 'N' ";

    if (g_.Debug_Mode) {
        Status = "DONE";
        Lab_Code = Lab_Code_Default;
        saveOk = true;
        return;
    }
    saveOk = false;
    db::Wait_Text waiting(db_, "Saving the result of " + Trim(Lab_Number) + "…");
    db::Record_Set rs = db_.Open_Recordset_Once(sql, true);
    if (db::Timed_Out(rs))
        throw Save_Outcome_Unknown(
            "The lab database did not answer in time while saving the result of sample " + Trim(Lab_Number) +
            ": it may or may not have stored it.");
    if (rs.Failed()) throw db::Statement_Failed_Error("the particle count result");
    if (rs.Eof()) return;

    std::string status = Trim(rs.Value("STATUS").value_or(""));
    bool success = status == "DONE" || status == "PENDING";
    db::Field lab_id = db::Optional_Field(rs, "LAB_ID");
    db::Field lab_code = db::Optional_Field(rs, "LAB_CODE");
    db::Field run_no = db::Optional_Field(rs, "RUN_NO");
    rs.Close();

    // The database's answer stands even when one of its columns is NULL: that one keeps its value.
    Status = success ? "DONE" : status;
    if (lab_id) Lab_Id = *lab_id;
    if (lab_code) Lab_Code = *lab_code;
    saveOk = success;
    // The run number is the lab's bookkeeping; one the station cannot hold does not undo a stored result.
    if (run_no)
        if (std::optional<int16_t> n = Try_Int16(*run_no)) Run_No = *n;
}

bool PrtCount::Redo_Sample(const std::string& Lab_Number, const std::string&) {
    // The comment names whoever is logged in, whatever name the caller passes.
    std::string sql = "exec Lab.dbo.labtrack_inserttest  @labnumber = '" + SQL_Escape(Lab_Number) + "', " +
                      "@labcode = '" + Lab_Code_Default + "', " + "@testgrp = 'PrtCount', " +
                      "@class = 'REDO', " + "@comments = 'Test inserted by technician (" +
                      SQL_Escape(Trim(employee_.Full_name)) + ")'," + "@return_status = 'Y'";
    if (g_.Debug_Mode) return true;
    db::Record_Set rs = db::Open_Checked(db_, sql, "the repeat run");
    if (rs.Eof()) return false;
    return Trim(rs.Value("STATUS").value_or("")) == "READY";
}

bool PrtCount::Remove_Sample(const std::string& Lab_Number, const std::string& Action) {
    std::string sql = "exec lab.dbo.labtrack_testaction @labnumber = '" + SQL_Escape(Lab_Number) + "', " +
                      "@empnum = " + To_Text(static_cast<long long>(employee_.Emp_Num)) + ", " +
                      "@labcode = '" + Lab_Code_Default + "', " + "@testgrp = 'PrtCount', " +
                      "@testaction = '" + SQL_Escape(Action) + "' ";
    if (g_.Debug_Mode) return true;
    db::Record_Set rs = db::Open_Checked(db_, sql, "the test removal");
    if (rs.Eof()) return false;
    return Trim(rs.Value("LAB_STATUS").value_or("")) == "DONE";
}

} // namespace pcs
