#include "counter/count_report.h"

#include <gtest/gtest.h>

using namespace pcs;

namespace {

const std::string Example =
    "!LPR1,00:00:28.76,BP,RP,GP,LP,8,C,2.00,5.00,15.00,25.00,50.00,100.00,100.00,100.00,"
    "4446,908,51,13,0,0,0,0,20.00,03/26/04,12:05:03,LAB.TECH,22222222,CHECK,,ISO Code: 13/9,";

// A report line with the given counts (channels 1 to 6), volume and code field.
std::string Line(const std::string& counts, const std::string& volume, const std::string& code) {
    return "!LPR1,00:00:28.76,BP,RP,GP,LP,8,C,2.00,5.00,15.00,25.00,50.00,100.00,100.00,100.00," + counts +
           ",0,0," + volume + ",03/26/04,12:05:03,LAB.TECH,22222222,01100663,," + code + ",";
}

} // namespace

TEST(CountReport, ExampleLineUsesTheCountersTwoNumberCode) {
    auto p = Parse_Count_Report("!S\r" + Example + "\r", Run_Kind::Check);
    const Count_Report& r = p.Report;
    EXPECT_TRUE(r.Counter_Code);
    EXPECT_EQ(r.Code_Text, "13/9");
    EXPECT_EQ(r.Code_2, "13");
    EXPECT_EQ(r.Code_5, "9");
    EXPECT_EQ(r.Code_15, "");
    EXPECT_FALSE(r.Invalid) << r.Invalid_Reason;
    EXPECT_EQ(r.Volume, 20);
    EXPECT_EQ(r.Value, (std::array<int32_t, 6>{4446, 908, 51, 13, 0, 0}));
    EXPECT_EQ(r.Value_7, 0);
    EXPECT_EQ(p.Station_Mode, "CHECK");
    EXPECT_EQ(Per_mL_Values(r), (std::array<int32_t, 6>{222, 45, 3, 1, 0, 0}));
}

TEST(CountReport, LogLineMovesTheLineEndInFrontOfTheLastComma) {
    auto p = Parse_Count_Report("!S\r" + Example + "\r", Run_Kind::Sample);
    EXPECT_EQ(p.Log_Line, "\r" + Example.substr(0, Example.size() - 1) + "\r,");
    EXPECT_EQ(Parse_Count_Report(Example, Run_Kind::Sample).Log_Line, Example);
    EXPECT_EQ(Parse_Count_Report(Example, Run_Kind::Sample).Station_Mode, "");
    EXPECT_EQ(Rebuild_Log_Line({"abc"}), "abc,");
}

TEST(CountReport, CounterCodesAreSplitAndNormalised) {
    auto codes = [](const std::string& code) {
        auto r = Parse_Count_Report(Line("4446,908,51,13,0,0", "20.00", code), Run_Kind::Sample).Report;
        return r.Code_2 + "|" + r.Code_5 + "|" + r.Code_15 + (r.Invalid ? "|invalid" : "");
    };
    EXPECT_EQ(codes("ISO Code: 18/16/13/9"), "18|13|9");
    EXPECT_EQ(codes("ISO Code: 15/13/8"), "15|13|8");
    EXPECT_EQ(codes("ISO Code: 13.0/ 9/8.5"), "13|9|8");
    EXPECT_EQ(codes("ISO Code: 2/1/0"), "2|1|0|invalid");
    EXPECT_EQ(codes("ISO Code: 2/1/3"), "2|1|3");
    EXPECT_EQ(codes("ISO Code: 2/1"), "2|1|");  // a code that is not a number is never invalid
    EXPECT_EQ(codes("ISO:17/15"), "SO:17|15|"); // without ": " the text starts at the second character
}

TEST(CountReport, LineEndAfterTheCodeIsNotPartOfIt) {
    std::string line = Line("4446,908,51,13,0,0", "20.00", "ISO Code: 15/13/8");
    line.back() = '\r'; // the final "," is missing
    auto r = Parse_Count_Report("!S\r" + line, Run_Kind::Sample).Report;
    EXPECT_EQ(r.Code_Text, "15/13/8");
    EXPECT_EQ(r.Code_15, "8");
    EXPECT_FALSE(r.Invalid);
}

TEST(CountReport, TheLastFieldWithIsoIsTheCode) {
    std::string line = Line("4446,908,51,13,0,0", "20.00", "ISO Code: 21/19/16,ISO Code: 16/14/11");
    auto r = Parse_Count_Report(line, Run_Kind::Sample).Report;
    EXPECT_EQ(r.Code_Text, "16/14/11");
}

