// The serial ports Windows knows of, as the serial drivers register them.
#include "os/Ports.h"
#include "os/win32/Win32Os.h"

#include <setupapi.h>

#include <algorithm>
#include <map>
#include <string>
#include <utility>

namespace zelo::os {

namespace {

// {4D36E978-E325-11CE-BFC1-08002BE10318}: the class of serial and parallel ports.
const GUID PortsClass = {0x4D36E978, 0xE325, 0x11CE, {0xBF, 0xC1, 0x08, 0x00, 0x2B, 0xE1, 0x03, 0x18}};

std::string Utf8(const wchar_t* text) {
    const int size = ::WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (size <= 1)
        return {};
    std::string out(static_cast<std::size_t>(size), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text, -1, out.data(), size, nullptr, nullptr);
    out.resize(static_cast<std::size_t>(size - 1));
    return out;
}

std::string DeviceProperty(HDEVINFO devices, SP_DEVINFO_DATA& device, DWORD property) {
    wchar_t text[512] = {};
    DWORD type = 0;
    if (!::SetupDiGetDeviceRegistryPropertyW(devices, &device, property, &type, reinterpret_cast<BYTE*>(text),
                                             sizeof text - sizeof(wchar_t), nullptr) ||
        (type != REG_SZ && type != REG_MULTI_SZ))
        return {};
    return Utf8(text);
}

// The USB adapters among the present ports, by port name: their descriptions (display only).
std::map<std::string, std::string> UsbDescriptions() {
    std::map<std::string, std::string> found;
    HDEVINFO devices = ::SetupDiGetClassDevsW(&PortsClass, nullptr, nullptr, DIGCF_PRESENT);
    if (devices == INVALID_HANDLE_VALUE)
        return found;
    SP_DEVINFO_DATA device{};
    device.cbSize = sizeof device;
    for (DWORD index = 0; ::SetupDiEnumDeviceInfo(devices, index, &device); ++index) {
        const std::string hardware = DeviceProperty(devices, device, SPDRP_HARDWAREID);
        if (hardware.rfind("USB\\", 0) != 0 && hardware.rfind("FTDIBUS\\", 0) != 0)
            continue;
        HKEY key = ::SetupDiOpenDevRegKey(devices, &device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_READ);
        if (key == INVALID_HANDLE_VALUE)
            continue;
        wchar_t name[64] = {};
        DWORD size = sizeof name - sizeof(wchar_t);
        DWORD type = 0;
        const bool named = ::RegQueryValueExW(key, L"PortName", nullptr, &type, reinterpret_cast<BYTE*>(name),
                                              &size) == ERROR_SUCCESS &&
                           type == REG_SZ;
        ::RegCloseKey(key);
        if (named)
            found[Utf8(name)] = UsbPortDescription(DeviceProperty(devices, device, SPDRP_MFG),
                                                   DeviceProperty(devices, device, SPDRP_FRIENDLYNAME));
    }
    ::SetupDiDestroyDeviceInfoList(devices);
    return found;
}

} // namespace

std::string UsbPortDescription(const std::string& maker, const std::string& friendlyName) {
    std::string name = friendlyName;
    // "USB Serial Port (COM3)": the port is shown beside it already.
    const std::size_t open = name.rfind(" (COM");
    if (open != std::string::npos && !name.empty() && name.back() == ')')
        name.erase(open);
    if (maker.empty() || maker.front() == '(' || name.rfind(maker, 0) == 0)
        return name;
    return name.empty() ? maker : maker + " " + name;
}

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
    // A USB adapter is named as the system knows it, maker and product, as on Linux.
    const std::map<std::string, std::string> usb = UsbDescriptions();
    for (PortInfo& port : ports)
        if (const auto found = usb.find(port.Path); found != usb.end())
            port.Description = found->second;
    std::sort(ports.begin(), ports.end(), [](const PortInfo& a, const PortInfo& b) {
        return std::make_pair(ComPortNumber(a.Path), a.Path) < std::make_pair(ComPortNumber(b.Path), b.Path);
    });
    return ports;
}

} // namespace zelo::os
