#pragma once
// The monitor window without a toolkit: what the gateway prints, as it arrives, with the time and the
// groups' names, a filter, Pause, Clear and Save log. It reads the link from the view's timer on the GUI
// thread, a short read that never waits, so the window never blocks and needs no thread of its own.
#include "device/SerialPort.h"
#include "monitor/MonitorLines.h"
#include "window/Catalogue.h"
#include "window/Controls.h"
#include "window/Dialogs.h"

#include <cstddef>
#include <deque>
#include <memory>
#include <string>
#include <vector>

namespace zelo {

inline constexpr const char* MonitorCaption = "Gateway monitor";
// How often the view's timer asks for what has arrived.
inline constexpr int MonitorTickMs = 20;
// The lines kept for the view; older ones drop out.
inline constexpr std::size_t MonitorViewLimit = 100000;
inline constexpr const char* MonitorStopQuestion =
    "The monitor is reading the gateway's link. Stop it for the download?";
inline constexpr const char* MonitorRestartQuestion = "The download has ended. Start the monitor again?";
inline constexpr const char* MonitorLogFilter = "Log (*.txt)|*.txt|CSV log (*.csv)|*.csv|All files|*";
inline constexpr const char* MonitorNamesFilter =
    "ETS files (*.csv *.xml *.esf *.knxproj)|*.csv;*.xml;*.esf;*.knxproj|All files|*";

// The lines on show, oldest first. Appending keeps the newest in view when the view showed the end.
class ILineView : public IControl {
public:
    virtual void AppendLines(const std::vector<std::string>& lines) = 0;
    virtual void RemoveFirstLines(int count) = 0;
    virtual void ClearLines() = 0;
    virtual int LineCount() const = 0;
    virtual std::string LineText(int index) const = 0;
};

// The monitor's own window.
class IMonitorForm {
public:
    virtual ~IMonitorForm() = default;
    // Shows the window and brings it to the front.
    virtual void Show() = 0;
    virtual void SetCaption(const std::string& caption) = 0;
    // While on, the view calls MonitorWindow::Tick every MonitorTickMs on the GUI thread.
    virtual void SetTicking(bool on) = 0;
};

struct MonitorControls {
    IMonitorForm* winMonitor = nullptr;
    ILineView* lstLines = nullptr;
    IEditField* txtFilter = nullptr;
    ICheckBox* chkPause = nullptr;
    IButton* btnClear = nullptr;
    IButton* btnSaveLog = nullptr;
    IButton* btnNames = nullptr;
    ILabel* labCount = nullptr;
    ILabel* labStatus = nullptr;
};

// Where the monitor's controls go for a client size: the buttons and the filter in a row at the top, the
// count and the status in a row at the bottom, the lines between them.
struct MonitorLayout {
    layout::Rect Filter, Pause, Clear, SaveLog, Names, Lines, Count, Status;
};
MonitorLayout LayOutMonitor(layout::Size client, int fieldHeight);
inline constexpr layout::Size MonitorDesignSize{900, 500};

class MonitorWindow : public MonitorControls {
public:
    MonitorWindow(const MonitorControls& controls, Dialogs& dialogs);
    ~MonitorWindow();
    MonitorWindow(const MonitorWindow&) = delete;
    MonitorWindow& operator=(const MonitorWindow&) = delete;

    // Shows the window and reads the link with the given settings; the names come from namesFile (the main
    // window's last import) unless a file was chosen here. hex: the gateway prints hexadecimal addresses.
    void Open(const TSerialPort& settings, const std::string& namesFile, bool hex);
    bool Running() const;
    // Opens the link again with the settings of the last Open; false (and a box) when it cannot.
    bool Start();
    // Closes the link; the lines stay on show and the status says why.
    void Stop(const std::string& status);
    // Takes what has arrived (never waits) and shows it.
    void Tick();

    using Handler = void (MonitorWindow::*)();
    void Run(Handler handler);
    void txtFilterChange();
    void chkPauseClick();
    void btnClearClick();
    void btnSaveLogClick();
    void btnNamesClick();
    // The window's close box: the link is closed, the window goes.
    void FormClose();

    // Lines received since the last Clear, and those kept for the view.
    std::size_t Received() const { return Received_; }
    std::size_t Kept() const { return Kept_.size(); }
    std::size_t NameCount() const { return Names_.size(); }

private:
    struct Entry {
        std::string Time;
        AnnotatedLine Line;
        bool InView = false;
    };
    static std::string Shown(const Entry& entry);
    void LoadNames(const std::string& fileName, bool quiet);
    void ShowAll();
    void ShowCount();
    void Status(const std::string& text);

    TranslatedDialogs Dialogs_; // every box and dialog in the user's language
    std::unique_ptr<TSerialPort> Link_;
    LineSplitter Splitter_;
    GroupNames Names_;
    std::string NamesFile_;
    std::string NamesStatus_ = "No names.";
    bool NamesChosen_ = false;
    bool Hex_ = false;
    std::deque<Entry> Kept_;
    std::size_t Received_ = 0;
    LineFilter Filter_;
    std::size_t Shown_ = 0; // the lines in the view
    std::string LogFolder_;
};

} // namespace zelo