TEST(CountReport, WithoutACodeFieldTheCodesAreComputed) {
    auto r = Parse_Count_Report(Line("4446,908,51,13,0,0", "20.00", ""), Run_Kind::Sample).Report;
    EXPECT_FALSE(r.Counter_Code);
    EXPECT_EQ(r.Code_Text, "15/13/8");
    EXPECT_FALSE(r.Invalid);
}

TEST(CountReport, ComputedCodeOfAnEmptyChannelIsAnInvalidCount) {
    auto r = Parse_Count_Report(Line("4446,908,0,0,0,0", "20.00", ""), Run_Kind::Sample).Report;
    EXPECT_TRUE(r.Invalid);
    EXPECT_NE(r.Invalid_Reason.find("channel 3"), std::string::npos);
}

TEST(CountReport, SixthChannelNeedsTenPerMlInTheFifth) {
    EXPECT_EQ(Parse_Count_Report(Line("9000,800,70,30,199,55", "20", "ISO Code: 20/17/13"), Run_Kind::Sample)
                  .Report.Value[5],
              0);
    EXPECT_EQ(Parse_Count_Report(Line("9000,800,70,30,200,55", "20", "ISO Code: 20/17/13"), Run_Kind::Sample)
                  .Report.Value[5],
              55);
    // An unused sixth channel is not read at all.
    EXPECT_FALSE(
        Parse_Count_Report(Line("9000,800,70,30,1,junk", "20", "ISO Code: 20/17/13"), Run_Kind::Sample)
            .Report.Invalid);
}

TEST(CountReport, CountsBeyond16BitsAreKept) {
    auto r = Parse_Count_Report(Line("166655,221860,3120,611,204,17", "20.00", "ISO Code: 25/18"),
                                Run_Kind::Sample)
                 .Report;
    EXPECT_FALSE(r.Invalid);
    EXPECT_EQ(r.Value[0], 166655);
    EXPECT_EQ(r.Value[1], 221860);
}

TEST(CountReport, BadVolumesAreInvalidCountsNotDivisions) {
    for (const char* v : {"0", "0.4", "", "abc", "-20", "99999"}) {
        auto r =
            Parse_Count_Report(Line("4446,908,51,13,0,0", v, "ISO Code: 15/13/8"), Run_Kind::Sample).Report;
        EXPECT_TRUE(r.Invalid) << v;
        EXPECT_NE(r.Invalid_Reason.find("volume"), std::string::npos) << v;
        EXPECT_EQ(Per_mL_Values(r), (std::array<int32_t, 6>{})) << v;
    }
    EXPECT_EQ(Parse_Count_Report(Line("4446,908,51,13,0,0", "20.5", "ISO Code: 15/13/8"), Run_Kind::Sample)
                  .Report.Volume,
              20);
}

TEST(CountReport, BrokenReportsGiveAReasonAndNeverThrow) {
    const std::string cases[] = {"",
                                 "!S\r",
                                 "no commas at all",
                                 "!LPR1,00:00:28.76,BP,RP",
                                 Line("4446,abc,51,13,0,0", "20", "ISO Code: 15/13/8"),
                                 Line("99999999999,908,51,13,0,0", "20", "ISO Code: 15/13/8"),
                                 Line("-5,908,51,13,0,0", "20", "ISO Code: 15/13/8"),
                                 Line("4446,908,51,13,0,0", "20", "ISO Code: \x01\xff/\x80"),
                                 std::string("\0\0,\xff,ISO", 8)};
    for (const auto& c : cases) {
        Report_Parse p;
        ASSERT_NO_THROW(p = Parse_Count_Report(c, Run_Kind::Sample)) << c;
        EXPECT_TRUE(p.Report.Invalid) << c;
        EXPECT_FALSE(p.Report.Invalid_Reason.empty()) << c;
    }
}

// Noise ahead of the report (a broken earlier report, stray fields) must not shift its fields into a
// plausible but wrong count; a report whose tag stays in field 0 keeps every field as it came.
TEST(CountReport, NoiseAheadOfTheReportNeverShiftsItsFields) {
    const std::string report = Line("221860,66655,3120,611,204,17", "20.00", "ISO Code: 19/14");
    Report_Parse clean = Parse_Count_Report("!S\r" + report + "\r\n", Run_Kind::Sample);
    for (const std::string& noise :
         std::vector<std::string>{"!S\r~,~,~,~\r", "!S\r!LPR1,00:00:14.02,BP\r", "~~\r!S\r,"}) {
        Report_Parse p = Parse_Count_Report(noise + report + "\r\n", Run_Kind::Sample);
        EXPECT_FALSE(p.Report.Invalid) << p.Report.Invalid_Reason;
        EXPECT_EQ(p.Report.Code_Text, "19/14");
        EXPECT_EQ(p.Report.Volume, 20);
        EXPECT_EQ(p.Report.Value, clean.Report.Value);
        EXPECT_EQ(p.Log_Line, report.substr(0, report.size() - 1) + "\r\n,");
    }
    // Noise without a comma stays in field 0, in the log as it came.
    EXPECT_EQ(Parse_Count_Report("~\r" + report, Run_Kind::Sample).Log_Line, "~\r" + report);
}

