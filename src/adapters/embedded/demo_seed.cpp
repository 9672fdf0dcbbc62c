// The demonstration lab `labdb seed` fills a new database with: employees with passwords, racks
// routed to the particle count with priorities and histories, documents and the station's settings.
#include "lab_admin.h"

#include "admin_helpers.h"
#include "procedures.h"
#include "sqlite_db.h"

#include "common/local_time.h"
#include "common/text.h"
#include "counter/count_report.h"

#include <chrono>
#include <cmath>
#include <random>

namespace pcs::embedded {

namespace {

std::string Hours_Ago(double hours) {
    return Local_Date_Time_Text(std::chrono::system_clock::now() -
                                std::chrono::seconds(static_cast<long long>(hours * 3600.0)));
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

std::vector<Demo_Login> Lab_Admin::Seed_Demo(const Seed_Options& o) {
    Refuse_Damage();
    if (!db_->Query("SELECT 1 FROM hadel.employees LIMIT 1").Rows.empty() ||
        !db_->Query("SELECT 1 FROM labrack.racks LIMIT 1").Rows.empty())
        throw Admin_Error("the database holds data already: seed a new one (labdb create --replace)");
    if (o.Racks < 12) throw Admin_Error("a demonstration lab has at least 12 racks");
    std::mt19937 rng(o.Seed ? o.Seed : std::random_device{}());
    const std::string lab = Lab_Code_Default;

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
        int a = Whole_Count_Range_Number(ml[0]), b = Whole_Count_Range_Number(ml[1]),
            d = Whole_Count_Range_Number(ml[2]);
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

} // namespace pcs::embedded
