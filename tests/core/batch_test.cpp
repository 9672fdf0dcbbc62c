#include "common/sql.h"
#include "common/text.h"
#include "db/statement_error.h"
#include "lab/batch.h"
#include "records_fixture.h"

using namespace pcs;
using namespace pcs::test;

namespace {

struct BatchTest : Records_Fixture {
    Batch batch{db};
};

const std::vector<std::string> Batch_Columns = {"ERROR",     "DETAIL_ID", "BATCH_ID",    "POSITION",
                                                "SAMPLE_ID", "RUN_NO",    "SAMPLE_TYPE", "STATUS",
                                                "WEIGHT",    "EXTRA",     "PRIORITY"};

std::vector<db::Field> Batch_Row(const char* error, const char* position, db::Field sample_id) {
    return {F(error),      F("77"),    F("9"), F(position),       sample_id, F("1"),
            F(" SAMPLE "), F("READY"), Null,   F(" R12RID=310 "), F("RUSH")};
}

} // namespace

TEST_F(BatchTest, StatementQuotesTextsButNotTheBatchId) {
    backend.Responder = [](const std::string&) { return Empty(Batch_Columns); };
    batch.Get_Batch_Samples(std::nullopt, " PC002 ", "VOLMAR", "PrtCount");
    EXPECT_EQ(Last_Statement(), "exec labrack.dbo.get_batch_samples @batch_id = null, @lab_code = 'VOLMAR', "
                                "@instrument_id = 'PC002', @test_group = 'PrtCount'");
    batch.Get_Batch_Samples(std::string("abc"), "PC'2", "VOLMAR", "PrtCount");
    EXPECT_EQ(Last_Statement(), "exec labrack.dbo.get_batch_samples @batch_id = null, @lab_code = 'VOLMAR', "
                                "@instrument_id = 'PC''2', @test_group = 'PrtCount'");
    batch.Get_Batch_Samples(std::string(""), "PC002", "VOLMAR", "PrtCount");
    EXPECT_NE(Last_Statement().find("@batch_id = null, "), std::string::npos);
    batch.Get_Batch_Samples(std::string(" 42 "), "PC002", "VOLMAR", "PrtCount");
    EXPECT_NE(Last_Statement().find("@batch_id = 42, "), std::string::npos);
}

TEST_F(BatchTest, RowsRebuildTheSamplesAndTheAnswerIsHandedBackFromItsFirstRow) {
    batch.Add_New_Batch_Sample(Null, F("1"), F(""), F(""), F(""), F(""), F(""), F(""), F(""), F(""));
    backend.Queue.push_back(Answer_Script::Rows_Of(Table{
        Batch_Columns,
        {Batch_Row("0", "3", F(" 0012345 ")), Batch_Row("1", "4", F("x")), Batch_Row("0", "5", Null)}}));
    db::Record_Set rs = batch.Get_Batch_Samples(std::nullopt, "PC002", "VOLMAR", "PrtCount");
    ASSERT_EQ(batch.Sample.size(), 2u);
    const Samples& s = batch.Sample_Item(1);
    EXPECT_EQ(s.Position, 3);
    EXPECT_EQ(s.Sample_ID, "0012345");
    EXPECT_EQ(s.Sample_Type, "SAMPLE");
    EXPECT_EQ(s.Weight, "");
    EXPECT_EQ(s.Extra, "R12RID=310");
    EXPECT_EQ(s.Priority, "RUSH");
    EXPECT_EQ(s.Detail_Id, "77");
    EXPECT_EQ(batch.Sample_Item(2).Sample_ID, "");
    EXPECT_EQ(batch.Sample_Item(2).Position, 5);

    ASSERT_FALSE(rs.Eof());
    EXPECT_EQ(rs.Text("POSITION"), "3");
    rs.Move_Next();
    rs.Move_Next();
    rs.Move_Next();
    EXPECT_TRUE(rs.Eof());
}

TEST_F(BatchTest, NoRowsKeepTheSamplesAndBadRowsRaise) {
    batch.Add_New_Batch_Sample(F("1"), F("1"), F("2"), F("S"), F("1"), F("T"), F(""), F(""), F(""), F("P"));
    backend.Queue.push_back(Empty(Batch_Columns));
    EXPECT_TRUE(batch.Get_Batch_Samples(std::nullopt, "PC002", "VOLMAR", "PrtCount").Eof());
    EXPECT_EQ(batch.Sample.size(), 1u);

    for (const char* bad : {"abc", "70000"}) {
        backend.Queue.push_back(Answer_Script::Rows_Of(
            Table{Batch_Columns, {Batch_Row("0", "1", F("a")), Batch_Row("0", bad, F("b"))}}));
        EXPECT_THROW(batch.Get_Batch_Samples(std::nullopt, "PC002", "VOLMAR", "PrtCount"), Conversion_Error);
        EXPECT_EQ(batch.Sample.size(), 1u);
    }
    backend.Queue.push_back(Failed());
    EXPECT_THROW(batch.Get_Batch_Samples(std::nullopt, "PC002", "VOLMAR", "PrtCount"),
                 db::Statement_Failed_Error);
    EXPECT_EQ(batch.Sample.size(), 1u);
    EXPECT_THROW(batch.Sample_Item(2), std::out_of_range);
}

TEST_F(BatchTest, TopUpEntriesAreEmpty) {
    for (int i = 1; i <= 3; ++i)
        batch.Add_New_Batch_Sample(F(""), std::to_string(i), F(""), F(""), F(""), F(""), F(""), F(""), F(""),
                                   F(""));
    ASSERT_EQ(batch.Sample.size(), 3u);
    EXPECT_EQ(batch.Sample_Item(3).Batch_Id, "3");
    EXPECT_EQ(batch.Sample_Item(3).Position, 0);
    EXPECT_EQ(batch.Sample_Item(3).Sample_ID, "");
    EXPECT_THROW(batch.Add_New_Batch_Sample(Null, Null, Null, Null, Null, Null, Null, Null, Null, Null),
                 db::Null_Field_Error);
}
