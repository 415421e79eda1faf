// Serial ports on POSIX: a tty opened non-blocking, locked and put into raw mode; reads wait with poll().
#include "os/Serial.h"
#include "os/posix/PosixIo.h"

#include <cerrno>
#include <charconv>
#include <cstring>
#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>
#include <vector>

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

} // namespace

namespace {

class PosixSerialDevice final : public SerialDevice {
public:
    explicit PosixSerialDevice(int fd) : fd_(fd) {}
    // Exclusive use is a property of the terminal, not of this descriptor: a pseudo-terminal keeps it after
    // the close, and the next non-root open would fail with EBUSY. The lock goes with the descriptor.
    ~PosixSerialDevice() override {
        (void)::ioctl(fd_, TIOCNXCL);
        ::close(fd_);
    }

    // One synchronous write: waits until every byte is handed over (the port is non-blocking, so by poll).
    int Write(const void* buffer, int count) override {
        if (Lost())
            return 0;
        const auto* p = static_cast<const std::uint8_t*>(buffer);
        int done = 0;
        while (done < count) {
            ssize_t n = ::write(fd_, p + done, static_cast<std::size_t>(count - done));
            if (n > 0) {
                done += static_cast<int>(n);
                continue;
            }
            const int error = n < 0 ? errno : EAGAIN;
            if (error == EINTR)
                continue;
            if (error == EAGAIN || error == EWOULDBLOCK) {
                pollfd pf{fd_, POLLOUT, 0};
                // A stalled line (flow control held off) gives up after a while rather than hang for ever.
                const int ready = ::poll(&pf, 1, 5000);
                if (ready > 0 && (pf.revents & (POLLERR | POLLHUP)) != 0) {
                    MarkLost(ErrnoText(EIO)); // what a hung-up terminal's writes fail with
                    break;
                }
                if (ready <= 0 || (pf.revents & POLLNVAL) != 0)
                    break;
                continue;
            }
            if (MeansLinkGone(error))
                MarkLost(ErrnoText(error));
            break;
        }
        return done;
    }

    ReadStatus ReadByte(std::uint8_t& byte, int waitMs) override {
        if (Lost())
            return ReadStatus::Lost;
        std::string reason;
        const ReadStatus status = ReadOneByte(fd_, byte, waitMs, ZeroRead::NoData, reason);
        if (status == ReadStatus::Lost)
            MarkLost(reason);
        return status;
    }

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

namespace {

bool InGroup(gid_t group) {
    if (::getegid() == group)
        return true;
    const int count = ::getgroups(0, nullptr);
    std::vector<gid_t> groups(count > 0 ? static_cast<std::size_t>(count) : 0);
    const int got = count > 0 ? ::getgroups(count, groups.data()) : 0;
    for (int i = 0; i < got; ++i)
        if (groups[static_cast<std::size_t>(i)] == group)
            return true;
    return false;
}

// The way out of a refused open, where joining a group is one: the device's group may read and write it, the
// user is not in that group yet, and the group is not root's (joining that is no remedy).
std::string PermissionHint(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return {};
    if ((st.st_mode & (S_IRGRP | S_IWGRP)) != (S_IRGRP | S_IWGRP) || st.st_gid == 0 || InGroup(st.st_gid))
        return {};
    std::string name = std::to_string(st.st_gid);
    std::vector<char> buffer(16384);
    group entry{};
    group* found = nullptr;
    if (::getgrgid_r(st.st_gid, &entry, buffer.data(), buffer.size(), &found) == 0 && found != nullptr)
        name = found->gr_name;
    return " (add the user to the " + name + " group, then log in again)";
}

} // namespace

std::unique_ptr<SerialDevice> SerialDevice::Open(const std::string& path, const LineSettings& settings,
                                                 OpenFailure& failure) {
    failure = {};
    int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        const int error = errno;
        failure.Reason = ErrnoText(error);
        failure.Busy = error == EBUSY; // another program made the terminal exclusive
        if (error == EACCES)
            failure.Reason += PermissionHint(path);
        return nullptr;
    }
    if (!::isatty(fd)) {
        failure.Reason = ErrnoText(ENOTTY);
        ::close(fd);
        return nullptr;
    }
    // Exclusive use of the terminal does not stop root, nor does it stop a second descriptor of a program
    // that already has one; a lock stops every program that locks (advisory, as the usual serial tools do).
    // Taken first, so a busy port's exclusive flag is left alone.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        failure.Busy = error == EWOULDBLOCK;
        failure.Reason = ErrnoText(failure.Busy ? EBUSY : error);
        ::close(fd);
        return nullptr;
    }
    (void)::ioctl(fd, TIOCEXCL);
    Configure(fd, settings);
    // What waits in the input now belongs to an earlier exchange.
    (void)::tcflush(fd, TCIFLUSH);
    return std::make_unique<PosixSerialDevice>(fd);
}

} // namespace zelo::os
