// The serial devices of a Linux system, with the USB product names that sysfs gives.
#include "os/Ports.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <set>

namespace zelo::os {

namespace fs = std::filesystem;

namespace {

std::string FirstLine(const fs::path& file) {
    std::ifstream in(file);
    std::string line;
    std::getline(in, line);
    while (!line.empty() && (line.back() == '\r' || line.back() == ' '))
        line.pop_back();
    return line;
}

// "manufacturer product" of the USB device above a tty, looked up a few levels up from its sysfs node.
std::string UsbDescription(const std::string& ttyName) {
    std::error_code ec;
    fs::path node = fs::canonical(fs::path("/sys/class/tty") / ttyName / "device", ec);
    if (ec)
        return {};
    for (int level = 0; level < 4 && !node.empty() && node != node.root_path(); ++level) {
        if (fs::exists(node / "product", ec)) {
            std::string product = FirstLine(node / "product");
            std::string maker = FirstLine(node / "manufacturer");
            if (!maker.empty() && product.rfind(maker, 0) != 0)
                product = maker + " " + product;
            return product;
        }
        node = node.parent_path();
    }
    return {};
}

// A /dev/ttyS* node stands for a port only when hardware is behind it: the kernel makes ttyS0 to ttyS31 for
// every possible 8250 port, and a serial driver reports the port type 0 (unknown) for those without one.
bool RealSerialPort(const std::string& ttyName) {
    const fs::path node = fs::path("/sys/class/tty") / ttyName;
    std::error_code ec;
    if (!fs::exists(node / "device", ec))
        return false;
    return !fs::exists(node / "type", ec) || FirstLine(node / "type") != "0";
}

// Sorted by the number at the end, so ttyS10 follows ttyS9.
bool NaturalLess(const fs::path& a, const fs::path& b) {
    const std::string x = a.filename().string();
    const std::string y = b.filename().string();
    const auto digits = [](const std::string& s) { return s.size() - s.find_last_not_of("0123456789") - 1; };
    const std::size_t dx = digits(x);
    const std::size_t dy = digits(y);
    const std::string px = x.substr(0, x.size() - dx);
    const std::string py = y.substr(0, y.size() - dy);
    if (px != py || dx == 0 || dy == 0)
        return x < y;
    return dx != dy ? dx < dy : x < y;
}

std::vector<fs::path> Sorted(const fs::path& folder, const std::string& prefix) {
    std::vector<fs::path> found;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
        if (prefix.empty() || it->path().filename().string().rfind(prefix, 0) == 0)
            found.push_back(it->path());
    std::sort(found.begin(), found.end(), NaturalLess);
    return found;
}

} // namespace

std::vector<PortInfo> ListSerialPorts() {
    std::vector<PortInfo> ports;
    std::set<std::string> seen;
    auto add = [&](const fs::path& path) {
        if (!seen.insert(path.string()).second)
            return;
        std::error_code ec;
        const fs::path target = fs::canonical(path, ec);
        ports.push_back({path.string(), ec ? std::string{} : UsbDescription(target.filename().string()),
                         ec ? path.string() : target.string()});
    };
    for (const auto& link : Sorted("/dev/serial/by-id", {}))
        add(link);
    for (const auto& dev : Sorted("/dev", "ttyUSB"))
        add(dev);
    for (const auto& dev : Sorted("/dev", "ttyACM"))
        add(dev);
    for (const auto& dev : Sorted("/dev", "ttyS"))
        if (RealSerialPort(dev.filename().string()))
            add(dev);
    return ports;
}

} // namespace zelo::os
