#include "device/EibConverter.h"
#include "device/IniFile.h"
#include "model/Address.h"
#include "model/Text.h"

#include <cstring>

namespace zelo {

const char* const LineNotSingleByteMessage =
    "Line %s of configuration list holds a character that the gateway cannot take!\n"
    "Only characters of the Latin-1 character set can be sent.";
const char* const LineWithZeroByteMessage = "Line %s: zero byte";
const char* const ConnectionLostMessage = "Connection to the gateway lost: %s";

namespace {

constexpr const char* SettingsSection = "SerialPort";
constexpr std::int64_t EraseTimeoutMs = 10000;
constexpr std::uint32_t AnswerLimit = 100;

} // namespace

TEibConverter::TEibConverter(ILabel* statusLabel, IGauge* progressGauge)
    : StatusLabel(statusLabel), ProgressGauge(progressGauge) {
    SetProgressRange(0, 1);
    ShowStatus("Ready...", 0);
}

TEibConverter::~TEibConverter() {
    Close();
}

void TEibConverter::Assign(const TPersistent& source) {
    if (const auto* other = dynamic_cast<const TEibConverter*>(&source)) {
        SetPhysicalAddress(other->GetPhysicalAddress());
        // Counted once: assigning a driver to itself doubles its table instead of running into the limit.
        const int count = other->Groups.Count();
        for (int i = 0; i < count; ++i)
            Groups.AddCopy(other->Groups.Items(i));
    }
    TSerialPort::Assign(source);
}

std::string TEibConverter::GetPhysicalAddress() const {
    return PhysicalAddressToText(PhysicalAddress);
}

void TEibConverter::SetPhysicalAddress(const std::string& text) {
    PhysicalAddress = TextToPhysicalAddress(text);
}

void TEibConverter::SendCommand(const std::string& command) {
    std::string frame = command;
    frame += '\r';
    (void)Write(frame.data(), static_cast<int>(frame.size()));
}

bool TEibConverter::ReadAnswer() {
    LastError.clear();
    std::uint32_t n = Read(AnswerBuffer.data(), AnswerLimit, 0x0D);
    // A link that went away before the answer was complete: say so, rather than blame the line for silence.
    const std::string lost = LostReason();
    if (!lost.empty() && (n == 0 || AnswerBuffer[n - 1] != 0x0D)) {
        if (n > 0)
            AnswerBuffer[n - 1] = '\0';
        LastError = FormatMessage(ConnectionLostMessage, lost);
        return false;
    }
    if (n == 0) {
        LastError = "No answer received";
        return false;
    }
    AnswerBuffer[n - 1] = '\0';
    const std::string answer(AnswerBuffer.data(), std::strlen(AnswerBuffer.data()));
    if (answer == "Ok")
        return true;
    // The gateway speaks 8-bit text; messages are UTF-8 inside the system. Every control character is shown
    // escaped wherever the answer goes (a terminal, a message box, the status line): a line feed or a tab
    // could forge lines such as "Configuration loaded successfully!".
    LastError = EscapeControlCharacters(SingleByteToUtf8(answer, SingleByteCharset::Latin1), true);
    return false;
}

void TEibConverter::ShowStatus(const std::string& text, int position) {
    if (StatusLabel != nullptr) {
        StatusLabel->SetText(text);
        StatusLabel->RepaintNow();
    }
    if (ProgressGauge != nullptr) {
        ProgressGauge->SetPosition(position);
        ProgressGauge->RepaintNow();
    }
}

void TEibConverter::SetProgressRange(int minimum, int maximum) {
    if (ProgressGauge != nullptr) {
        ProgressGauge->SetMinimum(minimum);
        ProgressGauge->SetMaximum(maximum);
    }
}

void TEibConverter::Reset() {
    SendCommand("#RESET");
}

void TEibConverter::EraseConfiguration() {
    struct RestoreTimeout {
        std::int64_t& Timeout;
        std::int64_t Saved;
        ~RestoreTimeout() { Timeout = Saved; }
    } restore{Timeout, Timeout};
    Timeout = EraseTimeoutMs;
    const char* const message = "Error \"%s\" occured while erasing old configuration!";
    for (const char* command : {"#CG", "#CF"}) {
        SendCommand(command);
        if (ReadAnswer())
            continue;
        // A wait ended by AbortWaits is no failure of the gateway: the download was interrupted in the erase.
        if (WaitsAborted())
            throw DownloadInterrupted(DownloadInterrupted::DuringErase);
        throw Exception(FormatMessage(message, LastError));
    }
}

std::optional<int> FirstLineWithZeroByte(const std::vector<std::string>& lines) {
    for (std::size_t i = 0; i < lines.size(); ++i)
        if (lines[i].find('\0') != std::string::npos)
            return static_cast<int>(i) + 1;
    return std::nullopt;
}

namespace {

std::string InterruptedMessage(int linesLoaded) {
    if (linesLoaded == DownloadInterrupted::DuringErase)
        return "Download interrupted during the erase: the gateway's configuration may be erased in part.";
    if (linesLoaded < 0)
        return "Download interrupted before the erase: the gateway's configuration is unchanged.";
    if (linesLoaded == 0)
        return "Download interrupted after the erase: the gateway holds no configuration.";
    return "Download interrupted after line " + std::to_string(linesLoaded) +
           ": the gateway holds a partial configuration.";
}

} // namespace

DownloadInterrupted::DownloadInterrupted(int linesLoaded)
    : Exception(InterruptedMessage(linesLoaded)), LinesLoaded_(linesLoaded) {}

DownloadLineError::DownloadLineError(const std::string& message, int lineNumber)
    : Exception(message), LineNumber_(lineNumber) {}

void TEibConverter::StopIfRequested(int linesLoaded) {
    // The window gets its events once per answer even when the gateway answers faster than a waiting slice,
    // and whoever asks for a stop (a Stop button, a termination request) is heard before the next line goes.
    if (WaitHook)
        WaitHook();
    if (!StopRequested_)
        return;
    ShowStatus("Download interrupted!", linesLoaded + 1);
    throw DownloadInterrupted(linesLoaded);
}

CheckedList CheckBeforeErase(const std::vector<std::string>& lines) {
    CheckedList checked;
    checked.Lines_.reserve(lines.size());
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const int number = static_cast<int>(i) + 1;
        std::optional<std::string> latin1 = Utf8ToLatin1(lines[i]);
        if (!latin1)
            throw DownloadLineError(FormatMessage(LineNotSingleByteMessage, std::to_string(number)), number);
        checked.Lines_.push_back(std::move(*latin1));
    }
    if (auto bad = FirstLineWithZeroByte(lines))
        throw DownloadLineError(FormatMessage(LineWithZeroByteMessage, std::to_string(*bad)), *bad);
    checked.Refused_ = CheckCommandList(lines);
    return checked;
}

