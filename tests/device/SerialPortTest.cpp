#include "device/SerialPort.h"
#include "DeviceTestSupport.h"
#include "Watchdog.h"
#include "model/EibGroup.h"
#include "model/Error.h"
#include "os/Ports.h"
#include "os/posix/PosixIo.h"
#include "sim/GatewaySim.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <functional>
#include <gtest/gtest.h>
#include <iostream>
#include <netinet/in.h>
#include <optional>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

using namespace zelo;
using namespace zelo::test;
using namespace std::chrono_literals;

namespace {

std::string ReadText(TSerialPort& link, std::uint32_t maxLength, std::uint8_t terminator = 13) {
    std::string buffer(maxLength, '\0');
    std::uint32_t n = link.Read(buffer.data(), maxLength, terminator);
    buffer.resize(n);
    return buffer;
}

// A loopback port on which nothing listens: bound, then released.
int FreeTcpPort() {
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
    socklen_t len = sizeof a;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
    ::close(fd);
    return ntohs(a.sin_port);
}

} // namespace

TEST(SerialPort, ConstructionAppliesTheDefaults) {
    TSerialPort link;
    EXPECT_EQ(link.Baudrate(), 19200);
    EXPECT_EQ(link.Device(), "COM1");
    EXPECT_EQ(link.Host(), "");
    EXPECT_EQ(link.Port(), "");
    EXPECT_EQ(link.DataBits(), 8);
    EXPECT_EQ(link.StopBits(), 1);
    EXPECT_EQ(link.Parity(), 0);
    EXPECT_EQ(link.FlowControl(), 0);
    EXPECT_EQ(link.Timeout, 1000);
    EXPECT_FALSE(link.TcpMode());
    EXPECT_FALSE(link.IsOpen());
}

TEST(SerialPort, SetDeviceChoosesTheTimeoutByName) {
    TSerialPort link;
    link.SetDevice("TCP/IP");
    EXPECT_EQ(link.Timeout, 5000);
    link.SetDevice("tcp/ip"); // the name is case-sensitive
    EXPECT_EQ(link.Timeout, 1000);
    link.SetDevice("TCP/IP");
    link.Timeout = 77;
    link.SetDevice("COM3");
    EXPECT_EQ(link.Device(), "COM3");
    EXPECT_EQ(link.Timeout, 1000);
}

TEST(SerialPort, NamesThatNameNoSerialDeviceDoNotOpen) {
    for (const char* name : {"", "COM", "COMX", "com1", "COM65535", "COM0", "COM-1", "COM1x", "COM 1",
                             "ttyS0", "dev/ttyS0", "TCP", "tcp/ip"}) {
        TSerialPort link;
        link.SetDevice(name);
        EXPECT_FALSE(link.Open()) << name;
        EXPECT_FALSE(link.IsOpen()) << name;
        EXPECT_EQ(link.LastOsError(), "") << name;
        link.Close();
    }
}

TEST(SerialPort, FailedOpenOfAPathKeepsTheSystemsReason) {
    struct Case {
        std::string Path;
        std::string Reason;
    };
    for (const Case& c : {Case{"/nonexistent/ttyUSB9", "No such file or directory"},
                          Case{"/dev/null", "Inappropriate ioctl for device"}}) {
        TSerialPort link;
        link.SetDevice(c.Path);
        EXPECT_FALSE(link.Open()) << c.Path;
        EXPECT_FALSE(link.IsOpen());
        EXPECT_EQ(link.LastOsError(), c.Reason);
        link.Close();
    }
}

