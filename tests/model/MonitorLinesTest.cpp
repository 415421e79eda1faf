#include "monitor/MonitorLines.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace zelo;

namespace {

// The lines of a stream handed over in blocks cut at every given position.
std::vector<ReceivedLine> Split(const std::string& stream, std::vector<std::size_t> cuts) {
    LineSplitter splitter;
    std::vector<ReceivedLine> lines;
    std::size_t from = 0;
    cuts.push_back(stream.size());
    for (std::size_t cut : cuts) {
        splitter.Feed(std::string_view(stream).substr(from, cut - from), lines);
        from = cut;
    }
    return lines;
}

GroupNames SampleNames() {
    GroupNames names;
    names.Add(0x0A03, "Light kitchen");    // 1/2/3
    names.Add(0x0A03, "a later name");     // the first stays
    names.Add(0x7FFF, "Top\x1b[2J");       // 15/7/255, with a control character
    names.Add(0x0000, "Zero, \"quoted\""); // 0/0/0
    return names;
}

} // namespace

TEST(monitor, LinesEndAtCrLfOrCrLfInAnyBlocks) {
    const std::string long1025 = std::string(1024, 'a') + "b";
    const struct {
        std::string stream;
        std::vector<std::size_t> cuts;
        std::vector<std::string> lines;
        std::vector<bool> cut;
        std::string pending;
    } cases[] = {
        {"a\rb\nc\r\nd", {}, {"a", "b", "c"}, {false, false, false}, "d"},
        {"a\r\nb\r\n", {2}, {"a", "b"}, {false, false}, ""}, // CR and LF in two blocks: one line end
        {"a\r\r\nb\n\n", {1, 2, 3}, {"a", "", "b", ""}, {false, false, false, false}, ""},
        {std::string("\0x\xff\r", 4), {}, {std::string("\0x\xff", 3)}, {false}, ""},
        {std::string(1024, 'a') + "\r", {}, {std::string(1024, 'a')}, {false}, ""},
        {long1025 + "\r\nnext\r", {}, {std::string(1024, 'a'), "next"}, {true, false}, ""},
        {long1025 + long1025 + "\nnext\r", {1000, 1500}, {std::string(1024, 'a'), "next"}, {true, false}, ""},
        {long1025 + "\n", {1024}, {std::string(1024, 'a')}, {true}, ""},
        {"x" + long1025, {}, {"x" + std::string(1023, 'a')}, {true}, ""},
    };
    for (const auto& c : cases) {
        const auto lines = Split(c.stream, c.cuts);
        ASSERT_EQ(lines.size(), c.lines.size()) << testing::PrintToString(c.stream.substr(0, 40));
        for (std::size_t i = 0; i < lines.size(); ++i) {
            EXPECT_EQ(lines[i].Bytes, c.lines[i]) << i;
            EXPECT_EQ(lines[i].Cut, c.cut[i]) << i;
        }
    }
    LineSplitter splitter;
    std::vector<ReceivedLine> lines;
    splitter.Feed("a\rb\nc\r\nd", lines);
    EXPECT_EQ(splitter.Pending(), "d");
}

