// The station's rules that need no database: the kind of run, the limits, the bath's tick and marks,
// the result table, the histogram's scale and the station settings.
#include "counter/count_validation.h"
#include "settings/settings.h"
#include "station/bath.h"
#include "station/histogram.h"
#include "station/result_table.h"
#include "station/station_settings.h"

#include <gtest/gtest.h>

#include <array>
#include <chrono>

using namespace pcs;
using namespace std::chrono_literals;

TEST(Run_Type, FlushDependsOnTheFiveMicronCodesOfTheLastCountAndTheHistory) {
    EXPECT_TRUE(Flush_Not_Needed("16/13/9", "14/12/10 ", 18));
    EXPECT_FALSE(Flush_Not_Needed("20/19/15", "17/15/12 ", 18));
    EXPECT_FALSE(Flush_Not_Needed("20/19/15", "No Hist ", 18)); // next taken as 17
    EXPECT_TRUE(Flush_Not_Needed("13/9", "16/14/12 ", 18));     // counter code: 13 is its 5 um code
    EXPECT_TRUE(Flush_Not_Needed("", "21/20/19 ", 18));         // nothing counted yet
    EXPECT_FALSE(Flush_Not_Needed("13", "16/14/12 ", 18));      // not a code
    EXPECT_FALSE(Flush_Not_Needed("16/13/9", "", 18));          // history unreadable: flush

    EXPECT_EQ(Get_History_Code(5, "16/13"), "16");
    EXPECT_EQ(Get_History_Code(15, "16/13"), "13");
    EXPECT_EQ(Get_History_Code(5, "18/9/13"), "9"); // one digit: the "/" after it is cut
    EXPECT_EQ(Get_History_Code(5, "18/16/13/9"), "");
    EXPECT_EQ(Get_History_Code(5, "/16"), "");
}

TEST(Run_Type, CheckIsDueAtTheIntervalAndAFlushGoesFirst) {
    EXPECT_EQ(Choose_Run_Type(15, 15, true).Kind, Run_Kind::Check);
    Run_Choice both = Choose_Run_Type(15, 15, false);
    EXPECT_EQ(both.Kind, Run_Kind::Flush);
    EXPECT_TRUE(both.Flush_Due);
    EXPECT_EQ(Choose_Run_Type(3, 15, true).Kind, Run_Kind::Sample);
    EXPECT_EQ(Choose_Run_Type(3, 15, false).Kind, Run_Kind::Flush);
    EXPECT_TRUE(Choose_Run_Type(16, 15, true).Flush_Due); // beyond the interval a flush is always due
}

TEST(Run_Type, LimitsPassAtTheLimitAndCodesThatAreNotNumbersPass) {
    Validation_Limits l;
    EXPECT_TRUE(Validate_Codes(Run_Kind::Check, "18", "15", "13", l));
    EXPECT_FALSE(Validate_Codes(Run_Kind::Check, "19", "15", "13", l));
    EXPECT_TRUE(Validate_Codes(Run_Kind::Check, "13", "9", "", l)); // a counter code of two numbers
    EXPECT_FALSE(Validate_Codes(Run_Kind::Flush, "18", "16", "13", l));
    l.ISO5_FLUSH = 16;
    EXPECT_TRUE(Validate_Codes(Run_Kind::Flush, "18", "16", "13", l));
    EXPECT_TRUE(Validate_Codes(Run_Kind::Sample, "21", "18", "500", l));

    EXPECT_EQ(
        Rerun_Question("R7 ", "15/13/8", "16/14/11 "),
        "R7\r\n\r\nCurrent count is [15/13/8], history is [16/14/11].  Do you want to rerun the sample?");
}

TEST(Bath, TickShakesThenCountsDownThenStarts) {
    std::array<Bath_Slot, Bath_Slot_Count> slots{};
    Time_Point t0 = Time_Point{} + 1000000s + 400ms;
    slots[3].Lab_Number = "01100663 ";
    slots[3].Added_At = t0;
    slots[3].Ready_By = t0 + 300s;
    slots[3].Ready_At = "deadline";
    // A reloaded slot keeps its priority in Ready_At and is ready already.
    slots[4].Lab_Number = "01100664 ";
    slots[4].State_Text = "START";
    slots[4].Ready_At = "NORMAL";

    EXPECT_TRUE(Bath_Tick(slots, t0, 60));
    EXPECT_EQ(slots[3].State_Text, "SHAKE");
    EXPECT_FALSE(Bath_Tick(slots, t0 + 59s, 60));
    Bath_Tick(slots, t0 + 60s, 60);
    EXPECT_EQ(slots[3].State_Text, "240");
    Bath_Tick(slots, t0 + 299s, 60);
    EXPECT_EQ(slots[3].State_Text, "1");
    EXPECT_EQ(slots[3].Ready_Slot, "");
    Bath_Tick(slots, t0 + 300s, 60);
    EXPECT_EQ(slots[3].State_Text, "START");
    EXPECT_EQ(slots[3].Ready_Slot, "3");
    EXPECT_FALSE(Bath_Tick(slots, t0 + 900s, 60));
    EXPECT_EQ(slots[4].State_Text, "START");
    EXPECT_TRUE(slots[0].State_Text.empty());
}

