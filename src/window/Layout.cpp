#include "window/Layout.h"

#include <algorithm>

namespace zelo::layout {

namespace {

using enum ControlId;
using K = ControlKind;
using S = ControlStyle;

// A control's name is its id's.
#define ROW(id, ...)                                                                                         \
    { id, #id, __VA_ARGS__ }
constexpr ControlInfo Table[] = {
    ROW(DeviceSetupCaption, K::CaptionBar, Client, "Device Setup"),
    ROW(DeviceSetupContainer, K::Panel, Client, ""),
    ROW(Label6, K::Label, DeviceSetupContainer, "Com port:"),
    ROW(cmbDevice, K::ComboBox, DeviceSetupContainer, "", S::Editable),
    ROW(Label7, K::Label, DeviceSetupContainer, "Baudrate:"),
    ROW(cmbBaudrate, K::ComboBox, DeviceSetupContainer, ""),
    ROW(labHost, K::Label, DeviceSetupContainer, "Host:"),
    ROW(txtHost, K::EditField, DeviceSetupContainer, ""),
    ROW(labPort, K::Label, DeviceSetupContainer, "Port:"),
    ROW(txtPort, K::EditField, DeviceSetupContainer, ""),
    ROW(Label1, K::Label, DeviceSetupContainer, "Eib physical address:"),
    ROW(txtPhyAdr, K::EditField, DeviceSetupContainer, ""),
    ROW(chkPrintSource, K::CheckBox, DeviceSetupContainer, "Output source address"),
    ROW(chkPrintHex, K::CheckBox, DeviceSetupContainer, "Output addresses as hexadecimal numbers"),
    ROW(chkFullDuplex, K::CheckBox, DeviceSetupContainer, "Full duplex mode"),
    ROW(GroupAddressCaption, K::CaptionBar, Client, "Group addresses"),
    ROW(GroupAddressContainer, K::Panel, Client, ""),
    ROW(Label2, K::Label, GroupAddressContainer, "Group address start:"),
    ROW(txtGrpAdrStart, K::EditField, GroupAddressContainer, ""),
    ROW(Label4, K::Label, GroupAddressContainer, "Group address end:"),
    ROW(txtGrpAdrEnd, K::EditField, GroupAddressContainer, ""),
    ROW(grpAccessType, K::RadioGroup, GroupAddressContainer, "Access type"),
    ROW(grpAccessType0, K::RadioButton, grpAccessType, "Read only"),
    ROW(grpAccessType1, K::RadioButton, grpAccessType, "Write only"),
    // A doubled ampersand shows as one.
    ROW(grpAccessType2, K::RadioButton, grpAccessType, "Read && Write"),
    ROW(Label3, K::Label, GroupAddressContainer, "Datapoint type:", S::RightAligned),
    ROW(EibDptList, K::CheckList, GroupAddressContainer, ""),
    ROW(btnAddAll, K::Button, GroupAddressContainer, "Add a&ll"),
    ROW(btnAdd, K::Button, GroupAddressContainer, "&Add"),
    ROW(btnIgnore, K::Button, GroupAddressContainer, "I&gnore"),
    ROW(btnImport, K::Button, GroupAddressContainer, "&Import"),
    ROW(btnAbort, K::Button, GroupAddressContainer, "A&bort"),
    ROW(ProgressCaption, K::CaptionBar, Client, "Progress information"),
    ROW(ProgressContainer, K::Panel, Client, ""),
    ROW(labStatus, K::StatusLabel, ProgressContainer, ""),
    ROW(ProgressBar, K::Gauge, ProgressContainer, ""),
    ROW(btnStop, K::Button, ProgressContainer, "S&top"),
    ROW(CommandListCaption, K::CaptionBar, Client, "Command list"),
    ROW(CommandList, K::CommandList, Client, ""),
    ROW(ButtonContainer, K::Panel, Client, ""),
    ROW(btnMonitor, K::Button, ButtonContainer, "&Monitor..."),
    ROW(btnOpen, K::Button, ButtonContainer, "&Open..."),
    ROW(btnSave, K::Button, ButtonContainer, "&Save..."),
    ROW(btnDownload, K::Button, ButtonContainer, "Download"),
    ROW(btnExit, K::Button, ButtonContainer, "Exit"),
};
#undef ROW
static_assert(std::size(Table) == ControlCount);

constexpr bool InIdOrder() {
    for (std::size_t i = 0; i < std::size(Table); ++i)
        if (static_cast<std::size_t>(Table[i].Id) != i)
            return false;
    return true;
}
static_assert(InIdOrder(), "the table is indexed by ControlId");

// Device setup (the TCP fields after the link's lists), group addresses with the buttons in the order they
// stand, the progress band's Stop, the bottom buttons, the command list: the physical address comes first.
constexpr ControlId Tabs[] = {
    txtPhyAdr, chkPrintSource, chkPrintHex,    chkFullDuplex,  cmbDevice,      cmbBaudrate, txtHost,
    txtPort,   txtGrpAdrStart, txtGrpAdrEnd,   EibDptList,     btnAddAll,      btnAdd,      btnIgnore,
    btnImport, btnAbort,       grpAccessType0, grpAccessType1, grpAccessType2, btnStop,     btnMonitor,
    btnOpen,   btnSave,        btnDownload,    btnExit,        CommandList};

constexpr Shortcut ShortcutTable[] = {
    {'O', false, Command::Open},
    {'S', false, Command::Save},
    {'S', true, Command::SaveAs},
};

// Heights of the bands at the design size, top to bottom.
constexpr int CaptionHeight = 33;
constexpr int DeviceSetupHeight = 72;
constexpr int GroupAddressHeight = 183;
constexpr int ProgressHeight = 56;
constexpr int CommandListDesignHeight = 250;
constexpr int ButtonBandHeight = 41;
static_assert(4 * CaptionHeight + DeviceSetupHeight + GroupAddressHeight + ProgressHeight +
                  CommandListDesignHeight + ButtonBandHeight ==
              DesignClientHeight);
// Everything but the command list.
constexpr int FixedBandsHeight = DesignClientHeight - CommandListDesignHeight;

constexpr int Margin = 8;
constexpr int ButtonWidth = 105;
constexpr int ButtonHeight = 25;
constexpr int FieldWidth = 97;
constexpr int AddressFieldWidth = 153;
constexpr int ListWidth = 529;
constexpr int ListHeight = 123;
constexpr int GaugeHeight = 17;
constexpr int StopWidth = 105;
constexpr int StopHeight = 25;
constexpr int HostFieldWidth = 150;
constexpr int PortFieldWidth = 60;

std::size_t Index(ControlId id) {
    return static_cast<std::size_t>(id);
}

// The stated width, or what the text needs when that is more.
int Fit(const LayoutMetrics& metrics, ControlId id, int stated) {
    return std::max(stated, metrics.Text(id));
}

// The contents of the three upper panels; they do not depend on the client size.
void LayOutPanels(const LayoutMetrics& m, std::array<Rect, ControlCount>& r) {
    auto set = [&r](ControlId id, int x, int y, int w, int h) { r[Index(id)] = {x, y, w, h}; };

    // Device setup: two rows, labels left of their fields, the option boxes in row 2 from the middle column.
    const int rowHeight = std::max(24, m.FieldHeight);
    const int row1 = (DeviceSetupHeight / 2 - rowHeight) / 2 + 2;
    const int row2 = DeviceSetupHeight / 2 + (DeviceSetupHeight / 2 - rowHeight) / 2 - 2;
    const int labelWidth = std::max(Fit(m, Label6, 99), Fit(m, Label1, 99));
    int deviceWidth = FieldWidth;
    const int x1 = Margin + labelWidth + 4;
    const int x2 = x1 + FieldWidth + 24;
    const int label7Width = Fit(m, Label7, 99);
    // The TCP link's host and port at the right-hand end of row 1 (shown only for TCP/IP).
    const int labPortWidth = Fit(m, labPort, 35);
    const int labHostWidth = Fit(m, labHost, 40);
    const int portX = DesignClientWidth - Margin - PortFieldWidth;
    const int labPortX = portX - 4 - labPortWidth;
    const int hostX = labPortX - 12 - HostFieldWidth;
    const int labHostX = hostX - 4 - labHostWidth;
    set(labHost, labHostX, row1, labHostWidth, rowHeight);
    set(txtHost, hostX, row1, HostFieldWidth, rowHeight);
    set(labPort, labPortX, row1, labPortWidth, rowHeight);
    set(txtPort, portX, row1, PortFieldWidth, rowHeight);
    // A device path (a USB adapter's by-id name, a pseudo-terminal) widens the list as far as the row allows;
    // the baud rate list moves along. The open list shows whole entries in any case.
    const int room = labHostX - 24 - FieldWidth - label7Width - 24 - x1;
    const int extra = std::max(0, std::min(room, m.DeviceListWidth) - deviceWidth);
    deviceWidth += extra;
    set(Label6, Margin, row1, labelWidth, rowHeight);
    set(cmbDevice, x1, row1, deviceWidth, rowHeight);
    set(Label7, x2 + extra, row1, label7Width, rowHeight);
    set(cmbBaudrate, x2 + extra + label7Width, row1, FieldWidth, rowHeight);
    set(Label1, Margin, row2, labelWidth, rowHeight);
    set(txtPhyAdr, x1, row2, FieldWidth, rowHeight);
    int x = x2;
    const struct {
        ControlId Id;
        int Stated;
    } boxes[] = {{chkPrintSource, 162}, {chkPrintHex, 286}, {chkFullDuplex, 128}};
    for (const auto& box : boxes) {
        const int width = Fit(m, box.Id, box.Stated);
        set(box.Id, x, row2, width, rowHeight);
        x += width + 24;
    }

    // Group addresses: the two address fields over the access type, the datapoint list on the right, the
    // buttons in the bottom row at the right-hand end.
    const int editHeight = std::max(22, m.FieldHeight);
    const int addressLabelWidth = std::max(Fit(m, Label2, 110), Fit(m, Label4, 110));
    const int fieldX = Margin + addressLabelWidth + 4;
    set(Label2, Margin, 10, addressLabelWidth, editHeight);
    set(txtGrpAdrStart, fieldX, 10, AddressFieldWidth, editHeight);
    set(Label4, Margin, 10 + editHeight + 8, addressLabelWidth, editHeight);
    set(txtGrpAdrEnd, fieldX, 10 + editHeight + 8, AddressFieldWidth, editHeight);
    // Three columns; each radio button gets what its text needs and an equal share of the rest.
    const ControlId radios[] = {grpAccessType0, grpAccessType1, grpAccessType2};
    const int radioGap = 6;
    int radiosWidth = 2 * radioGap;
    for (const ControlId radio : radios)
        radiosWidth += Fit(m, radio, 80);
    const int groupWidth = std::max(
        {fieldX + AddressFieldWidth - Margin, radiosWidth + 2 * Margin, m.Text(grpAccessType) + 2 * Margin});
    const int groupHeight = 52;
    set(grpAccessType, Margin, 10 + 2 * editHeight + 20, groupWidth, groupHeight);
    const int share = (groupWidth - 2 * Margin - radiosWidth) / 3;
    int radioX = Margin;
    for (const ControlId radio : radios) {
        const int width = Fit(m, radio, 80) + share;
        set(radio, radioX, groupHeight - 8 - 20, width, 20);
        radioX += width + radioGap;
    }
    // The list at the right-hand end; a large font's labels push it (and the buttons under it) to the right.
    const int label3Width = Fit(m, Label3, 99);
    const int listX = std::max(DesignClientWidth - Margin - ListWidth,
                               fieldX + AddressFieldWidth + Margin + label3Width + Margin);
    set(Label3, listX - label3Width - Margin, 10, label3Width, editHeight);
    set(EibDptList, listX, 10, ListWidth, ListHeight);
    const int buttonTop = GroupAddressHeight - 10 - ButtonHeight;
    int buttonX = listX + ListWidth - 4 * ButtonWidth - 3 * Margin;
    set(btnAddAll, buttonX - ButtonWidth - Margin, buttonTop, ButtonWidth, ButtonHeight);
    for (const ControlId button : {btnAdd, btnIgnore, btnImport, btnAbort}) {
        set(button, buttonX, buttonTop, ButtonWidth, ButtonHeight);
        buttonX += ButtonWidth + Margin;
    }
}

int MinimumCommandListHeight(const LayoutMetrics& m) {
    return MinimumVisibleLines * m.CommandLineHeight + m.CommandListChrome;
}

} // namespace

std::span<const ControlInfo> Controls() {
    return Table;
}

const ControlInfo& Info(ControlId id) {
    return Table[Index(id)];
}

std::span<const ControlId> TabOrder() {
    return Tabs;
}

std::span<const Shortcut> Shortcuts() {
    return ShortcutTable;
}

int GutterWidth(int lineCount, int digitWidth) {
    int digits = 1;
    for (int n = std::max(lineCount, 0); n >= 10; n /= 10)
        ++digits;
    return std::max(digits, 3) * digitWidth + 2 * 4;
}

Rect WindowLayout::InArea(ControlId id) const {
    Rect rect = (*this)[id];
    for (ControlId parent = Info(id).Parent; parent != Client; parent = Info(parent).Parent) {
        rect.X += (*this)[parent].X;
        rect.Y += (*this)[parent].Y;
    }
    return rect;
}

Size MinimumClientSize(const LayoutMetrics& metrics) {
    std::array<Rect, ControlCount> rects{};
    LayOutPanels(metrics, rects);
    // Wide enough for the panels' contents, which a view's large font may push beyond the design width.
    int width = DesignClientWidth;
    for (const ControlInfo& info : Table)
        if (info.Parent == DeviceSetupContainer || info.Parent == GroupAddressContainer)
            width = std::max(width, rects[Index(info.Id)].Right() + Margin);
    return {width, FixedBandsHeight + MinimumCommandListHeight(metrics)};
}

WindowLayout LayOut(Size client, const LayoutMetrics& metrics) {
    const Size minimum = MinimumClientSize(metrics);
    WindowLayout layout;
    layout.Area = {std::max(client.Width, minimum.Width), std::max(client.Height, minimum.Height)};
    const int width = layout.Area.Width;
    auto& r = layout.Rects;
    LayOutPanels(metrics, r);

    // The bands, top to bottom over the full width.
    const int listHeight = layout.Area.Height - FixedBandsHeight;
    int y = 0;
    for (const auto& [band, height] : {std::pair{DeviceSetupCaption, CaptionHeight},
                                       {DeviceSetupContainer, DeviceSetupHeight},
                                       {GroupAddressCaption, CaptionHeight},
                                       {GroupAddressContainer, GroupAddressHeight},
                                       {ProgressCaption, CaptionHeight},
                                       {ProgressContainer, ProgressHeight},
                                       {CommandListCaption, CaptionHeight},
                                       {CommandList, listHeight},
                                       {ButtonContainer, ButtonBandHeight}}) {
        r[Index(band)] = {0, y, width, height};
        y += height;
    }

    // The status line and the gauge keep their margins; at the design width the gauge is 1001 wide. Stop
    // (shown while a download runs) stands at the right-hand end of the status line.
    r[Index(btnStop)] = {width - Margin - StopWidth, 3, StopWidth, StopHeight};
    r[Index(labStatus)] = {Margin, 6, width - 3 * Margin - StopWidth, 20};
    r[Index(ProgressBar)] = {Margin, ProgressHeight - GaugeHeight - Margin, width - Margin - 7, GaugeHeight};
    // Exit at the right-hand end, then Download, Save, Open and Monitor leftwards.
    int x = width;
    for (const ControlId button : {btnExit, btnDownload, btnSave, btnOpen, btnMonitor}) {
        x -= Margin + ButtonWidth;
        r[Index(button)] = {x, Margin, ButtonWidth, ButtonHeight};
    }
    return layout;
}

Placement FitToArea(const Rect& area, Size frame, Size client) {
    Placement placement;
    placement.Client = {std::min(client.Width, area.Width - frame.Width),
                        std::min(client.Height, area.Height - frame.Height)};
    placement.Client.Width = std::max(placement.Client.Width, 1);
    placement.Client.Height = std::max(placement.Client.Height, 1);
    const int outerWidth = placement.Client.Width + frame.Width;
    const int outerHeight = placement.Client.Height + frame.Height;
    placement.X = area.X + std::max(0, (area.Width - outerWidth) / 2);
    placement.Y = area.Y + std::max(0, (area.Height - outerHeight) / 2);
    return placement;
}

bool FitsArea(const Rect& area, Size frame, const Placement& placement) {
    return placement.Client.Width > 0 && placement.Client.Height > 0 && placement.X >= area.X &&
           placement.Y >= area.Y && placement.X + placement.Client.Width + frame.Width <= area.Right() &&
           placement.Y + placement.Client.Height + frame.Height <= area.Bottom();
}

} // namespace zelo::layout
