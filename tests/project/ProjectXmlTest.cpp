// The XML of project files: the schema of knx_master.xml, and the group addresses of 0.xml with what the
// range builder gets from them.
#include "project/ProjectXml.h"
#include "model/DatapointTypes.h"
#include "project/ProjectArchive.h"

#include <gtest/gtest.h>

using namespace zelo;

namespace {

std::string Master(const std::string& rootTag) {
    return "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n" + rootTag +
           "<MasterData Id=\"MD-1\"/></KNX>";
}

std::string Outcome(const std::string& bytes) {
    try {
        ProjectSchema schema = ReadProjectSchema(bytes, "knx_master.xml");
        return std::to_string(schema.Version) + (schema.Warning ? " " + *schema.Warning : "");
    } catch (const ProjectError& e) {
        EXPECT_EQ(e.Kind(), ProjectErrorKind::Damaged);
        return e.what();
    }
}

std::string Utf16Le(const std::string& ascii) {
    std::string out = "\xFF\xFE";
    for (char c : ascii) {
        out += c;
        out += '\0';
    }
    return out;
}

} // namespace

namespace zelo {
void PrintTo(const ProjectGroupAddress& a, std::ostream* out) {
    *out << "{" << a.Id << ", " << a.AddressText << ", " << a.Name << ", " << a.DatapointType << ", "
         << a.Installation << "}";
}
void PrintTo(const ProjectObjectLink& l, std::ostream* out) {
    *out << "{" << l.Installation << ", " << l.ProgramRef << ", " << l.RefId << ", " << l.DatapointType;
    for (const auto& a : l.GroupAddresses)
        *out << ", " << a;
    *out << "}";
}
} // namespace zelo

TEST(ProjectXml, Schemas) {
    struct Case {
        std::string Bytes;
        std::string Expected;
    };
    std::vector<Case> cases;
    for (int n = OldestProjectSchema; n <= NewestTestedProjectSchema; ++n)
        cases.push_back(
            {Master("<KNX xmlns=\"http://knx.org/xml/project/" + std::to_string(n) + "\" CreatedBy=\"ETS\">"),
             std::to_string(n)});
    const std::string newer =
        " knx_master.xml: project schema 24 is newer than the newest this program was tested "
        "with (23); check the imported addresses.";
    // The refusal of a root that is not a project's, given its name and namespace.
    const auto notKnx = [](const std::string& root) {
        return "knx_master.xml: the root element is " + root +
               ", not the <KNX> of an ETS project (http://knx.org/xml/project/N).";
    };
    cases.insert(
        cases.end(),
        {
            {Master("<KNX xmlns=\"http://knx.org/xml/project/24\">"), "24" + newer},
            {"<k:KNX xmlns:k=\"http://knx.org/xml/project/20\"><k:MasterData/></k:KNX>", "20"},
            {Master("<KNX xmlns=\"http://knx.org/xml/project/10\">"),
             "knx_master.xml: project schema 10 is older than ETS4's (11), which this program cannot read."},
            {Master("<KNX xmlns=\"http://knx.org/xml/project/\">"),
             notKnx("<KNX> in the namespace \"http://knx.org/xml/project/\"")},
            {Master("<KNX xmlns=\"http://knx.org/xml/project/2x\">"),
             notKnx("<KNX> in the namespace \"http://knx.org/xml/project/2x\"")},
            {"<GroupAddress-Export xmlns=\"http://knx.org/xml/ga-export/01\"/>",
             notKnx("<GroupAddress-Export> in the namespace \"http://knx.org/xml/ga-export/01\"")},
            {"<KNX>", notKnx("<KNX> in the namespace \"\"")},
            {"", "knx_master.xml: XML error in line 1, column 1: no root element"},
            {"<!-- only a comment -->", "knx_master.xml: XML error in line 1, column 24: no root element"},
            {"<KNX xmlns=\"http://knx.org/xml/project/21\"", "knx_master.xml: XML error in line "},
            // UTF-16 with its byte-order mark, as an editor may save it.
            {Utf16Le("<KNX xmlns='http://knx.org/xml/project/22'/>"), "22"},
        });
    for (const auto& c : cases) {
        std::string outcome = Outcome(c.Bytes);
        // XML errors carry the reader's own words after the position.
        EXPECT_EQ(outcome.substr(0, c.Expected.size()), c.Expected) << c.Bytes;
        if (c.Expected.find("XML error") == std::string::npos) {
            EXPECT_EQ(outcome, c.Expected);
        }
    }
}

