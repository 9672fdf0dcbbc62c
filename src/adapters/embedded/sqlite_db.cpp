#include "sqlite_db.h"

#include "rack_summary.h"
#include "schema.h"

#include "common/local_time.h"
#include "common/text.h"
#include "db/error_numbers.h"

#include <sqlite3.h>

#include <chrono>

namespace pcs::embedded {

namespace fs = std::filesystem;

namespace {

// SQL Server's way: charindex(needle, haystack [, start]) is 1-based, 0 when absent, and ignores case
// under the lab's collation.
void Charindex(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL || sqlite3_value_type(argv[1]) == SQLITE_NULL) {
        sqlite3_result_null(ctx);
        return;
    }
    std::string needle = UCase(reinterpret_cast<const char*>(sqlite3_value_text(argv[0])));
    std::string hay = UCase(reinterpret_cast<const char*>(sqlite3_value_text(argv[1])));
    long long start = 1;
    if (argc == 3 && sqlite3_value_type(argv[2]) != SQLITE_NULL) start = sqlite3_value_int64(argv[2]);
    if (start < 1) start = 1;
    if (needle.empty() || static_cast<size_t>(start - 1) > hay.size()) {
        sqlite3_result_int(ctx, 0);
        return;
    }
    size_t at = hay.find(needle, static_cast<size_t>(start - 1));
    sqlite3_result_int64(ctx, at == std::string::npos ? 0 : static_cast<long long>(at) + 1);
}

void Isnumeric(sqlite3_context* ctx, int, sqlite3_value** argv) {
    int type = sqlite3_value_type(argv[0]);
    if (type == SQLITE_NULL) {
        sqlite3_result_int(ctx, 0);
    } else if (type == SQLITE_INTEGER || type == SQLITE_FLOAT) {
        sqlite3_result_int(ctx, 1);
    } else {
        const char* text = reinterpret_cast<const char*>(sqlite3_value_text(argv[0]));
        sqlite3_result_int(ctx, text && Is_Numeric(text) ? 1 : 0);
    }
}

void Getdate(sqlite3_context* ctx, int, sqlite3_value**) {
    std::string now = Now_Text();
    sqlite3_result_text(ctx, now.c_str(), static_cast<int>(now.size()), SQLITE_TRANSIENT);
}

// len() ignores trailing blanks, as the server's does.
void Len(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) {
        sqlite3_result_null(ctx);
        return;
    }
    const char* text = reinterpret_cast<const char*>(sqlite3_value_text(argv[0]));
    sqlite3_result_int64(ctx, static_cast<long long>(RTrim(text ? text : "").size()));
}

void Register_Functions(sqlite3* db) {
    int flags = SQLITE_UTF8 | SQLITE_DETERMINISTIC;
    sqlite3_create_function(db, "charindex", 2, flags, nullptr, Charindex, nullptr, nullptr);
    sqlite3_create_function(db, "charindex", 3, flags, nullptr, Charindex, nullptr, nullptr);
    sqlite3_create_function(db, "isnumeric", 1, flags, nullptr, Isnumeric, nullptr, nullptr);
    sqlite3_create_function(db, "len", 1, flags, nullptr, Len, nullptr, nullptr);
    sqlite3_create_function(db, "getdate", 0, SQLITE_UTF8, nullptr, Getdate, nullptr, nullptr);
}

// Called by SQLite every few hundred virtual-machine steps; a nonzero answer interrupts the statement.
int Check_Deadline(void* db) {
    return static_cast<const Sqlite_Db*>(db)->Past_Deadline() ? 1 : 0;
}

fs::path With_Schema(const fs::path& lab, const std::string& schema) {
    fs::path p = lab;
    std::string ext = p.extension().string();
    p.replace_extension();
    return fs::path(p.string() + "." + schema + ext);
}

} // namespace

void Finalize_Statement::operator()(sqlite3_stmt* st) const noexcept {
    sqlite3_finalize(st);
}

bool Sqlite_Error::Is_Busy() const noexcept {
    return code_ == SQLITE_BUSY || code_ == SQLITE_LOCKED;
}

Param Param_Of(const std::optional<std::string>& field) {
    if (!field) return std::monostate{};
    return *field;
}

