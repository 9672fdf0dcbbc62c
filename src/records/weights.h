// The weight of sample taken for a titration or density test, written to the test group's table and
// to the lab tracking table.
#pragma once

#include "common/globals.h"
#include "common/ports.h"
#include "db/database.h"
#include "records/result_record.h"

#include <optional>
#include <string>

namespace pcs {

class Weights : public Rating_Record {
public:
    // The test group comes from the globals' Test_Code, read at each save.
    Weights(db::Database& db, const Globals& globals, Alert_Port& alerts);

    std::string Record_Kind() const override { return "WEIGHT"; }

    std::string Test_Group;
    std::string dflt_Weight; // the weight as last saved, in its statement form
    std::string Weight;      // the entered weight; its statement form after a successful save
    std::string Test_Action;

    // Takes an entered weight ("12.5", "12.5 g", "" to clear). False for text that is not a weight;
    // a weight of 0 or less is refused with an alert.
    bool Weight_Assigned(const std::optional<std::string>& vWeight);

    // Writes the weight to the test group's table and to lab tracking; true when both updates ran.
    // Nothing is sent when nothing changed or the test group has no table. Throws Sql_Value_Error when
    // Lab_Id is not a number (nothing sent). A save that does not succeed keeps the entered weight.
    bool Save_Weight(const std::optional<std::string>& unused = std::nullopt);

    // The table suffix of a test group ("KF" -> "kf", "TAN AUTO" -> "tanauto"), "" for none.
    static std::string Table_Suffix(const std::string& test_code);

    bool isChanged() const override { return Weight != dflt_Weight; }
    void SetValues() { Weight.clear(); }
    std::string Rating_Strings(const std::string&) const override { return ""; }
    std::string Get_Rating_String(const std::string&) const override { return ""; }
    int16_t Field_Value_Get(const std::string&) const override { return 0; }
    void Field_Value_Set(const std::string&, int) override {}

private:
    db::Database& db_;
    const Globals& g_;
    Alert_Port& alerts_;
};

} // namespace pcs
