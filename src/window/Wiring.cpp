#include "window/Wiring.h"
#include "os/Signals.h"
#include "version/VersionInfo.h"
#include "window/ScopeExit.h"
#include "window/StandardError.h"
#include "window/TwinMain.h"

#include <utility>

namespace zelo {

using layout::ControlId;
using layout::ControlKind;

WindowControls FillControls(IForm& form, const ControlRegistry& registry) {
    WindowControls controls;
    controls.winMain = &form;
#define ZELO_FILL_MEMBER(Interface, name) controls.name = &registry.Get<Interface>(ControlId::name);
    ZELO_WINDOW_CONTROLS(ZELO_FILL_MEMBER)
#undef ZELO_FILL_MEMBER
    return controls;
}

std::span<const ControlEvent> EventsOf(const layout::ControlInfo& info) {
    using enum ControlEvent;
    static constexpr ControlEvent field[] = {Left};
    static constexpr ControlEvent button[] = {Used, Accelerator};
    static constexpr ControlEvent used[] = {Used};
    static constexpr ControlEvent list[] = {Used, DropDown};
    // A name typed into the list is taken when the field is left, as an edit field's text is.
    static constexpr ControlEvent editableList[] = {Used, DropDown, Left};
    static constexpr ControlEvent checkList[] = {Used, TextClicked};
    static constexpr ControlEvent text[] = {Changed};
    switch (info.Kind) {
    case ControlKind::EditField:
        return field;
    case ControlKind::Button:
        return button;
    case ControlKind::CheckBox:
    case ControlKind::RadioGroup:
        return used;
    case ControlKind::ComboBox:
        if (info.Style == layout::ControlStyle::Editable)
            return editableList;
        return list;
    case ControlKind::CheckList:
        return checkList;
    case ControlKind::CommandList:
        return text;
    default:
        return {};
    }
}

namespace {

// Every event the logic hears and the handler it reaches. An Alt letter reaches its control's Used handler.
struct Route {
    ControlId Id;
    ControlEvent Event;
    TwinMain::Handler Handler;
};
constexpr Route Routes[] = {
    {ControlId::txtPhyAdr, ControlEvent::Left, &TwinMain::txtPhyAdrExit},
    {ControlId::chkPrintSource, ControlEvent::Used, &TwinMain::txtPhyAdrExit},
    {ControlId::chkPrintHex, ControlEvent::Used, &TwinMain::txtPhyAdrExit},
    {ControlId::chkFullDuplex, ControlEvent::Used, &TwinMain::txtPhyAdrExit},
    {ControlId::cmbDevice, ControlEvent::Used, &TwinMain::cmbDeviceChange},
    {ControlId::cmbDevice, ControlEvent::Left, &TwinMain::cmbDeviceChange}, // a name typed in
    {ControlId::cmbDevice, ControlEvent::DropDown, &TwinMain::cmbDeviceDropDown},
    {ControlId::cmbBaudrate, ControlEvent::Used, &TwinMain::cmbBaudrateChange},
    {ControlId::txtHost, ControlEvent::Left, &TwinMain::txtHostExit},
    {ControlId::txtPort, ControlEvent::Left, &TwinMain::txtPortExit},
    {ControlId::txtGrpAdrStart, ControlEvent::Left, &TwinMain::txtGrpAdrStartExit},
    {ControlId::txtGrpAdrEnd, ControlEvent::Left, &TwinMain::txtGrpAdrEndExit},
    {ControlId::grpAccessType, ControlEvent::Used, &TwinMain::grpAccessTypeClick},
    {ControlId::grpAccessType0, ControlEvent::Used, &TwinMain::grpAccessTypeClick},
    {ControlId::grpAccessType1, ControlEvent::Used, &TwinMain::grpAccessTypeClick},
    {ControlId::grpAccessType2, ControlEvent::Used, &TwinMain::grpAccessTypeClick},
    {ControlId::EibDptList, ControlEvent::Used, &TwinMain::EibDptListClickCheck},
    {ControlId::EibDptList, ControlEvent::TextClicked, &TwinMain::EibDptListClick},
    {ControlId::btnAdd, ControlEvent::Used, &TwinMain::btnAddClick},
    {ControlId::btnAddAll, ControlEvent::Used, &TwinMain::btnAddAllClick},
    {ControlId::btnIgnore, ControlEvent::Used, &TwinMain::btnIgnoreClick},
    {ControlId::btnImport, ControlEvent::Used, &TwinMain::btnImportClick},
    {ControlId::btnAbort, ControlEvent::Used, &TwinMain::btnAbortClick},
    {ControlId::btnStop, ControlEvent::Used, &TwinMain::btnStopClick},
    {ControlId::btnMonitor, ControlEvent::Used, &TwinMain::btnMonitorClick},
    {ControlId::btnOpen, ControlEvent::Used, &TwinMain::btnOpenClick},
    {ControlId::btnSave, ControlEvent::Used, &TwinMain::btnSaveClick},
    {ControlId::btnDownload, ControlEvent::Used, &TwinMain::btnDownloadClick},
    {ControlId::btnExit, ControlEvent::Used, &TwinMain::btnExitClick},
    {ControlId::CommandList, ControlEvent::Changed, &TwinMain::CommandListChange},
};
constexpr std::pair<layout::Command, TwinMain::Handler> ShortcutRoutes[] = {
    {layout::Command::Open, &TwinMain::btnOpenClick},
    {layout::Command::Save, &TwinMain::btnSaveClick},
    {layout::Command::SaveAs, &TwinMain::SaveAsClick},
    {layout::Command::Stop, &TwinMain::btnStopClick},
};

TwinMain::Handler LeaveHandler(std::optional<ControlId> focused) {
    return focused ? HandlerOf(*focused, ControlEvent::Left) : nullptr;
}

} // namespace

TwinMain::Handler HandlerOf(ControlId id, ControlEvent event) {
    if (event == ControlEvent::Accelerator)
        event = ControlEvent::Used;
    for (const Route& route : Routes)
        if (route.Id == id && route.Event == event)
            return route.Handler;
    return nullptr;
}

TwinMain::Handler HandlerOf(layout::Command command) {
    for (const auto& [shortcut, handler] : ShortcutRoutes)
        if (shortcut == command)
            return handler;
    return nullptr;
}

void Dispatch(TwinMain& logic, ControlId id, ControlEvent event, std::optional<ControlId> focused) {
    const TwinMain::Handler handler = HandlerOf(id, event);
    if (handler == nullptr)
        return;
    if (event == ControlEvent::Accelerator)
        logic.KeyAction(LeaveHandler(focused), handler);
    else
        logic.Run(handler);
}

void DispatchShortcut(TwinMain& logic, layout::Command command, std::optional<ControlId> focused) {
    if (command == layout::Command::Stop)
        logic.Run(HandlerOf(command));
    else
        logic.KeyAction(LeaveHandler(focused), HandlerOf(command));
}

bool SessionMayEnd(TwinMain& logic) {
    if (!logic.Download().Running())
        return true;
    logic.Run(&TwinMain::TerminationRequest);
    return false;
}

int RunConfigurator(ConfiguratorView& view, Dialogs& dialogs, const std::string& settingsFileName,
                    const std::vector<std::string>& files) {
    // Noted from now on; the window hears of them through its message loop.
    os::CatchTerminationRequests();
    try {
        ReadVersionInfo();
        TwinMain& logic = view.Create(dialogs, settingsFileName);
        view.OwnBoxes(true);
        const ScopeExit disown([&view] { view.OwnBoxes(false); });
        view.Show();
        logic.Run([&logic, &files] { logic.Started(files); });
        view.RunLoop();
        view.OwnBoxes(false);
        view.Destroy();
    } catch (...) {
        ShowCurrentException(dialogs);
        return 1;
    }
    return 0;
}

} // namespace zelo
