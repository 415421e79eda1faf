// The types of untyped group addresses from the communication objects linked to them, through the devices'
// application programs: generated installations and manufacturers' files for each rule.
#include "ProjectWriter.h"
#include "project/ProjectArchive.h"
#include "project/ProjectXml.h"

#include <gtest/gtest.h>

using namespace zelo;
using namespace zelo::test;

namespace {

const std::string& Program = SampleProgram;
const std::string& DeviceProgram = SampleHardware2Program;
const std::string ProgramEntry = "M-0083/" + Program + ".xml";

// One application program with an object and reference for each rule.
std::map<std::string, std::string> Files(int schema) {
    auto id = [](const std::string& tail) { return Program + "_" + tail; };
    const std::vector<TestProgramObject> objects = {
        {id("O-1"), "DPST-1-1", "1 Bit", ""}, {id("O-2"), "", "2 Bit", ""},
        {id("O-3"), "", "4 Bit", ""},         {id("O-4"), "", "1 Byte", ""},
        {id("O-5"), "", "1 Bit", ""},         {id("O-6"), "DPT-9 DPST-9-1 DPST-9-2", "2 Bytes", ""},
        {id("O-7"), "", "1 Bit", ""},         {id("MD-1_O-2-1"), "DPST-1-1", "1 Bit", ""},
    };
    const std::vector<TestProgramObject> refs = {
        {id("O-1_R-1"), "", "", id("O-1")},
        {id("O-1_R-2"), "DPST-1-8", "", id("O-1")},
        {id("O-2_R-3"), "", "", id("O-2")},
        {id("O-3_R-4"), "", "", id("O-3")},
        {id("O-4_R-5"), "", "", id("O-4")},
        {id("O-5_R-6"), "", "2 Bytes", id("O-5")}, // the reference's size stands
        {id("O-6_R-7"), "", "", id("O-6")},
        {id("O-7_R-8"), "", "", id("O-7")},
        {id("MD-1_O-2-1_R-2"), "DPST-7-1", "", id("MD-1_O-2-1")},
    };
    return {{ProgramEntry, ProgramXml(schema, objects, refs)},
            {"M-0083/Hardware.xml", HardwareXml(schema, {{DeviceProgram, Program}})}};
}

std::string Types(const std::vector<DptNumber>& types) {
    std::string text;
    for (const auto& t : types)
        text += (text.empty() ? "" : " ") + std::to_string(t.Main) +
                (t.Sub >= 0 ? "." + std::to_string(t.Sub) : "");
    return text;
}

} // namespace

