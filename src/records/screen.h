// The visual screening result of one sample: ratings on fixed word scales, read from and written to
// the lab database, with change tracking against the last saved ratings.
#pragma once

#include "db/database.h"
#include "records/result_record.h"

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>

namespace pcs {

// A rating or group the screening record does not know.
class Rating_Error : public std::invalid_argument {
public:
    using std::invalid_argument::invalid_argument;
};

class Screen : public Rating_Record {
public:
    explicit Screen(db::Database& db);

    std::string Record_Kind() const override { return "SCREEN"; }

    int16_t dflt_status_Visual = 0, dflt_status_Spat = 0, dflt_status_Image = 0;
    int16_t status_Image = 0, status_Spat = 0, status_Visual = 0;
    bool wasViewed = false;
    std::string Test_Action; // when set, saving sends the action instead of the ratings
    bool Edited = false;
    std::string dflt_White_Metal, dflt_Precipitate, dflt_Silt, dflt_Odor, dflt_H2O_Free, dflt_H2O_Emul,
        dflt_Dirt, dflt_Debris, dflt_Babbitt, dflt_Appearance;
    std::string H2O_Emul, H2O_Free, Odor, Appearance, Dirt, Debris, Silt, Precipitate, Babbitt, White_Metal;
    std::string Insert_Code;

    // Loads the stored ratings when Lab_Id is a number; a NULL column leaves its rating as it was.
    // Throws db::Statement_Failed_Error when the query did not run.
    void Get_Current_Results();

    // "0" when the group ("VISUAL", "SPAT", "IMAGE") is complete, "-1" when not; Rating_Error otherwise.
    std::string Get_Field_Status(const std::string& sType) const;

    // Writes the ratings, or the test action when one is set. True when the database answered.
    // Nothing is sent when nothing changed or Lab_Id is "0". Throws db::Statement_Failed_Error when
    // the statement did not run (the ratings then still count as changed), Sql_Value_Error for a
    // Lab_Id or employee number that is not a number (nothing sent).
    bool Save_Screen(const std::optional<std::string>& Emp_Num, const std::optional<std::string>& Station);

    std::string Rating_Strings(const std::string& sType) const override;
    std::string Get_Rating_String(const std::string& sField) const override;
    int16_t Field_Value_Get(const std::string& sField) const override;
    // Rating_Error for an index outside the field's scale; an unknown name changes nothing.
    void Field_Value_Set(const std::string& sField, int iValue) override;
    bool isChanged() const override;
    void SetValues(const std::string& sType, bool toNormal);

private:
    bool Is_Field_Empty(const std::string& sField) const;
    std::string* Field(const std::string& sField);
    const std::string* Field(const std::string& sField) const;
    // The scale of the field the name stands for; "" for an unknown name.
    std::string Field_Scale(const std::string& sField) const;
    void Move_Defaults();

    db::Database& db_;
};

} // namespace pcs
