#include "ui/form_alertyesno.h"

#include "ui/fonts.h"
#include "ui/touch_label.h"
#include "ui/twips.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QVBoxLayout>

namespace pcs::ui {

Form_AlertYesNo::Form_AlertYesNo(Globals& g, const Clock& clock, QWidget* parent)
    : Framed_Panel(parent), g_(g), model_(g, clock) {
    setObjectName("Form_AlertYesNo");
    setAccessibleName("Question");
    lbl_message_ = new QLabel(this);
    lbl_message_->setObjectName("lbl_message");
    lbl_message_->setWordWrap(true);
    lbl_message_->setTextInteractionFlags(Qt::NoTextInteraction);
    lbl_message_->setMinimumHeight(Px(1200, this));

    auto* answers = new QHBoxLayout;
    answers->setSpacing(Px(450, this));
    const struct {
        const char* name;
        const char* caption;
        int answer;
    } buttons[] = {
        {"lbl_Yes", "Yes", Answer_Yes}, {"lbl_No", "No", Answer_No}, {"lbl_Exit", "Exit", Answer_Closed}};
    for (const auto& b : buttons) {
        Touch_Label* l = Make_Panel_Button(g_, b.name, b.caption, this);
        l->setFixedSize(Px(2700, this), Px(1000, this));
        const int answer = b.answer;
        connect(l, &Touch_Label::clicked, this, [this, answer] { Answer(answer); });
        answers->addWidget(l);
    }

    auto* box = new QVBoxLayout(this);
    const int m = Px(420, this);
    box->setContentsMargins(m, m, m, Px(300, this));
    box->setSpacing(Px(300, this));
    box->addWidget(lbl_message_, 1);
    box->addLayout(answers);
    box->setAlignment(answers, Qt::AlignHCenter);
    setMinimumWidth(Px(11400, this));
    setMaximumWidth(Px(15600, this));
}

Form_AlertYesNo::~Form_AlertYesNo() {
    model_.Unload();
}

void Form_AlertYesNo::showEvent(QShowEvent* e) {
    model_.Load();
    const Qt::Alignment align = model_.Align == 1   ? Qt::AlignRight
                                : model_.Align == 2 ? Qt::AlignHCenter
                                                    : Qt::AlignLeft;
    lbl_message_->setAlignment(align | Qt::AlignVCenter);
    Set_Font(lbl_message_, "", "Arial", model_.iFontSize, true, To_QColor(g_.Colors.Color_White));
    lbl_message_->setText(QString::fromStdString(model_.Message));
    lbl_message_->setAccessibleName(lbl_message_->text());
    adjustSize();
    Centre_On_Owner();
    Framed_Panel::showEvent(e);
}

void Form_AlertYesNo::keyPressEvent(QKeyEvent* e) {
    int mods = 0;
    if (e->modifiers() & Qt::ShiftModifier) mods |= Mod_Shift;
    if (e->modifiers() & Qt::ControlModifier) mods |= Mod_Ctrl;
    if (e->modifiers() & Qt::AltModifier) mods |= Mod_Alt;
    const int key = e->key();
    const char c = key >= Qt::Key_A && key <= Qt::Key_Z ? char('A' + (key - Qt::Key_A)) : '\0';
    if (c && model_.Key_Down(c, mods)) {
        done(model_.intInput);
        return;
    }
    // Escape must not close the question without an answer the caller understands.
    if (key == Qt::Key_Escape) return;
    Framed_Panel::keyPressEvent(e);
}

void Form_AlertYesNo::Answer(int answer) {
    model_.Answer(answer);
    done(answer);
}

void Form_AlertYesNo::done(int r) {
    model_.Unload();
    Framed_Panel::done(r);
}

} // namespace pcs::ui
