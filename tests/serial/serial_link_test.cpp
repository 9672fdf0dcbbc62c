#include "qt_serial_port.h"
#include "settings/settings.h"
#include "station/action_panel.h"
#include "support/counter_sim_process.h"
#include "support/fake_ports.h"

#include <QCoreApplication>
#include <QTest>

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <memory>

using namespace pcs;
using pcs::test::Recording_Alerts;

namespace {

const std::string Example_Report = "!LPR1,00:00:28.76,BP,RP,GP,LP,8,C,2.00,5.00,15.00,25.00,50.00,100.00,100."
                                   "00,100.00,4446,908,51,13,0,0,0,0,"
                                   "20.00,03/26/04,12:05:03,LAB.TECH,22222222,CHECK,,ISO Code: 13/9,";

using Sim = pcs::test::Counter_Sim;

struct Null_Remover : Sample_Remover {
    bool Remove_Sample(const std::string&, const std::string&) override { return false; }
};

struct Recording_View : Action_Panel_View {
    int Hides = 0;
    void Hide_Panel() override { ++Hides; }
};

// The panel as the form drives it, on the Qt serial adapter.
struct Panel_Rig {
    Globals g;
    System_Clock clock;
    Recording_Alerts alerts;
    Null_Remover remover;
    Recording_View view;
    Settings_Collection settings;
    std::unique_ptr<Qt_Serial_Port> port;
    std::unique_ptr<Action_Panel> panel;

    explicit Panel_Rig(const std::string& device, const std::string& lab = "CHECK") {
        settings.Add("COMM_PORT", Settings{"COMM_PORT", "1", "", "NORMAL", {}});
        settings.Add("COMM_DEVICE", Settings{"COMM_DEVICE", device, "", "NORMAL", {}});
        port = std::make_unique<Qt_Serial_Port>(Counter_Device_Path(settings));
        panel = std::make_unique<Action_Panel>(g, clock, alerts, *port, remover, view);
        panel->sLabNumber = lab;
        panel->Load(settings);
    }
    ~Panel_Rig() { panel->Unload(); }
    bool Wait(const std::function<bool()>& cond, int ms = 15000) { return QTest::qWaitFor(cond, ms); }
};

} // namespace

TEST(SerialAdapter, PortNumbersMapToThePlatformsDevices) {
#ifdef Q_OS_WIN
    EXPECT_EQ(Comm_Port_Device(3), "COM3");
#else
    EXPECT_EQ(Comm_Port_Device(1), "/dev/ttyS0");
    EXPECT_EQ(Comm_Port_Device(4), "/dev/ttyS3");
#endif
    EXPECT_EQ(Comm_Port_Device(0), "");
    EXPECT_EQ(Qt_Serial_Port("/dev/pts/9").Device_Name(), "/dev/pts/9");
}

TEST(SerialLink, RemoteModeArmsTheRunButton) {
    Sim sim({"--count-time", "0.1"});
    ASSERT_FALSE(sim.Path.empty());
    Panel_Rig rig(sim.Path);
    ASSERT_TRUE(rig.port->Is_Open());
    rig.panel->Link.Set_Run_Button(false); // the acknowledgement has not arrived yet
    EXPECT_TRUE(rig.Wait([&] { return rig.panel->Link.Run_Button_Tag == "STOP"; }));
    EXPECT_EQ(rig.panel->Bffr(), "!H\r!REMOTE+\r");
    EXPECT_EQ(rig.panel->Action, "");
    EXPECT_TRUE(rig.alerts.Alerts.empty());
}

TEST(SerialLink, StartedCountEndsThePanelWithTheReport) {
    Sim sim({"--count-time", "0.2", "--reports", EXAMPLES_DIR "/reports.txt"});
    ASSERT_FALSE(sim.Path.empty());
    Panel_Rig rig(sim.Path, "01100663");
    ASSERT_TRUE(rig.Wait([&] { return rig.panel->Bffr() == "!H\r!REMOTE+\r"; }));
    rig.panel->Run_Button_Click();
    EXPECT_FALSE(rig.panel->Close_Visible);
    ASSERT_TRUE(rig.Wait([&] { return rig.view.Hides > 0; }));
    EXPECT_EQ(rig.panel->Action, "COUNT");
    EXPECT_EQ(rig.panel->Bffr(), "!S\r" + Example_Report + "\r");
}

