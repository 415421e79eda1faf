#pragma once
// The link's controls: the device list, the baud rate, host and port. What the user chooses goes to the
// converter, which keeps it for the settings file.
#include "device/EibConverter.h"
#include "os/DeviceList.h"
#include "os/Ports.h"
#include "window/Controls.h"

#include <functional>
#include <string>
#include <vector>

namespace zelo {

// Where the device list's existing ports come from.
using PortLister = std::function<std::vector<os::PortInfo>()>;

class LinkPanel {
public:
    LinkPanel(const WindowControls& controls, TEibConverter& converter, PortLister listPorts);
    // The controls' first state, from the converter's settings; choosing them is no change by the user, so
    // the controls raise no events for it.
    void Show();
    // The device list's entries, read from the system again; the link's device stays chosen.
    void FillDeviceList();
    void DeviceChosen();
    void BaudrateChosen();
    void HostLeft();
    void PortLeft();

private:
    // Host and port shown only for the TCP link.
    void ShowTcpFields();

    const WindowControls& Controls_;
    TEibConverter& Converter_;
    PortLister ListPorts_;
    std::vector<os::DeviceEntry> Entries_;
};

} // namespace zelo