File_Set File_Set::For(const fs::path& lab_file) {
    File_Set f;
    f.Lab = lab_file;
    f.Labrack = With_Schema(lab_file, "labrack");
    f.Sop = With_Schema(lab_file, "sop");
    f.Hadel = With_Schema(lab_file, "hadel");
    f.Key = fs::path(lab_file).replace_extension(".key");
    return f;
}

std::vector<std::pair<std::string, fs::path>> File_Set::Attached() const {
    return {{"labrack", Labrack}, {"sop", Sop}, {"hadel", Hadel}};
}

Sqlite_Db::Sqlite_Db(const fs::path& lab_file, int busy_timeout_ms, bool create)
    : files_(File_Set::For(lab_file)) {
    const File_Set& files = files_;
    if (!create) {
        for (const fs::path& p : {files.Lab, files.Labrack, files.Sop, files.Hadel}) {
            std::error_code ec;
            if (!fs::is_regular_file(p, ec))
                throw db::Connect_Error(
                    "The embedded lab database file " + p.string() +
                        " does not exist (create it with: labdb create " + lab_file.string() + ")",
                    {{db::Connection_Error_Number,
                      "Cannot open the embedded lab database: " + p.string() + " does not exist.", "08001",
                      SQLITE_CANTOPEN}});
        }
    }
    int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX | (create ? SQLITE_OPEN_CREATE : 0);
    int rc = sqlite3_open_v2(files.Lab.string().c_str(), &db_, flags, nullptr);
    auto refuse = [&](const std::string& what) {
        std::string message = what + (db_ ? std::string(": ") + sqlite3_errmsg(db_) : std::string());
        int code = db_ ? sqlite3_extended_errcode(db_) : rc;
        if (db_) sqlite3_close_v2(db_);
        db_ = nullptr;
        // Another process's lock outlasting the wait is a timeout, as for any statement, not a lost database.
        if ((code & 0xff) == SQLITE_BUSY || (code & 0xff) == SQLITE_LOCKED)
            throw Sqlite_Error(code & 0xff, code, "locked by another process while the connection opened");
        throw db::Connect_Error(message, {{db::Connection_Error_Number, message, "08001", code}});
    };
    if (rc != SQLITE_OK) refuse("Cannot open the embedded lab database " + files.Lab.string());
    sqlite3_extended_result_codes(db_, 1);
    Set_Busy_Timeout(busy_timeout_ms);
    if (!create) {
        // The main file is read before the others are attached, so damage to it is named as itself and
        // not as the first file attached after it.
        char* err = nullptr;
        rc = sqlite3_exec(db_, "SELECT count(*) FROM main.sqlite_master", nullptr, nullptr, &err);
        sqlite3_free(err);
        if (rc != SQLITE_OK) refuse("Cannot read the embedded lab database " + files.Lab.string());
    }
    for (const auto& [schema, path] : files.Attached()) {
        sqlite3_stmt* raw = nullptr;
        std::string sql = "ATTACH DATABASE ?1 AS " + schema;
        rc = sqlite3_prepare_v2(db_, sql.c_str(), -1, &raw, nullptr);
        Statement_Handle st(raw);
        if (rc != SQLITE_OK) refuse("Cannot attach " + path.string());
        std::string p = path.string();
        sqlite3_bind_text(st.get(), 1, p.c_str(), static_cast<int>(p.size()), SQLITE_TRANSIENT);
        rc = sqlite3_step(st.get());
        st.reset();
        if (rc != SQLITE_DONE) refuse("Cannot attach " + path.string());
    }
    Register_Functions(db_);
    sqlite3_progress_handler(db_, 500, Check_Deadline, this);
    char* err = nullptr;
    if (sqlite3_exec(db_, "PRAGMA foreign_keys = ON", nullptr, nullptr, &err) != SQLITE_OK) sqlite3_free(err);
    // The rows an INSERT OR REPLACE pushes out leave through the delete triggers, so the change logs and
    // the READY counts see them go. No trigger writes to a table that has triggers of its own.
    err = nullptr;
    if (sqlite3_exec(db_, "PRAGMA recursive_triggers = ON", nullptr, nullptr, &err) != SQLITE_OK)
        sqlite3_free(err);
    // A journal kept between transactions (its header zeroed at commit, with a sync) instead of one made
    // and deleted for each: the commit's syncs then change no file's size or folder, which is what makes
    // a sync slow. Commits stay durable and the four files still commit together.
    for (const char* schema : {"main", "labrack", "sop", "hadel"}) {
        err = nullptr;
        std::string pragma = std::string("PRAGMA ") + schema + ".journal_mode = PERSIST";
        if (sqlite3_exec(db_, pragma.c_str(), nullptr, nullptr, &err) != SQLITE_OK) sqlite3_free(err);
    }
    if (!create) {
        // A file that is not a lab database is refused here rather than at the first statement.
        sqlite3_stmt* raw = nullptr;
        rc = sqlite3_prepare_v2(db_, "SELECT VALUE FROM main.db_info WHERE NAME = 'schema_version'", -1, &raw,
                                nullptr);
        Statement_Handle st(raw);
        if (rc == SQLITE_OK) rc = sqlite3_step(st.get());
        st.reset();
        if (rc != SQLITE_ROW) refuse(files.Lab.string() + " is not an embedded lab database");
        if (!Has_Change_Logs()) change_logs_ = Add_Change_Logs();
        if (!Has_Ready_Counts()) ready_counts_ = Add_Ready_Counts();
    }
}

