// A database backend for tests that records every statement text and answers from a script.
#pragma once

#include "db/backend.h"
#include "db/memory_cursor.h"

#include <deque>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace pcs::test {

// Rows to answer with: column names and rows of fields.
using Table = db::Memory_Table;
using Table_Cursor = db::Memory_Cursor;

// One scripted answer.
struct Answer_Script {
    bool Ok = true;
    bool Has_Rows = true;
    Table Rows;
    std::vector<db::Error_Record> Errors;

    static Answer_Script Rows_Of(Table t) { return Answer_Script{true, true, std::move(t), {}}; }
    static Answer_Script No_Rows() { return Answer_Script{true, false, {}, {}}; }
    static Answer_Script Failure(std::vector<db::Error_Record> e) {
        return Answer_Script{false, false, {}, std::move(e)};
    }
    static Answer_Script Timeout() {
        return Failure({{db::Timeout_Error_Number, "Query timeout expired", "HYT00", 0}});
    }
};

class Scripted_Backend : public db::Db_Backend {
public:
    std::vector<std::string> Statements;      // every statement sent, in order
    std::vector<std::string> Connect_Strings; // every connection opened
    std::deque<Answer_Script> Queue;          // answers handed out in turn
    // Answers when the queue is empty; by default an empty result set with no columns.
    std::function<Answer_Script(const std::string&)> Responder;
    bool Refuse_Connections = false;

    std::unique_ptr<db::Db_Connection> Connect(const std::string& cs, const db::Connect_Options&) override;

    // Statements sent since the last call.
    std::vector<std::string> Take_Statements() {
        auto s = std::move(Statements);
        Statements.clear();
        return s;
    }
};

class Scripted_Connection : public db::Db_Connection {
public:
    explicit Scripted_Connection(Scripted_Backend& b) : backend_(b) {}
    db::Exec_Outcome Execute(const std::string& sql) override {
        backend_.Statements.push_back(sql);
        Answer_Script a;
        if (!backend_.Queue.empty()) {
            a = std::move(backend_.Queue.front());
            backend_.Queue.pop_front();
        } else if (backend_.Responder) {
            a = backend_.Responder(sql);
        }
        db::Exec_Outcome out;
        out.Ok = a.Ok;
        out.Errors = a.Errors;
        if (a.Ok && a.Has_Rows) out.Rows = std::make_unique<Table_Cursor>(a.Rows);
        return out;
    }

private:
    Scripted_Backend& backend_;
};

inline std::unique_ptr<db::Db_Connection> Scripted_Backend::Connect(const std::string& cs,
                                                                    const db::Connect_Options&) {
    if (Refuse_Connections) throw db::Connect_Error("Data source name not found");
    Connect_Strings.push_back(cs);
    return std::make_unique<Scripted_Connection>(*this);
}

} // namespace pcs::test
