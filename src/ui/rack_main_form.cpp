#include "ui/rack_main_form.h"

#include "ui/form_pcgrid.h"

#include <algorithm>

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
        rack.Resize_Rack(0, form_top * metrics.Twips_Y + metrics.Priority_Height * 3 / 2);
        // The histogram is as wide as the rack's panel.
        form.History_Window().Resize(rack.Model().Layout.Panel.Width / metrics.Twips_X);
        form.Place_History_Window();
    });
    rack.Own_Window(&form);
}

} // namespace pcs::ui
