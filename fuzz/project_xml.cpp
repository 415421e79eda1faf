// The XML files of a project are untrusted text: the schema and group address readers take any bytes, raise only
// their own error, and every address they list ends up either as a record the range builder can take or as a
// bad entry with a reason.
#include "project/ProjectArchive.h"
#include "project/ProjectXml.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

using namespace zelo;

namespace {

void Check(bool ok) {
    if (!ok)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    try {
        ProjectSchema schema = ReadProjectSchema(bytes, "knx_master.xml");
        Check(schema.Version >= OldestProjectSchema);
        Check(schema.Warning.has_value() == (schema.Version > NewestTestedProjectSchema));
    } catch (const ProjectError& e) {
        Check(std::string_view(e.what()).substr(0, 16) == "knx_master.xml: ");
    }
    try {
        auto addresses = ReadProjectGroupAddresses(bytes, "0.xml");
        ProjectAddressRecords out = ToAddressRecords(addresses);
        Check(out.Records.size() + out.BadEntries.size() == addresses.size());
        for (const auto& r : out.Records)
            Check(r.Address <= 0x7FFF && r.Type == Untyped && r.Line == 0);
        for (const auto& b : out.BadEntries)
            Check(!b.Reason.empty() && b.Line == 0);
    } catch (const ProjectError& e) {
        Check(std::string_view(e.what()).substr(0, 7) == "0.xml: ");
    }
    return 0;
}
