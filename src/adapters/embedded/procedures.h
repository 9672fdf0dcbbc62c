// The lab database's stored procedures, as C++ functions over the embedded database. Each runs in one
// transaction and answers the columns the station reads.
#pragma once

#include "sql_dialect.h"
#include "sqlite_db.h"

#include <functional>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace pcs::embedded {

// An error a procedure raises, as the server's RAISERROR would: the statement fails with this record.
class Proc_Error : public Server_Error {
public:
    explicit Proc_Error(const std::string& what, int native = 50000, std::string sql_state = "42000")
        : Server_Error(native, std::move(sql_state), what) {}
};

// The arguments of one call, by parameter name (lower case, without "@").
class Proc_Args {
public:
    Proc_Args(std::string procedure, std::map<std::string, std::optional<std::string>> values)
        : procedure_(std::move(procedure)), values_(std::move(values)) {}

    bool Given(const std::string& name) const;
    // The value (NULL when not given or NULL).
    std::optional<std::string> Get(const std::string& name) const;
    // The trimmed text, or the fallback for NULL or a missing argument.
    std::string Text(const std::string& name, const std::string& fallback = "") const;
    // The trimmed text; Proc_Error when it is missing, NULL or blank.
    std::string Required_Text(const std::string& name) const;
    // A whole number; nullopt for NULL, blank or missing; Proc_Error for a text that is not a number.
    std::optional<long long> Int(const std::string& name) const;
    long long Required_Int(const std::string& name) const;
    // A number; as Int.
    std::optional<double> Number(const std::string& name) const;

private:
    [[noreturn]] void Missing(const std::string& name) const;
    std::string procedure_;
    std::map<std::string, std::optional<std::string>> values_;
};

// What a procedure answers: a result set, or none at all.
struct Proc_Result {
    bool Has_Rows = false;
    Table Rows;
    static Proc_Result Of(Table t) { return Proc_Result{true, std::move(t)}; }
    static Proc_Result None() { return Proc_Result{}; }
};

struct Procedure {
    std::string Database; // "lab", "labrack", ...
    std::string Name;
    std::vector<std::string> Parameters; // lower case, in positional order
    bool Writes = false;                 // takes the write lock when it starts
    std::function<Proc_Result(Sqlite_Db&, const Proc_Args&)> Body;
};

// The procedure a call names, or nullptr. A name without database is looked up in every database.
const Procedure* Find_Procedure(const Procedure_Call& call);
const std::vector<Procedure>& All_Procedures();

// Binds the call's arguments and runs the procedure in one transaction. Throws Dialect_Error or
// Proc_Error for a call the procedure refuses, Sqlite_Error for a database failure.
Proc_Result Run_Procedure(Sqlite_Db& db, const Procedure& proc, const Procedure_Call& call);

// The statement behind outstanding_rackTests (?1 rack, ?2 test group, ?3 weight required, ?4 show weighed).
const char* Rack_Tests_Sql_Text();

// The priority word the station shows for a test: a NORMAL sample's repeat run is a RETEST.
// Its rank orders racks and priorities (CRITICAL first).
int Priority_Rank(const std::string& priority);

} // namespace pcs::embedded
