#include "lab_admin.h"

#include "admin_helpers.h"
#include "passwords.h"
#include "schema.h"
#include "sqlite_db.h"

#include "common/text.h"

#include <sodium.h>
#include <sqlite3.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

namespace pcs::embedded {

namespace fs = std::filesystem;

namespace {

constexpr int Busy_Timeout_Ms = 20000;

Admin_Rows Rows_Of(Table t) {
    return Admin_Rows{std::move(t.Columns), std::move(t.Rows)};
}

} // namespace

std::string Lookup_Key(Sqlite_Db& db) {
    try {
        return Read_Key_File(db.Files().Key);
    } catch (const Key_File_Error& e) {
        throw Admin_Error(e.what());
    }
}

void Store_Password(Sqlite_Db& db, long long emp, const std::string& lab_code, const std::string& password) {
    if (Trim(password).empty()) throw Admin_Error("a password may not be empty");
    if (password != RTrim(password))
        throw Admin_Error("a password may not end with a blank (the station drops them)");
    std::string lookup = Lookup_Hash(Lookup_Key(db), lab_code, password);
    Table used = db.Query("SELECT EMP_NUM FROM main.employee_passwords WHERE LAB_CODE = ?1 AND LOOKUP = ?2",
                          {lab_code, lookup});
    if (!used.Rows.empty() && used.Rows[0][0] != std::optional<std::string>(std::to_string(emp)))
        throw Admin_Error("this password is already in use in lab " + lab_code + ": choose another");
    db.Exec("DELETE FROM main.employee_passwords WHERE EMP_NUM = ?1", {emp});
    db.Exec("INSERT INTO main.employee_passwords (LAB_CODE, LOOKUP, EMP_NUM, PWHASH, DATE_SET) VALUES (?1, "
            "?2, ?3, ?4, ?5)",
            {lab_code, lookup, emp, Hash_Password(password), Now_Text()});
}

std::string Lab_Number_Text(long long n) {
    std::string s = std::to_string(n);
    return std::string(s.size() < 8 ? 8 - s.size() : 0, '0') + s;
}

namespace {

// The journals SQLite may leave beside a database file (after a crash they hold the undo of an
// unfinished write, "-mj..." the tie between the files of one).
std::vector<fs::path> Journals_Of(const fs::path& file) {
    std::vector<fs::path> out;
    for (const char* suffix : {"-journal", "-wal", "-shm"})
        out.emplace_back(file.string() + suffix);
    std::error_code ec;
    std::string prefix = file.filename().string() + "-mj";
    for (const auto& entry :
         fs::directory_iterator(file.parent_path().empty() ? "." : file.parent_path(), ec))
        if (entry.path().filename().string().rfind(prefix, 0) == 0) out.push_back(entry.path());
    return out;
}

// The lab database's files are for their owner and the lab's group alone: the database files read and
// written by both, the key read by the group (the stations log technicians in with it). The group is
// "pcstation" where the machine has one and the creator may hand files to it, else the creator's own.
void Protect_File(const fs::path& p, mode_t mode) {
    if (const struct group* g = ::getgrnam(Lab_Group)) {
        // Not a member of it: the file keeps the creator's group.
        if (::chown(p.c_str(), static_cast<uid_t>(-1), g->gr_gid) != 0) {
        }
    }
    if (::chmod(p.c_str(), mode) != 0)
        throw Admin_Error("cannot set the permissions of " + p.string() + ": " + std::strerror(errno));
}

// Moves a finished file into place; without replace, never over a file that appeared meanwhile.
void Move_Into_Place(const fs::path& from, const fs::path& to, bool replace) {
    int rc = replace ? std::rename(from.c_str(), to.c_str())
                     : ::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE);
    if (rc != 0)
        throw Admin_Error("cannot move the new " + to.filename().string() +
                          " into place: " + std::strerror(errno));
}

} // namespace

