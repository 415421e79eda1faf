#include "project/ProjectXml.h"

#include "ets/AddressText.h"
#include "ets/EtsExport.h"
#include "ets/XmlReader.h"
#include "model/DatapointTypes.h"
#include "project/ProjectArchive.h"

#include <algorithm>

namespace zelo {

namespace {

constexpr std::string_view ProjectNamespace = "http://knx.org/xml/project/";

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

std::string ProjectXmlText(std::string_view bytes) {
    return DecodeText(bytes, DetectEncoding(bytes));
}

ProjectSchema ReadProjectSchema(std::string_view bytes, const std::string& file) {
    const std::string text = ProjectXmlText(bytes);
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

std::string ReadProjectName(std::string_view bytes) {
    const std::string text = ProjectXmlText(bytes);
    try {
        XmlReader xml(text);
        while (xml.Next() != XmlReader::Token::EndOfDocument)
            if (xml.Current() == XmlReader::Token::StartElement && xml.LocalName() == "ProjectInformation")
                return std::string(xml.AttributeValue("Name").value_or(""));
    } catch (const XmlError&) {
    }
    return {};
}

ProjectInstallation ReadInstallation(std::string_view bytes, const std::string& file) {
    const std::string text = ProjectXmlText(bytes);
    ProjectInstallation out;
    try {
        XmlReader xml(text);
        int installation = -1;
        // Depths of the elements the reader is in, 0 outside.
        int groupAddressesDepth = 0;
        int deviceDepth = 0;
        int objectDepth = 0;
        std::string programRef; // of the device the reader is in
        ProjectObjectLink link; // the object the reader is in
        while (xml.Next() != XmlReader::Token::EndOfDocument) {
            const int depth = xml.Depth();
            if (xml.Current() == XmlReader::Token::EndElement) {
                if (depth == groupAddressesDepth)
                    groupAddressesDepth = 0;
                if (depth == objectDepth) {
                    objectDepth = 0;
                    if (!link.GroupAddresses.empty())
                        out.Links.push_back(std::move(link));
                }
                if (depth == deviceDepth) {
                    deviceDepth = 0;
                    programRef.clear();
                }
                continue;
            }
            if (xml.Current() != XmlReader::Token::StartElement)
                continue;
            const std::string_view name = xml.LocalName();
            auto attribute = [&xml](std::string_view attributeName) {
                return std::string(xml.AttributeValue(attributeName).value_or(""));
            };
            if (name == "Installation") {
                ++installation;
            } else if (name == "GroupAddresses" && groupAddressesDepth == 0) {
                groupAddressesDepth = depth;
            } else if (groupAddressesDepth != 0 && name == "GroupAddress") {
                ProjectGroupAddress a;
                a.Id = attribute("Id");
                a.AddressText = attribute("Address");
                a.Name = attribute("Name");
                a.DatapointType = attribute("DatapointType");
                a.Installation = std::max(installation, 0);
                out.GroupAddresses.push_back(std::move(a));
            } else if (name == "DeviceInstance" && deviceDepth == 0) {
                deviceDepth = depth;
                programRef = attribute("Hardware2ProgramRefId");
            } else if (name == "ComObjectInstanceRef" && objectDepth == 0) {
                objectDepth = depth;
                link = ProjectObjectLink{};
                link.Installation = std::max(installation, 0);
                link.ProgramRef = programRef;
                link.RefId = attribute("RefId");
                link.DatapointType = attribute("DatapointType");
                const std::string_view links = xml.AttributeValue("Links").value_or("");
                for (std::size_t pos = 0; pos < links.size();) {
                    const std::size_t end = std::min(links.find(' ', pos), links.size());
                    if (end > pos)
                        link.GroupAddresses.emplace_back(links.substr(pos, end - pos));
                    pos = end + 1;
                }
            } else if (objectDepth != 0 && (name == "Send" || name == "Receive")) {
                if (auto id = xml.AttributeValue("GroupAddressRefId"); id && !id->empty())
                    link.GroupAddresses.emplace_back(*id);
            }
        }
    } catch (const XmlError& e) {
        Damaged(file, e.Message());
    }
    return out;
}

std::string LinkedTypeText(const std::vector<DptNumber>& types) {
    if (types.empty())
        return {};
    const long main = types.front().Main;
    for (const auto& t : types)
        if (t.Main != main)
            return {};
    if (types.size() == 1 && types.front().Sub >= 0)
        return "DPST-" + std::to_string(main) + "-" + std::to_string(types.front().Sub);
    return "DPT-" + std::to_string(main);
}

ProjectAddressRecords ToAddressRecords(const std::vector<ProjectGroupAddress>& addresses, TextStore& texts) {
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
            // Named by what the project gives besides, as an export's line is named by its number.
            std::string what = "Group address";
            if (!a.Name.empty())
                what += " \"" + a.Name + "\"";
            if (!a.Id.empty())
                what += " (" + a.Id + ")";
            out.BadEntries.push_back(
                {0, a.AddressText,
                 what + (a.AddressText.empty() ? ": no address"
                                               : ": \"" + a.AddressText + "\" is no group address")});
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
        record.Name = texts.Stable(a.Name);
        auto where = [&a, &record] {
            return "Group address " + ThreeLevel(record.Address) +
                   (a.Name.empty() ? "" : " \"" + a.Name + "\"");
        };
        DptTextResult own = MapDptText(a.DatapointType);
        if (own.Type >= 0) {
            record.DptText = texts.Stable(a.DatapointType);
            record.Type = static_cast<std::int8_t>(own.Type);
            if (own.Conflict)
                out.Warnings.push_back(
                    where() + ": datatype \"" + a.DatapointType +
                    "\" names types of different kinds; the last one (" +
                    std::string(DatapointTypeKeywords[static_cast<std::size_t>(own.Type)]) + ") is taken.");
        } else if (const std::string linked = LinkedTypeText(a.LinkedTypes); !linked.empty()) {
            const DptNumber& first = a.LinkedTypes.front();
            record.DptText = texts.Stable(linked);
            record.Type = static_cast<std::int8_t>(
                DatapointTypeOfDpt(first.Main, a.LinkedTypes.size() == 1 ? first.Sub : -1));
        } else if (a.LinkedTypes.size() > 1) {
            std::string list;
            for (const auto& t : a.LinkedTypes)
                list += (list.empty() ? "" : ", ") + LinkedTypeText({t});
            out.Warnings.push_back(where() +
                                   ": the objects linked to it have types of different main numbers (" +
                                   list + "); it is left without a type.");
        }
        out.Records.push_back(record);
    }
    return out;
}

} // namespace zelo
