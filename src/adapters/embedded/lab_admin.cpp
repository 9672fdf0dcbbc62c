#include "lab_admin.h"

#include "passwords.h"
#include "procedures.h"
#include "schema.h"
#include "sqlite_db.h"

#include "common/text.h"

#include <sodium.h>
#include <sqlite3.h>

#include <chrono>
#include <cmath>
#include <ctime>
#include <random>

namespace pcs::embedded {

namespace fs = std::filesystem;

namespace {

constexpr int Busy_Timeout_Ms = 20000;

std::string Time_Text(std::chrono::system_clock::time_point tp) {
    std::time_t t = std::chrono::system_clock::to_time_t(tp);
    std::tm tm{};
    localtime_r(&t, &tm);
    char buf[32];
    std::strftime(buf, sizeof buf, "%Y-%m-%d %H:%M:%S", &tm);
    return buf;
}

std::string Hours_Ago(double hours) {
    return Time_Text(std::chrono::system_clock::now() -
                     std::chrono::seconds(static_cast<long long>(hours * 3600.0)));
}

std::string Lab_Number_Text(long long n) {
    std::string s = std::to_string(n);
    return std::string(s.size() < 8 ? 8 - s.size() : 0, '0') + s;
}

Admin_Rows Rows_Of(Table t) {
    return Admin_Rows{std::move(t.Columns), std::move(t.Rows)};
}

std::string Lookup_Key(Sqlite_Db& db) {
    Table key = db.Query("SELECT KEY FROM main.db_keys WHERE PURPOSE = 'password_lookup'");
    if (key.Rows.empty() || !key.Rows[0][0])
        throw Admin_Error("the password lookup key of the lab database is missing");
    return *key.Rows[0][0];
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

// Counts per mL for a wanted ISO code (2, 5, 15 um) and a volume: the count lies inside the range.
struct Counts {
    double Pc[7] = {};
};

Counts Counts_For(int iso2, int iso5, int iso15, double volume, std::mt19937& rng) {
    auto per_ml = [&](int range) {
        double high = 0.01 * std::pow(2.0, range);
        std::uniform_real_distribution<double> d(0.55, 0.95);
        return high * d(rng);
    };
    Counts c;
    double ml2 = per_ml(iso2), ml5 = per_ml(iso5), ml15 = per_ml(iso15);
    double ml[7] = {ml2, ml5, ml15, ml15 * 0.25, ml15 * 0.04, ml15 * 0.005, 0};
    for (int i = 0; i < 7; ++i)
        c.Pc[i] = std::round(ml[i] * volume);
    return c;
}

} // namespace

void Lab_Admin::Create(const fs::path& lab_file, bool replace) {
    File_Set files = File_Set::For(lab_file);
    std::vector<fs::path> all = {files.Lab, files.Labrack, files.Sop, files.Hadel};
    for (const fs::path& p : all) {
        std::error_code ec;
        if (fs::exists(p, ec)) {
            if (!replace) throw Admin_Error(p.string() + " exists already (use --replace to start afresh)");
            fs::remove(p, ec);
            fs::remove(fs::path(p.string() + "-journal"), ec);
            fs::remove(fs::path(p.string() + "-wal"), ec);
            fs::remove(fs::path(p.string() + "-shm"), ec);
        }
    }
    if (lab_file.has_parent_path()) {
        std::error_code ec;
        fs::create_directories(lab_file.parent_path(), ec);
    }
    Sqlite_Db db(lab_file, Busy_Timeout_Ms, true);
    Create_Schema(db);
}

Lab_Admin::Lab_Admin(const fs::path& lab_file)
    : db_(std::make_unique<Sqlite_Db>(lab_file, Busy_Timeout_Ms)) {}

Lab_Admin::~Lab_Admin() = default;

void Lab_Admin::Add_Employee(const Employee_Spec& e, const std::string& password) {
    if (e.Emp_Num <= 0 || e.Emp_Num > 32767)
        throw Admin_Error("the employee number must be 1 to 32767 (the station holds it in 16 bits)");
    if (Trim(e.First_Name).empty() || Trim(e.Last_Name).empty())
        throw Admin_Error("first and last name are required");
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

long long Lab_Admin::Route_Rack(const Rack_Spec& r) {
    std::string desc = Trim(r.Rack_Desc);
    if (desc.empty()) throw Admin_Error("a rack needs a name");
    if (r.Lab_Numbers.empty()) throw Admin_Error("a rack needs at least one sample");
    if (db_->Query("SELECT 1 FROM main.test_groups WHERE TEST_GROUP = ?1", {r.Test_Group}).Rows.empty())
        throw Admin_Error("unknown test group " + r.Test_Group);
    std::string priority = UCase(Trim(r.Priority));
    if (priority != "NORMAL" && priority != "RUSH" && priority != "URGENT" && priority != "CRITICAL")
        throw Admin_Error("the priority must be NORMAL, RUSH, URGENT or CRITICAL");
    Transaction tx(*db_, true);
    if (!db_->Query("SELECT 1 FROM labrack.racks WHERE RACK_DESC = ?1", {desc}).Rows.empty())
        throw Admin_Error("rack " + desc + " exists already");
    std::string now = Now_Text();
    db_->Exec(
        "INSERT INTO labrack.racks (RACK_DESC, LAB_CODE, TEST_GROUP, DATE_CREATED) VALUES (?1, ?2, ?3, ?4)",
        {desc, r.Lab_Code, r.Test_Group, now});
    long long rack_id = db_->Last_Insert_Id();
    long long position = 0;
    for (const std::string& raw : r.Lab_Numbers) {
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
    return rack_id;
}

std::vector<Demo_Login> Lab_Admin::Seed_Demo(const Seed_Options& o) {
    if (!db_->Query("SELECT 1 FROM hadel.employees LIMIT 1").Rows.empty() ||
        !db_->Query("SELECT 1 FROM labrack.racks LIMIT 1").Rows.empty())
        throw Admin_Error("the database holds data already: seed a new one (labdb create --replace)");
    if (o.Racks < 12) throw Admin_Error("a demonstration lab has at least 12 racks");
    std::mt19937 rng(o.Seed ? o.Seed : std::random_device{}());
    const std::string lab = "VOLMAR";

    struct Person {
        long long Num;
        const char *First, *Last, *Job, *Func, *Station;
        bool Admin, Dismissed;
        std::optional<long long> Supervisor;
    };
    const Person people[] = {
        {110, "Grace", "O'Brien", "Laboratory supervisor", "SUPERVISOR", "PARTICLE COUNT", true, false,
         std::nullopt},
        {101, "Ana", "Ferreira", "Laboratory technician", "PC", "PARTICLE COUNT", false, false, 110},
        {102, "Ben", "Okafor", "Laboratory technician", "PC", "PARTICLE COUNT", false, false, 110},
        {103, "Carla", "Jensen", "Laboratory technician", "PC", "PARTICLE COUNT", false, false, 110},
        {104, "Dev", "Patel", "Screening technician", "SCREEN", "SCREENING", false, false, 110},
        {105, "Eva", "Lindqvist", "Weighing technician", "SCALE", "SCALE", false, false, 110},
        {120, "Hal", "Moreau", "Laboratory technician", "PC", "PARTICLE COUNT", false, true, 110},
    };
    std::vector<Demo_Login> logins;

    Transaction tx(*db_, true);
    std::string key = Lookup_Key(*db_);
    for (const Person& p : people) {
        db_->Exec(
            "INSERT INTO hadel.employees (EMP_NUM, LAB_CODE, FIRSTNAME, LASTNAME, JOB_DESC, FUNC_GROUP, "
            "SUPERVISOR_ID, DISMISSED, ISADMIN, STATION) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10)",
            {p.Num, lab, std::string(p.First), std::string(p.Last), std::string(p.Job), std::string(p.Func),
             p.Supervisor ? Param(*p.Supervisor) : Param(), std::string(p.Dismissed ? "Y" : "N"),
             p.Admin ? 1LL : 0LL, std::string(p.Station)});
        std::string password = New_Password(lab);
        Store_Password(*db_, p.Num, lab, password);
        logins.push_back(
            {p.Num, std::string(p.First) + " " + p.Last, p.Station, p.Admin, p.Dismissed, password});
    }

    // Documents and the station's software settings.
    db_->Exec_Script(R"sql(
INSERT INTO sop.documents (DOC_ID, DOC_TYPE, TITLE, REVISION, Test_Group) VALUES
  ('LWI-PC-001', 'pdf', 'Particle count by automatic counter, ISO 4406', 'C', 'PC;PrtCount;'),
  ('LWI-SCR-002', 'pdf', 'Visual screening of oil samples', 'B', 'SCREEN;SPAT;VISUAL;'),
  ('LWI-KF-003', 'pdf', 'Water by Karl Fischer titration', 'D', 'KF;'),
  ('LWI-TAN-004', 'htm', 'Acid number by titration', 'A', 'TAN MAN;TAN AUTO;'),
  ('LWI-GEN-000', NULL, 'Laboratory safety (paper copy only)', 'F', 'ALL;');
INSERT INTO labrack.Lab_Software (SOFTWARE_ID, NAME, DESCRIPTION) VALUES
  (1, 'PCSTATION', 'Particle count station'),
  (2, 'SCREENSTATION', 'Visual screening station');
INSERT INTO labrack.Lab_Software_Settings (SOFTWARE_ID, SETTING, VALUE, DESCRIPTION, TYPE) VALUES
  (1, 'COMM_PORT', '1', 'Serial port of the counter', 'NORMAL'),
  (1, 'INSTRUMENT_ID', 'PC002', 'Instrument of the station', 'NORMAL'),
  (1, 'SAMPLES_BETWEEN_CHECKS', '15', 'Samples between check standards', 'NORMAL'),
  (1, 'ISO2_FLUSH', '18', 'Flush limit 2 um', 'NORMAL'),
  (1, 'ISO5_FLUSH', '15', 'Flush limit 5 um', 'NORMAL'),
  (1, 'ISO15_FLUSH', '13', 'Flush limit 15 um', 'NORMAL'),
  (1, 'ISO2_CHECK', '18', 'Check standard limit 2 um', 'NORMAL'),
  (1, 'ISO5_CHECK', '15', 'Check standard limit 5 um', 'NORMAL'),
  (1, 'ISO15_CHECK', '13', 'Check standard limit 15 um', 'NORMAL'),
  (1, 'ISO2_SAMPLE', '21', 'Sample limit 2 um', 'NORMAL'),
  (1, 'ISO5_SAMPLE', '18', 'Sample limit 5 um', 'NORMAL'),
  (1, 'ISO15_SAMPLE', '999', 'Sample limit 15 um', 'NORMAL'),
  (1, 'INIT_ISO_HIST_DECREASE', '22', 'History decrease, first', 'NORMAL'),
  (1, 'ISO_HIST_DECREASE_MAX', '20', 'History decrease, most', 'NORMAL'),
  (1, 'SAMPLE_SHAKE_TIME', '60', 'Seconds of shaking', 'NORMAL'),
  (1, 'SAMPLE_BATH_TIME', '300', 'Seconds in the bath before counting', 'NORMAL'),
  (1, 'MAX_RACKS_IN_BATH', '3', 'Racks in the bath at once', 'NORMAL'),
  (1, 'CHECK_VALIDATION_METHOD', 'CODE', 'Check standards judged by code', 'NORMAL'),
  (1, 'FLUSH_VALIDATION_METHOD', 'CODE', 'Flushes judged by code', 'NORMAL'),
  (1, 'SAMPLE_VALIDATION_METHOD', 'CODE', 'Samples judged by code', 'NORMAL'),
  (1, 'DEBUG_NOTE', 'off', 'Not read by the station', 'DEBUG');
)sql");

    // Components of the customers' machines; each has a history of earlier counts.
    const int components = 48;
    std::uniform_int_distribution<int> base_code(13, 20);
    std::vector<int> component_level(components);
    for (int& c : component_level)
        c = base_code(rng);
    auto component = [](int i) {
        std::string s = std::to_string(i + 1);
        return "CMP-" + std::string(4 - s.size(), '0') + s;
    };

    long long next_number = 100001;
    auto insert_sample = [&](const std::string& comp, const std::string& priority,
                             const std::string& received, const std::string& weight) {
        std::string number = Lab_Number_Text(next_number++);
        db_->Exec("INSERT INTO main.samples (LAB_NUMBER, LAB_CODE, COMPONENT_CODE, CUSTOMER, PRIORITY, "
                  "RECEIVED_DATETIME, DESIRED_WEIGHT, DOPICTURE) VALUES (?1, ?2, ?3, 'DEMO MINING CO', ?4, "
                  "?5, ?6, ?7)",
                  {number, lab, comp, priority, received, weight.empty() ? Param() : Param(weight),
                   (long long)(next_number % 9 == 0)});
        return std::pair<long long, std::string>(db_->Last_Insert_Id(), number);
    };
    auto add_test = [&](long long lab_id, const std::string& group, long long run, const std::string& status,
                        const std::string& added, const std::optional<std::string>& completed,
                        const std::optional<std::string>& action) {
        db_->Exec("INSERT INTO main.lab_tracking (LAB_ID, LAB_CODE, TEST_GROUP, RUN_NO, STATUS, CLASS, "
                  "TEST_ACTION, "
                  "EMP_NUM, DATE_ADDED, DATE_COMPLETED) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10)",
                  {lab_id, lab, group, run, status, std::string(run > 1 ? "REDO" : "ROUTINE"),
                   Param_Of(action), completed ? Param(101LL) : Param(), added, Param_Of(completed)});
    };
    auto add_result = [&](long long lab_id, long long run, int level, const std::string& when) {
        std::uniform_int_distribution<int> wobble(-1, 1);
        int i2 = std::clamp(level + wobble(rng), 8, 24);
        int i5 = std::clamp(i2 - 2 + wobble(rng), 7, i2);
        int i15 = std::clamp(i5 - 3 + wobble(rng), 6, i5);
        double volume = 20;
        Counts c = Counts_For(i2, i5, i15, volume, rng);
        std::vector<Param> p = {
            lab_id, run, std::string("PC002"), std::string("USER_INTERFACE"), std::string("ISO4406"),
            volume, 1.0};
        double ml[7];
        for (int k = 0; k < 7; ++k) {
            p.push_back(c.Pc[k]);
            ml[k] = c.Pc[k] / volume;
        }
        for (double m : ml)
            p.push_back(m);
        int a = Iso_Range_Number(ml[0]), b = Iso_Range_Number(ml[1]), d = Iso_Range_Number(ml[2]);
        p.push_back(std::to_string(a) + "/" + std::to_string(b) + "/" + std::to_string(d));
        p.push_back((long long)a);
        p.push_back((long long)b);
        p.push_back((long long)d);
        p.push_back(101LL);
        p.push_back(when);
        db_->Query(
            "INSERT INTO main.testgroup_pc (LAB_ID, RUN_NO, INSTRUMENT_ID, FILENAME, METHOD, SAMPLE_VOLUME, "
            "FACTOR_VOLUME, PC2, PC5, PC15, PC25, PC50, PC100, PC200, PC2_ML, PC5_ML, PC15_ML, PC25_ML, "
            "PC50_ML, "
            "PC100_ML, PC200_ML, ISO_CODE, ISO_2, ISO_5, ISO_15, EMP_NUM, DATE_ENTERED) VALUES (?1, ?2, ?3, "
            "?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11, ?12, ?13, ?14, ?15, ?16, ?17, ?18, ?19, ?20, ?21, ?22, ?23, "
            "?24, ?25, ?26, ?27)",
            p);
    };

    // Histories: one to three earlier samples per component, counted months ago; a few were never
    // counted (taken off as too dark), so their history reads NOT_ENTERED.
    std::uniform_int_distribution<int> history_count(0, 3);
    for (int k = 0; k < components; ++k) {
        int n = k % 7 == 6 ? 0 : 1 + history_count(rng) % 3; // some components have no history
        for (int h = n; h >= 1; --h) {
            std::string when = Hours_Ago(24.0 * 30 * h + k);
            auto [id, number] = insert_sample(component(k), "NORMAL", when, "");
            (void)number;
            if (h == 1 && k % 11 == 3) {
                add_test(id, "PrtCount", 1, "DONE", when, when, std::string("TOO_DARK"));
            } else {
                add_test(id, "PrtCount", 1, "DONE", when, when, std::nullopt);
                add_result(id, 1, component_level[k], when);
            }
        }
    }

    // Racks routed to the particle count: twenty positions each, with every priority present.
    std::uniform_int_distribution<int> pick(0, 99);
    std::uniform_int_distribution<int> comp_pick(0, components - 1);
    for (int r = 0; r < o.Racks; ++r) {
        std::string desc = "PC-R" + Lab_Number_Text(r + 1).substr(5);
        double age_hours = 2.0 + r * 5.5; // the later racks are older; a few pass 48 hours
        std::string received = Hours_Ago(age_hours);
        db_->Exec("INSERT INTO labrack.racks (RACK_DESC, LAB_CODE, TEST_GROUP, DATE_CREATED) VALUES (?1, ?2, "
                  "'PrtCount', ?3)",
                  {desc, lab, received});
        long long rack_id = db_->Last_Insert_Id();
        for (int pos = 1; pos <= 20; ++pos) {
            if (r % 5 == 4 && (pos == 7 || pos == 8)) continue; // empty slots
            std::string priority = "NORMAL";
            bool retest = false;
            int roll = pick(rng);
            // The first racks show each priority for certain; the others get a realistic mix.
            if (r == 1 && pos <= 4)
                priority = "RUSH";
            else if (r == 2 && pos <= 3)
                priority = "URGENT";
            else if (r == 3 && pos <= 2)
                priority = "CRITICAL";
            else if (r == 4 && pos <= 5)
                retest = true;
            else if (roll < 6)
                priority = "RUSH";
            else if (roll < 9)
                priority = age_hours > 48 ? "URGENT" : "RUSH";
            else if (roll < 10)
                priority = "CRITICAL";
            else if (roll < 16)
                retest = true;
            int k = comp_pick(rng);
            std::string weight = (pos % 6 == 0) ? "5.0" : "";
            auto [id, number] = insert_sample(component(k), priority, received, weight);
            (void)number;
            if (pos == 20 && r % 3 == 0) {
                // A bottle for screening only: the particle-count station leaves it alone.
                add_test(id, "SCREEN", 1, "READY", received, std::nullopt, std::nullopt);
            } else if (retest) {
                add_test(id, "PrtCount", 1, "DONE", received, Hours_Ago(age_hours - 1), std::nullopt);
                add_result(id, 1, component_level[k] + 2, Hours_Ago(age_hours - 1));
                add_test(id, "PrtCount", 2, "READY", Hours_Ago(age_hours - 1), std::nullopt, std::nullopt);
            } else {
                add_test(id, "PrtCount", 1, "READY", received, std::nullopt, std::nullopt);
                if (pos % 6 == 0) {
                    add_test(id, "KF", 1, "READY", received, std::nullopt, std::nullopt);
                    db_->Exec("INSERT INTO main.testgroup_kf (LAB_ID, RUN_NO) VALUES (?1, 1)", {id});
                }
                if (pos % 4 == 1) add_test(id, "SCREEN", 1, "READY", received, std::nullopt, std::nullopt);
            }
            db_->Exec("INSERT INTO labrack.rack_positions (RACK_ID, POSITION, LAB_ID) VALUES (?1, ?2, ?3)",
                      {rack_id, (long long)pos, id});
        }
    }
    tx.Commit();
    return logins;
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
    Transaction tx(*db_, true);
    int n = db_->Exec("UPDATE labrack.racks SET CURR_USER = NULL, CURR_STATION = NULL, DATE_ACQUIRED = NULL "
                      "WHERE RACK_DESC = ?1",
                      {Trim(rack_desc)});
    tx.Commit();
    return n > 0;
}

void Lab_Admin::Build_Benchmark_Data(int racks, int positions_per_rack) {
    const std::string lab = "VOLMAR";
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

struct Raw_Rack_Reader::Statement {
    sqlite3_stmt* St = nullptr;
    ~Statement() { sqlite3_finalize(St); }
};

Raw_Rack_Reader::Raw_Rack_Reader(const fs::path& lab_file)
    : db_(std::make_unique<Sqlite_Db>(lab_file, Busy_Timeout_Ms)), st_(std::make_unique<Statement>()) {
    if (sqlite3_prepare_v2(db_->Handle(), Rack_Tests_Sql_Text(), -1, &st_->St, nullptr) != SQLITE_OK)
        throw std::runtime_error(sqlite3_errmsg(db_->Handle()));
}

Raw_Rack_Reader::~Raw_Rack_Reader() = default;

size_t Raw_Rack_Reader::Read(const std::string& rack_desc, const std::string& test_group, size_t& bytes) {
    sqlite3_stmt* st = st_->St;
    sqlite3_reset(st);
    sqlite3_bind_text(st, 1, rack_desc.data(), static_cast<int>(rack_desc.size()), SQLITE_TRANSIENT);
    sqlite3_bind_text(st, 2, test_group.data(), static_cast<int>(test_group.size()), SQLITE_TRANSIENT);
    sqlite3_bind_int(st, 3, 0);
    sqlite3_bind_int(st, 4, 1);
    size_t rows = 0;
    int n = sqlite3_column_count(st);
    while (sqlite3_step(st) == SQLITE_ROW) {
        ++rows;
        for (int c = 0; c < n; ++c) {
            sqlite3_column_text(st, c);
            bytes += static_cast<size_t>(sqlite3_column_bytes(st, c));
        }
    }
    sqlite3_reset(st);
    return rows;
}

} // namespace pcs::embedded
