#include "ets/EtsImport.h"
#include "EtsTestFile.h"
#include "ets/EtsExport.h"
#include "model/Address.h"
#include "model/Text.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

using namespace zelo;
using namespace zelo::test;

using Lines = std::vector<std::string>;

TEST(LoadImportLines, LineEndsAndZeroByte) {
    const struct {
        std::string bytes;
        Lines lines;
    } cases[] = {
        {"", {}},
        {"a", {"a"}},
        {"a\r\nb\nc\rd", {"a", "b", "c", "d"}},
        {"a\r\n", {"a"}},
        {"a\n\nb\n", {"a", "", "b"}},
        {"a\r\r\nb", {"a", "", "b"}},
        {"\n", {""}},
        {"\n\n", {"", ""}},
        {"a\n\rb", {"a", "", "b"}},
        {std::string("ab\0cd\ne", 7), {"ab"}},
        {std::string("\0abc", 4), {}},
        // Without the zero byte the tail would be read as Windows-1252 and break the UTF-8 of the head.
        {std::string("\xC3\xA4\n\0\xE4", 5), {"\xC3\xA4"}},
    };
    for (const auto& c : cases)
        for (std::size_t block : BlockSizes) {
            ViewSource source(c.bytes, block);
            EXPECT_EQ(LoadImportLines(source).Strings(), c.lines)
                << testing::PrintToString(c.bytes) << " in blocks of " << block;
        }
}

TEST(LoadImportLines, DecodesEncodingsSoUmlautsShow) {
    const std::string umlaut = "K\xC3\xBC"
                               "che"; // "Küche" in UTF-8
    const struct {
        std::string bytes;
        Lines lines;
    } cases[] = {
        {"K\xFC"
         "che\r\n\x80",
         {umlaut, "\xE2\x82\xAC"}},                   // Windows-1252, with the euro sign
        {umlaut + "\n", {umlaut}},                    // valid UTF-8 throughout
        {"\xEF\xBB\xBF" + umlaut + "\r\n", {umlaut}}, // UTF-8 with mark
        {std::string("\xFF\xFEK\0\xFC\0\r\0\n\0x\0", 12), {"K\xC3\xBC", "x"}}, // UTF-16 LE
        {std::string("\xFE\xFF\0K\0\xFC\0\n\0x", 10), {"K\xC3\xBC", "x"}},     // UTF-16 BE
        {std::string("\xFF\xFE"
                     "a\0\0\0b\0",
                     8),
         {"a"}}, // the zero character ends UTF-16 text
        // One pass: a broken byte after valid UTF-8 makes the whole file single-byte, after plain ASCII the
        // lines before it stay as they were; a mark before broken UTF-8 is single-byte too.
        {"\xC3\xA4\n\xE4\n", {"\xC3\x83\xC2\xA4", "\xC3\xA4"}},
        {"ab\r\ncd\n\xE4x\r", {"ab", "cd", "\xC3\xA4x"}},
        {"\xEF\xBB\xBF"
         "a\n\xE4",
         {"a", "\xC3\xA4"}},
        {std::string("\xFF\xFE\x3D\xD8\x00\xDE\x00\xD8"
                     "a\0\r\0\n\0b\0",
                     16),
         {"\xF0\x9F\x98\x80\xEF\xBF\xBD"
          "a",
          "b"}}, // a surrogate pair and a lone surrogate
        {std::string("\xFE\xFF\x01\x41\0a\0b\0c\x20\x13\0d", 14),
         {"\xC5\x81"
          "abc\xE2\x80\x93"
          "d"}}, // UTF-16 BE: letters beyond ASCII between plain ones
        {std::string("\xFF\xFE\xAC\x20\xAC\x20\xAC\x20\n\0x\0", 12),
         {"\xE2\x82\xAC\xE2\x82\xAC\xE2\x82\xAC", "x"}}, // UTF-8 longer than the UTF-16 it came from
        // Windows-1252 decoded in place: two and three bytes for one, lines after them where they moved to,
        // the zero byte still ending the text.
        {std::string("a\x80\xFC\r\n\x81x\rb\0\xE4\n", 12), {"a\xE2\x82\xAC\xC3\xBC", "\xC2\x81x", "b"}},
    };
    for (const auto& c : cases)
        for (std::size_t block : BlockSizes) {
            ViewSource source(c.bytes, block);
            EXPECT_EQ(LoadImportLines(source).Strings(), c.lines)
                << testing::PrintToString(c.bytes) << " in blocks of " << block;
        }
}

