// Today's ETS exports from generated files: every CSV layout, separator, header choice and encoding, the
// quoting traps, address styles, datatype texts, the OPC and XML exports, detection, refusals and bad lines.
#include "EtsTestFile.h"
#include "ExportTestFile.h"
#include "ets/AddressText.h"
#include "ets/DptText.h"
#include "ets/EtsExport.h"
#include "ets/EtsImport.h"
#include "model/Address.h"
#include "model/DatapointTypes.h"

#include <algorithm>

#include <gtest/gtest.h>

using namespace zelo;
using namespace zelo::test;

namespace {

// The keyword of a catalogue index, "-" for none.
std::string KeywordOf(int type) {
    return type < 0 ? "-" : std::string(DatapointTypeKeywords[static_cast<std::size_t>(type)]);
}

// A record as "address type@line name", type as its keyword or "-" for none; lines counted from `firstLine`.
std::vector<std::string> Records(const ExportReading& reading, int firstLine = 1) {
    std::vector<std::string> out;
    for (const auto& r : reading.Addresses)
        out.push_back(GroupAddressToText(r.Address) + " " + KeywordOf(r.Type) + "@" +
                      std::to_string(r.Line - firstLine + 1) + " " + std::string(r.Name));
    return out;
}

std::vector<std::string> BadMessages(const ExportReading& reading) {
    std::vector<std::string> out;
    for (const auto& bad : reading.BadEntries)
        out.push_back(bad.Message());
    return out;
}

using Strings = std::vector<std::string>;

} // namespace

TEST(CsvExport, EveryLayoutSeparatorHeaderAndEncoding) {
    // Names hold every separator, quotes and a line break; the hierarchy rows are skipped.
    const std::vector<GaRow> rows = {
        {"Floor", "1/-/-", ""},
        {"Lights", "1/2/-", ""},
        {"Kitchen \"main\"; left, right\tup", "1/2/3", "DPST-1-1"},
        {"K\u00FCche\r\nzwei", "1/2/4", "DPT-9"},
        {"Plain", "1/2/5", ""},
        {"Other", "3/0/255", "5.001"},
    };
    // Lines counted from the first row (behind the header); the line break inside a name moves the rows
    // behind it.
    const Strings expected = {"1/2/3 BIT@3 Kitchen \"main\"; left, right\tup",
                              "1/2/4 VALUE@4 K\u00FCche\r\nzwei", "1/2/5 -@6 Plain",
                              "3/0/255 PERCENT@7 Other"};
    const CsvLayout layouts[] = {CsvLayout::Name1Address1, CsvLayout::Names3Address1,
                                 CsvLayout::Name1Numbers3, CsvLayout::Names3Numbers3};
    const struct {
        TextEncoding Encoding;
        bool Mark;
    } encodings[] = {{TextEncoding::Utf8, false},       {TextEncoding::Utf8, true},
                     {TextEncoding::Utf16Le, true},     {TextEncoding::Utf16Le, false},
                     {TextEncoding::Utf16Be, true},     {TextEncoding::Utf16Be, false},
                     {TextEncoding::Windows1252, false}};
    for (CsvLayout layout : layouts)
        for (char separator : {',', ';', '\t'})
            for (bool header : {false, true})
                for (const auto& e : encodings) {
                    SCOPED_TRACE(std::string(LayoutName(layout)) + " sep " + std::to_string(separator) +
                                 " header " + std::to_string(header) + " " + EncodingName(e.Encoding) +
                                 " mark " + std::to_string(e.Mark));
                    ExportReading reading = ReadEtsExport(
                        Encoded(CsvExport(rows, layout, separator, header), e.Encoding, e.Mark));
                    ASSERT_FALSE(reading.Refusal) << reading.Refusal->WindowText();
                    EXPECT_EQ(reading.Detected.Format, ExportFormat::Csv);
                    EXPECT_EQ(reading.Detected.Encoding, e.Encoding);
                    EXPECT_EQ(reading.Detected.Layout, layout);
                    EXPECT_EQ(reading.Detected.Separator, separator);
                    EXPECT_EQ(reading.Detected.Header, header);
                    EXPECT_EQ(Records(reading, header ? 2 : 1), expected);
                    EXPECT_TRUE(reading.BadEntries.empty());
                    EXPECT_TRUE(reading.Warnings.empty());
                }
}

