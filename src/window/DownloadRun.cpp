#include "window/DownloadRun.h"
#include "window/Catalogue.h"
#include "window/ScopeExit.h"

#include <optional>

namespace zelo {

namespace {

// At most this many refused lines are listed in the question before a download.
constexpr std::size_t RefusedLinesListed = 20;

// What the status line says after the user stopped a download: the interruption's own text, which says
// what the gateway holds, told as the user's stop.
std::string StoppedStatus(const DownloadInterrupted& stopped) {
    std::string text = stopped.Message();
    constexpr std::string_view interrupted = "interrupted";
    if (const std::size_t at = text.find(interrupted); at != std::string::npos)
        text.replace(at, interrupted.size(), "stopped");
    return text;
}

} // namespace

void StatusLine::SetText(const std::string& text) {
    Latest_ = text;
    if (Held_.empty())
        Label_.SetText(TrMessage(text));
}

void StatusLine::Hold(const std::string& text) {
    Held_ = text;
    Label_.SetText(TrMessage(text));
    Label_.RepaintNow();
}

void StatusLine::Release() {
    if (Held_.empty())
        return;
    Held_.clear();
    Label_.SetText(TrMessage(Latest_));
    Label_.RepaintNow();
}

DownloadRun::DownloadRun(const WindowControls& controls, TEibConverter& converter, ILabel& label,
                         Dialogs& dialogs, std::function<void()> terminate)
    : Controls_(controls), Converter_(converter), Status_(label), Dialogs_(dialogs),
      Terminate_(std::move(terminate)) {}

bool DownloadRun::Running() const {
    return Phase_ == Phase::Running || Phase_ == Phase::StopRequested || Phase_ == Phase::Closing ||
           Phase_ == Phase::Terminating;
}

void DownloadRun::PointAtLine(int index) {
    ICommandList& list = *Controls_.CommandList;
    if (index < 0 || index >= list.LineCount())
        return;
    list.SelectLine(index);
    // The focus follows once the list can take it (it is disabled while a download runs).
    if (Running())
        LineToShow_ = index;
    else
        list.SetFocus();
}

void DownloadRun::ClearProgress() {
    Converter_.SetProgressRange(0, 1);
    Converter_.ShowStatus({}, 0);
}

bool DownloadRun::ConfirmRefusedLines(const std::vector<RefusedLine>& refused) {
    if (refused.empty())
        return true;
    PointAtLine(refused.front().Number - 1);
    std::string text =
        refused.size() == 1 ? std::string("1 line will") : std::to_string(refused.size()) + " lines will";
    text += " be refused by the gateway. Download anyway?\n";
    for (std::size_t i = 0; i < refused.size() && i < RefusedLinesListed; ++i)
        text += "\nline " + std::to_string(refused[i].Number) + ": " + refused[i].Reason;
    if (refused.size() > RefusedLinesListed)
        text += "\n... and " + std::to_string(refused.size() - RefusedLinesListed) + " more";
    // Yes erases the gateway: a reflexive Return must not.
    if (WindowBox(Dialogs_, *Controls_.winMain, text, box::YesNo | box::IconWarning | box::DefaultNo) ==
        box::IdYes)
        return true;
    ClearProgress();
    return false;
}

void DownloadRun::EnableAreas(bool enabled) {
    for (IControl* area : {Controls_.DeviceSetupContainer, Controls_.GroupAddressContainer,
                           static_cast<IControl*>(Controls_.CommandList), Controls_.ButtonContainer})
        area->SetEnabled(enabled);
}

void DownloadRun::Download(const std::vector<std::string>& lines, const std::function<bool()>& beforeSend) {
    // Checked before anything is sent: the gateway is erased first, so a bad line found only by the gateway
    // would cost it its configuration.
    std::optional<CheckedList> checked;
    try {
        checked = CheckBeforeErase(lines);
    } catch (const DownloadLineError& error) {
        PointAtLine(error.LineNumber() - 1);
        WindowBox(Dialogs_, *Controls_.winMain, error.Message(), box::Ok | box::IconError);
        return;
    }
    if (!ConfirmRefusedLines(checked->Refused()))
        return;
    if (beforeSend && !beforeSend())
        return;
    // The focus goes to Stop before the areas are disabled: a key must never meet a focused control inside a
    // disabled area (the dialog keys of Windows search such a window's letters for ever).
    Controls_.btnStop->SetEnabled(true);
    Controls_.btnStop->SetVisible(true);
    Controls_.btnStop->SetFocus();
    EnableAreas(false);
    Controls_.winMain->SetWaitCursor(true);
    Phase_ = Phase::Running;
    LineToShow_ = -1;
    // A failure before the erase must not leave the last run's success on show.
    Converter_.SetProgressRange(0, 1);
    Converter_.ShowStatus("Ready...", 0);
    // Whatever happens below: the link closed, the cursor and the areas back, a held close carried out.
    const ScopeExit end([this] { End(); });
    try {
        OpenLink(Converter_);
        Converter_.Download(*checked);
    } catch (const LinkOpenError& error) {
        WindowBox(Dialogs_, *Controls_.winMain, error.Message(), box::Ok | box::IconError, error.Reason());
    } catch (const DownloadInterrupted& stopped) {
        // The user's own Stop: the status says how far it got, no box.
        Status_.SetText(StoppedStatus(stopped));
        Status_.RepaintNow();
    } catch (const DownloadLineError& error) {
        PointAtLine(error.LineNumber() - 1);
        WindowBox(Dialogs_, *Controls_.winMain, error.Message(), box::Ok | box::IconError);
    } catch (const Exception& error) {
        WindowBox(Dialogs_, *Controls_.winMain, error.Message(), box::Ok | box::IconError);
    }
}

void DownloadRun::Stop() {
    // Ends after the answer the link waits for. The button stays enabled (it holds the focus) until the
    // download has ended; pressing it again changes nothing.
    if (!Running())
        return;
    if (Phase_ == Phase::Running)
        Phase_ = Phase::StopRequested;
    Converter_.RequestStop();
}

bool DownloadRun::HoldClose() {
    // Closing now would free the converter under the running download: close once it has ended.
    if (!Running())
        return false;
    if (Phase_ != Phase::Terminating)
        Phase_ = Phase::Closing;
    Status_.Hold(ClosingStatus);
    return true;
}

bool DownloadRun::RequestTermination() {
    if (Phase_ == Phase::Terminating || Phase_ == Phase::Terminated)
        return false;
    // A download runs to its end first (the gateway must not be left half loaded for this); the end
    // carries the request out.
    Phase_ = Running() ? Phase::Terminating : Phase::Terminated;
    return true;
}

void DownloadRun::End() {
    Converter_.Close();
    Controls_.winMain->SetWaitCursor(false);
    EnableAreas(true);
    const Phase ended = Phase_;
    Phase_ = Phase::Idle;
    Status_.Release();
    // The focus leaves Stop before it is hidden: to the line to be shown, else back to Download.
    if (LineToShow_ >= 0) {
        Controls_.CommandList->SetFocus();
        LineToShow_ = -1;
    } else {
        Controls_.btnDownload->SetFocus();
    }
    Controls_.btnStop->SetVisible(false);
    if (ended == Phase::Terminating)
        Terminate_();
    else if (ended == Phase::Closing)
        Controls_.winMain->Close();
}

} // namespace zelo
