#include "counter/counter_link.h"

#include "common/text.h"
#include "settings/settings.h"

#include <algorithm>
#include <cmath>

namespace pcs {

namespace {

// The open sequence, every step on its own: a port that will not open simply stays closed, and the
// next send retries.
template <typename F> void Ignoring_Errors(F&& step) noexcept {
    try {
        step();
    } catch (...) {
    }
}

void Apply_Line_Settings_And_Open(Serial_Port& port, int16_t number) noexcept {
    port.Close();
    Ignoring_Errors([&] { port.Set_Settings(Counter_Line_Settings); });
    Ignoring_Errors([&] { port.Set_Port_Number(number); });
    Ignoring_Errors([&] { port.Set_Input_Length(1); });
    Ignoring_Errors([&] { port.Set_Receive_Threshold(1); });
    Ignoring_Errors([&] { port.Set_Send_Threshold(1); });
    Ignoring_Errors([&] { port.Set_Input_Mode(Input_Mode::Text); });
    Ignoring_Errors([&] { port.Open(); });
}

} // namespace

Line_Settings Parse_Line_Settings(std::string_view settings) {
    auto bad = [&] { return Serial_Error("Invalid serial settings \"" + std::string(settings) + "\""); };
    std::vector<std::string> parts = Split(settings, ',');
    if (parts.size() != 4) throw bad();
    Line_Settings ls;
    std::optional<int32_t> baud = Try_Int32(parts[0]);
    if (!baud || *baud <= 0 || Trim(parts[0]).find('.') != std::string::npos) throw bad();
    ls.Baud = *baud;
    std::string parity = LCase(Trim(parts[1]));
    if (parity.size() != 1 || std::string_view("neoms").find(parity[0]) == std::string_view::npos)
        throw bad();
    ls.Parity = parity[0];
    std::optional<int32_t> bits = Try_Int32(parts[2]);
    if (!bits || *bits < 4 || *bits > 8) throw bad();
    ls.Data_Bits = *bits;
    std::optional<double> stop = Try_Double(parts[3]);
    if (!stop || (*stop != 1 && *stop != 1.5 && *stop != 2)) throw bad();
    ls.Stop_Bits = *stop;
    return ls;
}

Counter_Command_Entry Lookup_Counter_Command(std::string_view word) {
    std::string w = UCase(word);
    if (w == "INITIALIZE") return {w, "REMOTE+", std::string("!REMOTE+") + CR};
    if (w == "RELEASE") return {w, "REMOTE-", std::string("!REMOTE-") + CR};
    if (w == "START") return {w, "S", std::string("!S") + CR};
    if (w == "STOP") return {w, "H", std::string("!H") + CR};
    return {w, "", ""};
}

Counter_Link::Counter_Link(Serial_Port& port, Alert_Port& alerts, const Counter_Drive* drive)
    : port_(port), alerts_(alerts), drive_(drive) {
    port_.Set_Comm_Handler([this](int code) { MSComm1_OnComm(code); });
}

Counter_Link::~Counter_Link() {
    port_.Set_Comm_Handler(nullptr);
}

void Counter_Link::Start(int16_t comm_port) {
    sCounterState = "IDLE";
    Set_Run_Button(true);
    iCommPort = comm_port;
    Open_Port(iCommPort);
    // A count the counter may still be running (a panel closed while its stop did not arrive, a station
    // that died mid-count) is not this panel's: it is stopped before this panel can start its own.
    Stop_Quietly();
    Counter_Command("INITIALIZE");
}

void Counter_Link::Stop() noexcept {
    // A panel never leaves its count running: its report would come to whichever panel opens next.
    if (started_) Stop_Quietly();
    port_.Close();
}

void Counter_Link::Stop_Quietly() noexcept {
    // No reopen and no message: a counter that cannot be reached is told by the command that follows.
    Ignoring_Errors([&] {
        if (port_.Is_Open() && !Held_Back()) port_.Write(Lookup_Counter_Command("STOP").Text + CR);
    });
    started_ = false;
    sCounterState = "IDLE";
}

void Counter_Link::Counter_Command(std::string_view command) {
    iRetries = 0;
    Bffr.clear();
    line_start_ = 0;
    handed_over_ = false;
    Counter_Command_Entry entry = Lookup_Counter_Command(command);
    if (entry.Word == "STOP") {
        sCounterState = "IDLE";
        started_ = false;
    } else if (entry.Word == "START") {
        started_ = true;
        acked_ = false;
    }
    Send_Command(entry.Text);
}

void Counter_Link::COUNTER_START(std::string_view sample_type, std::string_view command) {
    std::string type = UCase(sample_type);
    if (type == "SAMPLE") {
        Counter_Command(command == "RUN SAMPLE" ? "START" : "STOP");
    } else if (type == Run_Word(Run_Kind::Flush)) {
        Counter_Command("STOP");
    }
}

void Counter_Link::Open_Port(int16_t port) {
    Apply_Line_Settings_And_Open(port_, port);
    Bffr.clear();
    line_start_ = 0;
    handed_over_ = false;
}

void Counter_Link::Send_Command(const std::string& text) {
    for (;;) {
        if (Held_Back()) return;
        if (port_.Is_Open()) {
            try {
                port_.Write(text + CR);
                return;
            } catch (const std::exception&) {
                // A port that no longer takes text (device gone) is treated as closed and reopened.
                port_.Close();
            }
        }
        if (iRetries > 9) {
            alerts_.Alert(Cannot_Connect_Text);
            return;
        }
        ++iRetries;
        Open_Port(iCommPort);
    }
}

void Counter_Link::Set_Button(int image, const char* tag) {
    Run_Button_Image = image;
    Run_Button_Tag = tag;
    if (Events) Events->On_Run_Button_Changed();
}

void Counter_Link::Set_Run_Button(bool ready) {
    if (ready)
        Set_Button(Run_Button_Ready, Run_Button_Tag_Stopped);
    else
        Set_Button(Run_Button_Disabled, "");
}

void Counter_Link::Run_Button_Click() {
    if (Run_Button_Tag.empty()) return;
    sCounterState = "COUNTING";
    if (Run_Button_Tag == Run_Button_Tag_Stopped) {
        COUNTER_START("SAMPLE", "RUN SAMPLE");
        Set_Button(Run_Button_Counting, Run_Button_Tag_Counting);
        if (Events) Events->On_Close_Button_Visible(false);
    } else if (Run_Button_Tag == Run_Button_Tag_Counting) {
        COUNTER_START("SAMPLE", "STOP");
        Set_Button(Run_Button_Ready, Run_Button_Tag_Stopped);
        if (Events) Events->On_Close_Button_Visible(true);
    }
}

void Counter_Link::MSComm1_OnComm(int event_code) {
    // Only a receive event takes input: reading on a line-status or error event would throw away a
    // character of the report that happens to be waiting.
    if (event_code != Comm_Ev_Receive) return;
    std::string s;
    try {
        s = port_.Read_Input();
    } catch (const std::exception&) {
        return;
    }
    if (handed_over_) return;
    Append_Input(s);
}

void Counter_Link::Append_Input(const std::string& s) {
    Bffr += s;
    if (Bffr.size() > Bffr_Limit) {
        size_t dropped = Bffr.size() - Bffr_Limit / 2;
        Bffr.erase(0, dropped);
        line_start_ = line_start_ > dropped ? line_start_ - dropped : 0;
    }
    if (!s.empty() && (s[0] == '\r' || s[0] == '\n')) Check_Buffer();
}

void Counter_Link::Check_Buffer() {
    // Each completed line on its own: an acknowledgement or a stray report earlier in the buffer says
    // nothing about the line that just ended.
    const size_t begin = std::min(line_start_, Bffr.size());
    const std::string line = Bffr.substr(begin);
    line_start_ = Bffr.size();
    const size_t report = line.find("!LPR1");
    if (report == std::string::npos) {
        if (started_ && !acked_ && Contains(line, "!S")) {
            // What came before the acknowledgement (the answer to a stop sent just before this start)
            // is not part of this count: the text handed over begins with "!S".
            acked_ = true;
            Bffr.erase(0, begin);
            line_start_ = Bffr.size();
        }
        // A late "!REMOTE+" must not re-arm the button of a running count.
        if (!started_ && Contains(line, "!REMOTE+")) Set_Run_Button(true);
        return;
    }
    // The report of this link's count comes after the counter acknowledged its start; any other
    // (the counter's own before the start, or a count the link did not start) reaches no sample.
    if (started_ && (acked_ || line.substr(0, report).find("!S") != std::string::npos)) {
        started_ = false;
        sCounterState = "IDLE";
        handed_over_ = true;
        if (Events) Events->On_Report_Received();
        return;
    }
    Bffr.erase(begin);
    line_start_ = Bffr.size();
    if (Events) Events->On_Stray_Report(line);
}

std::optional<int16_t> Counter_Port_Number(const Settings_Collection& settings) {
    const Settings* s = settings.Find("COMM_PORT");
    if (!s) return std::nullopt;
    return Try_Int16(s->Value);
}

std::optional<std::string> Counter_Device_Path(const Settings_Collection& settings) {
    const Settings* s = settings.Find("COMM_DEVICE");
    if (!s || Trim(s->Value).empty()) return std::nullopt;
    return Trim(s->Value);
}

void Release_Remote_Mode(Serial_Port& port, int16_t comm_port) noexcept {
    Apply_Line_Settings_And_Open(port, comm_port);
    if (port.Is_Open()) Ignoring_Errors([&] { port.Write(Lookup_Counter_Command("RELEASE").Text + CR); });
    // Closing lets the adapter finish sending before the program ends.
    port.Close();
}

void Release_Remote_Mode(Serial_Port& port, const Settings_Collection& settings) noexcept {
    std::optional<int16_t> n;
    try {
        n = Counter_Port_Number(settings);
    } catch (...) {
    }
    Release_Remote_Mode(port, n.value_or(0));
}

} // namespace pcs
