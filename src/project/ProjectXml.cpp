#include "project/ProjectXml.h"

#include "ets/AddressText.h"
#include "ets/EtsExport.h"
#include "ets/XmlReader.h"
#include "project/ProjectArchive.h"

namespace zelo {

namespace {

constexpr std::string_view ProjectNamespace = "http://knx.org/xml/project/";

// ETS writes UTF-8 with a byte-order mark; anything else is decoded the way exports are.
std::string Decode(std::string_view bytes) {
    return DecodeText(bytes, DetectEncoding(bytes));
}

[[noreturn]] void Damaged(const std::string& file, const std::string& what) {
    throw ProjectError(ProjectErrorKind::Damaged, file + ": " + what);
}

std::optional<int> SchemaNumber(std::string_view uri) {
    if (uri.substr(0, ProjectNamespace.size()) != ProjectNamespace)
        return std::nullopt;
    std::string_view digits = uri.substr(ProjectNamespace.size());
    if (digits.empty() || digits.size() > 4)
        return std::nullopt;
    int n = 0;
    for (char c : digits) {
        if (c < '0' || c > '9')
            return std::nullopt;
        n = n * 10 + (c - '0');
    }
    return n;
}

std::string ThreeLevel(unsigned address) {
    return std::to_string(address >> 11) + "/" + std::to_string((address >> 8) & 7) + "/" +
           std::to_string(address & 255);
}

} // namespace

ProjectSchema ReadProjectSchema(std::string_view bytes, const std::string& file) {
    const std::string text = Decode(bytes);
    try {
        // The root's start tag says it all; the rest of the master data is not needed here.
        XmlReader xml(text);
        while (xml.Next() != XmlReader::Token::StartElement &&
               xml.Current() != XmlReader::Token::EndOfDocument) {
        }
        std::optional<int> schema = SchemaNumber(xml.NamespaceUri());
        if (xml.LocalName() != "KNX" || !schema)
            Damaged(file, "the root element is <" + std::string(xml.QualifiedName()) +
                              "> in the namespace \"" + std::string(xml.NamespaceUri()) +
                              "\", not the <KNX> of an ETS project (" + std::string(ProjectNamespace) +
                              "N).");
        if (*schema < OldestProjectSchema)
            Damaged(file, "project schema " + std::to_string(*schema) + " is older than ETS4's (" +
                              std::to_string(OldestProjectSchema) + "), which this program cannot read.");
        ProjectSchema result{*schema, std::nullopt};
        if (*schema > NewestTestedProjectSchema)
            result.Warning = file + ": project schema " + std::to_string(*schema) +
                             " is newer than the newest this program was tested with (" +
                             std::to_string(NewestTestedProjectSchema) + "); check the imported addresses.";
        return result;
    } catch (const XmlError& e) {
        Damaged(file, e.Message());
    }
}

std::vector<ProjectGroupAddress> ReadProjectGroupAddresses(std::string_view bytes, const std::string& file) {
    const std::string text = Decode(bytes);
    std::vector<ProjectGroupAddress> addresses;
    try {
        XmlReader xml(text);
        int groupAddressesDepth = 0; // of the GroupAddresses element the reader is in, 0 outside
        while (xml.Next() != XmlReader::Token::EndOfDocument) {
            if (xml.Current() == XmlReader::Token::EndElement) {
                if (xml.Depth() == groupAddressesDepth)
                    groupAddressesDepth = 0;
                continue;
            }
            if (xml.Current() != XmlReader::Token::StartElement)
                continue;
            if (xml.LocalName() == "GroupAddresses" && groupAddressesDepth == 0) {
                groupAddressesDepth = xml.Depth();
            } else if (groupAddressesDepth != 0 && xml.LocalName() == "GroupAddress") {
                addresses.push_back({std::string(xml.AttributeValue("Id").value_or("")),
                                     std::string(xml.AttributeValue("Address").value_or("")),
                                     std::string(xml.AttributeValue("Name").value_or("")),
                                     std::string(xml.AttributeValue("DatapointType").value_or(""))});
            }
        }
    } catch (const XmlError& e) {
        Damaged(file, e.Message());
    }
    return addresses;
}

ProjectAddressRecords ToAddressRecords(const std::vector<ProjectGroupAddress>& addresses) {
    ProjectAddressRecords out;
    out.Records.reserve(addresses.size());
    for (const auto& a : addresses) {
        // A 16-bit number, digits only.
        unsigned long value = 0;
        bool number = !a.AddressText.empty() && a.AddressText.size() <= 5;
        for (char c : a.AddressText) {
            number = number && c >= '0' && c <= '9';
            value = value * 10 + static_cast<unsigned char>(c - '0');
        }
        if (!number || value > 0xFFFF) {
            out.BadEntries.push_back({0, a.AddressText,
                                      a.AddressText.empty()
                                          ? "no group address"
                                          : "\"" + a.AddressText + "\" is no group address"});
            continue;
        }
        // Main groups 16 to 31 exist in ETS but not in the gateway's notation: refused as the 3-level text
        // says, never folded into 0 to 15.
        if (value > 0x7FFF) {
            std::string threeLevel = ThreeLevel(static_cast<unsigned>(value));
            out.BadEntries.push_back({0, threeLevel, ReadAddressText(threeLevel, false).Reason});
            continue;
        }
        GroupAddressRecord record;
        record.Address = static_cast<std::uint16_t>(value);
        record.Name = a.Name;
        record.DptText = a.DatapointType;
        out.Records.push_back(std::move(record));
    }
    return out;
}

} // namespace zelo
