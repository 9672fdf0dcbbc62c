// labdb from the command line, as lab IT uses it.

#include "embedded_fixture.h"

#include "common/text.h"
#include "support/damage_file.h"

#include <nlohmann/json.hpp>

#include <array>
#include <cstdio>
#include <fstream>
#include <set>
#include <sys/stat.h>
#include <sys/wait.h>

using namespace pcs;
using namespace pcs::test;
using json = nlohmann::json;

namespace {

struct Result {
    int Status = -1;
    std::vector<json> Lines; // standard output, one JSON value per line
};

std::string Quote(const std::string& s) {
    std::string r = "'";
    for (char c : s)
        r += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return r + "'";
}

Result Labdb(const std::vector<std::string>& args, const std::string& input = "") {
    std::string cmd = "timeout 60 " + Quote(LABDB_PATH);
    for (const auto& a : args)
        cmd += " " + Quote(a);
    cmd += " 2>/dev/null";
    if (!input.empty()) cmd = "printf '%s\\n' " + Quote(input) + " | " + cmd;
    Result r;
    FILE* p = ::popen(cmd.c_str(), "r");
    if (!p) return r;
    std::string out;
    std::array<char, 4096> buf;
    size_t n;
    while ((n = fread(buf.data(), 1, buf.size(), p)) > 0)
        out.append(buf.data(), n);
    int status = ::pclose(p);
    r.Status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    size_t start = 0;
    while (start < out.size()) {
        size_t end = out.find('\n', start);
        if (end == std::string::npos) end = out.size();
        if (end > start) r.Lines.push_back(json::parse(out.substr(start, end - start)));
        start = end + 1;
    }
    return r;
}

// Everything a shell command prints, standard error included.
std::string Shell(const std::string& cmd) {
    std::string out;
    FILE* p = ::popen(("(" + cmd + ") 2>&1").c_str(), "r");
    if (!p) return out;
    std::array<char, 4096> buf;
    size_t n;
    while ((n = fread(buf.data(), 1, buf.size(), p)) > 0)
        out.append(buf.data(), n);
    ::pclose(p);
    return out;
}

class Labdb_Tool : public ::testing::Test {
protected:
    Temp_Dir Folder;
    std::string Db = (Folder.Path() / "lab.db").string();
};

} // namespace

TEST_F(Labdb_Tool, SeedPrintsPasswordsOnceAndTheyLogIn) {
    Result seed = Labdb({"seed", "--create", "--seed", "11", Db});
    ASSERT_EQ(seed.Status, 0);
    ASSERT_EQ(seed.Lines.size(), 7u);
    std::string password;
    for (const auto& l : seed.Lines) {
        EXPECT_EQ(l["password"].get<std::string>().size(), 8u);
        if (l["emp_num"] == 101) password = l["password"];
    }
    Result login = Labdb({"query", "--db", Db,
                          "exec lab.dbo.validate_password @source = 'Qor', @UserPassword = '" + password +
                              "', @labcode = 'VOLMAR'"});
    ASSERT_EQ(login.Status, 0);
    ASSERT_EQ(login.Lines.size(), 1u);
    EXPECT_EQ(login.Lines[0]["EMP_NUM"], "101");
    EXPECT_TRUE(login.Lines[0].contains("Qor_Func")); // column names as the database gives them
    // Seeding twice would mix two demos: refused.
    EXPECT_NE(Labdb({"seed", Db}).Status, 0);
}

TEST_F(Labdb_Tool, QueryPrintsNullsAndErrorRecordsWithTheirNumbers) {
    ASSERT_EQ(Labdb({"create", Db}).Status, 0);
    EXPECT_NE(Labdb({"create", Db}).Status, 0); // not over an existing one
    Result rows = Labdb({"query", "--db", Db, "select null as a, 'x' as B union all select '1', null"});
    ASSERT_EQ(rows.Status, 0);
    ASSERT_EQ(rows.Lines.size(), 2u);
    EXPECT_TRUE(rows.Lines[0]["a"].is_null());
    EXPECT_EQ(rows.Lines[0]["B"], "x");
    EXPECT_TRUE(rows.Lines[1]["B"].is_null());

    Result bad = Labdb({"query", "--connect", "EMBEDDED=" + Db, "exec labrack.dbo.no_such_thing @x = 1"});
    EXPECT_EQ(bad.Status, 1);
    ASSERT_EQ(bad.Lines.size(), 1u);
    EXPECT_EQ(bad.Lines[0]["error"]["number"], -2147217900);
    EXPECT_EQ(bad.Lines[0]["error"]["sqlstate"], "42000");

    Result missing = Labdb({"query", "--db", (Folder.Path() / "none.db").string(), "select 1"});
    EXPECT_EQ(missing.Status, 2);
}

