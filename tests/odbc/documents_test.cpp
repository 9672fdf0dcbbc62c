// Procedure documents: the lookup statement, the address, and the browser started as a process.
#include "odbc_test_env.h"
#include "process_browser.h"

#include "common/text.h"
#include "db/connect_string.h"
#include "db/documents.h"
#include "support/fake_ports.h"
#include "support/scripted_backend.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace pcs;
using namespace pcs::db;
using test::Answer_Script;
using test::Table;

namespace {

struct Recording_Browser : Browser_Port {
    std::vector<std::string> Opened;
    void Open_Address(const std::string& address) override { Opened.push_back(address); }
};

struct Documents : ::testing::Test {
    Globals g;
    test::Scripted_Backend backend;
    test::Recording_Alerts alerts;
    Database db{g, backend, alerts};
    Recording_Browser browser;
    void SetUp() override { g.Connect_String = "DSN=LAB"; }
};

} // namespace

TEST_F(Documents, TheTestGroupsDocumentOpensAtItsAddress) {
    backend.Queue.push_back(Answer_Script::Rows_Of(
        Table{{"doc_id", "Doc_Type", "TEST_GROUP"},
              {{std::string(" LWI-0045 "), std::string(" pdf "), std::string("PC;PrtCount;")},
               {std::string("LWI-0099"), std::string("doc"), std::string("PC;")}}}));
    Show_Document(db, browser, "docs.lab.local", " PC ");
    EXPECT_EQ(backend.Statements,
              std::vector<std::string>{
                  "select * from sop.dbo.documents (nolock) where charindex('PC;', Test_Group) > 0"});
    EXPECT_EQ(browser.Opened,
              std::vector<std::string>{"http://docs.lab.local/DocsOnLine//ISO9001-2000/LWI/LWI-0045.pdf"});
}

TEST_F(Documents, NoDocumentOrNoTypeOpensNothing) {
    backend.Queue.push_back(Answer_Script::Rows_Of(Table{{"DOC_ID", "DOC_TYPE"}, {}}));
    Show_Document(db, browser, "docs", "XX");
    backend.Queue.push_back(
        Answer_Script::Rows_Of(Table{{"DOC_ID", "DOC_TYPE"}, {{std::string("LWI-1"), std::nullopt}}}));
    Show_Document(db, browser, "docs", "PC");
    EXPECT_TRUE(browser.Opened.empty());
    EXPECT_TRUE(alerts.Alerts.empty());
}

TEST_F(Documents, AQuoteInTheTestGroupStaysInsideTheLiteral) {
    backend.Queue.push_back(Answer_Script::Rows_Of(Table{{"DOC_ID", "DOC_TYPE"}, {}}));
    Show_Document(db, browser, "docs", "O'B'); drop table x; --");
    ASSERT_EQ(backend.Statements.size(), 1u);
    EXPECT_EQ(backend.Statements[0],
              "select * from sop.dbo.documents (nolock) where charindex('O''B''); drop table "
              "x; --;', Test_Group) > 0");
}

TEST_F(Documents, AFailedLookupReachesTheCaller) {
    backend.Queue.push_back(
        Answer_Script::Failure({{-2147217865, "Invalid object name 'sop.dbo.documents'.", "42S02", 208}}));
    EXPECT_THROW(Show_Document(db, browser, "docs", "PC"), Not_Open_Error);
    EXPECT_TRUE(browser.Opened.empty());
}

TEST(Document_Config, SitesSetServerAndBrowserThroughTheEnvironment) {
    unsetenv("PCSTATION_DOC_SERVER");
    unsetenv("PCSTATION_BROWSER");
    Document_Config d = Document_Config_From_Environment();
    EXPECT_EQ(d.Server, "localhost");
    EXPECT_EQ(d.Browser_Program, "xdg-open");
    setenv("PCSTATION_DOC_SERVER", "docs.lab.local:8080", 1);
    setenv("PCSTATION_BROWSER", " ", 1);
    d = Document_Config_From_Environment();
    EXPECT_EQ(d.Server, "docs.lab.local:8080");
    EXPECT_EQ(d.Browser_Program, "xdg-open");
    unsetenv("PCSTATION_DOC_SERVER");
    unsetenv("PCSTATION_BROWSER");
}

