// Twips become pixels one way everywhere: 1440 twips an inch, so 15 a pixel at 96 dpi, scaled with
// the screen's logical dpi and with the layout's scale: the screens are designed for one working area
// and shown on every other screen scaled as one whole (sizes and fonts by the same factor).
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

// The one factor every size and font of the screens is drawn at (1 = the design size); set once at
// start, before the first form is built.
void Set_Layout_Scale(double factor);
double Layout_Scale();
// A size designed in pixels at 96 dpi, in pixels at the layout's scale.
int Design_Px(int pixels);
// A form laid out in design pixels: every child's place and size, and the form's fixed size, at the
// layout's scale (edges scaled, so neighbours stay neighbours). Fonts are scaled where they are set.
void Scale_Design_Layout(QWidget* form);
// A font's point size at the layout's scale.
double Design_Points(double points);

// The logical dpi of the widget's screen (the primary screen's without a widget; 96 without either).
double Logical_Dpi(const QWidget* w = nullptr);
// Twips in pixels on the widget's screen, at the layout's scale.
int Px(double twips, const QWidget* w = nullptr);

} // namespace pcs::ui
