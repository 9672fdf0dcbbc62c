// The statement texts the station sends are written for the lab's SQL server. This is the small piece
// that reads them for the embedded database: a tokenizer, the parse of procedure calls ("exec
// db.owner.proc @name = value, ..." with or without "exec", named or positional arguments) and the
// rewrite of plain statements into SQLite (three-part names, table hints, bracketed names, "top n",
// the table function TBL_TestGroup_Count).
#pragma once

#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace pcs::embedded {

// An error the statement fails with, carrying the server's message number and SQLSTATE.
class Server_Error : public std::runtime_error {
public:
    Server_Error(int native, std::string sql_state, const std::string& what)
        : std::runtime_error(what), native_(native), sql_state_(std::move(sql_state)) {}
    int Native() const noexcept { return native_; }
    const std::string& Sql_State() const noexcept { return sql_state_; }

private:
    int native_;
    std::string sql_state_;
};

// A statement the embedded database cannot read, worded the way the server words it.
class Dialect_Error : public Server_Error {
public:
    using Server_Error::Server_Error;
};

enum class Token_Kind { Word, Variable, String, Number, Quoted_Name, Punct, Space, Comment };

struct Token {
    Token_Kind Kind;
    std::string Text;  // as written
    std::string Value; // strings unquoted (doubled quotes undone), quoted names unbracketed
};

// Splits a statement into tokens. Throws Dialect_Error for an unterminated string or name.
std::vector<Token> Tokenize(std::string_view sql);

// One argument of a procedure call.
struct Call_Argument {
    std::string Name;                 // lower case, without "@"; "" for a positional argument
    std::optional<std::string> Value; // NULL or the text (strings unquoted, numbers as written)
    bool Is_Default = false;          // the word DEFAULT
};

struct Procedure_Call {
    std::string Database;  // as written, "" when the name has no database part
    std::string Owner;     // as written, "" when absent
    std::string Name;      // the procedure's name as written
    std::string Full_Name; // database.owner.name as written, for messages
    std::vector<Call_Argument> Arguments;
};

struct Plain_Statement {
    std::string Sql; // the SQLite text
};

using Parsed_Statement = std::variant<Procedure_Call, Plain_Statement>;

// The attached schema of a lab database name ("lab" is the main file); nullopt for an unknown one.
std::optional<std::string> Schema_Of(std::string_view database);

// Reads one statement text. Throws Dialect_Error when it is neither a procedure call nor a statement
// the embedded database can run. ready_counts: the file set keeps main.ready_counts (schema.h).
Parsed_Statement Parse_Statement(std::string_view sql, bool ready_counts = true);

// The SQL of the table function TBL_TestGroup_Count for two argument expressions: the counts read from
// main.ready_counts, or counted from lab_tracking where the file set does not keep them.
std::string Test_Group_Count_Sql(const std::string& lab_code_expr, const std::string& test_group_expr,
                                 bool ready_counts);

} // namespace pcs::embedded
