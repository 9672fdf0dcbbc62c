#include "ui/twips.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

namespace pcs::ui {

double Logical_Dpi(const QWidget* w) {
    const QScreen* s = w ? w->screen() : QGuiApplication::primaryScreen();
    if (!s) return Design_Dpi;
    double dpi = s->logicalDotsPerInchX();
    return dpi > 0 ? dpi : Design_Dpi;
}

int Px(double twips, const QWidget* w) {
    return Twips_To_Pixels(twips, Logical_Dpi(w));
}

} // namespace pcs::ui
