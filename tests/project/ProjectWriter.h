#pragma once
// Writes small ETS project files for tests and benchmarks: group addresses, devices whose communication
// objects link to them (ETS4's Connectors for schema 11, Links from ETS5 on), the manufacturers' files, and
// the archive as ETS packs it, open or protected.
#include "ZipWriter.h"

#include <map>
#include <string>
#include <vector>

namespace zelo::test {

struct TestAddress {
    unsigned Address = 0; // the 16-bit value
    std::string Name;
    std::string DatapointType;   // empty: no attribute
    bool WithoutAddress = false; // no Address attribute, as in a damaged project
};

// A communication object of a device, linked to addresses by their indexes.
struct TestObject {
    std::string RefId;         // as the instance writes it: "O-1_R-1", or ETS4's whole id
    std::string DatapointType; // the instance's own; empty: no attribute
    std::vector<std::size_t> Links;
};

struct TestDevice {
    std::string Hardware2Program; // e.g. "M-0083_H-1-1_HP-0001-11-ABCD"
    std::vector<TestObject> Objects;
};

// A ComObject or ComObjectRef of an application program; empty texts are left out.
struct TestProgramObject {
    std::string Id;
    std::string DatapointType;
    std::string ObjectSize;
    std::string RefId; // refs only
};

struct TestProject {
    int Schema = 21;
    std::vector<TestAddress> Addresses;
    std::vector<TestDevice> Devices;
    // Further entries of the archive (the manufacturers' files) by name; a knx_master.xml here replaces the
    // writer's own.
    std::map<std::string, std::string> Files;
    ZipEncryption Protection = ZipEncryption::None;
    std::string Password; // the project password; for AES the zip password is derived from it
};

// The XML of a project file's parts.
std::string MasterXml(int schema);
std::string InstallationXml(const TestProject& project);
std::string ProgramXml(int schema, const std::vector<TestProgramObject>& objects,
                       const std::vector<TestProgramObject>& refs);
// Hardware2Program ids with their application program.
std::string HardwareXml(int schema, const std::map<std::string, std::string>& programs);

// The application program of the sample project and the device running it.
inline const std::string SampleProgram = "M-0083_A-0001-11-ABCD";
inline const std::string SampleHardware2Program = "M-0083_H-1-1_HP-0001-11-ABCD";

// Two switches typed themselves (1/1/1 "Licht", 1/1/2 "Licht 2"), a dimmer typed only by the object linked to
// it (1/1/3 "Dimmer", DPST-5-1), and an address in main group 17 (17/2/3 "Hoch"); unprotected.
TestProject SampleProject(int schema);

// The whole .knxproj, project id P-0001.
std::string ProjectFile(const TestProject& project);

} // namespace zelo::test
