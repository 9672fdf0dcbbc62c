#include "counter/counter_link.h"
#include "settings/settings.h"
#include "support/fake_ports.h"
#include "support/scripted_serial_port.h"

#include <gtest/gtest.h>

using namespace pcs;
using pcs::test::Recording_Alerts;
using pcs::test::Scripted_Serial_Port;

namespace {

struct Recording_Events : Counter_Link_Events {
    int Reports = 0;
    std::string Bffr_At_Report;
    std::vector<bool> Close_Visible;
    Counter_Link* Link = nullptr;
    void On_Report_Received() override {
        ++Reports;
        Bffr_At_Report = Link->Bffr;
    }
    void On_Close_Button_Visible(bool v) override { Close_Visible.push_back(v); }
    std::vector<std::string> Strays;
    void On_Stray_Report(const std::string& line) override { Strays.push_back(line); }
};

// The development station's debug box.
struct Debug_Box : Counter_Drive {
    bool Ticked = false;
    bool Counter_Driven() const override { return !Ticked; }
};

struct Link_Fixture : ::testing::Test {
    Scripted_Serial_Port port;
    Recording_Alerts alerts;
    Debug_Box debug;
    Counter_Link link{port, alerts, &debug};
    Recording_Events events;
    void SetUp() override {
        events.Link = &link;
        link.Events = &events;
    }
};

const std::string Report =
    "!LPR1,00:00:28.76,BP,RP,GP,LP,8,C,2.00,5.00,15.00,25.00,50.00,100.00,100.00,100.00,"
    "4446,908,51,13,0,0,0,0,20.00,03/26/04,12:05:03,LAB.TECH,22222222,CHECK,,ISO Code: 13/9,";

} // namespace

TEST(CounterCommandTable, WordsAreCaseInsensitiveAndUnknownWordsWriteALoneCr) {
    EXPECT_EQ(Lookup_Counter_Command("initialize").Text, "REMOTE+");
    EXPECT_EQ(Lookup_Counter_Command("Release").Text, "REMOTE-");
    EXPECT_EQ(Lookup_Counter_Command("start").Text, "S");
    EXPECT_EQ(Lookup_Counter_Command("STOP").Text, "H");
    EXPECT_EQ(Lookup_Counter_Command("STOP").Ack, "!H\r");
    EXPECT_EQ(Lookup_Counter_Command("reset").Text, "");
    EXPECT_EQ(Lookup_Counter_Command("").Text, "");
}

TEST(LineSettings, ParsesTheLinkSettingsAndRejectsNonsense) {
    Line_Settings ls = Parse_Line_Settings("9600,n,8,1");
    EXPECT_EQ(ls.Baud, 9600);
    EXPECT_EQ(ls.Parity, 'n');
    EXPECT_EQ(ls.Data_Bits, 8);
    EXPECT_EQ(ls.Stop_Bits, 1);
    EXPECT_EQ(Parse_Line_Settings("19200,E,7,2").Parity, 'e');
    EXPECT_EQ(Parse_Line_Settings("300,o,5,1.5").Stop_Bits, 1.5);
    for (const char* bad : {"", "9600", "9600,n,8", "fast,n,8,1", "9600,x,8,1", "9600,n,9,1", "9600,n,8,3",
                            "-9600,n,8,1", "9600.5,n,8,1", "9600,n,8,1,1"})
        EXPECT_THROW(Parse_Line_Settings(bad), Serial_Error) << bad;
}

TEST_F(Link_Fixture, StartOpensWithTheLineSettingsInOrderAndSendsRemoteMode) {
    link.Start(3);
    std::vector<std::string> expected{"close",        "settings 9600,n,8,1", "port 3", "inputlen 1",
                                      "rthreshold 1", "sthreshold 1",        "text",   "open",
                                      "write H\r",    "write REMOTE+\r"};
    EXPECT_EQ(port.Calls, expected);
    EXPECT_EQ(link.sCounterState, "IDLE");
    EXPECT_EQ(link.Run_Button_Tag, "STOP");
    EXPECT_EQ(link.Run_Button_Image, Run_Button_Ready);
    EXPECT_TRUE(alerts.Alerts.empty());
}

