// The serial devices of a Linux system, found in sysfs, with the USB product names or driver names it gives.
#include "os/Ports.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <map>
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

// "manufacturer product" of the USB device above a tty's device node, looked up a few levels up.
std::string UsbDescription(fs::path node) {
    std::error_code ec;
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

// tty0 to tty63 and the console are the virtual consoles: never a serial port.
bool VirtualConsole(const std::string& name) {
    if (name == "tty" || name == "console" || name == "ptmx")
        return true;
    return name.size() > 3 && name.compare(0, 3, "tty") == 0 &&
           std::all_of(name.begin() + 3, name.end(), [](unsigned char c) { return std::isdigit(c) != 0; });
}

// Sorted by the number at the end, so ttyS10 follows ttyS9.
bool NaturalLess(const std::string& x, const std::string& y) {
    const auto digits = [](const std::string& s) { return s.size() - s.find_last_not_of("0123456789") - 1; };
    const std::size_t dx = digits(x);
    const std::size_t dy = digits(y);
    const std::string px = x.substr(0, x.size() - dx);
    const std::string py = y.substr(0, y.size() - dy);
    if (px != py || dx == 0 || dy == 0)
        return x < y;
    return dx != dy ? dx < dy : x < y;
}

std::vector<std::string> SortedNames(const fs::path& folder) {
    std::vector<std::string> found;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
        found.push_back(it->path().filename().string());
    std::sort(found.begin(), found.end(), NaturalLess);
    return found;
}

class Lister {
public:
    explicit Lister(const std::string& root) {
        std::error_code ec;
        Root_ = fs::canonical(root.empty() ? fs::path("/") : fs::path(root), ec);
        if (ec)
            Root_ = root;
    }

    std::vector<PortInfo> List() {
        // Every tty with a device behind it, by its name in /dev.
        std::map<std::string, std::string> descriptions; // "/dev/ttyX" -> description
        std::vector<std::string> ttys;
        for (const std::string& name : SortedNames(Root_ / "sys/class/tty")) {
            std::string description;
            if (SerialTty(name, description)) {
                ttys.push_back("/dev/" + name);
                descriptions["/dev/" + name] = description;
            }
        }
        std::vector<PortInfo> ports;
        std::set<std::string> taken;
        // Names that lead to one of them come first: the by-id names, then the Raspberry Pi's serial0/1.
        const auto addLink = [&](const std::string& path, bool withTargetName) {
            std::error_code ec;
            const fs::path target = fs::canonical(Real(path), ec);
            if (ec)
                return;
            const std::string device = SystemPath(target);
            const auto found = descriptions.find(device);
            if (found == descriptions.end() || !taken.insert(device).second)
                return;
            std::string description = found->second;
            if (withTargetName)
                description = target.filename().string() + ", " + description;
            ports.push_back({path, description, device});
        };
        for (const std::string& name : SortedNames(Root_ / "dev/serial/by-id"))
            addLink("/dev/serial/by-id/" + name, false);
        for (const char* name : {"/dev/serial0", "/dev/serial1"})
            addLink(name, true);
        for (const std::string& tty : ttys)
            if (taken.insert(tty).second)
                ports.push_back({tty, descriptions[tty], tty});
        return ports;
    }

private:
    fs::path Real(const std::string& systemPath) const {
        return Root_ / fs::path(systemPath).relative_path();
    }

    std::string SystemPath(const fs::path& real) const {
        return (fs::path("/") / real.lexically_relative(Root_)).lexically_normal().string();
    }

    // A tty with hardware behind it: a device link, no virtual console, and not one of the kernel's 8250
    // placeholders (ttyS0 to ttyS31 exist for every possible port; those without one report port type 0).
    bool SerialTty(const std::string& name, std::string& description) const {
        const fs::path node = Root_ / "sys/class/tty" / name;
        std::error_code ec;
        if (VirtualConsole(name) || !fs::exists(node / "device", ec) || !fs::exists(Real("/dev/" + name), ec))
            return false;
        if (fs::exists(node / "type", ec) && FirstLine(node / "type") == "0")
            return false;
        const fs::path device = fs::canonical(node / "device", ec);
        if (ec)
            return false;
        description = UsbDescription(device);
        if (description.empty()) {
            const fs::path driver = fs::read_symlink(device / "driver", ec);
            description = ec || driver.filename().empty() ? std::string("serial port")
                                                          : "serial port, " + driver.filename().string();
        }
        return true;
    }

    fs::path Root_;
};

} // namespace

std::vector<PortInfo> ListSerialPortsUnder(const std::string& root) {
    return Lister(root).List();
}

std::vector<PortInfo> ListSerialPorts() {
    return ListSerialPortsUnder("/");
}

} // namespace zelo::os
