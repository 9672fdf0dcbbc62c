#include "embedded_backend.h"

#include "procedures.h"
#include "rack_summary.h"
#include "sql_dialect.h"
#include "sqlite_db.h"

#include "common/text.h"
#include "db/error_numbers.h"
#include "db/secrets.h"

#include <sqlite3.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <map>
#include <mutex>
#include <regex>

namespace pcs::embedded {

namespace fs = std::filesystem;

namespace {

db::Error_Record Record(const std::string& sql_state, int native, const std::string& description) {
    return db::Error_Record{Error_Number_For(sql_state), description, sql_state, native};
}

// SQLite's schema names back to the names the station writes.
std::string Station_Names(std::string text) {
    static const std::regex main_name(R"(\bmain\.)");
    static const std::regex attached(R"(\b(labrack|sop|hadel)\.)");
    text = std::regex_replace(text, main_name, "lab.dbo.");
    return std::regex_replace(text, attached, "$1.dbo.");
}

// What a technician or the lab's IT can look at when the files cannot be written: the first file of the
// set that cannot be, or the folder where no journal can be made. "" when each can.
std::string Unwritable_Part(const File_Set* files) {
    if (!files) return "";
    for (const fs::path& p : {files->Lab, files->Labrack, files->Sop, files->Hadel})
        if (::access(p.c_str(), W_OK) != 0)
            return p.string() + " cannot be written (" + std::strerror(errno) + ")";
    const fs::path folder = files->Lab.parent_path().empty() ? fs::path(".") : files->Lab.parent_path();
    if (::access(folder.c_str(), W_OK) != 0)
        return "its folder " + folder.string() + " cannot be written, so no journal can be made there (" +
               std::strerror(errno) + ")";
    return "";
}

db::Error_Record Record_For(const Sqlite_Error& e, const File_Set* files = nullptr) {
    std::string message = e.what();
    if (e.Code() == SQLITE_INTERRUPT)
        return db::Error_Record{db::Timeout_Error_Number,
                                "Query timeout expired: the statement ran longer than the command timeout.",
                                "HYT00", 0};
    if (e.Is_Busy())
        return db::Error_Record{
            db::Timeout_Error_Number,
            "Lock request time out period exceeded: the embedded lab database is locked by "
            "another program, a station or labdb writing into it (" +
                message + ").",
            "HYT00", 1222};
    auto after = [&](const std::string& prefix) -> std::optional<std::string> {
        if (message.rfind(prefix, 0) == 0) return Station_Names(message.substr(prefix.size()));
        return std::nullopt;
    };
    if (auto t = after("no such table: ")) return Record("42S02", 208, "Invalid object name '" + *t + "'.");
    if (auto v = after("no such view: ")) return Record("42S02", 208, "Invalid object name '" + *v + "'.");
    if (auto c = after("no such column: ")) return Record("42S22", 207, "Invalid column name '" + *c + "'.");
    if (auto f = after("no such function: "))
        return Record("42000", 195, "'" + *f + "' is not a recognized built-in function name.");
    if (message.find("syntax error") != std::string::npos ||
        message.find("incomplete input") != std::string::npos)
        return Record("42000", 102, "Incorrect syntax: " + Station_Names(message) + ".");
    switch (e.Code()) {
    case SQLITE_CONSTRAINT:
        return Record("23000", 2627,
                      "Violation of a constraint of the lab database: " + Station_Names(message) + ".");
    case SQLITE_READONLY: {
        std::string part = Unwritable_Part(files);
        return Record("25006", 3906,
                      "The embedded lab database is read-only: " + (part.empty() ? message : part) + ".");
    }
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
        return Record("HY000", e.Extended_Code(),
                      "The embedded lab database file is damaged: " + message + ".");
    case SQLITE_FULL:
        return Record("HY000", e.Extended_Code(),
                      "The disk of the embedded lab database" +
                          (files ? " (" + files->Lab.parent_path().string() + ")" : std::string()) +
                          " is full: " + message + ".");
    case SQLITE_IOERR:
    case SQLITE_CANTOPEN: {
        std::string part = Unwritable_Part(files);
        return Record("08S01", e.Extended_Code(),
                      "The embedded lab database cannot be read or written: " + message +
                          (part.empty() ? std::string() : "; " + part) + ".");
    }
    default:
        return Record("HY000", e.Extended_Code(),
                      "Embedded lab database error: " + Station_Names(message) + ".");
    }
}

struct File_Identity {
    dev_t Device = 0;
    ino_t Inode = 0;
    bool operator==(const File_Identity&) const = default;
};

std::optional<File_Identity> Identity_Of(const fs::path& p) {
    struct stat st {};
    if (::stat(p.c_str(), &st) != 0) return std::nullopt;
    return File_Identity{st.st_dev, st.st_ino};
}

struct Pooled {
    std::unique_ptr<Sqlite_Db> Db;
    File_Identity Identity;
};

} // namespace

struct Embedded_Backend::Pool {
    std::mutex Lock;
    pid_t Owner = ::getpid();
    std::map<std::string, std::vector<Pooled>> Idle;
    static constexpr size_t Max_Idle = 4;

