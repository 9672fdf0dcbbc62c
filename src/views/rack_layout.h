// Where the rack view's controls stand: the panel, the holder, twenty cells of five rows of four, the
// navigation row, the labels, the priority row, save and exit. All in twips.
#pragma once

#include <array>
#include <string_view>

namespace pcs {

struct Twips_Rect {
    int Left = 0, Top = 0, Width = 0, Height = 0;
    int Right() const { return Left + Width; }
    int Bottom() const { return Top + Height; }
    friend bool operator==(const Twips_Rect&, const Twips_Rect&) = default;
};

inline constexpr int Rack_Cells = 20;
inline constexpr int Rack_Rows = 5;
inline constexpr int Rack_Columns = 4;

// Row and column (both from 1, rows from the top) of a cell index; index 0 is top-left, 19 bottom-right.
inline constexpr int Cell_Index(int row, int column) {
    return (row - 1) * Rack_Columns + (column - 1);
}
inline constexpr int Cell_Row(int index) {
    return index / Rack_Columns + 1;
}
inline constexpr int Cell_Column(int index) {
    return index % Rack_Columns + 1;
}

// The sizes the layout starts from: the screen's twips per pixel and the controls' own sizes, as the
// form's artwork and fonts give them.
struct Rack_Metrics {
    int Twips_X = 15, Twips_Y = 15; // one pixel
    int Panel_Left = 0;
    int Nav_Width = 0, Nav_Height = 0;           // one bttn_Nav picture
    int Priority_Width = 0, Priority_Height = 0; // img_Priority and the filter images
    int Desc_Height = 0;                         // lbl_rackDesc
    int Status_Height = 0, Status_Width = 0;     // lbl_RackStatus
    int Date_Height = 0, Date_Width = 0;         // lbl_RackDate
    int Info_Height = 0, Result_Height = 0;      // lbl_Info, lbl_Result
    int Cell_Border_Px = 1;                      // shp_sample's border width
    int Status_Picture_Size = 0;                 // one screening-progress picture
    int Save_Width = 0, Save_Height = 0;
    int Exit_Width = 0, Exit_Height = 0;
    int Exit_Label_Width = 0, Exit_Label_Height = 0;
    int Pointer_Width = 0, Pointer_Height = 0; // img_ptr
};

struct Cell_Layout {
    Twips_Rect Cell; // shp_sample and lbl_sample
    Twips_Rect Info, Result;
    Twips_Rect Screen, Water, Picture;
};

struct Rack_Layout {
    Twips_Rect Panel, Holder;
    std::array<Cell_Layout, Rack_Cells> Cells;
    std::array<Twips_Rect, 3> Nav; // PREV, NEXT, FIND
    Twips_Rect Rack_Desc, Rack_Status, Rack_Date, Pointer;
    Twips_Rect Priority;                       // img_Priority
    std::array<int, 4> Priority_Button_Left{}; // the four places of the filter images in that row
    Twips_Rect Save, Exit, Exit_Label;
};

// The layout for cells of width x height twips, the cells shifted right by offset_x and the panel's top
// at offset_y.
Rack_Layout Resize_Rack(const Rack_Metrics& m, int rack_width, int rack_height, int offset_x, int offset_y);

// An offset as the main form hands it: a text that is not a number counts as 0.
int Offset_Twips(std::string_view value);

} // namespace pcs
