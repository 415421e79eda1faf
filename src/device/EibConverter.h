#pragma once
#include "device/SerialPort.h"
#include "model/EibGroup.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace zelo {

// The window's status label: the driver sets the text and wants it visible at once.
class IStatusLabel {
public:
    virtual ~IStatusLabel() = default;
    virtual void SetStatusText(const std::string& text) = 0; // UTF-8
    virtual void RepaintNow() = 0;
};

// The window's progress gauge.
class IProgressGauge {
public:
    virtual ~IProgressGauge() = default;
    virtual void SetMinimum(int value) = 0;
    virtual void SetMaximum(int value) = 0;
    virtual void SetPosition(int value) = 0;
    virtual void RepaintNow() = 0;
};

// The gateway driver: the link plus the gateway's configuration and its command/answer protocol.
class TEibConverter : public TSerialPort {
public:
    std::uint16_t PhysicalAddress = 0xFFFF;
    TEibGroups Groups{32768};
    std::array<char, 100> AnswerBuffer{};
    IStatusLabel* StatusLabel = nullptr;
    IProgressGauge* ProgressGauge = nullptr;
    std::string LastError;

    TEibConverter(IStatusLabel* statusLabel, IProgressGauge* progressGauge);
    ~TEibConverter() override;

    void Assign(const TPersistent& source) override;

    std::string GetPhysicalAddress() const;
    void SetPhysicalAddress(const std::string& text);

    // Sends the command's bytes as they stand (8-bit), then a carriage return.
    void SendCommand(const std::string& command);
    bool ReadAnswer();
    void ShowStatus(const std::string& text, int position);
    void SetProgressRange(int minimum, int maximum);

    virtual void Reset();
    virtual void EraseConfiguration();
    // Lines are UTF-8 text; each goes out as Latin-1. A line with a character outside Latin-1 stops the
    // download before anything is erased.
    virtual void Download(const std::vector<std::string>& lines);
    virtual void SaveSettings(const std::string& fileName);
    virtual void LoadSettings(const std::string& fileName);
};

// The message that stops a download of a line with a character outside Latin-1; "%s" takes the line number.
extern const char* const LineNotSingleByteMessage;
// Number (from 1) of the first line with a character that has no single-byte form, if any.
std::optional<int> FirstLineWithoutSingleByteForm(const std::vector<std::string>& lines);

// The settings file for an executable path: extension replaced by ".ini" (appended when there is none). On
// POSIX, when that folder is not writable and no such file exists there, the same name under $XDG_CONFIG_HOME
// (default ~/.config)/zelo-configurator/; a build with ZELO_INSTALLED_LAYOUT (the package) always uses that
// one.
std::string SettingsFileName(const std::string& executablePath);

// Full path of the running executable.
std::string ExecutablePath();

} // namespace zelo
