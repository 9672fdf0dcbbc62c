#include "odbc_backend.h"

#include "db/secrets.h"

#include <sql.h>
#include <sqlext.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <optional>

namespace pcs::odbc {

namespace {

// One ODBC handle of any kind. Non-copyable; freed once, never throws on the way out.
class Handle {
public:
    Handle() = default;
    Handle(SQLSMALLINT type, SQLHANDLE h) noexcept : type_(type), h_(h) {}
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    ~Handle() {
        if (h_ != SQL_NULL_HANDLE) SQLFreeHandle(type_, h_);
    }
    SQLHANDLE Get() const noexcept { return h_; }
    SQLSMALLINT Type() const noexcept { return type_; }

private:
    SQLSMALLINT type_ = 0;
    SQLHANDLE h_ = SQL_NULL_HANDLE;
};

bool Succeeded(SQLRETURN rc) {
    return rc == SQL_SUCCESS || rc == SQL_SUCCESS_WITH_INFO;
}

std::string Text_Of(const SQLCHAR* p, size_t n) {
    return std::string(reinterpret_cast<const char*>(p), n);
}

// Every diagnostic record on a handle, first to last.
std::vector<db::Error_Record> Diagnostics(SQLSMALLINT type, SQLHANDLE h) {
    std::vector<db::Error_Record> records;
    if (h == SQL_NULL_HANDLE) return records;
    std::vector<SQLCHAR> message(SQL_MAX_MESSAGE_LENGTH + 1);
    // A driver that keeps answering is cut off: a runaway list helps nobody.
    for (SQLSMALLINT i = 1; i < 1000; ++i) {
        SQLCHAR state[SQL_SQLSTATE_SIZE + 1] = {0};
        SQLINTEGER native = 0;
        SQLSMALLINT length = 0;
        SQLRETURN rc = SQLGetDiagRec(type, h, i, state, &native, message.data(),
                                     static_cast<SQLSMALLINT>(message.size()), &length);
        if (rc == SQL_SUCCESS_WITH_INFO && length >= static_cast<SQLSMALLINT>(message.size())) {
            // The text was cut: ask again with room for all of it.
            // The buffer length is a 16-bit number: a text of 32767 bytes comes one short.
            message.resize(std::min<size_t>(static_cast<size_t>(length) + 1, SHRT_MAX));
            rc = SQLGetDiagRec(type, h, i, state, &native, message.data(),
                               static_cast<SQLSMALLINT>(message.size()), &length);
        }
        if (!Succeeded(rc)) break;
        db::Error_Record r;
        r.Sql_State = reinterpret_cast<const char*>(state);
        r.Native_Error = static_cast<int32_t>(native);
        size_t n = std::min(static_cast<size_t>(std::max<SQLSMALLINT>(length, 0)), message.size() - 1);
        r.Description = Text_Of(message.data(), strnlen(reinterpret_cast<const char*>(message.data()), n));
        r.Number = Error_Number(r.Sql_State, r.Native_Error);
        records.push_back(std::move(r));
    }
    return records;
}

void Append(std::vector<db::Error_Record>& to, std::vector<db::Error_Record> from) {
    for (auto& r : from)
        to.push_back(std::move(r));
}

// A record for a failure the driver did not describe.
db::Error_Record Own_Record(const std::string& text) {
    db::Error_Record r;
    r.Sql_State = "HY000";
    r.Description = text;
    r.Number = Error_Number(r.Sql_State, 0);
    return r;
}

std::string First_Description(const std::vector<db::Error_Record>& records) {
    for (const auto& r : records)
        if (!r.Description.empty()) return r.Description;
    return "the driver gave no reason";
}

} // namespace

int32_t Error_Number(std::string_view s, int32_t native) {
    auto starts = [&](std::string_view p) { return s.substr(0, p.size()) == p; };
    if (s == "HYT00" || s == "HYT01" || s == "S1T00") return db::Timeout_Error_Number;
    if (starts("01")) {
        if (native == 5701 || native == 5703) return 0; // changed database context / language
        if (native != 0) return native;
        return s == "01000" ? 0 : db::Warning_Number;
    }
    if (starts("28")) return db::Authorization_Error_Number;
    if (starts("08") || starts("IM")) return db::Connection_Error_Number;
    if (s == "42S02" || s == "S0002") return db::Table_Not_Found_Error_Number;
    if (starts("23")) return db::Integrity_Error_Number;
    return db::Command_Error_Number;
}

struct Odbc_Backend::Environment {
    explicit Environment(SQLHANDLE h) : env(SQL_HANDLE_ENV, h) {}
    Handle env;
};

namespace {

// A connected connection handle; disconnects before it is freed.
class Connection_Handle {
public:
    Connection_Handle(std::shared_ptr<Odbc_Backend::Environment> env, SQLHANDLE dbc)
        : env_(std::move(env)), dbc_(SQL_HANDLE_DBC, dbc) {}
    Connection_Handle(const Connection_Handle&) = delete;
    Connection_Handle& operator=(const Connection_Handle&) = delete;
    ~Connection_Handle() {
        if (connected) SQLDisconnect(dbc_.Get());
    }
    SQLHANDLE Get() const noexcept { return dbc_.Get(); }
    bool connected = false;

private:
    std::shared_ptr<Odbc_Backend::Environment> env_; // outlives the connection
    Handle dbc_;
};

// The rows of one statement. The first row is read while the statement runs, so that a failure
// there is reported as the statement's failure (and a timeout there is retried like any other).
class Odbc_Cursor : public db::Db_Cursor {
public:
    Odbc_Cursor(std::shared_ptr<Connection_Handle> connection, std::unique_ptr<Handle> statement,
                SQLSMALLINT column_count)
        : connection_(std::move(connection)), stmt_(std::move(statement)) {
        columns_.reserve(column_count);
        for (SQLSMALLINT c = 1; c <= column_count; ++c)
            columns_.push_back(Column_Name(c));
        row_.resize(columns_.size());
    }