TEST(monitor, GroupAddressesAreFollowedByTheirNames) {
    const GroupNames names = SampleNames();
    const struct {
        std::string line;
        bool hex;
        std::string text;
        std::vector<std::string> named;
        std::vector<std::uint16_t> addresses;
    } cases[] = {
        {"1.1.5 1/2/3 W 01", false, "1.1.5 1/2/3 [Light kitchen] W 01", {"Light kitchen"}, {0x0A03}},
        {"1/2/3:01", false, "1/2/3 [Light kitchen]:01", {"Light kitchen"}, {0x0A03}},
        {"01/02/003", false, "01/02/003 [Light kitchen]", {"Light kitchen"}, {0x0A03}},
        {"1/2/4 1/8/3 32/0/0 1/2/256 1/2 1/2/3/4 x1/2/3",
         false,
         "1/2/4 1/8/3 32/0/0 1/2/256 1/2 1/2/3/4 x1/2/3",
         {},
         {0x0A04}},
        {"1.2.3 10.2.3", false, "1.2.3 10.2.3", {}, {}}, // physical addresses stay
        {"15/7/255 0/0/0",
         false,
         "15/7/255 [Top\\x1b[2J] 0/0/0 [Zero, \"quoted\"]",
         {"Top\\x1b[2J", "Zero, \"quoted\""},
         {0x7FFF, 0x0000}},
        {"0A03 W", false, "0A03 W", {}, {}}, // hexadecimal only when asked for
        {"0A03 0a03 W",
         true,
         "0A03 [Light kitchen] 0a03 [Light kitchen] W",
         {"Light kitchen", "Light kitchen"},
         {0x0A03, 0x0A03}},
        {"0A033 A03 0G03", true, "0A033 A03 0G03", {}, {}},
        {"1/2/3 0A03",
         true,
         "1/2/3 [Light kitchen] 0A03 [Light kitchen]",
         {"Light kitchen", "Light kitchen"},
         {0x0A03, 0x0A03}},
        {std::string("\x01\0"
                     "1/2/3\xff",
                     8),
         false,
         "\\x01\\x001/2/3 [Light kitchen]\\xff",
         {"Light kitchen"},
         {0x0A03}},
        {"caf\xc3\xa9 1/2/3\ttab",
         false,
         "caf\xc3\xa9 1/2/3 [Light kitchen]\\x09tab",
         {"Light kitchen"},
         {0x0A03}},
    };
    for (const auto& c : cases) {
        const AnnotatedLine shown = AnnotateLine({c.line, false}, names, c.hex);
        EXPECT_EQ(shown.Text, c.text) << c.line;
        EXPECT_EQ(shown.Names, c.named) << c.line;
        EXPECT_EQ(shown.Addresses, c.addresses) << c.line;
        EXPECT_EQ(shown.Line, AnnotateLine({c.line, false}, GroupNames(), c.hex).Text) << c.line;
    }
    const AnnotatedLine cut = AnnotateLine({"1/2/3", true}, names, false);
    EXPECT_EQ(cut.Text, std::string("1/2/3 [Light kitchen]") + LineCutNote);
    EXPECT_EQ(cut.Line, std::string("1/2/3") + LineCutNote);
}

TEST(monitor, FilterShowsLinesWithTheTextOrTheAddress) {
    const GroupNames names = SampleNames();
    const AnnotatedLine three = AnnotateLine({"1.1.5 1/2/3 W 01", false}, names, false);
    const AnnotatedLine hex = AnnotateLine({"0A03 W 01", false}, names, true);
    const AnnotatedLine other = AnnotateLine({"1.1.5 1/2/4 W 01", false}, names, false);
    const struct {
        std::string filter;
        bool three, hex, other;
    } cases[] = {
        {"", true, true, true},         {"1/2/3", true, true, false}, {"0a03", true, true, false},
        {"KITCHEN", true, true, false}, {"1.1.5", true, false, true}, {"w 01", true, true, true},
        {"1/2/5", false, false, false},
    };
    for (const auto& c : cases) {
        const LineFilter filter(c.filter);
        EXPECT_EQ(filter.Matches(three), c.three) << c.filter;
        EXPECT_EQ(filter.Matches(hex), c.hex) << c.filter;
        EXPECT_EQ(filter.Matches(other), c.other) << c.filter;
    }
}

TEST(monitor, LogRecordsAreTextOrRfc4180Rows) {
    const GroupNames names = SampleNames();
    const struct {
        std::string line;
        bool csv;
        std::string time;
        std::string record;
    } cases[] = {
        {"1/2/3 W", false, "", "1/2/3 [Light kitchen] W\n"},
        {"1/2/3 W", false, "2026-12-08 11:45:12.345", "2026-12-08 11:45:12.345 1/2/3 [Light kitchen] W\n"},
        {"1/2/3 W", true, "2026-12-08 11:45:12.345", "2026-12-08 11:45:12.345,1/2/3 W,Light kitchen\r\n"},
        {"a,b 0/0/0 1/2/3", true, "t", "t,\"a,b 0/0/0 1/2/3\",\"Zero, \"\"quoted\"\"; Light kitchen\"\r\n"},
        {"say \"hi\"", true, "", ",\"say \"\"hi\"\"\",\r\n"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(LogRecord(c.csv, c.time, AnnotateLine({c.line, false}, names, false)), c.record) << c.line;
    EXPECT_TRUE(IsCsvLogName("log.CSV"));
    EXPECT_FALSE(IsCsvLogName("log.csv.txt"));
}

TEST(monitor, TimestampsHaveTheMillisecond) {
    const auto time = std::chrono::system_clock::time_point(std::chrono::milliseconds(1'765'194'312'345));
    const std::string stamp = LocalTimestamp(time);
    ASSERT_EQ(stamp.size(), 23u) << stamp;
    EXPECT_EQ(stamp.substr(19), ".345");
    EXPECT_EQ(stamp.substr(0, 4), "2025");
    EXPECT_EQ(LocalTimestamp(time + std::chrono::milliseconds(7)).substr(19), ".352");
}
