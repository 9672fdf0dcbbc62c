// The login screen: black over the whole display, the splash, Login and Exit. It owns the login
// model (activity state, idle lock) and shows the keyboard for the password.
#pragma once

#include "shell/login_screen.h"

#include <QTimer>
#include <QWidget>
#include <string>

class QPushButton;

namespace pcs::ui {

class Touch_Label;

class Form_Login final : public QWidget, private Login_View {
    Q_OBJECT
public:
    Form_Login(Globals& g, const Clock& clock, Employee& employee, Alert_Port& alerts,
               const std::string& connect_string, Working_Forms* forms = nullptr, QWidget* parent = nullptr);

    Login_Screen& Screen() { return login_; }
    QTimer& Timer1() { return timer1_; }
    // The counter App_Exit releases from remote mode; none until the composition root sets it.
    void Set_Counter(Serial_Port* port, const Settings_Collection* settings) {
        port_ = port;
        settings_ = settings;
    }
    void App_Exit();

protected:
    void resizeEvent(QResizeEvent* e) override;

private:
    Keyboard_Answer Ask_Password(const std::string& prompt, const std::string& mask) override;
    void Show_Login_Screen() override;
    void Hide_Login_Screen() override { hide(); }
    void Timer1_Changed(bool on) override;
    void End_Program() override;
    void Lay_Out();

    Globals& g_;
    Alert_Port& alerts_;
    Login_Screen login_;
    QTimer timer1_;
    Touch_Label* img_Login_;
    QPushButton* cmd_Login_;
    QPushButton* cmd_Exit_;
    Serial_Port* port_ = nullptr;
    const Settings_Collection* settings_ = nullptr;
};

} // namespace pcs::ui
