#include "common/sql.h"
#include "records/weights.h"
#include "records_fixture.h"

using namespace pcs;
using namespace pcs::test;

namespace {

struct WeightsTest : Records_Fixture {
    Weights rec{db, g, alerts};
    WeightsTest() {
        rec.Lab_Id = " 5001 ";
        rec.Run_No = 1;
        g.Test_Code = "KF";
    }
};

} // namespace

TEST_F(WeightsTest, EnteredWeights) {
    EXPECT_TRUE(rec.Weight_Assigned(std::string("  7.25g ")));
    EXPECT_EQ(rec.Weight, "7.25");
    EXPECT_TRUE(rec.Weight_Assigned(std::string("12.5 g")));
    EXPECT_EQ(rec.Weight, "12.5");
    EXPECT_TRUE(rec.Weight_Assigned(std::string("3 G")));
    EXPECT_EQ(rec.Weight, "3");
    EXPECT_FALSE(rec.Weight_Assigned(std::string("abc")));
    EXPECT_FALSE(rec.Weight_Assigned(std::string("abcg")));
    EXPECT_FALSE(rec.Weight_Assigned(std::nullopt));
    EXPECT_EQ(rec.Weight, "3");
    EXPECT_TRUE(alerts.Alerts.empty());
    EXPECT_FALSE(rec.Weight_Assigned(std::string("0")));
    EXPECT_FALSE(rec.Weight_Assigned(std::string("-2 g")));
    EXPECT_EQ(alerts.Alerts, (std::vector<std::string>(2, "A negative weight value is not a valid")));
    EXPECT_TRUE(rec.Weight_Assigned(std::string("")));
    EXPECT_EQ(rec.Weight, "");
}

TEST_F(WeightsTest, SaveTextsAndTheStatementForm) {
    rec.Weight_Assigned(std::string("123.456"));
    EXPECT_TRUE(rec.Save_Weight());
    ASSERT_EQ(backend.Statements.size(), 2u);
    EXPECT_EQ(backend.Statements[0],
              "update lab.dbo.testgroup_kf set    weight =  '123.4'  where  lab_id = 5001 "
              "and    run_no = 1 and    date_completed is null ");
    EXPECT_EQ(backend.Statements[1],
              "update lab.dbo.lab_tracking set    weight =  '123.4'  where  lab_id = 5001 "
              "and    test_group = 'KF' and    status = 'READY' and    isNumeric(weight) = 0 ");
    EXPECT_EQ(rec.Status, "DONE");
    EXPECT_EQ(rec.Weight, " '123.4' ");
    EXPECT_EQ(rec.dflt_Weight, rec.Weight);

    backend.Statements.clear();
    EXPECT_FALSE(rec.Save_Weight());
    EXPECT_TRUE(backend.Statements.empty());

    rec.Weight_Assigned(std::string(""));
    EXPECT_TRUE(rec.Save_Weight());
    EXPECT_NE(backend.Statements[0].find("set    weight =  null  where"), std::string::npos);
    EXPECT_EQ(rec.Status, "READY");
}

TEST_F(WeightsTest, TableSuffixes) {
    EXPECT_EQ(Weights::Table_Suffix("tan auto"), "tanauto");
    EXPECT_EQ(Weights::Table_Suffix("Tan Man"), "tanman");
    EXPECT_EQ(Weights::Table_Suffix("tbn"), "tbn");
    EXPECT_EQ(Weights::Table_Suffix("SpecGravity"), "SpecGravity");
    EXPECT_EQ(Weights::Table_Suffix("PrtCount"), "");
    g.Test_Code = "tan auto";
    rec.Weight_Assigned(std::string("2"));
    EXPECT_TRUE(rec.Save_Weight());
    EXPECT_EQ(backend.Statements[0].substr(0, 34), "update lab.dbo.testgroup_tanauto s");
    EXPECT_NE(backend.Statements[1].find("test_group = 'tan auto' "), std::string::npos);
}

TEST_F(WeightsTest, UnsavedWeightsKeepTheEnteredValueForARetry) {
    g.Test_Code = "PrtCount";
    rec.Weight_Assigned(std::string("7.25"));
    EXPECT_FALSE(rec.Save_Weight());
    EXPECT_TRUE(backend.Statements.empty());
    EXPECT_EQ(rec.Weight, "7.25");

    g.Test_Code = "KF";
    backend.Queue.push_back(Answer_Script::No_Rows());
    backend.Queue.push_back(Failed());
    EXPECT_FALSE(rec.Save_Weight());
    EXPECT_EQ(backend.Statements.size(), 2u);
    EXPECT_EQ(rec.Weight, "7.25");
    EXPECT_EQ(rec.dflt_Weight, "");
    EXPECT_EQ(rec.Status, "");

    backend.Statements.clear();
    backend.Queue.push_back(Failed());
    EXPECT_FALSE(rec.Save_Weight());
    EXPECT_EQ(backend.Statements.size(), 1u); // the second update is not sent

    EXPECT_TRUE(rec.Save_Weight());
    EXPECT_NE(backend.Statements.back().find("weight =  '7.25' "), std::string::npos);
}

TEST_F(WeightsTest, ALabIdThatIsNotANumberSendsNothing) {
    rec.Lab_Id = "1 or 1=1";
    rec.Weight_Assigned(std::string("2"));
    EXPECT_THROW(rec.Save_Weight(), Sql_Value_Error);
    EXPECT_TRUE(backend.Statements.empty());
    EXPECT_EQ(rec.Weight, "2");
    EXPECT_EQ(rec.Rating_Strings("ODOR"), "");
    EXPECT_EQ(rec.Field_Value_Get("ODOR"), 0);
}