TEST_F(Labdb_Tool, EmployeesRacksResultsAndBathFromTheCommandLine) {
    ASSERT_EQ(Labdb({"create", Db}).Status, 0);
    Result emp = Labdb(
        {"add-employee", Db, "--emp-num", "201", "--first", "Zoe", "--last", "N'Dour", "--password-stdin"},
        "pa'ss 42");
    ASSERT_EQ(emp.Status, 0);
    EXPECT_FALSE(emp.Lines.at(0).contains("password")); // given, so not printed
    Result made = Labdb({"add-employee", Db, "--emp-num", "202", "--first", "Yan", "--last", "Li"});
    ASSERT_EQ(made.Status, 0);
    EXPECT_EQ(made.Lines.at(0)["password"].get<std::string>().size(), 8u);
    Result login = Labdb({"query", "--db", Db,
                          "exec lab.dbo.validate_password @source = 'Qor', @UserPassword = 'pa''ss 42', "
                          "@labcode = 'VOLMAR'"});
    EXPECT_EQ(login.Lines.at(0)["LASTNAME"], "N'Dour");

    Result rack = Labdb({"route-rack", Db, "--rack", "R-77", "--new", "20", "--priority", "RUSH"});
    ASSERT_EQ(rack.Status, 0);
    std::string first = rack.Lines.at(0)["samples"][0];
    Result tests =
        Labdb({"query", "--db", Db,
               "exec labrack.dbo.outstanding_rackTests @rack_desc = 'R-77', @test_group = 'PrtCount'"});
    ASSERT_EQ(tests.Lines.size(), 20u);
    EXPECT_EQ(tests.Lines[0]["PRIORITY"], "RUSH");
    EXPECT_NE(Labdb({"route-rack", Db, "--rack", "R-77", "--new", "1"}).Status, 0);

    ASSERT_EQ(Labdb({"query", "--db", Db,
                     "exec labrack.dbo.set_PC_Bath @sampleId = '" + first +
                         "', @extra = 'RD=R-77RID=1', @empNum = 201, @position = 4, @instrumentId = 'PC002', "
                         "@action = 'ADD', @test = 0"})
                  .Status,
              0);
    Result bath = Labdb({"bath", Db});
    ASSERT_EQ(bath.Lines.size(), 1u);
    EXPECT_EQ(bath.Lines[0]["POSITION"], "4");
    EXPECT_EQ(bath.Lines[0]["SAMPLE_ID"], first);

    Labdb({"query", "--db", Db,
           "exec Lab.dbo.import_PC002 @labnumber = '" + first +
               "', @instrumentid = 'PC002', @filename = 'USER_INTERFACE', @labcode = 'VOLMAR', @method = "
               "'ISO4406', "
               "@sampleVolume = '20', @factorVolume = 1, @pc2m = '4446', @pc5m = '908', @pc15m = '51', "
               "@pc25m = "
               "'13', @pc50m = '0', @pc100m = '0', @pc200m = '0', @empnum = 201, @test = 'N' "});
    Result results = Labdb({"results", Db, "--lab-number", first});
    ASSERT_EQ(results.Lines.size(), 1u);
    EXPECT_EQ(results.Lines[0]["ISO_CODE"], "15/13/8");
    EXPECT_EQ(results.Lines[0]["STATUS"], "DONE");
}

