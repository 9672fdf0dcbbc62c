#include "screen_fit.h"

#include "ui/twips.h"

#include <QGuiApplication>
#include <QScreen>

#include <algorithm>
#include <cmath>

namespace pcs::app {

double Working_Area_Factor(QSize screen) {
    if (screen.isEmpty()) return 1.0;
    const double fit = std::min(double(screen.width()) / Working_Area_Design.width(),
                                double(screen.height()) / Working_Area_Design.height());
    return std::max(1.0, std::floor(fit * 40.0)) / 40.0;
}

double Scale_To_Screen() {
    const QScreen* s = QGuiApplication::primaryScreen();
    const double factor = Working_Area_Factor(s ? s->availableGeometry().size() : QSize());
    ui::Set_Layout_Scale(factor);
    return factor;
}

} // namespace pcs::app
