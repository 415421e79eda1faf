#pragma once
// An ETS project file (.knxproj): a zip archive holding knx_master.xml, P-XXXX.signature (whose name gives
// the project id), the manufacturers' data, and the project itself, either as a folder P-XXXX/ or, when the
// project is protected by a password, as an encrypted inner archive P-XXXX.zip. This opens the archive, finds
// the project and gives the bytes of the files the import reads.
#include "model/Error.h"
#include "project/ZipArchive.h"

#include <optional>
#include <string>
#include <string_view>

namespace zelo {

enum class ProjectErrorKind { NotProject, PasswordNeeded, WrongPassword, Damaged };

class ProjectError : public Exception {
public:
    ProjectError(ProjectErrorKind kind, const std::string& message) : Exception(message), Kind_(kind) {}
    ProjectErrorKind Kind() const { return Kind_; }

private:
    ProjectErrorKind Kind_;
};

extern const char* const ProjectPasswordNeededText; // "This project is protected by a password."
extern const char* const WrongProjectPasswordText;  // "Wrong project password."

// The zip password ETS6 encrypts a protected project with: PBKDF2-HMAC-SHA256 over the project password as
// UTF-16LE, with ETS's fixed salt, 65536 rounds, 32 bytes, as padded Base64 text. `password` is UTF-8.
std::string EtsZipPassword(std::string_view password);

// The words for a damaged entry: "The ETS project file is damaged: ENTRY: REASON."; other errors as they are.
std::string DamagedProjectText(const ZipError& e);

// Padded Base64 of bytes.
std::string Base64(std::string_view bytes);

// UTF-16LE bytes of a UTF-8 text, without a byte-order mark; a malformed sequence becomes U+FFFD.
std::string Utf8ToUtf16Le(std::string_view text);

class ProjectArchive {
public:
    // Opens the project file's bytes. `password` is the user's project password (UTF-8), nullopt when none
    // was given. Raises ProjectError: NotProject, PasswordNeeded and WrongPassword with the system's texts,
    // Damaged with a message that names the entry.
    explicit ProjectArchive(std::string bytes, std::optional<std::string> password = std::nullopt,
                            ZipLimits limits = {});

    const std::string& ProjectId() const { return ProjectId_; } // e.g. "P-0242"
    // How the project data is protected: None (a folder), Traditional (ETS4/5) or WinZipAes (ETS6).
    ZipEncryption Protection() const { return Protection_; }
    // The start of knx_master.xml, as far as the schema needs (its first 64 KiB).
    const std::string& KnxMaster() const { return KnxMaster_; }
    const std::string& Installation() const { return Installation_; } // 0.xml
    const std::string& ProjectXml() const { return ProjectXml_; }     // project.xml (Project.xml in ETS4)
    // Where 0.xml came from, for messages: "P-0242/0.xml", or "P-0242.zip/0.xml" in a protected project.
    const std::string& InstallationName() const { return InstallationName_; }
    // The outer archive, for the manufacturers' data.
    const ZipArchive& Archive() const { return Archive_; }

private:
    std::string FindProjectId() const;
    std::string ReadProtected(const ZipArchive& inner, const ZipEntry& entry);

    ZipArchive Archive_;
    std::optional<std::string> Password_;
    std::optional<std::string> EtsPassword_; // derived once, on the first AES entry
    std::string ProjectId_;
    ZipEncryption Protection_ = ZipEncryption::None;
    std::string KnxMaster_;
    std::string Installation_;
    std::string InstallationName_;
    std::string ProjectXml_;
};

} // namespace zelo
