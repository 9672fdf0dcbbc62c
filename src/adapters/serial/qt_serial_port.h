// The serial port on Qt SerialPort: the counter's line in the Qt event loop, one receive event per
// waiting character.
#pragma once

#include "counter/serial_port.h"

#include <QObject>
#include <QSerialPort>

#include <optional>
#include <string>

namespace pcs {

class Settings_Collection;

// The platform's device for a port number: COMn on Windows, /dev/ttyS(n-1) on Linux; "" below 1.
std::string Comm_Port_Device(int16_t port);

class Qt_Serial_Port final : public QObject, public Serial_Port {
    Q_OBJECT
public:
    // A device path, when given, is opened instead of the port number's device (a USB adapter, a
    // pseudo-terminal).
    explicit Qt_Serial_Port(std::optional<std::string> device = std::nullopt, QObject* parent = nullptr);
    ~Qt_Serial_Port() override;

    void Set_Settings(const std::string& settings) override;
    void Set_Port_Number(int16_t port) override;
    void Set_Input_Length(int16_t n) override { input_length_ = n; }
    void Set_Receive_Threshold(int16_t n) override { receive_threshold_ = n; }
    void Set_Send_Threshold(int16_t n) override { send_threshold_ = n; }
    void Set_Input_Mode(Input_Mode mode) override { mode_ = mode; }
    void Open() override;
    void Close() noexcept override;
    bool Is_Open() const override;
    void Write(const std::string& text) override;
    std::string Read_Input() override;

    // The device Open will use.
    std::string Device_Name() const;

private slots:
    void On_Ready_Read();
    void On_Error(QSerialPort::SerialPortError error);

private:
    QSerialPort port_;
    std::optional<std::string> device_;
    Line_Settings line_;
    int16_t number_ = 0;
    int16_t input_length_ = 0;
    int16_t receive_threshold_ = 0;
    int16_t send_threshold_ = 0;
    Input_Mode mode_ = Input_Mode::Text;
    bool lost_ = false;       // the device went away; the port reads as closed until reopened
    bool delivering_ = false; // inside the receive loop
};

// The program's exit: the counter leaves remote mode on the port the settings name, errors ignored.
void Release_Counter_Remote_Mode(const Settings_Collection& settings) noexcept;

} // namespace pcs
