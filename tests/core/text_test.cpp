#include "common/text.h"

#include <gtest/gtest.h>

using namespace pcs;

TEST(Text, TrimAndCaseTouchOnlyBlanksAndAsciiLetters) {
    EXPECT_EQ(Trim("  a b  "), "a b");
    EXPECT_EQ(Trim("\tx\t"), "\tx\t"); // tabs are not blanks
    EXPECT_EQ(LTrim("  a "), "a ");
    EXPECT_EQ(RTrim("  a "), "  a");
    EXPECT_EQ(UCase("Lab-7\xC3\xA9"), "LAB-7\xC3\xA9");
    EXPECT_EQ(LCase("SAVING Results"), "saving results");
    EXPECT_TRUE(Equals_No_Case("Setting", "SETTING"));
    EXPECT_FALSE(Equals_No_Case("COMM_PORT ", "COMM_PORT"));
}

TEST(Text, SplitKeepsEmptyFields) {
    EXPECT_EQ(Split("a,,b,", ','), (std::vector<std::string>{"a", "", "b", ""}));
    EXPECT_EQ(Split("", ','), (std::vector<std::string>{""}));
}

TEST(Text, NumericGrammar) {
    for (const char* s : {"12", " -3.5 ", "+4", "1e3", ".5", "5.", "20.00", "1E-2"})
        EXPECT_TRUE(Is_Numeric(s)) << s;
    for (const char* s : {"", " ", "-", ".", "1e", "12a", "1 2", "0x10", "1,5", "--1", "\x01"})
        EXPECT_FALSE(Is_Numeric(s)) << s;
}

TEST(Text, HalvesRoundToEven) {
    EXPECT_EQ(Round_Half_Even(12.5), 12);
    EXPECT_EQ(Round_Half_Even(13.5), 14);
    EXPECT_EQ(Round_Half_Even(-2.5), -2);
    EXPECT_EQ(Round_Half_Even(2.55), 3);
    EXPECT_EQ(Round_Half_Even(0.5), 0);
    EXPECT_EQ(Round_Half_Even(1.5), 2);
}

TEST(Text, WholeNumberConversionsCheckTheirRange) {
    EXPECT_EQ(To_Int16(" 13.0"), 13);
    EXPECT_EQ(To_Int16("32767"), 32767);
    EXPECT_EQ(To_Int16("-32768.4"), -32768);
    EXPECT_EQ(To_Int32("166655"), 166655);
    try {
        To_Int16("32768");
        FAIL();
    } catch (const Conversion_Error& e) {
        EXPECT_EQ(e.kind(), Conversion_Error::Kind::Overflow);
    }
    EXPECT_THROW(To_Int32("4294967296"), Conversion_Error);
    EXPECT_THROW(To_Int32("1e400"), Conversion_Error);
    try {
        To_Int16("abc");
        FAIL();
    } catch (const Conversion_Error& e) {
        EXPECT_EQ(e.kind(), Conversion_Error::Kind::Type_Mismatch);
    }
    EXPECT_FALSE(Try_Int16("").has_value());
    EXPECT_EQ(Try_Int32("2147483647.4"), 2147483647);
    EXPECT_FALSE(Try_Int32("2147483647.6").has_value());
}

TEST(Text, NumbersAsText) {
    EXPECT_EQ(To_Text(222.0), "222");
    EXPECT_EQ(To_Text(0.5), "0.5");
    EXPECT_EQ(To_Text(-7LL), "-7");
    // Counts and axis tops of 100,000 and more read as whole numbers, never as "5e+05".
    EXPECT_EQ(To_Text(500000.0), "500000");
    EXPECT_EQ(To_Text(221860.0 * 10), "2218600");
    EXPECT_EQ(To_Text(12.5), "12.5");
}
