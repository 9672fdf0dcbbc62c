#include "records/screen.h"

#include "common/sql.h"
#include "common/text.h"
#include "db/statement_error.h"

#include <vector>

namespace pcs {

namespace {

constexpr const char* Scale_Appearance = "NORML~LAYRD~MILKY~HAZY~GLYCL";
constexpr const char* Scale_Odor = "NORML~AMMON~BURNT~FREON~SOLVT~OTHER";
constexpr const char* Scale_Water = "NEG~0.1%~0.5%~1.0%~2.0%~5.0%~>10%";
constexpr const char* Scale_Amount = "NONE~VLITE~LIGHT~LTMOD~MODER~MDHVY~HEAVY";

enum class Rating {
    None,
    Appearance,
    Babbitt,
    Debris,
    Dirt,
    H2O_Emul,
    H2O_Free,
    Odor,
    Precipitate,
    Silt,
    White_Metal
};

Rating Rating_Of(const std::string& name) {
    const std::string n = UCase(name);
    if (n == "APPEARANCE") return Rating::Appearance;
    if (n == "BABBITT" || n == "YELLOW_METAL" || n == "YELLOWMETAL") return Rating::Babbitt;
    if (n == "DEBRIS") return Rating::Debris;
    if (n == "DIRT") return Rating::Dirt;
    if (n == "H2O_EMUL" || n == "H2OEMUL" || n == "H2O EMUL") return Rating::H2O_Emul;
    if (n == "H2O_FREE" || n == "H2OFREE" || n == "H2O FREE") return Rating::H2O_Free;
    if (n == "ODOR") return Rating::Odor;
    if (n == "PRECIPITATE") return Rating::Precipitate;
    if (n == "SILT") return Rating::Silt;
    if (n == "WHITE_METAL" || n == "WHITE METAL" || n == "WHITEMETAL") return Rating::White_Metal;
    return Rating::None;
}

const char* Scale_Of(Rating r) {
    switch (r) {
    case Rating::Appearance:
        return Scale_Appearance;
    case Rating::Odor:
        return Scale_Odor;
    case Rating::H2O_Emul:
    case Rating::H2O_Free:
        return Scale_Water;
    case Rating::None:
        return "";
    default:
        return Scale_Amount;
    }
}

} // namespace

Screen::Screen(db::Database& db) : db_(db) {
    Insert_Code = "Default test package";
    SetValues("VISUAL", false);
    SetValues("WATER", false);
    Move_Defaults();
}

std::string* Screen::Field(const std::string& sField) {
    return const_cast<std::string*>(static_cast<const Screen*>(this)->Field(sField));
}

const std::string* Screen::Field(const std::string& sField) const {
    switch (Rating_Of(sField)) {
    case Rating::Appearance:
        return &Appearance;
    case Rating::Babbitt:
        return &Babbitt;
    case Rating::Debris:
        return &Debris;
    case Rating::Dirt:
        return &Dirt;
    case Rating::H2O_Emul:
        return &H2O_Emul;
    case Rating::H2O_Free:
        return &H2O_Free;
    case Rating::Odor:
        return &Odor;
    case Rating::Precipitate:
        return &Precipitate;
    case Rating::Silt:
        return &Silt;
    case Rating::White_Metal:
        return &White_Metal;
    case Rating::None:
        break;
    }
    return nullptr;
}

std::string Screen::Field_Scale(const std::string& sField) const {
    return Scale_Of(Rating_Of(sField));
}

std::string Screen::Rating_Strings(const std::string& sType) const {
    if (sType == "APPEARANCE") return Scale_Appearance;
    if (sType == "ODOR") return Scale_Odor;
    if (sType == "H2O FREE" || sType == "WATER" || sType == "H2O EMUL") return Scale_Water;
    return Scale_Amount;
}

bool Screen::Is_Field_Empty(const std::string& sField) const {
    const std::string* f = Field(sField);
    return f && f->empty();
}

std::string Screen::Get_Rating_String(const std::string& sField) const {
    // The field's own value: a word of its scale, or the text as the database gave it.
    const std::string* f = Field(sField);
    return f ? *f : std::string();
}

int16_t Screen::Field_Value_Get(const std::string& sField) const {
    const std::string* f = Field(sField);
    if (!f) return 0;
    std::vector<std::string> words = Split(Field_Scale(sField), '~');
    for (size_t i = 0; i < words.size(); ++i)
        if (words[i] == *f) return static_cast<int16_t>(i);
    return 0;
}

void Screen::Field_Value_Set(const std::string& sField, int iValue) {
    std::string* f = Field(sField);
    if (!f) return;
    std::vector<std::string> words = Split(Field_Scale(sField), '~');
    if (iValue < 0 || static_cast<size_t>(iValue) >= words.size())
        throw Rating_Error("There is no rating " + std::to_string(iValue) + " for " + sField + ".");
    *f = words[static_cast<size_t>(iValue)];
}

bool Screen::isChanged() const {
    return White_Metal != dflt_White_Metal || Precipitate != dflt_Precipitate || Silt != dflt_Silt ||
           Odor != dflt_Odor || H2O_Free != dflt_H2O_Free || H2O_Emul != dflt_H2O_Emul || Dirt != dflt_Dirt ||
           Debris != dflt_Debris || Babbitt != dflt_Babbitt || Appearance != dflt_Appearance;
}

void Screen::SetValues(const std::string& sType, bool toNormal) {
    if (sType == "VISUAL") {
        Appearance = toNormal ? "NORML" : "";
        Odor = toNormal ? "NORML" : "";
        const std::string amount = toNormal ? "NONE" : "";
        Babbitt = Debris = Dirt = Precipitate = Silt = amount;
    } else {
        H2O_Emul = toNormal ? "NEG" : "";
    }
    Edited = toNormal;
}

std::string Screen::Get_Field_Status(const std::string& sType) const {
    bool complete;
    if (sType == "VISUAL")
        complete = !Appearance.empty() && !Babbitt.empty() && !Debris.empty() && !Dirt.empty() &&
                   !Odor.empty() && !Precipitate.empty() && !Silt.empty() && !White_Metal.empty();
    else if (sType == "SPAT")
        complete = !H2O_Emul.empty() && !H2O_Free.empty();
    else if (sType == "IMAGE")
        complete = status_Image == 0;
    else
        throw Rating_Error("There is no screening group \"" + sType + "\".");
    return complete ? "0" : "-1";
}

void Screen::Move_Defaults() {
    dflt_White_Metal = White_Metal;
    dflt_Precipitate = Precipitate;
    dflt_Silt = Silt;
    dflt_Odor = Odor;
    dflt_H2O_Free = H2O_Free;
    dflt_H2O_Emul = H2O_Emul;
    dflt_Dirt = Dirt;
    dflt_Debris = Debris;
    dflt_Babbitt = Babbitt;
    dflt_Appearance = Appearance;
    dflt_status_Image = 0;
}

void Screen::Get_Current_Results() {
    wasViewed = true;
    if (!Is_Numeric(Lab_Id)) return;
    std::string sql =
        "exec lab.dbo.tgrp_query @testgroup = 'SCREEN', @labid = " + SQL_Number(Lab_Id, "The lab id") + ", " +
        "@labcode = '" + SQL_Escape(Trim(Lab_Code)) + "', " + "@status = 'READY', " + "@histories = 'N'";
    db::Record_Set rs = db::Open_Checked(db_, sql, "the screening results");
    if (rs.Eof()) return;
    // Status numbers are converted before anything is stored, so a bad one changes nothing.
    auto number = [&](const char* name, int16_t current) {
        db::Field f = db::Optional_Field(rs, name);
        return f ? To_Int16(*f) : current;
    };
    int16_t image = number("STATUS_IMAGE", status_Image);
    int16_t visual = number("STATUS_VISUAL", status_Visual);
    int16_t spat = number("STATUS_SPAT", status_Spat);
    for (const char* name : {"APPEARANCE", "BABBITT", "DEBRIS", "DIRT", "H2O_EMUL", "H2O_FREE", "ODOR",
                             "PRECIPITATE", "SILT", "WHITE_METAL"}) {
        if (db::Field f = db::Optional_Field(rs, name)) *Field(name) = *f;
    }
    status_Image = image;
    status_Visual = visual;
    status_Spat = spat;
}

bool Screen::Save_Screen(const std::optional<std::string>& Emp_Num,
                         const std::optional<std::string>& Station) {
    std::string station = Station.value_or("");
    if (station.empty() || Is_Numeric(station)) station = "SCREENING";
    if (!isChanged()) return false;

    bool answered = false;
    if (Lab_Id != "0") {
        std::string sql, visual, spat;
        const bool action = !Test_Action.empty();
        if (action) {
            sql = "exec lab.dbo.labtrack_testaction " + std::string("@empnum = ") +
                  SQL_Number(Emp_Num.value_or(""), "The employee number") + ", " + "@labId = '" +
                  SQL_Escape(Trim(Lab_Id)) + "', " + "@testgrp = 'SCREEN', " + "@testAction = '" +
                  SQL_Escape(Trim(Test_Action)) + "'";
        } else {
            visual = Get_Field_Status("VISUAL");
            spat = Get_Field_Status("SPAT");
            std::string image = Get_Field_Status("IMAGE");
            std::string completed = (visual != "-1" && spat != "-1" && image != "-1") ? "'Y'" : "'N'";
            auto q = [](const std::string& v) { return SQL_Quote(Trim(v), "null"); };
            sql = "exec lab.dbo.tgrp_Screen_upd " + std::string("@labid = ") +
                  SQL_Number(Lab_Id, "The lab id") + ", " + "@saveaction = 'UPDATE', " +
                  "@testgroup = 'SCREEN', " + "@white_metal = " + q(White_Metal) + ", " +
                  "@babbitt = " + q(Babbitt) + ", " + "@precipitate = " + q(Precipitate) + ", " +
                  "@silt = " + q(Silt) + ", " + "@debris = " + q(Debris) + ", " + "@dirt = " + q(Dirt) +
                  ", " + "@appearance = " + q(Appearance) + ", " + "@odor = " + q(Odor) + ", " +
                  "@h2o_emul = " + q(H2O_Emul) + ", " + "@h2o_free = " + q(H2O_Free) + ", " +
                  "@completed = " + completed + ", " + "@runno = " + To_Text(static_cast<long long>(Run_No)) +
                  ", " + "@status_visual = " + visual + ", " + "@status_spat = " + spat + ", " +
                  "@status_image = " + image;
        }
        db::Record_Set rs = db::Open_Checked(db_, sql, "the screening save");
        answered = true;
        if (!rs.Eof()) {
            Status = Trim(db::Optional_Field(rs, "LAB_STATUS").value_or(Status));
            Priority = Trim(db::Optional_Field(rs, "SAMPLE_PRIORITY").value_or(Priority));
            if (Status == "PENDING") Status = "DONE";
            // A test action leaves the server's status alone: no group was rated.
            const std::string& group = station == "SPAT"     ? spat
                                       : station == "VISUAL" ? visual
                                                             : std::string();
            if (!action && !group.empty() && Try_Double(group) == 0.0) Status = "DONE";
        }
        Move_Defaults();
    }
    Edited = false;
    wasViewed = false;
    return answered;
}

} // namespace pcs
