#include "common/text_file.h"
#include "counter/report_processing.h"
#include "support/fake_ports.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

using namespace pcs;

namespace {

struct Logs : ::testing::Test {
    test::Temp_Dir tmp;
    std::filesystem::path dir = tmp.Path();
    test::Recording_Alerts alerts;
    Globals g;
};

const std::string Report =
    "!S\r!LPR1,00:00:28.76,BP,RP,GP,LP,8,C,2.00,5.00,15.00,25.00,50.00,100.00,100.00,100.00,"
    "4446,908,51,13,0,0,0,0,20.00,03/26/04,12:05:03,LAB.TECH,22222222,CHECK,,ISO Code: 13/9,\r";

} // namespace

TEST_F(Logs, NewLogStartsWithAnEmptyLineThenRows) {
    Count_Logs logs(dir, alerts);
    logs.Log_Active_Count("a,b,");
    logs.Log_Active_Count("");
    logs.Log_Active_Count("c,d,");
    EXPECT_EQ(Read_File(dir / "PC_Active.csv"), "\r\na,b,\r\nc,d,\r\n");
    logs.Log_Check_Standard(true, "p,");
    logs.Log_Check_Standard(false, "f,");
    EXPECT_EQ(Read_File(dir / "PC_STD_Passed.csv"), "\r\np,\r\n");
    EXPECT_EQ(Read_File(dir / "PC_STD_Error.csv"), "\r\nf,\r\n");
    EXPECT_TRUE(alerts.Alerts.empty());
}

TEST_F(Logs, UnwritableLogIsReportedAndProcessingGoesOn) {
    std::filesystem::create_directories(dir / "PC_Active.csv"); // a folder where the file should be
    Count_Logs logs(dir, alerts);
    auto p = Begin_Processing(Report, Run::Of_Kind(Run_Kind::Check), g, logs, alerts);
    ASSERT_EQ(alerts.Alerts.size(), 1u);
    EXPECT_EQ(alerts.Alerts[0], "Could not create PC active log file");
    EXPECT_EQ(p.Report.Code_Text, "13/9");
}

TEST_F(Logs, ProcessingLogsEveryReportUnlessDebugging) {
    Count_Logs logs(dir, alerts);
    const pcs::Run sample = Run::Of_Sample("01100663");
    EXPECT_FALSE(Begin_Processing(Report, sample, g, logs, alerts).Report.Invalid);
    // The counter's line with the station's run in its empty field 30, so the log says what was run.
    const std::string row = "\r!LPR1,00:00:28.76,BP,RP,GP,LP,8,C,2.00,5.00,15.00,25.00,50.00,100.00,100.00,"
                            "100.00,4446,908,51,13,0,0,0,0,20.00,03/26/04,12:05:03,LAB.TECH,22222222,CHECK,"
                            "01100663,ISO Code: 13/9\r,";
    EXPECT_EQ(Read_File(dir / "PC_Active.csv"), "\r\n" + row + "\r\n");
    g.Debug_Mode = true;
    Begin_Processing(Report, sample, g, logs, alerts);
    EXPECT_EQ(Read_File(dir / "PC_Active.csv"), "\r\n" + row + "\r\n");
    // A line that ends before field 30 is logged as it came.
    g.Debug_Mode = false;
    Begin_Processing("!LPR1,1,2,3,", sample, g, logs, alerts);
    EXPECT_EQ(Read_File(dir / "PC_Active.csv"), "\r\n" + row + "\r\n!LPR1,1,2,3,\r\n");
}

TEST_F(Logs, InvalidCountShowsItsMessage) {
    Count_Logs logs(dir, alerts);
    auto p = Begin_Processing("!S\r!LPR1,1,2,3,", Run::Of_Sample("01100663"), g, logs, alerts);
    EXPECT_TRUE(p.Report.Invalid);
    ASSERT_EQ(alerts.Alerts.size(), 1u);
    EXPECT_EQ(alerts.Alerts[0], "An invalid count was generated.");
    EXPECT_TRUE(std::filesystem::exists(dir / "PC_Active.csv")); // logged all the same
}
