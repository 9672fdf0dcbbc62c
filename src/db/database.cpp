#include "db/database.h"
#include "db/memory_cursor.h"

#include "common/messages.h"

#include <algorithm>

namespace pcs::db {

namespace {

// Puts a retry counter back to 0 however the call ends.
struct Counter_Reset {
    int16_t& counter;
    ~Counter_Reset() { counter = 0; }
};

} // namespace

Database::Database(Globals& globals, Db_Backend& backend, Alert_Port& alerts)
    : globals_(globals), backend_(backend), alerts_(alerts) {}

const std::string& Database::Connect_String() {
    if (globals_.Connect_String.empty()) globals_.Connect_String = fallback_;
    return globals_.Connect_String;
}

std::optional<std::string> Database::Check_Damage() {
    const std::string cs = Connect_String();
    std::optional<std::string> damage;
    auto check = [&] { damage = backend_.Check_Damage(cs); };
    if (wait_port_)
        wait_port_->Wait_For(wait_text_, check);
    else
        check();
    return damage;
}

std::thread Database::Warm_Up() {
    return std::thread([&backend = backend_, cs = Connect_String()] { backend.Warm_Up(cs); });
}

std::shared_ptr<Db_Connection> Database::Connect(const std::string& connect_string) {
    Connect_Options options;
    options.Command_Timeout_S = 20;
    options.Connection_Timeout_S = 300;
    return std::shared_ptr<Db_Connection>(backend_.Connect(connect_string, options));
}

Exec_Outcome Database::Connect_And_Run(const std::string& sql, std::shared_ptr<Db_Connection>& connection,
                                       bool read_rows) {
    // The connection string is read here: the fallback may have to be stored in the globals first.
    const std::string cs = Connect_String();
    Exec_Outcome outcome;
    auto run = [&] {
        connection = Connect(cs);
        outcome = connection->Execute(sql);
        if (read_rows && wait_port_ && outcome.Ok) outcome.Rows = Read_Ahead(std::move(outcome.Rows));
    };
    if (wait_port_)
        wait_port_->Wait_For(wait_text_, run);
    else
        run();
    return outcome;
}

int16_t Database::Count_Timeouts(const std::vector<Error_Record>& records) const {
    int16_t n = 0;
    for (const auto& r : records)
        if (r.Number == Timeout_Error_Number) ++n;
    return n;
}

Record_Set Database::Open_Recordset(const std::string& sql, bool show_errors) {
    return Open(sql, show_errors, true);
}

Record_Set Database::Open_Recordset_Once(const std::string& sql, bool show_errors) {
    return Open(sql, show_errors, false);
}

Record_Set Database::Open(const std::string& sql, bool show_errors, bool retry) {
    if (open_retry_ == 0) open_retry_ = 1;
    Counter_Reset reset{open_retry_};

    std::shared_ptr<Db_Connection> connection;
    Exec_Outcome outcome = Connect_And_Run(sql, connection, true);
    if (outcome.Ok) {
        Show_DB_Errors(outcome.Errors, show_errors);
        if (!outcome.Rows) return Record_Set::Ran_Without_Rows();
        return Record_Set(std::move(connection), std::move(outcome.Rows));
    }
    int16_t timeouts = Count_Timeouts(outcome.Errors);
    open_retry_ = static_cast<int16_t>(open_retry_ + timeouts);
    // A statement sent once is still sent again when the server says it never ran it.
    if (!retry)
        retry = std::all_of(outcome.Errors.begin(), outcome.Errors.end(), [](const Error_Record& r) {
            return r.Number != Timeout_Error_Number || r.Native_Error == Lock_Timeout_Native_Error;
        });
    if (retry && timeouts > 0 && open_retry_ <= Retry_Limit) {
        connection.reset();
        return Open(sql, show_errors, true);
    }
    return Record_Set::Failed_With(std::move(outcome.Errors));
}

bool Database::Execute_SQL(const std::string& sql, bool show_errors) {
    if (execute_retry_ == 0) execute_retry_ = 1;
    Counter_Reset reset{execute_retry_};

    std::shared_ptr<Db_Connection> connection;
    Exec_Outcome outcome = Connect_And_Run(sql, connection, false);
    // The rows, if any, are not wanted; release them before the connection.
    outcome.Rows.reset();
    if (outcome.Ok && Show_DB_Errors(outcome.Errors, show_errors) == 0) return true;
    int16_t timeouts = Count_Timeouts(outcome.Errors);
    execute_retry_ = static_cast<int16_t>(execute_retry_ + timeouts);
    if (timeouts > 0 && execute_retry_ <= Retry_Limit) {
        connection.reset();
        return Execute_SQL(sql, show_errors);
    }
    return false;
}

bool Timed_Out(const Record_Set& rs) {
    if (!rs.Failed()) return false;
    for (const auto& r : rs.Errors())
        if (r.Number == Timeout_Error_Number && r.Native_Error != Lock_Timeout_Native_Error) return true;
    return false;
}

std::string Format_DB_Errors(const std::vector<Error_Record>& records, int16_t* count) {
    std::string text;
    int16_t n = 0;
    for (const auto& r : records) {
        if (r.Number == 0) continue;
        text += "Error[" + std::to_string(r.Number) + "]\r\n\r\n" + r.Description + "\r\n\r\n\r\n";
        ++n;
    }
    if (count) *count = n;
    return text;
}

int16_t Database::Show_DB_Errors(const std::vector<Error_Record>& records, bool show_errors) {
    int16_t count = 0;
    std::string text = Format_DB_Errors(records, &count);
    if (!text.empty() && show_errors) Show_Alert(alerts_, text);
    return count;
}

} // namespace pcs::db
