// The backend the station opens any connection string with, and the database's own ISO coding.

#include "any_backend.h"
#include "embedded_fixture.h"
#include "procedures.h"

#include "counter/count_report.h"

using namespace pcs;
using namespace pcs::test;

TEST(Routing, EmbeddedStringsOpenTheFileAndOthersGoToOdbc) {
    Temp_Dir folder;
    fs::path lab = Copy_Seeded(folder.Path());
    Any_Backend backend;
    db::Connect_Options o;
    auto c = backend.Connect("  embedded=" + lab.string() + ";", o);
    auto out = c->Execute("select count(*) as N from hadel.dbo.employees");
    ASSERT_TRUE(out.Ok);
    ASSERT_TRUE(out.Rows->Fetch());
    EXPECT_EQ(out.Rows->Value(0), "7");
    // Not an embedded string: the ODBC driver manager answers (here: no such data source).
    try {
        backend.Connect("DSN=PCS_NO_SUCH_SOURCE_FOR_TESTS", o);
        FAIL() << "connected to a data source that does not exist";
    } catch (const db::Connect_Error& e) {
        EXPECT_FALSE(Is_Embedded_Connect_String("DSN=PCS_NO_SUCH_SOURCE_FOR_TESTS"));
    }
    EXPECT_EQ(Fallback_Connect_String("/opt/pcstation"), "EMBEDDED=/opt/pcstation/lab.db");
}

TEST(Routing, DatabaseCodesCountsAsTheStationDoes) {
    EXPECT_EQ(Whole_Count_Range_Number(4446.0 / 20), 15);
    EXPECT_EQ(Whole_Count_Range_Number(908.0 / 20), 13);
    EXPECT_EQ(Whole_Count_Range_Number(51.0 / 20), 8); // 2.55 rounds to 3
    EXPECT_EQ(Whole_Count_Range_Number(10.0 / 20), 7); // 0.5 rounds to 0
    EXPECT_EQ(Whole_Count_Range_Number(30.0 / 20), 8); // 1.5 rounds to 2
    EXPECT_EQ(Whole_Count_Range_Number(4), 9);
    EXPECT_EQ(Whole_Count_Range_Number(221860.0 / 20), 21);
    EXPECT_EQ(Whole_Count_Range_Number(6400000.0 / 20), 25);
    EXPECT_EQ(Whole_Count_Range_Number(6400020.0 / 20), 26); // beyond the station's table, the scale goes on
}
