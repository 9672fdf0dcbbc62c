// Administration of the embedded lab database, as `labdb` offers it: create the file set, seed demo
// data, add employees, route racks, list results and the stored bath.
#pragma once

#include "common/globals.h"
#include "db/backend.h"
#include "db/memory_cursor.h"

#include <filesystem>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace pcs::embedded {

class Sqlite_Db;

// An administration step refused (the database exists, a rack name is taken, a password is in use...).
class Admin_Error : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct Employee_Spec {
    long long Emp_Num = 0;
    std::string First_Name, Last_Name;
    std::string Lab_Code = Lab_Code_Default;
    std::string Job_Desc = "Laboratory technician";
    std::string Func_Group = "PC"; // the employee's function group (Qor_Func)
    std::string Station = "PARTICLE COUNT";
    bool Is_Admin = false;
    bool Dismissed = false;
    std::optional<long long> Supervisor;
};

struct Rack_Spec {
    std::string Rack_Desc;
    std::string Lab_Code = Lab_Code_Default;
    std::string Test_Group = "PrtCount";
    // Samples for positions 1, 2, ...: existing lab numbers are routed again, new ones are received.
    std::vector<std::string> Lab_Numbers;
    std::string Priority = "NORMAL"; // for samples received by the routing
    std::string Component_Code;      // for samples received by the routing
    // New samples received onto the positions after Lab_Numbers, numbered inside the routing's own
    // transaction, so that two routings at once never take the same numbers.
    int New_Samples = 0;
};

struct Routed_Rack {
    long long Rack_Id = 0;
    std::vector<std::string> Lab_Numbers; // positions 1, 2, ... ("" for an empty slot)
};

struct Demo_Login {
    long long Emp_Num = 0;
    std::string Full_Name;
    std::string Station;
    bool Is_Admin = false;
    bool Dismissed = false;
    std::string Password;
};

struct Seed_Options {
    int Racks = 14;
    unsigned Seed = 0; // 0: a different demo each time
};

// Rows for listing: column names and fields (NULL kept apart).
using Admin_Rows = db::Memory_Table;

// The group a lab's IT and its stations share the lab database's files through, where the machine
// has it: the files are made readable (the database files writable) by it and by their owner alone.
inline constexpr const char* Lab_Group = "pcstation";

class Lab_Admin {
public:
    // Creates an empty lab database: the four database files and the key file, built aside and moved in
    // with the main file last, so a failure or a crash leaves no half-made database under its name.
    // Refuses an existing one unless replace is set, and a folder that does not exist.
    static void Create(const std::filesystem::path& lab_file, bool replace = false);

    // Opens an existing lab database; throws db::Connect_Error when it cannot.
    explicit Lab_Admin(const std::filesystem::path& lab_file);
    ~Lab_Admin();
    Lab_Admin(const Lab_Admin&) = delete;
    Lab_Admin& operator=(const Lab_Admin&) = delete;

    // Adds an employee with a password (unique within the lab; stored only as hashes).
    void Add_Employee(const Employee_Spec& employee, const std::string& password);
    // Gives an employee a new password.
    void Set_Password(long long emp_num, const std::string& password);
    // A new random password of eight digits (the station's keyboard types them easily) not yet used in the
    // lab.
    std::string New_Password(const std::string& lab_code);

    // Fills an empty database with a demonstration lab; returns the employees with their passwords.
    std::vector<Demo_Login> Seed_Demo(const Seed_Options& options);

    // Routes a rack to a test group, receiving its new samples.
    Routed_Rack Route_Rack(const Rack_Spec& rack);
    // Lab numbers not yet used in the lab, in order. Another process may take them before they are
    // routed: Rack_Spec::New_Samples numbers them safely.
    std::vector<std::string> New_Lab_Numbers(const std::string& lab_code, int count);

    // Particle-count results, newest first (all, or one sample's).
    Admin_Rows Results(const std::optional<std::string>& lab_number, int limit = 100);
    // The stored bath of every instrument (or one).
    Admin_Rows Bath(const std::optional<std::string>& instrument);
    // Frees a rack a station left held (for example after a crash).
    bool Release_Rack(const std::string& rack_desc);

    // Moves the password lookup key of an older lab database (kept inside it) into the key file and
    // wipes it from the database file. False when there was none to move.
    bool Move_Key_Out();

    // Bulk data for measurements: racks of positions, each with a READY particle-count test. One
    // transaction.
    void Build_Benchmark_Data(int racks, int positions_per_rack);

private:
    // Every write first checks the files: writing into a damaged one spreads the damage.
    void Refuse_Damage();

    std::unique_ptr<Sqlite_Db> db_;
};

} // namespace pcs::embedded
