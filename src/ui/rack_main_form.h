// The main form and the rack view joined as the station runs them: the main form gives the rack view
// its cell size and, once laid out, puts the rack view under the priority row and the histogram beside
// itself; its rack name opens the rack view on that rack, and the rack view owns it so it stays above.
// The rack view reaches the station itself through Station_Main_Form.
#pragma once

#include "ui/form_rack.h"
#include "ui/main_form.h"

namespace pcs::ui {

// Before the rack view loads.
void Join_Main_Form_And_Rack(Form_Test& form, Form_Rack& rack);

} // namespace pcs::ui
