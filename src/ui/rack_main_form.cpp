#include "ui/rack_main_form.h"

#include "ui/form_pcgrid.h"
#include "ui/twips.h"

#include <algorithm>
#include <cmath>

namespace pcs::ui {

void Join_Main_Form_And_Rack(Form_Test& form, Form_Rack& rack) {
    // The main form's cells: 95 by 75 pixels.
    const Rack_Metrics& m = rack.Model().Metrics;
    rack.Model().rack_width = static_cast<int16_t>(95 * m.Twips_X);
    rack.Model().rack_height = static_cast<int16_t>(75 * m.Twips_Y);
    QObject::connect(&form, &Form_Test::Rack_Requested, &rack,
                     [&rack](const std::string& rack_desc) { rack.Get_Racks(-1, rack_desc); });
    QObject::connect(&form, &Form_Test::Main_Form_Laid_Out, &rack, [&form, &rack] {
        // The rack view fills the screen under the header bar; its panel starts level with the main
        // form's top, one and a half priority buttons down, so that the priority row stands above it.
        const Rack_Metrics& metrics = rack.Model().Metrics;
        const int form_top = std::max(0, form.y() - rack.y());
        const int form_top_twips = static_cast<int>(std::lround(form_top * metrics.Twips_Y / Layout_Scale()));
        rack.Resize_Rack(0, form_top_twips + metrics.Priority_Height * 3 / 2);
        // The histogram is as wide as the rack's panel and stands under it, below the save and exit row.
        const Rack_Layout& l = rack.Model().Layout;
        form.History_Window().Resize(Px(l.Panel.Width, &rack));
        form.Set_History_Home(
            rack.pos() +
            QPoint(Px(l.Panel.Left, &rack),
                   Px(std::max(l.Save.Bottom(), l.Exit.Bottom()) + 12 * metrics.Twips_Y, &rack)));
    });
    rack.Own_Window(&form);
}

} // namespace pcs::ui