void Lab_Admin::Create(const fs::path& lab_file, bool replace) {
    // A typo'd path must not make folders (at the file system's root, even): the folder must exist.
    fs::path folder = lab_file.parent_path().empty() ? fs::path(".") : lab_file.parent_path();
    std::error_code ec;
    if (!fs::is_directory(folder, ec))
        throw Admin_Error("the folder " + folder.string() + " does not exist (labdb makes no folders)");
    File_Set files = File_Set::For(lab_file);
    std::vector<fs::path> targets = files.Database_Files();
    targets.insert(targets.begin(), files.Key);
    if (!replace)
        for (const fs::path& p : targets)
            if (fs::exists(fs::symlink_status(p, ec)))
                throw Admin_Error(p.string() + " exists already (use --replace to start afresh)");

    // Built aside in a folder of its own beside the target (one file system, so the moves are renames).
    fs::path aside = folder / ("." + lab_file.filename().string() + ".new-" + std::to_string(::getpid()));
    fs::remove_all(aside, ec);
    if (!fs::create_directory(aside, ec))
        throw Admin_Error("cannot create " + aside.string() + ": " + ec.message());
    struct Remove_Aside {
        fs::path Path;
        ~Remove_Aside() {
            std::error_code ignored;
            fs::remove_all(Path, ignored);
        }
    } cleanup{aside};
    File_Set built = File_Set::For(aside / lab_file.filename());
    {
        Sqlite_Db db(built.Lab, Busy_Timeout_Ms, true);
        Create_Schema(db);
    }
    try {
        Write_Key_File(built.Key, New_Lookup_Key());
    } catch (const Key_File_Error& e) {
        throw Admin_Error(e.what());
    }
    Protect_File(built.Key, 0640);
    for (const fs::path& p : built.Database_Files())
        Protect_File(p, 0660);

    if (replace)
        for (const fs::path& p : targets) {
            // A journal left of the old database would be played into the new one.
            for (const fs::path& j : Journals_Of(p))
                fs::remove(j, ec);
            fs::remove(p, ec);
        }
    std::vector<fs::path> from = built.Database_Files();
    from.insert(from.begin(), built.Key);
    for (size_t i = 0; i < from.size(); ++i)
        Move_Into_Place(from[i], targets[i], replace);
}

namespace {

Admin_Error Damaged(const fs::path& lab_file, const std::string& damage) {
    return Admin_Error("the lab database " + lab_file.string() + " is damaged, so nothing was written: " +
                       damage + " (restore it from a copy; the journals beside it belong to it)");
}

std::unique_ptr<Sqlite_Db> Open_Lab(const fs::path& lab_file) {
    try {
        return std::make_unique<Sqlite_Db>(lab_file, Busy_Timeout_Ms);
    } catch (const db::Connect_Error& e) {
        // Damage that reaches the tables' definitions stops the opening itself: it is damage all the same.
        for (const auto& r : e.Records())
            if ((r.Native_Error & 0xff) == SQLITE_CORRUPT || (r.Native_Error & 0xff) == SQLITE_NOTADB)
                throw Damaged(lab_file, e.what());
        throw;
    }
}

} // namespace

Lab_Admin::Lab_Admin(const fs::path& lab_file) : db_(Open_Lab(lab_file)) {}

Lab_Admin::~Lab_Admin() = default;

void Lab_Admin::Refuse_Damage() {
    if (auto damage = db_->Damage()) throw Damaged(db_->Files().Lab, *damage);
}

void Lab_Admin::Add_Employee(const Employee_Spec& e, const std::string& password) {
    if (e.Emp_Num <= 0 || e.Emp_Num > 32767)
        throw Admin_Error("the employee number must be 1 to 32767 (the station holds it in 16 bits)");
    if (Trim(e.First_Name).empty() || Trim(e.Last_Name).empty())
        throw Admin_Error("first and last name are required");
    Refuse_Damage();
    Transaction tx(*db_, true);
    if (!db_->Query("SELECT 1 FROM hadel.employees WHERE EMP_NUM = ?1", {e.Emp_Num}).Rows.empty())
        throw Admin_Error("employee " + std::to_string(e.Emp_Num) + " exists already");
    db_->Exec("INSERT INTO hadel.employees (EMP_NUM, LAB_CODE, FIRSTNAME, LASTNAME, JOB_DESC, FUNC_GROUP, "
              "SUPERVISOR_ID, "
              "DISMISSED, ISADMIN, STATION) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10)",
              {e.Emp_Num, Trim(e.Lab_Code), Trim(e.First_Name), Trim(e.Last_Name), e.Job_Desc, e.Func_Group,
               e.Supervisor ? Param(*e.Supervisor) : Param(), std::string(e.Dismissed ? "Y" : "N"),
               e.Is_Admin ? 1LL : 0LL, e.Station});
    Store_Password(*db_, e.Emp_Num, Trim(e.Lab_Code), password);
    tx.Commit();
}

