#include "rack_summary.h"

#include "procedure_kit.h"

#include "common/text.h"

#include <sqlite3.h>

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <map>
#include <mutex>
#include <unordered_map>
#include <unordered_set>

namespace pcs::embedded {

namespace {

// The triggers that log a table's changes into a change log: the key of the row (old and new for an
// update), or NULL ("everything") when key is empty; inserts only where with_inserts. A trimmed log
// keeps its last 5,000 entries.
std::string Logged_Changes(const std::string& schema, const std::string& table, const std::string& log,
                           const std::string& column, const std::string& key, bool with_inserts,
                           bool trimmed) {
    const std::string trim =
        trimmed ? "    DELETE FROM " + log + " WHERE SEQ <= (SELECT max(SEQ) FROM " + log + ") - 5000;\n"
                : std::string();
    auto trigger = [&](const std::string& event, const std::string& row) {
        std::string name = event;
        std::transform(name.begin(), name.end(), name.begin(),
                       [](unsigned char c) { return std::tolower(c); });
        return "CREATE TRIGGER IF NOT EXISTS " + schema + "." + table + "_logged_" + name + " AFTER " +
               event + " ON " + table + " BEGIN\n    INSERT INTO " + log + " (" + column + ") " + row +
               ";\n" + trim + "END;\n";
    };
    auto of = [&](const char* row) { return "VALUES (" + (key.empty() ? "NULL" : row + ("." + key)) + ")"; };
    std::string sql = with_inserts ? trigger("INSERT", of("NEW")) : std::string();
    sql += trigger("UPDATE", key.empty() ? of("NEW") : "SELECT NEW." + key + " UNION SELECT OLD." + key);
    return sql + trigger("DELETE", of("OLD"));
}

std::string Schema_Sql() {
    std::string sql = R"sql(
CREATE INDEX IF NOT EXISTS labrack.rack_positions_rack_sample ON rack_positions (RACK_ID, LAB_ID);
CREATE INDEX IF NOT EXISTS main.lab_tracking_sample_group ON lab_tracking (LAB_ID, TEST_GROUP, STATUS, RUN_NO);
CREATE INDEX IF NOT EXISTS main.lab_tracking_open_lab ON lab_tracking (TEST_GROUP, STATUS, LAB_CODE);
CREATE TABLE IF NOT EXISTS main.test_changes (SEQ INTEGER PRIMARY KEY, LAB_ID INTEGER);
CREATE TABLE IF NOT EXISTS labrack.rack_changes (SEQ INTEGER PRIMARY KEY, RACK_ID INTEGER);
)sql";
    sql += Logged_Changes("main", "lab_tracking", "test_changes", "LAB_ID", "LAB_ID", true, true);
    // A new sample has no tests yet: only its changes and its removal reach the summary.
    sql += Logged_Changes("main", "samples", "test_changes", "LAB_ID", "LAB_ID", false, true);
    sql += Logged_Changes("main", "test_groups", "test_changes", "LAB_ID", "", true, false);
    sql += Logged_Changes("labrack", "rack_positions", "rack_changes", "RACK_ID", "RACK_ID", true, true);
    sql += Logged_Changes("labrack", "racks", "rack_changes", "RACK_ID", "RACK_ID", true, true);
    return sql + "INSERT OR IGNORE INTO main.db_info (NAME, VALUE) VALUES ('summary_epoch', "
                 "lower(hex(randomblob(8))));\n";
}

} // namespace

// Every change to what the summary counts leaves the sample (main) or the rack (labrack) in a log; a
// NULL sample means "everything". The logs keep their last 5,000 entries: a process further behind counts
// again from the start.
const std::string& Rack_Summary_Schema_Sql() {
    static const std::string sql = Schema_Sql();
    return sql;
}