    // Handles made before a fork belong to the parent: the child neither uses nor closes them.
    void Forget_If_Forked() {
        if (Owner == ::getpid()) return;
        for (auto& [path, list] : Idle)
            for (auto& p : list)
                (void)p.Db.release();
        Idle.clear();
        Owner = ::getpid();
    }
};

namespace {

class Embedded_Connection final : public db::Db_Connection {
public:
    Embedded_Connection(Pooled db, std::string key, std::weak_ptr<Embedded_Backend::Pool> pool,
                        int command_timeout_s)
        : db_(std::move(db)), key_(std::move(key)), pool_(std::move(pool)),
          command_timeout_s_(command_timeout_s) {}

    ~Embedded_Connection() override {
        try {
            db_.Db->Set_Deadline(std::nullopt);
            db_.Db->Rollback();
            if (auto pool = pool_.lock()) {
                std::lock_guard<std::mutex> guard(pool->Lock);
                pool->Forget_If_Forked();
                auto& idle = pool->Idle[key_];
                if (idle.size() < Embedded_Backend::Pool::Max_Idle) idle.push_back(std::move(db_));
            }
        } catch (...) {
        }
    }

    db::Exec_Outcome Execute(const std::string& sql) override {
        db::Exec_Outcome out;
        // The command timeout, as a server applies it (0: no limit).
        struct Deadline_Scope {
            Sqlite_Db& Db;
            ~Deadline_Scope() { Db.Set_Deadline(std::nullopt); }
        } scope{*db_.Db};
        if (command_timeout_s_ > 0)
            db_.Db->Set_Deadline(std::chrono::steady_clock::now() + std::chrono::seconds(command_timeout_s_));
        try {
            Parsed_Statement parsed = Parse_Statement(sql, db_.Db->Has_Ready_Counts());
            if (auto* call = std::get_if<Procedure_Call>(&parsed)) {
                const Procedure* proc = Find_Procedure(*call);
                if (!proc)
                    throw Dialect_Error(2812, "42000",
                                        "Could not find stored procedure '" + call->Full_Name + "'.");
                Proc_Result r = Run_Procedure(*db_.Db, *proc, *call);
                if (r.Has_Rows) out.Rows = std::make_unique<db::Memory_Cursor>(std::move(r.Rows));
            } else {
                Table t;
                if (db_.Db->Run_Text(std::get<Plain_Statement>(parsed).Sql, t))
                    out.Rows = std::make_unique<db::Memory_Cursor>(std::move(t));
            }
            out.Ok = true;
        } catch (const Server_Error& e) {
            out.Errors.push_back(Record(e.Sql_State(), e.Native(), e.what()));
        } catch (const Sqlite_Error& e) {
            out.Errors.push_back(Record_For(e, &db_.Db->Files()));
        } catch (const std::exception& e) {
            out.Errors.push_back(Record("HY000", 0, std::string("Embedded lab database error: ") + e.what()));
        }
        if (!out.Ok) out.Rows.reset();
        return out;
    }

private:
    Pooled db_;
    std::string key_;
    std::weak_ptr<Embedded_Backend::Pool> pool_;
    int command_timeout_s_;
};

// A file set that another process held locked while it opened: every statement answers the timeout, so
// the station retries it as it retries a statement that waited too long for a lock.
class Locked_Connection final : public db::Db_Connection {
public:
    explicit Locked_Connection(const Sqlite_Error& e) : record_(Record_For(e)) {}
    db::Exec_Outcome Execute(const std::string&) override {
        db::Exec_Outcome out;
        out.Errors.push_back(record_);
        return out;
    }

private:
    db::Error_Record record_;
};

} // namespace

bool Is_Embedded_Connect_String(std::string_view cs) {
    std::string t = LTrim(cs);
    return t.size() >= Connect_Prefix.size() &&
           Equals_No_Case(t.substr(0, Connect_Prefix.size()), Connect_Prefix);
}

fs::path Embedded_Path(std::string_view cs) {
    // Neither message repeats the string: whatever else it holds may be a password.
    if (!Is_Embedded_Connect_String(cs))
        throw db::Connect_Error("Not an embedded lab database connection string.");
    std::string rest = LTrim(cs).substr(Connect_Prefix.size());
    size_t end = rest.find(';');
    std::string path = Trim(rest.substr(0, end));
    if (path.empty()) throw db::Connect_Error("The embedded lab database connection string names no file.");
    // The file set has no user or password: an attribute after the file is a mistake, named by its key.
    for (const auto& attribute : Split(end == std::string::npos ? "" : rest.substr(end + 1), ';')) {
        if (Trim(attribute).empty()) continue;
        std::string key = Trim(attribute.substr(0, attribute.find('=')));
        throw db::Connect_Error("The embedded lab database takes no attribute " + key +
                                " (its connection string is EMBEDDED=<file> alone).");
    }
    return fs::path(path);
}

std::string Embedded_Connect_String(const fs::path& lab_file) {
    return std::string(Connect_Prefix) + lab_file.string();
}

int32_t Error_Number_For(std::string_view s) {
    if (s == "HYT00" || s == "HYT01") return db::Timeout_Error_Number;
    if (s == "42S02") return db::Table_Not_Found_Error_Number;
    if (s.substr(0, 2) == "23") return db::Integrity_Error_Number;
    if (s.substr(0, 2) == "08") return db::Connection_Error_Number;
    return db::Command_Error_Number;
}

Embedded_Backend::Embedded_Backend() : pool_(std::make_shared<Pool>()) {}

Embedded_Backend::~Embedded_Backend() {
    std::lock_guard<std::mutex> guard(pool_->Lock);
    pool_->Forget_If_Forked();
    pool_->Idle.clear();
}

std::unique_ptr<db::Db_Connection> Embedded_Backend::Connect(const std::string& connect_string,
                                                             const db::Connect_Options& options) {
    try {
        return Open(connect_string, options);
    } catch (const db::Connect_Error& e) {
        throw db::Without_Secrets(e, connect_string);
    }
}

void Embedded_Backend::Warm_Up(const std::string& connect_string) noexcept {
    try {
        Sqlite_Db db(Embedded_Path(connect_string), lock_wait_ms_.value_or(20000));
        Warm_Rack_Summary(db);
    } catch (...) {
        // The statements meet whatever went wrong here.
    }
}

std::optional<std::string> Embedded_Backend::Check_Damage(const std::string& connect_string) {
    try {
        fs::path path = Embedded_Path(connect_string);
        std::unique_ptr<Sqlite_Db> db;
        try {
            db = std::make_unique<Sqlite_Db>(path, lock_wait_ms_.value_or(20000));
        } catch (const db::Connect_Error& e) {
            // A header too damaged to open is damage too, not a missing database.
            for (const auto& r : e.Records())
                if ((r.Native_Error & 0xff) == SQLITE_CORRUPT || (r.Native_Error & 0xff) == SQLITE_NOTADB)
                    return std::string(e.what());
            throw;
        }
        return db->Damage();
    } catch (const db::Connect_Error& e) {
        throw db::Without_Secrets(e, connect_string);
    }
}

std::unique_ptr<db::Db_Connection> Embedded_Backend::Open(const std::string& connect_string,
                                                          const db::Connect_Options& options) {
    fs::path path = Embedded_Path(connect_string);
    std::error_code ec;
    fs::path absolute = fs::absolute(path, ec);
    std::string key = (ec ? path : absolute).lexically_normal().string();
    int timeout_ms = lock_wait_ms_ ? *lock_wait_ms_ : std::max(0, options.Command_Timeout_S) * 1000;

    std::optional<File_Identity> identity = Identity_Of(path);
    {
        std::lock_guard<std::mutex> guard(pool_->Lock);
        pool_->Forget_If_Forked();
        auto& idle = pool_->Idle[key];
        while (!idle.empty()) {
            Pooled p = std::move(idle.back());
            idle.pop_back();
            // A file set replaced since (a new database at the same path) needs a new connection.
            if (identity && p.Identity == *identity) {
                p.Db->Set_Busy_Timeout(timeout_ms);
                return std::make_unique<Embedded_Connection>(std::move(p), key, pool_,
                                                             options.Command_Timeout_S);
            }
        }
    }
    Pooled p;
    try {
        p.Db = std::make_unique<Sqlite_Db>(path, timeout_ms);
    } catch (const Sqlite_Error& e) {
        if (!e.Is_Busy()) throw;
        return std::make_unique<Locked_Connection>(e);
    }
    p.Identity = Identity_Of(path).value_or(File_Identity{});
    return std::make_unique<Embedded_Connection>(std::move(p), key, pool_, options.Command_Timeout_S);
}

} // namespace pcs::embedded
