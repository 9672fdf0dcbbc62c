#include "ui/form_message.h"

#include "ui/twips.h"

#include <QLabel>

namespace pcs::ui {

Form_Message::Form_Message(QWidget* owner) : Framed_Panel(owner) {
    setObjectName("Form_Message");
    setAccessibleName("Status");
    setModal(false);
    setWindowFlag(Qt::WindowDoesNotAcceptFocus);
    setAttribute(Qt::WA_ShowWithoutActivating);
    lbl_message_ = new QLabel(this);
    lbl_message_->setObjectName("lbl_message");
    lbl_message_->setAlignment(Qt::AlignCenter);
    lbl_message_->setWordWrap(true);
    resize(Px(9000, this), Px(1500, this));
}

void Form_Message::resizeEvent(QResizeEvent* e) {
    // The message spans the panel's full width from its left edge.
    lbl_message_->setGeometry(0, 0, width(), height());
    Framed_Panel::resizeEvent(e);
}

void Form_Message::Show_Over_Owner() {
    Centre_On_Owner();
    show();
    raise();
    repaint();
}

} // namespace pcs::ui