// Every file reads; bad lines are listed as they are, the reader's warnings with "warning: " in front.
TEST(EtsExport, QuotingStylesNestingAndBadLines) {
    const std::string outOfRange = " out of range (main 0-15, middle 0-7, sub 0-255)";
    const struct {
        const char* what;
        std::string text;
        Strings records;
        Strings messages;
    } cases[] = {
        {"CSV: unquoted cells, bare-space names, LF",
         " , ,Sub A,0/0/1,,,,DPST-1-1,Auto\n , ,Sub B, 0/0/2 ,,,, DPT-7 ,Auto\n",
         {"0/0/1 BIT@1 Sub A", "0/0/2 UWORD@2 Sub B"},
         {}},
        {"CSV: a quote never closed ends with its line; the next lines are read",
         "\"A\",\"1/2/3\",\"\",\"\",\"\",\"DPST-1-1\",\"Auto\"\"\r\n"
         "\"B\",\"1/2/4\",\"\",\"\",\"\",\"\",\"x\"\r\n",
         {"1/2/3 BIT@1 A", "1/2/4 -@2 B"},
         {"warning: Line 1: a quote is never closed; its field ends with this line."}},
        {"CSV: text behind a closing quote, a doubled quote, empty lines, lone CR",
         "\"A\"\"x\" y,\"1/2/\"3,,,,\"DPST-1-1\"\r\r\n\"B\",\"1/2/4\"\r",
         {"1/2/3 BIT@1 A\"xy", "1/2/4 -@3 B"},
         {}},
        {"CSV: styles under an Address header: free style, 2-level, 3-level",
         "Group name;Address;DPT\nF;2051;1.001\nT;1/260;1.001\nS;1/1/5;DPT 1.001\n",
         {"1/0/3 BIT@2 F", "1/1/4 BIT@3 T", "1/1/5 BIT@4 S"},
         {}},
        {"CSV: main groups 16 to 31, out of range and unreadable lines",
         "\"Group name\",\"Address\"\n\"a\",\"16/0/0\"\n\"b\",\"31/7/255\"\n\"c\",\"1/8/0\"\n"
         "\"d\",\"2/2048\"\n\"e\",\"32768\"\n\"f\",\"x/1/2\"\n\"g\",\"\"\n\"h\",\"0/0/0\"\n",
         {"0/0/0 -@9 h"},
         {"Line 2: group address 16/0/0" + outOfRange, "Line 3: group address 31/7/255" + outOfRange,
          "Line 4: group address 1/8/0" + outOfRange,
          "Line 5: group address 2/2048 out of range (main 0-15, sub 0-2047)",
          "Line 6: group address 32768 out of range (0-32767)", "Line 7: \"x/1/2\" is no group address",
          "Line 8: no group address"}},
        {"CSV x/3: hierarchy rows, names without numbers, main 16",
         "\"Group name\",\"Main\",\"Middle\",\"Sub\",\"DPTs\"\n\"M\",\"16\",\"\",\"\"\n"
         "\"N\",\"16\",\"0\",\"\"\n\"a\",\"16\",\"0\",\"1\",\"DPST-9-1\"\n\"b\",\"\",\"\",\"\"\n"
         "\"c\",\"1\",\"\",\"2\"\n\"d\",\"15\",\"7\",\"255\",\"DPST-9-1\"\n",
         {"15/7/255 VALUE@7 d"},
         {"Line 4: group address 16/0/1" + outOfRange, "Line 5: no group address",
          "Line 6: \"1//2\" is no group address"}},
        {"CSV: separators tied on the first line: TAB before \";\"",
         "A,B;C\t1/2/3\nD;E\t1/2/4\n",
         {"1/2/3 -@1 A,B;C", "1/2/4 -@2 D;E"},
         {}},
        {"CSV: separators tied on the first line: \";\" before \",\"", "A,B;1/2/3\n", {"1/2/3 -@1 A,B"}, {}},
        {"CSV: a quoted name over two lines: the lines behind it count both",
         "\"X\",\"1/2/2\"\n\"A\r\nB\",\"1/2/3\"\n\"C\",\"1/2/4\"\n",
         {"1/2/2 -@1 X", "1/2/3 -@2 A\r\nB", "1/2/4 -@4 C"},
         {}},
        {"CSV: a list with types of two kinds: the last wins",
         "\"A\",\"1/2/3\",\"\",\"\",\"\",\"DPST-1-1, DPST-9-1\"\n",
         {"1/2/3 VALUE@1 A"},
         {"warning: Line 1: datatype \"DPST-1-1, DPST-9-1\" names types of different kinds; the last one "
          "(VALUE) is taken."}},
        {"ESF: group names with dots, the project line skipped, Windows-1252",
         "Proj.1/1/1\r\nMain. with.dots.1/2/3\tK\xFC"
         "che\tEIS 1 'Switching' (1 Bit)\tLow\t\r\n\r\nA.B.1/2/4\tN\tUnknown\tLow\t\r\n"
         "A.B.x/2/4\tM\tEIS 1\r\nA.B.1/9/4\tO\tEIS 1\r\n",
         {"1/2/3 BIT@2 K\u00FCche", "1/2/4 -@4 N"},
         {"Line 5: \"x/2/4\" is no group address", "Line 6: group address 1/9/4" + outOfRange}},
        {"XML: nesting to any depth, entities, both quote styles, comments, DatapointType without DPTs",
         "<?xml version=\"1.0\"?>\n<!-- export -->\n"
         "<GroupAddress-Export "
         "xmlns=\"http://knx.org/xml/ga-export/01\">\n<GroupRange><GroupRange><GroupRange>\n<GroupAddress "
         "Name='A &amp; &#66;' Address='1/2/3' "
         "DPTs='DPST-1-1' /></GroupRange></GroupRange>\n<GroupAddress Name=\"C\" Address=\"2051\" "
         "DatapointType=\"DPT-9\"/>\n<GroupAddress Name=\"D\" Address=\"1/260\" DPTs=\"DPST-1-1, DPST-5-1\" "
         "DatapointType=\"DPT-9\"/>\n<GroupAddress Name=\"E\"/><GroupAddress Address=\"17/0/0\"/>"
         "<GroupAddress Address=\"1/-/-\"/>\n</GroupRange></GroupAddress-Export>",
         {"1/2/3 BIT@5 A & B", "1/0/3 VALUE@6 C", "1/1/4 PERCENT@7 D"},
         {"Line 8: no group address", "Line 8: group address 17/0/0" + outOfRange,
          "Line 8: \"1/-/-\" is no group address",
          "warning: Line 7: datatype \"DPST-1-1, DPST-5-1\" names types of different kinds; the last one "
          "(PERCENT) is taken."}},
        {"XML: another namespace's GroupAddress is not one",
         "<GroupAddress-Export xmlns=\"http://knx.org/xml/ga-export/01\" xmlns:o=\"urn:o\"><o:GroupAddress "
         "Address=\"1/1/1\"/><GroupAddress Address=\"1/1/2\"/></GroupAddress-Export>",
         {"1/1/2 -@1 "},
         {}},
        {"XML: generated, UTF-8 mark and CR LF",
         XmlExport({{"X \"q\"", "0/0/1", "DPST-1-1"}, {"Y", "0/0/2", ""}}, 5),
         {"0/0/1 BIT@8 X \"q\"", "0/0/2 -@9 Y"},
         {}},
        {"ESF: generated", EsfExport({{"S", "3/1/0", "EIS 5 'Value' (2 Byte)"}}), {"3/1/0 VALUE@2 S"}, {}},
        {"ESF: the project-name line removed by hand: the first line is read too",
         "A.B.1/2/3\tN\tEIS 1 'Switching' (1 Bit)\tLow\t\r\nA.B.1/2/4\tM\tEIS 1\r\n",
         {"1/2/3 BIT@1 N", "1/2/4 BIT@2 M"},
         {"warning: Line 1: the project-name line is missing; this line is read as an address."}},
        {"CSV: a header typed by hand names no datatype column: the column is found by its content",
         "primary,secondary,name,address,ahoj\nA,B,Licht,1/1/1,DPST-1-1\nA,B,Dimmer,1/1/2,DPST-5-1\n"
         "A,B,Frei,1/1/3,\n",
         {"1/1/1 BIT@2 ", "1/1/2 PERCENT@3 ", "1/1/3 -@4 "},
         {"warning: Line 1: the header names no datatype column; column 5 (\"ahoj\") holds datatypes and is "
          "read as one."}},
        {"CSV: a header without a datatype column and no column of datatypes: untyped",
         "name;address;note\nA;1/1/1;DPST-1-1\nB;1/1/2;hello\n",
         {"1/1/1 -@2 ", "1/1/2 -@3 "},
         {}},
    };
    for (const auto& c : cases) {
        ExportReading reading = ReadEtsExport(c.text);
        ASSERT_FALSE(reading.Refusal) << c.what << ": " << reading.Refusal->WindowText();
        EXPECT_EQ(Records(reading), c.records) << c.what;
        Strings messages = BadMessages(reading);
        for (const auto& warning : reading.Warnings)
            messages.push_back("warning: " + warning);
        EXPECT_EQ(messages, c.messages) << c.what;
    }
}

