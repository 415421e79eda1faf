#pragma once
// Serial ports: open one exclusively with its line settings, write to it, read from it.
#include "os/Stream.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

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

// Why a port did not open.
struct OpenFailure {
    std::string Reason; // the system's text, with a hint where one helps
    bool Busy = false;  // another program holds the port
};

class SerialDevice : public Stream {
public:
    // Opens the port for this program alone (no sharing, and a lock every program that locks respects), with
    // the line settings; settings the driver refuses are ignored. Input already waiting is discarded, so an
    // answer left over from an earlier exchange is never taken for a new one. On failure returns null and
    // says why in failure.
    static std::unique_ptr<SerialDevice> Open(const std::string& path, const LineSettings& settings,
                                              OpenFailure& failure);
    // One synchronous write; the bytes handed over (0 on failure; a failure that means the port is gone marks
    // the stream lost).
    virtual int Write(const void* buffer, int count) = 0;
};

} // namespace zelo::os
