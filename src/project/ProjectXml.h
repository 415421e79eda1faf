#pragma once
// The XML of an ETS project file: the project schema of knx_master.xml, and the group addresses of an
// installation (0.xml) with their names and datapoint type texts as the project gives them. Resolving the
// types of untyped addresses through the devices' communication objects, and the mapping to the gateway's
// ranges, build on this.
#include "ets/RangeBuilder.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zelo {

// ETS4 writes schema 11; the newest this reader was tried with is ETS 6.2's 23.
inline constexpr int OldestProjectSchema = 11;
inline constexpr int NewestTestedProjectSchema = 23;

struct ProjectSchema {
    int Version = 0;
    std::optional<std::string> Warning; // for a schema newer than the newest tested
};

// The schema number N of the root element KNX in the namespace http://knx.org/xml/project/N. `file` names the
// file in messages. Raises ProjectError (Damaged) for another root, namespace or a schema older than ETS4's.
ProjectSchema ReadProjectSchema(std::string_view bytes, const std::string& file);

struct ProjectGroupAddress {
    std::string Id;          // e.g. "P-0242-0_GA-1": communication objects link to it
    std::string AddressText; // the Address attribute: the 16-bit address as a number
    std::string Name;
    std::string DatapointType; // "DPST-1-1", "DPT-9", several, or empty

    bool operator==(const ProjectGroupAddress&) const = default;
};

// The GroupAddress elements below GroupAddresses in every installation of the file, in document order.
// Raises ProjectError (Damaged) naming `file` when the XML is not well formed.
std::vector<ProjectGroupAddress> ReadProjectGroupAddresses(std::string_view bytes, const std::string& file);

// The addresses as the range builder takes them (type left untyped, the datatype text kept; no lines, since
// the file has none to show) and the ones it cannot take: main groups 16 to 31, named in the 3-level form,
// and address texts that are no 16-bit number.
struct ProjectAddressRecords {
    std::vector<GroupAddressRecord> Records;
    std::vector<BadEntry> BadEntries;
};
ProjectAddressRecords ToAddressRecords(const std::vector<ProjectGroupAddress>& addresses);

} // namespace zelo
