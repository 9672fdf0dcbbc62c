#include "settings/settings.h"

#include "common/text.h"
#include "common/text_file.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <fstream>

using namespace pcs;

namespace {

struct Settings_File : ::testing::Test {
    test::Temp_Dir tmp;
    std::filesystem::path dir = tmp.Path();
    Globals g;
    Settings_Collection settings;

    void SetUp() override { g.App_Folder = dir.string() + "/"; }
    void Write(const std::string& bytes) { std::ofstream(dir / "settings.txt", std::ios::binary) << bytes; }
};

} // namespace

TEST_F(Settings_File, LinesSplitIntoExactlyThreeFieldsAsTheyStand) {
    Write("COMM_PORT;1;serial port\n"
          "a comment line\n"
          "ONE;semicolon\n"
          "THREE;a;b;c\n"
          "INSTRUMENT_ID; PC-07 ;the counter \n"
          "KEY_WITH_BLANK ;5;\n");
    Load_Software_settings(settings, g);
    EXPECT_EQ(settings.Count(), 3u);
    const Settings& port = settings.Item("comm_port");
    EXPECT_EQ(port.Setting, "COMM_PORT");
    EXPECT_EQ(port.Value, "1");
    EXPECT_EQ(port.Description, "serial port");
    EXPECT_EQ(port.Type_, "NORMAL");
    EXPECT_EQ(settings.Int16("COMM_PORT"), 1);
    EXPECT_EQ(settings.Item("INSTRUMENT_ID").Value, " PC-07 ");
    EXPECT_EQ(g.Station_Instrument_Id, " PC-07 ");
    EXPECT_TRUE(settings.Contains("KEY_WITH_BLANK "));
    EXPECT_THROW(settings.Item("KEY_WITH_BLANK"), Missing_Setting_Error);
    EXPECT_FALSE(settings.Contains("ONE"));
    EXPECT_FALSE(settings.Contains("THREE"));
}

TEST_F(Settings_File, LastOccurrenceWins) {
    Write("ISO2_CHECK;17;first\r\nISO2_CHECK;19;second\r\n");
    Load_Software_settings(settings, g);
    ASSERT_EQ(settings.Count(), 1u);
    EXPECT_EQ(settings.Item("ISO2_CHECK").Value, "19");
    EXPECT_EQ(settings.Item("ISO2_CHECK").Description, "second"); // no CR left behind
}

TEST_F(Settings_File, EmptyFirstLineLoadsNothingAndKeepsTheInstrument) {
    g.Station_Instrument_Id = "OLD";
    Write("\r\nINSTRUMENT_ID;NEW;x\r\n");
    Load_Software_settings(settings, g);
    EXPECT_EQ(settings.Count(), 0u);
    EXPECT_EQ(g.Station_Instrument_Id, "OLD");

    Write("");
    Load_Software_settings(settings, g);
    EXPECT_EQ(settings.Count(), 0u);
}

TEST_F(Settings_File, MissingFileEmptiesTheCollection) {
    settings.Add("X", Settings{"X", "1", "", "NORMAL", {}});
    Load_Software_settings(settings, g);
    EXPECT_EQ(settings.Count(), 0u);
}

TEST_F(Settings_File, ByteOrderMarkNoFinalLineEndAndForeignBytes) {
    Write("\xEF\xBB\xBF"
          "COMM_PORT;3;port\r\nDESC;x;Viskosit\xE4t \xC3\xA9\x01\r\nINSTRUMENT_ID;PC2;last line");
    Load_Software_settings(settings, g);
    EXPECT_EQ(settings.Int16("COMM_PORT"), 3);
    EXPECT_EQ(settings.Item("DESC").Description, "Viskosit\xE4t \xC3\xA9\x01");
    EXPECT_EQ(settings.Item("INSTRUMENT_ID").Description, "last line");
    EXPECT_EQ(g.Station_Instrument_Id, "PC2");
}

TEST(Settings_Readers, TypedReadersAndGuardedKeys) {
    Settings_Collection s;
    Load_Settings_Text(s, "COMM_PORT;abc;\nBIG;40000;\nHALF;12.5;\nCHECK_VALIDATION_METHOD;count;\n"
                          "FLUSH_VALIDATION_METHOD;COUNT;\nISO2_CHECK_CODE_HIGH;18.5;\n");
    EXPECT_THROW(s.Int16("COMM_PORT"), Conversion_Error);
    EXPECT_THROW(s.Int16("BIG"), Conversion_Error);
    EXPECT_EQ(s.Int16("HALF"), 12);
    EXPECT_THROW(s.Int16("SAMPLES_BETWEEN_CHECKS"), Missing_Setting_Error);
    EXPECT_EQ(Validation_Method(s, "CHECK_VALIDATION_METHOD"), "CODE"); // exact comparison
    EXPECT_EQ(Validation_Method(s, "FLUSH_VALIDATION_METHOD"), "COUNT");
    EXPECT_THROW(Validation_Method(s, "SAMPLE_VALIDATION_METHOD"), Missing_Setting_Error);
    EXPECT_EQ(Code_Limit(s, 2, "CHECK", true), 18.5);
    EXPECT_EQ(Code_Limit(s, 15, "SAMPLE", false), 0);
}

TEST(Settings_Readers, RepeatedKeyInOtherCaseUpdatesTheFirstRecord) {
    Settings_Collection s;
    Load_Settings_Text(s, "COMM_PORT;1;a\ncomm_port;2;b\n");
    ASSERT_EQ(s.Count(), 1u);
    EXPECT_EQ(s.Item("COMM_PORT").Setting, "comm_port");
    EXPECT_EQ(s.Item("COMM_PORT").Value, "2");
    s.Remove("Comm_Port");
    EXPECT_EQ(s.Count(), 0u);
    EXPECT_THROW(s.Remove("COMM_PORT"), Missing_Setting_Error);
}
