// The real ETS exports of ../shared/ets-samples, one row each: what detection must find in them and what the
// reader and the range builder must make of them. The numbers were counted from the files by hand and by an
// independent script, not taken from this code's output.
#include "ets/EtsExport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

using namespace zelo;

namespace {

const std::filesystem::path SampleDir = ZELO_SOURCE_DIR "/../shared/ets-samples";

struct Sample {
    const char* File;
    ExportFormat Format;
    const char* Layout; // CSV only, else ""
    char Separator;     // CSV and ESF
    bool Header;
    TextEncoding Encoding;
    int Addresses; // address records read (hierarchy rows and bad lines not counted)
    int Typed;
    int Bad;
    int RangesSkip;  // --unknown skip (default)
    int RangesOther; // --unknown other
    int Warnings;    // of the reader
};

constexpr auto Csv = ExportFormat::Csv;
constexpr auto Xml = ExportFormat::Xml;
constexpr auto Esf = ExportFormat::Esf;
constexpr auto Utf8 = TextEncoding::Utf8;
constexpr auto Cp1252 = TextEncoding::Windows1252;

const Sample Samples[] = {
    // ETS3-era 4 columns Main;Middle;Sub;Address under a header, no datatypes at all.
    {"TrondKjeldas-knxmonitor__groupaddresses_2010-205532b.csv", Csv, "3/1", ';', true, Utf8, 156, 0, 0, 0,
     24, 0},
    {"TrondKjeldas-knxmonitor__groupaddresses_ETS3-f1fe8bf.csv", Csv, "3/1", ';', true, Utf8, 264, 0, 0, 0,
     29, 0},
    // 3/3 of 11 columns without a header; damaged names (U+FFFD) are still valid UTF-8.
    {"cristian-programmer-generatorETSJSON__ARA.xml.csv", Csv, "3/3", ';', false, Utf8, 1365, 1017, 0, 504,
     687, 0},
    // 3/3 of 6 columns: the header repeats Main;Middle;Sub, no datatype column.
    {"cristian-programmer-generatorETSJSON__ets.csv", Csv, "3/3", ';', true, Cp1252, 1365, 0, 0, 0, 78, 0},
    {"cristian-programmer-generatorETSJSON__ets.esf", Esf, "", '\t', false, Cp1252, 965, 965, 0, 466, 466, 0},
    {"golpe82-knx-url-gateway__ga.csv", Csv, "1/1", ',', false, Utf8, 25, 24, 0, 9, 10, 0},
    // Its last line ends in a stray quote that is never closed: a warning, and the line still counts.
    {"golpe82-knx-url-gateway__ga.example.csv", Csv, "1/1", ',', true, Utf8, 16, 12, 0, 11, 15, 1},
    // 117 addresses in main groups 16 to 20.
    {"masterofeye2021-E2KAO__knx_original.csv", Csv, "1/3", ',', true, Cp1252, 614, 318, 117, 183, 274, 0},
    // Empty name cells are a bare space.
    {"sch0115-knx_csv__knx.csv", Csv, "3/1", ',', false, Utf8, 233, 233, 0, 61, 61, 0},
    {"tcatm-haskell-home-controller__ga.xml", Xml, "", 0, false, Utf8, 650, 292, 0, 103, 195, 0},
    {"SailingGreg-hamon-upload__ga.xml", Xml, "", 0, false, Utf8, 16, 16, 0, 8, 8, 0},
};

std::string ReadSample(const char* name) {
    std::ifstream in(SampleDir / name, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), {});
}

int CountTyped(const std::vector<GroupAddressRecord>& records) {
    int typed = 0;
    for (const auto& record : records)
        typed += record.Type != Untyped;
    return typed;
}

} // namespace

TEST(SampleExports, EachIsDetectedAndReadAsCounted) {
    if (!std::filesystem::is_directory(SampleDir))
        GTEST_SKIP() << "no sample exports in " << SampleDir;
    for (const auto& s : Samples) {
        SCOPED_TRACE(s.File);
        ASSERT_TRUE(std::filesystem::exists(SampleDir / s.File));
        ExportReading reading = ReadEtsExport(ReadSample(s.File));
        ASSERT_FALSE(reading.Refusal) << reading.Refusal->WindowText();
        EXPECT_EQ(reading.Detected.Format, s.Format);
        EXPECT_EQ(reading.Detected.Encoding, s.Encoding);
        if (s.Format == Csv) {
            EXPECT_STREQ(LayoutName(reading.Detected.Layout), s.Layout);
            EXPECT_EQ(reading.Detected.Separator, s.Separator);
            EXPECT_EQ(reading.Detected.Header, s.Header);
        }
        EXPECT_EQ(static_cast<int>(reading.Addresses.size()), s.Addresses);
        EXPECT_EQ(CountTyped(reading.Addresses), s.Typed);
        EXPECT_EQ(static_cast<int>(reading.BadEntries.size()), s.Bad);
        EXPECT_EQ(static_cast<int>(reading.Warnings.size()), s.Warnings)
            << testing::PrintToString(reading.Warnings);

        RangeBuild skip = BuildRanges(reading.Addresses, {2, UntypedPolicy::Skip});
        EXPECT_EQ(static_cast<int>(skip.Ranges.size()), s.RangesSkip);
        EXPECT_EQ(skip.Duplicates, 0);
        EXPECT_EQ(skip.Untyped, s.Addresses - s.Typed);
        RangeBuild other = BuildRanges(reading.Addresses, {2, UntypedPolicy::Other});
        EXPECT_EQ(static_cast<int>(other.Ranges.size()), s.RangesOther);
    }
}

TEST(SampleExports, MainGroupsAbove15RefuseUnlessSkipped) {
    if (!std::filesystem::is_directory(SampleDir))
        GTEST_SKIP() << "no sample exports in " << SampleDir;
    const std::string bytes = ReadSample("masterofeye2021-E2KAO__knx_original.csv");
    ExportImport refused = ImportEtsExport(bytes, FormatChoice::Auto, {}, false);
    ASSERT_TRUE(refused.Refusal);
    const std::string text = refused.Refusal->CommandLineText();
    EXPECT_EQ(text.rfind("117 lines cannot be imported:\n"
                         "Line 762: group address 16/0/0 out of range (main 0-15, middle 0-7, sub 0-255)\n",
                         0),
              0u)
        << text;
    EXPECT_NE(text.find("\nand 97 more."), std::string::npos) << text;
    EXPECT_TRUE(refused.Build.Ranges.empty());

    ExportImport skipped = ImportEtsExport(bytes, FormatChoice::Auto, {}, true);
    EXPECT_FALSE(skipped.Refusal);
    EXPECT_EQ(skipped.Build.Ranges.size(), 183u);
    EXPECT_EQ(skipped.Summary,
              "ETS CSV 1/3, Windows-1252, comma: 614 addresses, 183 ranges; 296 untyped skipped, "
              "0 duplicates, 117 bad lines.");
}
