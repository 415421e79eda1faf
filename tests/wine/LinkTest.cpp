// The link's Windows layer: the COM name checks and the TCP branch against a Winsock peer on the loopback
// interface.
#include "LoopbackPeer.h"
#include "Watchdog.h"
#include "device/SerialPort.h"
#include "model/Error.h"
#include "os/Serial.h"
#include "os/win32/Win32Os.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>

using namespace zelo;
using zelo::test::LoopbackPeer;
using Clock = std::chrono::steady_clock;

namespace {

std::chrono::milliseconds Since(Clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
}

// A link in its TCP form, connected to the peer.
struct TcpLink {
    LoopbackPeer peer;
    TSerialPort link;
    TcpLink() {
        link.SetDevice("TCP/IP");
        link.SetHost("127.0.0.1");
        link.SetPort(std::to_string(peer.Port()));
    }
    ~TcpLink() { link.Close(); }
    void Open() {
        ASSERT_TRUE(link.Open());
        ASSERT_TRUE(peer.Accept());
        ASSERT_TRUE(link.IsOpen());
    }
    std::string Read(std::uint32_t maxLength, std::uint8_t terminator = 13) {
        std::string buffer(maxLength, '\0');
        buffer.resize(link.Read(buffer.data(), maxLength, terminator));
        return buffer;
    }
};

} // namespace

// Which of the system's errors mean that the port is gone (a pulled adapter, a driver gone away): the link
// says so at once. Wine's pseudo-terminals may hide a hang-up, so the mapping itself is what is tested.
TEST(Win32Link, TheErrorsOfAPortThatIsGoneMeanALostLink) {
    for (const DWORD gone : {ERROR_DEVICE_REMOVED, ERROR_DEV_NOT_EXIST, ERROR_BAD_COMMAND, ERROR_GEN_FAILURE,
                             ERROR_IO_DEVICE, ERROR_ACCESS_DENIED, ERROR_INVALID_HANDLE, ERROR_FILE_NOT_FOUND,
                             ERROR_NOT_READY, ERROR_DEVICE_NOT_CONNECTED, ERROR_OPERATION_ABORTED})
        EXPECT_TRUE(os::MeansPortGone(gone)) << gone;
    // A pause, a refused setting or a function the driver lacks (Wine's ptys): the port is still there.
    for (const DWORD there : {ERROR_SUCCESS, ERROR_IO_PENDING, ERROR_TIMEOUT, ERROR_NOT_SUPPORTED,
                              ERROR_INVALID_PARAMETER, ERROR_SEM_TIMEOUT})
        EXPECT_FALSE(os::MeansPortGone(there)) << there;
}

// A USB adapter in the port list: the maker and the product, without the port its name repeats.
TEST(Win32Link, AUsbAdapterIsDescribedByItsMakerAndProduct) {
    EXPECT_EQ(os::UsbPortDescription("FTDI", "USB Serial Port (COM3)"), "FTDI USB Serial Port");
    EXPECT_EQ(os::UsbPortDescription("Prolific", "Prolific USB-to-Serial (COM12)"), "Prolific USB-to-Serial");
    EXPECT_EQ(os::UsbPortDescription("(Standard port types)", "USB Serial (COM5)"), "USB Serial");
}

TEST(Win32Link, ComNamesThatNameNoPortAreRefusedBeforeTheSystemIsAsked) {
    for (const char* name : {"", "COM", "COMX", "com1", "Com1", "COM1X", "COM 1", "XCOM1", "COM65535", "COM0",
                             "COM-1", "COM99999999999", "\\\\.\\COM1"}) {
        SCOPED_TRACE(name);
        EXPECT_FALSE(os::ResolveDevicePath(name).has_value());
        TSerialPort link;
        link.SetDevice(name);
        EXPECT_FALSE(link.Open());
        EXPECT_FALSE(link.IsOpen());
        EXPECT_EQ(link.LastOsError(), "") << "no system call was made";
        link.Close();
    }
}

