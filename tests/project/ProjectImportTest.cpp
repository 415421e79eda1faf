// Whole project files read into an import reading: every schema from ETS4 to ETS 6.2, protection and
// passwords, main groups 16 to 31, files that are no project.
#include "project/ProjectImport.h"
#include "ProjectWriter.h"
#include "model/Address.h"
#include "model/DatapointTypes.h"

#include <gtest/gtest.h>

using namespace zelo;
using namespace zelo::test;

namespace {

// The records as text: "1/1/1 Licht BIT DPST-1-1", one per line.
std::string Records(const ExportReading& reading) {
    std::string text;
    for (const auto& r : reading.Addresses)
        text +=
            GroupAddressToText(r.Address) + " " + std::string(r.Name) + " " +
            (r.Type == Untyped ? "-" : std::string(DatapointTypeKeywords[static_cast<std::size_t>(r.Type)])) +
            " " + std::string(r.DptText) + "\n";
    return text;
}

} // namespace

TEST(ProjectImport, EverySchemaFromEts4On) {
    for (int schema = 11; schema <= 24; ++schema) {
        SCOPED_TRACE(schema);
        ExportReading reading = ReadImportFile("p.knxproj", ProjectFile(SampleProject(schema)), std::nullopt);
        ASSERT_FALSE(reading.Refusal) << reading.Refusal->Message;
        EXPECT_EQ(reading.Detected.Describe(),
                  "ETS project file, schema " + std::to_string(schema) + ", unprotected");
        EXPECT_EQ(Records(reading),
                  "1/1/1 Licht BIT DPST-1-1\n1/1/2 Licht 2 BIT DPT-1\n1/1/3 Dimmer PERCENT DPST-5-1\n");
        ASSERT_EQ(reading.BadEntries.size(), 1u);
        EXPECT_EQ(reading.BadEntries[0].Message(),
                  "group address 17/2/3 out of range (main 0-15, middle 0-7, sub 0-255)");
        EXPECT_EQ(reading.Warnings.size(), schema > 23 ? 1u : 0u);
    }
}

// What the window needs to tell apart: a password to ask for (again), and files that cannot be read at all.
TEST(ProjectImport, RefusalsAndTheirKinds) {
    TestProject empty = SampleProject(22);
    empty.Addresses.clear();
    TestProject aes = SampleProject(22);
    aes.Protection = ZipEncryption::WinZipAes;
    aes.Password = "pw";
    std::string damagedDirectory = ProjectFile(SampleProject(22));
    damagedDirectory[damagedDirectory.find("PK\x01\x02")] = 'Q';
    std::string damagedProgram = ProjectFile(SampleProject(22));
    damagedProgram[damagedProgram.rfind("M-0083/" + SampleProgram + ".xml") - 30] ^=
        1; // its CRC in the directory
    const struct {
        const char* What;
        std::string Name;
        std::string Bytes;
        std::optional<std::string> Password;
        std::string Refusal; // the command line's text; empty: read
        RefusalKind Kind = RefusalKind::File;
    } cases[] = {
        {"protected, the right password", "p.knxproj", ProjectFile(aes), "pw", ""},
        {"protected, no password", "p.knxproj", ProjectFile(aes), std::nullopt,
         "This project is protected by a password.", RefusalKind::PasswordNeeded},
        {"protected, a wrong password", "p.knxproj", ProjectFile(aes), "Pw", "Wrong project password.",
         RefusalKind::WrongPassword},
        {"a zip of something else", "x.zip", WriteZip({Entry("a.csv", "1/2/3;x")}), "pw",
         "This is not an ETS project file (.knxproj): it has no knx_master.xml."},
        {"a project file that is no zip", "Haus.KNXPROJ", "not a zip at all", "pw",
         "This is not an ETS project file (.knxproj): it is no zip archive."},
        {"no group address", "p.knxproj", ProjectFile(empty), "pw",
         "The ETS project Test holds no group addresses."},
        {"a project file whose directory is damaged", "p.knxproj", damagedDirectory, "pw",
         "The ETS project file is damaged: central directory entry 1 is missing."},
        {"a project file cut short", "Haus.zip", ProjectFile(SampleProject(22)).substr(0, 700), "pw",
         "The ETS project file is damaged: it has no end of central directory record."},
        {"a damaged program", "p.knxproj", damagedProgram, "pw",
         "The ETS project file is damaged: M-0083/M-0083_A-0001-11-ABCD.xml: its CRC-32 check fails."},
        {"an export", "x.csv", "\"Licht\",\"1/2/1\",\"\",\"\",\"\",\"DPST-1-1\",\"Auto\"\n", "pw", ""},
    };
    for (const auto& c : cases) {
        ExportReading reading = ReadImportFile(c.Name, c.Bytes, c.Password);
        EXPECT_EQ(reading.Refusal ? reading.Refusal->CommandLineText() : "", c.Refusal) << c.What;
        EXPECT_EQ(reading.Detected.Format == ExportFormat::Project, !c.Name.ends_with(".csv")) << c.What;
        if (reading.Refusal) {
            EXPECT_EQ(reading.Refusal->Kind, c.Kind) << c.What;
            EXPECT_TRUE(reading.Addresses.empty()) << c.What;
        } else {
            EXPECT_FALSE(reading.Addresses.empty()) << c.What;
        }
    }
}