void Lab_Admin::Set_Password(long long emp_num, const std::string& password) {
    Refuse_Damage();
    Transaction tx(*db_, true);
    Table t = db_->Query("SELECT LAB_CODE FROM hadel.employees WHERE EMP_NUM = ?1", {emp_num});
    if (t.Rows.empty()) throw Admin_Error("no employee " + std::to_string(emp_num));
    Store_Password(*db_, emp_num, t.Rows[0][0].value_or(""), password);
    tx.Commit();
}

std::string Lab_Admin::New_Password(const std::string& lab_code) {
    std::string key = Lookup_Key(*db_);
    for (;;) {
        std::string p;
        for (int i = 0; i < 8; ++i)
            p += static_cast<char>('0' + randombytes_uniform(10));
        if (db_->Query("SELECT 1 FROM main.employee_passwords WHERE LAB_CODE = ?1 AND LOOKUP = ?2",
                       {lab_code, Lookup_Hash(key, lab_code, p)})
                .Rows.empty())
            return p;
    }
}

std::vector<std::string> Lab_Admin::New_Lab_Numbers(const std::string& lab_code, int count) {
    Table t = db_->Query("SELECT max(CAST(LAB_NUMBER AS INTEGER)) FROM main.samples WHERE LAB_CODE = ?1",
                         {lab_code});
    long long next = 100001;
    if (!t.Rows.empty() && t.Rows[0][0]) next = std::max(next, std::stoll(*t.Rows[0][0]) + 1);
    std::vector<std::string> out;
    for (int i = 0; i < count; ++i)
        out.push_back(Lab_Number_Text(next + i));
    return out;
}