TEST(ProjectXml, InstallationAddressesAndLinks) {
    const std::string xml =
        "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n"
        "<KNX xmlns=\"http://knx.org/xml/project/21\"><Project Id=\"P-0001\"><Installations>\r\n"
        "<Installation Name=\"\" InstallationId=\"0\"><Topology><Area Address=\"1\"><Line Address=\"1\">"
        "<DeviceInstance Id=\"P-0001-0_DI-1\" Hardware2ProgramRefId=\"M-0083_H-1-1_HP-0001-11-ABCD\">"
        "<ComObjectInstanceRefs><ComObjectInstanceRef RefId=\"O-1_R-1\" Links=\"GA-1\"/>\r\n"
        "<ComObjectInstanceRef RefId=\"O-2_R-2\" />\r\n" // linked to nothing: left out
        "<ComObjectInstanceRef RefId=\"MD-1_M-2_MI-1_O-3-1_R-4\" DatapointType=\"DPST-9-1\" "
        "Links=\"GA-2  GA-3 \"/></ComObjectInstanceRefs></DeviceInstance>\r\n"
        // ETS4: whole ids, links as connectors; a device without a program.
        "<DeviceInstance Id=\"P-0001-0_DI-2\"><ComObjectInstanceRefs><ComObjectInstanceRef "
        "RefId=\"M-0002_A-A061-14-BE27_O-3_R-1375\" IsActive=\"1\"><Connectors><Send "
        "GroupAddressRefId=\"P-0001-0_GA-2\" /><Receive GroupAddressRefId=\"P-0001-0_GA-4\" /><Receive "
        "/></Connectors></ComObjectInstanceRef></ComObjectInstanceRefs></DeviceInstance>"
        "</Line></Area></Topology>\r\n"
        "<GroupAddresses><GroupRanges>\r\n"
        "  <GroupRange Id=\"P-0001-0_GR-1\" Name=\"Main\" RangeStart=\"0\" RangeEnd=\"2047\">\r\n"
        "    <GroupRange Id=\"P-0001-0_GR-2\" Name=\"Middle\" RangeStart=\"0\" RangeEnd=\"255\">\r\n"
        "      <GroupAddress Id=\"P-0001-0_GA-1\" Address=\"1\" Name=\"K&#252;che &amp; Bad &quot;1&quot;\" "
        "DatapointType=\"DPST-1-1\" Puid=\"5\" />\r\n"
        "      <GroupAddress Id='P-0001-0_GA-2' Address='2' Name='ohne Typ'></GroupAddress>\r\n"
        "    </GroupRange>\r\n"
        "    <GroupAddress Id=\"P-0001-0_GA-3\" Address=\"300\" Name=\"two types\" "
        "DatapointType=\"DPST-5-1 DPST-5-4\" />\r\n"
        "  </GroupRange>\r\n"
        "  <GroupRange Id=\"P-0001-0_GR-3\" Name=\"High\" RangeStart=\"34816\" RangeEnd=\"36863\">"
        "<!-- main group 17 --><GroupAddress Id=\"P-0001-0_GA-4\" Address=\"35331\" "
        "Name=\"17/2/3\"/></GroupRange>\r\n"
        "</GroupRanges></GroupAddresses>\r\n"
        "<GroupAddress Id=\"P-0001-0_GA-9\" Address=\"9\" Name=\"outside, ignored\"/>\r\n"
        "</Installation>\r\n"
        "<Installation Name=\"second\"><GroupAddresses><GroupRanges><GroupRange Name=\"x\">"
        "<GroupAddress Id=\"P-0001-1_GA-1\" Address=\"4\" Name=\"second installation\"/>"
        "</GroupRange></GroupRanges></GroupAddresses></Installation>\r\n"
        "</Installations></Project></KNX>\r\n";
    const std::vector<ProjectGroupAddress> expected = {
        {"P-0001-0_GA-1", "1", "K\u00FCche & Bad \"1\"", "DPST-1-1", 0, {}},
        {"P-0001-0_GA-2", "2", "ohne Typ", "", 0, {}},
        {"P-0001-0_GA-3", "300", "two types", "DPST-5-1 DPST-5-4", 0, {}},
        {"P-0001-0_GA-4", "35331", "17/2/3", "", 0, {}},
        {"P-0001-1_GA-1", "4", "second installation", "", 1, {}},
    };
    const std::vector<ProjectObjectLink> links = {
        {0, "M-0083_H-1-1_HP-0001-11-ABCD", "O-1_R-1", "", {"GA-1"}},
        {0, "M-0083_H-1-1_HP-0001-11-ABCD", "MD-1_M-2_MI-1_O-3-1_R-4", "DPST-9-1", {"GA-2", "GA-3"}},
        {0, "", "M-0002_A-A061-14-BE27_O-3_R-1375", "", {"P-0001-0_GA-2", "P-0001-0_GA-4"}},
    };
    ProjectInstallation installation = ReadInstallation(xml, "P-0001/0.xml");
    EXPECT_EQ(installation.GroupAddresses, expected);
    EXPECT_EQ(installation.Links, links);

    try {
        ReadInstallation(xml.substr(0, xml.size() - 20), "P-0001.zip/0.xml");
        FAIL() << "read a document cut short";
    } catch (const ProjectError& e) {
        EXPECT_EQ(std::string(e.what()).substr(0, 33), "P-0001.zip/0.xml: XML error in li") << e.what();
    }
}

