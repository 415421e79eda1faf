// Serial ports on Windows: "\\.\COMn" opened for synchronous input and output; reads return at once and are
// polled, so the link can hand control to the window between them.
#include "device/OsLink.h"
#include "device/win32/Win32Os.h"

#include <charconv>
#include <chrono>

#ifndef NOMINMAX
#define NOMINMAX
#endif
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

namespace zelo::os {

std::string SystemErrorText(std::uint32_t code) {
    char* text = nullptr;
    DWORD length = ::FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                        FORMAT_MESSAGE_IGNORE_INSERTS,
                                    nullptr, code, 0, reinterpret_cast<LPSTR>(&text), 0, nullptr);
    std::string result;
    if (length != 0 && text != nullptr)
        result.assign(text, length);
    if (text != nullptr)
        ::LocalFree(text);
    while (!result.empty() &&
           (result.back() == '\n' || result.back() == '\r' || result.back() == ' ' || result.back() == '.'))
        result.pop_back();
    if (result.empty())
        result = "Error " + std::to_string(code);
    return result;
}

namespace {

class Win32SerialDevice final : public SerialDevice {
public:
    explicit Win32SerialDevice(HANDLE handle) : handle_(handle) {}
    ~Win32SerialDevice() override { ::CloseHandle(handle_); }
    Win32SerialDevice(const Win32SerialDevice&) = delete;
    Win32SerialDevice& operator=(const Win32SerialDevice&) = delete;

    // One synchronous write; the write time-outs are off, so it returns when every byte is handed over.
    int Write(const void* buffer, int count) override {
        if (count <= 0)
            return 0;
        DWORD written = 0;
        if (!::WriteFile(handle_, buffer, static_cast<DWORD>(count), &written, nullptr))
            return 0;
        return static_cast<int>(written);
    }

    // The read time-outs make ReadFile return at once with what has arrived, so the wait is a poll in steps
    // of the shortest sleep: it ends soon after a byte is there, and once waitMs has passed (give or take the
    // system's timer tick).
    int ReadByte(std::uint8_t& byte, int waitMs) override {
        using Clock = std::chrono::steady_clock;
        const auto deadline = Clock::now() + std::chrono::milliseconds(waitMs > 0 ? waitMs : 0);
        for (;;) {
            DWORD got = 0;
            if (::ReadFile(handle_, &byte, 1, &got, nullptr) && got == 1)
                return 1;
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
            if (left <= 0)
                return 0;
            ::Sleep(1);
        }
    }

private:
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

int ComPortNumber(const std::string& device) {
    if (device.size() < 4 || device.compare(0, 3, "COM") != 0)
        return 0;
    const char* first = device.data() + 3;
    const char* last = device.data() + device.size();
    int number = 0;
    auto [end, error] = std::from_chars(first, last, number);
    if (error != std::errc{} || end != last || number < 1 || number >= 65535)
        return 0;
    return number;
}

std::optional<std::string> ResolveDevicePath(const std::string& device) {
    if (ComPortNumber(device) == 0)
        return std::nullopt;
    // The device namespace prefix is what makes COM10 and above reachable.
    return "\\\\.\\" + device;
}

std::unique_ptr<SerialDevice> SerialDevice::Open(const std::string& path, const LineSettings& settings,
                                                 std::string& osError) {
    osError.clear();
    HANDLE handle =
        ::CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        osError = SystemErrorText(::GetLastError());
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
    return device;
}

} // namespace zelo::os