TEST(SerialPort, OpenTwiceKeepsTheOpenLinkAndCloseIsIdempotent) {
    RawPty pty;
    TSerialPort link;
    link.SetDevice(pty.SlavePath());
    ASSERT_TRUE(link.Open());
    EXPECT_TRUE(link.IsOpen());
    EXPECT_FALSE(link.Open());
    EXPECT_TRUE(link.IsOpen());
    EXPECT_EQ(link.Write("ab", 2), 0);
    EXPECT_EQ(pty.ReadAvailable(), "ab");
    link.Close();
    EXPECT_FALSE(link.IsOpen());
    link.Close();
    EXPECT_EQ(link.Write("ab", 2), 2);
    EXPECT_EQ(pty.ReadAvailable(), "");
    char byte = 0;
    EXPECT_EQ(link.Read(&byte, 1, 13), 0u);
    ASSERT_TRUE(link.Open()); // a closed link opens again
    link.Close();
}

TEST(SerialPort, SettersChangeNothingWhileOpen) {
    RawPty pty;
    TSerialPort link;
    link.SetDevice(pty.SlavePath());
    ASSERT_TRUE(link.Open());
    link.Timeout = 1234;
    link.SetBaudrate(9600);
    link.SetDevice("COM2");
    link.SetHost("h");
    link.SetPort("1");
    link.SetDataBits(7);
    link.SetStopBits(2);
    link.SetParity(2);
    link.SetFlowControl(1);
    EXPECT_EQ(link.Baudrate(), 19200);
    EXPECT_EQ(link.Device(), pty.SlavePath());
    EXPECT_EQ(link.Host(), "");
    EXPECT_EQ(link.Port(), "");
    EXPECT_EQ(link.DataBits(), 8);
    EXPECT_EQ(link.StopBits(), 1);
    EXPECT_EQ(link.Parity(), 0);
    EXPECT_EQ(link.FlowControl(), 0);
    EXPECT_EQ(link.Timeout, 1000); // SetDevice keeps the name but resets the timeout
    link.Close();
    link.SetBaudrate(9600);
    EXPECT_EQ(link.Baudrate(), 9600);
}

TEST(SerialPort, OpenPutsTheLineIntoRawModeWithItsSettings) {
    RawPty pty;
    TSerialPort link;
    link.SetDevice(pty.SlavePath());
    link.SetBaudrate(9600);
    link.SetStopBits(2);
    ASSERT_TRUE(link.Open());
    termios t{};
    ASSERT_EQ(::tcgetattr(pty.SlaveFd(), &t), 0);
    EXPECT_EQ(::cfgetospeed(&t), static_cast<speed_t>(B9600));
    EXPECT_EQ(t.c_lflag & (ICANON | ECHO | ISIG), 0u);
    EXPECT_EQ(t.c_iflag & (IXON | ICRNL), 0u);
    EXPECT_EQ(t.c_oflag & OPOST, 0u);
    EXPECT_EQ(t.c_cc[VMIN], 0);
    EXPECT_EQ(t.c_cc[VTIME], 0);
    link.Close();

    // A rate the driver does not know is ignored: the port opens and keeps its speed.
    link.SetBaudrate(12345);
    ASSERT_TRUE(link.Open());
    ASSERT_EQ(::tcgetattr(pty.SlaveFd(), &t), 0);
    EXPECT_EQ(::cfgetospeed(&t), static_cast<speed_t>(B9600));
    link.Close();
}

TEST(SerialPort, ReadStopsAtTheTerminatorAndLeavesTheRestQueued) {
    RawPty pty;
    TSerialPort link;
    link.SetDevice(pty.SlavePath());
    ASSERT_TRUE(link.Open());
    pty.Write("Ok\rNext\rabcdefghij");
    EXPECT_EQ(ReadText(link, 100), "Ok\r");
    EXPECT_EQ(ReadText(link, 100), "Next\r");
    EXPECT_EQ(ReadText(link, 4), "abcd"); // the limit ends the read without a terminator
    EXPECT_EQ(ReadText(link, 6, 'f'), "ef");
    EXPECT_EQ(ReadText(link, 1), "g");
    link.Close();
}

