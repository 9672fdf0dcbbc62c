#include "ui/rack_main_form.h"

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
    // The rack panel stands one and a half priority buttons down, the priority row above it.
    if (rack_) rack_->Resize_Rack(0, rack_->Model().Metrics.Priority_Height * 3 / 2);
}

} // namespace pcs::ui
