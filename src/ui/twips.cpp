#include "ui/twips.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include <algorithm>

namespace pcs::ui {

namespace {
double Scale = 1.0;
}

void Set_Layout_Scale(double factor) {
    Scale = factor > 0 ? factor : 1.0;
}

double Layout_Scale() {
    return Scale;
}

int Design_Px(int pixels) {
    return static_cast<int>(std::lround(pixels * Scale));
}

void Scale_Design_Layout(QWidget* form) {
    if (Scale == 1.0) return;
    auto scaled = [](const QRect& r) {
        const int left = Design_Px(r.left()), top = Design_Px(r.top());
        return QRect(left, top, Design_Px(r.left() + r.width()) - left,
                     Design_Px(r.top() + r.height()) - top);
    };
    for (QWidget* w : form->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        if (!w->isWindow()) w->setGeometry(scaled(w->geometry()));
    const QSize size = scaled(QRect(QPoint(0, 0), form->size())).size();
    if (form->minimumSize() == form->maximumSize())
        form->setFixedSize(size);
    else
        form->resize(size);
}

double Design_Points(double points) {
    // Shrunk text stops at 7 points, the design's smallest, so that it stays readable.
    return std::max(points * Scale, std::min(points, 7.0));
}

double Logical_Dpi(const QWidget* w) {
    const QScreen* s = w ? w->screen() : QGuiApplication::primaryScreen();
    if (!s) return Design_Dpi;
    double dpi = s->logicalDotsPerInchX();
    return dpi > 0 ? dpi : Design_Dpi;
}

int Px(double twips, const QWidget* w) {
    return Twips_To_Pixels(twips * Scale, Logical_Dpi(w));
}

} // namespace pcs::ui