Routed_Rack Lab_Admin::Route_Rack(const Rack_Spec& r) {
    std::string desc = Trim(r.Rack_Desc);
    if (desc.empty()) throw Admin_Error("a rack needs a name");
    if (r.Lab_Numbers.empty() && r.New_Samples <= 0) throw Admin_Error("a rack needs at least one sample");
    if (db_->Query("SELECT 1 FROM main.test_groups WHERE TEST_GROUP = ?1", {r.Test_Group}).Rows.empty())
        throw Admin_Error("unknown test group " + r.Test_Group);
    std::string priority = UCase(Trim(r.Priority));
    if (priority != "NORMAL" && priority != "RUSH" && priority != "URGENT" && priority != "CRITICAL")
        throw Admin_Error("the priority must be NORMAL, RUSH, URGENT or CRITICAL");
    Refuse_Damage();
    Transaction tx(*db_, true);
    if (!db_->Query("SELECT 1 FROM labrack.racks WHERE RACK_DESC = ?1", {desc}).Rows.empty())
        throw Admin_Error("rack " + desc + " exists already");
    // Numbered under the write lock: another routing waits for this one and numbers after it.
    Routed_Rack routed;
    routed.Lab_Numbers = r.Lab_Numbers;
    if (r.New_Samples > 0)
        for (std::string& n : New_Lab_Numbers(r.Lab_Code, r.New_Samples))
            routed.Lab_Numbers.push_back(std::move(n));
    std::string now = Now_Text();
    db_->Exec(
        "INSERT INTO labrack.racks (RACK_DESC, LAB_CODE, TEST_GROUP, DATE_CREATED) VALUES (?1, ?2, ?3, ?4)",
        {desc, r.Lab_Code, r.Test_Group, now});
    long long rack_id = db_->Last_Insert_Id();
    routed.Rack_Id = rack_id;
    long long position = 0;
    for (const std::string& raw : routed.Lab_Numbers) {
        ++position;
        std::string number = Trim(raw);
        if (number.empty()) continue; // an empty slot
        Table s = db_->Query("SELECT LAB_ID FROM main.samples WHERE LAB_CODE = ?1 AND LAB_NUMBER = ?2",
                             {r.Lab_Code, number});
        long long lab_id;
        if (s.Rows.empty()) {
            db_->Exec("INSERT INTO main.samples (LAB_NUMBER, LAB_CODE, COMPONENT_CODE, PRIORITY, "
                      "RECEIVED_DATETIME) "
                      "VALUES (?1, ?2, ?3, ?4, ?5)",
                      {number, r.Lab_Code, r.Component_Code.empty() ? Param() : Param(r.Component_Code),
                       priority, now});
            lab_id = db_->Last_Insert_Id();
        } else {
            lab_id = std::stoll(s.Rows[0][0].value_or("0"));
        }
        Table t =
            db_->Query("SELECT RUN_NO, STATUS FROM main.lab_tracking WHERE LAB_ID = ?1 AND TEST_GROUP = ?2 "
                       "ORDER BY RUN_NO DESC LIMIT 1",
                       {lab_id, r.Test_Group});
        if (t.Rows.empty() || UCase(t.Rows[0][1].value_or("")) != "READY") {
            long long run = t.Rows.empty() ? 1 : std::stoll(t.Rows[0][0].value_or("0")) + 1;
            db_->Exec(
                "INSERT INTO main.lab_tracking (LAB_ID, LAB_CODE, TEST_GROUP, RUN_NO, STATUS, CLASS, "
                "DATE_ADDED) "
                "VALUES (?1, ?2, ?3, ?4, 'READY', ?5, ?6)",
                {lab_id, r.Lab_Code, r.Test_Group, run, std::string(run > 1 ? "REDO" : "ROUTINE"), now});
        }
        // A weighed test group keeps its weight in its own table: the row waits there for the scale.
        Table result_table = db_->Query(
            "SELECT RESULT_TABLE, IS_WEIGHED FROM main.test_groups WHERE TEST_GROUP = ?1", {r.Test_Group});
        if (!result_table.Rows.empty() && result_table.Rows[0][1] == std::optional<std::string>("1")) {
            Table run =
                db_->Query("SELECT RUN_NO FROM main.lab_tracking WHERE LAB_ID = ?1 AND TEST_GROUP = ?2 "
                           "AND STATUS = 'READY' ORDER BY RUN_NO DESC LIMIT 1",
                           {lab_id, r.Test_Group});
            db_->Exec("INSERT OR IGNORE INTO main.\"" + result_table.Rows[0][0].value_or("") +
                          "\" (LAB_ID, RUN_NO) VALUES (?1, ?2)",
                      {lab_id, Param_Of(run.Rows.at(0)[0])});
        }
        db_->Exec("INSERT INTO labrack.rack_positions (RACK_ID, POSITION, LAB_ID) VALUES (?1, ?2, ?3)",
                  {rack_id, position, lab_id});
    }
    tx.Commit();
    return routed;
}

Admin_Rows Lab_Admin::Results(const std::optional<std::string>& lab_number, int limit) {
    return Rows_Of(db_->Query(
        "SELECT s.LAB_NUMBER, s.COMPONENT_CODE, r.RUN_NO, t.STATUS, r.ISO_CODE, r.SAMPLE_VOLUME, r.PC2, "
        "r.PC5, r.PC15, "
        "r.PC25, r.PC50, r.PC100, r.PC200, round(r.PC2_ML, 1) AS PC2_ML, round(r.PC5_ML, 1) AS PC5_ML, "
        "round(r.PC15_ML, 1) AS PC15_ML, r.INSTRUMENT_ID, r.EMP_NUM, r.DATE_ENTERED "
        "FROM main.testgroup_pc r JOIN main.samples s ON s.LAB_ID = r.LAB_ID "
        "LEFT JOIN main.lab_tracking t ON t.LAB_ID = r.LAB_ID AND t.TEST_GROUP = 'PrtCount' AND t.RUN_NO = "
        "r.RUN_NO "
        "WHERE ?1 IS NULL OR s.LAB_NUMBER = ?1 ORDER BY r.DATE_ENTERED DESC, s.LAB_NUMBER, r.RUN_NO LIMIT ?2",
        {Param_Of(lab_number), (long long)limit}));
}