namespace {

// The outstanding tests of one rack for one test group and one effective priority.
struct Count {
    std::string Group, Priority;
    long long Tests = 0;
    std::string Oldest;
};

struct Rack_Entry {
    bool Listed = false; // the rack's own row is there
    std::string Desc, Lab_Code;
    Field Curr_User, Curr_Station;
    std::vector<Count> Counts;
};

struct Summary {
    bool Valid = false;
    long long Test_Seq = 0, Rack_Seq = 0;
    std::unordered_map<long long, Rack_Entry> Racks;
};

// One summary per lab database file: its epoch (written once when the logs were made) and the file's
// identity and birth, since a copy carries the epoch along and a new file may reuse a gone one's inode.
std::mutex Summaries_Lock;
std::map<std::string, Summary> Summaries;

const std::string Counts_Select = std::string("SELECT p.RACK_ID, t.TEST_GROUP, ") + Effective_Priority +
                                  " AS EFFECTIVE_PRIORITY, count(*), min(s.RECEIVED_DATETIME) "
                                  "FROM labrack.rack_positions p "
                                  "JOIN main.samples s ON s.LAB_ID = p.LAB_ID "
                                  "JOIN main.lab_tracking t ON t.LAB_ID = s.LAB_ID AND t.STATUS = 'READY' "
                                  "JOIN main.test_groups g ON g.TEST_GROUP = t.TEST_GROUP ";
const std::string All_Counts_Sql = Counts_Select + "GROUP BY p.RACK_ID, t.TEST_GROUP, EFFECTIVE_PRIORITY";
const std::string Rack_Counts_Sql =
    Counts_Select + "WHERE p.RACK_ID = ?1 GROUP BY t.TEST_GROUP, EFFECTIVE_PRIORITY";
const char* const Racks_Sql =
    "SELECT RACK_ID, RACK_DESC, LAB_CODE, CURR_USER, CURR_STATION FROM labrack.racks";
const char* const Rack_Sql =
    "SELECT RACK_ID, RACK_DESC, LAB_CODE, CURR_USER, CURR_STATION FROM labrack.racks WHERE RACK_ID = ?1";

long long Id_Of(const Field& f) {
    return f ? std::stoll(*f) : 0;
}

void Take_Rack_Row(Summary& s, const std::vector<Field>& r) {
    Rack_Entry& e = s.Racks[Id_Of(r[0])];
    e.Listed = true;
    e.Desc = r[1].value_or("");
    e.Lab_Code = r[2].value_or("");
    e.Curr_User = r[3];
    e.Curr_Station = r[4];
}

void Take_Count_Row(Rack_Entry& e, const std::vector<Field>& r, size_t first) {
    e.Counts.push_back(Count{r[first].value_or(""), r[first + 1].value_or(""),
                             r[first + 2] ? std::stoll(*r[first + 2]) : 0, r[first + 3].value_or("")});
}

void Count_All(Sqlite_Db& db, Summary& s) {
    s.Racks.clear();
    for (const auto& r : db.Query(Racks_Sql).Rows)
        Take_Rack_Row(s, r);
    for (const auto& r : db.Query(All_Counts_Sql).Rows)
        Take_Count_Row(s.Racks[Id_Of(r[0])], r, 1);
}

void Count_Rack(Sqlite_Db& db, Summary& s, long long rack_id) {
    s.Racks.erase(rack_id);
    Table info = db.Query(Rack_Sql, {rack_id});
    if (info.Rows.empty()) return;
    Take_Rack_Row(s, info.Rows[0]);
    Rack_Entry& e = s.Racks[rack_id];
    for (const auto& r : db.Query(Rack_Counts_Sql, {rack_id}).Rows)
        Take_Count_Row(e, r, 1);
}

std::pair<long long, long long> Log_Range(Sqlite_Db& db, const char* table) {
    Table t = db.Query(std::string("SELECT ifnull(min(SEQ), 0), ifnull(max(SEQ), 0) FROM ") + table);
    return {Id_Of(t.Rows[0][0]), Id_Of(t.Rows[0][1])};
}

// Whether the log holds every entry after `seen`; false also when the file went back behind it.
bool Log_Follows(std::pair<long long, long long> range, long long seen) {
    if (range.second == seen) return true;
    return range.second > seen && range.first <= seen + 1;
}

// Brings the summary of db's lab database up to date in db's transaction; null when db keeps no logs.
Summary* Current(Sqlite_Db& db) {
    if (!db.Has_Change_Logs()) return nullptr;
    Table epoch = db.Query("SELECT VALUE FROM main.db_info WHERE NAME = 'summary_epoch'");
    if (epoch.Rows.empty() || !epoch.Rows[0][0]) return nullptr;
    struct statx st {};
    // A file system that keeps no birth time cannot tell a new file from a gone one: the statements answer.
    if (::statx(AT_FDCWD, db.Files().Lab.c_str(), 0, STATX_INO | STATX_BTIME, &st) != 0 ||
        !(st.stx_mask & STATX_BTIME))
        return nullptr;
    const auto born = st.stx_btime;
    const std::string key = *epoch.Rows[0][0] + ":" + std::to_string(st.stx_dev_major) + "." +
                            std::to_string(st.stx_dev_minor) + ":" + std::to_string(st.stx_ino) + ":" +
                            std::to_string(born.tv_sec) + "." + std::to_string(born.tv_nsec);
    Summary& s = Summaries[key];
    const auto tests = Log_Range(db, "main.test_changes");
    const auto racks = Log_Range(db, "labrack.rack_changes");
    constexpr size_t Most_Racks_One_By_One = 200;
    bool all = !s.Valid || !Log_Follows(tests, s.Test_Seq) || !Log_Follows(racks, s.Rack_Seq);
    std::unordered_set<long long> changed;
    if (!all && tests.second > s.Test_Seq) {
        for (const auto& r :
             db.Query("SELECT LAB_ID FROM main.test_changes WHERE SEQ > ?1", {s.Test_Seq}).Rows) {
            if (!r[0]) {
                all = true;
                break;
            }
            for (const auto& p :
                 db.Query("SELECT RACK_ID FROM labrack.rack_positions WHERE LAB_ID = ?1", {Id_Of(r[0])}).Rows)
                changed.insert(Id_Of(p[0]));
            if (changed.size() > Most_Racks_One_By_One) break;
        }
    }
    if (!all && racks.second > s.Rack_Seq)
        for (const auto& r :
             db.Query("SELECT RACK_ID FROM labrack.rack_changes WHERE SEQ > ?1", {s.Rack_Seq}).Rows)
            if (r[0]) changed.insert(Id_Of(r[0]));
    s.Valid = false; // until counted through
    if (all || changed.size() > Most_Racks_One_By_One)
        Count_All(db, s);
    else
        for (long long id : changed)
            Count_Rack(db, s, id);
    s.Test_Seq = tests.second;
    s.Rack_Seq = racks.second;
    s.Valid = true;
    return &s;
}

int No_Case_Compare(const std::string& a, const std::string& b) {
    auto fold = [](unsigned char c) { return c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c; };
    for (size_t i = 0; i < a.size() && i < b.size(); ++i)
        if (fold(a[i]) != fold(b[i])) return fold(a[i]) < fold(b[i]) ? -1 : 1;
    return a.size() < b.size() ? -1 : a.size() > b.size() ? 1 : 0;
}

int Rank(const std::string& effective_priority) {
    if (effective_priority == "CRITICAL") return 4;
    if (effective_priority == "URGENT") return 3;
    if (effective_priority == "RUSH") return 2;
    if (effective_priority == "RETEST") return 1;
    return 0;
}

const char* Rank_Name(int rank) {
    static const char* const names[] = {"NORMAL", "RETEST", "RUSH", "URGENT", "CRITICAL"};
    return names[rank];
}

bool In_Group(const Count& c, const std::optional<std::string>& group) {
    return !group || Equals_No_Case(c.Group, *group);
}

} // namespace

