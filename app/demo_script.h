// The run command's look at a station without a screen: saves the login screen to a PNG and, given
// the demo password in PCSTATION_DEMO_PASSWORD, logs in by touching the on-screen keys and saves the
// working forms too. The password is never taken from the command line, where anyone could read it.
#pragma once

#include <QImage>
#include <QObject>
#include <QString>

class QWidget;

namespace pcs::app {

// Touches the password's keys and Enter on the on-screen keyboard when it is showing; false when not.
bool Type_On_Keyboard(const QString& password);

// The working forms as they stand on the screen, drawn one over the other in their stacking order; a
// null image when none is showing.
QImage Working_Forms_Picture();

class Demo_Script : public QObject {
public:
    Demo_Script(QWidget* login_screen, QString folder, QString password);
    void Start();

private:
    void Type_Password();
    void Save_Working_Forms();
    QWidget* login_;
    QString folder_, password_;
};

} // namespace pcs::app