TEST_F(Link_Fixture, EveryCommandEmptiesTheBufferAndCasesDoNotMatter) {
    link.Start(1);
    port.Receive("!REMOTE+\rjunk");
    EXPECT_EQ(link.Bffr, "!REMOTE+\rjunk");
    link.Counter_Command("start");
    EXPECT_EQ(link.Bffr, "");
    link.Counter_Command("Stop");
    link.Counter_Command("whatever");
    EXPECT_EQ(port.Written, "H\rREMOTE+\rS\rH\r\r");
}

TEST_F(Link_Fixture, OnlyCrOrLfCompletesALine) {
    link.Start(1);
    link.Run_Button_Click();
    port.Receive("!S\r");
    port.Receive(Report);
    port.Receive(std::string(5000, 'x'));
    EXPECT_EQ(events.Reports, 0);
    EXPECT_EQ(link.sCounterState, "COUNTING");
    port.Receive("\n");
    EXPECT_EQ(events.Reports, 1);
    EXPECT_EQ(link.sCounterState, "IDLE");
}

TEST_F(Link_Fixture, EndlessTextKeepsTheBufferBoundedAndALaterReportStillArrives) {
    link.Start(1);
    link.Run_Button_Click();
    port.Receive("!S\r" + std::string(200 * 1024, 'x'));
    EXPECT_LE(link.Bffr.size(), Bffr_Limit);
    port.Receive(Report + "\r");
    EXPECT_EQ(events.Reports, 1);
    EXPECT_TRUE(link.Bffr.ends_with("x" + Report + "\r"));
}

TEST_F(Link_Fixture, ReportAfterAcknowledgementIsHandedOverUpToItsLineEnd) {
    link.Start(1);
    link.Run_Button_Click();
    EXPECT_EQ(link.sCounterState, "COUNTING");
    port.Receive("!S\r");
    EXPECT_EQ(events.Reports, 0);
    EXPECT_EQ(link.sCounterState, "COUNTING"); // until its report or its stop
    port.Receive(Report + "\r\n!REMOTE+\r");
    EXPECT_EQ(events.Reports, 1);
    EXPECT_EQ(events.Bffr_At_Report, "!S\r" + Report + "\r");
    // What follows the report's line end does not reach the text handed over.
    EXPECT_EQ(link.Bffr, "!S\r" + Report + "\r");
    EXPECT_TRUE(link.Report_Handed_Over());
}

TEST_F(Link_Fixture, ReportBeforeTheLastCommandIsNotHandedOver) {
    link.Start(1);
    port.Receive(Report);
    link.Counter_Command("START");
    port.Receive("\r");
    EXPECT_EQ(events.Reports, 0);
    EXPECT_EQ(link.Bffr, "\r");
}

TEST_F(Link_Fixture, RemoteAcknowledgementRearmsTheRunButton) {
    link.Start(1);
    link.Set_Run_Button(false);
    EXPECT_EQ(link.Run_Button_Tag, "");
    link.Run_Button_Click(); // an empty tag does nothing
    EXPECT_EQ(link.sCounterState, "IDLE");
    EXPECT_EQ(port.Written, "H\rREMOTE+\r");
    port.Receive("!REMOTE+\r");
    EXPECT_EQ(link.Run_Button_Tag, "STOP");
    EXPECT_EQ(link.Bffr, "!REMOTE+\r");
    EXPECT_EQ(events.Reports, 0);
}

