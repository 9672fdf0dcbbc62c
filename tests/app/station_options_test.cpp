// pcstation's command line and environment: what a site names is checked before any window opens.
#include "station_options.h"

#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <fstream>
#include <map>

using namespace pcs::app;
namespace fs = std::filesystem;

namespace {

struct Options_Test : ::testing::Test {
    pcs::test::Temp_Dir dir;
    std::map<std::string, std::string> env;
    Parse_Result Parse(QStringList args) {
        args.prepend("pcstation");
        return Parse_Station_Options(
            args,
            [this](const char* name) -> std::optional<std::string> {
                auto it = env.find(name);
                if (it == env.end()) return std::nullopt;
                return it->second;
            },
            dir / "bin");
    }
};

} // namespace

TEST_F(Options_Test, FoldersComeFromOptionsThenEnvironment) {
    fs::create_directories(dir / "site");
    fs::create_directories(dir / "bin" / "pictures");
    env["PCSTATION_FOLDER"] = (dir / "site").string();
    env["PCSTATION_CONNECT"] = "DSN=lab;PWD=secret";
    Parse_Result r = Parse({});
    ASSERT_TRUE(r.Options) << r.Message;
    EXPECT_EQ(r.Options->Program_Folder, dir / "site");
    EXPECT_EQ(r.Options->Picture_Folder, dir / "bin" / "pictures");
    EXPECT_EQ(r.Options->Connect_String, "DSN=lab;PWD=secret");

    std::ofstream(dir / "lab.db") << "";
    r = Parse({"--folder", QString::fromStdString(dir.Path().string()), "--lab-db",
               QString::fromStdString((dir / "lab.db").string()), "--sql-trace",
               QString::fromStdString((dir / "trace.jsonl").string())});
    ASSERT_TRUE(r.Options) << r.Message;
    EXPECT_EQ(r.Options->Program_Folder, dir.Path());
    EXPECT_EQ(r.Options->Connect_String, "EMBEDDED=" + (dir / "lab.db").string());
    EXPECT_EQ(r.Options->Sql_Trace, dir / "trace.jsonl");
}

TEST_F(Options_Test, InstalledProgramFindsItsPicturesInTheShareFolder) {
    EXPECT_EQ(Find_Picture_Folder({}, dir / "bin"), dir / "share" / "pcstation" / "pictures");
    EXPECT_EQ(Find_Picture_Folder("/x/pics", dir / "bin"), fs::path("/x/pics"));
}

TEST_F(Options_Test, MistakesAreClearErrorsWithTheirExitCodes) {
    Parse_Result r = Parse({"--colour", "blue"});
    EXPECT_FALSE(r.Options);
    EXPECT_EQ(r.Exit, Exit_Usage);
    EXPECT_NE(r.Message.find("colour"), std::string::npos);
    EXPECT_EQ(Parse({"stray"}).Exit, Exit_Usage);
    EXPECT_EQ(Parse({"--folder"}).Exit, Exit_Usage);

    r = Parse({"--folder", QString::fromStdString((dir / "missing").string())});
    EXPECT_EQ(r.Exit, Exit_Bad_Folder);
    EXPECT_NE(r.Message.find("does not exist"), std::string::npos);
    std::ofstream(dir / "plain") << "x";
    EXPECT_EQ(Parse({"--folder", QString::fromStdString((dir / "plain").string())}).Exit, Exit_Bad_Folder);
    EXPECT_EQ(Parse({"--pictures", QString::fromStdString((dir / "nopics").string())}).Exit, Exit_Bad_Folder);
    r = Parse({"--lab-db", QString::fromStdString((dir / "none.db").string())});
    EXPECT_EQ(r.Exit, Exit_Bad_Folder);
    EXPECT_NE(r.Message.find("labdb seed --create"), std::string::npos);
    EXPECT_EQ(Parse({"--sql-trace", "/no/such/folder/trace.jsonl"}).Exit, Exit_Bad_Folder);
    // --screenshots plays a touch script of its own.
    std::ofstream(dir / "steps.touch") << "touch cmd_Exit\n";
    const QString here = QString::fromStdString(dir.Path().string());
    EXPECT_EQ(Parse({"--screenshots", here, "--touch-script",
                     QString::fromStdString((dir / "steps.touch").string())})
                  .Exit,
              Exit_Usage);
    r = Parse({"--kiosk", "--folder", here});
    ASSERT_TRUE(r.Options) << r.Message;
    EXPECT_TRUE(r.Options->Kiosk);
}

TEST_F(Options_Test, HelpListsOptionsVariablesAndSettingsWithoutSecrets) {
    Parse_Result r = Parse({"--help"});
    EXPECT_FALSE(r.Options);
    EXPECT_EQ(r.Exit, Exit_Ok);
    for (const char* word : {"--folder", "--pictures", "--lab-db", "--sql-trace", "PCSTATION_CONNECT",
                             "PCSTATION_SQL_TRACE", "PCSTATION_DOC_SERVER", "PCSTATION_BROWSER", "COMM_PORT",
                             "COMM_DEVICE", "SAMPLE_IMAGE_SHARE", "Exit codes", "--kiosk", "KIOSK"})
        EXPECT_NE(r.Message.find(word), std::string::npos) << word;
    EXPECT_EQ(r.Message.find("PWD="), std::string::npos);
    EXPECT_EQ(r.Message.rfind("Usage: pcstation", 0), 0u);
}
