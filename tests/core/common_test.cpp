#include "common/globals.h"
#include "common/local_time.h"
#include "common/messages.h"
#include "common/sql.h"
#include "common/text_file.h"
#include "support/fake_ports.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <ctime>
#include <filesystem>

using namespace pcs;

TEST(SqlQuote, TrimsQuotesAndFallsBackToDefault) {
    EXPECT_EQ(SQL_Quote(std::string("  01100663 ")), "'01100663' ");
    EXPECT_EQ(SQL_Quote(std::string("   ")), "null");
    EXPECT_EQ(SQL_Quote(std::optional<std::string>()), "null");
    EXPECT_EQ(SQL_Quote(std::string(""), "''"), "''");
}

TEST(SqlQuote, EmbeddedQuotesAreDoubled) {
    EXPECT_EQ(SQL_Quote(std::string("O'Brien")), "'O''Brien' ");
    EXPECT_EQ(SQL_Quote(std::string("x'; drop table t --")), "'x''; drop table t --' ");
    EXPECT_EQ(SQL_Escape("''"), "''''");
}

TEST(LocalTime, DateTimeTextIsLocalAndZeroPadded) {
    std::tm tm{};
    tm.tm_year = 2026 - 1900;
    tm.tm_mon = 2;
    tm.tm_mday = 5;
    tm.tm_hour = 7;
    tm.tm_min = 8;
    tm.tm_sec = 9;
    tm.tm_isdst = -1;
    auto t = std::chrono::system_clock::from_time_t(std::mktime(&tm));
    EXPECT_EQ(Local_Date_Time_Text(t), "2026-03-05 07:08:09");
    EXPECT_EQ(Local_Time_Text(t, "%Y-%m-%d"), "2026-03-05");
}

TEST(SqlNumber, AcceptsNumbersOnly) {
    EXPECT_EQ(SQL_Number(" 42 ", "Rack_id"), "42");
    EXPECT_EQ(SQL_Number("-1", "Emp_Num"), "-1");
    EXPECT_THROW(SQL_Number("1; delete from x", "Rack_id"), Sql_Value_Error);
    EXPECT_THROW(SQL_Number("", "Rack_id"), Sql_Value_Error);
    EXPECT_THROW(SQL_Number("1e5", "Rack_id"), Sql_Value_Error);
}

TEST(Palette, ExactColours) {
    Globals g;
    Init_Colors(g);
    EXPECT_EQ(g.Colors.Color_Slate.Rgb(), 0x4A5055u);
    EXPECT_EQ(g.Colors.Color_Blue.Rgb(), 0x00497Fu);
    EXPECT_EQ(g.Colors.Color_Navy.Rgb(), 0x17314Au);
    EXPECT_EQ(g.Colors.Color_Steel.Rgb(), 0x57636Eu);
    EXPECT_EQ(g.Colors.Color_Steel_2.Rgb(), 0x5B656Eu);
    EXPECT_EQ(g.Colors.Color_Ink.Rgb(), 0x2C3D4Du);
    EXPECT_EQ(g.Colors.Color_Text.Rgb(), 0u);
    EXPECT_EQ(g.Colors.Color_Amber.Rgb(), 0xE9B019u);
    EXPECT_EQ(g.Colors.Color_White.Rgb(), 0xFFFFFFu);
    EXPECT_EQ(g.Colors.Color_Sky.Rgb(), 0x82BEF7u);
}

TEST(Globals, InitGlobalsClearsTheRunTimeValues) {
    Globals g;
    g.Test_Code = "PrtCount";
    g.Station_Instrument_Id = "PC1";
    g.Connect_String = "DSN=x";
    Init_Globals(g);
    EXPECT_EQ(g.Test_Code, "");
    EXPECT_EQ(g.Station_Instrument_Id, "");
    EXPECT_EQ(g.Connect_String, "DSN=x");
}

TEST(ShowStatus, FirstTextStaysInThePanelWhileTheCaptionFollows) {
    Globals g;
    Init_Colors(g);
    test::Recording_Status port;
    EXPECT_EQ(Show_Status(port, g, std::string("SAVING RESULTS")), "");
    EXPECT_TRUE(port.Showing);
    EXPECT_EQ(port.Panel_Text, "SAVING RESULTS");
    EXPECT_EQ(port.Panel_Font.Name, "Arial");
    EXPECT_EQ(port.Panel_Font.Size, 12);
    EXPECT_TRUE(port.Panel_Font.Bold);
    EXPECT_EQ(port.Panel_Font.Rgb, 0xFFFFFFu);
    EXPECT_EQ(port.Caption, "saving results");

    EXPECT_EQ(Show_Status(port, g, std::string("Loading Rack")), "saving results");
    EXPECT_EQ(port.Panel_Text, "SAVING RESULTS");
    EXPECT_EQ(port.Caption, "loading rack");
    EXPECT_EQ(port.Panels_Shown, 1);

    EXPECT_EQ(Show_Status(port, g, std::string("")), "loading rack");
    EXPECT_FALSE(port.Showing);
    EXPECT_TRUE(port.Label_Hidden);
}

TEST(ShowStatus, EmptyTextWhileHiddenOnlyClearsTheCaption) {
    Globals g;
    test::Recording_Status port;
    port.Caption = "old";
    EXPECT_EQ(Show_Status(port, g, std::nullopt), "old");
    EXPECT_EQ(port.Caption, "");
    EXPECT_EQ(port.Panels_Shown, 0);
}

TEST(ShowAlert, BlankTextsShowNothing) {
    test::Recording_Alerts port;
    Show_Alert(port, std::nullopt);
    Show_Alert(port, std::string("   "));
    Show_Alert(port, std::string("Sample was removed"));
    ASSERT_EQ(port.Alerts.size(), 1u);
    EXPECT_EQ(port.Alerts[0], "Sample was removed");
}

TEST(OpenTextFile, CreatesWithHeaderOnceThenAppends) {
    test::Temp_Dir tmp;
    auto dir = tmp.Path();
    auto path = dir / "log.csv";
    std::filesystem::remove(path);
    { auto f = Open_Text_File(path, std::nullopt); }
    EXPECT_EQ(Read_File(path), "");
    std::filesystem::remove(path);
    {
        auto f = Open_Text_File(path, std::string("H"));
        f << "one\r\n";
    }
    {
        auto f = Open_Text_File(path, std::string("H"));
        f << "two\r\n";
    }
    EXPECT_EQ(Read_File(path), "H\r\none\r\ntwo\r\n");
    EXPECT_THROW(Open_Text_File(dir / "missing" / "x.csv", std::nullopt), File_Error);
    EXPECT_THROW(Open_Text_File(dir, std::nullopt), File_Error);
}
