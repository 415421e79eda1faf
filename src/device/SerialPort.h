#pragma once
#include "model/Error.h"
#include "model/Persistent.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace zelo {

namespace os {
class SerialDevice;
class TcpClient;
} // namespace os

enum class TraceDirection { Sent, Received };

// The byte link to the gateway: a serial port ("COM" + n, or an absolute device path on POSIX) or, for the
// device name "TCP/IP", a TCP client to Host:Port. Settings change only while the link is closed.
class TSerialPort : public TPersistent {
public:
    TSerialPort();
    // The handle and the socket go with the link: what is open is closed.
    ~TSerialPort() override;
    TSerialPort(const TSerialPort&) = delete;
    TSerialPort& operator=(const TSerialPort&) = delete;

    void Assign(const TPersistent& source) override;
    virtual bool Open();
    virtual void Close();
    bool IsOpen() const;

    // Returns the number of bytes NOT written.
    int Write(const void* buffer, int count);
    // Reads until terminator (stored and counted), maxLength bytes, or Timeout ms; returns the bytes stored.
    // Bytes already waiting are taken even once the time is up, so a late read never splits an answer that
    // has arrived; a link found gone ends the read at once.
    std::uint32_t Read(void* buffer, std::uint32_t maxLength, std::uint8_t terminator);

    void SetBaudrate(int value);
    void SetDevice(const std::string& value);
    void SetHost(const std::string& value);
    void SetPort(const std::string& value);
    void SetDataBits(int value);
    void SetStopBits(int value);
    void SetParity(std::uint8_t value);
    void SetFlowControl(std::uint8_t value);

    int Baudrate() const { return Baudrate_; }
    const std::string& Device() const { return Device_; }
    const std::string& Host() const { return Host_; }
    const std::string& Port() const { return Port_; }
    int DataBits() const { return DataBits_; }
    int StopBits() const { return StopBits_; }
    std::uint8_t Parity() const { return Parity_; }
    std::uint8_t FlowControl() const { return FlowControl_; }
    bool TcpMode() const { return TcpMode_; }
    // The device name chooses the TCP link (TcpMode follows it at the next Open).
    bool TcpDevice() const;

    // Time limit of one Read in milliseconds.
    std::int64_t Timeout = 0;

    // Called between the waiting slices of Read and of a TCP connect (at least every 10 ms of waiting), and
    // by a download once after every answer; the window processes its events here.
    std::function<void()> WaitHook;

    // Ends the wait in progress at once (a Read returns what it has, a TCP connect gives up) and every later
    // one until ResumeWaits: a termination request must not sit out a silent gateway. Safe from the wait hook
    // and from another thread.
    void AbortWaits() { WaitsAborted_ = true; }
    void ResumeWaits() { WaitsAborted_ = false; }
    bool WaitsAborted() const { return WaitsAborted_; }

    // Sees every block written and every block a Read took (empty when nothing came), e.g. for a trace.
    std::function<void(TraceDirection, std::string_view)> Trace;

    // The operating system's reason for the last failed Open (errno text), empty when it gave none.
    const std::string& LastOsError() const { return LastOsError_; }

    // Empty while the open link works; the system's reason once a read or a write found the other end gone
    // (hang-up, I/O error, reset, end of stream). Cleared by Close.
    std::string LostReason() const;

protected:
    bool TcpMode_ = false;
    int Baudrate_ = 0;
    std::string Device_;
    std::string Host_;
    std::string Port_;
    int DataBits_ = 0;
    int StopBits_ = 0;
    std::atomic<bool> WaitsAborted_{false};
    std::uint8_t Parity_ = 0;
    std::uint8_t FlowControl_ = 0;
    std::chrono::steady_clock::time_point Deadline{};
    std::string LastOsError_;

    std::unique_ptr<os::SerialDevice> Handle; // null when no port is open
    std::unique_ptr<os::TcpClient> Socket;    // present from a TCP/IP Open until Close
    bool SocketAttempted_ = false;            // a TCP/IP Open ran since the last Close, even one that raised

private:
    void StartDeadline();
    bool DeadlinePassed() const;
};

// A link that did not open: the message for the user ("Can't open COM3!", or the socket's error) and the
// system's reason apart, with the hint to join the device's group where that would help.
class LinkOpenError : public Exception {
public:
    LinkOpenError(const std::string& message, std::string reason)
        : Exception(message), Reason_(std::move(reason)) {}
    const std::string& Reason() const { return Reason_; }

private:
    std::string Reason_;
};

// Opens the link, or raises LinkOpenError however Open failed (false, or its own error).
void OpenLink(TSerialPort& link);

} // namespace zelo
