// Serial ports on POSIX: a tty opened non-blocking and put into raw mode; reads wait with poll().
#include "device/OsLink.h"
#include "device/posix/PosixIo.h"

#include <cerrno>
#include <charconv>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

namespace zelo::os {

namespace {

speed_t SpeedCode(int baudrate) {
    switch (baudrate) {
    case 50:
        return B50;
    case 75:
        return B75;
    case 110:
        return B110;
    case 134:
        return B134;
    case 150:
        return B150;
    case 200:
        return B200;
    case 300:
        return B300;
    case 600:
        return B600;
    case 1200:
        return B1200;
    case 1800:
        return B1800;
    case 2400:
        return B2400;
    case 4800:
        return B4800;
    case 9600:
        return B9600;
    case 19200:
        return B19200;
    case 38400:
        return B38400;
    case 57600:
        return B57600;
    case 115200:
        return B115200;
    case 230400:
        return B230400;
#ifdef B460800
    case 460800:
        return B460800;
#endif
#ifdef B921600
    case 921600:
        return B921600;
#endif
    default:
        return B0; // a rate the driver cannot take: the line keeps its speed
    }
}

void SleepMs(int ms) {
    if (ms <= 0)
        return;
    timespec t{ms / 1000, static_cast<long>(ms % 1000) * 1000000L};
    while (nanosleep(&t, &t) != 0 && errno == EINTR) {
    }
}

} // namespace

// Waits up to waitMs for one byte on a non-blocking descriptor. A hung-up or failing descriptor still takes
// the whole wait, so a caller looping until its deadline does not spin.
int ReadOneByte(int fd, std::uint8_t& byte, int waitMs, bool* peerClosed) {
    ssize_t n = ::read(fd, &byte, 1);
    if (n == 1)
        return 1;
    if (n == 0 && peerClosed != nullptr) {
        *peerClosed = true;
        SleepMs(waitMs);
        return 0;
    }
    if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
        SleepMs(waitMs);
        return 0;
    }
    if (waitMs <= 0)
        return 0;
    pollfd p{fd, POLLIN, 0};
    int ready = ::poll(&p, 1, waitMs);
    if (ready <= 0)
        return 0;
    n = ::read(fd, &byte, 1);
    if (n == 1)
        return 1;
    if (n == 0 && peerClosed != nullptr)
        *peerClosed = true;
    // Readiness without data is a hang-up or an error: wait out the slice rather than return at once.
    if ((p.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0 || n == 0)
        SleepMs(waitMs);
    return 0;
}

namespace {

class PosixSerialDevice final : public SerialDevice {
public:
    explicit PosixSerialDevice(int fd) : fd_(fd) {}
    // Exclusive use is a property of the terminal, not of this descriptor: a pseudo-terminal keeps it after the
    // close, and the next non-root open would fail with EBUSY.
    ~PosixSerialDevice() override {
        (void)::ioctl(fd_, TIOCNXCL);
        ::close(fd_);
    }
    PosixSerialDevice(const PosixSerialDevice&) = delete;
    PosixSerialDevice& operator=(const PosixSerialDevice&) = delete;

    // One synchronous write: waits until every byte is handed over (the port is non-blocking, so by poll).
    int Write(const void* buffer, int count) override {
        const auto* p = static_cast<const std::uint8_t*>(buffer);
        int done = 0;
        while (done < count) {
            ssize_t n = ::write(fd_, p + done, static_cast<std::size_t>(count - done));
            if (n > 0) {
                done += static_cast<int>(n);
            } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
                pollfd pf{fd_, POLLOUT, 0};
                // A stalled line (flow control held off) gives up after a while rather than hang for ever.
                if (::poll(&pf, 1, 5000) <= 0 || (pf.revents & (POLLERR | POLLHUP | POLLNVAL)) != 0)
                    break;
            } else if (n < 0 && errno == EINTR) {
                continue;
            } else {
                break;
            }
        }
        return done;
    }

    int ReadByte(std::uint8_t& byte, int waitMs) override { return ReadOneByte(fd_, byte, waitMs, nullptr); }

private:
    int fd_;
};

void Configure(int fd, const LineSettings& s) {
    termios t{};
    if (::tcgetattr(fd, &t) != 0)
        return;
    ::cfmakeraw(&t);
    speed_t speed = SpeedCode(s.Baudrate);
    if (speed != B0) {
        ::cfsetispeed(&t, speed);
        ::cfsetospeed(&t, speed);
    }
    t.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | PARODD | CSTOPB | CRTSCTS);
#ifdef CMSPAR
    t.c_cflag &= ~static_cast<tcflag_t>(CMSPAR);
#endif
    switch (s.DataBits & 0xFF) {
    case 5:
        t.c_cflag |= CS5;
        break;
    case 6:
        t.c_cflag |= CS6;
        break;
    case 7:
        t.c_cflag |= CS7;
        break;
    default:
        t.c_cflag |= CS8;
        break;
    }
    switch (s.Parity) {
    case 1:
        t.c_cflag |= PARENB | PARODD;
        break;
    case 2:
        t.c_cflag |= PARENB;
        break;
#ifdef CMSPAR
    case 3:
        t.c_cflag |= PARENB | CMSPAR | PARODD;
        break;
    case 4:
        t.c_cflag |= PARENB | CMSPAR;
        break;
#endif
    default:
        break;
    }
    if (s.StopBits == 2)
        t.c_cflag |= CSTOPB;
    t.c_cflag |= CLOCAL | CREAD;
    t.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY);
    if (s.FlowControl == 1) {
        t.c_iflag |= IXON | IXOFF;
        t.c_cc[VSTART] = 17;
        t.c_cc[VSTOP] = 19;
    } else if (s.FlowControl == 2) {
        t.c_cflag |= CRTSCTS;
    }
    t.c_cc[VMIN] = 0;
    t.c_cc[VTIME] = 0;
    // Refused settings are ignored, like the driver's refusals of any other port.
    (void)::tcsetattr(fd, TCSANOW, &t);
    int lines = TIOCM_DTR | TIOCM_RTS;
    (void)::ioctl(fd, TIOCMBIS, &lines);
}

} // namespace

std::optional<std::string> ResolveDevicePath(const std::string& device) {
    if (!device.empty() && device.front() == '/')
        return device;
    if (device.size() < 4 || device.compare(0, 3, "COM") != 0)
        return std::nullopt;
    const char* first = device.data() + 3;
    const char* last = device.data() + device.size();
    int number = 0;
    auto [end, error] = std::from_chars(first, last, number);
    if (error != std::errc{} || end != last || number < 1 || number >= 65535)
        return std::nullopt;
    return "/dev/ttyS" + std::to_string(number - 1);
}

std::unique_ptr<SerialDevice> SerialDevice::Open(const std::string& path, const LineSettings& settings,
                                                 std::string& osError) {
    osError.clear();
    int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        int error = errno;
        osError = std::strerror(error);
        if (error == EACCES)
            osError += " (add the user to the dialout group, then log in again)";
        return nullptr;
    }
    if (!::isatty(fd)) {
        osError = std::strerror(ENOTTY);
        ::close(fd);
        return nullptr;
    }
    // No sharing: later opens by others fail with EBUSY (root excepted).
    (void)::ioctl(fd, TIOCEXCL);
    Configure(fd, settings);
    return std::make_unique<PosixSerialDevice>(fd);
}

} // namespace zelo::os