    // Reads the first row; returns the records of a failure, or the warnings of a success.
    std::vector<db::Error_Record> Read_First(bool& ok) {
        std::vector<db::Error_Record> records;
        ok = true;
        try {
            has_first_ = Advance(&records);
        } catch (const Odbc_Error& e) {
            ok = false;
            records = e.Records();
        }
        return records;
    }

    const std::vector<std::string>& Columns() const override { return columns_; }

    bool Fetch() override {
        if (first_) {
            first_ = false;
            return has_first_;
        }
        if (ended_) return false;
        return Advance(nullptr);
    }

    const db::Field& Value(size_t column) const override { return row_.at(column); }

private:
    std::string Column_Name(SQLSMALLINT c) {
        std::vector<SQLCHAR> name(256);
        SQLSMALLINT length = 0, type = 0, digits = 0, nullable = 0;
        SQLULEN size = 0;
        SQLRETURN rc = SQLDescribeCol(stmt_->Get(), c, name.data(), static_cast<SQLSMALLINT>(name.size()),
                                      &length, &type, &size, &digits, &nullable);
        if (Succeeded(rc) && length >= static_cast<SQLSMALLINT>(name.size())) {
            name.resize(std::min<size_t>(static_cast<size_t>(length) + 1, SHRT_MAX));
            rc = SQLDescribeCol(stmt_->Get(), c, name.data(), static_cast<SQLSMALLINT>(name.size()), &length,
                                &type, &size, &digits, &nullable);
        }
        if (!Succeeded(rc)) return "";
        return reinterpret_cast<const char*>(name.data());
    }

    [[noreturn]] void Fail(const std::string& what) {
        auto records = Diagnostics(SQL_HANDLE_STMT, stmt_->Get());
        if (records.empty()) records.push_back(Own_Record(what));
        ended_ = true;
        // The text is taken before the records are moved: arguments are evaluated in no set order.
        std::string text = what + ": " + First_Description(records);
        throw Odbc_Error(text, std::move(records));
    }

