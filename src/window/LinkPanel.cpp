#include "window/LinkPanel.h"
#include "window/Catalogue.h"

#include <algorithm>
#include <cctype>
#include <charconv>

namespace zelo {

namespace {

const std::vector<std::string> BaudrateItems = {"9600", "19200", "38400", "57600"};

bool EqualIgnoringCase(const std::string& a, const std::string& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
    });
}

} // namespace

LinkPanel::LinkPanel(const WindowControls& controls, TEibConverter& converter, PortLister listPorts)
    : Controls_(controls), Converter_(converter), ListPorts_(std::move(listPorts)) {}

void LinkPanel::Show() {
    FillDeviceList();
    Controls_.cmbBaudrate->SetItems(BaudrateItems);
    const auto baudrate =
        std::find(BaudrateItems.begin(), BaudrateItems.end(), std::to_string(Converter_.Baudrate()));
    Controls_.cmbBaudrate->SetItemIndex(
        baudrate == BaudrateItems.end() ? -1 : static_cast<int>(baudrate - BaudrateItems.begin()));
    Controls_.txtHost->SetText(Converter_.Host());
    Controls_.txtPort->SetText(Converter_.Port());
    ShowTcpFields();
}

void LinkPanel::FillDeviceList() {
    Entries_ = os::DeviceListEntries(ListPorts_ ? ListPorts_() : std::vector<os::PortInfo>{},
                                     Converter_.Device(), std::string(Tr("serial port")));
    std::vector<std::string> shown;
    shown.reserve(Entries_.size());
    int chosen = -1;
    for (const os::DeviceEntry& entry : Entries_) {
        if (chosen < 0 && EqualIgnoringCase(entry.Name, Converter_.Device()))
            chosen = static_cast<int>(shown.size());
        shown.push_back(entry.Display);
    }
    IComboBox& list = *Controls_.cmbDevice;
    list.SetItems(shown);
    list.SetItemIndex(chosen);
    // A name typed by hand that names no entry stays in the field.
    if (chosen < 0)
        list.SetText(Converter_.Device());
}

void LinkPanel::ShowTcpFields() {
    const bool tcp = Converter_.TcpDevice();
    for (IControl* control : {Controls_.labHost, static_cast<IControl*>(Controls_.txtHost), Controls_.labPort,
                              static_cast<IControl*>(Controls_.txtPort)})
        if (control->Visible() != tcp)
            control->SetVisible(tcp);
}

void LinkPanel::DeviceChosen() {
    // An entry's name alone (the description is for the eye); anything else is a name typed by hand, kept as
    // typed but for surrounding blanks: only the open at Download judges it.
    const std::string shown = Controls_.cmbDevice->Text();
    const std::size_t first = shown.find_first_not_of(" \t");
    const std::string text = first == std::string::npos
                                 ? std::string()
                                 : shown.substr(first, shown.find_last_not_of(" \t") + 1 - first);
    const auto entry = std::find_if(Entries_.begin(), Entries_.end(),
                                    [&shown](const os::DeviceEntry& e) { return e.Display == shown; });
    if (entry == Entries_.end() && text.empty()) {
        // Nothing typed: the field shows the device again.
        FillDeviceList();
        return;
    }
    Converter_.SetDevice(entry != Entries_.end() ? entry->Name : text);
    ShowTcpFields();
}

void LinkPanel::BaudrateChosen() {
    const IComboBox& list = *Controls_.cmbBaudrate;
    const int index = list.ItemIndex();
    const std::string text = index >= 0 && index < list.ItemCount() ? list.ItemText(index) : std::string();
    int baudrate = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), baudrate);
    Converter_.SetBaudrate(
        error == std::errc() && end == text.data() + text.size() && !text.empty() ? baudrate : 19200);
}

void LinkPanel::HostLeft() {
    Converter_.SetHost(Controls_.txtHost->Text());
}

void LinkPanel::PortLeft() {
    Converter_.SetPort(Controls_.txtPort->Text());
}

} // namespace zelo
