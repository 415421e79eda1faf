#pragma once
#include "commands/CommandList.h"
#include "device/SerialPort.h"
#include "device/StatusDisplay.h"
#include "model/EibGroup.h"
#include "model/Error.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace zelo {

class IniFile;

// A list that passed the checks before the erase: its lines in Latin-1, as they go out. Only
// CheckBeforeErase makes one, so a download never meets a line it cannot send.
class CheckedList {
public:
    const std::vector<std::string>& Lines() const { return Lines_; }
    // The lines the gateway will refuse though they can be sent; a window asks before it goes on.
    const std::vector<RefusedLine>& Refused() const { return Refused_; }

private:
    friend CheckedList CheckBeforeErase(const std::vector<std::string>& lines);
    std::vector<std::string> Lines_;
    std::vector<RefusedLine> Refused_;
};

// The checks a list passes before anything is erased, for every front end, before the link is opened: a line
// with a character outside Latin-1 or with a zero byte raises DownloadLineError (the first such line).
CheckedList CheckBeforeErase(const std::vector<std::string>& lines);

// The gateway driver: the link plus the gateway's configuration and its command/answer protocol.
class TEibConverter : public TSerialPort {
public:
    std::uint16_t PhysicalAddress = 0xFFFF;
    TEibGroups Groups{32768};
    std::array<char, 100> AnswerBuffer{};
    ILabel* StatusLabel = nullptr;
    IGauge* ProgressGauge = nullptr;
    std::string LastError;

    TEibConverter(ILabel* statusLabel, IGauge* progressGauge);
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
    // Lines are UTF-8 text, checked by CheckBeforeErase first (whose error stops the download before
    // anything is erased), then sent. A stop request (RequestStop) ends it between two lines with
    // DownloadInterrupted.
    virtual void Download(const std::vector<std::string>& lines);
    // Sends a list already checked.
    void Download(const CheckedList& list);
    // Writes Device and Baudrate to the settings file's section, and Host and Port only while the link is
    // the TCP one: a serial link's section stays as it always was.
    virtual void SaveSettings(const std::string& fileName);
    virtual void LoadSettings(const std::string& fileName);
    // The same on settings held in memory: a program that keeps other sections of the file too reads it once
    // and writes it once, handing the converter its copy.
    void SaveSettings(IniFile& settings) const;
    void LoadSettings(const IniFile& settings);

    // Asks a running Download to stop: before the erase when nothing has been sent yet, else once the answer
    // it waits for (the erase's, or the current line's) has come. Safe to call from the wait hook (a Stop
    // button, a termination request) and from another thread. Download clears it when it ends.
    void RequestStop() { StopRequested_ = true; }
    bool StopRequested() const { return StopRequested_; }

private:
    std::atomic<bool> StopRequested_{false};
    void StopIfRequested(int linesLoaded);
};

// A Download that ended on a stop request. LinesLoaded: the lines the gateway acknowledged (the last one is
// line LinesLoaded of the list); -1 when it stopped before the erase, so the gateway is unchanged.
class DownloadInterrupted : public Exception {
public:
    // Interrupted while the gateway was erasing: what it holds is not known.
    static constexpr int DuringErase = -2;
    explicit DownloadInterrupted(int linesLoaded);
    int LinesLoaded() const { return LinesLoaded_; }

private:
    int LinesLoaded_;
};

// A download that ended at a line of the list: refused by the gateway, or one that cannot be sent (a
// character outside Latin-1, a zero byte). LineNumber counts from 1, so a window can point at the line.
class DownloadLineError : public Exception {
public:
    DownloadLineError(const std::string& message, int lineNumber);
    int LineNumber() const { return LineNumber_; }

private:
    int LineNumber_;
};

// The message that stops a download of a line with a character outside Latin-1; "%s" takes the line number.
extern const char* const LineNotSingleByteMessage;

// The message that stops a download of a line with a zero byte (which the gateway would take for the end of
// its text); "%s" takes the line number.
extern const char* const LineWithZeroByteMessage;
// Number (from 1) of the first line with a zero byte, if any.
std::optional<int> FirstLineWithZeroByte(const std::vector<std::string>& lines);

// The answer text of a link that went away while an answer was awaited; "%s" takes the system's reason.
extern const char* const ConnectionLostMessage;

} // namespace zelo
