#include "procedures.h"

#include "procedure_kit.h"

#include "common/text.h"

#include <algorithm>
#include <cmath>
#include <optional>

namespace pcs::embedded {

namespace {

std::vector<Procedure> Make_Procedures() {
    std::vector<Procedure> all;
    for (auto room : {Employee_Procedures, Rack_Procedures, Bath_Procedures, Results_Procedures})
        for (Procedure& p : room())
            all.push_back(std::move(p));
    return all;
}

} // namespace

// ---- arguments -----------------------------------------------------------------------------------

bool Proc_Args::Given(const std::string& name) const {
    return values_.count(name) != 0;
}

std::optional<std::string> Proc_Args::Get(const std::string& name) const {
    auto it = values_.find(name);
    return it == values_.end() ? std::nullopt : it->second;
}

std::string Proc_Args::Text(const std::string& name, const std::string& fallback) const {
    auto v = Get(name);
    return v ? Trim(*v) : fallback;
}

void Proc_Args::Missing(const std::string& name) const {
    throw Proc_Error("Procedure or function '" + procedure_ + "' expects parameter '@" + name +
                         "', which was not supplied.",
                     201);
}

std::string Proc_Args::Required_Text(const std::string& name) const {
    auto v = Get(name);
    if (!v || Trim(*v).empty()) Missing(name);
    return Trim(*v);
}

std::optional<double> Proc_Args::Number(const std::string& name) const {
    auto v = Get(name);
    if (!v || Trim(*v).empty()) return std::nullopt;
    if (!Is_Numeric(*v))
        throw Proc_Error("Error converting data type varchar to numeric: @" + name + " = '" + *v + "'.", 8114,
                         "22018");
    double d = To_Double(*v);
    if (!std::isfinite(d))
        throw Proc_Error("Arithmetic overflow error converting @" + name + " to a number.", 8115, "22003");
    return d;
}

std::optional<long long> Proc_Args::Int(const std::string& name) const {
    auto d = Number(name);
    if (!d) return std::nullopt;
    if (std::fabs(*d) > 9.0e15)
        throw Proc_Error("Arithmetic overflow converting @" + name + " to a whole number.", 8115, "22003");
    return static_cast<long long>(Round_Half_Even(*d));
}

long long Proc_Args::Required_Int(const std::string& name) const {
    auto v = Int(name);
    if (!v) Missing(name);
    return *v;
}

// ---- registry and running ------------------------------------------------------------------------

const std::vector<Procedure>& All_Procedures() {
    static const std::vector<Procedure> procs = Make_Procedures();
    return procs;
}

const Procedure* Find_Procedure(const Procedure_Call& call) {
    if (!call.Owner.empty() && !Equals_No_Case(call.Owner, "dbo")) return nullptr;
    for (const Procedure& p : All_Procedures()) {
        if (!Equals_No_Case(p.Name, call.Name)) continue;
        if (call.Database.empty() || Equals_No_Case(call.Database, p.Database)) return &p;
    }
    return nullptr;
}

Proc_Result Run_Procedure(Sqlite_Db& db, const Procedure& proc, const Procedure_Call& call) {
    std::map<std::string, std::optional<std::string>> values;
    size_t position = 0;
    for (const Call_Argument& arg : call.Arguments) {
        std::string name = arg.Name;
        if (name.empty()) {
            if (position >= proc.Parameters.size())
                throw Dialect_Error(8144, "42000",
                                    "Procedure or function " + proc.Name +
                                        " has too many arguments specified.");
            name = proc.Parameters[position++];
        } else if (std::find(proc.Parameters.begin(), proc.Parameters.end(), name) == proc.Parameters.end()) {
            throw Dialect_Error(8145, "42000",
                                "@" + name + " is not a parameter for procedure " + proc.Name + ".");
        }
        if (values.count(name))
            throw Dialect_Error(8143, "42000", "Parameter '@" + name + "' was supplied multiple times.");
        if (!arg.Is_Default) values[name] = arg.Value;
    }
    Proc_Args args(proc.Name, std::move(values));
    // A procedure writes its own database's file: only that one is locked (and synced) at commit.
    std::optional<Transaction> tx;
    if (proc.Writes)
        tx.emplace(db, proc.Database == "lab" ? std::string("main") : proc.Database);
    else
        tx.emplace(db, false);
    Proc_Result result = proc.Body(db, args);
    // A call with @test set is a trial: it answers as it would, and changes nothing.
    auto test = args.Get("test");
    bool trial = test && (Trim(*test) == "1" || Equals_No_Case(Trim(*test), "Y"));
    if (!trial) tx->Commit();
    return result;
}

int Priority_Rank(const std::string& priority) {
    std::string p = UCase(Trim(priority));
    if (p == "CRITICAL") return 4;
    if (p == "URGENT") return 3;
    if (p == "RUSH") return 2;
    if (p == "RETEST") return 1;
    return 0;
}

} // namespace pcs::embedded