TEST(EtsExport, DetectionAndRefusals) {
    const std::string ets3Line = std::string(45, ',') + "\"1/1/1\"";
    const std::string wrong = "Import file has wrong format!\n";
    const std::string lineOne = "Line 1: Import file has wrong format!";
    const std::string noAddress = wrong + "The file holds no group address.";
    using F = FormatChoice;
    using E = ExportFormat;
    const struct {
        const char* what;
        std::string bytes;
        FormatChoice choice;
        ExportFormat format;
        std::string refusal; // CommandLineText, empty when the file reads
    } cases[] = {
        {"zip", std::string("PK\x03\x04rest", 8), F::Auto, E::Csv, ProjectFileMessage},
        {"zip, whatever is chosen", std::string("PK\x03\x04", 4), F::Ets3, E::Csv, ProjectFileMessage},
        {"empty: the ETS3 importer finishes at once", "", F::Auto, E::Ets3, ""},
        {"46 fields: ETS3", "\n\n" + ets3Line + "\n", F::Auto, E::Ets3, ""},
        {"46 fields behind 70,000 empty lines: the first megabyte decides, not the first block",
         std::string(70000, '\n') + ets3Line + "\n", F::Auto, E::Ets3, ""},
        {"46 fields after the fifth non-empty line: CSV", "a\nb\nc\nd\ne\n" + ets3Line, F::Auto, E::Csv,
         lineOne},
        {"45 fields: CSV", std::string(44, ',') + "\"1/1/1\"\n", F::Auto, E::Csv, lineOne},
        {"quoted commas are no separators", "\"" + std::string(50, ',') + "\",\"1/2/3\"\n", F::Auto, E::Csv,
         ""},
        {"XML after blanks",
         " \r\n\t<GroupAddress-Export><GroupAddress Address=\"1/1/1\"/></GroupAddress-Export>", F::Auto,
         E::Xml, ""},
        {"another root", "<GroupAddresses><GroupAddress Address=\"1/1/1\"/></GroupAddresses>", F::Auto,
         E::Xml,
         wrong + "The XML root element is <GroupAddresses>, not the <GroupAddress-Export> of an ETS group "
                 "address export."},
        {"malformed XML", "<GroupAddress-Export>\n<GroupAddress Address=\"1/1/1\">\n</GroupAddress-Export>",
         F::Auto, E::Xml,
         wrong +
             "XML error in line 3, column 1: end tag </GroupAddress-Export> does not match <GroupAddress>"},
        {"ESF by its second line", "P\nA.B.1/2/3\tN\tEIS 1 (1 Bit)\n", F::Auto, E::Esf, ""},
        {"a zero character", std::string("\"A\",\"1/1/1\"\n\"B\",\0\n", 17), F::Auto, E::Csv,
         wrong + "Line 2 holds a zero character: this is a binary file, not an ETS export."},
        {"only hierarchy rows", "\"A\",\"1/-/-\"\n", F::Auto, E::Csv, noAddress},
        {"a header without address columns", "\"Group name\",\"Description\"\n\"A\",\"x\"\n", F::Auto, E::Csv,
         lineOne},
        {"free style without a header: the number cells of 1/3 make a hierarchy row", "\"A\",\"2051\"\n",
         F::Auto, E::Csv, noAddress},
        {"--format csv on an ETS3 file", ets3Line, F::Csv, E::Csv, lineOne},
        {"--format xml on a CSV file", "\"A\",\"1/1/1\"", F::Xml, E::Xml,
         wrong + "XML error in line 1, column 1: content before the root element"},
        {"--format esf on a CSV file: every line is bad", "P\n\"A\",\"1/1/1\"\n", F::Esf, E::Esf, ""},
    };
    for (const auto& c : cases) {
        ExportReading reading = ReadEtsExport(c.bytes, c.choice);
        EXPECT_EQ(reading.Refusal ? reading.Refusal->CommandLineText() : "", c.refusal) << c.what;
        if (c.refusal != ProjectFileMessage) {
            EXPECT_EQ(reading.Detected.Format, c.format) << c.what;
        }
    }
    // A refusal that names a line gives the window the reason on a second line.
    ExportReading noLayout = ReadEtsExport("a,b,c\n");
    ASSERT_TRUE(noLayout.Refusal);
    EXPECT_EQ(noLayout.Refusal->WindowText(),
              wrong +
                  "Line 1 has no group address in the columns of any ETS export layout (1/1, 3/1, 1/3, 3/3); "
                  "an ETS3 export line has 46 or more fields.");
}

