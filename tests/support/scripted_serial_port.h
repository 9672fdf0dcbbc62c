// A serial port for tests: records every operation, fails to open on request and delivers scripted
// input one character per receive event, as a real port does.
#pragma once

#include "counter/serial_port.h"

#include <deque>
#include <string>
#include <vector>

namespace pcs::test {

class Scripted_Serial_Port : public Serial_Port {
public:
    std::vector<std::string> Calls; // "settings 9600,n,8,1", "port 3", "open", "close", "write REMOTE+\r"...
    std::string Written;            // everything written, in order
    int Open_Attempts = 0;
    int Opens_Failing = 0; // the next n opens fail
    bool Always_Fail_Open = false;
    int Writes_Failing = 0; // the next n writes fail
    bool open = false;
    std::deque<char> Input; // characters waiting to be read
    int16_t Input_Length = 0;

    void Set_Settings(const std::string& s) override { Calls.push_back("settings " + s); }
    void Set_Port_Number(int16_t p) override { Calls.push_back("port " + std::to_string(p)); }
    void Set_Input_Length(int16_t n) override {
        Input_Length = n;
        Calls.push_back("inputlen " + std::to_string(n));
    }
    void Set_Receive_Threshold(int16_t n) override { Calls.push_back("rthreshold " + std::to_string(n)); }
    void Set_Send_Threshold(int16_t n) override { Calls.push_back("sthreshold " + std::to_string(n)); }
    void Set_Input_Mode(Input_Mode m) override { Calls.push_back(m == Input_Mode::Text ? "text" : "binary"); }
    void Open() override {
        Calls.push_back("open");
        ++Open_Attempts;
        if (Always_Fail_Open || Opens_Failing > 0) {
            if (Opens_Failing > 0) --Opens_Failing;
            throw Serial_Error("no such port");
        }
        open = true;
    }
    void Close() noexcept override {
        Calls.push_back("close");
        open = false;
    }
    bool Is_Open() const override { return open; }
    void Write(const std::string& text) override {
        if (!open) throw Serial_Error("port not open");
        if (Writes_Failing > 0) {
            --Writes_Failing;
            throw Serial_Error("write failed");
        }
        Calls.push_back("write " + text);
        Written += text;
    }
    std::string Read_Input() override {
        std::string s;
        size_t n = Input_Length <= 0 ? Input.size() : static_cast<size_t>(Input_Length);
        while (n-- > 0 && !Input.empty()) {
            s += Input.front();
            Input.pop_front();
        }
        return s;
    }

    // The counter sends text: one receive event per character.
    void Receive(const std::string& text) {
        for (char c : text) {
            Input.push_back(c);
            Raise_Comm_Event(Comm_Ev_Receive);
        }
    }
    void Event(int code) { Raise_Comm_Event(code); }
    int Count_Calls(const std::string& what) const {
        int n = 0;
        for (const auto& c : Calls)
            n += (c == what);
        return n;
    }
};

} // namespace pcs::test
