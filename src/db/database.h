// Every read and write of the lab database: one connection per call, timeouts retried, the
// connection's error records turned into one alert text.
#pragma once

#include "common/globals.h"
#include "common/ports.h"
#include "db/backend.h"
#include "db/record_set.h"
#include "db/waiting.h"

#include <cstdint>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace pcs::db {

class Database {
public:
    // The backend opens whatever Connect_String names; alerts go to the alert port.
    Database(Globals& globals, Db_Backend& backend, Alert_Port& alerts);

    // Runs a statement that returns rows. Always returns a result set: the statement's, one that ran
    // without rows when it answered none, or a failed one with its error records (its first read throws
    // Not_Open_Error).
    // Throws Connect_Error when the data source cannot be reached.
    Record_Set Open_Recordset(const std::string& sql, bool show_errors = true);

    // Open_Recordset for a statement that must not run twice: a timeout is not retried, because the
    // server may have committed the first run before the answer was lost; only a lock timeout (the
    // server never ran it) is. The failed set's records say whether it timed out (Timed_Out).
    Record_Set Open_Recordset_Once(const std::string& sql, bool show_errors = true);

    // Runs a statement whose rows are discarded; true when it ran and left no error record with a
    // nonzero number. Throws Connect_Error when the data source cannot be reached.
    bool Execute_SQL(const std::string& sql, bool show_errors = true);

    // Checks the stored data the connection string names for damage (the whole of it: once at start, not
    // per statement); what is damaged in words, nullopt when sound or when the backend cannot tell.
    // Throws Connect_Error when the data source cannot be reached.
    std::optional<std::string> Check_Damage();

    // Readies the backend for the first statements (see Db_Backend::Warm_Up) on a thread of its own;
    // the returned thread must be joined.
    [[nodiscard]] std::thread Warm_Up();

    // Shows the records with a nonzero number in one alert (when asked) and returns how many there were.
    int16_t Show_DB_Errors(const std::vector<Error_Record>& records, bool show_errors);

    // Where the waits on the database run (connecting and running a statement); none: right here.
    void Set_Wait_Port(Wait_Port* port) { wait_port_ = port; }
    // What the technician is told the station waits for, while a Wait_Text lives.
    const std::string& Wait_Text() const { return wait_text_; }

    // The connection string stored when a call finds Connect_String empty.
    void Set_Fallback_Connect_String(std::string s) { fallback_ = std::move(s); }
    const std::string& Fallback_Connect_String() const { return fallback_; }

    static constexpr int16_t Retry_Limit = 5;
    // Zero between calls; exposed so tests can check it is given back.
    int16_t Open_Retry_Count() const { return open_retry_; }
    int16_t Execute_Retry_Count() const { return execute_retry_; }

private:
    // The globals' connection string, the fallback stored there first when it is empty.
    const std::string& Connect_String();
    std::shared_ptr<Db_Connection> Connect(const std::string& connect_string);
    // Connects and runs sql through the wait port.
    // With read_rows, behind a wait port the rows are read where the statement ran, so a slow server
    // keeps the worker waiting, never the screen.
    Exec_Outcome Connect_And_Run(const std::string& sql, std::shared_ptr<Db_Connection>& connection,
                                 bool read_rows);
    friend class Wait_Text;
    int16_t Count_Timeouts(const std::vector<Error_Record>& records) const;
    Record_Set Open(const std::string& sql, bool show_errors, bool retry);

    Globals& globals_;
    Db_Backend& backend_;
    Alert_Port& alerts_;
    std::string fallback_;
    int16_t open_retry_ = 0;
    int16_t execute_retry_ = 0;
    Wait_Port* wait_port_ = nullptr;
    std::string wait_text_ = Default_Wait_Text;
};

// Names what the statements run while it lives wait for ("Loading rack PC-R012…"); the name before it
// comes back when it goes.
class Wait_Text {
public:
    Wait_Text(Database& db, std::string text) : db_(db), kept_(std::move(db.wait_text_)) {
        db_.wait_text_ = std::move(text);
    }
    ~Wait_Text() { db_.wait_text_ = std::move(kept_); }
    Wait_Text(const Wait_Text&) = delete;
    Wait_Text& operator=(const Wait_Text&) = delete;

private:
    Database& db_;
    std::string kept_;
};

// True when a failed statement's records say it timed out other than waiting for a lock: whether it
// ran is then unknown.
bool Timed_Out(const Record_Set& rs);

// The alert text for a list of error records: an "Error[n]" block per record with a nonzero number.
std::string Format_DB_Errors(const std::vector<Error_Record>& records, int16_t* count = nullptr);

} // namespace pcs::db