TEST_F(Labdb_Tool, TwoLabdbProcessesRacingForOneRack) {
    ASSERT_EQ(Labdb({"create", Db}).Status, 0);
    ASSERT_EQ(Labdb({"route-rack", Db, "--rack", "R-1", "--new", "3"}).Status, 0);
    // Both started together by one shell; each prints its answer row.
    std::string call = "exec labrack.dbo.rack_acquisition_upd @rack_id = 1, @emp_num = %d, @station = 'PC', "
                       "@action = 'GET'";
    char a[200], b[200];
    std::snprintf(a, sizeof a, call.c_str(), 1);
    std::snprintf(b, sizeof b, call.c_str(), 2);
    std::string cmd = "(" + Quote(LABDB_PATH) + " query --db " + Quote(Db) + " " + Quote(a) + " & " +
                      Quote(LABDB_PATH) + " query --db " + Quote(Db) + " " + Quote(b) +
                      " & wait) 2>/dev/null";
    FILE* p = ::popen(cmd.c_str(), "r");
    ASSERT_NE(p, nullptr);
    std::string out;
    char buf[1024];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0)
        out.append(buf, n);
    ::pclose(p);
    int zeros = 0, ones = 0;
    for (size_t start = 0; start < out.size();) {
        size_t end = out.find('\n', start);
        json line = json::parse(out.substr(start, end - start));
        if (line["ERROR"] == "0") ++zeros;
        if (line["ERROR"] == "1") ++ones;
        start = end + 1;
    }
    EXPECT_EQ(zeros, 1);
    EXPECT_EQ(ones, 1);
}

