// The XML group address export of ETS: GroupRange elements nested to any depth around GroupAddress elements
// with Name, Address and DPTs (or DatapointType) attributes.
#include "ets/AddressText.h"
#include "ets/DptText.h"
#include "ets/ExportReaders.h"
#include "ets/XmlReader.h"

namespace zelo::exports {

namespace {

constexpr std::string_view ExportNamespace = "http://knx.org/xml/ga-export/01";
constexpr std::string_view RootName = "GroupAddress-Export";

} // namespace

void ReadXml(std::string_view text, ExportReading& reading) {
    reading.Detected.Separator = 0;
    try {
        XmlReader xml(text);
        while (xml.Next() != XmlReader::Token::StartElement) {
        }
        const std::string namespaceUri(xml.NamespaceUri());
        if (xml.LocalName() != RootName || (namespaceUri != ExportNamespace && !namespaceUri.empty())) {
            reading.Refusal =
                ImportRefusal{"Import file has wrong format!", 0,
                              "The XML root element is <" + std::string(xml.QualifiedName()) +
                                  ">, not the <GroupAddress-Export> of an ETS group address export."};
            return;
        }
        reading.Addresses.reserve(LineEndCount(text));
        DptTextMapper types;
        while (xml.Next() != XmlReader::Token::EndOfDocument) {
            if (xml.Current() != XmlReader::Token::StartElement || xml.LocalName() != "GroupAddress" ||
                xml.NamespaceUri() != namespaceUri)
                continue;
            const int line = xml.Line();
            const std::string_view addressText = xml.AttributeValue("Address").value_or("");
            AddressTextResult address = ReadAddressText(addressText, true);
            if (address.Kind == AddressTextKind::Hierarchy)
                address = {AddressTextKind::Unreadable, 0,
                           "\"" + std::string(addressText) + "\" is no group address"};
            if (address.Kind != AddressTextKind::Address) {
                reading.BadEntries.push_back({line, std::string(addressText), address.Reason});
                continue;
            }
            GroupAddressRecord record;
            record.Address = address.Value;
            record.Line = line;
            // Values with references were decoded into the reader's buffer: those are kept as copies.
            record.Name = reading.Texts->Stable(xml.AttributeValue("Name").value_or(""));
            record.DptText = reading.Texts->Stable(
                xml.AttributeValue("DPTs").value_or(xml.AttributeValue("DatapointType").value_or("")));
            const DptTextResult type = types.Map(record.DptText);
            record.Type = static_cast<std::int8_t>(type.Type);
            // A list names the address's own type last: that one is taken, a conflict is worth a word.
            if (type.Conflict)
                reading.Warnings.push_back(TypeConflictWarning(line, record.DptText, type.Type));
            reading.Addresses.push_back(std::move(record));
        }
    } catch (const XmlError& e) {
        reading.Addresses.clear();
        reading.BadEntries.clear();
        reading.Warnings.clear();
        reading.Refusal = ImportRefusal{"Import file has wrong format!", 0, e.Message()};
    }
}

} // namespace zelo::exports
