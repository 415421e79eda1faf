#include "window/MonitorWindow.h"
#include "window/Catalogue.h"

#include "device/EibConverter.h"
#include "model/Error.h"
#include "monitor/MonitorNames.h"
#include "os/Files.h"
#include "window/StandardError.h"

#include <algorithm>
#include <chrono>

namespace zelo {

namespace {

// What one tick takes at most, so a flood of bytes cannot hold the GUI thread: the rest waits for the next.
constexpr std::size_t MaxBytesPerTick = 256 * 1024;
constexpr int Margin = 8;
constexpr int ButtonWidth = 105;
constexpr int ButtonHeight = 25;
constexpr int PauseWidth = 80;

std::string FolderOf(const std::string& path) {
    const std::size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

std::string FileNameOf(const std::string& path) {
    const std::size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

} // namespace

MonitorLayout LayOutMonitor(layout::Size client, int fieldHeight) {
    MonitorLayout l;
    const int rowHeight = std::max(ButtonHeight, fieldHeight);
    // The buttons from the right-hand end leftwards, Pause before them, the filter takes what is left.
    int x = client.Width;
    for (layout::Rect* button : {&l.Names, &l.SaveLog, &l.Clear}) {
        x -= Margin + ButtonWidth;
        *button = {x, Margin, ButtonWidth, ButtonHeight};
    }
    x -= Margin + PauseWidth;
    l.Pause = {x, Margin, PauseWidth, ButtonHeight};
    l.Filter = {Margin, Margin + (rowHeight - fieldHeight) / 2, std::max(40, x - 2 * Margin), fieldHeight};
    const int bottom = client.Height - Margin - fieldHeight;
    l.Count = {Margin, bottom, 200, fieldHeight};
    l.Status = {2 * Margin + 200, bottom, std::max(40, client.Width - 3 * Margin - 200), fieldHeight};
    const int top = 2 * Margin + rowHeight;
    l.Lines = {Margin, top, std::max(40, client.Width - 2 * Margin), std::max(40, bottom - Margin - top)};
    return l;
}

MonitorWindow::MonitorWindow(const MonitorControls& controls, Dialogs& dialogs)
    : MonitorControls(controls), Dialogs_(dialogs) {
    winMonitor->SetCaption(std::string(Tr(MonitorCaption)));
    ShowCount();
}

MonitorWindow::~MonitorWindow() {
    if (Link_)
        Link_->Close();
}

void MonitorWindow::Run(Handler handler) {
    Guarded(Dialogs_, [this, handler] { (this->*handler)(); });
}

void MonitorWindow::Open(const TSerialPort& settings, const std::string& namesFile, bool hex) {
    winMonitor->Show();
    if (Running())
        return;
    if (!Link_)
        Link_ = std::make_unique<TSerialPort>();
    Link_->Assign(settings);
    Hex_ = hex;
    if (!NamesChosen_ && namesFile != NamesFile_)
        LoadNames(namesFile, true);
    Start();
}

bool MonitorWindow::Running() const {
    return Link_ && Link_->IsOpen();
}

bool MonitorWindow::Start() {
    if (!Link_ || Running())
        return Running();
    Link_->ResumeWaits();
    std::string failure;
    try {
        if (!Link_->Open())
            failure = FormatMessage("Can't open %s!", Link_->Device());
    } catch (const Exception& e) {
        failure = e.Message();
    }
    if (!failure.empty()) {
        Status(failure);
        Dialogs_.MessageBox(failure, MonitorCaption, box::Ok | box::IconError, Link_->LastOsError());
        return false;
    }
    // Every read takes what is there and returns: the timer comes back for the rest.
    Link_->Timeout = 0;
    Splitter_ = LineSplitter();
    winMonitor->SetTicking(true);
    Status(Fill(Tr("Reading %s."),
                {Link_->TcpDevice() ? Link_->Host() + ":" + Link_->Port() : Link_->Device()}) +
           " " + NamesStatus_);
    return true;
}

void MonitorWindow::Stop(const std::string& status) {
    winMonitor->SetTicking(false);
    if (Link_)
        Link_->Close();
    Status(status);
}

void MonitorWindow::Tick() {
    if (!Running())
        return;
    std::vector<ReceivedLine> lines;
    char buffer[4096];
    for (std::size_t taken = 0; taken < MaxBytesPerTick;) {
        const std::uint32_t count = Link_->Read(buffer, sizeof buffer, '\n');
        if (count == 0)
            break;
        Splitter_.Feed(std::string_view(buffer, count), lines);
        taken += count;
    }
    if (!lines.empty()) {
        const std::string time = LocalTimestamp(std::chrono::system_clock::now());
        const bool paused = chkPause->Checked();
        std::vector<std::string> show;
        int dropped = 0;
        for (const ReceivedLine& line : lines) {
            Entry entry{time, AnnotateLine(line, Names_, Hex_)};
            ++Received_;
            entry.InView = !paused && Filter_.Matches(entry.Line);
            if (entry.InView)
                show.push_back(Shown(entry));
            Kept_.push_back(std::move(entry));
            if (Kept_.size() > MonitorViewLimit) {
                dropped += Kept_.front().InView ? 1 : 0;
                Kept_.pop_front();
            }
        }
        // The view holds the kept lines it shows, in order: the new ones go to its end, the dropped ones
        // leave from its start.
        if (!show.empty())
            lstLines->AppendLines(show);
        if (dropped > 0)
            lstLines->RemoveFirstLines(dropped);
        Shown_ += show.size();
        Shown_ -= static_cast<std::size_t>(dropped);
        ShowCount();
    }
    const std::string lost = Link_->LostReason();
    if (!lost.empty())
        Stop(FormatMessage(ConnectionLostMessage, lost));
}

void MonitorWindow::txtFilterChange() {
    Filter_ = LineFilter(txtFilter->Text());
    ShowAll();
}

void MonitorWindow::chkPauseClick() {
    // Lines that came during the pause show once it ends.
    if (!chkPause->Checked())
        ShowAll();
}

void MonitorWindow::btnClearClick() {
    Kept_.clear();
    Received_ = 0;
    Shown_ = 0;
    lstLines->ClearLines();
    ShowCount();
}

void MonitorWindow::btnSaveLogClick() {
    const auto path = Dialogs_.SaveFile(MonitorLogFilter, LogFolder_, "monitor.txt");
    if (!path)
        return;
    LogFolder_ = FolderOf(*path);
    const bool csv = IsCsvLogName(*path);
    std::string text = csv ? CsvLogHeading : "";
    for (const Entry& entry : Kept_)
        if (entry.InView)
            text += LogRecord(csv, entry.Time, entry.Line);
    try {
        os::ReplaceFileContents(*path, text);
    } catch (const Exception& e) {
        Dialogs_.MessageBox(e.Message(), MonitorCaption, box::Ok | box::IconError);
    }
}

void MonitorWindow::btnNamesClick() {
    const auto path = Dialogs_.OpenFile(MonitorNamesFilter, FolderOf(NamesFile_));
    if (!path)
        return;
    LoadNames(*path, false);
    NamesChosen_ = NamesFile_ == *path;
    Status(Running() ? std::string(Tr("Reading.")) + " " + NamesStatus_ : NamesStatus_);
}

void MonitorWindow::FormClose() {
    Stop(std::string(Tr("Stopped.")));
}

std::string MonitorWindow::Shown(const Entry& entry) {
    return entry.Time + ' ' + entry.Line.Text;
}

void MonitorWindow::LoadNames(const std::string& fileName, bool quiet) {
    if (fileName.empty()) {
        Names_ = GroupNames();
        NamesFile_.clear();
        NamesStatus_ = Tr("No names.");
        return;
    }
    try {
        Names_ = ReadGroupNames(fileName, os::ReadWholeFile(fileName, os::ImportLimit), std::nullopt);
        NamesFile_ = fileName;
        NamesStatus_ =
            Fill(Tr("Names of %d groups from %s."), {std::to_string(Names_.size()), FileNameOf(fileName)});
    } catch (const Exception& e) {
        NamesStatus_ = Fill(Tr("No names: %s"), {TrMessage(e.Message())});
        if (!quiet)
            Dialogs_.MessageBox(e.Message(), MonitorCaption, box::Ok | box::IconError);
    }
}

void MonitorWindow::ShowAll() {
    // Paused, the view keeps what it has; the filter applies when the pause ends.
    if (chkPause->Checked())
        return;
    std::vector<std::string> show;
    for (Entry& entry : Kept_) {
        entry.InView = Filter_.Matches(entry.Line);
        if (entry.InView)
            show.push_back(Shown(entry));
    }
    lstLines->ClearLines();
    lstLines->AppendLines(show);
    Shown_ = show.size();
    ShowCount();
}

void MonitorWindow::ShowCount() {
    std::string text = Fill(Received_ == 1 ? Tr("%d line") : Tr("%d lines"), {std::to_string(Received_)});
    if (!Filter_.empty())
        text += Fill(Tr(", %d shown"), {std::to_string(Shown_)});
    labCount->SetText(text);
    labCount->RepaintNow();
}

void MonitorWindow::Status(const std::string& text) {
    labStatus->SetText(TrMessage(text));
    labStatus->RepaintNow();
}

} // namespace zelo
