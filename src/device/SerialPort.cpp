#include "device/SerialPort.h"
#include "model/Error.h"
#include "os/DeviceList.h"
#include "os/Serial.h"
#include "os/Tcp.h"

#include <algorithm>
#include <charconv>
#include <optional>

namespace zelo {

namespace {

// Thrown by the connect's wait hook once the waits are aborted; not a std::exception, so no failure handler
// on the way takes it for a connect error.
struct ConnectAborted {};

// The longest wait of one pass: the window gets its events at least this often.
constexpr std::int64_t SliceMs = 10;
// How long a TCP connect may take.
constexpr std::chrono::milliseconds ConnectLimit{5000};
// Keeps now + Timeout far away from the clock's range for any Timeout a caller can set.
constexpr std::int64_t LongestTimeoutMs = std::int64_t{1000} * 60 * 60 * 24 * 365;

// The whole text as a decimal integer, as the socket's port conversion wants it; nullopt otherwise.
std::optional<int> ToInteger(const std::string& text) {
    std::string_view digits = text;
    if (!digits.empty() && digits.front() == '+')
        digits.remove_prefix(1);
    int value = 0;
    auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (digits.empty() || error != std::errc{} || end != digits.data() + digits.size())
        return std::nullopt;
    return value;
}

} // namespace

TSerialPort::TSerialPort() {
    SetBaudrate(19200);
    SetDevice("COM1");
    SetHost("");
    SetPort("");
    SetDataBits(8);
    SetStopBits(1);
    SetParity(0);
    SetFlowControl(0);
}

// The handle and the socket are owned objects: leaving them would leak the descriptors, so they go with the
// link.
TSerialPort::~TSerialPort() = default;

void TSerialPort::Assign(const TPersistent& source) {
    const auto* other = dynamic_cast<const TSerialPort*>(&source);
    if (other == nullptr)
        return;
    // Copies first: the source may be this link.
    const int baudrate = other->Baudrate_;
    const std::string device = other->Device_;
    const std::string host = other->Host_;
    const std::string port = other->Port_;
    const int dataBits = other->DataBits_;
    const int stopBits = other->StopBits_;
    const std::uint8_t parity = other->Parity_;
    const std::uint8_t flowControl = other->FlowControl_;
    SetBaudrate(baudrate);
    SetDevice(device);
    SetHost(host);
    SetPort(port);
    SetDataBits(dataBits);
    SetStopBits(stopBits);
    SetParity(parity);
    SetFlowControl(flowControl);
}

bool TSerialPort::Open() {
    TcpMode_ = Device_ == os::TcpDeviceName;
    if (TcpMode_) {
        // A socket left over from a failed attempt blocks a new one until Close.
        if (Socket || SocketAttempted_)
            return false;
        SocketAttempted_ = true;
        LastOsError_.clear();
        try {
            std::optional<int> port = ToInteger(Port_);
            if (!port)
                throw Exception("'" + Port_ + "' is not a valid port number");
            // An aborted wait leaves the connect through an exception of no standard kind.
            Socket = os::TcpClient::Connect(Host_, *port, ConnectLimit, [this] {
                if (WaitHook)
                    WaitHook();
                if (WaitsAborted_)
                    throw ConnectAborted{};
            });
        } catch (const ConnectAborted&) {
            LastOsError_ = "interrupted";
            return false;
        } catch (const std::exception& e) {
            LastOsError_ = e.what();
            throw Exception("Error while opening socket to " + Host_ + "!");
        }
        return true;
    }
    if (Handle)
        return false;
    LastOsError_.clear();
    std::optional<std::string> path = os::ResolveDevicePath(Device_);
    if (!path)
        return false;
    os::LineSettings settings;
    settings.Baudrate = Baudrate_;
    settings.DataBits = DataBits_;
    settings.StopBits = StopBits_;
    settings.Parity = Parity_;
    settings.FlowControl = FlowControl_;
    os::OpenFailure failure;
    Handle = os::SerialDevice::Open(*path, settings, failure);
    LastOsError_ = failure.Busy ? failure.Reason + ": another program is using " + Device_ : failure.Reason;
    return Handle != nullptr;
}

void OpenLink(TSerialPort& link) {
    bool opened = false;
    try {
        opened = link.Open();
    } catch (const Exception& error) {
        throw LinkOpenError(error.Message(), link.LastOsError());
    }
    if (!opened)
        throw LinkOpenError(FormatMessage("Can't open %s!", link.Device()), link.LastOsError());
}

void TSerialPort::Close() {
    // Both are released whatever the last Open chose: a leftover must never outlive Close.
    Socket.reset();
    SocketAttempted_ = false;
    Handle.reset();
}

bool TSerialPort::IsOpen() const {
    if (TcpMode_)
        return Socket && Socket->Connected();
    return Handle != nullptr;
}

int TSerialPort::Write(const void* buffer, int count) {
    if (!IsOpen() || count <= 0)
        return count;
    int written = TcpMode_ ? Socket->Send(buffer, count, 500) : Handle->Write(buffer, count);
    written = std::clamp(written, 0, count);
    if (Trace)
        Trace(TraceDirection::Sent,
              std::string_view(static_cast<const char*>(buffer), static_cast<std::size_t>(written)));
    return count - written;
}

std::uint32_t TSerialPort::Read(void* buffer, std::uint32_t maxLength, std::uint8_t terminator) {
    if (!IsOpen() || maxLength == 0) {
        if (Trace)
            Trace(TraceDirection::Received, {});
        return 0;
    }
    auto* out = static_cast<std::uint8_t*>(buffer);
    os::Stream& stream = TcpMode_ ? static_cast<os::Stream&>(*Socket) : static_cast<os::Stream&>(*Handle);
    StartDeadline();
    std::uint32_t count = 0;
    auto lastHook = std::chrono::steady_clock::now();
    for (;;) {
        // Decided before the attempt, so that every wait is followed by one more look: the deadline ends the
        // waiting, not the taking. A byte that is there is read even when the time is up (a busy machine may
        // wake this loop late), so an answer that has arrived is never cut.
        const bool timeUp = DeadlinePassed();
        // Rounded up, so the last slice ends past the deadline instead of spinning in front of it.
        const auto remaining =
            std::chrono::ceil<std::chrono::milliseconds>(Deadline - std::chrono::steady_clock::now()).count();
        const int waitMs = timeUp ? 0 : static_cast<int>(std::clamp<std::int64_t>(remaining, 0, SliceMs));
        std::uint8_t byte = 0;
        const os::ReadStatus status = stream.ReadByte(byte, waitMs);
        if (status == os::ReadStatus::Lost)
            break;
        const bool got = status == os::ReadStatus::Byte;
        if (got)
            out[count++] = byte;
        if (WaitHook &&
            (!got || std::chrono::steady_clock::now() - lastHook >= std::chrono::milliseconds(SliceMs))) {
            WaitHook();
            lastHook = std::chrono::steady_clock::now();
        }
        if (got && byte == terminator)
            break;
        if (WaitsAborted_ || count >= maxLength || (!got && timeUp))
            break;
        // The hook may have closed the link; there is nothing left to wait for then.
        if (!IsOpen())
            break;
    }
    if (Trace)
        Trace(TraceDirection::Received, std::string_view(reinterpret_cast<const char*>(out), count));
    return count;
}

std::string TSerialPort::LostReason() const {
    if (TcpMode_)
        return Socket ? Socket->LostReason() : std::string();
    return Handle ? Handle->LostReason() : std::string();
}

void TSerialPort::SetBaudrate(int value) {
    if (!IsOpen())
        Baudrate_ = value;
}

void TSerialPort::SetDevice(const std::string& value) {
    if (!IsOpen())
        Device_ = value;
    Timeout = Device_ == os::TcpDeviceName ? 5000 : 1000;
}

bool TSerialPort::TcpDevice() const {
    return Device_ == os::TcpDeviceName;
}

void TSerialPort::SetHost(const std::string& value) {
    if (!IsOpen())
        Host_ = value;
}

void TSerialPort::SetPort(const std::string& value) {
    if (!IsOpen())
        Port_ = value;
}

void TSerialPort::SetDataBits(int value) {
    if (!IsOpen())
        DataBits_ = value;
}

void TSerialPort::SetStopBits(int value) {
    if (!IsOpen())
        StopBits_ = value;
}

void TSerialPort::SetParity(std::uint8_t value) {
    if (!IsOpen())
        Parity_ = value;
}

void TSerialPort::SetFlowControl(std::uint8_t value) {
    if (!IsOpen())
        FlowControl_ = value;
}

void TSerialPort::StartDeadline() {
    Deadline =
        std::chrono::steady_clock::now() +
        std::chrono::milliseconds(std::clamp<std::int64_t>(Timeout, -LongestTimeoutMs, LongestTimeoutMs));
}

bool TSerialPort::DeadlinePassed() const {
    return std::chrono::steady_clock::now() > Deadline;
}

} // namespace zelo
