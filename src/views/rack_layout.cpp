#include "views/rack_layout.h"

#include "common/text.h"

#include <algorithm>
#include <cmath>
#include <optional>

namespace pcs {

int Offset_Twips(std::string_view value) {
    std::optional<double> v = Try_Double(value);
    if (!v || !std::isfinite(*v) || std::fabs(*v) > 1e9) return 0;
    return static_cast<int>(Round_Half_Even(*v));
}

Rack_Layout Resize_Rack(const Rack_Metrics& m, int W, int H, int offset_x, int offset_y) {
    const int px = m.Twips_X, py = m.Twips_Y;
    Rack_Layout l;
    l.Panel.Left = m.Panel_Left;
    l.Panel.Top = offset_y;
    l.Holder.Top = l.Panel.Top + m.Nav_Height + 10 * py;
    l.Holder.Left = l.Panel.Left + 5 * px;
    l.Holder.Height = Rack_Rows * H + (Rack_Rows + 1) * 15 * py;
    l.Holder.Width = Rack_Columns * W + (Rack_Columns + 1) * 15 * px;
    l.Panel.Width = l.Holder.Width + 10 * px;
    l.Panel.Height = l.Holder.Height + 83 * py;

    for (int i = 0; i < Rack_Cells; ++i) {
        const int r = Cell_Row(i), c = Cell_Column(i);
        Cell_Layout& cl = l.Cells[i];
        cl.Cell = {l.Holder.Left + offset_x + 15 * px + (W + 15 * px) * (c - 1),
                   l.Holder.Top + 15 * py * r + H * (r - 1), W, H};
        const int border_y = m.Cell_Border_Px * py;
        cl.Info = {cl.Cell.Left, cl.Cell.Top + border_y - 2 * py, W, m.Info_Height};
        cl.Result = {cl.Cell.Left, cl.Cell.Bottom() - border_y - m.Result_Height, W, m.Result_Height};
        const int s = m.Status_Picture_Size;
        cl.Screen = {cl.Cell.Left + 7 * px, cl.Cell.Bottom() - 7 * py - s, s, s};
        cl.Water = {cl.Screen.Right() + 2 * px, cl.Screen.Top, s, s};
        cl.Picture = {cl.Water.Right() + 2 * px, cl.Screen.Top, s, s};
    }

    // The navigation row is centred in the band above the holder, FIND flush with the holder's right.
    const int band = l.Holder.Top - l.Panel.Top;
    const int nav_top = l.Panel.Top + (band - m.Nav_Height) / 2;
    l.Nav[2] = {l.Holder.Right() - m.Nav_Width, nav_top, m.Nav_Width, m.Nav_Height};
    l.Nav[1] = {l.Nav[2].Left - 5 * px - m.Nav_Width, nav_top, m.Nav_Width, m.Nav_Height};
    l.Nav[0] = {l.Nav[1].Left - 5 * px - m.Nav_Width, nav_top, m.Nav_Width, m.Nav_Height};

    // The rack's name stands left of the navigation row, just above the holder.
    l.Rack_Desc = {l.Holder.Left, l.Holder.Top - (m.Desc_Height * 11) / 10,
                   std::max(0, l.Nav[0].Left - 5 * px - l.Holder.Left), m.Desc_Height};
    l.Rack_Status = {l.Panel.Left + 5 * px, l.Panel.Bottom() - m.Status_Height, m.Status_Width,
                     m.Status_Height};
    l.Rack_Date = {l.Panel.Right() - 5 * px - m.Date_Width, l.Panel.Bottom() - m.Date_Height, m.Date_Width,
                   m.Date_Height};
    l.Pointer = {l.Panel.Left + 45, l.Panel.Top + 60, m.Pointer_Width, m.Pointer_Height};

    l.Priority = {l.Panel.Left, l.Panel.Top - (m.Priority_Height * 5) / 4, m.Priority_Width,
                  m.Priority_Height};
    for (int k = 0; k < 4; ++k)
        l.Priority_Button_Left[k] = l.Priority.Right() + 10 * px + k * (m.Priority_Width + 5 * px);

    l.Save = {l.Panel.Left, l.Panel.Bottom() + 20 * py, m.Save_Width, m.Save_Height};
    l.Exit = {l.Panel.Right() - m.Exit_Width, l.Save.Top, m.Exit_Width, m.Exit_Height};
    l.Exit_Label = {l.Exit.Left - 5 * px - m.Exit_Label_Width,
                    l.Exit.Top + (m.Exit_Height - m.Exit_Label_Height) / 2, m.Exit_Label_Width,
                    m.Exit_Label_Height};
    return l;
}

} // namespace pcs
