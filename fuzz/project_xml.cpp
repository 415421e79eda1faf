// The XML files of a project are untrusted text: the schema and installation readers and the type resolution
// take any bytes, raise only their own error, and every address they list ends up either as a record the
// range builder can take or as a bad entry with a reason.
//
// The input holds up to three files separated by zero bytes: the installation (0.xml), a manufacturer's
// Hardware.xml, and the application program every other name is answered with. An input that begins as a zip
// is read as a whole project file too: the archive with its budget, nested archives, the XML on top.
#include "model/DatapointTypes.h"
#include "project/ProjectArchive.h"
#include "project/ProjectImport.h"
#include "project/ProjectXml.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string_view>

using namespace zelo;

namespace {

void Check(bool ok) {
    if (!ok)
        std::abort();
}

bool Prefixed(const ProjectError& e, std::string_view prefix) {
    return std::string_view(e.what()).substr(0, prefix.size()) == prefix;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    if (IsZipArchive(bytes)) {
        const ExportReading reading = ReadProjectFile(std::string(bytes), std::string("test"));
        Check(reading.Refusal.has_value() || !reading.Addresses.empty() || !reading.BadEntries.empty());
        if (reading.Refusal)
            Check(!reading.Refusal->CommandLineText().empty());
    }
    try {
        ProjectSchema schema = ReadProjectSchema(bytes, "knx_master.xml");
        Check(schema.Version >= OldestProjectSchema);
        Check(schema.Warning.has_value() == (schema.Version > NewestTestedProjectSchema));
    } catch (const ProjectError& e) {
        Check(Prefixed(e, "knx_master.xml: "));
    }

    std::string_view parts[3];
    for (auto& part : parts) {
        const std::size_t zero = std::min(bytes.find('\0'), bytes.size());
        part = bytes.substr(0, zero);
        bytes.remove_prefix(std::min(zero + 1, bytes.size()));
    }
    try {
        ProjectInstallation installation = ReadInstallation(parts[0], "0.xml");
        for (const auto& link : installation.Links)
            Check(!link.GroupAddresses.empty());
        std::vector<std::string> warnings;
        int reads = 0;
        // As the import hands them over: streamed, a few bytes at a time.
        ResolveLinkedTypes(
            installation,
            [&](const std::string& name, const ProjectEntryUse& use) {
                ++reads;
                const std::string_view part = name.ends_with("/Hardware.xml") ? parts[1] : parts[2];
                if (part.empty())
                    return false;
                ViewSource source(part, 1 + size % 7);
                use(source);
                return true;
            },
            warnings);
        // Each file once: a Hardware.xml per manufacturer and a program per link at most.
        Check(reads <= static_cast<int>(2 * installation.Links.size()));
        for (const auto& a : installation.GroupAddresses) {
            Check(std::is_sorted(a.LinkedTypes.begin(), a.LinkedTypes.end()));
            Check(std::adjacent_find(a.LinkedTypes.begin(), a.LinkedTypes.end()) == a.LinkedTypes.end());
        }
        TextStore texts;
        ProjectAddressRecords out = ToAddressRecords(installation.GroupAddresses, texts);
        Check(out.Records.size() + out.BadEntries.size() == installation.GroupAddresses.size());
        for (const auto& r : out.Records) {
            Check(r.Address <= 0x7FFF && r.Line == 0);
            Check(r.Type == Untyped || (r.Type >= 1 && r.Type < DatapointTypeCount));
            Check(r.Type == Untyped || !r.DptText.empty());
        }
        for (const auto& b : out.BadEntries)
            Check(!b.Reason.empty() && b.Line == 0);
        for (const auto& w : warnings)
            Check(!w.empty());
    } catch (const ProjectError& e) {
        Check(e.Kind() == ProjectErrorKind::Damaged);
        // The installation, or the manufacturer's file that did not read.
        Check(Prefixed(e, "0.xml: ") ||
              std::string_view(e.what()).find(".xml: XML error") != std::string_view::npos);
    }
    return 0;
}