TEST(Bath, HistoryColoursMarksAndPictures) {
    auto colour = [](const char* i5, const char* i15) { return History_Colour(i5, i15, 18, 999).Back; };
    EXPECT_EQ(colour("15", "12"), History_Green);
    EXPECT_EQ(colour("20", "18"), History_Red);
    EXPECT_EQ(History_Colour("20", "18", 18, 999).Fore, White);
    EXPECT_EQ(colour("19", "16"), History_Yellow);
    EXPECT_EQ(colour("19", "18"), History_Yellow); // both below 20 comes before red
    EXPECT_EQ(colour("", ""), History_Orange);
    EXPECT_EQ(History_Colour("21", "17", 18, 999).Back, History_Yellow);

    EXPECT_FALSE(History_Look_For("16/14/11 ", false).Boxed);
    EXPECT_EQ(History_Look_For("16/14/11 ", true).Back, White);
    EXPECT_EQ(History_Look_For("No Hist ", true).Back, White);
    EXPECT_EQ(History_Look_For("16/14 ", true).Back, History_Grey);

    EXPECT_EQ(Priority_Picture("/pics/", "NORMAL "), "/pics/bttn_bath_NORMAL.gif");
    EXPECT_EQ(Priority_Picture("/pics/", "3"), "/pics/bttn_bath.gif");

    EXPECT_EQ(Slot_Row(7), 1); // the second slot of the second row
    EXPECT_EQ(Slot_Column(7), 1);
}

TEST(Bath, RacksOtherThanTheCurrentOneAreCounted) {
    std::array<Bath_Slot, Bath_Slot_Count> slots{};
    EXPECT_EQ(Lowest_Free_Slot(slots), 0);
    const char* racks[] = {"A", "B", "A", "B"};
    for (int i = 0; i < 4; ++i) {
        slots[i].Lab_Number = std::to_string(100 + i) + " ";
        slots[i].Rack_Desc = racks[i];
    }
    EXPECT_EQ(Other_Racks_In_Bath(slots, "C"), 2);
    EXPECT_EQ(Other_Racks_In_Bath(slots, "A"), 1);
    EXPECT_EQ(Lowest_Free_Slot(slots), 4);
    EXPECT_EQ(Slot_Of_Sample(slots, " 102"), 2);
    EXPECT_EQ(Max_Racks_Message(2), "Maximum of 2 racks are allowed in the bath at any time");
}

TEST(Result_Table, ElevenCountsLeaveTheLastTenNewestFirst) {
    Result_Table t;
    for (int i = 1; i <= 11; ++i)
        t.Show_Results("S" + std::to_string(i), std::to_string(i) + "/9",
                       {"1", "2", "3", "4", "5", "6", "0"});
    EXPECT_EQ(t.Rows()[0].Run_Id, "S11");
    EXPECT_EQ(t.Previous_Code(), "11/9");
    EXPECT_EQ(t.Rows()[9].Run_Id, "S2");
    EXPECT_EQ(t.Rows()[9].Values[7], "0");
}