// What the export reader's single pass hands the ETS3 importer: the lines the loader gives, for every way a
// file can be read.
TEST(LoadImportLines, TheExportReaderGivesTheSameLines) {
    // Five lines that show the format, then more than a block.
    const std::string longStart = "a\nb\nc\nd\ne\n" + std::string(70000, 'x') + "\n";
    const std::string cases[] = {
        "a,b\r\nc\n",
        "K\xFC"
        "che\n\x80",                        // Windows-1252, decoded in place
        "\xC3\xA4\n\xE4",                   // valid UTF-8 before a broken byte: all Windows-1252
        "\xEF\xBB\xBF\xC3\xA4\n\xE4",       // a mark before broken UTF-8: single-byte for ETS3
        std::string("\xC3\xA4\n\0\xE4", 5), // the zero ends the text before the encoding is judged
        std::string("a\n\xE4\0"
                    "b\n",
                    6), // a zero behind a broken byte
        std::string("\xFF\xFE"
                    "a\0\n\0\0\0b\0",
                    10), // the zero character ends UTF-16 after decoding
        // Past the first block the lines go out as they are decoded: a broken byte far behind valid UTF-8
        // still makes all of it single-byte, a zero ends the text, a mark before broken UTF-8 is single-byte.
        longStart + "\xC3\xA4\n" + std::string(70000, 'y') + "\n\xE4\n",
        longStart + "\xC3\xA4\n" + std::string("\0\xE4\n", 3),
        "\xEF\xBB\xBF" + longStart + "\xC3\xA4\n\xE4",
    };
    for (const auto& bytes : cases)
        for (std::size_t block : BlockSizes) {
            // In blocks, the cases read twice go back to the file's start.
            ViewSource source(bytes, block);
            EXPECT_EQ(ReadEtsExport(source, FormatChoice::Ets3).Ets3Stream->Rest().Strings(),
                      LoadImportLines(bytes).Strings())
                << testing::PrintToString(bytes) << " in blocks of " << block;
        }
    // UTF-16 without a mark is the reader's own: the loader takes it for 8-bit text.
    EXPECT_EQ(ReadEtsExport(std::string("a\0\xE4\0\n\0b\0", 8), FormatChoice::Ets3).Ets3Lines.Strings(),
              (Lines{"a\xC3\xA4", "b"}));
}

