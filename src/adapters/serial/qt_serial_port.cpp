#include "qt_serial_port.h"

#include "counter/counter_link.h"
#include "settings/settings.h"

#include <QMetaObject>

namespace pcs {

std::string Comm_Port_Device(int16_t port) {
    if (port < 1) return "";
#ifdef Q_OS_WIN
    return "COM" + std::to_string(port);
#else
    return "/dev/ttyS" + std::to_string(port - 1);
#endif
}

Qt_Serial_Port::Qt_Serial_Port(std::optional<std::string> device, QObject* parent)
    : QObject(parent), device_(std::move(device)) {
    connect(&port_, &QSerialPort::readyRead, this, &Qt_Serial_Port::On_Ready_Read);
    connect(&port_, &QSerialPort::errorOccurred, this, &Qt_Serial_Port::On_Error);
}

Qt_Serial_Port::~Qt_Serial_Port() {
    Close();
}

void Qt_Serial_Port::Set_Settings(const std::string& settings) {
    line_ = Parse_Line_Settings(settings);
}

void Qt_Serial_Port::Set_Port_Number(int16_t port) {
    number_ = port;
}

std::string Qt_Serial_Port::Device_Name() const {
    return device_ ? *device_ : Comm_Port_Device(number_);
}

void Qt_Serial_Port::Open() {
    if (port_.isOpen()) throw Serial_Error("Port already open");
    std::string name = Device_Name();
    if (name.empty())
        throw Serial_Error("No serial port configured (COMM_PORT " + std::to_string(number_) + ")");
    port_.setPortName(QString::fromStdString(name));
    if (!port_.open(QIODevice::ReadWrite))
        throw Serial_Error("Cannot open " + name + ": " + port_.errorString().toStdString());
    lost_ = false;
    QSerialPort::Parity parity = QSerialPort::NoParity;
    switch (line_.Parity) {
    case 'e':
        parity = QSerialPort::EvenParity;
        break;
    case 'o':
        parity = QSerialPort::OddParity;
        break;
    case 'm':
        parity = QSerialPort::MarkParity;
        break;
    case 's':
        parity = QSerialPort::SpaceParity;
        break;
    default:
        break;
    }
    QSerialPort::StopBits stop = line_.Stop_Bits == 2     ? QSerialPort::TwoStop
                                 : line_.Stop_Bits == 1.5 ? QSerialPort::OneAndHalfStop
                                                          : QSerialPort::OneStop;
    bool ok = port_.setBaudRate(line_.Baud) && port_.setParity(parity) &&
              port_.setDataBits(static_cast<QSerialPort::DataBits>(line_.Data_Bits)) &&
              port_.setStopBits(stop) && port_.setFlowControl(QSerialPort::NoFlowControl);
    if (!ok) {
        std::string why = port_.errorString().toStdString();
        port_.close();
        throw Serial_Error("Cannot apply line settings on " + name + ": " + why);
    }
    // A fresh open starts with an empty line: what the driver (or a pseudo-terminal kept open by the
    // other side) still holds from before came while nobody listened, and would otherwise reach the
    // next run as if it were its own report.
    port_.clear(QSerialPort::Input);
}

void Qt_Serial_Port::Close() noexcept {
    if (!port_.isOpen()) return;
    // What was written still goes out (the release of remote mode right before the program ends).
    if (!lost_ && port_.bytesToWrite() > 0) port_.waitForBytesWritten(500);
    port_.close();
    lost_ = false;
}

bool Qt_Serial_Port::Is_Open() const {
    return port_.isOpen() && !lost_;
}

void Qt_Serial_Port::Write(const std::string& text) {
    if (!Is_Open()) throw Serial_Error("Port not open");
    qint64 n = port_.write(text.data(), static_cast<qint64>(text.size()));
    if (n != static_cast<qint64>(text.size()))
        throw Serial_Error("Write to " + Device_Name() + " failed: " + port_.errorString().toStdString());
}

std::string Qt_Serial_Port::Read_Input() {
    if (!Is_Open()) return "";
    qint64 n = input_length_ > 0 ? input_length_ : port_.bytesAvailable();
    QByteArray data = port_.read(n);
    return std::string(data.constData(), static_cast<size_t>(data.size()));
}

void Qt_Serial_Port::On_Ready_Read() {
    if (delivering_ || receive_threshold_ <= 0 || !Has_Comm_Handler()) return;
    delivering_ = true;
    // One receive event per waiting character, as long as the handler takes them.
    while (Is_Open() && port_.bytesAvailable() >= receive_threshold_) {
        qint64 before = port_.bytesAvailable();
        Raise_Comm_Event(Comm_Ev_Receive);
        if (!Is_Open() || port_.bytesAvailable() >= before) break;
    }
    delivering_ = false;
}

void Qt_Serial_Port::On_Error(QSerialPort::SerialPortError error) {
    if (error != QSerialPort::ResourceError && error != QSerialPort::ReadError &&
        error != QSerialPort::WriteError)
        return;
    if (!port_.isOpen() || lost_) return;
    // The device went away. The port is closed once this notification is over; until then it reads as
    // closed, so the next command reopens it.
    lost_ = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (lost_) {
                port_.close();
                lost_ = false;
            }
        },
        Qt::QueuedConnection);
    Raise_Comm_Event(Comm_Event_Device_Lost);
}

void Release_Counter_Remote_Mode(const Settings_Collection& settings) noexcept {
    try {
        Qt_Serial_Port port(Counter_Device_Path(settings));
        Release_Remote_Mode(port, settings);
    } catch (...) {
    }
}

} // namespace pcs
