#pragma once
// The XML of an ETS project file: the project schema of knx_master.xml; the group addresses of an
// installation (0.xml) with their names and datapoint type texts, and the devices' communication objects
// linked to them; the types of untyped addresses resolved through those objects' application programs; and
// the records the range builder takes.
#include "ets/DptText.h"
#include "ets/RangeBuilder.h"
#include "model/ByteSource.h"

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zelo {

// ETS4 writes schema 11; the newest this reader was tried with is ETS 6.2's 23.
inline constexpr int OldestProjectSchema = 11;
inline constexpr int NewestTestedProjectSchema = 23;

// The text of a project XML file in UTF-8: ETS writes UTF-8 with a byte-order mark; anything else is decoded
// the way exports are.
std::string ProjectXmlText(std::string_view bytes);

struct ProjectSchema {
    int Version = 0;
    std::optional<std::string> Warning; // for a schema newer than the newest tested
};

// The schema number N of the root element KNX in the namespace http://knx.org/xml/project/N. `file` names the
// file in messages. Raises ProjectError (Damaged) for another root, namespace or a schema older than ETS4's.
ProjectSchema ReadProjectSchema(std::string_view bytes, const std::string& file);

// The project's name from project.xml (ProjectInformation's Name); empty when it names none or does not
// read, since the name only serves messages.
std::string ReadProjectName(std::string_view bytes);

struct ProjectGroupAddress {
    std::string Id;          // e.g. "P-0242-0_GA-1": communication objects link to it
    std::string AddressText; // the Address attribute: the 16-bit address as a number
    std::string Name;
    std::string DatapointType; // "DPST-1-1", "DPT-9", several, or empty
    int Installation = 0;      // ordinal of its installation in the file: links are resolved within one
    // Where the address names no type itself: the distinct types of the communication objects linked to it
    // (ResolveLinkedTypes), sorted.
    std::vector<DptNumber> LinkedTypes;

    bool operator==(const ProjectGroupAddress&) const = default;
};

// A communication object of a device (ComObjectInstanceRef) that is linked to group addresses.
struct ProjectObjectLink {
    int Installation = 0;
    std::string ProgramRef;    // the device's Hardware2ProgramRefId, names its application program
    std::string RefId;         // as written: "O-40_R-1433", "MD-1_M-13_MI-1_O-2-1_R-2", or ETS4's whole id
    std::string DatapointType; // the object's own in this device, may be empty
    // The group addresses as written: ETS5 and later "GA-1" in Links (the first one sends), ETS4 the whole
    // id "P-0600-0_GA-1" in Connectors/Send and Receive.
    std::vector<std::string> GroupAddresses;

    bool operator==(const ProjectObjectLink&) const = default;
};

struct ProjectInstallation {
    std::vector<ProjectGroupAddress> GroupAddresses; // below GroupAddresses, in document order
    std::vector<ProjectObjectLink> Links;            // in document order
};

// Reads an installation file (0.xml): the GroupAddress elements below GroupAddresses in every installation,
// and the communication objects of the devices that link to group addresses. Raises ProjectError (Damaged)
// naming `file` when the XML is not well formed.
ProjectInstallation ReadInstallation(std::string_view bytes, const std::string& file);

// The manufacturers' files of the project archive by entry name ("M-0083/Hardware.xml"): the bytes, or
// nullopt when there is no such entry. May raise ProjectError (Damaged) for an entry that does not read.
using ProjectEntryReader = std::function<std::optional<std::string>(const std::string& name)>;
// The same as a stream: opens the entry of that name and hands its bytes to `use` as they are read, so that
// a file of 100 MB is never held whole; false when there is no such entry. `use` may stop before the end;
// the opener then checks what it must (an encrypted entry is read to its end, so that its check runs).
using ProjectEntryUse = std::function<void(ByteSource& bytes)>;
using ProjectEntryStreamer = std::function<bool(const std::string& name, const ProjectEntryUse& use)>;

// Fills LinkedTypes of every group address whose own datatype text names no type: for each linked object,
// the instance's own DatapointType, else its ComObjectRef's, else its ComObject's, else the object size
// (1 Bit, 2 Bit and 4 Bit are DPT 1, 2 and 3). Reads each manufacturer's Hardware.xml and each application
// program needed once, and keeps only the objects linked. Appends a warning for each file that is missing.
// Raises ProjectError (Damaged) naming the entry whose XML is not well formed.
// An application program is read only until every object asked of it is found.
void ResolveLinkedTypes(ProjectInstallation& installation, const ProjectEntryStreamer& open,
                        std::vector<std::string>& warnings);
void ResolveLinkedTypes(ProjectInstallation& installation, const ProjectEntryReader& read,
                        std::vector<std::string>& warnings);

// The addresses as the range builder takes them (no lines, since the file has none to show), their texts
// kept in `texts`: the type from the address's own datatype text, else from its linked types (one type
// gives it, several of one main number give that main number, anything else none). The ones it cannot take
// go to the bad entries: main groups 16 to 31, named in the 3-level form, and address texts that are no
// 16-bit number. Warnings name the address for own texts of types of different kinds and for linked types
// that disagree.
struct ProjectAddressRecords {
    std::vector<GroupAddressRecord> Records;
    std::vector<BadEntry> BadEntries;
    std::vector<std::string> Warnings;
};
ProjectAddressRecords ToAddressRecords(const std::vector<ProjectGroupAddress>& addresses, TextStore& texts);

// The datatype text of linked types as the records carry it: "DPST-1-1" for one type, "DPT-1" for several
// of one main number, empty otherwise.
std::string LinkedTypeText(const std::vector<DptNumber>& types);

} // namespace zelo