TEST(SerialLink, CommandsAreCaseInsensitiveAtBothEnds) {
    Sim sim({"--count-time", "5"});
    ASSERT_FALSE(sim.Path.empty());
    Panel_Rig rig(sim.Path);
    ASSERT_TRUE(rig.Wait([&] { return rig.panel->Bffr() == "!H\r!REMOTE+\r"; }));
    rig.panel->Link.Counter_Command("start");
    EXPECT_TRUE(rig.Wait([&] { return rig.panel->Bffr() == "!S\r"; }));
    rig.panel->Link.Counter_Command("Stop");
    EXPECT_TRUE(rig.Wait([&] { return rig.panel->Bffr() == "!H\r"; }));
    // The counter itself takes lower-case words.
    rig.panel->Link.Bffr.clear();
    rig.port->Write("remote-\r");
    EXPECT_TRUE(rig.Wait([&] { return rig.panel->Bffr() == "!REMOTE-\r"; }));
    EXPECT_EQ(rig.view.Hides, 0);
}

TEST(SerialLink, ReportOfAnAbandonedRunDoesNotReachTheNextPanel) {
    Sim sim({"--count-time", "0.2", "--reports", EXAMPLES_DIR "/reports.txt"});
    ASSERT_FALSE(sim.Path.empty());
    {
        Panel_Rig rig(sim.Path, "01100663");
        ASSERT_TRUE(rig.Wait([&] { return rig.panel->Bffr() == "!H\r!REMOTE+\r"; }));
        rig.panel->Run_Button_Click();
        rig.panel->Remove_From_Bath_Click(); // the port closes while the counter still counts
    }
    QTest::qWait(600); // the report goes out with nobody listening
    Panel_Rig next(sim.Path, "01100664");
    ASSERT_TRUE(next.Wait([&] { return next.panel->Bffr() == "!H\r!REMOTE+\r" || next.view.Hides > 0; }));
    QTest::qWait(100);
    EXPECT_EQ(next.view.Hides, 0);
    EXPECT_EQ(next.panel->Action, "");
    EXPECT_EQ(next.panel->Bffr(), "!H\r!REMOTE+\r");
}

TEST(SerialLink, UnavailableDeviceGetsTenReopensThenTheMessage) {
    Panel_Rig rig("/dev/pts/no-such-counter");
    EXPECT_FALSE(rig.port->Is_Open());
    EXPECT_EQ(rig.panel->Link.iRetries, 10);
    EXPECT_EQ(rig.alerts.Alerts, (std::vector<std::string>{"Cannot connect to device"}));
    // The panel stays usable: a start and a stop, each with its own message, then close.
    rig.panel->Run_Button_Click();
    rig.panel->Run_Button_Click();
    EXPECT_EQ(rig.alerts.Alerts.size(), 3u);
    rig.panel->Close_Click();
    EXPECT_EQ(rig.view.Hides, 1);
}

TEST(SerialLink, CounterGoneBetweenCommandsGivesTheMessage) {
    auto sim = std::make_unique<Sim>(QStringList{"--count-time", "5"});
    ASSERT_FALSE(sim->Path.empty());
    Panel_Rig rig(sim->Path);
    ASSERT_TRUE(rig.Wait([&] { return rig.panel->Bffr() == "!H\r!REMOTE+\r"; }));
    sim->Stop();
    ASSERT_TRUE(rig.Wait([&] { return !rig.port->Is_Open(); })); // the hang-up reaches the port
    rig.panel->Run_Button_Click();
    rig.panel->Run_Button_Click();
    ASSERT_EQ(rig.alerts.Alerts.size(), 2u);
    EXPECT_EQ(rig.alerts.Alerts.front(), "Cannot connect to device");
    EXPECT_EQ(rig.panel->Link.sCounterState, "IDLE");
}

TEST(SerialLinkFaults, ReportWithoutLineEndNeverEndsThePanel) {
    Sim sim({"--count-time", "0.1", "--reports", EXAMPLES_DIR "/reports.txt", "--fault", "no-line-end"});
    ASSERT_FALSE(sim.Path.empty());
    Panel_Rig rig(sim.Path);
    ASSERT_TRUE(rig.Wait([&] { return rig.panel->Bffr() == "!H\r!REMOTE+\r"; }));
    rig.panel->Run_Button_Click();
    ASSERT_TRUE(rig.Wait([&] { return rig.panel->Bffr() == "!S\r" + Example_Report; }));
    QTest::qWait(300);
    EXPECT_EQ(rig.view.Hides, 0);
    // The technician stops the count and leaves.
    rig.panel->Run_Button_Click();
    rig.panel->Close_Click();
    EXPECT_EQ(rig.view.Hides, 1);
    EXPECT_EQ(rig.panel->Action, "");
}

