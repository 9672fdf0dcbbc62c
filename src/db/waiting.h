// A statement can wait on the lab database for as long as its timeouts allow (300 s to connect): the
// screens must not freeze meanwhile. The database hands the wait (connecting and running the statement)
// to this port, which runs it where it likes and returns when it is done; the screen's side keeps
// painting and says what it waits for. Without a port the wait runs where it is asked for.
#pragma once

#include <functional>
#include <string>

namespace pcs::db {

class Wait_Port {
public:
    virtual ~Wait_Port() = default;
    // Runs work to its end and returns, or throws what work threw. `what` names the wait for the
    // technician ("Checking the password…"). Work touches only what it was given: no screen, no
    // shared record.
    virtual void Wait_For(const std::string& what, const std::function<void()>& work) = 0;
};

// The words shown for a wait nobody named.
inline constexpr const char* Default_Wait_Text = "Waiting for the lab database…";

} // namespace pcs::db
