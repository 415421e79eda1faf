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

std::vector<fs::path> Sorted(const fs::path& folder, const std::string& prefix) {
    std::vector<fs::path> found;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
        if (prefix.empty() || it->path().filename().string().rfind(prefix, 0) == 0)
            found.push_back(it->path());
    std::sort(found.begin(), found.end());
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
        fs::path target = fs::canonical(path, ec);
        ports.push_back({path.string(), ec ? std::string{} : UsbDescription(target.filename().string())});
    };
    for (const auto& link : Sorted("/dev/serial/by-id", {}))
        add(link);
    for (const auto& dev : Sorted("/dev", "ttyUSB"))
        add(dev);
    for (const auto& dev : Sorted("/dev", "ttyACM"))
        add(dev);
    return ports;
}

} // namespace zelo::os