TEST_F(Link_Fixture, RunButtonStartsAndStopsTheCount) {
    link.Start(1);
    link.Run_Button_Click();
    EXPECT_EQ(link.Run_Button_Tag, "RUN SAMPLE");
    EXPECT_EQ(link.Run_Button_Image, Run_Button_Counting);
    EXPECT_EQ(link.sCounterState, "COUNTING");
    link.Run_Button_Click();
    EXPECT_EQ(link.Run_Button_Tag, "STOP");
    EXPECT_EQ(link.Run_Button_Image, Run_Button_Ready);
    EXPECT_EQ(link.sCounterState, "IDLE");
    EXPECT_EQ(port.Written, "H\rREMOTE+\rS\rH\r");
    EXPECT_EQ(events.Close_Visible, (std::vector<bool>{false, true}));
}

TEST_F(Link_Fixture, CounterStartDependsOnTheSampleType) {
    link.Start(1);
    port.Written.clear();
    link.COUNTER_START("sample", "RUN SAMPLE");
    link.COUNTER_START("SAMPLE", "anything");
    link.COUNTER_START("Flush", "RUN SAMPLE");
    link.COUNTER_START("CHECK", "RUN SAMPLE");
    EXPECT_EQ(port.Written, "S\rH\rH\r");
}

TEST_F(Link_Fixture, UnavailablePortGetsTenReopenAttemptsAndOneMessage) {
    port.Always_Fail_Open = true;
    link.Start(4); // the load's own open plus ten reopens for INITIALIZE
    EXPECT_EQ(port.Open_Attempts, 11);
    EXPECT_EQ(link.iRetries, 10);
    EXPECT_EQ(alerts.Alerts, (std::vector<std::string>{"Cannot connect to device"}));
    // The next command counts from 0 again.
    link.Counter_Command("START");
    EXPECT_EQ(port.Open_Attempts, 21);
    EXPECT_EQ(alerts.Alerts.size(), 2u);
    EXPECT_EQ(port.Written, "");
}

TEST_F(Link_Fixture, PortThatComesBackDuringRetriesTakesTheCommand) {
    port.Opens_Failing = 4;
    link.Start(2);
    EXPECT_EQ(port.Open_Attempts, 5);
    EXPECT_EQ(link.iRetries, 4);
    EXPECT_EQ(port.Written, "REMOTE+\r");
    EXPECT_TRUE(alerts.Alerts.empty());
}

TEST_F(Link_Fixture, FailedWriteIsRetriedOnAReopenedPort) {
    link.Start(2);
    port.Writes_Failing = 1;
    link.Counter_Command("START");
    EXPECT_EQ(port.Written, "H\rREMOTE+\rS\r");
    EXPECT_EQ(link.iRetries, 1);
    EXPECT_TRUE(alerts.Alerts.empty());
}

TEST_F(Link_Fixture, DebugCheckBoxDropsEveryCommandSilently) {
    debug.Ticked = true;
    port.Always_Fail_Open = true;
    link.Start(1);
    link.Run_Button_Click();
    link.Run_Button_Click();
    EXPECT_EQ(port.Open_Attempts, 1); // the load's open only, no reopen attempts
    EXPECT_TRUE(alerts.Alerts.empty());
    EXPECT_EQ(link.sCounterState, "IDLE"); // stopping still returns to idle
    port.Always_Fail_Open = false;
    debug.Ticked = false;
    link.Counter_Command("START");
    EXPECT_EQ(port.Written, "S\r");
}

TEST_F(Link_Fixture, NonReceiveEventsNeitherReadNorLoseInput) {
    link.Start(1);
    port.Input.push_back('!');
    port.Event(Comm_Event_Frame);
    port.Event(Comm_Ev_CD);
    EXPECT_EQ(link.Bffr, "");
    EXPECT_EQ(port.Input.size(), 1u);
    port.Event(Comm_Ev_Receive);
    EXPECT_EQ(link.Bffr, "!");
}

