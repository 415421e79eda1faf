#pragma once
// The one path from a view's controls to the window's logic, the same for every view: the registry a view
// fills with the controls it made from the layout table, the WindowControls taken from it, the events each
// kind of control raises and the handler each one reaches, and the program's start and end around them.
// A view keeps only what its toolkit needs: how to make a control of a kind and hear its events.
#include "window/Controls.h"
#include "window/Layout.h"

#include <array>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <type_traits>
#include <vector>

namespace zelo {

class Dialogs;
class TwinMain;

// The controls a view made, each under its id in the layout table.
class ControlRegistry {
public:
    void Add(layout::ControlId id, IControl& control) { Entries_[Index(id)].Control = &control; }
    void Add(layout::ControlId id, ILabel& label) { Entries_[Index(id)].Label = &label; }
    void Add(layout::ControlId id, IGauge& gauge) { Entries_[Index(id)].Gauge = &gauge; }

    // The control under id as the logic enables, shows and focuses it; null when none is registered.
    IControl* Find(layout::ControlId id) const { return Entries_[Index(id)].Control; }

    // The control under id seen through Interface; throws when there is none or it is no Interface.
    template <typename Interface> Interface& Get(layout::ControlId id) const {
        const Entry& entry = Entries_[Index(id)];
        Interface* found = nullptr;
        if constexpr (std::is_same_v<Interface, ILabel>)
            found = entry.Label;
        else if constexpr (std::is_same_v<Interface, IGauge>)
            found = entry.Gauge;
        else
            found = dynamic_cast<Interface*>(entry.Control);
        if (found == nullptr)
            throw std::logic_error("the view registered no fitting control " +
                                   std::string(layout::Info(id).Name));
        return *found;
    }

private:
    static std::size_t Index(layout::ControlId id) { return static_cast<std::size_t>(id); }
    struct Entry {
        IControl* Control = nullptr;
        ILabel* Label = nullptr;
        IGauge* Gauge = nullptr;
    };
    std::array<Entry, layout::ControlCount> Entries_{};
};

// Every member of WindowControls from the registry; throws when the view left one out.
WindowControls FillControls(IForm& form, const ControlRegistry& registry);

// What the user does to a control, as the logic hears it.
enum class ControlEvent {
    Left, // the focus moved from it to another control of the same window
    Used, // clicked (a button, an option box), chosen in (a list, the radio group), toggled (a row's box)
    Accelerator, // a button's Alt letter, where the toolkit would click without leaving the field first
    DropDown,    // a drop-down list about to open
    TextClicked, // the text of a check list's row clicked
    Changed,     // the command list's text changed
};

// The events a control raises, by its kind and style in the layout table; empty for none.
std::span<const ControlEvent> EventsOf(const layout::ControlInfo& info);

// The handler an event of a control reaches, and a shortcut's; null for none.
using Handler = void (TwinMain::*)();
Handler HandlerOf(layout::ControlId id, ControlEvent event);
Handler HandlerOf(layout::Command command);

// Hands a control's event to its handler: an Alt letter as a key with the control that holds the focus (the
// field being typed in is left first), everything else as it comes. Nothing for an event without a handler.
void Dispatch(TwinMain& logic, layout::ControlId id, ControlEvent event,
              std::optional<layout::ControlId> focused);
// A keyboard shortcut: Stop (Escape) at once, the others as keys.
void DispatchShortcut(TwinMain& logic, layout::Command command, std::optional<layout::ControlId> focused);

// The system asks whether the session may end: not while a download runs (the logic holds the request and
// ends the window once the download is over). Otherwise yes; the end itself is a termination request.
bool SessionMayEnd(TwinMain& logic);

// What the program's start and end need of a view.
class ConfiguratorView {
public:
    virtual ~ConfiguratorView() = default;
    // Makes the window, hidden, with the logic's start-up run on its controls; throws when either fails.
    virtual TwinMain& Create(Dialogs& dialogs, const std::string& settingsFileName) = 0;
    // Shows the window where the user left it when that fits the screen, else centred in it.
    virtual void Show() = 0;
    // Runs the message loop until the window ends.
    virtual void RunLoop() = 0;
    // The boxes belong to the window while it exists, and to no window once it is gone.
    virtual void OwnBoxes(bool owned) = 0;
    // Ends the logic (it writes the settings) while the controls exist, then the window.
    virtual void Destroy() = 0;
};

// The program: shows the window with the settings of settingsFileName, opens the first of files, and runs
// until the window ends. Returns 0, or 1 when the window could not start (an unreadable settings file); the
// reason is shown by the standard error display.
int RunConfigurator(ConfiguratorView& view, Dialogs& dialogs, const std::string& settingsFileName,
                    const std::vector<std::string>& files);

} // namespace zelo