TEST(Histogram, AxisLadderBarsAndSwitches) {
    EXPECT_EQ(Axis_Top_For(0), 25);
    EXPECT_EQ(Axis_Top_For(25), 25);
    EXPECT_EQ(Axis_Top_For(25.5), 50);
    EXPECT_EQ(Axis_Top_For(45000), 50000);
    EXPECT_EQ(Axis_Top_For(300000), 300000);
    EXPECT_EQ(Axis_Top_For(300001), 500000);

    Histogram h;
    EXPECT_EQ(h.Y_Top(), "1000");
    h.Show_histogram("15/13/8", {222, 45, 3, 1, 0, 0, 0});
    EXPECT_EQ(h.Y_Top(), "500");
    EXPECT_EQ(h.Y_Half(), "250");
    EXPECT_EQ(h.Code_Label(), "15/13/8");
    EXPECT_EQ(h.Bar_Height(0, 1000), 444);
    EXPECT_EQ(h.Bar_Height(1, 100), 9); // 9.0
    EXPECT_EQ(h.Bar_Height(2, 250), 2); // 1.5 -> 2
    EXPECT_EQ(h.Bar_Height(3, 250), 0); // 0.5 -> 0

    h.Set_Checked(0, false); // the largest channel off: the axis follows the rest
    EXPECT_EQ(h.Y_Top(), "50");
    EXPECT_EQ(h.Bar_Height(0, 1000), 0);
    EXPECT_EQ(h.Bar_Height(1, 100), 90);

    h.Set_Checked(0, true);
    h.Show_histogram("24/22/14", {320000, 90000, 12000, 4000, 0, 0, 0}); // the scale in plain digits
    EXPECT_EQ(h.Y_Top(), "500000");
    EXPECT_EQ(h.Y_Half(), "250000");
    h.Show_histogram("15/13/8", {222, 45, 3, 1, 0, 0, 0});
    h.Set_Checked(0, false);

    h.Show_histogram("7/7/7", {0, 0, 0, 0, 0, 0, 0}); // all zero: the picture stays
    EXPECT_EQ(h.Code_Label(), "15/13/8");
    EXPECT_EQ(h.Bar_Height(1, 100), 90);

    h.Show_histogram("9/8/7", {5, 4, 3, 2, 1, 0, 0});
    for (int i = 0; i < Histogram::Channels; ++i)
        h.Set_Checked(i, false);
    EXPECT_EQ(h.Y_Top(), "25");
    EXPECT_EQ(h.Y_Half(), "12.5");
    for (int i = 0; i < Histogram::Channels; ++i)
        EXPECT_EQ(h.Bar_Height(i, 100), 0);
}

TEST(Station_Settings, MissingKeysKeepDefaultsAndAreNamedOnce) {
    Settings_Collection c;
    ASSERT_TRUE(Load_Settings_Text(c, "SAMPLES_BETWEEN_CHECKS;10;x\nISO5_CHECK;16.5;x\nISO2_CHECK;high;x\n"
                                      "MAX_RACKS_IN_BATH;3;x\nSAMPLE_SHAKE_TIME;30;x\n"));
    Station_Settings s;
    Settings_Read read = Load_Station_Settings(c, false, s);
    EXPECT_EQ(s.SAMPLES_BETWEEN_CHECKS, 10);
    EXPECT_EQ(s.Limits.ISO5_CHECK, 16); // halves to even
    EXPECT_EQ(s.Limits.ISO2_CHECK, 18); // not a number: default kept
    EXPECT_EQ(s.Limits.ISO15_SAMPLE, 999);
    EXPECT_EQ(s.MAX_RACKS_IN_BATH, 3);
    EXPECT_EQ(s.SAMPLE_SHAKE_TIME, 30);
    EXPECT_EQ(read.Not_Numbers, std::vector<std::string>{"ISO2_CHECK"});
    EXPECT_EQ(read.Missing.size(), 10u);
    std::string m = read.Message();
    EXPECT_NE(m.find("SAMPLE_BATH_TIME"), std::string::npos);
    EXPECT_NE(m.find("ISO2_CHECK"), std::string::npos);
    EXPECT_EQ(m.find("SAMPLES_BETWEEN_CHECKS"), std::string::npos);

    Load_Station_Settings(c, true, s);
    EXPECT_EQ(s.SAMPLE_SHAKE_TIME, 2);
    EXPECT_EQ(s.SAMPLE_BATH_TIME, 7);

    // Numbers that would stop the work (every run a check standard, a time below zero) are named, and
    // the defaults stand.
    ASSERT_TRUE(Load_Settings_Text(c, "SAMPLES_BETWEEN_CHECKS;0;x\nSAMPLE_SHAKE_TIME;-30;x\n"
                                      "SAMPLE_BATH_TIME;-1;x\nMAX_RACKS_IN_BATH;2;x\n"));
    Station_Settings fresh;
    read = Load_Station_Settings(c, false, fresh);
    EXPECT_EQ(fresh.SAMPLES_BETWEEN_CHECKS, 15);
    EXPECT_EQ(fresh.SAMPLE_SHAKE_TIME, 60);
    EXPECT_EQ(fresh.SAMPLE_BATH_TIME, 300);
    EXPECT_EQ(read.Out_Of_Sense.size(), 3u);
    EXPECT_NE(read.Message().find("SAMPLES_BETWEEN_CHECKS = 0 (at least 1, 15 is used)"), std::string::npos)
        << read.Message();
}
