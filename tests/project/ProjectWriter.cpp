#include "ProjectWriter.h"

#include "project/ProjectArchive.h"

namespace zelo::test {

namespace {

const std::string Declaration = "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n";

std::string Root(int schema) {
    return "<KNX xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\" CreatedBy=\"ETS\" "
           "xmlns=\"http://knx.org/xml/project/" +
           std::to_string(schema) + "\">\r\n";
}

std::string Attribute(const char* name, const std::string& value) {
    std::string escaped;
    for (char c : value) {
        switch (c) {
        case '&':
            escaped += "&amp;";
            break;
        case '<':
            escaped += "&lt;";
            break;
        case '"':
            escaped += "&quot;";
            break;
        default:
            escaped += c;
        }
    }
    return value.empty() ? std::string() : std::string(" ") + name + "=\"" + escaped + "\"";
}

std::string AddressId(std::size_t index) {
    return "GA-" + std::to_string(index + 1);
}

} // namespace

std::string MasterXml(int schema) {
    return Declaration + Root(schema) + "<MasterData Version=\"0\" /></KNX>\r\n";
}

std::string InstallationXml(const TestProject& project) {
    std::string xml = Declaration + Root(project.Schema) +
                      "<Project Id=\"P-0001\"><Installations><Installation Name=\"\" "
                      "InstallationId=\"0\">\r\n<Topology><Area Address=\"1\"><Line Address=\"1\">\r\n";
    for (std::size_t d = 0; d < project.Devices.size(); ++d) {
        const TestDevice& device = project.Devices[d];
        xml += "<DeviceInstance Id=\"P-0001-0_DI-" + std::to_string(d + 1) + "\"" +
               Attribute("Hardware2ProgramRefId", device.Hardware2Program) + " Address=\"" +
               std::to_string(d + 1) + "\"><ComObjectInstanceRefs>\r\n";
        for (const TestObject& object : device.Objects) {
            xml += "<ComObjectInstanceRef" + Attribute("RefId", object.RefId) +
                   Attribute("DatapointType", object.DatapointType);
            if (project.Schema <= 11) {
                // ETS4: whole ids, one connector per link, the first one sends.
                xml += "><Connectors>";
                for (std::size_t i = 0; i < object.Links.size(); ++i)
                    xml += std::string(i == 0 ? "<Send" : "<Receive") + " GroupAddressRefId=\"P-0001-0_" +
                           AddressId(object.Links[i]) + "\" />";
                xml += "</Connectors></ComObjectInstanceRef>\r\n";
            } else {
                std::string links;
                for (std::size_t i : object.Links)
                    links += (links.empty() ? "" : " ") + AddressId(i);
                xml += Attribute("Links", links) + " />\r\n";
            }
        }
        xml += "</ComObjectInstanceRefs></DeviceInstance>\r\n";
    }
    xml += "</Line></Area></Topology>\r\n<GroupAddresses><GroupRanges><GroupRange Id=\"P-0001-0_GR-1\" "
           "Name=\"All\" RangeStart=\"0\" RangeEnd=\"65535\">\r\n";
    for (std::size_t i = 0; i < project.Addresses.size(); ++i) {
        const TestAddress& a = project.Addresses[i];
        xml += "<GroupAddress Id=\"P-0001-0_" + AddressId(i) + "\"" +
               (a.WithoutAddress ? "" : " Address=\"" + std::to_string(a.Address) + "\"") +
               Attribute("Name", a.Name) + Attribute("DatapointType", a.DatapointType) + " Puid=\"" +
               std::to_string(i + 100) + "\" />\r\n";
    }
    return xml + "</GroupRange></GroupRanges></GroupAddresses></Installation></Installations></Project>"
                 "</KNX>\r\n";
}

std::string ProgramXml(int schema, const std::vector<TestProgramObject>& objects,
                       const std::vector<TestProgramObject>& refs) {
    std::string xml = Declaration + Root(schema) +
                      "<ManufacturerData><Manufacturer><ApplicationPrograms><ApplicationProgram><Static>"
                      "<ComObjectTable>\r\n";
    for (const auto& o : objects)
        xml += "<ComObject" + Attribute("Id", o.Id) + " Name=\"x\" Number=\"1\"" +
               Attribute("ObjectSize", o.ObjectSize) + Attribute("DatapointType", o.DatapointType) +
               " />\r\n";
    xml += "</ComObjectTable><ComObjectRefs>\r\n";
    for (const auto& r : refs)
        xml += "<ComObjectRef" + Attribute("Id", r.Id) + Attribute("RefId", r.RefId) +
               Attribute("ObjectSize", r.ObjectSize) + Attribute("DatapointType", r.DatapointType) +
               " />\r\n";
    return xml + "</ComObjectRefs></Static></ApplicationProgram></ApplicationPrograms></Manufacturer>"
                 "</ManufacturerData></KNX>\r\n";
}

std::string HardwareXml(int schema, const std::map<std::string, std::string>& programs) {
    std::string xml = Declaration + Root(schema) + "<ManufacturerData><Manufacturer><Hardware><Hardware>";
    for (const auto& [hardware2Program, program] : programs)
        xml += "<Hardware2Programs><Hardware2Program Id=\"" + hardware2Program +
               "\" MediumTypes=\"MT-0\"><ApplicationProgramRef RefId=\"" + program +
               "\" /></Hardware2Program></Hardware2Programs>";
    return xml + "</Hardware></Hardware></Manufacturer></ManufacturerData></KNX>\r\n";
}

TestProject SampleProject(int schema) {
    TestProject project;
    project.Schema = schema;
    project.Addresses = {{0x0901, "Licht", "DPST-1-1"},
                         {0x0902, "Licht 2", "DPT-1"},
                         {0x0903, "Dimmer", ""},
                         {0x8A03, "Hoch", "DPST-1-1"}};
    // ETS4 names the object by its whole id; later versions by its id within the program.
    const std::string object = SampleProgram + "_O-1";
    project.Devices = {{SampleHardware2Program, {{schema <= 11 ? object + "_R-1" : "O-1_R-1", "", {2}}}}};
    project.Files = {
        {"M-0083/" + SampleProgram + ".xml",
         ProgramXml(schema, {{object, "DPST-5-1", "1 Byte", ""}}, {{object + "_R-1", "", "", object}})}};
    return project;
}

std::string ProjectFile(const TestProject& project) {
    std::vector<ZipWriterEntry> entries = {Entry("P-0001.signature", "signature")};
    if (!project.Files.contains("knx_master.xml"))
        entries.push_back(Entry("knx_master.xml", MasterXml(project.Schema)));
    for (const auto& [name, data] : project.Files)
        entries.push_back(Entry(name, data));
    std::vector<ZipWriterEntry> parts = {
        Entry("0.xml", InstallationXml(project)),
        Entry(project.Schema <= 11 ? "Project.xml" : "project.xml",
              Declaration + Root(project.Schema) +
                  "<Project Id=\"P-0001\"><ProjectInformation Name=\"Test\" GroupAddressStyle=\"ThreeLevel\" "
                  "/></Project></KNX>\r\n")};
    if (project.Protection == ZipEncryption::None) {
        for (auto& part : parts)
            entries.push_back(Entry("P-0001/" + part.Name, part.Data));
    } else {
        for (auto& part : parts) {
            part.Encryption = project.Protection;
            part.Password = project.Protection == ZipEncryption::WinZipAes ? EtsZipPassword(project.Password)
                                                                           : project.Password;
        }
        entries.push_back(Entry("P-0001.zip", WriteZip(parts)));
    }
    return WriteZip(entries);
}

} // namespace zelo::test