// A lab's IT reads traces and error output: the login password never reaches the trace, which only its
// owner may read, and no connection string, whatever its backend, is repeated anywhere.
TEST_F(Labdb_Tool, NoPasswordOrConnectionStringInTheTraceOrAnyOutput) {
    Db = Copy_Seeded(Folder.Path()).string();
    std::string password = Seeded_Template::Get().Logins.at(0).Password;
    fs::path trace = Folder.Path() / "t.jsonl";
    std::string traced = "PCSTATION_SQL_TRACE=" + Quote(trace.string()) + " " + Quote(LABDB_PATH);
    std::string login = "exec lab.dbo.validate_password @source = 'Qor', @UserPassword = '" + password +
                        "', @labcode = 'VOLMAR'";
    std::string out = Shell(traced + " query --db " + Quote(Db) + " " + Quote(login));
    EXPECT_TRUE(pcs::Contains(out, "EMP_NUM")) << out;
    // Typed with a quote the station does not double.
    std::string odd = password.substr(0, 4) + "'" + password.substr(4);
    out += Shell(traced + " query --db " + Quote(Db) + " " +
                 Quote("exec lab.dbo.validate_password @source = 'Qor', @UserPassword = '" + odd +
                       "', @labcode = 'VOLMAR'"));
    for (const std::string& cs : std::vector<std::string>{
             "EMBEDDED=" + (Folder.Path() / "none.db").string() + ";PWD=S3cret44",
             "EMBEDDED=" + Db + ";PWD=S3cret44", "DSN=NO_SUCH_SOURCE;UID=lab;PWD=S3cret44"})
        out += Shell(traced + " query --connect " + Quote(cs) + " 'select 1'");

    std::ifstream in(trace);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(json::parse(text.substr(0, text.find('\n')))["sql"],
              "exec lab.dbo.validate_password @source = 'Qor', @UserPassword = '***', @labcode = 'VOLMAR'");
    for (const std::string& secret : {password, odd, std::string("S3cret44")}) {
        EXPECT_FALSE(pcs::Contains(text, secret)) << text;
        EXPECT_FALSE(pcs::Contains(out, secret)) << out;
    }
    struct stat st {};
    ASSERT_EQ(::stat(trace.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
}

// Two routings of new samples at once: each rack gets samples of its own, numbered under the write lock.
TEST_F(Labdb_Tool, TwoRoutingsOfNewSamplesAtOnceNeverShareALabNumber) {
    for (int round = 0; round < 3; ++round) {
        Db = (Folder.Path() / ("race" + std::to_string(round) + ".db")).string();
        ASSERT_EQ(Labdb({"create", Db}).Status, 0);
        std::string route = Quote(LABDB_PATH) + " route-rack " + Quote(Db) + " --new 20 --rack ";
        std::string out = Shell(route + "X & " + route + "Y & wait");
        std::set<std::string> numbers;
        size_t racks = 0;
        for (size_t start = 0; start < out.size();) {
            size_t end = out.find('\n', start);
            json line = json::parse(out.substr(start, end - start));
            ++racks;
            for (const auto& n : line["samples"])
                numbers.insert(n.get<std::string>());
            start = end + 1;
        }
        EXPECT_EQ(racks, 2u) << out;
        EXPECT_EQ(numbers.size(), 40u) << out;
        Result ids = Labdb(
            {"query", "--db", Db,
             "select count(distinct LAB_ID) as n, count(*) as all_rows from labrack.dbo.rack_positions"});
        EXPECT_EQ(ids.Lines.at(0)["n"], "40");
        EXPECT_EQ(ids.Lines.at(0)["all_rows"], "40");
    }
}

// Random bytes over the pages written last: every write command refuses with a clear message instead of
// writing into the damaged file, and the check the station makes at start finds the damage.
TEST_F(Labdb_Tool, ADamagedDatabaseIsRefusedBeforeAnyWrite) {
    ASSERT_EQ(Labdb({"create", Db}).Status, 0);
    ASSERT_EQ(Labdb({"route-rack", Db, "--rack", "R-1", "--new", "60"}).Status, 0);
    ASSERT_TRUE(test::Damage_Last_Pages(Db));
    std::string out =
        Shell(Quote(LABDB_PATH) + " route-rack " + Quote(Db) + " --rack R-2 --new 2; echo status=$?");
    EXPECT_NE(out.find("damaged"), std::string::npos) << out;
    EXPECT_EQ(out.find("status=0"), std::string::npos) << out;
    EXPECT_NE(Labdb({"add-employee", Db, "--emp-num", "7", "--first", "A", "--last", "B"}).Status, 0);

    // What the station asks once at start.
    embedded::Embedded_Backend backend;
    auto damage = backend.Check_Damage(embedded::Embedded_Connect_String(Db));
    ASSERT_TRUE(damage.has_value());
    EXPECT_NE(damage->find("lab.db"), std::string::npos) << *damage;
    EXPECT_FALSE(
        backend.Check_Damage(embedded::Embedded_Connect_String(Copy_Seeded(Folder.Path()))).has_value());
}

// Text that is not UTF-8 (a rack name typed in another code page) is shown with its bad bytes replaced;
// a write that was saved is never reported as failed.
TEST_F(Labdb_Tool, TextThatIsNotUtf8IsShownAndItsWriteReportedSaved) {
    ASSERT_EQ(Labdb({"create", Db}).Status, 0);
    Result rack = Labdb({"route-rack", Db, "--rack", "R-\xe9", "--new", "3"});
    ASSERT_EQ(rack.Status, 0);
    EXPECT_EQ(rack.Lines.at(0)["rack_desc"], "R-\xef\xbf\xbd");
    Result racks = Labdb({"query", "--db", Db, "select RACK_DESC from labrack.dbo.racks"});
    EXPECT_EQ(racks.Status, 0);
    EXPECT_EQ(racks.Lines.size(), 1u);
    EXPECT_EQ(Labdb({"results", Db}).Status, 0);
    EXPECT_EQ(Labdb({"bath", Db}).Status, 0);
}

// A lab database is made whole or not at all, in a folder that exists; a typo'd path makes no folders.
TEST_F(Labdb_Tool, CreateMakesTheWholeFileSetInAnExistingFolderOnly) {
    fs::path missing = Folder.Path() / "no" / "such" / "x.db";
    EXPECT_NE(Labdb({"create", missing.string()}).Status, 0);
    EXPECT_FALSE(fs::exists(Folder.Path() / "no"));
    ASSERT_EQ(Labdb({"create", Db}).Status, 0);
    std::set<std::string> names;
    for (const auto& e : fs::directory_iterator(Folder.Path()))
        names.insert(e.path().filename().string());
    EXPECT_EQ(names,
              (std::set<std::string>{"lab.db", "lab.hadel.db", "lab.key", "lab.labrack.db", "lab.sop.db"}));
    EXPECT_EQ(Labdb({"route-rack", Db, "--rack", "R-1", "--new", "2"}).Status, 0);
    ASSERT_EQ(Labdb({"create", "--replace", Db}).Status, 0);
    EXPECT_EQ(Labdb({"query", "--db", Db, "select count(*) as n from labrack.dbo.racks"}).Lines.at(0)["n"],
              "0");
}
