#pragma once
// The operating system layer under TSerialPort: one implementation in posix/, one in win32/.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace zelo::os {

struct LineSettings {
    int Baudrate = 19200;
    int DataBits = 8;
    int StopBits = 1;
    std::uint8_t Parity = 0;      // 0 none, 1 odd, 2 even, 3 mark, 4 space; others act as 0
    std::uint8_t FlowControl = 0; // 0 none, 1 XON/XOFF, 2 RTS/CTS; others act as 0
};

// The path to open for a device name, or nullopt when the name names no serial device.
std::optional<std::string> ResolveDevicePath(const std::string& device);

class SerialDevice {
public:
    virtual ~SerialDevice() = default;
    // Opens exclusively with the line settings; settings the driver refuses are ignored. On failure returns null
    // and puts the system's reason into osError.
    static std::unique_ptr<SerialDevice> Open(const std::string& path, const LineSettings& settings,
                                              std::string& osError);
    // Bytes written (0 on failure).
    virtual int Write(const void* buffer, int count) = 0;
    // Waits at most waitMs for a byte; returns 1 with the byte, 0 when none came (or the read failed).
    virtual int ReadByte(std::uint8_t& byte, int waitMs) = 0;
};

class TcpClient {
public:
    virtual ~TcpClient() = default;
    // Blocking connect to host:port (IPv4 or IPv6); raises Exception on failure.
    static std::unique_ptr<TcpClient> Connect(const std::string& host, int port);
    virtual bool Connected() const = 0;
    // Waits at most timeoutMs for the send to complete; returns the bytes sent (0 when it did not complete).
    // Raises Exception with the system's error text when the send cannot start.
    virtual int Send(const void* buffer, int count, int timeoutMs) = 0;
    // As SerialDevice::ReadByte.
    virtual int ReadByte(std::uint8_t& byte, int waitMs) = 0;
};

// Serial devices found on the system: path and a description (USB product) where the system gives one.
struct PortInfo {
    std::string Path;
    std::string Description;
};
std::vector<PortInfo> ListSerialPorts();

} // namespace zelo::os