TEST_F(Link_Fixture, OnlyTheReportOfTheCountThisLinkStartedIsHandedOver) {
    link.Start(1);
    port.Receive(Report + "\r"); // a count the counter ran before this panel
    link.Run_Button_Click();
    port.Receive(Report + "\r"); // before the counter acknowledged this start: still the earlier one
    EXPECT_EQ(events.Reports, 0);
    EXPECT_EQ(events.Strays, (std::vector<std::string>{Report + "\r", Report + "\r"}));
    EXPECT_EQ(link.Bffr, "");
    port.Receive("!S\r!REMOTE+\r"); // a late remote-mode answer does not re-arm a running count
    EXPECT_EQ(link.Run_Button_Tag, "RUN SAMPLE");
    EXPECT_TRUE(link.Counting());
    port.Receive(Report + "\r");
    EXPECT_EQ(events.Reports, 1);
    EXPECT_EQ(events.Bffr_At_Report, "!S\r!REMOTE+\r" + Report + "\r");
    EXPECT_FALSE(link.Counting());

    // A count stopped: its report, should it come all the same, is nobody's.
    link.Counter_Command("START");
    port.Receive("!S\r");
    link.Counter_Command("STOP");
    port.Receive("!H\r" + Report + "\r");
    EXPECT_EQ(events.Reports, 1);
    EXPECT_EQ(events.Strays.size(), 3u);
}

TEST_F(Link_Fixture, UnloadStopsTheCountItStartedBeforeClosingThePort) {
    link.Start(1);
    link.Stop();
    EXPECT_FALSE(port.Is_Open());
    EXPECT_EQ(port.Written, "H\rREMOTE+\r"); // nothing of its own was running
    port.Written.clear();
    link.Start(1);
    link.Run_Button_Click();
    port.Receive("!S\r");
    link.Stop();
    EXPECT_EQ(port.Written, "H\rREMOTE+\rS\rH\r");
    EXPECT_FALSE(port.Is_Open());
    EXPECT_EQ(link.sCounterState, "IDLE");
}

TEST(ReleaseRemoteMode, OpensWithTheLinkSettingsAndWritesRemoteMinus) {
    Scripted_Serial_Port port;
    Settings_Collection settings;
    settings.Add("comm_port", Settings{"COMM_PORT", "2", "", "NORMAL", {}});
    Release_Remote_Mode(port, settings);
    std::vector<std::string> expected{
        "close", "settings 9600,n,8,1", "port 2", "inputlen 1", "rthreshold 1", "sthreshold 1", "text",
        "open",  "write REMOTE-\r",     "close"};
    EXPECT_EQ(port.Calls, expected);
}

TEST(ReleaseRemoteMode, ErrorsAndMissingSettingsAreIgnored) {
    Scripted_Serial_Port port;
    port.Always_Fail_Open = true;
    Settings_Collection empty;
    EXPECT_NO_THROW(Release_Remote_Mode(port, empty));
    EXPECT_EQ(port.Written, "");
    Settings_Collection bad;
    bad.Add("COMM_PORT", Settings{"COMM_PORT", "COM1", "", "NORMAL", {}});
    port.Always_Fail_Open = false;
    Release_Remote_Mode(port, bad);
    EXPECT_EQ(port.Written, "REMOTE-\r");
}

TEST(CounterPortSettings, PortNumberAndDevicePath) {
    Settings_Collection s;
    EXPECT_FALSE(Counter_Port_Number(s).has_value());
    EXPECT_FALSE(Counter_Device_Path(s).has_value());
    s.Add("COMM_PORT", Settings{"COMM_PORT", "3", "", "NORMAL", {}});
    s.Add("COMM_DEVICE", Settings{"COMM_DEVICE", " /dev/pts/7 ", "", "NORMAL", {}});
    EXPECT_EQ(Counter_Port_Number(s), 3);
    EXPECT_EQ(Counter_Device_Path(s), "/dev/pts/7");
    s.Item("COMM_PORT").Value = "99999";
    EXPECT_FALSE(Counter_Port_Number(s).has_value());
    s.Item("COMM_DEVICE").Value = "  ";
    EXPECT_FALSE(Counter_Device_Path(s).has_value());
}
