// The particle counter's serial link: remote mode, start and stop, and the collection of the counter's
// output until a report line has arrived. The action panel owns one link for the run in hand.
#pragma once

#include "common/ports.h"
#include "counter/run.h"
#include "counter/serial_port.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace pcs {

class Settings_Collection;

inline constexpr char CR = '\r';
inline constexpr const char* Counter_Line_Settings = "9600,n,8,1";
inline constexpr const char* Cannot_Connect_Text = "Cannot connect to device";
// Bffr keeps at most this much: a counter pouring out text without line ends (or a panel left open for
// days) must not eat the station's memory. A report with its acknowledgement is a few hundred
// characters; past the limit the oldest half is dropped, so the latest text, a report included, stays.
inline constexpr size_t Bffr_Limit = 64 * 1024;

// One row of the command table: the word, the text written (followed by CR) and the acknowledgement
// the counter answers with (carried for reference; replies are never compared with it).
struct Counter_Command_Entry {
    std::string Word;
    std::string Text;
    std::string Ack;
};

// The table row for a command word, upper-cased first; an unknown word writes a lone CR.
Counter_Command_Entry Lookup_Counter_Command(std::string_view word);

// The run button's three looks (the entries of the hidden image array): picture index and tag.
enum Run_Button_Picture : int { Run_Button_Disabled = 0, Run_Button_Ready = 1, Run_Button_Counting = 2 };
// The tag says what the counter is doing, not what a press does: "STOP" while the counter stands
// (a press starts a count), "RUN SAMPLE" while it counts (a press stops it).
inline constexpr const char* Run_Button_Tag_Stopped = "STOP";
inline constexpr const char* Run_Button_Tag_Counting = "RUN SAMPLE";

// What the link tells the panel it lives in.
class Counter_Link_Events {
public:
    virtual ~Counter_Link_Events() = default;
    // The report of the count this link started arrived: the panel closes with "COUNT".
    virtual void On_Report_Received() = 0;
    // A report of a count this link did not start (one running when the port was opened, or one that
    // still came after its stop): it reaches no sample, only the count logs.
    virtual void On_Stray_Report(const std::string& /*line*/) {}
    // The run button took another picture and tag.
    virtual void On_Run_Button_Changed() {}
    // The close button is hidden while a count runs and shown again when it is stopped.
    virtual void On_Close_Button_Visible(bool /*visible*/) {}
};

// Whether the link's commands reach the counter at all: a development station's debug box can keep
// every command back (asked at each send).
class Counter_Drive {
public:
    virtual ~Counter_Drive() = default;
    virtual bool Counter_Driven() const = 0;
};

class Counter_Link {
public:
    // The link installs itself as the port's event handler for its lifetime. Without a drive, every
    // command is sent.
    Counter_Link(Serial_Port& port, Alert_Port& alerts, const Counter_Drive* drive = nullptr);
    ~Counter_Link();
    Counter_Link(const Counter_Link&) = delete;
    Counter_Link& operator=(const Counter_Link&) = delete;

    Counter_Link_Events* Events = nullptr;

    int16_t iCommPort = 0;
    std::string Bffr;                   // everything received since the last open or command (see Bffr_Limit)
    std::string sCounterState = "IDLE"; // "IDLE" or "COUNTING"
    int16_t iRetries = 0;               // reopen attempts for the command being sent
    int Run_Button_Image = Run_Button_Disabled;
    std::string Run_Button_Tag;

    // The link's part of the panel load: state idle, button ready, open the port, stop whatever count
    // the counter may still be running, remote mode.
    void Start(int16_t comm_port);
    // The panel's unload: a count this link started and that has not ended is stopped first; the port
    // is closed, errors ignored.
    void Stop() noexcept;

    void Counter_Command(std::string_view command);
    void COUNTER_START(std::string_view sample_type, std::string_view command);
    void Open_Port(int16_t port);
    void Send_Command(const std::string& text);
    void Set_Run_Button(bool ready);
    void Run_Button_Click();
    void MSComm1_OnComm(int event_code);
    void Check_Buffer();

    // True once a report has been handed over; later characters are read and dropped until the next
    // command or open, so the text the caller reads ends at the report's line end.
    bool Report_Handed_Over() const { return handed_over_; }
    // This link sent the start of a count that has neither been stopped nor reported yet. Only a
    // report that follows the counter's acknowledgement of that start is handed over.
    bool Counting() const { return started_; }

private:
    void Append_Input(const std::string& s);
    // "H" written once if the port is open, errors ignored; the link's count is over either way.
    void Stop_Quietly() noexcept;
    void Set_Button(int image, const char* tag);

    bool Held_Back() const { return drive_ && !drive_->Counter_Driven(); }

    Serial_Port& port_;
    Alert_Port& alerts_;
    const Counter_Drive* drive_;
    bool handed_over_ = false;
    bool started_ = false;  // see Counting()
    bool acked_ = false;    // the counter answered "!S" to that start
    size_t line_start_ = 0; // where the line being received begins in Bffr
};

// COMM_PORT as the link reads it: a 16-bit whole number; nullopt when missing or not a number.
std::optional<int16_t> Counter_Port_Number(const Settings_Collection& settings);
// COMM_DEVICE, when present and not blank: a device path that replaces the port number's device.
std::optional<std::string> Counter_Device_Path(const Settings_Collection& settings);

// Takes the counter out of remote mode at program exit: the port is opened with the link's line
// settings and "REMOTE-" and CR are written, every error ignored; the port is closed afterwards.
void Release_Remote_Mode(Serial_Port& port, int16_t comm_port) noexcept;
void Release_Remote_Mode(Serial_Port& port, const Settings_Collection& settings) noexcept;

} // namespace pcs
