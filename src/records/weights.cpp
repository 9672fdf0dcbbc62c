#include "records/weights.h"

#include "common/messages.h"
#include "common/sql.h"
#include "common/text.h"

namespace pcs {

Weights::Weights(db::Database& db, const Globals& globals, Alert_Port& alerts)
    : db_(db), g_(globals), alerts_(alerts) {
    SetValues();
    dflt_Weight = Weight;
}

std::string Weights::Table_Suffix(const std::string& test_code) {
    const std::string t = UCase(Trim(test_code));
    if (t == "KF") return "kf";
    if (t == "TAN MAN") return "tanman";
    if (t == "TAN AUTO") return "tanauto";
    if (t == "TBN") return "tbn";
    if (t == "SPECGRAVITY") return "SpecGravity";
    return "";
}

bool Weights::Weight_Assigned(const std::optional<std::string>& vWeight) {
    if (!vWeight) return false;
    if (vWeight->empty()) {
        Weight.clear();
        return true;
    }
    std::string t = Trim(*vWeight);
    // The unit may be typed in either case on the on-screen keyboard.
    size_t g = t.find_first_of("gG");
    if (g == std::string::npos && !Is_Numeric(t)) return false;
    if (!Is_Numeric(t)) t = Trim(t.substr(0, g));
    auto v = Try_Double(t);
    if (!v) return false;
    if (*v <= 0) {
        Show_Alert(alerts_, std::string("A negative weight value is not a valid"));
        return false;
    }
    Weight = t;
    return true;
}

bool Weights::Save_Weight(const std::optional<std::string>&) {
    if (!isChanged()) return false;
    const std::string& test_code = g_.Test_Code;
    const std::string suffix = Table_Suffix(test_code);
    std::string lab_id;
    if (!suffix.empty()) lab_id = SQL_Number(Lab_Id, "The lab id");

    const std::string entered = Weight;
    const std::string sql_weight =
        entered.empty() ? std::string(" null ") : " '" + SQL_Escape(Trim(entered).substr(0, 5)) + "' ";
    if (suffix.empty()) return false;

    const std::string run_no = To_Text(static_cast<long long>(Run_No));
    bool ok = db_.Execute_SQL("update lab.dbo.testgroup_" + Trim(suffix) + " " +
                                  "set    weight = " + sql_weight + " " + "where  lab_id = " + lab_id + " " +
                                  "and    run_no = " + run_no + " " + "and    date_completed is null ",
                              true);
    if (ok)
        ok = db_.Execute_SQL("update lab.dbo.lab_tracking " + std::string("set    weight = ") + sql_weight +
                                 " " + "where  lab_id = " + lab_id + " " + "and    test_group = '" +
                                 SQL_Escape(Trim(test_code)) + "' " + "and    status = 'READY' " +
                                 "and    isNumeric(weight) = 0 ",
                             true);
    if (!ok) return false;
    Weight = sql_weight;
    Status = entered.empty() ? "READY" : "DONE";
    dflt_Weight = Weight;
    return true;
}

} // namespace pcs
