#include "common/globals.h"

namespace pcs {

void Init_Colors(Globals& g) {
    Palette& p = g.Colors;
    p.Color_Slate = {74, 80, 85};
    p.Color_Blue = {0, 73, 127};
    p.Color_Slate_2 = {74, 80, 85};
    p.Color_Navy = {23, 49, 74};
    p.Color_Steel = {87, 99, 110};
    p.Color_Steel_2 = {91, 101, 110};
    p.Color_Ink = {44, 61, 77};
    p.Color_Amber = {0, 0, 0};
    p.Color_Amber = {233, 176, 25};
    p.Color_White = {255, 255, 255};
    p.Color_Sky = {130, 190, 247};
}

void Init_Globals(Globals& g) {
    g.Test_Code.clear();
    g.Station_Instrument_Id.clear();
}

} // namespace pcs
