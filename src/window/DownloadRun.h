#pragma once
// A download from the window: the checks before the erase, the run with its Stop, and a close or a
// termination request that comes while it runs, held until it has ended.
#include "device/EibConverter.h"
#include "window/Controls.h"
#include "window/Dialogs.h"

#include <functional>
#include <string>
#include <vector>

namespace zelo {

// The status line a close asked for during a download shows until the download has ended.
inline constexpr const char* ClosingStatus = "Closing when the download has ended...";

// The status line as the driver writes it: in the user's language, and painted at once. A text held (a close
// waiting for the download's end) stays on show meanwhile; the driver's latest returns when released.
class StatusLine : public ILabel {
public:
    explicit StatusLine(ILabel& label) : Label_(label) {}
    void SetText(const std::string& text) override;
    void RepaintNow() override { Label_.RepaintNow(); }
    void Hold(const std::string& text);
    void Release();

private:
    ILabel& Label_;
    std::string Latest_;
    std::string Held_;
};

// Where the window stands with a download and with its own end.
enum class Phase {
    Idle,          // no download: every handler may act
    Running,       // a download runs
    StopRequested, // a download runs and the user asked it to stop
    Closing,       // a download runs and a close waits for its end
    Terminating,   // a download runs and a termination request waits for its end
    Ending,        // the window ends by its own decision (Exit, a close); the settings go as it is destroyed
    Terminated,    // the window ended for a termination request: the list and the settings are kept already
};

class DownloadRun {
public:
    // terminate carries out a termination request once the download it waited for has ended.
    DownloadRun(const WindowControls& controls, TEibConverter& converter, ILabel& label, Dialogs& dialogs,
                std::function<void()> terminate);

    Phase State() const { return Phase_; }
    bool Running() const;
    // The window has ended (Ending, Terminated): the close its end brings asks nothing.
    bool Ended() const { return Phase_ == Phase::Ending || Phase_ == Phase::Terminated; }
    void Finish(Phase end) { Phase_ = end; }

    // The lines checked, the refused ones asked about, then sent; every error is shown here. beforeSend, when
    // given, is asked once the checks have passed and before the link is opened: false calls the run off.
    void Download(const std::vector<std::string>& lines, const std::function<bool()>& beforeSend = {});
    void Stop();
    // A close while a download runs is held (true) and carried out at its end.
    bool HoldClose();
    // A termination request: false when one came already; held while a download runs.
    bool RequestTermination();
    // Shows a line of the list: selected and scrolled into view, the focus in the list once it is enabled.
    void PointAtLine(int index);
    // The status line empty and the gauge at 0: what they said is about a list no longer shown.
    void ClearProgress();
    StatusLine& Status() { return Status_; }

private:
    bool ConfirmRefusedLines(const std::vector<RefusedLine>& refused);
    void EnableAreas(bool enabled);
    void End();

    const WindowControls& Controls_;
    TEibConverter& Converter_;
    StatusLine Status_;
    Dialogs& Dialogs_;
    std::function<void()> Terminate_;
    Phase Phase_ = Phase::Idle;
    int LineToShow_ = -1;
};

} // namespace zelo
