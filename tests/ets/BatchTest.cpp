#include "EtsTestFile.h"
#include "commands/CommandLine.h"
#include "ets/EtsBatch.h"
#include "ets/EtsExport.h"
#include "model/Address.h"

#include <gtest/gtest.h>

using namespace zelo;
using namespace zelo::test;

namespace {

std::vector<std::string> GroupLines(const BatchImportResult& result) {
    std::vector<std::string> out;
    for (const auto& group : result.Groups)
        out.push_back(BuildGroupLine(group));
    return out;
}

BatchImportResult Import(const std::vector<EtsRow>& rows, UnknownDatatype unknown = UnknownDatatype::Skip,
                         std::uint8_t access = 2) {
    return BatchImport(LoadImportLines(EtsFile(rows)), access, unknown);
}

} // namespace

TEST(BatchImport, TypesByOfferAndUnknownPolicy) {
    const std::vector<EtsRow> rows = {
        {"Lights", "1/1/1", "1b"}, {"Lights", "1/1/2", "1b"},  {"Dim", "1/2/0", "1B"},
        {"Text", "1/3/0", "14B"},  {"Odd", "1/4/0", "7b"},     {"Temp", "1/5/0", "2B"},
        {"Temp", "1/5/2", "2B"},   {"Nothing", "1/6/0", "0B"},
    };
    auto skip = Import(rows);
    EXPECT_EQ(GroupLines(skip), (std::vector<std::string>{"#DG1/1/1-1/1/2=BIT;RW", "#DG1/2/0=CHAR;RW",
                                                          "#DG1/3/0=STRING;RW", "#DG1/5/0-1/5/2=UWORD;RW"}));
    EXPECT_EQ(skip.Added, 4);
    EXPECT_EQ(skip.Skipped, 2);
    EXPECT_EQ(skip.Unknown, 2);
    EXPECT_FALSE(skip.Failure);
    ASSERT_EQ(skip.Warnings.size(), 2u);
    EXPECT_EQ(skip.Warnings[0], "Line 5: datatype \"7b\" not recognised, range 1/4/0 to 1/4/0 skipped.");
    EXPECT_EQ(skip.Warnings[1], "Line 8: datatype \"0B\" not recognised, range 1/6/0 to 1/6/0 skipped.");

    auto other = Import(rows, UnknownDatatype::Other, 0);
    EXPECT_EQ(GroupLines(other), (std::vector<std::string>{"#DG1/1/1-1/1/2=BIT;R", "#DG1/2/0=CHAR;R",
                                                           "#DG1/3/0=STRING;R", "#DG1/4/0=GENERIC;R",
                                                           "#DG1/5/0-1/5/2=UWORD;R", "#DG1/6/0=GENERIC;R"}));
    EXPECT_EQ(other.Added, 6);
    EXPECT_EQ(other.Skipped, 0);
    EXPECT_EQ(other.Unknown, 2);

    auto fail = Import(rows, UnknownDatatype::Fail);
    ASSERT_TRUE(fail.Failure);
    EXPECT_EQ(*fail.Failure, "Line 5: datatype \"7b\" not recognised.");
}

TEST(BatchImport, SameStartRule) {
    const std::vector<EtsRow> rows = {
        {"A", "2/0/0", "1b"}, {"A", "2/0/1", "1b"}, // 2/0/0..2/0/1 BIT
        {"B", "2/0/0", "1b"}, {"B", "2/0/1", "1b"}, // equal: dropped
        {"C", "2/0/0", "2B"},                       // same start, other type: kept with a warning
        {"D", "2/0/0", "1b"},                       // same start and type, other end: kept
    };
    auto result = Import(rows);
    EXPECT_EQ(GroupLines(result),
              (std::vector<std::string>{"#DG2/0/0-2/0/1=BIT;RW", "#DG2/0/0=UWORD;RW", "#DG2/0/0=BIT;RW"}));
    EXPECT_EQ(result.Duplicates, 1);
    EXPECT_EQ(result.Added, 3);
    ASSERT_EQ(result.Warnings.size(), 2u);
    EXPECT_EQ(result.Warnings[0],
              "Line 5: range 2/0/0 to 2/0/0 starts where the range of line 1 starts; both are kept.");
}

