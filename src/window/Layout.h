#pragma once
// The window's controls and where they go, for every view: names, kinds, texts and parents; the rectangle of
// each control for a given client size; the tab order; the minimum size and the fit to a screen's free area.
// Pure arithmetic: a view measures what only it can (its font's text widths, its field heights) and passes it
// in.
#include <array>
#include <cstddef>
#include <span>
#include <string_view>

namespace zelo::layout {

// The window's caption as designed; the start-up appends the version.
inline constexpr const char* WindowCaption = "ZELO-KNX-ASCII Configurator";
inline constexpr int DesignClientWidth = 1016;
inline constexpr int DesignClientHeight = 734;
// The command list keeps at least this many lines in view; below that the client area scrolls.
inline constexpr int MinimumVisibleLines = 5;

enum class ControlId : int {
    DeviceSetupCaption,
    DeviceSetupContainer,
    Label6,
    cmbDevice,
    Label7,
    cmbBaudrate,
    labHost,
    txtHost,
    labPort,
    txtPort,
    Label1,
    txtPhyAdr,
    chkPrintSource,
    chkPrintHex,
    chkFullDuplex,
    GroupAddressCaption,
    GroupAddressContainer,
    Label2,
    txtGrpAdrStart,
    Label4,
    txtGrpAdrEnd,
    grpAccessType,
    grpAccessType0,
    grpAccessType1,
    grpAccessType2,
    Label3,
    EibDptList,
    btnAddAll,
    btnAdd,
    btnIgnore,
    btnImport,
    btnAbort,
    ProgressCaption,
    ProgressContainer,
    labStatus,
    ProgressBar,
    btnStop,
    CommandListCaption,
    CommandList,
    ButtonContainer,
    btnMonitor,
    btnOpen,
    btnSave,
    btnDownload,
    btnExit,
};
inline constexpr std::size_t ControlCount = static_cast<std::size_t>(ControlId::btnExit) + 1;
// The client area as a parent.
inline constexpr ControlId Client = static_cast<ControlId>(-1);

enum class ControlKind {
    CaptionBar,  // black band, white bold text
    Panel,       // holds other controls; disabling it disables its contents
    Label,       // static text
    EditField,   // single line
    ComboBox,    // drop-down list without typing
    CheckBox,    //
    RadioGroup,  // framed group with a title
    RadioButton, // an item of the radio group above it
    CheckList,   // two columns of check boxes
    Button,      // push button; "&" marks the accelerator
    StatusLabel, // label the logic writes
    Gauge,       // horizontal bar with its percentage
    CommandList, // multi-line text with both scroll bars
};

// What sets a control apart from others of its kind.
enum class ControlStyle {
    Plain,
    RightAligned, // a label whose text ends at its field
    Editable,     // a drop-down list that also takes a name typed by hand
};

struct ControlInfo {
    ControlId Id;
    std::string_view Name; // the object name (Qt) and the control ID's name (Win32)
    ControlKind Kind;
    ControlId Parent;      // Client for the bands
    std::string_view Text; // caption, label or title; empty when the logic fills it
    ControlStyle Style = ControlStyle::Plain;
};

// Every control, in creation order (parents before their children).
std::span<const ControlInfo> Controls();
const ControlInfo& Info(ControlId id);
// The order in which the Tab key visits the controls.
std::span<const ControlId> TabOrder();

// The window's keyboard shortcuts: Ctrl (and Shift where said) with a letter; Stop is the Escape key's.
enum class Command { Open, Save, SaveAs, Stop };
struct Shortcut {
    char Key; // an upper-case letter
    bool Shift;
    Command Action;
};
std::span<const Shortcut> Shortcuts();

// Width of the command list's line-number gutter: room for the digits of the highest line number (at least
// three), in the width of one digit, with a margin either side.
int GutterWidth(int lineCount, int digitWidth);

struct Rect {
    int X = 0;
    int Y = 0;
    int Width = 0;
    int Height = 0;
    int Right() const { return X + Width; }
    int Bottom() const { return Y + Height; }
    bool operator==(const Rect&) const = default;
};

struct Size {
    int Width = 0;
    int Height = 0;
    bool operator==(const Size&) const = default;
};

// What the view measures in its own font. Zeros mean "not measured": the stated sizes apply.
struct LayoutMetrics {
    // Width a control needs for its text (labels, check boxes, radio buttons, the radio group's title).
    std::array<int, ControlCount> TextWidth{};
    int FieldHeight = 22;       // natural height of an edit field or drop-down list
    int DeviceListWidth = 0;    // width the device list needs for its widest entry, frame and arrow included
    int CommandLineHeight = 14; // one line of the command list
    int CommandListChrome = 16; // the command list's frame and horizontal scroll bar, top to bottom
    int& Text(ControlId id) { return TextWidth[static_cast<std::size_t>(id)]; }
    int Text(ControlId id) const { return TextWidth[static_cast<std::size_t>(id)]; }
};

struct WindowLayout {
    // The area laid out: the client size, but never less than the minimum (the client area scrolls then).
    Size Area;
    // Each control's rectangle relative to its parent.
    std::array<Rect, ControlCount> Rects{};
    const Rect& operator[](ControlId id) const { return Rects[static_cast<std::size_t>(id)]; }
    // The rectangle in the laid-out area's coordinates.
    Rect InArea(ControlId id) const;
};

// The smallest client size at which every control shows whole and the command list shows MinimumVisibleLines.
Size MinimumClientSize(const LayoutMetrics& metrics);

// Lays the window out for a client size. The bands span the width; the command list takes the height gained
// or lost against the design size, the status line and gauge the width; the bottom buttons stay at the
// right-hand end; everything else keeps its place.
WindowLayout LayOut(Size client, const LayoutMetrics& metrics);

// Where a window starts: centred in the screen's free area (panels and taskbar excluded), its client size
// shrunk to fit that area when the window with its frame would not. frame is what the frame adds to the
// client size. Returns the client size and the frame's top-left corner.
struct Placement {
    int X = 0;
    int Y = 0;
    Size Client;
    bool operator==(const Placement&) const = default;
};
Placement FitToArea(const Rect& area, Size frame, Size client);
// Whether a window placed so (frame included) lies wholly inside the screen's free area.
bool FitsArea(const Rect& area, Size frame, const Placement& placement);

} // namespace zelo::layout
