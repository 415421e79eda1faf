// Serial ports on Windows: "\\.\COMn" opened for synchronous input and output; reads return at once and are
// polled, so the link can hand control to the window between them.
#include "os/Serial.h"
#include "os/win32/Win32Os.h"

#include <chrono>

namespace zelo::os {

bool MeansPortGone(std::uint32_t error) {
    switch (error) {
    case ERROR_DEVICE_REMOVED:
    case ERROR_DEV_NOT_EXIST:
    case ERROR_BAD_COMMAND:
    case ERROR_GEN_FAILURE:
    case ERROR_IO_DEVICE:
    case ERROR_ACCESS_DENIED:
    case ERROR_INVALID_HANDLE:
    case ERROR_FILE_NOT_FOUND:
    case ERROR_NOT_READY:
    case ERROR_DEVICE_NOT_CONNECTED:
    case ERROR_OPERATION_ABORTED:
        return true;
    default:
        return false;
    }
}

namespace {

class Win32SerialDevice final : public SerialDevice {
public:
    explicit Win32SerialDevice(HANDLE handle) : handle_(handle) {}
    ~Win32SerialDevice() override { ::CloseHandle(handle_); }

    // One synchronous write; the write time-outs are off, so it returns when every byte is handed over.
    int Write(const void* buffer, int count) override {
        if (count <= 0 || Lost())
            return 0;
        DWORD written = 0;
        if (!::WriteFile(handle_, buffer, static_cast<DWORD>(count), &written, nullptr)) {
            const DWORD error = ::GetLastError();
            if (MeansPortGone(error))
                MarkLost(SystemErrorText(error));
            return 0;
        }
        return static_cast<int>(written);
    }

    // The read time-outs make ReadFile return at once with what has arrived, so the wait is a poll in steps
    // of the shortest sleep: it ends soon after a byte is there, and once waitMs has passed (give or take the
    // system's timer tick). A port that is gone ends it at once; any other failure waits it out.
    ReadStatus ReadByte(std::uint8_t& byte, int waitMs) override {
        if (Lost())
            return ReadStatus::Lost;
        using Clock = std::chrono::steady_clock;
        const auto deadline = Clock::now() + std::chrono::milliseconds(waitMs > 0 ? waitMs : 0);
        for (;;) {
            DWORD got = 0;
            if (::ReadFile(handle_, &byte, 1, &got, nullptr)) {
                if (got == 1)
                    return ReadStatus::Byte;
            } else if (const DWORD error = ::GetLastError(); MeansPortGone(error)) {
                MarkLost(SystemErrorText(error));
                return ReadStatus::Lost;
            }
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
            if (left <= 0) {
                // A pulled USB adapter need not fail a read that finds nothing: its port's state says so.
                if (const DWORD error = PortError(); MeansPortGone(error)) {
                    MarkLost(SystemErrorText(error));
                    return ReadStatus::Lost;
                }
                return ReadStatus::Nothing;
            }
            ::Sleep(1);
        }
    }

private:
    // The error ClearCommError fails with (which also clears a line error that would stop the port), or 0.
    DWORD PortError() const {
        DWORD errors = 0;
        COMSTAT status{};
        return ::ClearCommError(handle_, &errors, &status) ? ERROR_SUCCESS : ::GetLastError();
    }

    HANDLE handle_;
};

// The line settings as the port's DCB: only these members change, the driver's values of all others stay.
void ApplyLineSettings(DCB& dcb, const LineSettings& s) {
    const bool parity = s.Parity >= 1 && s.Parity <= 4;
    dcb.BaudRate = static_cast<DWORD>(s.Baudrate);
    dcb.ByteSize = static_cast<BYTE>(s.DataBits & 0xFF);
    dcb.Parity = parity ? s.Parity : NOPARITY;
    dcb.fParity = parity ? 1 : 0;
    dcb.StopBits = s.StopBits == 2 ? TWOSTOPBITS : ONESTOPBIT;
    dcb.fBinary = 1;
    dcb.fOutxCtsFlow = s.FlowControl == 2 ? 1 : 0;
    dcb.fOutxDsrFlow = 0;
    dcb.fDtrControl = DTR_CONTROL_ENABLE;
    dcb.fDsrSensitivity = 0;
    dcb.fTXContinueOnXoff = 1;
    dcb.fOutX = s.FlowControl == 1 ? 1 : 0;
    dcb.fInX = s.FlowControl == 1 ? 1 : 0;
    dcb.fErrorChar = 0;
    dcb.fNull = 0;
    dcb.fRtsControl = s.FlowControl == 2 ? RTS_CONTROL_HANDSHAKE : RTS_CONTROL_ENABLE;
    dcb.fAbortOnError = 0;
    dcb.XonChar = 17;
    dcb.XoffChar = 19;
}

} // namespace

std::optional<std::string> ResolveDevicePath(const std::string& device) {
    if (ComPortNumber(device) == 0)
        return std::nullopt;
    // The device namespace prefix is what makes COM10 and above reachable.
    return "\\\\.\\" + device;
}

std::unique_ptr<SerialDevice> SerialDevice::Open(const std::string& path, const LineSettings& settings,
                                                 OpenFailure& failure) {
    failure = {};
    HANDLE handle = ::CreateFileW(WideText(path).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                  OPEN_EXISTING, 0, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        const DWORD error = ::GetLastError();
        failure.Reason = SystemErrorText(error);
        // A port is opened without sharing: one that another program holds is refused as denied access.
        failure.Busy = error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION;
        return nullptr;
    }
    auto device = std::make_unique<Win32SerialDevice>(handle);

    // Settings the driver refuses are ignored: the port is open and the caller may still try it.
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    if (::GetCommState(handle, &dcb)) {
        ApplyLineSettings(dcb, settings);
        (void)::SetCommState(handle, &dcb);
    }
    COMMTIMEOUTS timeouts{};
    (void)::GetCommTimeouts(handle, &timeouts);
    timeouts.ReadIntervalTimeout = MAXDWORD;
    timeouts.ReadTotalTimeoutMultiplier = 0;
    timeouts.ReadTotalTimeoutConstant = 0;
    timeouts.WriteTotalTimeoutMultiplier = 0;
    timeouts.WriteTotalTimeoutConstant = 0;
    (void)::SetCommTimeouts(handle, &timeouts);
    (void)::SetupComm(handle, 0xFFFFFFFF, 0xFFFFFFFF);
    // What waits in the input now belongs to an earlier exchange.
    (void)::PurgeComm(handle, PURGE_RXCLEAR | PURGE_RXABORT);
    return device;
}

} // namespace zelo::os
