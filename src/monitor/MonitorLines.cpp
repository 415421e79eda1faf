#include "monitor/MonitorLines.h"

#include "model/Text.h"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <optional>

namespace zelo {

const char* const LineCutNote = " [line cut: longer than 1024 bytes]";
const char* const CsvLogHeading = "time,line,names\r\n";

void LineSplitter::Feed(std::string_view bytes, std::vector<ReceivedLine>& lines) {
    for (std::size_t i = 0; i < bytes.size();) {
        const char c = bytes[i];
        if (c == '\n' && AfterCr_) {
            AfterCr_ = false;
            ++i;
            continue;
        }
        AfterCr_ = c == '\r';
        if (c == '\r' || c == '\n') {
            if (!Dropping_)
                lines.push_back({std::move(Line_), false});
            Line_.clear();
            Dropping_ = false;
            ++i;
            continue;
        }
        // The run up to the next line end is taken in one piece.
        const std::size_t end = std::min(bytes.find_first_of("\r\n", i), bytes.size());
        if (!Dropping_) {
            const std::size_t room = MonitorLineLimit - Line_.size();
            Line_.append(bytes.substr(i, std::min(room, end - i)));
            if (end - i > room) {
                lines.push_back({std::move(Line_), true});
                Line_.clear();
                Dropping_ = true;
            }
        }
        i = end;
    }
}

void GroupNames::Add(std::uint16_t address, std::string_view name) {
    Names_.try_emplace(address, name);
}

const std::string* GroupNames::Find(std::uint16_t address) const {
    const auto found = Names_.find(address);
    return found == Names_.end() ? nullptr : &found->second;
}

namespace {

bool IsTokenCharacter(char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '/' || c == '.';
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

// A decimal number of one to three digits no larger than limit.
std::optional<unsigned> SmallNumber(std::string_view digits, unsigned limit) {
    if (digits.empty() || digits.size() > 3)
        return std::nullopt;
    unsigned value = 0;
    for (char c : digits) {
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + static_cast<unsigned>(c - '0');
    }
    return value <= limit ? std::optional<unsigned>(value) : std::nullopt;
}

std::optional<std::uint16_t> ThreeLevelAddress(std::string_view token) {
    const std::size_t first = token.find('/');
    if (first == std::string_view::npos)
        return std::nullopt;
    const std::size_t second = token.find('/', first + 1);
    if (second == std::string_view::npos)
        return std::nullopt;
    const auto main = SmallNumber(token.substr(0, first), 31);
    const auto middle = SmallNumber(token.substr(first + 1, second - first - 1), 7);
    const auto sub = SmallNumber(token.substr(second + 1), 255);
    if (!main || !middle || !sub)
        return std::nullopt;
    return static_cast<std::uint16_t>(*main << 11 | *middle << 8 | *sub);
}

std::optional<std::uint16_t> HexAddress(std::string_view token) {
    if (token.size() != 4)
        return std::nullopt;
    unsigned value = 0;
    for (char c : token) {
        const int digit = HexDigit(c);
        if (digit < 0)
            return std::nullopt;
        value = value << 4 | static_cast<unsigned>(digit);
    }
    return static_cast<std::uint16_t>(value);
}

std::optional<std::uint16_t> TokenAddress(std::string_view token, bool hex) {
    if (auto address = ThreeLevelAddress(token))
        return address;
    return hex ? HexAddress(token) : std::nullopt;
}

std::string Folded(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return out;
}

void AppendCsvField(std::string& out, std::string_view field) {
    if (field.find_first_of(",\"\r\n") == std::string_view::npos) {
        out += field;
        return;
    }
    out += '"';
    for (char c : field) {
        if (c == '"')
            out += '"';
        out += c;
    }
    out += '"';
}

} // namespace

AnnotatedLine AnnotateLine(const ReceivedLine& line, const GroupNames& names, bool hex) {
    AnnotatedLine out;
    const std::string_view bytes = line.Bytes;
    // The line is escaped piece by piece, between the tokens: a token is plain ASCII, so no piece splits a
    // character, and an escape never joins two tokens.
    std::size_t done = 0;
    for (std::size_t pos = 0; pos < bytes.size();) {
        if (!IsTokenCharacter(bytes[pos])) {
            ++pos;
            continue;
        }
        std::size_t end = pos;
        while (end < bytes.size() && IsTokenCharacter(bytes[end]))
            ++end;
        const std::string_view token = bytes.substr(pos, end - pos);
        if (auto address = TokenAddress(token, hex)) {
            out.Addresses.push_back(*address);
            if (const std::string* name = names.Find(*address)) {
                const std::string before = EscapeControlCharacters(bytes.substr(done, end - done), true);
                out.Line += before;
                out.Text += before;
                out.Names.push_back(EscapeControlCharacters(*name, true));
                out.Text += " [" + out.Names.back() + "]";
                done = end;
            }
        }
        pos = end;
    }
    const std::string rest = EscapeControlCharacters(bytes.substr(done), true);
    out.Line += rest;
    out.Text += rest;
    if (line.Cut) {
        out.Line += LineCutNote;
        out.Text += LineCutNote;
    }
    return out;
}

LineFilter::LineFilter(std::string_view text) : Folded_(Folded(text)) {
    if (auto address = TokenAddress(text, true))
        Address_ = *address;
}

bool LineFilter::Matches(const AnnotatedLine& line) const {
    if (Folded_.empty())
        return true;
    if (Address_ >= 0 &&
        std::find(line.Addresses.begin(), line.Addresses.end(), Address_) != line.Addresses.end())
        return true;
    return Folded(line.Text).find(Folded_) != std::string::npos;
}

std::string LocalTimestamp(std::chrono::system_clock::time_point time) {
    const std::time_t seconds = std::chrono::system_clock::to_time_t(time);
    auto millis =
        std::chrono::duration_cast<std::chrono::milliseconds>(time.time_since_epoch()).count() % 1000;
    if (millis < 0)
        millis += 1000;
    // The monitors run on one thread; localtime's shared result is not kept past this call.
    const std::tm* local = std::localtime(&seconds);
    if (!local)
        return "0000-00-00 00:00:00.000";
    char text[40];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d.%03d", local->tm_year + 1900,
                  local->tm_mon + 1, local->tm_mday, local->tm_hour, local->tm_min, local->tm_sec,
                  static_cast<int>(millis));
    return text;
}

std::string LogRecord(bool csv, const std::string& time, const AnnotatedLine& line) {
    std::string out;
    if (!csv) {
        if (!time.empty())
            out += time + ' ';
        out += line.Text;
        out += '\n';
        return out;
    }
    std::string names;
    for (const auto& name : line.Names)
        names += (names.empty() ? "" : "; ") + name;
    AppendCsvField(out, time);
    out += ',';
    AppendCsvField(out, line.Line);
    out += ',';
    AppendCsvField(out, names);
    out += "\r\n";
    return out;
}

bool IsCsvLogName(std::string_view fileName) {
    return fileName.size() >= 4 && Folded(fileName.substr(fileName.size() - 4)) == ".csv";
}

} // namespace zelo
