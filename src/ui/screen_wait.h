// The waits on the lab database, on the touch screen: the statement runs on a worker thread while the
// screen's thread goes on painting; touches made meanwhile are dropped (a finger on a station that is
// busy must not fire later), and a wait that lasts more than a moment shows what it waits for.
#pragma once

#include "db/waiting.h"

#include <QObject>
#include <QPointer>

#include <chrono>
#include <functional>

class QWidget;

namespace pcs::ui {

class Form_Message;

class Screen_Wait final : public QObject, public db::Wait_Port {
    Q_OBJECT
public:
    Screen_Wait();
    ~Screen_Wait() override;

    // The window the status is shown over; the active window when unset.
    std::function<QWidget*()> Owner;
    // Waits shorter than this are not worth words on the screen.
    std::chrono::milliseconds Status_Delay{250};

    void Wait_For(const std::string& what, const std::function<void()>& work) override;

    // True while the screen's thread waits on the lab database: its controls take no touch.
    static bool Waiting();
    // The status shown for the wait in progress, null when none shows.
    Form_Message* Status() const;

private:
    QPointer<Form_Message> status_;
};

} // namespace pcs::ui
