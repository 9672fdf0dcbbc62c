#include "db/trace.h"

#include "db/secrets.h"

#include <nlohmann/json.hpp>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <unistd.h>

namespace pcs::db {

using json = nlohmann::json;
using Steady = std::chrono::steady_clock;

namespace {

std::string Utc_Now() {
    auto now = std::chrono::system_clock::now();
    auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
    std::time_t t = std::chrono::system_clock::to_time_t(now);
    std::tm tm{};
    gmtime_r(&t, &tm);
    char text[80]; // room for any year gcc can imagine
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", tm.tm_year + 1900, tm.tm_mon + 1,
                  tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec, static_cast<int>(ms));
    return text;
}

double Ms_Since(Steady::time_point start) {
    return std::chrono::duration<double, std::milli>(Steady::now() - start).count();
}

json Records_Json(const std::vector<Error_Record>& records, const std::vector<std::string>& secrets) {
    json list = json::array();
    for (const auto& r : records)
        list.push_back({{"number", r.Number},
                        {"sql_state", r.Sql_State},
                        {"native", r.Native_Error},
                        {"description", Without_Secrets(r.Description, secrets)}});
    return list;
}

// Opened for appending and, when new, readable by its owner only: statements carry lab data.
std::FILE* Open_Private(const std::string& path) {
    int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) return nullptr;
    std::FILE* f = ::fdopen(fd, "a");
    if (!f) ::close(fd);
    return f;
}

} // namespace

// The open trace file, shared by the backend, its connections and their cursors.
class Trace_File {
public:
    explicit Trace_File(const std::string& path) : file_(Open_Private(path)) {
        if (!file_)
            throw Trace_Error("Cannot open the statement trace file " + path + ": " + std::strerror(errno));
    }
    Trace_File(const Trace_File&) = delete;
    Trace_File& operator=(const Trace_File&) = delete;
    ~Trace_File() { std::fclose(file_); }

    long Next_Id() { return ++last_id_; }

    // Adds the common fields and appends the entry as one line. A trace that cannot be written (a full
    // disk) must not stop the station, so write errors are let go.
    void Write(long id, const char* event, json entry) {
        json line = {{"time", Utc_Now()}, {"pid", static_cast<long>(getpid())}, {"id", id}, {"event", event}};
        line.update(entry);
        // Texts from the database need not be valid UTF-8; a bad byte must not lose the entry.
        std::string text = line.dump(-1, ' ', false, json::error_handler_t::replace) + "\n";
        // One write per line on the appending file, so that the lines of several station processes
        // sharing a trace never mix, however long a statement is (stdio would split a long line).
        const char* p = text.data();
        size_t left = text.size();
        while (left > 0) {
            ssize_t n = ::write(fileno(file_), p, left);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) break;
            p += n;
            left -= static_cast<size_t>(n);
        }
    }

private:
    std::FILE* file_;
    // Statements run on the screens' worker threads too.
    std::atomic<long> last_id_{0};
};

namespace {

// Counts the rows read and traces them when the cursor reaches its end or is closed.
class Tracing_Cursor : public Db_Cursor {
public:
    Tracing_Cursor(std::unique_ptr<Db_Cursor> inner, std::shared_ptr<Trace_File> file, long id)
        : inner_(std::move(inner)), file_(std::move(file)), id_(id) {}
    ~Tracing_Cursor() override {
        try {
            if (!traced_) Trace(false, nullptr);
        } catch (...) {
            // Nothing may leave a destructor; the trace is not worth a crash.
        }
    }

    const std::vector<std::string>& Columns() const override { return inner_->Columns(); }
    const Field& Value(size_t column) const override { return inner_->Value(column); }

    bool Fetch() override {
        auto start = Steady::now();
        bool row = false;
        try {
            row = inner_->Fetch();
        } catch (const std::exception& e) {
            fetch_ms_ += Ms_Since(start);
            if (!traced_) Trace(false, e.what());
            throw;
        }
        fetch_ms_ += Ms_Since(start);
        if (row)
            ++rows_;
        else if (!traced_)
            Trace(true, nullptr);
        return row;
    }

private:
    void Trace(bool end, const char* error) {
        traced_ = true;
        json entry = {{"rows", rows_}, {"end", end}, {"fetch_ms", fetch_ms_}};
        if (error) entry["error"] = error;
        file_->Write(id_, "rows", std::move(entry));
    }

    std::unique_ptr<Db_Cursor> inner_;
    std::shared_ptr<Trace_File> file_;
    long id_;
    long rows_ = 0;
    double fetch_ms_ = 0;
    bool traced_ = false;
};

class Tracing_Connection : public Db_Connection {
public:
    Tracing_Connection(std::unique_ptr<Db_Connection> inner, std::shared_ptr<Trace_File> file)
        : inner_(std::move(inner)), file_(std::move(file)) {}

    Exec_Outcome Execute(const std::string& sql) override {
        long id = file_->Next_Id();
        auto start = Steady::now();
        // A login's password never reaches the file, nor do the error texts that could quote it.
        Masked_Statement masked = Mask_Passwords(sql);
        Exec_Outcome out;
        try {
            out = inner_->Execute(sql);
        } catch (const std::exception& e) {
            file_->Write(id, "statement",
                         {{"sql", masked.Text},
                          {"ok", false},
                          {"exception", Without_Secrets(e.what(), masked.Secrets)},
                          {"ms", Ms_Since(start)}});
            throw;
        }
        file_->Write(id, "statement",
                     {{"sql", masked.Text},
                      {"ok", out.Ok},
                      {"result", out.Rows ? "rows" : "none"},
                      {"errors", Records_Json(out.Errors, masked.Secrets)},
                      {"ms", Ms_Since(start)}});
        if (out.Rows) out.Rows = std::make_unique<Tracing_Cursor>(std::move(out.Rows), file_, id);
        return out;
    }

private:
    std::unique_ptr<Db_Connection> inner_;
    std::shared_ptr<Trace_File> file_;
};

} // namespace

Tracing_Backend::Tracing_Backend(Db_Backend& inner, const std::string& path)
    : inner_(inner), file_(std::make_shared<Trace_File>(path)) {}

Tracing_Backend::Tracing_Backend(std::unique_ptr<Db_Backend> inner, const std::string& path)
    : owned_(std::move(inner)), inner_(*owned_), file_(std::make_shared<Trace_File>(path)) {}

Tracing_Backend::~Tracing_Backend() = default;

std::unique_ptr<Db_Connection> Tracing_Backend::Connect(const std::string& connect_string,
                                                        const Connect_Options& options) {
    auto start = Steady::now();
    try {
        return std::make_unique<Tracing_Connection>(inner_.Connect(connect_string, options), file_);
    } catch (const Connect_Error& e) {
        Connect_Error shown = Without_Secrets(e, connect_string);
        file_->Write(file_->Next_Id(), "connect_failed",
                     {{"message", shown.what()},
                      {"errors", Records_Json(shown.Records(), {})},
                      {"ms", Ms_Since(start)}});
        throw;
    }
}

std::unique_ptr<Db_Backend> With_Statement_Trace(std::unique_ptr<Db_Backend> backend,
                                                 const std::string& trace_file) {
    if (trace_file.empty()) return backend;
    return std::make_unique<Tracing_Backend>(std::move(backend), trace_file);
}

std::unique_ptr<Db_Backend> With_Statement_Trace(std::unique_ptr<Db_Backend> backend) {
    const char* path = std::getenv(Sql_Trace_Variable);
    return With_Statement_Trace(std::move(backend), std::string(path ? path : ""));
}

} // namespace pcs::db