TEST(SerialPort, ReadWithoutTerminator_WaitsForTimeout) {
    const zelo::test::Watchdog watchdog(30);
    RawPty pty;
    TSerialPort link;
    link.SetDevice(pty.SlavePath());
    ASSERT_TRUE(link.Open());
    for (const std::string sent : {"", "Ok"}) {
        link.Timeout = 60;
        pty.Write(sent);
        auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(ReadText(link, 100), sent);
        EXPECT_GE(MsSince(start), 60);
        EXPECT_LT(MsSince(start), 2000);
    }
    link.Close();
}

// A busy machine may wake the reader after its deadline although the answer came in time: the bytes that are
// there are still taken, so an answer is never split into a piece and a stale rest for the next read.
TEST(SerialPort, ReadTakesWhatHasArrivedEvenOnceTheTimeIsUp) {
    const zelo::test::Watchdog watchdog(30);
    const struct {
        const char* name;
        std::int64_t timeout;
        bool stallInHook; // the answer comes during a wait that overruns the deadline
    } cases[] = {
        {"no time at all", 0, false},
        {"a time already past", -50, false},
        {"a reader woken late", 30, true},
    };
    for (const auto& c : cases) {
        RawPty pty;
        TSerialPort link;
        link.SetDevice(pty.SlavePath());
        ASSERT_TRUE(link.Open());
        link.Timeout = c.timeout;
        if (c.stallInHook) {
            bool stalled = false;
            link.WaitHook = [&, stalled]() mutable {
                if (stalled)
                    return;
                stalled = true;
                pty.Write("Ok\rERR 7\rab");
                const auto until =
                    std::chrono::steady_clock::now() + std::chrono::milliseconds(c.timeout * 2);
                while (std::chrono::steady_clock::now() < until) {
                } // a stalled process, not a wait for something
            };
        } else {
            pty.Write("Ok\rERR 7\rab");
        }
        EXPECT_EQ(ReadText(link, 100), "Ok\r") << c.name;
        EXPECT_EQ(ReadText(link, 100), "ERR 7\r") << c.name;
        EXPECT_EQ(ReadText(link, 100), "ab") << c.name;
        EXPECT_EQ(ReadText(link, 100), "") << c.name;
        link.Close();
    }
}

TEST(SerialPort, ReadCallsTheWaitHookAndTakesBytesThatArriveMeanwhile) {
    const zelo::test::Watchdog watchdog(30);
    RawPty pty;
    TSerialPort link;
    link.SetDevice(pty.SlavePath());
    ASSERT_TRUE(link.Open());
    int calls = 0;
    link.WaitHook = [&] {
        if (++calls == 3)
            pty.Write("Ok\r");
    };
    EXPECT_EQ(ReadText(link, 100), "Ok\r");
    EXPECT_GE(calls, 3);

    // A hook that closes the link ends the wait.
    link.WaitHook = [&] { link.Close(); };
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(ReadText(link, 100), "");
    EXPECT_LT(MsSince(start), 500);
    EXPECT_FALSE(link.IsOpen());
}

TEST(SerialPort, AssignCopiesTheSettingsThroughTheSetters) {
    TSerialPort source;
    source.SetBaudrate(9600);
    source.SetDevice("TCP/IP");
    source.SetHost("gateway");
    source.SetPort("4001");
    source.SetDataBits(7);
    source.SetStopBits(2);
    source.SetParity(2);
    source.SetFlowControl(1);
    TSerialPort target;
    target.Assign(source);
    EXPECT_EQ(target.Baudrate(), 9600);
    EXPECT_EQ(target.Device(), "TCP/IP");
    EXPECT_EQ(target.Timeout, 5000);
    EXPECT_EQ(target.Host(), "gateway");
    EXPECT_EQ(target.Port(), "4001");
    EXPECT_EQ(target.DataBits(), 7);
    EXPECT_EQ(target.StopBits(), 2);
    EXPECT_EQ(target.Parity(), 2);
    EXPECT_EQ(target.FlowControl(), 1);

    target.Assign(target);
    EXPECT_EQ(target.Host(), "gateway");

    TSerialPort untouched;
    untouched.Assign(TEibGroup{}); // another kind of object: nothing happens
    EXPECT_EQ(untouched.Device(), "COM1");

    RawPty pty;
    TSerialPort open;
    open.SetDevice(pty.SlavePath());
    ASSERT_TRUE(open.Open());
    open.Assign(source);
    EXPECT_EQ(open.Baudrate(), 19200);
    EXPECT_EQ(open.Device(), pty.SlavePath());
    EXPECT_EQ(open.Timeout, 1000);
    open.Close();
}

