#include "window/Wiring.h"
#include "os/Signals.h"
#include "version/VersionInfo.h"
#include "window/ScopeExit.h"
#include "window/StandardError.h"
#include "window/TwinMain.h"

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

void Dispatch(TwinMain& logic, ControlId id, ControlEvent event, std::optional<ControlId> focused) {
    TwinMain::Handler handler = nullptr;
    switch (event) {
    case ControlEvent::Left:
    case ControlEvent::Used:
        handler = TwinMain::EventHandler(id);
        break;
    case ControlEvent::Accelerator:
        if (const TwinMain::Handler action = TwinMain::EventHandler(id))
            logic.KeyAction(focused, action);
        return;
    case ControlEvent::DropDown:
        handler = TwinMain::DropDownHandler(id);
        break;
    case ControlEvent::TextClicked:
        handler = TwinMain::TextClickHandler(id);
        break;
    case ControlEvent::Changed:
        handler = &TwinMain::CommandListChange;
        break;
    }
    if (handler != nullptr)
        logic.Run(handler);
}

void DispatchShortcut(TwinMain& logic, layout::Command command, std::optional<ControlId> focused) {
    if (command == layout::Command::Stop)
        logic.Run(TwinMain::CommandHandler(command));
    else
        logic.KeyAction(focused, TwinMain::CommandHandler(command));
}

bool SessionMayEnd(TwinMain& logic) {
    if (!logic.DownloadRunning())
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