    bool Advance(std::vector<db::Error_Record>* warnings) {
        SQLRETURN rc = SQLFetch(stmt_->Get());
        if (rc == SQL_NO_DATA) {
            ended_ = true;
            return false;
        }
        if (!Succeeded(rc)) Fail("Reading a row failed");
        if (rc == SQL_SUCCESS_WITH_INFO && warnings)
            Append(*warnings, Diagnostics(SQL_HANDLE_STMT, stmt_->Get()));
        for (size_t i = 0; i < row_.size(); ++i)
            row_[i] = Read_Field(static_cast<SQLUSMALLINT>(i + 1));
        return true;
    }

    // One field as text, read in chunks so that long values come whole.
    db::Field Read_Field(SQLUSMALLINT column) {
        char buffer[4096];
        std::string value;
        for (;;) {
            SQLLEN indicator = 0;
            SQLRETURN rc = SQLGetData(stmt_->Get(), column, SQL_C_CHAR, buffer, sizeof buffer, &indicator);
            if (rc == SQL_NO_DATA) return value; // the last chunk came with the previous call
            if (!Succeeded(rc)) Fail("Reading column " + std::to_string(column) + " failed");
            if (indicator == SQL_NULL_DATA) return std::nullopt;
            const SQLLEN room = sizeof buffer - 1; // the driver ends each chunk with a zero byte
            if (indicator == SQL_NO_TOTAL || indicator > room) {
                // Cut off (01004): this chunk is full, more follows.
                value.append(buffer, static_cast<size_t>(room));
                if (rc == SQL_SUCCESS) return value; // a driver that truncates silently: take what came
                continue;
            }
            value.append(buffer, static_cast<size_t>(std::max<SQLLEN>(indicator, 0)));
            return value;
        }
    }

    std::shared_ptr<Connection_Handle> connection_; // the statement handle needs its connection
    std::unique_ptr<Handle> stmt_;
    std::vector<std::string> columns_;
    std::vector<db::Field> row_;
    bool first_ = true;
    bool has_first_ = false;
    bool ended_ = false;
};

class Odbc_Connection : public db::Db_Connection {
public:
    Odbc_Connection(std::shared_ptr<Connection_Handle> connection, int command_timeout_s)
        : connection_(std::move(connection)), command_timeout_s_(command_timeout_s) {}

    db::Exec_Outcome Execute(const std::string& sql) override {
        db::Exec_Outcome out;
        SQLHANDLE h = SQL_NULL_HANDLE;
        if (!Succeeded(SQLAllocHandle(SQL_HANDLE_STMT, connection_->Get(), &h))) {
            out.Errors = Diagnostics(SQL_HANDLE_DBC, connection_->Get());
            if (out.Errors.empty())
                out.Errors.push_back(Own_Record("Cannot make a statement on the connection"));
            return out;
        }
        auto stmt = std::make_unique<Handle>(SQL_HANDLE_STMT, h);
        if (command_timeout_s_ >= 0)
            // A driver that cannot honour it says so in a warning; the statement still runs.
            SQLSetStmtAttr(h, SQL_ATTR_QUERY_TIMEOUT,
                           reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(command_timeout_s_)), 0);
        if (sql.size() > static_cast<size_t>(INT_MAX)) {
            out.Errors.push_back(Own_Record("The statement is too long"));
            return out;
        }
        SQLRETURN rc = SQLExecDirect(h, reinterpret_cast<SQLCHAR*>(const_cast<char*>(sql.data())),
                                     static_cast<SQLINTEGER>(sql.size()));
        if (rc == SQL_ERROR || rc == SQL_INVALID_HANDLE || rc == SQL_NEED_DATA ||
            (!Succeeded(rc) && rc != SQL_NO_DATA)) {
            out.Errors = Diagnostics(SQL_HANDLE_STMT, h);
            if (out.Errors.empty())
                out.Errors.push_back(
                    Own_Record("The statement failed (ODBC return code " + std::to_string(rc) + ")"));
            return out;
        }
        if (rc == SQL_SUCCESS_WITH_INFO) Append(out.Errors, Diagnostics(SQL_HANDLE_STMT, h));