TEST(Station_Connect, TheBuiltInStringUnlessTheSiteNamesItsOwn) {
    unsetenv(Connect_Variable);
    EXPECT_EQ(Station_Connect_String(),
              "DSN=DARNWELL_ZVK_NT_005_ODBC;DATABASE=lab;UID=darnwell;PWD=xk4417pd;QuotedID=No");
    setenv(Connect_Variable, "DSN=SITE_LAB;UID=station", 1);
    EXPECT_EQ(Station_Connect_String(), "DSN=SITE_LAB;UID=station");
    setenv(Connect_Variable, "  ", 1);
    EXPECT_EQ(Station_Connect_String(), Station_Connect_Default);
    unsetenv(Connect_Variable);
}

namespace {

struct Browser_Process : ::testing::Test {
    std::filesystem::path dir = test::Odbc_Env().Folder / "browser";
    std::filesystem::path script = dir / "fake-browser";
    std::filesystem::path fifo = dir / "go";
    std::filesystem::path out = dir / "opened.txt";

    void SetUp() override {
        std::filesystem::remove_all(dir);
        std::filesystem::create_directories(dir);
        // Waits for the test's word on a fifo, then writes its one argument and the open descriptors.
        std::ofstream s(script);
        s << "#!/bin/sh\nread word < '" << fifo.string() << "'\nprintf '%s' \"$1\" > '" << out.string()
          << ".tmp'\nls /proc/$$/fd > '" << out.string() << ".fds'\nmv '" << out.string() << ".tmp' '"
          << out.string() << "'\n";
        s.close();
        std::filesystem::permissions(script, std::filesystem::perms::owner_all);
        ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    }

    // Tells the waiting browser to go on; false when none is there to hear it within 10 s.
    bool Release() {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (std::chrono::steady_clock::now() < deadline) {
            int fd = open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
            if (fd >= 0) {
                bool ok = write(fd, "go\n", 3) == 3;
                close(fd);
                return ok;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return false;
    }

    std::string Wait_For_Output() {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (std::chrono::steady_clock::now() < deadline) {
            if (std::filesystem::exists(out)) return test::Read_Text(out);
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return "(nothing written)";
    }
};

} // namespace

TEST_F(Browser_Process, StartsWithTheAddressAsItsOneArgumentAndDoesNotWait) {
    // A descriptor of ours that the browser must not inherit.
    int opened = open(script.c_str(), O_RDONLY);
    ASSERT_GE(opened, 0);
    const int kept = 57;
    ASSERT_EQ(dup2(opened, kept), kept);
    close(opened);
    browser::Process_Browser b(script.string());
    const std::string address =
        "http://docs/DocsOnLine//ISO9001-2000/LWI/a b;'c'\"d\"$(touch " + (dir / "x").string() + ").pdf";
    // Returns while the browser is still waiting for its word.
    b.Open_Address(address);
    EXPECT_FALSE(std::filesystem::exists(out));
    // Not our child: nothing to reap, no zombie left.
    EXPECT_EQ(waitpid(-1, nullptr, WNOHANG), -1);
    EXPECT_EQ(errno, ECHILD);
    ASSERT_TRUE(Release()) << "the browser never started";
    EXPECT_EQ(Wait_For_Output(), address);
    EXPECT_FALSE(std::filesystem::exists(dir / "x")) << "the address went through a shell";
    std::string fds = test::Read_Text(out.string() + ".fds");
    EXPECT_FALSE(Contains(fds, std::to_string(kept) + "\n")) << fds;
    close(kept);
}

TEST_F(Browser_Process, AProgramThatCannotStartIsAClearError) {
    browser::Process_Browser missing((dir / "no-such-browser").string());
    EXPECT_THROW(missing.Open_Address("http://x"), Browser_Error);
    browser::Process_Browser not_in_path("no-such-browser-anywhere");
    EXPECT_THROW(not_in_path.Open_Address("http://x"), Browser_Error);
    std::filesystem::permissions(script,
                                 std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
    browser::Process_Browser not_executable(script.string());
    EXPECT_THROW(not_executable.Open_Address("http://x"), Browser_Error);
    // A name found in PATH starts.
    browser::Process_Browser in_path("true");
    EXPECT_NO_THROW(in_path.Open_Address("http://x"));
}
