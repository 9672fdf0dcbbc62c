#include <nlohmann/json.hpp>

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

namespace {

struct Tool_Run {
    std::vector<nlohmann::json> Lines;
    int Status = -1;
};

Tool_Run Pcreport(const std::string& args, const std::string& input = "") {
    auto in = std::filesystem::temp_directory_path() / ("pcreport_in_" + std::to_string(::getpid()));
    std::ofstream(in, std::ios::binary) << input;
    std::string cmd = std::string(PCREPORT_BIN) + " " + args + " < " + in.string();
    Tool_Run r;
    FILE* p = ::popen(cmd.c_str(), "r");
    std::string out;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0)
        out.append(buf, n);
    int st = ::pclose(p);
    r.Status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    std::istringstream ss(out);
    std::string line;
    while (std::getline(ss, line))
        r.Lines.push_back(nlohmann::json::parse(line));
    std::filesystem::remove(in);
    return r;
}

const std::string Sample = "!LPR1,00:00:28.76,BP,RP,GP,LP,8,C,2.00,5.00,15.00,25.00,50.00,100.00,100.00,100."
                           "00,4446,908,51,13,0,0,0,0,"
                           "20.00,03/26/04,12:05:03,LAB.TECH,22222222,01100663,,ISO Code: 15/13/8,";

} // namespace

TEST(Pcreport, ExampleFileCodesEveryLine) {
    Tool_Run r = Pcreport("--standard " EXAMPLES_DIR "/reports.txt");
    EXPECT_EQ(r.Status, 0);
    ASSERT_EQ(r.Lines.size(), 3u);
    EXPECT_EQ(r.Lines[0]["code_text"], "13/9");
    EXPECT_EQ(r.Lines[0]["counter_code"], true);
    EXPECT_EQ(r.Lines[1]["code_text"], "15/13/8");
    EXPECT_EQ(r.Lines[1]["counter_code"], false);
    EXPECT_EQ(r.Lines[1]["per_ml"][0], 222);
    EXPECT_EQ(r.Lines[1]["volume"], 20);
    // The standard table codes 2.55 per mL as 9 where the station's table, on 3, gives 8.
    EXPECT_EQ(r.Lines[1]["standard"]["code_text"], "15/13/9");
}

TEST(Pcreport, BadLinesAreReportedWithTheirNumberAndDoNotStopTheRun) {
    std::string input = Sample + "\n\nnot a report\n" + Sample + "\r\n";
    Tool_Run r = Pcreport("-", input);
    EXPECT_EQ(r.Status, 1);
    ASSERT_EQ(r.Lines.size(), 3u);
    EXPECT_FALSE(r.Lines[0].contains("error"));
    EXPECT_EQ(r.Lines[1]["line"], 3);
    EXPECT_EQ(r.Lines[1]["invalid"], true);
    EXPECT_NE(r.Lines[1]["error"].get<std::string>().find("An invalid count was generated."),
              std::string::npos);
    EXPECT_EQ(r.Lines[2]["code_text"], "15/13/8");
}

TEST(Pcreport, DilutionScalesSamplesOnly) {
    EXPECT_EQ(Pcreport("--dilution --run-id 01100663", Sample + "\n").Lines.at(0)["values"][0], 44460);
    EXPECT_EQ(Pcreport("--dilution --run-id CHECK", Sample + "\n").Lines.at(0)["values"][0], 4446);
}

TEST(Pcreport, CountLogRowsAndBinaryBytesAreRead) {
    // A row as the count log keeps it: the line end moved in front of the final comma.
    std::string row = "\r" + Sample.substr(0, Sample.size() - 1) + "\r,\r\n";
    std::string binary("\x00\xff\x01,ISO Code: \x80\n", 16);
    Tool_Run r = Pcreport("", "\r\n" + row + binary);
    ASSERT_EQ(r.Lines.size(), 2u);
    EXPECT_EQ(r.Lines[0]["code_text"], "15/13/8");
    EXPECT_EQ(r.Lines[1]["invalid"], true);
    EXPECT_EQ(r.Status, 1);
}

TEST(Pcreport, MissingFileIsAnError) {
    EXPECT_EQ(Pcreport("/nonexistent/file.txt").Status, 2);
}

// A line longer than any report is refused as it streams past; the lines after it are coded as usual.
TEST(Pcreport, OverlongLineIsInvalidWithoutStoppingTheRun) {
    std::string input = std::string(10 * 1024 * 1024, ',') + "\n" + Sample + "\n";
    Tool_Run r = Pcreport("", input);
    EXPECT_EQ(r.Status, 1);
    ASSERT_EQ(r.Lines.size(), 2u);
    EXPECT_EQ(r.Lines[0]["invalid"], true);
    EXPECT_NE(r.Lines[0]["error"].get<std::string>().find("longer than"), std::string::npos);
    EXPECT_EQ(r.Lines[1]["line"], 2);
    EXPECT_EQ(r.Lines[1]["code_text"], "15/13/8");
}

// Noise that arrived ahead of a report line: the counts are the report's own, as without the noise.
TEST(Pcreport, NoiseAheadOfTheReportLeavesItsCounts) {
    std::ifstream in(EXAMPLES_DIR "/reports.txt");
    std::string third;
    for (int i = 0; i < 3; ++i)
        std::getline(in, third);
    Tool_Run clean = Pcreport("", third + "\n");
    Tool_Run noisy = Pcreport("", "!S\r~,~,~,~\r" + third + "\r\n");
    ASSERT_EQ(noisy.Lines.size(), 1u);
    EXPECT_EQ(noisy.Status, 0);
    EXPECT_EQ(noisy.Lines[0]["volume"], 20);
    EXPECT_EQ(noisy.Lines[0]["values"], clean.Lines.at(0)["values"]);
    EXPECT_EQ(noisy.Lines[0]["code_text"], clean.Lines.at(0)["code_text"]);
}
