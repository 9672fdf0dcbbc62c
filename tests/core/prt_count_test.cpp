#include "common/text.h"
#include "db/statement_error.h"
#include "records/prt_count.h"
#include "records_fixture.h"

using namespace pcs;
using namespace pcs::test;

namespace {

struct PrtCountTest : Records_Fixture {
    PrtCount rec{db, g, emp};
    PrtCountTest() {
        emp.Emp_Num = 117;
        emp.Full_name = " Ann Lee ";
    }
    void Save(const std::string& lab = " 0012345 ") {
        rec.Save_Results(lab, 117, F(" 25 "), F("1200"), F(" 300"), F("40 "), F("5"), F("1"), F("0"), F("0"),
                         "");
    }
};

Answer_Script Save_Answer(db::Field status, db::Field lab_id, db::Field run_no) {
    return Row({"STATUS", "LAB_ID", "LAB_CODE", "RUN_NO"}, {status, lab_id, F("VOLMAR"), run_no});
}

} // namespace

TEST_F(PrtCountTest, SaveTextAndAPendingAnswerCountsAsDone) {
    backend.Queue.push_back(Save_Answer(F(" PENDING "), F("5001"), F("3")));
    Save();
    EXPECT_EQ(Last_Statement(),
              "exec Lab.dbo.import_PC002 @labnumber = '0012345', @instrumentid = 'PC002', "
              "@filename = 'USER_INTERFACE', @labcode = 'VOLMAR', @method = 'ISO4406', @sampleVolume = '25', "
              "@factorVolume = 1, @pc2m = '1200', @pc5m = '300', @pc15m = '40', @pc25m = '5', @pc50m = '1', "
              "@pc100m = '0', @pc200m = '0', @empnum = 117, @test = 'N' ");
    EXPECT_TRUE(rec.saveOk);
    EXPECT_EQ(rec.Status, "DONE");
    EXPECT_EQ(rec.Lab_Id, "5001");
    EXPECT_EQ(rec.Lab_Code, "VOLMAR");
    EXPECT_EQ(rec.Run_No, 3);
}

TEST_F(PrtCountTest, OtherStatusesAndMissingRowsFail) {
    backend.Queue.push_back(Save_Answer(F("DONE"), F("5001"), F("3")));
    Save();
    backend.Queue.push_back(Save_Answer(F(" NOT_FOUND "), Null, Null));
    Save();
    EXPECT_FALSE(rec.saveOk);
    EXPECT_EQ(rec.Status, "NOT_FOUND");
    EXPECT_EQ(rec.Lab_Id, "5001");
    EXPECT_EQ(rec.Run_No, 3);

    rec.saveOk = true;
    rec.Status = "DONE";
    backend.Queue.push_back(Empty({"STATUS"}));
    Save();
    EXPECT_FALSE(rec.saveOk);
    EXPECT_EQ(rec.Status, "DONE");
    EXPECT_EQ(rec.Lab_Id, "5001");

    rec.saveOk = true;
    backend.Queue.push_back(Failed());
    EXPECT_THROW(Save(), db::Statement_Failed_Error);
    EXPECT_FALSE(rec.saveOk);
}

TEST_F(PrtCountTest, ARunNumberTooLargeDoesNotUndoATakenSave) {
    backend.Queue.push_back(Save_Answer(F("DONE"), F("5001"), F("70000")));
    Save();
    EXPECT_TRUE(rec.saveOk);
    EXPECT_EQ(rec.Status, "DONE");
    EXPECT_EQ(rec.Lab_Id, "5001");
    EXPECT_EQ(rec.Run_No, 0);
}