std::optional<Table> Summary_Outstanding_Racks(Sqlite_Db& db, const std::string& lab_code,
                                               const std::optional<std::string>& test_group,
                                               const std::optional<std::string>& priority) {
    std::lock_guard<std::mutex> guard(Summaries_Lock);
    Summary* s = Current(db);
    if (!s) return std::nullopt;
    struct Row {
        const Rack_Entry* Rack;
        long long Id, Tests = 0;
        std::string Oldest;
        int Rank = 0;
    };
    std::vector<Row> rows;
    const std::optional<std::string> wanted = priority ? std::optional(UCase(*priority)) : std::nullopt;
    for (const auto& [id, rack] : s->Racks) {
        if (!rack.Listed || !Equals_No_Case(rack.Lab_Code, lab_code)) continue;
        Row row{&rack, id, 0, {}, 0};
        bool has_wanted = !wanted;
        for (const Count& c : rack.Counts) {
            if (!In_Group(c, test_group)) continue;
            if (row.Tests == 0 || c.Oldest < row.Oldest) row.Oldest = c.Oldest;
            row.Tests += c.Tests;
            row.Rank = std::max(row.Rank, Rank(c.Priority));
            if (wanted && c.Priority == *wanted) has_wanted = true;
        }
        if (row.Tests > 0 && has_wanted) rows.push_back(std::move(row));
    }
    // As the statement orders them: highest priority, oldest sample, then the rack's name.
    std::sort(rows.begin(), rows.end(), [](const Row& a, const Row& b) {
        if (a.Rank != b.Rank) return a.Rank > b.Rank;
        if (a.Oldest != b.Oldest) return a.Oldest < b.Oldest;
        // The name's collation folds capitals to small letters.
        const int c = No_Case_Compare(a.Rack->Desc, b.Rack->Desc);
        if (c != 0) return c < 0;
        return a.Id < b.Id;
    });
    Table t;
    t.Columns = {"RACK_DESC", "RACK_ID",   "OUTSTANDING", "OLDEST_RECEIVED",
                 "PRIORITY",  "CURR_USER", "CURR_STATION"};
    t.Rows.reserve(rows.size());
    for (const Row& r : rows)
        t.Rows.push_back({F(r.Rack->Desc), F(r.Id), F(r.Tests), F(r.Oldest), F(Rank_Name(r.Rank)),
                          r.Rack->Curr_User, r.Rack->Curr_Station});
    return t;
}