// A script that ran through left its last trigger and its db_info row; asked once per connection.
bool Sqlite_Db::Script_Ran(std::optional<bool>& known, const std::string& schema,
                           const std::string& last_trigger, const std::string& marker) {
    if (known) return *known;
    try {
        known = !Query("SELECT 1 FROM " + schema + ".sqlite_master WHERE type = 'trigger' AND name = '" +
                       last_trigger + "'")
                     .Rows.empty() &&
                !Query("SELECT 1 FROM main.db_info WHERE NAME = '" + marker + "'").Rows.empty();
    } catch (const Sqlite_Error&) {
        known = false;
    }
    return *known;
}

bool Sqlite_Db::Run_Whole(const std::string& script) noexcept {
    try {
        Transaction tx(*this, true);
        Exec_Script(script);
        tx.Commit();
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

bool Sqlite_Db::Has_Change_Logs() {
    return Script_Ran(change_logs_, "labrack", "racks_logged_delete", "summary_epoch");
}

bool Sqlite_Db::Add_Change_Logs() noexcept {
    return Run_Whole(Rack_Summary_Schema_Sql());
}

bool Sqlite_Db::Has_Ready_Counts() {
    return Script_Ran(ready_counts_, "main", "lab_tracking_ready_update", "ready_counts");
}

bool Sqlite_Db::Add_Ready_Counts() noexcept {
    return Run_Whole(Ready_Counts_Schema_Sql());
}

Sqlite_Db::~Sqlite_Db() {
    cache_.clear();
    if (db_) sqlite3_close_v2(db_);
}

std::optional<std::string> Sqlite_Db::Damage() {
    // integrity_check rather than quick_check: it also finds an index that no longer matches its table,
    // the way a UNIQUE lab number ends up twice.
    std::string found;
    for (const auto& [schema, path] :
         std::vector<std::pair<std::string, fs::path>>{{"main", files_.Lab},
                                                       {"labrack", files_.Labrack},
                                                       {"sop", files_.Sop},
                                                       {"hadel", files_.Hadel}}) {
        try {
            Table t = Query("PRAGMA " + schema + ".integrity_check(3)");
            if (t.Rows.size() == 1 && t.Rows[0][0] == std::optional<std::string>("ok")) continue;
            found += (found.empty() ? "" : "; ") + path.filename().string() + ":";
            for (const auto& r : t.Rows)
                found += " " + r[0].value_or("");
        } catch (const Sqlite_Error& e) {
            if (e.Is_Busy() || e.Code() == SQLITE_INTERRUPT) throw; // in use, not damaged
            found += (found.empty() ? "" : "; ") + path.filename().string() + ": " + e.what();
        }
    }
    if (found.empty()) return std::nullopt;
    return found;
}

void Sqlite_Db::Set_Busy_Timeout(int ms) {
    sqlite3_busy_timeout(db_, ms);
}

bool Sqlite_Db::Past_Deadline() const noexcept {
    return deadline_ && std::chrono::steady_clock::now() >= *deadline_;
}

void Sqlite_Db::Rollback() noexcept {
    if (!db_ || sqlite3_get_autocommit(db_) != 0) return;
    Deadline kept = deadline_;
    deadline_.reset();
    sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    deadline_ = kept;
}

void Sqlite_Db::Fail(int rc) const {
    throw Sqlite_Error(rc & 0xff, sqlite3_extended_errcode(db_), sqlite3_errmsg(db_));
}

sqlite3_stmt* Sqlite_Db::Prepare_Cached(const std::string& sql) {
    auto it = cache_.find(sql);
    if (it != cache_.end()) {
        sqlite3_reset(it->second.get());
        sqlite3_clear_bindings(it->second.get());
        return it->second.get();
    }
    sqlite3_stmt* raw = nullptr;
    int rc = sqlite3_prepare_v3(db_, sql.c_str(), -1, SQLITE_PREPARE_PERSISTENT, &raw, nullptr);
    Statement_Handle st(raw);
    if (rc != SQLITE_OK) Fail(rc);
    return cache_.emplace(sql, std::move(st)).first->second.get();
}

Statement_Handle Sqlite_Db::Prepare(const char* sql, const char** rest) {
    sqlite3_stmt* raw = nullptr;
    int rc = sqlite3_prepare_v2(db_, sql, -1, &raw, rest);
    Statement_Handle st(raw);
    if (rc != SQLITE_OK) Fail(rc);
    return st;
}

sqlite3_stmt* Sqlite_Db::Bind(const std::string& sql, const Param* params, size_t count) {
    sqlite3_stmt* st = Prepare_Cached(sql);
    for (size_t i = 0; i < count; ++i) {
        int idx = static_cast<int>(i + 1);
        const Param& p = params[i];
        int rc = SQLITE_OK;
        if (std::holds_alternative<std::monostate>(p))
            rc = sqlite3_bind_null(st, idx);
        else if (auto v = std::get_if<long long>(&p))
            rc = sqlite3_bind_int64(st, idx, *v);
        else if (auto d = std::get_if<double>(&p))
            rc = sqlite3_bind_double(st, idx, *d);
        else {
            const std::string& s = std::get<std::string>(p);
            rc = sqlite3_bind_text(st, idx, s.data(), static_cast<int>(s.size()), SQLITE_TRANSIENT);
        }
        if (rc != SQLITE_OK) Fail(rc);
    }
    return st;
}

Table Sqlite_Db::Read_All(sqlite3_stmt* st) {
    // Answers are read whole (no read lock outlives the call); one larger than any the station asks for
    // is refused rather than allowed to exhaust the station's memory.
    constexpr size_t Max_Answer_Bytes = size_t(512) << 20;
    Table t;
    int n = sqlite3_column_count(st);
    t.Columns.reserve(n);
    for (int c = 0; c < n; ++c)
        t.Columns.emplace_back(sqlite3_column_name(st, c));
    size_t bytes = 0;
    for (;;) {
        int rc = sqlite3_step(st);
        if (rc == SQLITE_DONE) break;
        // Rows that come cheaply still count against the deadline.
        if (rc == SQLITE_ROW && (t.Rows.size() & 1023) == 1023 && Past_Deadline()) rc = SQLITE_INTERRUPT;
        if (rc != SQLITE_ROW) {
            sqlite3_reset(st);
            if (rc == SQLITE_INTERRUPT) throw Sqlite_Error(SQLITE_INTERRUPT, SQLITE_INTERRUPT, "interrupted");
            Fail(rc);
        }
        std::vector<db::Field> row;
        row.reserve(n);
        bytes += sizeof(std::vector<db::Field>) + n * sizeof(db::Field);
        for (int c = 0; c < n; ++c) {
            if (sqlite3_column_type(st, c) == SQLITE_NULL) {
                row.emplace_back(std::nullopt);
            } else {
                const char* text = reinterpret_cast<const char*>(sqlite3_column_text(st, c));
                size_t size = static_cast<size_t>(sqlite3_column_bytes(st, c));
                if (!text) {
                    sqlite3_reset(st);
                    throw Sqlite_Error(SQLITE_NOMEM, SQLITE_NOMEM, "out of memory reading a value");
                }
                row.emplace_back(std::string(text, size));
                bytes += size;
            }
        }
        t.Rows.push_back(std::move(row));
        if (bytes > Max_Answer_Bytes) {
            sqlite3_reset(st);
            throw Sqlite_Error(SQLITE_TOOBIG, SQLITE_TOOBIG,
                               "the answer is larger than 512 MB after " + std::to_string(t.Rows.size()) +
                                   " rows: narrow the statement down");
        }
    }
    sqlite3_reset(st);
    return t;
}

Table Sqlite_Db::Query(const std::string& sql, std::initializer_list<Param> params) {
    return Read_All(Bind(sql, params.begin(), params.size()));
}

Table Sqlite_Db::Query(const std::string& sql, const std::vector<Param>& params) {
    return Read_All(Bind(sql, params.data(), params.size()));
}

int Sqlite_Db::Exec(const std::string& sql, std::initializer_list<Param> params) {
    sqlite3_stmt* st = Bind(sql, params.begin(), params.size());
    int rc;
    while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
    }
    sqlite3_reset(st);
    if (rc != SQLITE_DONE) Fail(rc);
    return sqlite3_changes(db_);
}

void Sqlite_Db::Exec_Script(const std::string& sql) {
    char* err = nullptr;
    int rc = sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &err);
    if (rc != SQLITE_OK) {
        std::string message = err ? err : sqlite3_errstr(rc);
        sqlite3_free(err);
        throw Sqlite_Error(rc & 0xff, sqlite3_extended_errcode(db_), message);
    }
}

