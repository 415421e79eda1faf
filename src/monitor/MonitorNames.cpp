#include "monitor/MonitorNames.h"

#include "ets/EtsExport.h"
#include "ets/EtsImport.h"
#include "model/Address.h"
#include "model/Error.h"
#include "project/ProjectImport.h"

namespace zelo {

GroupNames ReadGroupNames(const std::string& fileName, std::string bytes,
                          const std::optional<std::string>& password) {
    ExportReading reading = ReadImportFile(fileName, std::move(bytes), password);
    if (reading.Refusal)
        throw Exception(reading.Refusal->CommandLineText());
    GroupNames names;
    if (reading.Detected.Format == ExportFormat::Ets3) {
        // An ETS3 export names each address on its own line; lines that do not read are passed over, as
        // they give no name.
        std::vector<std::string_view> fields;
        std::string scratch;
        for (std::size_t i = 0; i < reading.Ets3Lines.size(); ++i) {
            SplitCommaFields(reading.Ets3Lines[i], fields, scratch);
            if (fields.size() <= EtsAddressField)
                continue;
            std::size_t used = 0;
            if (auto address = ScanGroupAddress(fields[EtsAddressField], used))
                names.Add(*address, fields[EtsNameField]);
        }
        return names;
    }
    for (const auto& record : reading.Addresses)
        if (!record.Name.empty())
            names.Add(record.Address, record.Name);
    return names;
}

} // namespace zelo
