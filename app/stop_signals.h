// A stop from outside (SIGTERM from the session or a service manager, SIGINT from Ctrl-C, SIGHUP when
// the terminal goes) is turned into the station's orderly exit in its event loop, so the rack is
// given back and the counter leaves remote mode as when the technician touches Exit. A second signal
// ends the program at once, whatever the station is waiting on (a locked lab database included).
#pragma once

#include <QObject>

#include <functional>

class QSocketNotifier;

namespace pcs::app {

class Stop_Signals : public QObject {
public:
    explicit Stop_Signals(std::function<void()> orderly_exit);
    ~Stop_Signals() override;
    Stop_Signals(const Stop_Signals&) = delete;
    Stop_Signals& operator=(const Stop_Signals&) = delete;

private:
    std::function<void()> exit_;
    QSocketNotifier* notifier_ = nullptr;
};

} // namespace pcs::app