void TEibConverter::Download(const std::vector<std::string>& lines) {
    Download(CheckBeforeErase(lines));
}

void TEibConverter::Download(const CheckedList& list) {
    // A request belongs to one download: whatever way this one ends, the next starts without it.
    struct ClearStop {
        TEibConverter& Converter;
        ~ClearStop() {
            Converter.StopRequested_ = false;
            Converter.ResumeWaits();
        }
    } clearStop{*this};
    const std::vector<std::string>& lines = list.Lines();
    if (StopRequested_)
        throw DownloadInterrupted(-1);
    const int n = static_cast<int>(lines.size());
    SetProgressRange(0, n + 1);
    ShowStatus("Erasing old configuration...", 0);
    EraseConfiguration();
    StopIfRequested(0);
    ShowStatus("Loading new configuration...", 1);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const int number = static_cast<int>(i) + 1;
        SendCommand(lines[i]);
        if (!ReadAnswer()) {
            // The gateway may or may not have taken the line whose answer was not waited for.
            if (WaitsAborted()) {
                ShowStatus("Download interrupted!", number);
                throw DownloadInterrupted(number - 1);
            }
            ShowStatus("Failed to load new configuration!", number);
            throw DownloadLineError(
                FormatMessage("Error \"%s\" occured while configuring device!\nPlease check line " +
                                  std::to_string(number) + " of configuration list!",
                              LastError),
                number);
        }
        // The last line's answer ends the download anyway: a request that comes with it changes nothing.
        if (number < n)
            StopIfRequested(number);
        ShowStatus("Loading new configuration...", number + 1);
    }
    ShowStatus("Configuration loaded successfully!", n + 1);
}

void TEibConverter::SaveSettings(const std::string& fileName) {
    IniFile ini = IniFile::Load(fileName);
    SaveSettings(ini);
    ini.Save(fileName);
}

void TEibConverter::LoadSettings(const std::string& fileName) {
    LoadSettings(IniFile::Load(fileName));
}

void TEibConverter::SaveSettings(IniFile& ini) const {
    ini.WriteString(SettingsSection, "Device", Device());
    ini.WriteInteger(SettingsSection, "Baudrate", Baudrate());
    if (TcpDevice()) {
        ini.WriteString(SettingsSection, "Host", Host());
        ini.WriteString(SettingsSection, "Port", Port());
    }
}

void TEibConverter::LoadSettings(const IniFile& ini) {
    SetDevice(ini.ReadString(SettingsSection, "Device", "COM1"));
    SetBaudrate(ini.ReadInteger(SettingsSection, "Baudrate", 19200));
    // The TCP form of the link needs a host and a port; only a file can give them.
    if (auto host = ini.Find(SettingsSection, "Host"))
        SetHost(*host);
    if (auto port = ini.Find(SettingsSection, "Port"))
        SetPort(*port);
}

} // namespace zelo
