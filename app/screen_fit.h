// The working forms are laid out for one working area, Working_Area_Design in pixels at 96 dpi: the
// header bar across the top, the rack view's panel at the left with the count history under it, the
// main form at the right. Every other screen shows that layout scaled as one whole, by one factor for
// every size and font the screens draw, so a 1280x1024 panel and a 2560x1440 monitor show the same
// screens, only smaller or larger.
#pragma once

#include <QSize>

namespace pcs::app {

inline constexpr QSize Working_Area_Design{1560, 1080};

// The factor that fits the design into a screen's free area (in its logical pixels), in steps of 1/40
// so that sizes stay whole more often.
double Working_Area_Factor(QSize screen);

// Once, after the application object and before the first form: the layout's scale for the primary
// screen. The factor chosen.
double Scale_To_Screen();

} // namespace pcs::app
