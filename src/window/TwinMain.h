#pragma once
// The configurator's one window, without a toolkit: start-up, shutdown and every handler, working on the
// controls of Controls.h. A view creates the controls, hands them over, and forwards the user's events to the
// handlers through Run. The handlers hand the work to the window's parts: the command list and its file, the
// link's controls, a download, an import.
#include "device/EibConverter.h"
#include "model/EibGroup.h"
#include "model/Text.h"
#include "os/Ports.h"
#include "window/Catalogue.h"
#include "window/CommandListDocument.h"
#include "window/Controls.h"
#include "window/Dialogs.h"
#include "window/DownloadRun.h"
#include "window/ImportSession.h"
#include "window/Layout.h"
#include "window/LinkPanel.h"
#include "window/MonitorWindow.h"
#include "window/RangeEntry.h"
#include "window/StandardError.h"
#include "window/WindowSettings.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <type_traits>
#include <vector>

namespace zelo {

class TwinMain : public WindowControls {
public:
    // Runs the start-up: the driver with the settings from settingsFileName (empty: none kept), the controls'
    // first state, the setup line, the version in the caption. An error here ends the start (the window is
    // not created). listPorts gives the serial devices that exist, each time the device list is filled.
    TwinMain(const WindowControls& controls, Dialogs& dialogs, const std::string& settingsFileName,
             PortLister listPorts = os::ListSerialPorts);
    // FormDestroy: writes the settings back and frees what the window owns.
    ~TwinMain();
    TwinMain(const TwinMain&) = delete;
    TwinMain& operator=(const TwinMain&) = delete;

    // Owned objects
    std::unique_ptr<TEibConverter> Converter;
    std::unique_ptr<TEibGroup> CurrentGroup;
    TextLines ImportLines;
    std::vector<std::string> ImportFields;
    std::int32_t ImportIndex = 0;
    bool Importing = false;

    using Handler = void (TwinMain::*)();
    // Runs a handler, or any action of the view's, for the view: an error it lets through goes to the
    // standard error display.
    template <typename Action> void Run(const Action& action) {
        Guarded(Dialogs_, [this, &action] {
            if constexpr (std::is_member_function_pointer_v<Action>)
                (this->*action)();
            else
                action();
        });
    }
    // A button's action (its Alt letter) or a shortcut, asked for by keyboard while focused holds the focus.
    // As a click on the button does, it leaves the field being typed in first (leave is that field's
    // handler): the field's rule runs, with its message and the focus back when it refuses the text, and
    // then the action runs as the click's does after that leave (none when the field refused: the refusal's
    // box takes a click's press away).
    void KeyAction(Handler leave, Handler action);

    // After the window first shows: offers the list a termination left in the recovery file, then opens the
    // first of files (the command line's), a list or an ETS export as a drop would.
    void Started(const std::vector<std::string>& files);
    // Files dropped on the window: the first is opened when it is a command list, imported when it is an
    // ETS export.
    void FilesDropped(const std::vector<std::string>& files);

    // Handlers, by event (the table in Wiring.cpp): focus leaving txtPhyAdr and clicks on the three option
    // boxes; focus leaving the address fields; a check mark toggled by the user in EibDptList (its row is the
    // current row); a choice in grpAccessType, cmbDevice, cmbBaudrate; the buttons.
    void txtPhyAdrExit();
    void txtGrpAdrStartExit() { Range_.AddressLeft(*txtGrpAdrStart, CurrentGroup->StartAddress); }
    void txtGrpAdrEndExit() { Range_.AddressLeft(*txtGrpAdrEnd, CurrentGroup->EndAddress); }
    void EibDptListClickCheck() { Range_.KeepOneMark(); }
    void grpAccessTypeClick();
    void cmbDeviceChange() { Link_.DeviceChosen(); }
    void cmbBaudrateChange() { Link_.BaudrateChosen(); }
    void btnAddClick();
    void btnAddAllClick() { Import_.AddAll(); }
    void btnIgnoreClick() { Import_.NextRange(); }
    void btnImportClick();
    void btnAbortClick() { Import_.Abort(); }
    void btnDownloadClick();
    void btnExitClick();
    void btnOpenClick();
    // Opens the monitor window (the view's, made at the first click) on the link, with the last import's
    // names.
    void btnMonitorClick();
    // The view's monitor window, made on first use; null where the view has none.
    std::function<MonitorWindow*()> MonitorView;
    // Saves in place when a file is open, else asks for a name (Ctrl+S).
    void btnSaveClick();
    // Asks for a name (Shift+Ctrl+S).
    void SaveAsClick();
    void btnStopClick() { Download_.Stop(); }
    void txtHostExit() { Link_.HostLeft(); }
    void txtPortExit() { Link_.PortLeft(); }
    // The device list is about to open: the ports are read again.
    void cmbDeviceDropDown();
    // The text of a datapoint type clicked: its mark toggles as a click on its box toggles it.
    void EibDptListClick() { Range_.ToggleCurrentRow(); }
    // The program is asked to end from outside (SIGTERM, SIGINT, the session's end), where nobody can be
    // asked: held while a download runs, then the unsaved list goes to the recovery file, the settings are
    // written and the message loop ends.
    void TerminationRequest();
    // The user changed the command list's text (the view reports every change; the window's own are ignored).
    void CommandListChange() { Document_.UserChanged(); }
    // The close box or IForm::Close: true lets the window close. While a download runs the request is held
    // and carried out once the download has ended.
    bool FormCloseQuery();

    // Deals with the range in CurrentGroup: appends its line, finds it present, or replaces the range of the
    // same start when the user agrees. False when no datapoint type is checked.
    bool AddCurrentGroup();
    // The parts, for the view and the tests: the list and its file, the download.
    const CommandListDocument& Document() const { return Document_; }
    const DownloadRun& Download() const { return Download_; }
    // Where the window was when it was last ended after the user moved or resized it (the settings file's
    // own section); the view opens it there when it still fits the screen.
    const std::optional<layout::Placement>& SavedPlacement() const { return Settings_.SavedPlacement(); }

    // The ETS3 import: offers the next range of the file or ends the import.
    void ImportNextRange() { Import_.NextRange(); }
    // Sets up EibDptList for a range's datatype text; false when the text offers nothing to accept.
    bool OfferDatapointTypes(const std::string& text) { return Import_.OfferDatapointTypes(text); }

private:
    friend class ImportSession;
    void FormDestroy();
    // Replaces the list with a file's lines and the device setup with its setup line; false (and a box)
    // when it cannot be read.
    bool OpenList(const std::string& path);
    // A termination carried out: nobody can be asked any more.
    void EndForTermination();

    TranslatedDialogs Dialogs_;
    WindowSettings Settings_;
    CommandListDocument Document_;
    LinkPanel Link_;
    DownloadRun Download_;
    RangeEntry Range_;
    ImportSession Import_;
    MonitorWindow* Monitor_ = nullptr; // the view's, once opened
};

} // namespace zelo