TEST(SerialPortTcp, BadPortRaisesAndBlocksReopeningUntilClose) {
    TSerialPort link;
    link.SetDevice("TCP/IP");
    try {
        link.Open();
        FAIL() << "no error raised";
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message(), "Error while opening socket to !");
    }
    EXPECT_FALSE(link.IsOpen());
    EXPECT_FALSE(link.Open()); // the failed attempt is left over until Close
    link.SetHost("127.0.0.1"); // setters work meanwhile: the link is not open
    EXPECT_EQ(link.Host(), "127.0.0.1");
    link.Close();
    EXPECT_THROW(link.Open(), Exception); // tries again
    link.Close();
}

TEST(SerialPortTcp, RefusedConnectionNamesTheHostAndKeepsTheReason) {
    TSerialPort link;
    link.SetDevice("TCP/IP");
    link.SetHost("127.0.0.1");
    link.SetPort(std::to_string(FreeTcpPort()));
    try {
        link.Open();
        FAIL() << "no error raised";
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message(), "Error while opening socket to 127.0.0.1!");
    }
    EXPECT_EQ(link.LastOsError(), "Connection refused");
    EXPECT_FALSE(link.IsOpen());
    link.Close();
}

// However Open fails (false, false with the system's reason, its own error), OpenLink raises one
// LinkOpenError with the message and the reason apart.
TEST(SerialPort, OpenLinkRaisesOneErrorForEveryFailure) {
    const struct {
        std::string Device, Port, Message, Reason;
    } cases[] = {
        {"COMX", "", "Can't open COMX!", ""},
        {"/nonexistent/ttyUSB9", "", "Can't open /nonexistent/ttyUSB9!", "No such file or directory"},
        {"TCP/IP", "x", "Error while opening socket to 127.0.0.1!", "'x' is not a valid port number"},
        {"TCP/IP", std::to_string(FreeTcpPort()), "Error while opening socket to 127.0.0.1!",
         "Connection refused"},
    };
    for (const auto& c : cases) {
        TSerialPort link;
        link.SetDevice(c.Device);
        link.SetHost("127.0.0.1");
        link.SetPort(c.Port);
        try {
            OpenLink(link);
            ADD_FAILURE() << c.Device << " opened";
        } catch (const LinkOpenError& e) {
            EXPECT_EQ(e.Message(), c.Message);
            EXPECT_EQ(e.Reason(), c.Reason);
        }
        link.Close();
    }
}

TEST(SerialPortTcp, ExchangesBytesWithTheSimulatorAndNoticesItsEnd) {
    auto sim = std::make_unique<sim::GatewaySim>();
    int port = sim->ListenTcp(0);
    sim->Start();
    TSerialPort link;
    link.SetDevice("TCP/IP");
    link.SetHost("localhost");
    link.SetPort(std::to_string(port));
    ASSERT_TRUE(link.Open());
    EXPECT_TRUE(link.IsOpen());
    EXPECT_TRUE(link.TcpMode());
    EXPECT_EQ(link.Timeout, 5000);
    EXPECT_EQ(link.Write("#CG\r#CF\r", 8), 0);
    EXPECT_EQ(ReadText(link, 100), "Ok\r");
    EXPECT_EQ(ReadText(link, 100), "Ok\r");
    EXPECT_EQ(sim->Received(), (std::vector<std::string>{"#CG", "#CF"}));

    sim.reset(); // the gateway goes away: the link sees the connection end
    link.Timeout = 2000;
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(ReadText(link, 100), "");
    EXPECT_LT(MsSince(start), 1000);
    EXPECT_FALSE(link.IsOpen());
    EXPECT_EQ(link.Write("x\r", 2), 2);
    link.Close();
}

