// Twips become pixels one way everywhere: 1440 twips an inch, so 15 a pixel at 96 dpi, scaled with
// the screen's logical dpi.
#pragma once

#include <cmath>

class QWidget;

namespace pcs::ui {

inline constexpr double Twips_Per_Inch = 1440.0;
inline constexpr double Design_Dpi = 96.0;

inline int Twips_To_Pixels(double twips, double logical_dpi) {
    return static_cast<int>(std::lround(twips * logical_dpi / Twips_Per_Inch));
}
inline double Pixels_To_Twips(int pixels, double logical_dpi) {
    return pixels * Twips_Per_Inch / logical_dpi;
}

// The logical dpi of the widget's screen (the primary screen's without a widget; 96 without either).
double Logical_Dpi(const QWidget* w = nullptr);
// Twips in pixels on the widget's screen.
int Px(double twips, const QWidget* w = nullptr);

} // namespace pcs::ui
