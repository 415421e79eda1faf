#include "cli/Cli.h"
#include "device/Arguments.h"
#include "device/EibConverter.h"
#include "model/Error.h"
#include "model/Text.h"

#include <climits>
#include <filesystem>
#include <iostream>
#include <memory>
#include <optional>
#include <unistd.h>

namespace zelo::cli {

namespace {

struct DownloadOptions {
    std::string Device;
    std::optional<int> Baud;
    std::string Host;
    std::optional<int> Port;
    std::string Settings;
    std::string File;
};

// Shows the driver's status and position: a bar on a terminal, one plain line per step elsewhere (on standard
// output then, so that standard error holds only the messages).
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
            std::cout << text_ << ' ' << done << '/' << span << '\n' << std::flush;
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

class Label final : public IStatusLabel {
public:
    explicit Label(Progress& progress) : progress_(progress) {}
    void SetStatusText(const std::string& text) override { progress_.Text(text); }
    void RepaintNow() override {} // the gauge's repaint, which follows at once, draws both

private:
    Progress& progress_;
};

class Gauge final : public IProgressGauge {
public:
    explicit Gauge(Progress& progress) : progress_(progress) {}
    void SetMinimum(int value) override { progress_.Minimum(value); }
    void SetMaximum(int value) override { progress_.Maximum(value); }
    void SetPosition(int value) override { progress_.Position(value); }
    void RepaintNow() override { progress_.Draw(); }

private:
    Progress& progress_;
};

std::string WithReason(const std::string& message, const std::string& reason) {
    return reason.empty() ? message : message + "\n" + reason;
}

int RunDownload(const DownloadOptions& o) {
    std::vector<std::string> lines = SplitLines(DecodeTextFile(ReadInput(o.File), SingleByteCharset::Latin1));
    if (auto bad = FirstLineWithoutSingleByteForm(lines))
        throw ExitRequest{ExitBadInput, FormatMessage(LineNotSingleByteMessage, std::to_string(*bad))};

    Progress progress(::isatty(2) == 1);
    Label label(progress);
    Gauge gauge(progress);
    TEibConverter converter(nullptr, nullptr);
    // The configurator's own settings give the defaults: the link the user last chose in the window.
    std::string settings = os::NarrowFileName(o.Settings);
    if (settings.empty()) {
        std::string configurator =
            (std::filesystem::path(ExecutablePath()).parent_path() / "zelo-configurator").string();
        std::string beside = SettingsFileName(configurator);
        std::error_code ec;
        if (std::filesystem::exists(beside, ec))
            settings = beside;
    }
    if (!settings.empty()) {
        try {
            converter.LoadSettings(settings);
        } catch (const Exception& e) {
            throw ExitRequest{ExitBadInput, e.Message()};
        }
    }
    if (!o.Device.empty())
        converter.SetDevice(o.Device);
    if (o.Baud)
        converter.SetBaudrate(*o.Baud);
    if (!o.Host.empty() || o.Port) {
        converter.SetDevice("TCP/IP");
        if (!o.Host.empty())
            converter.SetHost(o.Host);
        if (o.Port)
            converter.SetPort(std::to_string(*o.Port));
    }
    converter.StatusLabel = &label;
    converter.ProgressGauge = &gauge;

    try {
        if (!converter.Open()) {
            std::string message = FormatMessage("Can't open %s!", converter.Device());
            std::string reason = converter.LastOsError();
            converter.Close();
            throw ExitRequest{ExitDeviceFailed, WithReason(message, reason)};
        }
    } catch (const Exception& e) {
        std::string reason = converter.LastOsError();
        converter.Close();
        throw ExitRequest{ExitDeviceFailed, WithReason(e.Message(), reason)};
    }
    try {
        converter.Download(lines);
    } catch (const Exception& e) {
        progress.End();
        converter.Close();
        throw ExitRequest{ExitDeviceFailed, e.Message()};
    }
    progress.End();
    converter.Close();
    return ExitOk;
}

} // namespace

void AddDownload(CLI::App& app, Runner& run) {
    auto* command =
        app.add_subcommand("download", "Erase the gateway's configuration and load a command list");
    auto o = std::make_shared<DownloadOptions>();
    command->add_option("--device", o->Device,
                        "COM1, COM2, ... (/dev/ttyS0, ...), a device path such as /dev/ttyUSB0, or TCP/IP; "
                        "default: the configurator's setting, else COM1");
    command->add_option("--baud", o->Baud, "line speed; default: the configurator's setting, else 19200")
        ->check(CLI::Range(1, INT_MAX));
    command->add_option("--host", o->Host, "reach the gateway over TCP at this host");
    command->add_option("--port", o->Port, "TCP port of the gateway")->check(CLI::Range(1, 65535));
    command->add_option("--settings", o->Settings, "settings file to take the link from")
        ->check(CLI::ExistingFile);
    command->add_option("FILE", o->File, "the command list, one command per line; - for standard input")
        ->required();
    command->callback([&run, o] { run = [o] { return RunDownload(*o); }; });
}

} // namespace zelo::cli