long long Sqlite_Db::Last_Insert_Id() const {
    return sqlite3_last_insert_rowid(db_);
}

bool Sqlite_Db::In_Transaction() const {
    return sqlite3_get_autocommit(db_) == 0;
}

namespace {

// A statement text from outside may not reach other files or change how the file set is kept, whatever
// the dialect let through.
int Refuse_Outside_Files(void*, int action, const char*, const char*, const char*, const char*) {
    return action == SQLITE_ATTACH || action == SQLITE_DETACH || action == SQLITE_PRAGMA ? SQLITE_DENY
                                                                                         : SQLITE_OK;
}

} // namespace

bool Sqlite_Db::Run_Text(const std::string& sql, Table& out) {
    // One statement per text: the first is the answer, and anything after it but blanks is refused.
    const char* tail = nullptr;
    sqlite3_set_authorizer(db_, Refuse_Outside_Files, nullptr);
    Statement_Handle st;
    try {
        st = Prepare(sql.c_str(), &tail);
    } catch (...) {
        sqlite3_set_authorizer(db_, nullptr, nullptr);
        throw;
    }
    sqlite3_set_authorizer(db_, nullptr, nullptr);
    if (!st) throw Sqlite_Error(SQLITE_MISUSE, SQLITE_MISUSE, "the statement is empty");
    if (tail && *tail) {
        sqlite3_stmt* raw = nullptr;
        int rc = sqlite3_prepare_v2(db_, tail, -1, &raw, nullptr);
        Statement_Handle next(raw);
        if (rc != SQLITE_OK || next)
            throw Sqlite_Error(SQLITE_MISUSE, SQLITE_MISUSE, "only one statement per text is answered");
    }
    if (sqlite3_column_count(st.get()) > 0) {
        out = Read_All(st.get());
        return true;
    }
    int rc;
    while ((rc = sqlite3_step(st.get())) == SQLITE_ROW) {
    }
    if (rc != SQLITE_DONE) Fail(rc);
    return false;
}

