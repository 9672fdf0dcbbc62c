#include "station_app.h"

#include "any_backend.h"

#include "common/globals.h"
#include "counter/count_logs.h"
#include "db/connect_string.h"
#include "db/database.h"
#include "lab/batch.h"
#include "lab/rack.h"
#include "records/employee.h"
#include "records/prt_count.h"

#include <cstdio>

namespace pcs::app {

namespace {

// Until the screens are built in, alerts go to the terminal.
class Terminal_Alerts final : public Alert_Port {
public:
    void Alert(const std::string& text) override { std::fprintf(stderr, "pcstation: %s\n", text.c_str()); }
    int Ask_Yes_No(const std::string& question, bool, int) override {
        Alert(question);
        return Answer_Closed;
    }
};

} // namespace

struct Station_App::Parts {
    explicit Parts(const Station_Options& o) : options(o) {
        Init_Colors(g);
        g.Connect_String = db::Station_Connect_String();
        database.Set_Fallback_Connect_String(Fallback_Connect_String(o.Program_Folder));
    }
    Station_Options options;
    Globals g;
    System_Clock clock;
    Terminal_Alerts alerts;
    Any_Backend backend;
    db::Database database{g, backend, alerts};
    Employee technician{database};
    // Creating the shared rack loads settings.txt from the program folder.
    Rack rack{database, technician, clock};
    PrtCount result{database, technician};
    Batch bath_batch{database};
    Count_Logs logs{options.Program_Folder, alerts};
};

Station_App::Station_App(const Station_Options& options) : parts_(std::make_unique<Parts>(options)) {}

Station_App::~Station_App() = default;

int Station_App::Run() {
    std::fputs("pcstation: the station's screens are not part of this build yet\n", stderr);
    return Exit_Failed;
}

} // namespace pcs::app
