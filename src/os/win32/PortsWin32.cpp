// The serial ports Windows knows of, as the serial drivers register them.
#include "os/Ports.h"
#include "os/win32/Win32Os.h"

#include <algorithm>
#include <string>
#include <utility>

namespace zelo::os {

std::vector<PortInfo> ListSerialPorts() {
    std::vector<PortInfo> ports;
    HKEY key = nullptr;
    if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, "HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_READ, &key) !=
        ERROR_SUCCESS)
        return ports;
    for (DWORD index = 0;; ++index) {
        char name[256];
        char data[256];
        DWORD nameLength = sizeof name;
        DWORD dataLength = sizeof data - 1;
        DWORD type = 0;
        LONG rc = ::RegEnumValueA(key, index, name, &nameLength, nullptr, &type,
                                  reinterpret_cast<BYTE*>(data), &dataLength);
        if (rc == ERROR_NO_MORE_ITEMS)
            break;
        if (rc != ERROR_SUCCESS || type != REG_SZ)
            continue;
        data[dataLength] = '\0';
        std::string port(data);
        // Stored with its terminating zero counted: cut at the first zero.
        port.resize(std::char_traits<char>::length(port.c_str()));
        // The value's name is the kernel's device name, nothing a user would recognise: no description.
        if (!port.empty())
            ports.push_back({port, {}, port});
    }
    ::RegCloseKey(key);
    std::sort(ports.begin(), ports.end(), [](const PortInfo& a, const PortInfo& b) {
        return std::make_pair(ComPortNumber(a.Path), a.Path) < std::make_pair(ComPortNumber(b.Path), b.Path);
    });
    return ports;
}

} // namespace zelo::os
