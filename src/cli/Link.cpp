#include "cli/Cli.h"
#include "device/EibConverter.h"
#include "device/IniFile.h"
#include "model/Error.h"
#include "os/DeviceList.h"
#include "os/Files.h"
#include "os/Paths.h"
#include "os/Signals.h"

#include <cerrno>
#include <climits>
#include <cstring>

namespace zelo::cli {

namespace {

std::string WithReason(const std::string& message, const std::string& reason) {
    return reason.empty() ? message : message + "\n" + reason;
}

} // namespace

void LinkOptions::AddTo(CLI::App& command) {
    command.add_option("--device", Device,
                       "COM1, COM2, ... (/dev/ttyS0, ...), a device path such as /dev/ttyUSB0, or TCP/IP; "
                       "default: the configurator's setting, else COM1");
    command.add_option("--baud", Baud, "line speed; default: the configurator's setting, else 19200")
        ->check(CLI::Range(1, INT_MAX));
    command.add_option("--host", Host, "reach the gateway over TCP at this host");
    command.add_option("--port", Port, "TCP port of the gateway")->check(CLI::Range(1, 65535));
    command.add_option("--settings", Settings,
                       "settings file to take the link from; default: the configurator's, if there is one");
}

void ApplyLinkSettings(TEibConverter& converter, const LinkOptions& o) {
    std::string settings;
    if (o.Settings) {
        settings = *o.Settings;
        if (!os::FileExists(settings))
            throw ExitRequest{ExitBadInput, "Can't read " + settings + ": " + std::strerror(ENOENT)};
    } else {
        const std::string beside =
            os::SettingsFileName(os::PathBeside(os::ExecutablePath(), "zelo-configurator"));
        if (os::FileExists(beside))
            settings = beside;
    }
    if (!settings.empty()) {
        try {
            converter.LoadSettings(SettingsFile(settings).Values());
        } catch (const Exception& e) {
            throw ExitRequest{ExitBadInput, e.Message()};
        }
    }
    if (!o.Device.empty())
        converter.SetDevice(o.Device);
    if (o.Baud)
        converter.SetBaudrate(*o.Baud);
    if (!o.Host.empty() || o.Port) {
        converter.SetDevice(os::TcpDeviceName);
        if (!o.Host.empty())
            converter.SetHost(o.Host);
        if (o.Port)
            converter.SetPort(std::to_string(*o.Port));
    }
}

bool OpenLinkOrExit(TEibConverter& converter) {
    try {
        OpenLink(converter);
    } catch (const LinkOpenError& e) {
        if (os::TerminationRequest() != 0)
            return false;
        throw ExitRequest{ExitDeviceFailed, WithReason(e.Message(), e.Reason())};
    }
    return true;
}

std::string ReadPasswordFile(const std::string& path) {
    // Windows editors write a byte-order mark.
    std::string text = ReadInput(path, os::CommandListLimit);
    if (text.starts_with("\xEF\xBB\xBF"))
        text.erase(0, 3);
    return text.substr(0, text.find_first_of("\r\n"));
}

} // namespace zelo::cli