TEST(BatchImport, BadAddressIsSkippedWrongFormatStops) {
    std::string file = EtsFile({{"A", "1/1/1", "1b"}, {"A", "1/9/1", "1b"}, {"A", "1/1/2", "1b"}});
    auto result = BatchImport(LoadImportLines(file), 2, UnknownDatatype::Skip);
    EXPECT_EQ(GroupLines(result), (std::vector<std::string>{"#DG1/1/1=BIT;RW", "#DG1/1/2=BIT;RW"}));
    EXPECT_EQ(result.Skipped, 1);
    ASSERT_EQ(result.Warnings.size(), 1u);
    EXPECT_EQ(result.Warnings[0].rfind("Line 2: Invalid group address!", 0), 0u) << result.Warnings[0];

    file = EtsFile({{"A", "1/1/1", "1b"}}) + "\r\n" + EtsFile({{"A", "1/1/2", "1b"}});
    result = BatchImport(LoadImportLines(file), 2, UnknownDatatype::Skip);
    ASSERT_TRUE(result.Failure);
    EXPECT_EQ(*result.Failure, "Line 2: Import file has wrong format!");
    EXPECT_EQ(result.Added, 1);
}

// zeloctl takes an ETS3 file's lines as they are decoded, a block at a time, and lets each go once passed:
// ranges that span blocks, ranges ended by the line that starts the next, a bad address and Windows-1252
// names give what the lines held whole give.
TEST(BatchImport, LinesTakenAsTheyAreDecodedGiveTheSameImport) {
    static const char* const types[] = {"1b", "2B", "7b", "1B", "4B"};
    std::vector<EtsRow> rows;
    for (int i = 0; i < 1500; ++i) {
        const int address = i + i / 7; // a gap of two now and then
        rows.push_back({"Room " + std::to_string(i / 5) + " K\xFC" + "che",
                        GroupAddressToText(address & 0x7FFF), types[(i / 5) % 5]});
    }
    rows[700].Address = "1/9/1";
    const std::string file = EtsFile(rows);
    const BatchImportResult whole = BatchImport(LoadImportLines(file), 2, UnknownDatatype::Other);
    ASSERT_GT(whole.Added, 250);
    for (std::size_t block : {std::size_t{5}, std::size_t{4096}, SIZE_MAX}) {
        ViewSource source(file, block);
        ExportReading reading = ReadEtsExport(source, FormatChoice::Auto);
        ASSERT_TRUE(reading.Ets3Stream) << block;
        const BatchImportResult streamed = BatchImport(reading.Ets3Stream, 2, UnknownDatatype::Other);
        EXPECT_EQ(GroupLines(streamed), GroupLines(whole)) << block;
        EXPECT_EQ(streamed.Warnings, whole.Warnings) << block;
        EXPECT_EQ(streamed.Skipped, 1) << block;
    }
}

TEST(SameStartIndex, EqualNeedsEndAndTypeNotAccess) {
    SameStartIndex index;
    TEibGroup a;
    a.StartAddress = 5;
    a.EndAddress = 9;
    a.DatapointType = 4;
    EXPECT_EQ(index.Accept(a, 0).Kind, SameStartIndex::Outcome::New);
    TEibGroup b = a;
    b.AccessType = 0;
    auto same = index.Accept(b, 3);
    EXPECT_EQ(same.Kind, SameStartIndex::Outcome::Equal);
    EXPECT_EQ(same.EarlierLine, 0);
    b.EndAddress = 7;
    EXPECT_EQ(index.Accept(b, 4).Kind, SameStartIndex::Outcome::SameStart);
    // Both kept ranges now match exactly.
    EXPECT_EQ(index.Accept(b, 5).Kind, SameStartIndex::Outcome::Equal);
    EXPECT_EQ(index.Accept(a, 6).Kind, SameStartIndex::Outcome::Equal);
    a.StartAddress = 6;
    EXPECT_EQ(index.Accept(a, 7).Kind, SameStartIndex::Outcome::New);
}
