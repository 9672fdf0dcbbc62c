// The web browser as a process of its own: started with the address as its one argument, detached
// (its own session, not our child), never waited for, no shell in between.
#pragma once

#include "db/documents.h"

#include <string>

namespace pcs::browser {

class Process_Browser : public db::Browser_Port {
public:
    // program: a path, or a name looked up in PATH (e.g. "xdg-open").
    explicit Process_Browser(std::string program) : program_(std::move(program)) {}

    // Returns once the browser's program has been started; throws db::Browser_Error when it cannot be
    // found or started.
    void Open_Address(const std::string& address) override;

    const std::string& Program() const { return program_; }

private:
    std::string program_;
};

} // namespace pcs::browser
