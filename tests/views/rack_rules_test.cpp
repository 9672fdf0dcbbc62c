// The rack view's drawing rules without a database: cell colours, the grid's numbering and layout,
// the rack name caption, the lab number's padding.

#include "views/rack_view.h"

#include <gtest/gtest.h>

using namespace pcs;

TEST(Rack_Rules, CellColoursFollowStatusThenPriorityThenRunNumber) {
    Globals g;
    Init_Colors(g);
    const Palette& p = g.Colors;
    auto border = [&](const char* status, const char* priority, int run, bool unchanged = false) {
        return Position_Color(Color_Part::Border, status, priority, run, unchanged, p).Rgb();
    };
    EXPECT_EQ(border("READY", "NORMAL", 1), 0x41CB51u);
    EXPECT_EQ(border("READY", "NORMAL", 2), 0xF9FE65u); // a retest
    EXPECT_EQ(border("READY", "RUSH", 2), 0xFA4FB0u);   // the priority wins over the run number
    EXPECT_EQ(border("READY", "CRITICAL", 1), 0xFFA500u);
    EXPECT_EQ(border("READY", "URGENT", 3), 0xE60000u);
    EXPECT_EQ(border("READY", "normal", 1), 0x2C3D4Du); // names compare exactly
    EXPECT_EQ(border("DONE", "RUSH", 1, true), p.Color_Navy.Rgb());
    EXPECT_EQ(border("DONE", "RUSH", 1, false), 0xBBBBBBu);
    EXPECT_EQ(border("", "", 0), 0x2C3D4Du);
    EXPECT_EQ(Position_Color(Color_Part::Back, "READY", "RUSH", 1, false, p).Rgb(), 0x2C3D4Du);
    EXPECT_EQ(Position_Color(Color_Part::Back, "DONE", "", 1, false, p).Rgb(), 0x2C3D4Du);
    EXPECT_EQ(Position_Color(Color_Part::Back, "WAITING", "", 1, false, p), p.Color_Steel_2);
}

TEST(Rack_Rules, TheGridCountsFromTheTopLeftAndLaysCellsFifteenPixelsApart) {
    EXPECT_EQ(Cell_Index(1, 1), 0);
    EXPECT_EQ(Cell_Index(5, 4), 19);
    EXPECT_EQ(Cell_Row(6), 2);
    EXPECT_EQ(Cell_Column(6), 3);
    EXPECT_EQ(Cell_Font_Size(95 * 15, 15), 10);
    EXPECT_EQ(Cell_Font_Size(115 * 15, 15), 12);
    EXPECT_EQ(Cell_Font_Size(105 * 15, 15), 10); // 10.5 to even

    Rack_Metrics m;
    m.Nav_Width = 900;
    m.Nav_Height = 600;
    const int W = 95 * 15, H = 75 * 15;
    Rack_Layout l = Resize_Rack(m, W, H, 30, 750);
    EXPECT_EQ(l.Panel.Top, 750);
    EXPECT_EQ(l.Holder.Top, 750 + 600 + 150);
    EXPECT_EQ(l.Holder.Height, 5 * H + 6 * 225);
    EXPECT_EQ(l.Panel.Width, l.Holder.Width + 150);
    EXPECT_EQ(l.Panel.Height, l.Holder.Height + 83 * 15);
    EXPECT_EQ(l.Cells[0].Cell, (Twips_Rect{l.Holder.Left + 30 + 225, l.Holder.Top + 225, W, H}));
    // The last cell leaves the same 15 px margin to the holder's right and bottom (before the shift).
    EXPECT_EQ(l.Cells[19].Cell.Right() - 30 + 225, l.Holder.Right());
    EXPECT_EQ(l.Cells[19].Cell.Bottom() + 225, l.Holder.Bottom());
    EXPECT_EQ(l.Nav[2].Right(), l.Holder.Right());
    EXPECT_EQ(l.Nav[1].Right() + 75, l.Nav[2].Left);
    EXPECT_EQ(Offset_Twips("abc"), 0);
    EXPECT_EQ(Offset_Twips("1012.5"), 1012);
}

TEST(Rack_Rules, LongRackNamesAreCutAndLabNumbersPadded) {
    EXPECT_EQ(Rack_Desc_Caption("ABCDEFGHIJKLMNOP"), "ABCDEFGHIJKLMNO...");
    EXPECT_EQ(Rack_Desc_Caption("ABCDEFGHIJKLMNO"), "ABCDEFGHIJKLMNO");
    EXPECT_EQ(Pad_Lab_Number("1234"), "00001234");
    EXPECT_EQ(Pad_Lab_Number("12345678"), "12345678");
    EXPECT_EQ(Priority_Button(" rush "), 1);
    EXPECT_EQ(Priority_Button("NORMAL"), -1);
}
