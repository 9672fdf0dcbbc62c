#include "common/sql.h"
#include "common/text.h"
#include "db/statement_error.h"
#include "records/pqm_fdm.h"
#include "records/screen.h"
#include "records_fixture.h"

using namespace pcs;
using namespace pcs::test;

namespace {

struct ScreenTest : Records_Fixture {
    Screen rec{db};
    ScreenTest() {
        rec.Lab_Id = "5001";
        rec.Lab_Code = "VOLMAR";
        rec.Run_No = 2;
    }
    void Rate_All() {
        rec.SetValues("VISUAL", true);
        rec.White_Metal = "LTMOD";
        rec.Field_Value_Set("H2OFREE", 6);
        rec.SetValues("WATER", true);
    }
};

} // namespace

TEST_F(ScreenTest, ScalesAndAliases) {
    EXPECT_EQ(rec.Insert_Code, "Default test package");
    EXPECT_FALSE(rec.isChanged());
    EXPECT_EQ(rec.Rating_Strings("APPEARANCE"), "NORML~LAYRD~MILKY~HAZY~GLYCL");
    EXPECT_EQ(rec.Rating_Strings("ODOR"), "NORML~AMMON~BURNT~FREON~SOLVT~OTHER");
    EXPECT_EQ(rec.Rating_Strings("WATER"), "NEG~0.1%~0.5%~1.0%~2.0%~5.0%~>10%");
    EXPECT_EQ(rec.Rating_Strings("H2O FREE"), rec.Rating_Strings("WATER"));
    EXPECT_EQ(rec.Rating_Strings("H2O_FREE"), "NONE~VLITE~LIGHT~LTMOD~MODER~MDHVY~HEAVY");
    EXPECT_EQ(rec.Rating_Strings("odor"), rec.Rating_Strings(""));

    rec.White_Metal = "LTMOD";
    EXPECT_EQ(rec.Field_Value_Get("white metal"), 3);
    rec.White_Metal = "";
    EXPECT_EQ(rec.Field_Value_Get("WhiteMetal"), 0);
    rec.Field_Value_Set("H2OFREE", 6);
    EXPECT_EQ(rec.H2O_Free, ">10%");
    EXPECT_EQ(rec.Field_Value_Get("H2O_FREE"), 6);
    rec.Field_Value_Set("yellow_metal", 1);
    EXPECT_EQ(rec.Babbitt, "VLITE");
    rec.Field_Value_Set("colour", 1);
    EXPECT_THROW(rec.Field_Value_Set("ODOR", 6), Rating_Error);
    EXPECT_THROW(rec.Field_Value_Set("ODOR", -1), Rating_Error);
    EXPECT_EQ(rec.Odor, "");
    EXPECT_EQ(rec.Field_Value_Get("colour"), 0);

    EXPECT_EQ(rec.Get_Rating_String("ODOR"), "");
    rec.Odor = "BURNT";
    EXPECT_EQ(rec.Get_Rating_String("ODOR"), "BURNT");
    // The field's own scale, whatever its alias: free water reads as a water word.
    EXPECT_EQ(rec.Get_Rating_String("H2O_FREE"), ">10%");
    EXPECT_EQ(rec.Get_Rating_String("colour"), "");
}

TEST_F(ScreenTest, SetValuesAndGroupStatus) {
    rec.SetValues("VISUAL", true);
    EXPECT_TRUE(rec.Edited);
    EXPECT_EQ(rec.Appearance, "NORML");
    EXPECT_EQ(rec.Silt, "NONE");
    EXPECT_EQ(rec.Get_Field_Status("VISUAL"), "-1"); // white metal is still unrated
    rec.White_Metal = "NONE";
    EXPECT_EQ(rec.Get_Field_Status("VISUAL"), "0");
    rec.SetValues("SPAT", true);
    EXPECT_EQ(rec.H2O_Emul, "NEG");
    EXPECT_EQ(rec.Get_Field_Status("SPAT"), "-1");
    EXPECT_EQ(rec.Get_Field_Status("IMAGE"), "0");
    rec.status_Image = 1;
    EXPECT_EQ(rec.Get_Field_Status("IMAGE"), "-1");
    EXPECT_THROW(rec.Get_Field_Status("OTHER"), Rating_Error);
    rec.SetValues("VISUAL", false);
    EXPECT_FALSE(rec.Edited);
    EXPECT_EQ(rec.Appearance, "");
    EXPECT_EQ(rec.White_Metal, "NONE");
    EXPECT_TRUE(rec.isChanged());
}

