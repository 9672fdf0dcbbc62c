// The serial port as the counter link uses it: line settings, open/close, write a text, read the
// waiting input and one communication event per received character. Adapters implement it on the
// platform's port; tests script it.
#pragma once

#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace pcs {

// A port operation that failed; the native message is kept for lab IT.
class Serial_Error : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Codes carried by the communication event. Only Comm_Ev_Receive means "a character is waiting";
// the others report line changes and errors.
enum Comm_Event : int {
    Comm_Ev_Send = 1,
    Comm_Ev_Receive = 2,
    Comm_Ev_CTS = 3,
    Comm_Ev_DSR = 4,
    Comm_Ev_CD = 5,
    Comm_Ev_Ring = 6,
    Comm_Ev_EOF = 7,
    Comm_Event_Break = 1001,
    Comm_Event_Frame = 1004,
    Comm_Event_Overrun = 1006,
    Comm_Event_Rx_Over = 1008,
    Comm_Event_Rx_Parity = 1009,
    Comm_Event_Tx_Full = 1010,
    Comm_Event_Device_Lost = 1011, // the device went away (cable pulled, adapter unplugged)
};

enum class Input_Mode { Text, Binary };

class Serial_Port {
public:
    using Comm_Handler = std::function<void(int event_code)>;

    virtual ~Serial_Port() = default;

    // Line settings as "baud,parity,data bits,stop bits", e.g. "9600,n,8,1".
    virtual void Set_Settings(const std::string& settings) = 0;
    virtual void Set_Port_Number(int16_t port) = 0;
    // Most characters one read returns; 0 means everything waiting.
    virtual void Set_Input_Length(int16_t n) = 0;
    // A receive event is raised while at least this many characters wait; 0 means no receive events.
    virtual void Set_Receive_Threshold(int16_t n) = 0;
    virtual void Set_Send_Threshold(int16_t n) = 0;
    virtual void Set_Input_Mode(Input_Mode mode) = 0;

    // Open and Write throw Serial_Error; Close never throws.
    virtual void Open() = 0;
    virtual void Close() noexcept = 0;
    virtual bool Is_Open() const = 0;
    virtual void Write(const std::string& text) = 0;
    // The waiting input, at most the input length; "" when nothing waits.
    virtual std::string Read_Input() = 0;

    // Called on the owner's thread for every communication event.
    void Set_Comm_Handler(Comm_Handler handler) { handler_ = std::move(handler); }

protected:
    void Raise_Comm_Event(int code) {
        if (handler_) handler_(code);
    }
    bool Has_Comm_Handler() const { return static_cast<bool>(handler_); }

private:
    Comm_Handler handler_;
};

// "9600,n,8,1" taken apart. Parity is one of n, e, o, m, s (either case); stop bits 1, 1.5 or 2.
struct Line_Settings {
    int32_t Baud = 9600;
    char Parity = 'n';
    int Data_Bits = 8;
    double Stop_Bits = 1;
};

// Throws Serial_Error for a settings string that does not describe a line.
Line_Settings Parse_Line_Settings(std::string_view settings);

} // namespace pcs
