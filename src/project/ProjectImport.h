#pragma once
// Importing an ETS project file (.knxproj) the way an export is imported: the reading it gives is the one
// the export readers give (group address records, bad entries, warnings, or a refusal), so what follows the
// reading (questions about bad addresses, the range builder, "Add all", the summary) treats both alike.
#include "ets/EtsExport.h"
#include "project/ZipArchive.h"

#include <optional>
#include <string>
#include <string_view>

namespace zelo {

// The bytes start like a zip archive, as every project file does.
bool IsZipArchive(std::string_view bytes);

// Reads a project file: the archive opened with the password (UTF-8; nullopt when the user gave none), the
// schema, the group addresses with their own or their linked objects' types. Refusals: a password needed
// (RefusalKind::PasswordNeeded, "This project is protected by a password."), a wrong one
// (RefusalKind::WrongPassword, "Wrong project password."): the window asks for one and tries again; a
// damaged archive, naming the entry; a zip that is no project; a project without group addresses.
ExportReading ReadProjectFile(std::string bytes, const std::optional<std::string>& password);

// Any file the import takes: a zip is read as a project file, anything else as an export (with the format
// chosen). A file named .knxproj is read as a project file too, so that a damaged one says so; the password
// is used only for a project file.
ExportReading ReadImportFile(const std::string& fileName, std::string bytes,
                             const std::optional<std::string>& password,
                             FormatChoice choice = FormatChoice::Auto);

// The same for a file read a block at a time: an export is decoded as its blocks come, never held whole;
// a project file is read whole first. The source must be able to start again (a file, bytes in memory).
ExportReading ReadImportFile(const std::string& fileName, ByteSource& source,
                             const std::optional<std::string>& password,
                             FormatChoice choice = FormatChoice::Auto);

// How the summary names the protection: "unprotected", "protected with ZipCrypto (ETS4/5)",
// "protected with AES (ETS6)".
const char* ProtectionText(ZipEncryption protection);

} // namespace zelo
