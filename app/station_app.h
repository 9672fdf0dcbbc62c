// The composition root: the process-wide values, the database, the shared records and the screens,
// built in the station's start-up order and run on one user-interface thread.
#pragma once

#include "station_options.h"

#include <memory>

class QWidget;

namespace pcs::app {

class Station_App {
public:
    explicit Station_App(const Station_Options& options);
    ~Station_App();
    Station_App(const Station_App&) = delete;
    Station_App& operator=(const Station_App&) = delete;

    // Shows the login screen and runs the event loop until the station exits; the exit code. Right
    // after the login screen is up, the lab database is checked (Refuse_Damaged_Lab_Database): damage
    // ends the station with Exit_Damaged_Lab_Database.
    int Run();
    // Once at start, before any login: damage in the lab database's files is named to the technician
    // (an alert and one line on standard error) and true is answered, so that the station ends instead
    // of writing into them. A database that cannot be reached is left to the login to report.
    bool Refuse_Damaged_Lab_Database();
    QWidget* Login_Screen();
    // The bench's only program: --kiosk, or KIOSK;1 in settings.txt.
    bool Kiosk() const;
    // The exit the rack view's Exit makes (the rack given back, the counter out of remote mode), or the
    // login screen's when no technician has logged in yet.
    void Orderly_Exit();

private:
    struct Parts;
    std::unique_ptr<Parts> parts_;
};

} // namespace pcs::app
