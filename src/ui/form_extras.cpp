#include "ui/form_extras.h"

#include "ui/fonts.h"
#include "ui/twips.h"

#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace pcs::ui {

Form_Extras::Form_Extras(const Globals& g, Hibernation_Timer& timer, QWidget* parent)
    : Framed_Panel(parent), model_(timer) {
    setObjectName("Form_Extras");
    setAccessibleName("Toolbox");
    model_.Load();

    auto* box = new QVBoxLayout(this);
    const int m = Px(450, this);
    box->setContentsMargins(m, Px(300, this), m, m);
    box->setSpacing(Px(240, this));
    auto* title = new QLabel("Toolbox", this);
    title->setObjectName("lbl_Title");
    title->setAlignment(Qt::AlignCenter);
    Set_Font(title, "", "Eurostile", 18, true, To_QColor(g.Colors.Color_Amber));
    box->addWidget(title);

    for (size_t i = 0; i < Toolbox_Buttons.size(); ++i) {
        const QString caption = Toolbox_Buttons[i].Caption;
        auto* b = Make_Touch_Button(g, QString("cmd_Action_%1").arg(i), caption, this);
        b->setProperty("tag", QString(Toolbox_Buttons[i].Tag));
        const int index = static_cast<int>(i);
        connect(b, &QPushButton::clicked, this, [this, index] {
            model_.Choose(index);
            accept();
        });
        buttons_[i] = b;
        box->addWidget(b);
    }
    auto* close = Make_Touch_Button(g, "cmd_Close", "&Close", this);
    connect(close, &QPushButton::clicked, this, [this] { reject(); });
    box->addSpacing(Px(150, this));
    box->addWidget(close);
    setFixedWidth(Px(6000, this));
}

Form_Extras::~Form_Extras() {
    model_.Unload();
}

void Form_Extras::showEvent(QShowEvent* e) {
    adjustSize();
    Centre_On_Owner();
    Framed_Panel::showEvent(e);
}

} // namespace pcs::ui