TEST_F(PrtCountTest, ATimedOutSaveIsSentOnceAndSaysItsOutcomeIsUnknown) {
    backend.Queue.push_back(Answer_Script::Timeout());
    backend.Queue.push_back(Save_Answer(F("DONE"), F("5001"), F("1")));
    EXPECT_THROW(Save(), Save_Outcome_Unknown);
    EXPECT_EQ(backend.Statements.size(), 1u);
    EXPECT_FALSE(rec.saveOk);
    EXPECT_EQ(db.Open_Retry_Count(), 0);

    // A lock timeout is the server's word that it never ran the statement: that one is sent again.
    backend.Queue.clear();
    backend.Statements.clear();
    backend.Queue.push_back(
        Answer_Script::Failure({{db::Timeout_Error_Number, "Lock request time out", "HYT00", 1222}}));
    backend.Queue.push_back(Save_Answer(F("DONE"), F("5001"), F("1")));
    Save();
    EXPECT_EQ(backend.Statements.size(), 2u);
    EXPECT_TRUE(rec.saveOk);
}

TEST_F(PrtCountTest, QuotesInTextsAreDoubled) {
    backend.Queue.push_back(Save_Answer(F("DONE"), F("1"), F("1")));
    rec.Save_Results("1'2", 117, F("2'5"), Null, F("1"), F("1"), F("1"), F("1"), F("1"), F("1"), "");
    EXPECT_NE(Last_Statement().find("@labnumber = '1''2', "), std::string::npos);
    EXPECT_NE(Last_Statement().find("@sampleVolume = '2''5', "), std::string::npos);
    EXPECT_NE(Last_Statement().find("@pc2m = '', "), std::string::npos);
}

TEST_F(PrtCountTest, RedoAndRemoveTexts) {
    backend.Queue.push_back(Row({"STATUS"}, {F(" READY ")}));
    EXPECT_TRUE(rec.Redo_Sample(" 0012345", "whoever"));
    EXPECT_EQ(Last_Statement(),
              "exec Lab.dbo.labtrack_inserttest  @labnumber = ' 0012345', @labcode = 'VOLMAR', "
              "@testgrp = 'PrtCount', @class = 'REDO', "
              "@comments = 'Test inserted by technician (Ann Lee)',@return_status = 'Y'");
    backend.Queue.push_back(Row({"STATUS"}, {F("DONE")}));
    EXPECT_FALSE(rec.Redo_Sample("1", ""));
    backend.Queue.push_back(Empty({"STATUS"}));
    EXPECT_FALSE(rec.Redo_Sample("1", ""));

    backend.Queue.push_back(Row({"LAB_STATUS"}, {F("DONE ")}));
    EXPECT_TRUE(rec.Remove_Sample("0012345 ", "HIGH_H2O"));
    EXPECT_EQ(Last_Statement(), "exec lab.dbo.labtrack_testaction @labnumber = '0012345 ', @empnum = 117, "
                                "@labcode = 'VOLMAR', @testgrp = 'PrtCount', @testaction = 'HIGH_H2O' ");
    backend.Queue.push_back(Row({"LAB_STATUS"}, {Null}));
    EXPECT_FALSE(rec.Remove_Sample("1", "TOO_DARK"));

    emp.Full_name = "O'Neil";
    backend.Queue.push_back(Row({"STATUS"}, {F("READY")}));
    rec.Redo_Sample("1", "");
    EXPECT_NE(Last_Statement().find("(O''Neil)'"), std::string::npos);
    backend.Queue.push_back(Row({"LAB_STATUS"}, {F("DONE")}));
    rec.Remove_Sample("1'", "x'");
    EXPECT_NE(Last_Statement().find("@labnumber = '1''', "), std::string::npos);
    EXPECT_NE(Last_Statement().find("@testaction = 'x''' "), std::string::npos);

    backend.Queue.push_back(Failed());
    EXPECT_THROW(rec.Remove_Sample("1", "TOO_DARK"), db::Statement_Failed_Error);
}

TEST_F(PrtCountTest, DebugModeSendsNothingAndSucceeds) {
    g.Debug_Mode = true;
    Save();
    EXPECT_TRUE(rec.saveOk);
    EXPECT_EQ(rec.Status, "DONE");
    EXPECT_EQ(rec.Lab_Code, "VOLMAR");
    EXPECT_TRUE(rec.Redo_Sample("1", ""));
    EXPECT_TRUE(rec.Remove_Sample("1", "TOO_DARK"));
    EXPECT_TRUE(backend.Statements.empty());
    EXPECT_TRUE(backend.Connect_Strings.empty());
}