TEST(SerialPortTcp, ConnectsOverIpv6) {
    int listener = ::socket(AF_INET6, SOCK_STREAM, 0);
    sockaddr_in6 a{};
    a.sin6_family = AF_INET6;
    a.sin6_addr = in6addr_loopback;
    if (listener < 0 || ::bind(listener, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
        if (listener >= 0)
            ::close(listener);
        GTEST_SKIP() << "no IPv6 loopback here";
    }
    ASSERT_EQ(::listen(listener, 1), 0);
    socklen_t len = sizeof a;
    ::getsockname(listener, reinterpret_cast<sockaddr*>(&a), &len);
    TSerialPort link;
    link.SetDevice("TCP/IP");
    link.SetHost("::1");
    link.SetPort(std::to_string(ntohs(a.sin6_port)));
    ASSERT_TRUE(link.Open());
    int peer = ::accept(listener, nullptr, nullptr);
    ASSERT_GE(peer, 0);
    EXPECT_EQ(link.Write("#CG\r", 4), 0);
    char got[4] = {};
    EXPECT_EQ(::recv(peer, got, 4, MSG_WAITALL), 4);
    EXPECT_EQ(std::string(got, 4), "#CG\r");
    EXPECT_EQ(::send(peer, "Ok\r", 3, 0), 3);
    EXPECT_EQ(ReadText(link, 100), "Ok\r");
    link.Close();
    ::close(peer);
    ::close(listener);
}

namespace {

// Both ends of a loopback TCP connection.
struct TcpPair {
    int client = -1;
    int server = -1;
    TcpPair() {
        int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof a;
        ::bind(listener, reinterpret_cast<sockaddr*>(&a), sizeof a);
        ::listen(listener, 1);
        ::getsockname(listener, reinterpret_cast<sockaddr*>(&a), &len);
        client = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        ::connect(client, reinterpret_cast<sockaddr*>(&a), sizeof a);
        server = ::accept(listener, nullptr, nullptr);
        ::close(listener);
        ::fcntl(client, F_SETFL, ::fcntl(client, F_GETFL) | O_NONBLOCK);
    }
    ~TcpPair() {
        ::close(client);
        if (server >= 0)
            ::close(server);
    }
    // Ends the connection with a reset instead of an orderly close.
    void Reset() {
        linger hard{1, 0};
        ::setsockopt(server, SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
        ::close(server);
        server = -1;
    }
};

} // namespace

// A read on a descriptor that fails: a failure that means the link is gone ends the read at once, any other
// failure (or no byte) waits out its slice, so a caller looping until its deadline never spins.
TEST(PosixRead, OnlyALinkThatIsGoneEndsTheWaitAtOnce_WaitsForTimeout) {
    const zelo::test::Watchdog watchdog(60);
    constexpr int Slice = 200;
    struct Result {
        os::ReadStatus Status;
        std::string Reason;
        long long Ms;
    };
    auto readOnce = [](int fd, os::ZeroRead zeroRead) {
        std::uint8_t byte = 0;
        std::string reason;
        const auto start = std::chrono::steady_clock::now();
        const os::ReadStatus status = os::ReadOneByte(fd, byte, Slice, zeroRead, reason);
        return Result{status, reason, MsSince(start)};
    };
    const struct {
        const char* name;
        std::function<std::optional<Result>()> run; // nullopt: this system does not let the test set it up
        os::ReadStatus status;
        std::string reason;
    } cases[] = {
        {"terminal whose other side closed",
         [&] {
             RawPty pty;
             int fd = ::open(pty.SlavePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
             pty.CloseMaster();
             std::optional<Result> r = readOnce(fd, os::ZeroRead::NoData);
             ::close(fd);
             return r;
         },
         os::ReadStatus::Lost, "Input/output error"},
        {"terminal that hung up",
         [&] {
             RawPty pty;
             int fd = ::open(pty.SlavePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
             if (::ioctl(fd, TIOCVHANGUP) != 0) {
                 ::close(fd);
                 return std::optional<Result>(); // a hang-up takes CAP_SYS_ADMIN
             }
             std::optional<Result> r = readOnce(fd, os::ZeroRead::NoData);
             ::close(fd);
             return r;
         },
         os::ReadStatus::Lost, "Input/output error"},
        {"connection the peer closed",
         [&] {
             TcpPair pair;
             ::close(pair.server);
             pair.server = -1;
             return std::optional<Result>(readOnce(pair.client, os::ZeroRead::EndOfStream));
         },
         os::ReadStatus::Lost, "Connection closed by peer"},
        {"connection the peer reset",
         [&] {
             TcpPair pair;
             pair.Reset();
             return std::optional<Result>(readOnce(pair.client, os::ZeroRead::EndOfStream));
         },
         os::ReadStatus::Lost, "Connection reset by peer"},
        {"descriptor that fails otherwise (a folder)",
         [&] {
             int fd = ::open("/", O_RDONLY | O_DIRECTORY);
             std::optional<Result> r = readOnce(fd, os::ZeroRead::NoData);
             ::close(fd);
             return r;
         },
         os::ReadStatus::Nothing, ""},
        {"quiet terminal",
         [&] {
             RawPty pty;
             int fd = ::open(pty.SlavePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
             std::optional<Result> r = readOnce(fd, os::ZeroRead::NoData);
             ::close(fd);
             return r;
         },
         os::ReadStatus::Nothing, ""},
    };
    for (const auto& c : cases) {
        const std::optional<Result> result = c.run();
        if (!result) {
            std::cout << "[ row skipped ] " << c.name << ": needs CAP_SYS_ADMIN\n";
            continue;
        }
        const Result& r = *result;
        EXPECT_EQ(r.Status, c.status) << c.name;
        EXPECT_EQ(r.Reason, c.reason) << c.name;
        if (c.status == os::ReadStatus::Lost) {
            EXPECT_LT(r.Ms, Slice / 2) << c.name << ": a link that is gone must not be waited for";
        } else {
            EXPECT_GE(r.Ms, Slice) << c.name << ": a failure must not end the wait early (a busy loop)";
            EXPECT_LT(r.Ms, Slice * 10) << c.name;
        }
    }
}

// Every tty with a device behind it, each once and under its best name: a by-id link first, a Raspberry Pi's
// serial0 with its target's name; no virtual console (tty1), no 8250 placeholder (ttyS1, port type 0), no tty
// without a device (ttyS3) or without its node (ttyACM0), no link that leads nowhere (serial1). The tree
// under sysfs/ plays the system, never the build machine's devices.
TEST(PortList, EveryRealSerialPortOnceWithItsDescription) {
    const std::vector<std::vector<std::string>> expected = {
        {"/dev/serial/by-id/usb-FTDI_FT232R-if00-port0", "FTDI FT232R USB UART", "/dev/ttyUSB0"},
        {"/dev/serial0", "ttyAMA0, serial port, uart-pl011", "/dev/ttyAMA0"},
        {"/dev/ttyS0", "serial port, serial8250", "/dev/ttyS0"},
        {"/dev/ttyS2", "serial port", "/dev/ttyS2"},
    };
    std::vector<std::vector<std::string>> listed;
    for (const os::PortInfo& port : os::ListSerialPortsUnder(ZELO_SOURCE_DIR "/tests/device/sysfs"))
        listed.push_back({port.Path, port.Description, port.Device});
    EXPECT_EQ(listed, expected);
}
