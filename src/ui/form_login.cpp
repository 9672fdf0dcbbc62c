#include "ui/form_login.h"

#include "ui/artwork.h"
#include "ui/fonts.h"
#include "ui/form_keyinput.h"
#include "ui/guarded.h"
#include "ui/panel.h"
#include "ui/pictures.h"
#include "ui/touch_label.h"
#include "ui/twips.h"

#include <QCoreApplication>
#include <QPushButton>
#include <QScreen>

namespace pcs::ui {

namespace {
constexpr int Splash_Width = 11400, Splash_Height = 6300; // twips: 760 × 420 pixels at 96 dpi
}

Form_Login::Form_Login(Globals& g, const Clock& clock, Employee& employee, Alert_Port& alerts,
                       const std::string& connect_string, Working_Forms* forms, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint), g_(g), alerts_(alerts),
      login_(g, clock, employee, alerts, *this, forms) {
    setObjectName("Form_Login");
    setAccessibleName("Login screen");
    timer1_.setObjectName("Timer1");
    timer1_.setInterval(Idle_Check_Interval_Ms);
    connect(&timer1_, &QTimer::timeout, this, [this] { Guarded(alerts_, [&] { login_.Timer1_Timer(); }); });

    login_.Load(connect_string);

    QPalette p = palette();
    p.setColor(QPalette::Window, Qt::black);
    setPalette(p);
    setAutoFillBackground(true);

    img_Login_ = new Touch_Label("img_Login_", "Particle count station", this);
    img_Login_->Set_Picture_Control(true);
    img_Login_->setCursor(Qt::ArrowCursor);
    Load_Picture(img_Login_, Picture_Path(g_, Picture_Splash));

    cmd_Login_ = Make_Touch_Button(g_, "cmd_Login", "Login", this, "Eurostile", 16);
    cmd_Exit_ = Make_Touch_Button(g_, "cmd_Exit", "Exit", this, "Eurostile", 16);
    for (QPushButton* b : {cmd_Login_, cmd_Exit_}) {
        Set_Font(b, "", "Eurostile", 16, true, To_QColor(g_.Colors.Color_Amber));
        b->setFixedSize(Px(2550, this), Px(960, this));
    }
    connect(cmd_Login_, &QPushButton::clicked, this,
            [this] { Guarded(alerts_, [&] { login_.cmd_Login_Click(); }); });
    connect(cmd_Exit_, &QPushButton::clicked, this,
            [this] { Guarded(alerts_, [&] { login_.cmd_Exit_Click(port_, settings_); }); });

    // The whole screen, from the top left.
    if (const QScreen* s = screen()) setGeometry(s->geometry());
    Lay_Out();
}

void Form_Login::Lay_Out() {
    const QSize splash(Px(Splash_Width, this), Px(Splash_Height, this));
    img_Login_->setGeometry(
        QRect(QPoint((width() - splash.width()) / 2, (height() - splash.height()) / 2), splash));
    // Login and Exit stand level at the picture's top, in the corner the splash leaves free for them.
    const int gap = Px(240, this);
    const QRect pic = img_Login_->geometry();
    cmd_Exit_->move(pic.right() - gap - cmd_Exit_->width(), pic.top() + gap);
    cmd_Login_->move(cmd_Exit_->x() - gap - cmd_Login_->width(), cmd_Exit_->y());
}

void Form_Login::resizeEvent(QResizeEvent* e) {
    QWidget::resizeEvent(e);
    Lay_Out();
}

Keyboard_Answer Form_Login::Ask_Password(const std::string& prompt, const std::string& mask) {
    Form_KeyInput keyboard(g_, alerts_, this);
    keyboard.Set_Prompt(prompt);
    keyboard.Set_Mask(mask);
    keyboard.exec();
    return {keyboard.Model().isEntered, keyboard.Model().UserInput};
}

void Form_Login::Show_Login_Screen() {
    show();
    raise();
    activateWindow();
}

void Form_Login::Timer1_Changed(bool on) {
    if (on)
        timer1_.start();
    else
        timer1_.stop();
}

void Form_Login::End_Program() {
    QCoreApplication::exit(0);
}

void Form_Login::App_Exit() {
    login_.App_Exit(port_, settings_);
}

} // namespace pcs::ui