TEST(IsoCode, RangeNumbersOfTheStationsTable) {
    EXPECT_EQ(Get_ISO_Code("4446", "20"), "15");
    EXPECT_EQ(Get_ISO_Code("908", "20"), "13");
    EXPECT_EQ(Get_ISO_Code("51", "20"), "8");
    EXPECT_EQ(Get_ISO_Code("10", "20"), "7"); // 0.5 rounds to 0
    EXPECT_EQ(Get_ISO_Code("30", "20"), "8"); // 1.5 rounds to 2
    EXPECT_EQ(Get_ISO_Code("80", "20"), "9"); // 4 alone
    EXPECT_EQ(Get_ISO_Code("100", "20"), "10");
    EXPECT_EQ(Get_ISO_Code("0", "20"), "");
    EXPECT_EQ(Get_ISO_Code("6400000", "20"), "25");
    EXPECT_EQ(Get_ISO_Code("6400020", "20"), "");
    EXPECT_EQ(Get_ISO_Code("221860", "20"), "21");
    EXPECT_EQ(Get_ISO_Code("1e300", "1e-300"), "");
    EXPECT_EQ(Get_ISO_Code("x", "20"), "");
    EXPECT_EQ(Get_ISO_Code("20", "0"), "");
}

TEST(IsoCode, StationsTableFollowsTheStandardOneFromCode10Up) {
    // Whole counts at and just past each bound: both codings agree there, and only below 10 per mL
    // does the station keep its own bounds (3 gives 8, 5 gives 10).
    for (int code = 10; code <= 28; ++code) {
        double bound = Iso_Code_Upper_Bound[static_cast<size_t>(code)];
        EXPECT_EQ(Whole_Count_Range_Number(bound), code) << bound;
        EXPECT_EQ(Standard_ISO_Code(bound, 100), std::to_string(code)) << bound;
        EXPECT_EQ(Whole_Count_Range_Number(bound + 1), code + 1) << bound;
    }
    EXPECT_EQ(Whole_Count_Range_Number(3), 8);
    EXPECT_EQ(Whole_Count_Range_Number(5), 10);
    EXPECT_EQ(Standard_ISO_Code(5, 100), "9");
}

TEST(IsoCode, StandardTableOnUnroundedValues) {
    EXPECT_EQ(Standard_ISO_Code(222.3, 4446), "15");
    EXPECT_EQ(Standard_ISO_Code(160, 3200), "14"); // the upper bound belongs to the code
    EXPECT_EQ(Standard_ISO_Code(160.01, 3201), "15");
    EXPECT_EQ(Standard_ISO_Code(2.55, 51), "9"); // the station's table gives 8 here
    EXPECT_EQ(Standard_ISO_Code(0.65, 13), "\xE2\x89\xA5"
                                           "7");
    EXPECT_EQ(Standard_ISO_Code(0, 0), "\xE2\x89\xA5"
                                       "0");
    EXPECT_EQ(Standard_ISO_Code(2500000.5, 50000010), ">28");
}

TEST(Dilution, SamplesAreScaledChecksAndFlushesAreNot) {
    auto r =
        Parse_Count_Report(Line("4446,908,51,13,0,0", "20", "ISO Code: 15/13/8"), Run_Kind::Sample).Report;
    ASSERT_TRUE(Scale_For_Dilution(r));
    EXPECT_EQ(r.Value[0], 44460);
    for (const char* id : {"01100663", "SINGLE", "check", "FLUSH"}) {
        pcs::Run run = Run::From_Id(id);
        run.Dilution_Flag = true;
        EXPECT_EQ(run.Scaled_By_Dilution(), id == std::string("01100663") || id == std::string("SINGLE"))
            << id;
    }
    Count_Report big;
    big.Value[2] = 300000000;
    EXPECT_FALSE(Scale_For_Dilution(big));
    EXPECT_EQ(big.Value[2], 300000000);
}