TEST(EtsExport, EncodingDetection) {
    const struct {
        std::string bytes;
        TextEncoding encoding;
        std::string text;
    } cases[] = {
        {"\xEF\xBB\xBF\x61\xC3\xA4", TextEncoding::Utf8, "a\xC3\xA4"},
        // The mark decides; a broken byte shows as U+FFFD.
        {"\xEF\xBB\xBF\x61\xE4", TextEncoding::Utf8, "a\xEF\xBF\xBD"},
        {std::string("\xFF\xFE\x61\0", 4), TextEncoding::Utf16Le, "a"},
        {std::string("\xFE\xFF\0a", 4), TextEncoding::Utf16Be, "a"},
        {std::string("a\0\xE4\0", 4), TextEncoding::Utf16Le, "a\xC3\xA4"},
        {std::string("\0a\0\xE4", 4), TextEncoding::Utf16Be, "a\xC3\xA4"},
        {std::string("\0\0", 2), TextEncoding::Utf8, std::string("\0\0", 2)},
        {"a\xC3\xA4", TextEncoding::Utf8, "a\xC3\xA4"},
        {"a\xE4\x80", TextEncoding::Windows1252, "a\xC3\xA4\xE2\x82\xAC"},
        {"", TextEncoding::Utf8, ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(DetectEncoding(c.bytes), c.encoding) << testing::PrintToString(c.bytes);
        EXPECT_EQ(DecodeText(c.bytes, c.encoding), c.text) << testing::PrintToString(c.bytes);
        // The reader's own pass finds the same, however the bytes come.
        DecodeRules rules;
        rules.Zero = ZeroByte::Kept;
        rules.Utf16WithoutMark = true;
        rules.MarkedInvalidAsSingleByte = false;
        for (std::size_t block : BlockSizes) {
            ViewSource source(c.bytes, block);
            EXPECT_EQ(ReadEtsExport(source, FormatChoice::Csv).Detected.Encoding, c.encoding)
                << testing::PrintToString(c.bytes) << " in blocks of " << block;
            source.Rewind();
            EXPECT_EQ(DecodeLines(source, rules).Text(), c.text)
                << testing::PrintToString(c.bytes) << " in blocks of " << block;
        }
    }
}

TEST(AddressText, StylesAndHierarchy) {
    using K = AddressTextKind;
    const struct {
        const char* text;
        bool free;
        K kind;
        const char* address; // for Address
        const char* reason;  // for the others
    } cases[] = {
        {"1/2/3", false, K::Address, "1/2/3", ""},
        {" 15/7/255\t", false, K::Address, "15/7/255", ""},
        {"0/0/0", false, K::Address, "0/0/0", ""},
        {"1/515", false, K::Address, "1/2/3", ""},
        {"15/2047", false, K::Address, "15/7/255", ""},
        {"2051", true, K::Address, "1/0/3", ""},
        {"32767", true, K::Address, "15/7/255", ""},
        {"2051", false, K::Unreadable, "", "\"2051\" is no group address"},
        {"1/-/-", false, K::Hierarchy, "", ""},
        {"1/2/-", false, K::Hierarchy, "", ""},
        {"31/-", false, K::Hierarchy, "", ""},
        {"16/0/0", false, K::OutOfRange, "",
         "group address 16/0/0 out of range (main 0-15, middle 0-7, sub 0-255)"},
        {"1/0/256", false, K::OutOfRange, "",
         "group address 1/0/256 out of range (main 0-15, middle 0-7, sub 0-255)"},
        {"99999999999/0/0", false, K::OutOfRange, "",
         "group address 99999999999/0/0 out of range (main 0-15, middle 0-7, sub 0-255)"},
        {"16/5", false, K::OutOfRange, "", "group address 16/5 out of range (main 0-15, sub 0-2047)"},
        {"32768", true, K::OutOfRange, "", "group address 32768 out of range (0-32767)"},
        {"", false, K::Unreadable, "", "no group address"},
        {"1/2/3/4", false, K::Unreadable, "", "\"1/2/3/4\" is no group address"},
        {"1/-/3", false, K::Unreadable, "", "\"1/-/3\" is no group address"},
        {"+1/2/3", false, K::Unreadable, "", "\"+1/2/3\" is no group address"},
        {"1 /2/3", false, K::Unreadable, "", "\"1 /2/3\" is no group address"},
        {"1.2.3", true, K::Unreadable, "", "\"1.2.3\" is no group address"},
    };
    for (const auto& c : cases) {
        AddressTextResult r = ReadAddressText(c.text, c.free);
        EXPECT_EQ(r.Kind, c.kind) << c.text;
        if (c.kind == K::Address)
            EXPECT_EQ(GroupAddressToText(r.Value), c.address) << c.text;
        else
            EXPECT_EQ(r.Reason, c.reason) << c.text;
    }
}

TEST(DptText, NotationsListsAndEisTypes) {
    // Texts grouped by the catalogue row they give ("-" for no type).
    struct Mapping {
        const char* keyword;
        std::vector<const char*> texts;
        bool conflict = false; // a list with types of different kinds
    };
    const Mapping dpts[] = {
        {"BIT", {"DPST-1-1", "dpst-3-7", "DPT-2", "DPST-1", "DPST-1-1,DPST-1-2"}},
        {"CHAR", {"DPST-4-1"}},
        {"PERCENT", {"DPST-5-1", "5.001 percent"}},
        {"ANGLE", {"5.003"}},
        {"UBYTE", {"DPT5.004", "DPST-5-5", "DPST-5-10"}},
        {"GENERIC", {"5.006", "DPT-5", "5.x", "DPST-18-1", "DPST-0-0"}},
        {"BYTE", {"DPT 6.010"}},
        {"UWORD", {"7.x"}},
        {"WORD", {"DPT8.001"}},
        {"VALUE", {"DPT 9.x", "9.001", "DPT 9"}},
        {"TIME", {"DPST-10-1"}},
        {"DATE", {"DPST-11-1"}},
        {"UDWORD", {"DPST-12-1", "DPT-15"}},
        {"DWORD", {"DPST-13-13"}},
        {"FLOAT", {"DPST-14-56"}},
        {"STRING", {"DPST-16-0"}},
        {"-", {"", "Auto", "1 Bit", "DPST-x-1", "9.001x", "percent 5.001"}},
        {"VALUE", {"DPST-1-1; DPST-9-1", "1.001 text, 9.001"}, true},
        {"BIT", {"9.001 1.001"}, true},
    };
    for (const auto& d : dpts)
        for (const char* text : d.texts) {
            DptTextResult r = MapDptText(text);
            EXPECT_EQ(KeywordOf(r.Type), d.keyword) << text;
            EXPECT_EQ(r.Conflict, d.conflict) << text;
        }
    const Mapping eis[] = {
        {"BIT",
         {"EIS 1 'Switching' (1 Bit)", "EIS 2 'Dimming - Control' (4 Bit)", "EIS 7 (1 Bit)", "EIS 8 (2 Bit)",
          "Uncertain (4 Bit)", "Uncertain (6 Bit)"}},
        {"PERCENT", {"EIS 2 'Dimming - Value' (1 Byte)", "EIS 2 (8 Bit)", "EIS 6 'Scaling' (1 Byte)"}},
        {"TIME", {"EIS 3 'Time' (3 Byte)"}},
        {"DATE", {"EIS 4 'Date' (3 Byte)"}},
        {"VALUE", {"EIS 5 'Value' (2 Byte)"}},
        {"FLOAT", {"EIS 9 'Float' (4 Byte)"}},
        {"UWORD", {"EIS 10 'Counter 16bit' (2 Byte)"}},
        {"UDWORD", {"EIS 11 (4 Byte)", "EIS 12 (4 Byte)"}},
        {"CHAR", {"EIS 13 (1 Byte)"}},
        {"UBYTE", {"EIS 14 (1 Byte)"}},
        {"STRING", {"EIS 15 (14 Byte)", "Uncertain (14 Byte)"}},
        {"GENERIC", {"EIS 16 (1 Byte)", "Uncertain (7 Bit)", "Uncertain (2 Byte)"}},
        {"-", {"Unknown", "", "(n Bit)"}},
    };
    for (const auto& e : eis)
        for (const char* text : e.texts)
            EXPECT_EQ(KeywordOf(MapEsfType(text)), e.keyword) << text;
}

TEST(RangeBuilder, DuplicatesSortingJoiningAndPolicies) {
    // The records' texts live in a store, as a reader's do.
    TextStore texts;
    auto record = [&texts](const char* address, int type, int line, const char* name = "n") {
        return GroupAddressRecord{TextToGroupAddress(address), static_cast<std::int8_t>(type), line,
                                  texts.Stable(name), texts.Stable("dpt" + std::to_string(line))};
    };
    const int bit = 1;
    const int value = 11;
    const int generic = 16;
    // Unsorted, with duplicates, gaps, a middle group boundary and untyped addresses between typed ones.
    const std::vector<GroupAddressRecord> records = {
        record("1/1/3", bit, 1),      record("1/1/1", bit, 2, "first"), record("1/1/2", bit, 3),
        record("1/1/2", value, 4),    record("1/1/5", bit, 5),          record("1/1/255", bit, 6),
        record("1/2/0", bit, 7),      record("2/0/0", Untyped, 8),      record("2/0/0", value, 9),
        record("2/0/1", value, 10),   record("2/0/2", Untyped, 11),     record("2/0/3", Untyped, 12),
        record("2/0/4", generic, 13), record("0/0/0", 0, 14),
    };
    // Every policy keeps the first type of 1/1/2; Skip says what it leaves out.
    const std::string duplicate =
        "Line 4: group address 1/1/2 again, as VALUE (\"dpt4\"); its type BIT of line 3 is kept.";
    const struct {
        UntypedPolicy policy;
        Strings ranges; // start-end=keyword@line
        Strings skipped;
    } cases[] = {
        {UntypedPolicy::Keep,
         {"0/0/0-0/0/0=-@14", "1/1/1-1/1/3=BIT@2", "1/1/5-1/1/5=BIT@5", "1/1/255-1/1/255=BIT@6",
          "1/2/0-1/2/0=BIT@7", "2/0/0-2/0/1=VALUE@9", "2/0/2-2/0/3=-@11", "2/0/4-2/0/4=GENERIC@13"},
         {}},
        {UntypedPolicy::Skip,
         {"1/1/1-1/1/3=BIT@2", "1/1/5-1/1/5=BIT@5", "1/1/255-1/1/255=BIT@6", "1/2/0-1/2/0=BIT@7",
          "2/0/0-2/0/1=VALUE@9", "2/0/4-2/0/4=GENERIC@13"},
         {"Line 14: 0/0/0 \"n\" has no datapoint type; skipped.",
          "Line 11: 2/0/2 to 2/0/3 \"n\" has no datapoint type; skipped."}},
        {UntypedPolicy::Other,
         {"0/0/0-0/0/0=GENERIC@14", "1/1/1-1/1/3=BIT@2", "1/1/5-1/1/5=BIT@5", "1/1/255-1/1/255=BIT@6",
          "1/2/0-1/2/0=BIT@7", "2/0/0-2/0/1=VALUE@9", "2/0/2-2/0/4=GENERIC@11"},
         {}},
        {UntypedPolicy::Fail, {}, {}},
    };
    for (const auto& c : cases) {
        RangeBuild build = BuildRanges(records, {0, c.policy});
        Strings ranges;
        for (const auto& r : build.Ranges) {
            ranges.push_back(GroupAddressToText(r.StartAddress) + "-" + GroupAddressToText(r.EndAddress) +
                             "=" + KeywordOf(r.Type) + "@" + std::to_string(r.Line));
            EXPECT_EQ(r.AccessType, 0);
            EXPECT_EQ(r.DptText, "dpt" + std::to_string(r.Line));
        }
        EXPECT_EQ(ranges, c.ranges);
        EXPECT_EQ(build.Addresses, 14);
        EXPECT_EQ(build.Duplicates, 2);
        EXPECT_EQ(build.Untyped, 3);
        Strings warnings = {duplicate};
        warnings.insert(warnings.end(), c.skipped.begin(), c.skipped.end());
        EXPECT_EQ(build.Warnings, warnings);
        EXPECT_EQ(build.Failure.has_value(), c.policy == UntypedPolicy::Fail);
        if (build.Failure) {
            EXPECT_EQ(*build.Failure, "Line 11: group address 2/0/2 \"n\" has no datapoint type.");
        }
    }
    EXPECT_EQ(ExportStatusText(BuildRanges(records, {}).Ranges.front()),
              "Importing data from ETS [first, datatype: \"dpt2\"]...");
    // Records without lines (a project file's) are named by their address.
    EXPECT_EQ(BuildRanges({record("1/1/1", bit, 0), record("1/1/1", value, 0)}, {}).Warnings,
              Strings{"Group address 1/1/1 again, as VALUE (\"dpt0\"); its first type BIT is kept."});
    EXPECT_EQ(*BuildRanges({record("1/1/1", Untyped, 0, "")}, {2, UntypedPolicy::Fail}).Failure,
              "Group address 1/1/1 has no datapoint type.");
    EXPECT_EQ(
        BuildRanges({record("1/1/1", Untyped, 1), record("1/1/2", Untyped, 2)}, {2, UntypedPolicy::Skip})
            .Warnings,
        Strings{"No address has a datapoint type; all 2 are skipped."});
}

TEST(EtsExport, BadLinesSummaryAndQuestion) {
    std::string file = "\"Group name\",\"Address\",\"DPT\"\n";
    for (int i = 0; i < 23; ++i)
        file += "\"x\",\"16/0/" + std::to_string(i) + "\",\"1.001\"\n";
    file += "\"y\",\"1/0/0\",\"1.001\"\n\"y\",\"1/0/0\",\"1.001\"\n\"z\",\"1/0/1\",\"\"\n";
    ExportImport refused = ImportEtsExport(file, FormatChoice::Auto, {}, false);
    ASSERT_TRUE(refused.Refusal);
    const std::string text = refused.Refusal->CommandLineText();
    const std::string first = "Line 2: group address 16/0/0 out of range (main 0-15, middle 0-7, sub 0-255)";
    EXPECT_EQ(text.substr(0, text.find('\n', 30)), "23 lines cannot be imported:\n" + first);
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 21);
    EXPECT_EQ(text.substr(text.rfind('\n')), "\nand 3 more.");
    EXPECT_EQ(SkipBadQuestion(refused.Reading.BadEntries),
              "23 lines cannot be imported (first: " + first + "). Import the other addresses?");
    EXPECT_EQ(SkipBadQuestion({{0, "16/0/0", "Group address 16/0/0 out of range"}}),
              "1 address cannot be imported (first: Group address 16/0/0 out of range). Import the other "
              "addresses?");

    ExportImport skipped = ImportEtsExport(file, FormatChoice::Auto, {1, UntypedPolicy::Other}, true);
    ASSERT_FALSE(skipped.Refusal);
    EXPECT_EQ(skipped.Warnings.size(), 23u);
    EXPECT_EQ(skipped.Summary,
              "ETS CSV 1/1, UTF-8, comma: 3 addresses, 2 ranges; 1 untyped written as GENERIC, "
              "1 duplicate, 23 bad lines.");

    ExportImport untypedOnly = ImportEtsExport(Encoded("\"A\"\t\"1/1/1\"\n", TextEncoding::Utf16Le, true),
                                               FormatChoice::Auto, {}, false);
    EXPECT_EQ(untypedOnly.Summary,
              "ETS CSV 1/1, UTF-16 LE, TAB: 1 address, 0 ranges; 1 untyped skipped (the file "
              "has no datapoint types), 0 duplicates, 0 bad lines.");
    // Datatype texts the catalogue does not know are datatypes all the same.
    ExportImport unknownTypes =
        ImportEtsExport("\"A\",\"1/1/1\",\"\",\"\",\"\",\"1 Bit\"\n", FormatChoice::Auto, {}, false);
    EXPECT_EQ(
        unknownTypes.Summary,
        "ETS CSV 1/1, UTF-8, comma: 1 address, 0 ranges; 1 untyped skipped, 0 duplicates, 0 bad lines.");
    ExportImport allBad = ImportEtsExport("\"A\",\"16/1/1\"\n", FormatChoice::Auto, {}, true);
    ASSERT_TRUE(allBad.Refusal);
    EXPECT_EQ(allBad.Refusal->CommandLineText(),
              "Import file has wrong format!\nThe file holds no group address that can be imported.");
}

