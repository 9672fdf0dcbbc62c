#include "ui/form_alert.h"

#include "ui/fonts.h"
#include "ui/touch_label.h"
#include "ui/twips.h"

#include <QLabel>
#include <QVBoxLayout>

namespace pcs::ui {

Form_Alert::Form_Alert(Globals& g, const Clock& clock, QWidget* parent)
    : Framed_Panel(parent), g_(g), model_(g, clock) {
    setObjectName("Form_Alert");
    setAccessibleName("Alert");
    lbl_message_ = new QLabel(this);
    lbl_message_->setObjectName("lbl_message");
    lbl_message_->setWordWrap(true);
    lbl_message_->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    lbl_message_->setTextInteractionFlags(Qt::NoTextInteraction);
    lbl_message_->setMinimumHeight(Px(1200, this));
    lbl_ok_ = Make_Panel_Button(g_, "lbl_ok", "OK", this);
    lbl_ok_->setFixedSize(Px(2700, this), Px(1000, this));
    connect(lbl_ok_, &Touch_Label::clicked, this, [this] { accept(); });

    auto* box = new QVBoxLayout(this);
    const int m = Px(420, this);
    box->setContentsMargins(m, m, m, Px(300, this));
    box->setSpacing(Px(300, this));
    box->addWidget(lbl_message_, 1);
    box->addWidget(lbl_ok_, 0, Qt::AlignHCenter);
    setMinimumWidth(Px(9600, this));
    setMaximumWidth(Px(14400, this));
}

Form_Alert::~Form_Alert() {
    model_.Unload();
}

void Form_Alert::showEvent(QShowEvent* e) {
    model_.Load();
    Set_Font(lbl_message_, "", "Arial", 14, true, To_QColor(g_.Colors.Color_White));
    lbl_message_->setText(QString::fromStdString(model_.Message));
    lbl_message_->setAccessibleName(lbl_message_->text());
    adjustSize();
    Centre_On_Owner();
    Framed_Panel::showEvent(e);
}

void Form_Alert::done(int r) {
    model_.Unload();
    Framed_Panel::done(r);
}

} // namespace pcs::ui