Admin_Rows Lab_Admin::Bath(const std::optional<std::string>& instrument) {
    return Rows_Of(db_->Query("SELECT b.INSTRUMENT_ID, d.POSITION, d.SAMPLE_ID, d.SAMPLE_TYPE, d.PRIORITY, "
                              "d.RUN_NO, d.EXTRA, d.EMP_NUM, "
                              "d.DATE_ADDED FROM labrack.batch_details d JOIN labrack.instrument_batches b "
                              "ON b.BATCH_ID = d.BATCH_ID "
                              "WHERE b.DATE_COMPLETED IS NULL AND (?1 IS NULL OR b.INSTRUMENT_ID = ?1) ORDER "
                              "BY b.INSTRUMENT_ID, d.POSITION",
                              {Param_Of(instrument)}));
}

bool Lab_Admin::Release_Rack(const std::string& rack_desc) {
    Refuse_Damage();
    Transaction tx(*db_, true);
    int n = db_->Exec("UPDATE labrack.racks SET CURR_USER = NULL, CURR_STATION = NULL, DATE_ACQUIRED = NULL "
                      "WHERE RACK_DESC = ?1",
                      {Trim(rack_desc)});
    tx.Commit();
    return n > 0;
}

bool Lab_Admin::Move_Key_Out() {
    if (db_->Query("SELECT 1 FROM main.sqlite_master WHERE name = 'db_keys'").Rows.empty()) return false;
    Refuse_Damage();
    Table key = db_->Query("SELECT KEY FROM main.db_keys WHERE PURPOSE = 'password_lookup'");
    if (key.Rows.empty() || !key.Rows[0][0])
        throw Admin_Error("the lab database holds no password key to move");
    std::error_code ec;
    if (fs::exists(db_->Files().Key, ec)) {
        // Both: the file must hold the same key, or the database's own would be lost.
        if (Lookup_Key(*db_) != *key.Rows[0][0])
            throw Admin_Error(db_->Files().Key.string() + " holds another key than the lab database");
    } else {
        try {
            Write_Key_File(db_->Files().Key, *key.Rows[0][0]);
        } catch (const Key_File_Error& e) {
            throw Admin_Error(e.what());
        }
    }
    // Wiped, not only unlinked: freed pages keep their bytes otherwise.
    db_->Exec_Script("PRAGMA main.secure_delete = ON");
    {
        Transaction tx(*db_, true);
        db_->Exec("DROP TABLE main.db_keys");
        db_->Exec("UPDATE main.db_info SET VALUE = ?1 WHERE NAME = 'schema_version'",
                  {std::string(Schema_Version)});
        tx.Commit();
    }
    db_->Exec_Script("VACUUM main");
    return true;
}

void Lab_Admin::Build_Benchmark_Data(int racks, int positions_per_rack) {
    const std::string lab = Lab_Code_Default;
    Transaction tx(*db_, true);
    std::string now = Now_Text();
    long long next_number = 10000001;
    for (int r = 0; r < racks; ++r) {
        db_->Exec("INSERT INTO labrack.racks (RACK_DESC, LAB_CODE, TEST_GROUP, DATE_CREATED) VALUES (?1, ?2, "
                  "'PrtCount', ?3)",
                  {"BR-" + std::to_string(100000 + r), lab, now});
        long long rack_id = db_->Last_Insert_Id();
        for (int p = 1; p <= positions_per_rack; ++p) {
            db_->Exec("INSERT INTO main.samples (LAB_NUMBER, LAB_CODE, COMPONENT_CODE, PRIORITY, "
                      "RECEIVED_DATETIME) "
                      "VALUES (?1, ?2, ?3, ?4, ?5)",
                      {Lab_Number_Text(next_number++), lab, "CMP-" + std::to_string(p),
                       std::string(p % 7 ? "NORMAL" : "RUSH"), now});
            long long lab_id = db_->Last_Insert_Id();
            db_->Exec(
                "INSERT INTO main.lab_tracking (LAB_ID, LAB_CODE, TEST_GROUP, RUN_NO, STATUS, DATE_ADDED) "
                "VALUES (?1, ?2, 'PrtCount', 1, 'READY', ?3)",
                {lab_id, lab, now});
            db_->Exec("INSERT INTO labrack.rack_positions (RACK_ID, POSITION, LAB_ID) VALUES (?1, ?2, ?3)",
                      {rack_id, (long long)p, lab_id});
        }
    }
    tx.Commit();
    db_->Exec_Script("ANALYZE");
}

} // namespace pcs::embedded