TEST_F(ScreenTest, CurrentResultsFillRatingsButNotDefaults) {
    backend.Queue.push_back(
        Row({"APPEARANCE", "ODOR", "SILT", "STATUS_IMAGE", "STATUS_VISUAL", "STATUS_SPAT"},
            {F("HAZY"), Null, F("TRACE"), F("1"), Null, F("0")}));
    rec.Odor = "BURNT";
    rec.Lab_Code = " VOL'MAR ";
    rec.Get_Current_Results();
    EXPECT_EQ(Last_Statement(), "exec lab.dbo.tgrp_query @testgroup = 'SCREEN', @labid = 5001, "
                                "@labcode = 'VOL''MAR', @status = 'READY', @histories = 'N'");
    EXPECT_TRUE(rec.wasViewed);
    EXPECT_EQ(rec.Appearance, "HAZY");
    EXPECT_EQ(rec.Odor, "BURNT");
    EXPECT_EQ(rec.Silt, "TRACE");
    EXPECT_EQ(rec.Get_Rating_String("SILT"), "TRACE");
    EXPECT_EQ(rec.status_Image, 1);
    EXPECT_EQ(rec.dflt_Appearance, "");
    EXPECT_TRUE(rec.isChanged());

    backend.Statements.clear();
    rec.Lab_Id = "abc";
    rec.wasViewed = false;
    rec.Get_Current_Results();
    EXPECT_TRUE(rec.wasViewed);
    EXPECT_TRUE(backend.Statements.empty());

    rec.Lab_Id = "5001";
    backend.Queue.push_back(Row({"STATUS_IMAGE"}, {F("99999")}));
    EXPECT_THROW(rec.Get_Current_Results(), Conversion_Error);
    EXPECT_EQ(rec.status_Image, 1);
    backend.Queue.push_back(Failed());
    EXPECT_THROW(rec.Get_Current_Results(), db::Statement_Failed_Error);
}

TEST_F(ScreenTest, SaveTextCompletedAndDefaultsMove) {
    Rate_All();
    backend.Queue.push_back(Row({"LAB_STATUS", "SAMPLE_PRIORITY"}, {F(" PENDING "), F(" RUSH ")}));
    EXPECT_TRUE(rec.Save_Screen(std::string("117"), std::nullopt));
    EXPECT_EQ(Last_Statement(),
              "exec lab.dbo.tgrp_Screen_upd @labid = 5001, @saveaction = 'UPDATE', @testgroup = 'SCREEN', "
              "@white_metal = 'LTMOD' , @babbitt = 'NONE' , @precipitate = 'NONE' , @silt = 'NONE' , "
              "@debris = 'NONE' , @dirt = 'NONE' , @appearance = 'NORML' , @odor = 'NORML' , "
              "@h2o_emul = 'NEG' , @h2o_free = '>10%' , @completed = 'Y', @runno = 2, @status_visual = 0, "
              "@status_spat = 0, @status_image = 0");
    EXPECT_EQ(rec.Status, "DONE");
    EXPECT_EQ(rec.Priority, "RUSH");
    EXPECT_FALSE(rec.isChanged());
    EXPECT_FALSE(rec.Edited);

    // Nothing changed since: nothing is sent.
    backend.Statements.clear();
    EXPECT_FALSE(rec.Save_Screen(std::string("117"), std::nullopt));
    EXPECT_TRUE(backend.Statements.empty());
}