TEST(EtsImporter, WrongFormatAndBadAddressNameTheLineForTheWindow) {
    const std::string good = std::string(43, ',') + "\"1/1/1\",,\"1b\"";
    const struct {
        std::vector<std::string> lines;
        ImportStepKind kind;
        std::string text;
    } cases[] = {
        {{"a,b"},
         ImportStepKind::WrongFormat,
         "Import file has wrong format!\nLine 1 has 2 fields; an ETS3 export line has 46 or more."},
        {{good, "x"},
         ImportStepKind::WrongFormat,
         "Import file has wrong format!\nLine 2 has 1 field; an ETS3 export line has 46 or more."},
        {{good, ""},
         ImportStepKind::WrongFormat,
         "Import file has wrong format!\nLine 2 is empty; an ETS3 export line has 46 or more fields."},
        {{good, std::string(43, ',') + "\"1/8/3\",,\"1b\""},
         ImportStepKind::BadAddress,
         std::string(InvalidGroupAddressMessage) + "\nLine 2 holds the address \"1/8/3\"."},
    };
    for (const auto& c : cases) {
        EtsImporter importer(c.lines);
        ImportStep step = importer.Next();
        if (c.lines.size() > 1)
            step = importer.Next();
        EXPECT_EQ(step.Kind, c.kind) << c.text;
        EXPECT_EQ(step.WindowText(), c.text);
    }
}

TEST(TextStore, ViewsStayValidWhileItGrowsAndMoves) {
    auto store = std::make_unique<TextStore>();
    const std::string_view whole = store->Adopt(std::string(100, 'x') + "name");
    // A view inside an adopted text is that view, not a copy.
    EXPECT_EQ(store->Stable(whole.substr(100)).data(), whole.data() + 100);
    std::vector<std::string_view> kept;
    for (int i = 0; i < 1000; ++i)
        kept.push_back(store->Stable("short " + std::to_string(i))); // each a copy, most of them small
    TextStore moved = std::move(*store);
    store.reset();
    for (int i = 0; i < 1000; ++i)
        ASSERT_EQ(kept[static_cast<std::size_t>(i)], "short " + std::to_string(i));
    EXPECT_EQ(whole.substr(100), "name");
    EXPECT_EQ(moved.Stable({}), std::string_view());
}
