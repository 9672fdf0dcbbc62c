#include "ui/panel.h"

#include "ui/artwork.h"
#include "ui/fonts.h"
#include "ui/pictures.h"
#include "ui/touch_label.h"
#include "ui/twips.h"

#include <QGuiApplication>
#include <QPainter>
#include <QPushButton>
#include <QScreen>

namespace pcs::ui {

Framed_Panel::Framed_Panel(QWidget* parent) : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint) {
    setAttribute(Qt::WA_TranslucentBackground, false);
}

void Framed_Panel::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), Qt::white);
    const int inset = Px(30, this);
    p.fillRect(rect().adjusted(inset, inset, -inset, -inset), To_QColor(Station_Palette.Color_Ink));
}

void Framed_Panel::Centre_On_Owner() {
    QRect area;
    if (QWidget* owner = parentWidget() ? parentWidget()->window() : nullptr; owner && owner->isVisible())
        area = owner->geometry();
    else if (const QScreen* s = screen() ? screen() : QGuiApplication::primaryScreen())
        area = s->availableGeometry();
    if (!area.isEmpty()) move(area.center() - rect().center());
}

Touch_Label* Make_Panel_Button(const Globals& g, const QString& object_name, const QString& caption,
                               QWidget* parent) {
    auto* b = new Touch_Label(object_name, caption, parent);
    b->setText(caption);
    Set_Font(b, "", "Arial", 16, true, Qt::white);
    Load_Picture(b, Picture_Path(g, Picture_Button));
    b->Set_Picture_Control(true);
    return b;
}

} // namespace pcs::ui

namespace pcs::ui {

QPushButton* Make_Touch_Button(const Globals& g, const QString& object_name, const QString& caption,
                               QWidget* parent, const std::string& font, int size) {
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(object_name);
    b->setAccessibleName(QString(caption).remove('&'));
    b->setFocusPolicy(Qt::NoFocus);
    b->setMinimumHeight(Px(960, b));
    const Palette& c = g.Colors;
    b->setStyleSheet(QString("QPushButton { background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 %1, "
                             "stop:1 %2); border: 2px solid %3; border-radius: 10px; padding: 6px 22px; }"
                             "QPushButton:pressed { background: %4; }")
                         .arg(To_QColor(c.Button_Top).name(), To_QColor(c.Button_Bottom).name(),
                              To_QColor(c.Color_Amber).name(), To_QColor(c.Button_Pressed).name()));
    Set_Font(b, "", font, static_cast<int16_t>(size), true, To_QColor(g.Colors.Color_White));
    return b;
}

} // namespace pcs::ui
