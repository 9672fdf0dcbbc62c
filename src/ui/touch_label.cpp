#include "ui/touch_label.h"

#include "ui/pictures.h"
#include "ui/twips.h"

#include <QMouseEvent>
#include <QPainter>

namespace pcs::ui {

Touch_Label::Touch_Label(const QString& object_name, const QString& accessible_name, QWidget* parent)
    : QLabel(parent) {
    setObjectName(object_name);
    setAccessibleName(accessible_name);
    setAlignment(Qt::AlignCenter);
    setAttribute(Qt::WA_TranslucentBackground);
    setCursor(Qt::PointingHandCursor);
}

void Touch_Label::Set_Picture(const QPixmap& picture) {
    picture_ = picture;
    update();
}

void Touch_Label::paintEvent(QPaintEvent* e) {
    {
        QPainter p(this);
        if (!picture_.isNull())
            Draw_Stretched(p, rect(), picture_);
        else if (picture_control_)
            Draw_Neutral_Frame(p, rect());
        if (pressed_) {
            p.setRenderHint(QPainter::Antialiasing);
            p.setPen(Qt::NoPen);
            p.setBrush(QColor(0, 0, 0, 110));
            p.drawRoundedRect(QRectF(rect()).adjusted(2, 2, -2, -2), 6, 6);
        }
    }
    QLabel::paintEvent(e);
}

void Touch_Label::mousePressEvent(QMouseEvent* e) {
    if (e->button() != Qt::LeftButton) return QLabel::mousePressEvent(e);
    pressed_ = true;
    update();
}

void Touch_Label::mouseReleaseEvent(QMouseEvent* e) {
    if (e->button() != Qt::LeftButton) return QLabel::mouseReleaseEvent(e);
    const bool was = pressed_;
    pressed_ = false;
    update();
    if (was && rect().contains(e->position().toPoint())) emit clicked();
}

QString Finger_Check_Box_Style() {
    return QString("QCheckBox::indicator { width: %1px; height: %1px; }").arg(Design_Px(40));
}

} // namespace pcs::ui