TEST(SplitCommaText, CharacterByCharacter) {
    const struct {
        std::string line;
        Lines fields;
    } cases[] = {
        {"", {}},
        {"   \t ", {}},
        {"a,b,c", {"a", "b", "c"}},
        {"  a ,  b", {"a", "b"}},
        {"a b", {"a", "b"}}, // an unquoted blank separates
        {"a\tb\x01"
         "c",
         {"a", "b", "c"}}, // control characters are blanks
        {"a,,b", {"a", "", "b"}},
        {",a", {"", "a"}},
        {",", {"", ""}},
        {"a,", {"a", ""}},
        {"a,,", {"a", "", ""}},
        {"a, ", {"a"}}, // a comma followed only by blanks adds nothing
        {"a,  ,b", {"a", "", "b"}},
        {"\"a,b c\",d", {"a,b c", "d"}},
        {"\"\"", {""}},
        {"\"\",\"\"", {"", ""}},
        {"\"say \"\"hi\"\"\"", {"say \"hi\""}},
        {"\"\"\"\"", {"\""}},
        {"\"\",\"\",", {"", "", ""}}, // empty quoted fields, the last comma the line's last character
        {"\"\", \"\"\"\",x", {"", "\"", "x"}},
        {"\"ab\"cd", {"ab", "cd"}}, // text behind a closing quote starts a field
        {"\"ab\" cd", {"ab", "cd"}},
        {"\"ab\"\"", {"ab\""}}, // never closed: ends with the line
        {"\"ab,c d", {"ab,c d"}},
        {"\"", {""}},
        {"a\"b\"c,d", {"a\"b\"c", "d"}},   // a quote inside an unquoted run is ordinary
        {"\xE4\xF6 x", {"\xE4\xF6", "x"}}, // codes above 127 are ordinary
        {"K\xC3\xBC"
         "che,\xC2\xA0",
         {"K\xC3\xBC"
          "che",
          "\xC2\xA0"}},
        {"a ,b", {"a", "b"}},
        {"a , , b", {"a", "", "b"}},
        {"\"a\",", {"a", ""}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(SplitCommaText(c.line), c.fields) << c.line;
}

TEST(SplitCommaText, GeneratedLineKeepsItsColumns) {
    EtsRow row{"Living, \"room\"", "2/3/4", "2B", "Floor 1", "dim value"};
    auto fields = SplitCommaText(EtsLine(row));
    ASSERT_EQ(fields.size(), 46u);
    EXPECT_EQ(fields[38], row.Name);
    EXPECT_EQ(fields[34], row.Middle);
    EXPECT_EQ(fields[39], row.Description);
    EXPECT_EQ(fields[43], row.Address);
    EXPECT_EQ(fields[45], row.Datatype);
}

namespace {

struct Offered {
    int FirstLine;
    std::string Start;
    std::string End;
    bool operator==(const Offered&) const = default;
};

[[maybe_unused]] void PrintTo(const Offered& o, std::ostream* os) {
    *os << "{" << o.FirstLine << " " << o.Start << ".." << o.End << "}";
}

std::vector<Offered> Ranges(const std::vector<EtsRow>& rows) {
    EtsImporter importer(LoadImportLines(EtsFile(rows)));
    std::vector<Offered> out;
    for (;;) {
        int before = importer.ImportIndex();
        auto step = importer.Next();
        if (step.Kind != ImportStepKind::Range) {
            EXPECT_EQ(step.Kind, ImportStepKind::Finished);
            return out;
        }
        out.push_back({step.Range.FirstLine, GroupAddressToText(step.Range.StartAddress),
                       GroupAddressToText(step.Range.EndAddress)});
        EXPECT_EQ(step.Range.FirstLine, before);
    }
}

EtsRow At(const std::string& address, const std::string& name = "Lights",
          const std::string& datatype = "1b") {
    return EtsRow{name, address, datatype};
}

} // namespace

TEST(EtsImporter, JoinsLinesByTheirRules) {
    const struct {
        const char* what;
        std::vector<EtsRow> rows;
        std::vector<Offered> ranges;
    } cases[] = {
        {"one line", {At("1/1/1")}, {{0, "1/1/1", "1/1/1"}}},
        {"gap of one", {At("1/1/1"), At("1/1/2"), At("1/1/3")}, {{0, "1/1/1", "1/1/3"}}},
        {"one missing", {At("1/1/1"), At("1/1/2"), At("1/1/4")}, {{0, "1/1/1", "1/1/4"}}},
        {"two missing", {At("1/1/1"), At("1/1/4")}, {{0, "1/1/1", "1/1/1"}, {1, "1/1/4", "1/1/4"}}},
        {"three missing", {At("1/1/1"), At("1/1/5")}, {{0, "1/1/1", "1/1/1"}, {1, "1/1/5", "1/1/5"}}},
        {"falling", {At("1/1/2"), At("1/1/1")}, {{0, "1/1/2", "1/1/2"}, {1, "1/1/1", "1/1/1"}}},
        {"equal", {At("1/1/2"), At("1/1/2")}, {{0, "1/1/2", "1/1/2"}, {1, "1/1/2", "1/1/2"}}},
        {"other name", {At("1/1/1"), At("1/1/2", "Blinds")}, {{0, "1/1/1", "1/1/1"}, {1, "1/1/2", "1/1/2"}}},
        {"name case", {At("1/1/1"), At("1/1/2", "lights")}, {{0, "1/1/1", "1/1/1"}, {1, "1/1/2", "1/1/2"}}},
        {"other datatype",
         {At("1/1/1"), At("1/1/2", "Lights", "2B")},
         {{0, "1/1/1", "1/1/1"}, {1, "1/1/2", "1/1/2"}}},
        {"across middle groups", {At("1/0/255"), At("1/1/0"), At("1/1/2")}, {{0, "1/0/255", "1/1/2"}}},
        {"second range grows",
         {At("1/1/1"), At("1/1/9", "B"), At("1/1/10", "B"), At("1/1/12", "B")},
         {{0, "1/1/1", "1/1/1"}, {1, "1/1/9", "1/1/12"}}},
        {"address texts differ, values rise", {At("1/1/1"), At(" +1/1/2")}, {{0, "1/1/1", "1/1/2"}}},
        {"no wrap past the top",
         {At("15/7/255"), At("0/0/0")},
         {{0, "15/7/255", "15/7/255"}, {1, "0/0/0", "0/0/0"}}},
        {"more than 46 fields", {EtsRow{.ExtraFields = 3}}, {{0, "1/1/1", "1/1/1"}}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Ranges(c.rows), c.ranges) << c.what;
}

TEST(EtsImporter, OffersFieldsAndStatusTextOfTheFirstLine) {
    EtsRow first{"Heating", "3/2/1", "2B", "Kitchen", "set point"};
    EtsRow second = first;
    second.Address = "3/2/2";
    second.Description = "other text";
    second.Middle = "elsewhere";
    EtsImporter importer(LoadImportLines(EtsFile({first, second})));
    EXPECT_EQ(importer.ImportIndex(), 0);
    auto step = importer.Next();
    ASSERT_EQ(step.Kind, ImportStepKind::Range);
    EXPECT_EQ(step.Range.FirstLine, 0);
    EXPECT_EQ(step.Range.StartAddress, TextToGroupAddress("3/2/1"));
    EXPECT_EQ(step.Range.EndAddress, TextToGroupAddress("3/2/2"));
    EXPECT_EQ(step.Range.Datatype, "2B");
    EXPECT_EQ(step.Range.Name, "Heating");
    EXPECT_EQ(step.Range.StatusText,
              "Importing data from ETS3 [Heating - Kitchen / set point datatype: \"2B\"]...");
    EXPECT_EQ(importer.ImportIndex(), 2);
    EXPECT_EQ(importer.Next().Kind, ImportStepKind::Finished);
    EXPECT_EQ(importer.Next().Kind, ImportStepKind::Finished);
}

TEST(EtsImporter, FieldCountRuleForTheFirstLine) {
    for (int count : {0, 1, 45, 46, 47}) {
        EtsImporter importer({count == 0 ? "" : FieldsLine(count)});
        auto step = importer.Next();
        if (count < 46) {
            EXPECT_EQ(step.Kind, ImportStepKind::WrongFormat) << count;
            EXPECT_EQ(step.Line, 0);
        } else {
            // Field 43 holds "43", which is no group address.
            EXPECT_EQ(step.Kind, ImportStepKind::BadAddress) << count;
        }
    }
    EXPECT_EQ(EtsImporter(Lines{}).Next().Kind, ImportStepKind::Finished);
}

TEST(EtsImporter, ShortOrUnreadableLineEndsTheRangeAndIsReportedNext) {
    // An unquoted blank in the name moves the later columns by one: line 2 then has 47 fields and its field
    // 43 is the datatype column's predecessor.
    EtsRow shifted = At("1/1/3");
    std::string shiftedLine = EtsLine(shifted);
    shiftedLine.replace(shiftedLine.find("\"Lights\""), 8, "Li ghts");
    const std::string lines[] = {EtsLine(At("1/1/1")), EtsLine(At("1/1/2")), FieldsLine(45),
                                 EtsLine(At("1/1/3"))};

    EtsImporter shortLine({lines[0], lines[1], lines[2], lines[3]});
    auto step = shortLine.Next();
    ASSERT_EQ(step.Kind, ImportStepKind::Range);
    EXPECT_EQ(step.Range.EndAddress, TextToGroupAddress("1/1/2"));
    EXPECT_EQ(shortLine.ImportIndex(), 2);
    step = shortLine.Next();
    EXPECT_EQ(step.Kind, ImportStepKind::WrongFormat);
    EXPECT_EQ(step.Line, 2);

    EtsRow bad = At("1/8/3");
    EtsImporter badAddress({lines[0], lines[1], EtsLine(bad), lines[3]});
    step = badAddress.Next();
    EXPECT_EQ(step.Range.EndAddress, TextToGroupAddress("1/1/2"));
    step = badAddress.Next();
    ASSERT_EQ(step.Kind, ImportStepKind::BadAddress);
    EXPECT_EQ(step.Line, 2);
    EXPECT_EQ(step.Message, InvalidGroupAddressMessage);
    EXPECT_EQ(step.Range.StatusText,
              "Importing data from ETS3 [Lights - Ground floor / switch datatype: \"1b\"]...");
    EXPECT_EQ(badAddress.ImportIndex(), 3); // passed over, so the walk goes on
    step = badAddress.Next();
    ASSERT_EQ(step.Kind, ImportStepKind::Range);
    EXPECT_EQ(step.Range.StartAddress, TextToGroupAddress("1/1/3"));

    EtsImporter shiftedColumns({lines[0], lines[1], shiftedLine});
    EXPECT_EQ(SplitCommaText(shiftedLine).size(), 47u);
    step = shiftedColumns.Next();
    EXPECT_EQ(step.Range.EndAddress, TextToGroupAddress("1/1/2"));
    EXPECT_EQ(shiftedColumns.Next().Kind, ImportStepKind::BadAddress);
}

TEST(EtsImporter, RealExportsOfOtherLayoutsAreWrongFormat) {
    const std::filesystem::path dir = ZELO_SOURCE_DIR "/../shared/ets-samples";
    if (!std::filesystem::is_directory(dir))
        GTEST_SKIP() << "no sample exports in " << dir;
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        if (entry.path().extension() != ".csv" && entry.path().extension() != ".esf")
            continue;
        std::ifstream in(entry.path(), std::ios::binary);
        std::string bytes((std::istreambuf_iterator<char>(in)), {});
        auto lines = LoadImportLines(bytes);
        EXPECT_FALSE(lines.empty()) << entry.path();
        EtsImporter importer(lines);
        auto step = importer.Next();
        EXPECT_EQ(step.Kind, ImportStepKind::WrongFormat) << entry.path();
        EXPECT_EQ(step.Line, 0);
        ++files;
    }
    EXPECT_GT(files, 0);
}

TEST(LoadImportLines, SingleByteSampleDecodesAsWindows1252) {
    const std::string path =
        ZELO_SOURCE_DIR "/../shared/ets-samples/cristian-programmer-generatorETSJSON__ets.csv";
    std::ifstream in(path, std::ios::binary);
    if (!in)
        GTEST_SKIP() << "no sample " << path;
    std::string bytes((std::istreambuf_iterator<char>(in)), {});
    ASSERT_FALSE(IsValidUtf8(bytes));
    auto lines = LoadImportLines(bytes);
    ASSERT_GT(lines.size(), 3u);
    EXPECT_NE(lines[3].find("direcci\xC3\xB3n"), std::string::npos) << lines[3];
}
