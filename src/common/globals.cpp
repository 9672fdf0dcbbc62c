#include "common/globals.h"

namespace pcs {

void Init_Colors(Globals& g) {
    g.Colors = Station_Palette;
}

void Init_Globals(Globals& g) {
    g.Test_Code.clear();
    g.Station_Instrument_Id.clear();
}

} // namespace pcs
