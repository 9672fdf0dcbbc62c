// labdb: creates, seeds and administers the embedded lab database, and runs one statement text
// through the station's own database layer so that lab IT sees exactly what the station sees.

#include "any_backend.h"
#include "embedded_backend.h"
#include "lab_admin.h"

#include "common/globals.h"
#include "common/ports.h"
#include "common/text.h"
#include "db/database.h"
#include "db/trace.h"

#include "pcs_version.h"

#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>

#include <cerrno>
#include <cstring>
#include <iostream>
#include <memory>
#include <optional>
#include <string>

using json = nlohmann::ordered_json;
using namespace pcs;
using namespace pcs::embedded;

namespace {

// Texts in the database need not be valid UTF-8 (a rack name typed in another code page): bad bytes are
// shown replaced, and never make a line, or a write already saved, fail.
std::string Line(const json& j) {
    return j.dump(-1, ' ', false, json::error_handler_t::replace) + "\n";
}

json Field_Json(const db::Field& f) {
    return f ? json(*f) : json(nullptr);
}

void Print_Rows(const Admin_Rows& rows) {
    for (const auto& r : rows.Rows) {
        json line = json::object();
        for (size_t c = 0; c < rows.Columns.size(); ++c)
            line[rows.Columns[c]] = Field_Json(r[c]);
        std::cout << Line(line);
    }
}

json Error_Json(const db::Error_Record& e) {
    return json{{"error",
                 {{"number", e.Number},
                  {"description", e.Description},
                  {"sqlstate", e.Sql_State},
                  {"native", e.Native_Error}}}};
}

// Keeps the error records of the last statement, which the database layer hands to the alert only
// after a successful run.
struct Outcome_Log {
    bool Ok = false;
    std::vector<db::Error_Record> Errors;
    int Runs = 0;
};

class Logging_Connection : public db::Db_Connection {
public:
    Logging_Connection(std::unique_ptr<db::Db_Connection> inner, Outcome_Log& log)
        : inner_(std::move(inner)), log_(log) {}
    db::Exec_Outcome Execute(const std::string& sql) override {
        db::Exec_Outcome out = inner_->Execute(sql);
        log_.Ok = out.Ok;
        log_.Errors = out.Errors;
        ++log_.Runs;
        return out;
    }

private:
    std::unique_ptr<db::Db_Connection> inner_;
    Outcome_Log& log_;
};

class Logging_Backend : public db::Db_Backend {
public:
    Logging_Backend(db::Db_Backend& inner, Outcome_Log& log) : inner_(inner), log_(log) {}
    std::unique_ptr<db::Db_Connection> Connect(const std::string& cs, const db::Connect_Options& o) override {
        return std::make_unique<Logging_Connection>(inner_.Connect(cs, o), log_);
    }

private:
    db::Db_Backend& inner_;
    Outcome_Log& log_;
};

// Alerts of the database layer (warnings of a statement that ran) go to standard error.
class Stderr_Alerts : public Alert_Port {
public:
    void Alert(const std::string& text) override { std::cerr << Line(json{{"alert", text}}); }
    int Ask_Yes_No(const std::string&, bool, int) override { return Answer_Closed; }
};

std::string Read_Password_Line() {
    std::string line;
    std::getline(std::cin, line);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return line;
}

int Run_Query(const std::string& connect, const std::string& statement) {
    // Traced as the station traces its statements when PCSTATION_SQL_TRACE names a file.
    std::unique_ptr<db::Db_Backend> backend = db::With_Statement_Trace(std::make_unique<Any_Backend>());
    Outcome_Log log;
    Logging_Backend logging(*backend, log);
    Stderr_Alerts alerts;
    Globals globals;
    globals.Connect_String = connect;
    db::Database database(globals, logging, alerts);
    db::Record_Set rs = database.Open_Recordset(statement, true);
    if (rs.Is_Open()) {
        const auto& cols = rs.Columns();
        while (!rs.Eof()) {
            json line = json::object();
            for (const auto& c : cols)
                line[c] = Field_Json(rs.Value(c));
            std::cout << Line(line);
            rs.Move_Next();
        }
        rs.Close();
    }
    if (!log.Ok) {
        for (const auto& e : log.Errors)
            std::cout << Line(Error_Json(e));
        if (log.Errors.empty())
            std::cout << Line(json{{"error", {{"number", 0}, {"description", "the statement failed"}}}});
        return 1;
    }
    // Warnings of a statement that ran: shown as records too, without failing it.
    for (const auto& e : log.Errors)
        if (e.Number != 0) std::cout << Line(json{{"warning", Error_Json(e)["error"]}});
    return 0;
}

// True once a command has changed the database: a failure after that must not read as "nothing done".
bool Changed = false;

int Labdb_Main(int argc, char** argv) {
    CLI::App app{"labdb: the embedded lab database of the particle-count station.\n"
                 "Connection string of an embedded database: EMBEDDED=<path of the lab database file>."};
    app.require_subcommand(1);
    app.set_version_flag("--version", "labdb " PCS_VERSION);

    std::string db_path;
    bool replace = false;
    auto* create = app.add_subcommand("create", "Create an empty lab database (four database files: lab.db, "
                                                "lab.labrack.db, lab.sop.db, lab.hadel.db; and its key "
                                                "file lab.key) in an existing folder");
    create->add_option("database", db_path, "Lab database file, e.g. lab.db")->required();
    create->add_flag("--replace", replace, "Delete an existing database of that name first");

    int racks = 14;
    unsigned seed = 0;
    bool seed_create = false;
    auto* seed_cmd =
        app.add_subcommand("seed", "Fill a new lab database with demonstration data; prints the demo "
                                   "employees' passwords once (JSON lines)");
    seed_cmd->add_option("database", db_path, "Lab database file")->required();
    seed_cmd->add_option("--racks", racks, "Racks routed to PrtCount (at least 12)")
        ->check(CLI::Range(12, 500));
    seed_cmd->add_option("--seed", seed, "Random seed for a repeatable demo (0: random)");
    seed_cmd->add_flag("--create", seed_create, "Create the database first (replacing an existing one)");

    Employee_Spec emp;
    std::optional<std::string> password;
    bool password_stdin = false;
    long long supervisor = 0;
    auto* add_emp =
        app.add_subcommand("add-employee", "Add an employee; without a password one is made and printed");
    add_emp->add_option("database", db_path, "Lab database file")->required();
    add_emp->add_option("--emp-num", emp.Emp_Num, "Employee number (1 to 32767)")->required();
    add_emp->add_option("--first", emp.First_Name, "First name")->required();
    add_emp->add_option("--last", emp.Last_Name, "Last name")->required();
    add_emp->add_option("--lab-code", emp.Lab_Code, "Laboratory code")->capture_default_str();
    add_emp->add_option("--job", emp.Job_Desc, "Job description")->capture_default_str();
    add_emp->add_option("--function", emp.Func_Group, "Function group")->capture_default_str();
    add_emp->add_option("--station", emp.Station, "Station")->capture_default_str();
    add_emp->add_option("--supervisor", supervisor, "Supervisor's employee number");
    add_emp->add_flag("--admin", emp.Is_Admin, "Administrator rights");
    add_emp->add_option("--password", password,
                        "Password (visible in the process list: prefer --password-stdin)");
    add_emp->add_flag("--password-stdin", password_stdin,
                      "Read the password from the first line of standard input");

    long long pw_emp = 0;
    auto* set_pw = app.add_subcommand("set-password", "Give an employee a new password");
    set_pw->add_option("database", db_path, "Lab database file")->required();
    set_pw->add_option("--emp-num", pw_emp, "Employee number")->required();
    set_pw->add_option("--password", password, "Password");
    set_pw->add_flag("--password-stdin", password_stdin, "Read the password from standard input");

    Rack_Spec rack;
    std::vector<std::string> samples;
    int new_samples = 0;
    auto* route = app.add_subcommand("route-rack", "Route a rack of samples to a test group");
    route->add_option("database", db_path, "Lab database file")->required();
    route->add_option("--rack", rack.Rack_Desc, "Rack name")->required();
    route->add_option("--samples", samples, "Lab numbers for positions 1, 2, ... (\"\" leaves a slot empty)")
        ->delimiter(',');
    route->add_option("--new", new_samples, "Receive this many new samples onto the rack")
        ->check(CLI::Range(1, 60));
    route->add_option("--test-group", rack.Test_Group, "Test group")->capture_default_str();
    route->add_option("--priority", rack.Priority, "Priority of new samples: NORMAL, RUSH, URGENT, CRITICAL")
        ->capture_default_str();
    route->add_option("--component", rack.Component_Code, "Component code of new samples");
    route->add_option("--lab-code", rack.Lab_Code, "Laboratory code")->capture_default_str();

    auto* migrate = app.add_subcommand(
        "migrate", "Bring an older lab database up to date (its password key moves into the key file)");
    migrate->add_option("database", db_path, "Lab database file")->required();

    std::string release_desc;
    auto* release = app.add_subcommand("release-rack", "Free a rack a station left held");
    release->add_option("database", db_path, "Lab database file")->required();
    release->add_option("--rack", release_desc, "Rack name")->required();

    std::optional<std::string> lab_number;
    int limit = 100;
    auto* results = app.add_subcommand("results", "List particle-count results, newest first (JSON lines)");
    results->add_option("database", db_path, "Lab database file")->required();
    results->add_option("--lab-number", lab_number, "Only this sample");
    results->add_option("--limit", limit, "At most this many rows")->capture_default_str();

    std::optional<std::string> instrument;
    auto* bath = app.add_subcommand("bath", "List the stored bath (JSON lines)");
    bath->add_option("database", db_path, "Lab database file")->required();
    bath->add_option("--instrument", instrument, "Only this instrument");

    std::string connect, statement;
    auto* query = app.add_subcommand(
        "query",
        "Run one statement text through the station's database layer; rows and error records as JSON "
        "lines; exit status 1 when the statement fails");
    query->add_option("statement", statement, "The statement text, as the station sends it")->required();
    auto* db_opt = query->add_option("--db", db_path, "Embedded lab database file");
    auto* cs_opt =
        query->add_option("--connect", connect, "Any connection string: EMBEDDED=<file> or an ODBC DSN");
    db_opt->excludes(cs_opt);

    CLI11_PARSE(app, argc, argv);

    try {
        if (*create) {
            Lab_Admin::Create(db_path, replace);
            Changed = true;
            std::cerr << "created " << db_path << " (connect with EMBEDDED=" << db_path << ")\n";
        } else if (*seed_cmd) {
            if (seed_create) Lab_Admin::Create(db_path, true);
            Lab_Admin admin(db_path);
            Seed_Options options;
            options.Racks = racks;
            options.Seed = seed;
            auto logins = admin.Seed_Demo(options);
            Changed = true;
            std::cerr
                << "demo data seeded; the passwords below are shown this once and stored only as hashes\n";
            for (const auto& l : logins)
                std::cout << Line(json{{"emp_num", l.Emp_Num},
                                       {"name", l.Full_Name},
                                       {"station", l.Station},
                                       {"admin", l.Is_Admin},
                                       {"dismissed", l.Dismissed},
                                       {"password", l.Password}});
        } else if (*add_emp || *set_pw) {
            Lab_Admin admin(db_path);
            long long who = *add_emp ? emp.Emp_Num : pw_emp;
            std::string lab_code = *add_emp ? emp.Lab_Code : std::string(Lab_Code_Default);
            bool made = false;
            if (password_stdin) password = Read_Password_Line();
            if (!password) {
                password = admin.New_Password(lab_code);
                made = true;
            }
            if (*add_emp) {
                if (supervisor > 0) emp.Supervisor = supervisor;
                admin.Add_Employee(emp, *password);
            } else {
                admin.Set_Password(who, *password);
            }
            Changed = true;
            json line = {{"emp_num", who}};
            if (made) line["password"] = *password;
            std::cout << Line(line);
        } else if (*route) {
            Lab_Admin admin(db_path);
            rack.Lab_Numbers = samples;
            rack.New_Samples = new_samples;
            Routed_Rack routed = admin.Route_Rack(rack);
            Changed = true;
            std::cout << Line(json{{"rack_id", routed.Rack_Id},
                                   {"rack_desc", Trim(rack.Rack_Desc)},
                                   {"samples", routed.Lab_Numbers}});
        } else if (*migrate) {
            Lab_Admin admin(db_path);
            Changed = admin.Move_Key_Out();
            std::cerr << (Changed ? "the password key was moved out of the database into its key file\n"
                                  : "nothing to migrate\n");
        } else if (*release) {
            Lab_Admin admin(db_path);
            Changed = admin.Release_Rack(release_desc);
            if (!Changed) {
                std::cerr << "labdb: no rack " << release_desc << "\n";
                return 1;
            }
        } else if (*results) {
            Lab_Admin admin(db_path);
            Print_Rows(admin.Results(lab_number, limit));
        } else if (*bath) {
            Lab_Admin admin(db_path);
            Print_Rows(admin.Bath(instrument));
        } else if (*query) {
            if (connect.empty() && db_path.empty()) {
                std::cerr << "labdb query: give --db <file> or --connect <connection string>\n";
                return 2;
            }
            return Run_Query(connect.empty() ? Embedded_Connect_String(db_path) : connect, statement);
        }
    } catch (const db::Connect_Error& e) {
        std::cerr << "labdb: cannot connect: " << e.what() << "\n";
        for (const auto& r : e.Records())
            std::cout << Line(Error_Json(r));
        return 2;
    } catch (const std::exception& e) {
        std::cerr << "labdb: " << e.what() << "\n";
        return 1;
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) try {
    int rc = Labdb_Main(argc, argv);
    if (!std::cout.flush()) {
        int e = errno;
        std::cerr << "labdb: cannot write the output: " << std::strerror(e)
                  << (Changed ? " (the change itself was saved)" : "") << "\n";
        return rc != 0 ? rc : 1;
    }
    return rc;
} catch (const std::exception& e) {
    std::cerr << "labdb: " << e.what() << "\n";
    return 1;
} catch (...) {
    std::cerr << "labdb: an unexpected error\n";
    return 1;
}