std::optional<Table> Summary_Rack_Priorities(Sqlite_Db& db, const std::string& lab_code,
                                             const std::optional<std::string>& test_group) {
    std::lock_guard<std::mutex> guard(Summaries_Lock);
    Summary* s = Current(db);
    if (!s) return std::nullopt;
    std::map<std::string, long long> tests;
    for (const auto& [id, rack] : s->Racks) {
        if (!rack.Listed || !Equals_No_Case(rack.Lab_Code, lab_code)) continue;
        for (const Count& c : rack.Counts)
            if (In_Group(c, test_group) && c.Priority != "NORMAL") tests[c.Priority] += c.Tests;
    }
    std::vector<std::pair<std::string, long long>> rows(tests.begin(), tests.end());
    std::stable_sort(rows.begin(), rows.end(),
                     [](const auto& a, const auto& b) { return Rank(a.first) > Rank(b.first); });
    Table t;
    t.Columns = {"PRIORITY", "TESTS"};
    for (const auto& [name, n] : rows)
        t.Rows.push_back({F(name), F(n)});
    return t;
}

void Warm_Rack_Summary(Sqlite_Db& db) {
    Transaction tx(db, false);
    std::lock_guard<std::mutex> guard(Summaries_Lock);
    Current(db);
}

} // namespace pcs::embedded