TEST(Win32Link, ComNamesOpenInTheDeviceNamespace) {
    const struct {
        const char* name;
        const char* path;
    } cases[] = {
        {"COM1", "\\\\.\\COM1"},     {"COM9", "\\\\.\\COM9"},         {"COM12", "\\\\.\\COM12"},
        {"COM255", "\\\\.\\COM255"}, {"COM65534", "\\\\.\\COM65534"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(os::ResolveDevicePath(c.name).value_or("none"), c.path) << c.name;
}

TEST(Win32Link, APortThatDoesNotExistFailsWithTheSystemsReason) {
    TSerialPort link;
    link.SetDevice("COM201");
    EXPECT_FALSE(link.Open());
    EXPECT_FALSE(link.IsOpen());
    EXPECT_NE(link.LastOsError(), "");
    const char bytes[] = "#CG\r";
    EXPECT_EQ(link.Write(bytes, 4), 4) << "a closed link writes nothing";
    link.Close();
    link.Close();
}

TEST(Win32Link, TcpCommandAndAnswerRoundTrip) {
    TcpLink t;
    t.Open();
    EXPECT_EQ(t.link.Write("#CG\r", 4), 0);
    EXPECT_EQ(t.peer.Receive(4), "#CG\r");
    t.peer.Send("Ok\r");
    EXPECT_EQ(t.Read(100), "Ok\r");
}

TEST(Win32Link, TcpBytesBehindTheTerminatorWaitForTheNextRead) {
    TcpLink t;
    t.Open();
    t.peer.Send("Ok\rERR 3\r");
    EXPECT_EQ(t.Read(100), "Ok\r");
    EXPECT_EQ(t.Read(100), "ERR 3\r");
}

TEST(Win32Link, TcpReadStopsAtTheLengthLimitAndKeepsTheRest) {
    TcpLink t;
    t.Open();
    t.peer.Send("abcdef\r");
    EXPECT_EQ(t.Read(4), "abcd");
    EXPECT_EQ(t.Read(100), "ef\r");
}

TEST(Win32Link, TcpReadWithoutTerminator_WaitsForTimeout) {
    const zelo::test::Watchdog watchdog(30);
    TcpLink t;
    t.Open();
    t.link.Timeout = 150;
    int hookCalls = 0;
    t.link.WaitHook = [&] { ++hookCalls; };
    t.peer.Send("Ok");
    const auto start = Clock::now();
    EXPECT_EQ(t.Read(100), "Ok");
    const auto took = Since(start);
    EXPECT_GE(took.count(), 150);
    EXPECT_LT(took.count(), 1500);
    // The window gets its events at least every 10 ms of waiting.
    EXPECT_GE(hookCalls, 5);
}

TEST(Win32Link, TcpReadWithoutAnyByte_WaitsForTimeout) {
    const zelo::test::Watchdog watchdog(30);
    TcpLink t;
    t.Open();
    t.link.Timeout = 100;
    const auto start = Clock::now();
    EXPECT_EQ(t.Read(100), "");
    EXPECT_GE(Since(start).count(), 100);
    EXPECT_TRUE(t.link.IsOpen());
}

// A connection the peer ends is recognised at once, not after the read's time limit, with the reason.
TEST(Win32Link, TcpPeerThatGoesAwayIsRecognisedAtOnce) {
    const struct {
        const char* name;
        bool reset;
        std::string sentBefore;
    } cases[] = {{"orderly close", false, "O"}, {"reset", true, ""}};
    for (const auto& c : cases) {
        TcpLink t;
        t.Open();
        t.link.Timeout = 3000;
        t.peer.Send(c.sentBefore);
        if (c.reset)
            t.peer.ResetClient();
        else
            t.peer.CloseClient();
        const auto start = Clock::now();
        EXPECT_EQ(t.Read(100), c.sentBefore) << c.name;
        EXPECT_LT(Since(start).count(), 1500) << c.name;
        EXPECT_FALSE(t.link.IsOpen()) << c.name;
        // Windows reports the reset with its own text; Wine closes a socket with a zero linger in order, so
        // the reset may read as the end of the stream there.
        if (c.reset) {
            EXPECT_NE(t.link.LostReason(), "") << c.name;
        } else {
            EXPECT_EQ(t.link.LostReason(), "Connection closed by peer") << c.name;
        }
        EXPECT_EQ(t.link.Write("#CG\r", 4), 4) << c.name << ": nothing goes to a closed connection";
    }
}

// A host that does not answer holds the connect at most 5 s, with the wait hook called meanwhile.
TEST(Win32Link, TcpConnectThatIsNotAnsweredEndsAfterFiveSeconds_WaitsForTimeout) {
    const zelo::test::Watchdog watchdog(20);
    LoopbackPeer peer;
    peer.FillBacklog();
    TSerialPort link;
    link.SetDevice("TCP/IP");
    link.SetHost("127.0.0.1");
    link.SetPort(std::to_string(peer.Port()));
    int hookCalls = 0;
    link.WaitHook = [&] { ++hookCalls; };
    const auto start = Clock::now();
    EXPECT_THROW(link.Open(), Exception);
    const auto took = Since(start).count();
    EXPECT_EQ(link.LastOsError(), "Connection timed out");
    EXPECT_GE(took, 4900);
    EXPECT_LT(took, 8000);
    EXPECT_GE(hookCalls, 100);
    link.Close();
}

TEST(Win32Link, TcpSendToAPeerThatDoesNotRead_WaitsForTimeout) {
    const zelo::test::Watchdog watchdog(30);
    TcpLink t;
    t.Open();
    // Far more than the two socket buffers hold, so the send cannot complete.
    const std::string block(64 * 1024 * 1024, 'x');
    const auto start = Clock::now();
    EXPECT_EQ(t.link.Write(block.data(), static_cast<int>(block.size())), static_cast<int>(block.size()))
        << "a send that does not complete in time reports nothing written";
    const auto took = Since(start);
    EXPECT_GE(took.count(), 500);
    EXPECT_LT(took.count(), 5000);
}

TEST(Win32Link, TcpConnectRefusedRaisesTheSocketErrorUntilClosed) {
    TSerialPort link;
    link.SetDevice("TCP/IP");
    link.SetHost("127.0.0.1");
    link.SetPort(std::to_string(LoopbackPeer::UnusedPort()));
    for (int attempt = 0; attempt < 2; ++attempt) {
        SCOPED_TRACE(attempt);
        try {
            link.Open();
            ADD_FAILURE() << "Open must raise";
        } catch (const Exception& e) {
            EXPECT_EQ(e.Message(), "Error while opening socket to 127.0.0.1!");
        }
        EXPECT_NE(link.LastOsError(), "");
        EXPECT_FALSE(link.IsOpen());
        EXPECT_FALSE(link.Open()) << "the left-over attempt blocks a new one until Close";
        link.Close();
    }
}
