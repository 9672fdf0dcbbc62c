// Small RAII layer over one SQLite connection of the embedded lab database: the file set opened with
// its attached schemas, cached prepared statements, materialised query results and transactions.
// Internal to the embedded adapter.
#pragma once

#include "db/backend.h"
#include "db/memory_cursor.h"

#include <chrono>
#include <filesystem>
#include <initializer_list>
#include <map>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <variant>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

namespace pcs::embedded {

// An error SQLite reported, with its (extended) result code.
class Sqlite_Error : public std::runtime_error {
public:
    Sqlite_Error(int code, int extended, const std::string& what)
        : std::runtime_error(what), code_(code), extended_(extended) {}
    int Code() const noexcept { return code_; }
    int Extended_Code() const noexcept { return extended_; }
    bool Is_Busy() const noexcept;

private:
    int code_;
    int extended_;
};

// A prepared statement that is finalised when its handle goes.
struct Finalize_Statement {
    void operator()(sqlite3_stmt* st) const noexcept;
};
using Statement_Handle = std::unique_ptr<sqlite3_stmt, Finalize_Statement>;

// A value bound to a statement parameter.
using Param = std::variant<std::monostate, long long, double, std::string>;
Param Param_Of(const std::optional<std::string>& field);

// Rows read to the end: column names as the statement gives them, every value as text or NULL.
using Table = db::Memory_Table;

// The files of one lab database: the main file (schema "lab") and one file per attached schema.
// Beside them, the key of the employees' password lookup ("lab.key"), kept out of the database files so
// that a copy of those alone gives no quick way to the passwords.
struct File_Set {
    std::filesystem::path Lab;
    std::filesystem::path Labrack, Sop, Hadel;
    std::filesystem::path Key;
    static File_Set For(const std::filesystem::path& lab_file);
    std::vector<std::pair<std::string, std::filesystem::path>> Attached() const;
    // The database files, the main one last.
    std::vector<std::filesystem::path> Database_Files() const { return {Labrack, Sop, Hadel, Lab}; }
};

class Sqlite_Db {
public:
    // Opens an existing file set (create = false) or creates the files (create = true). Throws
    // db::Connect_Error when a file is missing or cannot be opened, a busy Sqlite_Error when another
    // process's lock outlasts the busy timeout.
    Sqlite_Db(const std::filesystem::path& lab_file, int busy_timeout_ms, bool create = false);
    ~Sqlite_Db();
    Sqlite_Db(const Sqlite_Db&) = delete;
    Sqlite_Db& operator=(const Sqlite_Db&) = delete;

    sqlite3* Handle() const noexcept { return db_; }
    const File_Set& Files() const noexcept { return files_; }
    // What an integrity check finds wrong in any of the database files, in a few words; nullopt when
    // they are sound.
    std::optional<std::string> Damage();
    void Set_Busy_Timeout(int ms);
    // Statements still running at the deadline are interrupted (SQLITE_INTERRUPT): the command
    // timeout, so that a runaway statement fails as a timeout instead of hanging the station.
    using Deadline = std::optional<std::chrono::steady_clock::time_point>;
    void Set_Deadline(Deadline deadline) noexcept { deadline_ = deadline; }
    bool Past_Deadline() const noexcept;
    // Rolls back an open transaction; never throws, and is not cut short by the deadline.
    void Rollback() noexcept;

    // Prepares one statement of sql (its first; rest, when given, points past it). The handle is empty for
    // a text of blanks or a comment. Throws Sqlite_Error when SQLite refuses the text.
    Statement_Handle Prepare(const char* sql, const char** rest = nullptr);
    // A prepared statement, kept for the connection's lifetime; reset and unbound when handed out.
    sqlite3_stmt* Prepare_Cached(const std::string& sql);

    // Runs one statement and reads all its rows.
    Table Query(const std::string& sql, std::initializer_list<Param> params = {});
    Table Query(const std::string& sql, const std::vector<Param>& params);
    // Runs one statement and returns the number of rows it changed.
    int Exec(const std::string& sql, std::initializer_list<Param> params = {});
    // Runs a script of statements (no parameters, no rows).
    void Exec_Script(const std::string& sql);
    long long Last_Insert_Id() const;
    bool In_Transaction() const;
    // The file set keeps the change logs that the racks' summary follows (rack_summary.h).
    bool Has_Change_Logs();
    // The file set keeps main.ready_counts, the READY tests per lab and test group (schema.h).
    bool Has_Ready_Counts();

    // Runs a statement prepared on the spot (not cached): plain statement texts vary with their values.
    // Returns whether it gave a result set (columns), and fills rows.
    bool Run_Text(const std::string& sql, Table& out);

private:
    sqlite3_stmt* Bind(const std::string& sql, const Param* params, size_t count);
    Table Read_All(sqlite3_stmt* st);
    [[noreturn]] void Fail(int rc) const;

    File_Set files_;
    sqlite3* db_ = nullptr;
    // Gives a lab database made before the change logs its logs, triggers and indexes; false when it
    // cannot (read-only, damaged, locked): the lists are then answered by their statements alone.
    bool Add_Change_Logs() noexcept;
    // The same for the READY counts: false when they cannot be made, and the test groups' counts are
    // then answered by counting the tests.
    bool Add_Ready_Counts() noexcept;
    // Whether the schema script that ends in that trigger and writes that db_info row ran through.
    bool Script_Ran(std::optional<bool>& known, const std::string& schema, const std::string& last_trigger,
                    const std::string& marker);
    // Runs a schema script in one write transaction; false when it could not.
    bool Run_Whole(const std::string& script) noexcept;

    std::map<std::string, Statement_Handle> cache_;
    Deadline deadline_;
    std::optional<bool> change_logs_;
    std::optional<bool> ready_counts_;
};

// A transaction that rolls back unless committed. Immediate transactions take the write lock at once,
// so two processes racing for the same rows are put in order.
class Transaction {
public:
    Transaction(Sqlite_Db& db, bool immediate);
    // Takes the write lock of one schema's file at once ("main", "labrack", "sop" or "hadel"), the
    // file the work writes, and leaves the other files to be locked if they are written after all. A
    // commit that wrote one file then syncs that file alone; one that wrote several still commits them
    // together (through SQLite's super-journal), as an immediate transaction over all of them would.
    Transaction(Sqlite_Db& db, const std::string& write_schema);
    ~Transaction();
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;
    void Commit();

private:
    Sqlite_Db& db_;
    bool open_ = false;
};

// The current local time as the database stores it ("YYYY-MM-DD hh:mm:ss").
std::string Now_Text();

} // namespace pcs::embedded
