#include "project/ProjectImport.h"

#include "model/Error.h"
#include "project/ProjectArchive.h"
#include "project/ProjectXml.h"

#include <algorithm>
#include <cctype>

namespace zelo {

namespace {

bool EndsWithNoCase(std::string_view text, std::string_view tail) {
    return text.size() >= tail.size() &&
           std::equal(tail.begin(), tail.end(), text.end() - static_cast<std::ptrdiff_t>(tail.size()),
                      [](char a, char b) { return a == std::tolower(static_cast<unsigned char>(b)); });
}

RefusalKind KindOf(ProjectErrorKind kind) {
    switch (kind) {
    case ProjectErrorKind::PasswordNeeded:
        return RefusalKind::PasswordNeeded;
    case ProjectErrorKind::WrongPassword:
        return RefusalKind::WrongPassword;
    default:
        return RefusalKind::File;
    }
}

} // namespace

bool IsZipArchive(std::string_view bytes) {
    return bytes.substr(0, 4) == std::string_view("PK\x03\x04", 4);
}

const char* ProtectionText(ZipEncryption protection) {
    switch (protection) {
    case ZipEncryption::None:
        break;
    case ZipEncryption::Traditional:
        return "protected with ZipCrypto (ETS4/5)";
    case ZipEncryption::WinZipAes:
        return "protected with AES (ETS6)";
    }
    return "unprotected";
}

ExportReading ReadProjectFile(std::string bytes, const std::optional<std::string>& password) {
    ExportReading reading;
    reading.Detected.Format = ExportFormat::Project;
    reading.Detected.Separator = 0;
    try {
        const ProjectArchive project(std::move(bytes), password);
        const ProjectSchema schema = ReadProjectSchema(project.KnxMaster(), "knx_master.xml");
        reading.Detected.ProjectSchema = schema.Version;
        reading.Detected.Protection = ProtectionText(project.Protection());
        if (schema.Warning)
            reading.Warnings.push_back(*schema.Warning);

        ProjectInstallation installation =
            ReadInstallation(project.Installation(), project.InstallationName());
        const ZipArchive& archive = project.Archive();
        ResolveLinkedTypes(
            installation,
            [&archive](const std::string& name, const ProjectEntryUse& use) {
                try {
                    const ZipEntry* entry = archive.Find(name);
                    if (!entry)
                        return false;
                    // Inflated as it is read, and left where the reading stops. The manufacturers' files are
                    // never encrypted (an encrypted one asks for a password here): an AES entry is checked
                    // before its first byte anyway, and the early stop skips no check of a protected one.
                    ZipEntryReader reader(archive, *entry);
                    use(reader);
                    return true;
                } catch (const ZipError& e) {
                    throw ProjectError(ProjectErrorKind::Damaged, DamagedProjectText(e));
                }
            },
            reading.Warnings);

        ProjectAddressRecords records = ToAddressRecords(installation.GroupAddresses, *reading.Texts);
        reading.Addresses = std::move(records.Records);
        reading.BadEntries = std::move(records.BadEntries);
        reading.Warnings.insert(reading.Warnings.end(), records.Warnings.begin(), records.Warnings.end());
        if (reading.Addresses.empty() && reading.BadEntries.empty()) {
            // The file is sound; it only has nothing to import.
            std::string name = ReadProjectName(project.ProjectXml());
            reading.Refusal = ImportRefusal{"The ETS project " + (name.empty() ? project.ProjectId() : name) +
                                                " holds no group addresses.",
                                            0, ""};
        }
    } catch (const ProjectError& e) {
        reading.Addresses.clear();
        reading.BadEntries.clear();
        reading.Warnings.clear();
        reading.Refusal = ImportRefusal{e.what(), 0, "", KindOf(e.Kind())};
    }
    return reading;
}

ExportReading ReadImportFile(const std::string& fileName, std::string bytes,
                             const std::optional<std::string>& password, FormatChoice choice) {
    // A damaged project file should say so rather than be read as a CSV export.
    if (IsZipArchive(bytes) || EndsWithNoCase(fileName, ".knxproj"))
        return ReadProjectFile(std::move(bytes), password);
    return ReadEtsExport(std::move(bytes), choice);
}

ExportReading ReadImportFile(const std::string& fileName, ByteSource& source,
                             const std::optional<std::string>& password, FormatChoice choice) {
    char head[4];
    const std::size_t got = ReadFully(source, head, sizeof head);
    if (IsZipArchive({head, got}) || EndsWithNoCase(fileName, ".knxproj")) {
        std::string bytes(head, got);
        std::string block(std::size_t{1} << 16, '\0');
        while (const std::size_t n = source.Read(block.data(), block.size()))
            bytes.append(block, 0, n);
        return ReadProjectFile(std::move(bytes), password);
    }
    if (!source.Rewind())
        throw Exception("Can't read " + fileName + ": it cannot be read from its start again.");
    return ReadEtsExport(source, choice);
}

} // namespace zelo
