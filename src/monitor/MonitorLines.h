#pragma once
// What the gateway prints, line by line, as the monitors show it: lines found in the byte stream, control
// characters escaped, group addresses followed by their names, the local time, and the log's records.
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace zelo {

// A line longer than this is cut here; the rest up to its line end is dropped, so a link that never ends a
// line cannot make a monitor grow.
inline constexpr std::size_t MonitorLineLimit = 1024;
// Follows the shown text of a line that was cut.
extern const char* const LineCutNote;

struct ReceivedLine {
    std::string Bytes; // without its line end, at most MonitorLineLimit bytes
    bool Cut = false;  // the line went on; the rest was dropped
};

// Finds the lines in a byte stream that comes in blocks of any size: CR, LF and CR LF each end one line (an
// LF right after a CR, also in the next block, ends nothing), so no empty lines appear between CR LF pairs.
class LineSplitter {
public:
    // Appends the lines the bytes complete to `lines`.
    void Feed(std::string_view bytes, std::vector<ReceivedLine>& lines);
    // The bytes of the line begun and not yet ended.
    const std::string& Pending() const { return Line_; }

private:
    std::string Line_;
    bool AfterCr_ = false;
    bool Dropping_ = false; // the line was cut; its rest is dropped up to its end
};

// The group names a monitor shows after the addresses, by the gateway's 16-bit address value. The first name
// given for an address stays.
class GroupNames {
public:
    void Add(std::uint16_t address, std::string_view name);
    // nullptr when the address has no name.
    const std::string* Find(std::uint16_t address) const;
    std::size_t size() const { return Names_.size(); }
    bool empty() const { return Names_.empty(); }

private:
    std::unordered_map<std::uint16_t, std::string> Names_;
};

struct AnnotatedLine {
    std::string Line;                     // the line as it came, control characters escaped
    std::string Text;                     // Line with each named address followed by " [NAME]"
    std::vector<std::string> Names;       // the names added, in the order of the line
    std::vector<std::uint16_t> Addresses; // every group address read in the line, named or not
};

// Reads the line's tokens (runs of letters, digits, '/' and '.'): one of the form M/M/S (main 0 to 31,
// middle 0 to 7, sub 0 to 255) is a group address; with hex, so is one of exactly four hexadecimal digits. A
// physical address (A.L.D) and every other token is left as it is. Nothing of the line is changed; a cut
// line ends with LineCutNote.
AnnotatedLine AnnotateLine(const ReceivedLine& line, const GroupNames& names, bool hex);

// A filter's text: empty shows every line; a group address (M/M/S, or four hexadecimal digits) shows the
// lines that hold it in either form; any text shows the lines whose text holds it, letters in any case.
class LineFilter {
public:
    explicit LineFilter(std::string_view text = {});
    bool Matches(const AnnotatedLine& line) const;
    bool empty() const { return Folded_.empty(); }

private:
    std::string Folded_;
    int Address_ = -1; // the group address the text reads as, or -1
};

// "2026-12-08 11:45:12.345": the local time to the millisecond.
std::string LocalTimestamp(std::chrono::system_clock::time_point time);

// One record of a monitor's log: with csv a row of the columns time, line, names (RFC 4180 quoting, CR LF,
// the names separated by "; "), else the line as shown, the time in front when there is one, and a line feed.
std::string LogRecord(bool csv, const std::string& time, const AnnotatedLine& line);
// The heading row of a CSV log.
extern const char* const CsvLogHeading;
// A log named .csv (any case) is written as CSV.
bool IsCsvLogName(std::string_view fileName);

} // namespace zelo