TEST(SerialLinkFaults, GarbageThenAGoodReport) {
    Sim sim({"--count-time", "0.1", "--reports", EXAMPLES_DIR "/reports.txt", "--fault", "garbage",
             "--fault-count", "1"});
    ASSERT_FALSE(sim.Path.empty());
    Panel_Rig rig(sim.Path);
    ASSERT_TRUE(rig.Wait([&] { return rig.panel->Bffr() == "!H\r!REMOTE+\r"; }));
    rig.panel->Run_Button_Click();
    ASSERT_TRUE(rig.Wait([&] { return rig.panel->Bffr().size() > 100 && rig.panel->Bffr().back() == '\r'; }));
    EXPECT_EQ(rig.view.Hides, 0);
    // A line that is no report does not end the count: the technician stops it and runs it again.
    EXPECT_EQ(rig.panel->Link.sCounterState, "COUNTING");
    rig.panel->Run_Button_Click();
    EXPECT_EQ(rig.panel->Link.sCounterState, "IDLE");
    rig.panel->Link.Counter_Command("START");
    ASSERT_TRUE(rig.Wait([&] { return rig.view.Hides > 0; }));
    EXPECT_EQ(rig.panel->Action, "COUNT");
    EXPECT_EQ(rig.panel->Bffr(), "!S\r" + Example_Report + "\r");
}

TEST(SerialLinkFaults, SilentCounterLeavesThePanelUsable) {
    Sim sim({"--fault", "silence"});
    ASSERT_FALSE(sim.Path.empty());
    Panel_Rig rig(sim.Path);
    rig.panel->Run_Button_Click();
    QTest::qWait(300);
    EXPECT_EQ(rig.panel->Bffr(), "");
    EXPECT_EQ(rig.panel->Link.sCounterState, "COUNTING");
    rig.panel->Run_Button_Click();
    rig.panel->Close_Click();
    EXPECT_EQ(rig.view.Hides, 1);
    EXPECT_TRUE(rig.alerts.Alerts.empty());
    EXPECT_TRUE(rig.Wait([&] { return sim.Log().find("< H") != std::string::npos; }));
}

TEST(SerialLinkFaults, LineDroppedInTheMiddleOfAReport) {
    Sim sim({"--count-time", "0.1", "--reports", EXAMPLES_DIR "/reports.txt", "--fault", "drop"});
    ASSERT_FALSE(sim.Path.empty());
    Panel_Rig rig(sim.Path);
    ASSERT_TRUE(rig.Wait([&] { return rig.panel->Bffr() == "!H\r!REMOTE+\r"; }));
    rig.panel->Run_Button_Click();
    EXPECT_TRUE(rig.Wait([&] { return rig.panel->Bffr().size() > 10; }));
    EXPECT_TRUE(sim.Finished(15000));
    ASSERT_TRUE(rig.Wait([&] { return !rig.port->Is_Open(); }));
    EXPECT_EQ(rig.view.Hides, 0);
    EXPECT_EQ(rig.panel->Bffr(), "!S\r" + Example_Report.substr(0, Example_Report.size() / 2));
    rig.panel->Run_Button_Click(); // stop: the counter is gone
    EXPECT_EQ(rig.alerts.Alerts, (std::vector<std::string>{"Cannot connect to device"}));
    rig.panel->Close_Click();
    EXPECT_EQ(rig.view.Hides, 1);
}

TEST(SerialLinkFaults, CharactersPacedAtTheLineRate) {
    Sim sim({"--count-time", "0.05", "--reports", EXAMPLES_DIR "/reports.txt", "--pace"});
    ASSERT_FALSE(sim.Path.empty());
    Panel_Rig rig(sim.Path);
    ASSERT_TRUE(rig.Wait([&] { return rig.panel->Bffr() == "!H\r!REMOTE+\r"; }));
    rig.panel->Run_Button_Click();
    ASSERT_TRUE(rig.Wait([&] { return rig.view.Hides > 0; }));
    EXPECT_EQ(rig.panel->Action, "COUNT");
    EXPECT_EQ(rig.panel->Bffr(), "!S\r" + Example_Report + "\r");
}

TEST(SerialLink, ExitReleasesRemoteMode) {
    Sim sim({});
    ASSERT_FALSE(sim.Path.empty());
    Settings_Collection settings;
    settings.Add("COMM_PORT", Settings{"COMM_PORT", "1", "", "NORMAL", {}});
    settings.Add("COMM_DEVICE", Settings{"COMM_DEVICE", sim.Path, "", "NORMAL", {}});
    Release_Counter_Remote_Mode(settings);
    EXPECT_TRUE(QTest::qWaitFor([&] { return sim.Log().find("< REMOTE-") != std::string::npos; }, 5000));
    // Without a counter it ends all the same.
    Settings_Collection missing;
    Release_Counter_Remote_Mode(missing);
}

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