TEST_F(ScreenTest, IncompleteSaveSendsNullsAndTheStationGroupDecidesDone) {
    rec.Odor = "O'DD";
    backend.Queue.push_back(Row({"LAB_STATUS", "SAMPLE_PRIORITY"}, {F("READY"), F("NORMAL")}));
    EXPECT_TRUE(rec.Save_Screen(std::string("117"), std::string("VISUAL")));
    EXPECT_NE(Last_Statement().find("@white_metal = null, @babbitt = null, "), std::string::npos);
    EXPECT_NE(Last_Statement().find("@odor = 'O''DD' , "), std::string::npos);
    EXPECT_NE(Last_Statement().find("@completed = 'N', "), std::string::npos);
    EXPECT_NE(Last_Statement().find("@status_visual = -1, @status_spat = -1, @status_image = 0"),
              std::string::npos);
    EXPECT_EQ(rec.Status, "READY");

    rec.H2O_Emul = "NEG";
    rec.H2O_Free = "NEG";
    backend.Queue.push_back(Row({"LAB_STATUS", "SAMPLE_PRIORITY"}, {F("READY"), F("NORMAL")}));
    EXPECT_TRUE(rec.Save_Screen(std::string("117"), std::string("SPAT")));
    EXPECT_EQ(rec.Status, "DONE");
}

TEST_F(ScreenTest, TestActionIsSentInsteadOfRatings) {
    rec.Odor = "BURNT";
    rec.Test_Action = " NO_SAMPLE ";
    backend.Queue.push_back(Row({"LAB_STATUS", "SAMPLE_PRIORITY"}, {F("CANCELLED"), F("RUSH")}));
    EXPECT_TRUE(rec.Save_Screen(std::string(" 117 "), std::string("SPAT")));
    EXPECT_EQ(Last_Statement(), "exec lab.dbo.labtrack_testaction @empnum = 117, @labId = '5001', "
                                "@testgrp = 'SCREEN', @testAction = 'NO_SAMPLE'");
    EXPECT_EQ(rec.Status, "CANCELLED");

    rec.Odor = "NORML";
    backend.Statements.clear();
    EXPECT_THROW(rec.Save_Screen(std::string("1; drop"), std::nullopt), Sql_Value_Error);
    EXPECT_TRUE(backend.Statements.empty());
    EXPECT_TRUE(rec.isChanged());
}

TEST_F(ScreenTest, NothingSentForLabIdZeroAndFailuresKeepTheChange) {
    rec.Lab_Id = "0";
    rec.Odor = "BURNT";
    rec.Edited = true;
    rec.wasViewed = true;
    EXPECT_FALSE(rec.Save_Screen(std::string("117"), std::nullopt));
    EXPECT_TRUE(backend.Statements.empty());
    EXPECT_TRUE(rec.isChanged());
    EXPECT_FALSE(rec.Edited);
    EXPECT_FALSE(rec.wasViewed);

    rec.Lab_Id = "5001 or 1=1";
    EXPECT_THROW(rec.Save_Screen(std::string("117"), std::nullopt), Sql_Value_Error);
    EXPECT_TRUE(backend.Statements.empty());

    rec.Lab_Id = "5001";
    rec.Status = "READY";
    backend.Queue.push_back(Failed());
    EXPECT_THROW(rec.Save_Screen(std::string("117"), std::nullopt), db::Statement_Failed_Error);
    EXPECT_TRUE(rec.isChanged());
    EXPECT_EQ(rec.Status, "READY");

    backend.Queue.push_back(Empty({"LAB_STATUS"}));
    EXPECT_TRUE(rec.Save_Screen(std::string("117"), std::nullopt));
    EXPECT_EQ(rec.Status, "READY");
    EXPECT_FALSE(rec.isChanged());
}

TEST(PqmFdm, OperationsLeaveTheRecordAlone) {
    PQM_FDM rec;
    rec.Lab_Id = "7";
    rec.Status = "READY";
    rec.Save_Results("7", 12);
    EXPECT_FALSE(rec.Remove_Sample("7", "X"));
    EXPECT_FALSE(rec.Redo_Sample("7", "Ann"));
    EXPECT_FALSE(rec.Get_PQM_History("7"));
    EXPECT_FALSE(rec.saveOk);
    EXPECT_EQ(rec.Lab_Id, "7");
    EXPECT_EQ(rec.Status, "READY");

    auto obj = std::make_shared<int>(3);
    rec.Result = obj;
    EXPECT_EQ(std::any_cast<std::shared_ptr<int>>(rec.Result), obj);
    rec.Result = 2.5;
    EXPECT_EQ(std::any_cast<double>(rec.Result), 2.5);
}
