#include "ui/rack_main_form.h"

#include "ui/form_pcgrid.h"

#include <algorithm>

namespace pcs::ui {

void Form_Test_For_Rack::Attach(Form_Rack& rack) {
    rack_ = &rack;
    // The main form's cells: 95 by 75 pixels.
    const Rack_Metrics& m = rack.Model().Metrics;
    rack.Model().rack_width = static_cast<int16_t>(95 * m.Twips_X);
    rack.Model().rack_height = static_cast<int16_t>(75 * m.Twips_Y);
    f_.Open_Rack = [&rack](const std::string& rack_desc) { rack.Get_Racks(-1, rack_desc); };
    rack.Own_Window(&f_);
}

void Form_Test_For_Rack::Init() {
    f_.Init();
    if (!rack_) return;
    // The rack view fills the screen under the header bar; its panel starts level with the main form's
    // top, one and a half priority buttons down, so that the priority row stands above it in view.
    const Rack_Metrics& m = rack_->Model().Metrics;
    const int form_top = std::max(0, f_.y() - rack_->y());
    rack_->Resize_Rack(0, form_top * m.Twips_Y + m.Priority_Height * 3 / 2);
    // The histogram is as wide as the rack's panel.
    f_.History_Window().Resize(rack_->Model().Layout.Panel.Width / m.Twips_X);
    f_.Place_History_Window();
}

} // namespace pcs::ui