TEST(ProjectXml, AddressRecords) {
    const std::string named = "Group address \"Name\" (GA-1): ";
    const struct {
        std::string Text;
        int Address; // -1: a bad entry
        std::string BadText, Reason;
    } cases[] = {
        {"0", 0, "", ""},
        {"2049", 2049, "", ""},
        {"32767", 32767, "", ""},
        {"32768", -1, "16/0/0", "group address 16/0/0 out of range (main 0-15, middle 0-7, sub 0-255)"},
        {"35331", -1, "17/2/3", "group address 17/2/3 out of range (main 0-15, middle 0-7, sub 0-255)"},
        {"65535", -1, "31/7/255", "group address 31/7/255 out of range (main 0-15, middle 0-7, sub 0-255)"},
        {"65536", -1, "65536", named + "\"65536\" is no group address"},
        {"123456", -1, "123456", named + "\"123456\" is no group address"},
        {"1/2/3", -1, "1/2/3", named + "\"1/2/3\" is no group address"},
        {"-1", -1, "-1", named + "\"-1\" is no group address"},
        {" 5", -1, " 5", named + "\" 5\" is no group address"},
        {"", -1, "", named + "no address"},
    };
    for (const auto& c : cases) {
        TextStore texts;
        ProjectAddressRecords out = ToAddressRecords({{"GA-1", c.Text, "Name", "DPST-9-1", 0, {}}}, texts);
        if (c.Address >= 0) {
            ASSERT_EQ(out.Records.size(), 1u) << c.Text;
            EXPECT_TRUE(out.BadEntries.empty());
            EXPECT_EQ(out.Records[0].Address, c.Address);
            EXPECT_EQ(out.Records[0].Name, "Name");
            EXPECT_EQ(out.Records[0].DptText, "DPST-9-1");
            EXPECT_EQ(DatapointTypeKeywords[static_cast<std::size_t>(out.Records[0].Type)], "VALUE");
            EXPECT_EQ(out.Records[0].Line, 0);
        } else {
            ASSERT_EQ(out.BadEntries.size(), 1u) << c.Text;
            EXPECT_TRUE(out.Records.empty());
            EXPECT_EQ(out.BadEntries[0].Text, c.BadText);
            EXPECT_EQ(out.BadEntries[0].Reason, c.Reason);
            EXPECT_EQ(out.BadEntries[0].Message(), c.Reason); // no line to name
        }
    }
}

// The type a record gets: the address's own, else one from the objects linked to it.
TEST(ProjectXml, RecordTypes) {
    const std::string licht = "Group address 1/2/3 \"Licht\": ";
    const std::string twoKinds =
        licht +
        "datatype \"DPST-5-1 DPST-5-4\" names types of different kinds; the last one (UBYTE) is taken.";
    const std::string mixed = licht + "the objects linked to it have types of different main numbers "
                                      "(DPST-1-1, DPST-5-1); it is left without a type.";
    const struct {
        const char* What;
        std::string Own;
        std::vector<DptNumber> Linked;
        std::string DptText; // empty: untyped
        std::string Keyword;
        std::string Warning;
    } cases[] = {
        {"own", "DPST-5-1", {}, "DPST-5-1", "PERCENT", ""},
        {"own beats linked", "DPT-9", {{1, 1}}, "DPT-9", "VALUE", ""},
        {"own list of one kind", "DPT-1 DPST-1-1", {}, "DPT-1 DPST-1-1", "BIT", ""},
        {"own list of two kinds: the last", "DPST-5-1 DPST-5-4", {}, "DPST-5-1 DPST-5-4", "UBYTE", twoKinds},
        {"own text that is no type: linked", "Auto", {{5, 3}}, "DPST-5-3", "ANGLE", ""},
        {"one linked", "", {{9, 1}}, "DPST-9-1", "VALUE", ""},
        {"one linked main number", "", {{1, -1}}, "DPT-1", "BIT", ""},
        {"several of one main number", "", {{5, -1}, {5, 1}, {5, 10}}, "DPT-5", "GENERIC", ""},
        {"several main numbers", "", {{1, 1}, {5, 1}}, "", "", mixed},
        {"none", "", {}, "", "", ""},
    };
    for (const auto& c : cases) {
        TextStore texts;
        ProjectAddressRecords out = ToAddressRecords({{"GA-1", "2563", "Licht", c.Own, 0, c.Linked}}, texts);
        ASSERT_EQ(out.Records.size(), 1u) << c.What;
        const GroupAddressRecord& r = out.Records[0];
        EXPECT_EQ(r.DptText, c.DptText) << c.What;
        EXPECT_EQ(r.Type == Untyped ? "" : DatapointTypeKeywords[static_cast<std::size_t>(r.Type)], c.Keyword)
            << c.What;
        EXPECT_EQ(out.Warnings.empty() ? "" : out.Warnings[0], c.Warning) << c.What;
        EXPECT_LE(out.Warnings.size(), 1u) << c.What;
    }
}