TEST(LinkedTypes, ThroughTheDevicesPrograms) {
    const std::string other = "M-0083_H-other";
    const std::map<std::string, std::string> noHardware = {{"M-0083/Hardware.xml", ""}};
    const std::map<std::string, std::string> otherHardware = {
        {"M-0083/Hardware.xml", HardwareXml(21, {{other, Program}})}};
    const std::map<std::string, std::string> noProgram = {{ProgramEntry, ""}};
    const std::string noProgramWarning =
        "The project file has no M-0083/M-0083_A-0001-11-ABCD.xml: the group "
        "addresses linked to its objects get no type from them.";
    const struct {
        const char* What;
        std::vector<TestObject> Objects; // of one device, linking address 0 (and 1)
        std::string Types;               // of address 0
        std::string Warning;
        int Schema = 21;
        std::string OwnType = "";
        std::map<std::string, std::string> Replaced = {}; // files of the archive replaced or removed ("")
        std::string Hardware2Program = DeviceProgram;
    } cases[] = {
        {"the instance's own type", {{"O-1_R-2", "DPST-1-3", {0}}}, "1.3", ""},
        {"the reference's type", {{"O-1_R-2", "", {0}}}, "1.8", ""},
        {"the object's type", {{"O-1_R-1", "", {0}}}, "1.1", ""},
        {"1 Bit", {{"O-7_R-8", "", {0}}}, "1", ""},
        {"2 Bit", {{"O-2_R-3", "", {0}}}, "2", ""},
        {"4 Bit", {{"O-3_R-4", "", {0}}}, "3", ""},
        {"1 Byte says nothing", {{"O-4_R-5", "", {0}}}, "", ""},
        {"the reference's size over the object's", {{"O-5_R-6", "", {0}}}, "", ""},
        {"an object's list of types", {{"O-6_R-7", "", {0}}}, "9 9.1 9.2", ""},
        {"two objects of one type", {{"O-1_R-1", "", {0}}, {"O-1_R-1", "", {1, 0}}}, "1.1", ""},
        {"two types of one main number", {{"O-1_R-1", "", {0}}, {"O-1_R-2", "", {0}}}, "1.1 1.8", ""},
        {"types of two main numbers", {{"O-1_R-1", "", {0}}, {"O-6_R-7", "", {0}}}, "1.1 9 9.1 9.2", ""},
        {"a module's object", {{"MD-1_M-5_MI-2_O-2-1_R-2", "", {0}}}, "7.1", ""},
        {"a link that is not the first", {{"O-1_R-2", "", {1, 0}}}, "1.8", ""},
        {"ETS4: whole ids, connectors", {{Program + "_O-1_R-2", "", {1, 0}}}, "1.8", "", 11},
        {"own type: nothing looked up", {{"O-1_R-2", "", {0}}}, "", "", 21, "DPST-1-1"},
        {"no Hardware.xml: the program by its id", {{"O-1_R-2", "", {0}}}, "1.8", "", 21, "", noHardware},
        {"a program Hardware.xml names", {{"O-1_R-2", "", {0}}}, "1.8", "", 21, "", otherHardware, other},
        {"a device without a program", {{"O-1_R-2", "", {0}}}, "", "", 21, "", {}, ""},
        {"the program is missing", {{"O-1_R-2", "", {0}}}, "", noProgramWarning, 21, "", noProgram},
        {"a reference the program lacks", {{"O-1_R-99", "", {0}}}, "1.1", ""},
        {"an object and reference the program lacks", {{"O-99_R-1", "", {0}}}, "", ""},
        {"the program read only up to its last needed object",
         {{"O-1_R-1", "", {0}}},
         "1.1",
         "",
         21,
         "",
         {{ProgramEntry, Files(21).at(ProgramEntry) + "<damaged"}}},
    };
    for (const auto& c : cases) {
        TestProject project;
        project.Schema = c.Schema;
        project.Addresses = {{1, "first", c.OwnType}, {2, "second", "DPST-5-1"}};
        project.Devices = {{c.Hardware2Program, c.Objects}};
        std::map<std::string, std::string> files = Files(c.Schema);
        for (const auto& [name, text] : c.Replaced) {
            if (text.empty())
                files.erase(name);
            else
                files[name] = text;
        }
        std::map<std::string, int> reads;
        ProjectInstallation installation = ReadInstallation(InstallationXml(project), "0.xml");
        std::vector<std::string> warnings;
        ResolveLinkedTypes(
            installation,
            [&](const std::string& name) -> std::optional<std::string> {
                ++reads[name];
                auto found = files.find(name);
                return found == files.end() ? std::nullopt : std::optional<std::string>(found->second);
            },
            warnings);
        EXPECT_EQ(Types(installation.GroupAddresses[0].LinkedTypes), c.Types) << c.What;
        // An address with a type of its own gets none from its links.
        EXPECT_EQ(Types(installation.GroupAddresses[1].LinkedTypes), "") << c.What;
        EXPECT_EQ(warnings.empty() ? "" : warnings[0], c.Warning) << c.What;
        for (const auto& [name, count] : reads)
            EXPECT_EQ(count, 1) << c.What << ": " << name;
        if (!c.OwnType.empty()) {
            EXPECT_TRUE(reads.empty()) << c.What;
        }
    }
}

TEST(LinkedTypes, DamagedProgramNamesItsEntry) {
    TestProject project;
    project.Addresses = {{1, "first", ""}};
    project.Devices = {{DeviceProgram, {{"O-1_R-1", "", {0}}}}};
    for (const std::string& entry : {ProgramEntry, std::string("M-0083/Hardware.xml")}) {
        std::map<std::string, std::string> files = Files(21);
        files[entry] = files[entry].substr(0, files[entry].size() / 2);
        ProjectInstallation installation = ReadInstallation(InstallationXml(project), "0.xml");
        std::vector<std::string> warnings;
        try {
            ResolveLinkedTypes(
                installation,
                [&](const std::string& name) { return std::optional<std::string>(files[name]); }, warnings);
            ADD_FAILURE() << entry << " read though cut short";
        } catch (const ProjectError& e) {
            EXPECT_EQ(e.Kind(), ProjectErrorKind::Damaged);
            EXPECT_EQ(std::string(e.what()).rfind(entry + ": XML error in line ", 0), 0u) << e.what();
        }
    }
}