        // The first result that has columns is the statement's rows; row counts of updates that come
        // before it (a procedure without NOCOUNT) are passed over.
        for (;;) {
            SQLSMALLINT columns = 0;
            rc = SQLNumResultCols(h, &columns);
            if (!Succeeded(rc)) {
                Append(out.Errors, Diagnostics(SQL_HANDLE_STMT, h));
                return out;
            }
            if (columns > 0) {
                auto cursor = std::make_unique<Odbc_Cursor>(connection_, std::move(stmt), columns);
                bool ok = true;
                Append(out.Errors, cursor->Read_First(ok));
                if (!ok) return out;
                out.Ok = true;
                out.Rows = std::move(cursor);
                return out;
            }
            rc = SQLMoreResults(h);
            if (rc == SQL_NO_DATA) break;
            if (rc == SQL_SUCCESS_WITH_INFO) Append(out.Errors, Diagnostics(SQL_HANDLE_STMT, h));
            if (!Succeeded(rc)) {
                Append(out.Errors, Diagnostics(SQL_HANDLE_STMT, h));
                return out;
            }
        }
        out.Ok = true;
        return out;
    }

private:
    std::shared_ptr<Connection_Handle> connection_;
    int command_timeout_s_;
};

} // namespace

Odbc_Backend::Odbc_Backend() = default;
Odbc_Backend::~Odbc_Backend() = default;

std::unique_ptr<db::Db_Connection> Odbc_Backend::Connect(const std::string& connect_string,
                                                         const db::Connect_Options& options) {
    std::unique_lock<std::mutex> env_guard(env_lock_);
    if (!env_) {
        SQLHANDLE h = SQL_NULL_HANDLE;
        if (!Succeeded(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &h)))
            throw db::Connect_Error("Cannot start the ODBC driver manager");
        auto env = std::make_shared<Environment>(h);
        if (!Succeeded(
                SQLSetEnvAttr(h, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0)))
            throw db::Connect_Error("The ODBC driver manager refuses ODBC 3", Diagnostics(SQL_HANDLE_ENV, h));
        env_ = std::move(env);
    }
    std::shared_ptr<Environment> environment = env_;
    env_guard.unlock();

    SQLHANDLE dbc = SQL_NULL_HANDLE;
    if (!Succeeded(SQLAllocHandle(SQL_HANDLE_DBC, environment->env.Get(), &dbc)))
        throw db::Connect_Error("Cannot make an ODBC connection",
                                Diagnostics(SQL_HANDLE_ENV, environment->env.Get()));
    auto connection = std::make_shared<Connection_Handle>(environment, dbc);

    if (options.Connection_Timeout_S >= 0)
        SQLSetConnectAttr(dbc, SQL_ATTR_LOGIN_TIMEOUT,
                          reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(options.Connection_Timeout_S)),
                          0);
    if (connect_string.size() > static_cast<size_t>(SHRT_MAX))
        throw db::Connect_Error("The connection string is too long");

    SQLCHAR completed[1024];
    SQLSMALLINT completed_length = 0;
    SQLRETURN rc =
        SQLDriverConnect(dbc, nullptr, reinterpret_cast<SQLCHAR*>(const_cast<char*>(connect_string.data())),
                         static_cast<SQLSMALLINT>(connect_string.size()), completed, sizeof completed,
                         &completed_length, SQL_DRIVER_NOPROMPT);
    if (!Succeeded(rc)) {
        // The connection string is not repeated: it holds the password.
        auto records = Diagnostics(SQL_HANDLE_DBC, dbc);
        // Nor may a driver's own message quote it. The text is taken before the records are moved:
        // arguments are evaluated in no set order, and GCC moves them first.
        std::string text = "Cannot connect to the lab database: " + First_Description(records);
        throw db::Without_Secrets(db::Connect_Error(text, std::move(records)), connect_string);
    }
    connection->connected = true;
    return std::make_unique<Odbc_Connection>(std::move(connection), options.Command_Timeout_S);
}

} // namespace pcs::odbc
