#include "cli/Cli.h"
#include "device/EibConverter.h"
#include "device/IniFile.h"
#include "model/Error.h"
#include "model/Text.h"
#include "os/Arguments.h"
#include "os/DeviceList.h"
#include "os/Files.h"
#include "os/Paths.h"
#include "os/Signals.h"
#include "os/Terminal.h"

#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <memory>
#include <optional>

namespace zelo::cli {

namespace {

struct DownloadOptions {
    LinkOptions Link;
    std::string File;
    bool Trace = false;
    bool Quiet = false;
};

// Shows the driver's status and position on standard error, which also carries the messages: a bar on a
// terminal, one plain line per step elsewhere. Standard output stays free for what a command prints.
class Progress {
public:
    explicit Progress(bool terminal) : terminal_(terminal) {}

    void Text(const std::string& text) { text_ = text; }
    void Minimum(int value) { minimum_ = value; }
    void Maximum(int value) { maximum_ = value; }
    void Position(int value) { position_ = value; }

    void Draw() {
        const int span = maximum_ > minimum_ ? maximum_ - minimum_ : 1;
        const int done = std::clamp(position_ - minimum_, 0, span);
        if (!terminal_) {
            std::cerr << text_ << ' ' << done << '/' << span << '\n' << std::flush;
            return;
        }
        constexpr int width = 30;
        const int filled = done * width / span;
        std::cerr << "\r[" << std::string(static_cast<std::size_t>(filled), '#')
                  << std::string(static_cast<std::size_t>(width - filled), '-') << "] " << done * 100 / span
                  << "% " << text_ << "\x1b[K" << std::flush;
        shown_ = true;
    }

    // Leaves the bar's line, so that what follows starts on a line of its own.
    void End() {
        if (shown_)
            std::cerr << '\n' << std::flush;
        shown_ = false;
    }

private:
    bool terminal_;
    bool shown_ = false;
    std::string text_;
    int minimum_ = 0;
    int maximum_ = 1;
    int position_ = 0;
};

class Label final : public ILabel {
public:
    explicit Label(Progress& progress) : progress_(progress) {}
    void SetText(const std::string& text) override { progress_.Text(text); }
    void RepaintNow() override {} // the gauge's repaint, which follows at once, draws both

private:
    Progress& progress_;
};

class Gauge final : public IGauge {
public:
    explicit Gauge(Progress& progress) : progress_(progress) {}
    void SetMinimum(int value) override { progress_.Minimum(value); }
    void SetMaximum(int value) override { progress_.Maximum(value); }
    void SetPosition(int value) override { progress_.Position(value); }
    void RepaintNow() override { progress_.Draw(); }

private:
    Progress& progress_;
};

// Every byte sent and received, one line per block, with the time since the start in seconds to the
// millisecond and the direction, for a field problem to be sent in as a text file.
class TraceWriter {
public:
    void operator()(TraceDirection direction, std::string_view bytes) const {
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
        char stamp[32];
        std::snprintf(stamp, sizeof stamp, "%10.3f %s ", seconds,
                      direction == TraceDirection::Sent ? "->" : "<-");
        std::cerr << stamp << (bytes.empty() ? std::string("(nothing)") : EscapeBytes(bytes)) << '\n'
                  << std::flush;
    }

private:
    std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
};

int RunDownload(const DownloadOptions& o) {
    // Refused before the port is touched: nothing of a list the gateway cannot take is sent.
    std::optional<CheckedList> checked;
    try {
        checked = CheckBeforeErase(ReadCommandList(o.File));
    } catch (const DownloadLineError& e) {
        throw ExitRequest{ExitBadInput, e.Message()};
    }

    // Declared first, so it outlives the converter that draws on it.
    Progress progress(!o.Trace && os::IsTerminal(os::StandardStream::Error));
    Label label(progress);
    Gauge gauge(progress);
    // Leaves the progress bar's line on every way out, so a message starts on a line of its own. The link is
    // closed before that (the converter goes first), so its exclusive use has ended when the message shows.
    struct EndProgress {
        Progress& Shown;
        ~EndProgress() { Shown.End(); }
    } endProgress{progress};
    TEibConverter converter(nullptr, nullptr);
    ApplyLinkSettings(converter, o.Link);
    if (!o.Quiet) {
        converter.StatusLabel = &label;
        converter.ProgressGauge = &gauge;
    }
    if (o.Trace)
        converter.Trace = TraceWriter{};
    // SIGINT and SIGTERM stop the download between two lines, and end a wait at once: a silent gateway or a
    // connect that hangs is not sat out.
    os::CatchTerminationRequests();
    converter.WaitHook = [&converter] {
        if (os::TerminationRequest() != 0) {
            converter.RequestStop();
            converter.AbortWaits();
        }
    };
    if (!OpenLinkOrExit(converter))
        // A connect given up for a termination request is the download interrupted, not a faulty link.
        throw ExitRequest{128 + os::TerminationRequest(), DownloadInterrupted(-1).Message()};
    if (os::TerminationRequest() != 0)
        converter.RequestStop();
    try {
        converter.Download(*checked);
    } catch (const DownloadInterrupted& e) {
        const int signal = os::TerminationRequest();
        throw ExitRequest{signal != 0 ? 128 + signal : int{ExitDeviceFailed}, e.Message()};
    } catch (const Exception& e) {
        throw ExitRequest{ExitDeviceFailed, e.Message()};
    }
    return ExitOk;
}

} // namespace

void AddDownload(CLI::App& app, Runner& run) {
    auto* command =
        app.add_subcommand("download", "Erase the gateway's configuration and load a command list");
    auto o = std::make_shared<DownloadOptions>();
    o->Link.AddTo(*command);
    command->add_flag("--quiet", o->Quiet, "show no progress; messages still go to stderr");
    command->add_flag(
        "--trace", o->Trace,
        "write every byte sent and received to stderr, with the time in seconds and the direction");
    command->add_option("FILE", o->File, "the command list, one command per line; - for standard input")
        ->required();
    command->callback([&run, o] { run = [o] { return RunDownload(*o); }; });
}

} // namespace zelo::cli