Transaction::Transaction(Sqlite_Db& db, bool immediate) : db_(db) {
    db_.Exec(immediate ? "BEGIN IMMEDIATE" : "BEGIN");
    open_ = true;
}

Transaction::Transaction(Sqlite_Db& db, const std::string& write_schema) : db_(db) {
    // A write that changes nothing takes the file's write lock (waiting out the busy timeout), as BEGIN
    // IMMEDIATE does for every file.
    static const std::map<std::string, std::string> no_change = {
        {"main", "UPDATE main.db_info SET VALUE = VALUE WHERE 0"},
        {"labrack", "UPDATE labrack.racks SET CURR_USER = CURR_USER WHERE 0"},
        {"sop", "UPDATE sop.documents SET DOC_TYPE = DOC_TYPE WHERE 0"},
        {"hadel", "UPDATE hadel.employees SET STATION = STATION WHERE 0"}};
    auto it = no_change.find(write_schema);
    db_.Exec(it == no_change.end() ? "BEGIN IMMEDIATE" : "BEGIN");
    open_ = true;
    if (it != no_change.end()) db_.Exec(it->second);
}

Transaction::~Transaction() {
    if (open_) db_.Rollback();
}

void Transaction::Commit() {
    db_.Exec("COMMIT");
    open_ = false;
}

std::string Now_Text() {
    return Local_Date_Time_Text(std::chrono::system_clock::now());
}

} // namespace pcs::embedded
