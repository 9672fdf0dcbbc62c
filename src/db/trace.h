// The statement trace: every statement sent to the lab database, its outcome and its duration, appended
// to a file as JSON lines. Lab IT and the tests read it; PCSTATION_SQL_TRACE=path switches it on.
//
// Each statement gives one "statement" line when it returns:
//   {"time":"2024-05-02T08:15:00.123Z","pid":4711,"id":3,"event":"statement","sql":"select ...",
//    "ok":true,"result":"rows","errors":[{"number":50000,"sql_state":"01000","native":50000,
//    "description":"..."}],"ms":1.25}
// "result" is "rows" when the statement gave a result set, "none" otherwise. A result set's row count is
// known only when it has been read, so a second line with the same id follows when it reaches its end
// ("end":true) or is closed before it ("end":false):
//   {"time":"...","pid":4711,"id":3,"event":"rows","rows":20,"end":true,"fetch_ms":0.4}
// A connection that cannot be opened gives a "connect_failed" line with its records (never the
// connection string: it holds the password). Every line is flushed as it is written, so a crash loses
// nothing already traced.
#pragma once

#include "db/backend.h"

#include <memory>
#include <string>

namespace pcs::db {

inline constexpr const char* Sql_Trace_Variable = "PCSTATION_SQL_TRACE";

// The trace file could not be opened for appending.
class Trace_Error : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class Trace_File;

// A backend that traces everything sent through the backend it wraps.
class Tracing_Backend : public Db_Backend {
public:
    // The inner backend must outlive this one. Throws Trace_Error when the file cannot be opened.
    Tracing_Backend(Db_Backend& inner, const std::string& path);
    Tracing_Backend(std::unique_ptr<Db_Backend> inner, const std::string& path);
    ~Tracing_Backend() override;

    std::unique_ptr<Db_Connection> Connect(const std::string& connect_string,
                                           const Connect_Options& options) override;
    std::optional<std::string> Check_Damage(const std::string& connect_string) override {
        return inner_.Check_Damage(connect_string);
    }
    void Warm_Up(const std::string& connect_string) noexcept override { inner_.Warm_Up(connect_string); }

private:
    std::unique_ptr<Db_Backend> owned_;
    Db_Backend& inner_;
    std::shared_ptr<Trace_File> file_;
};

// The backend itself, or a Tracing_Backend around it writing to trace_file when one is named.
// Throws Trace_Error when the file named cannot be opened.
std::unique_ptr<Db_Backend> With_Statement_Trace(std::unique_ptr<Db_Backend> backend,
                                                 const std::string& trace_file);
// The same with the file PCSTATION_SQL_TRACE names, for the tools.
std::unique_ptr<Db_Backend> With_Statement_Trace(std::unique_ptr<Db_Backend> backend);

} // namespace pcs::db
