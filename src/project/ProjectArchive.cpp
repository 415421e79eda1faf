#include "project/ProjectArchive.h"

#include "model/Text.h"
#include "project/Crypto.h"

#include <algorithm>
#include <vector>

namespace zelo {

const char* const ProjectPasswordNeededText = "This project is protected by a password.";
const char* const WrongProjectPasswordText = "Wrong project password.";

namespace {

constexpr std::string_view EtsPasswordSalt = "21.project.ets.knx.org";
constexpr unsigned EtsPasswordIterations = 65536;
constexpr std::size_t EtsPasswordSize = 32;

// "P-" and at least one more character, no folder part; `key` is a ZipNameKey.
bool IsProjectId(std::string_view key) {
    return key.size() > 2 && key.substr(0, 2) == "p-" && key.find('/') == key.npos;
}

// The zip reader's reason for the archive itself, without the label in front that its message carries.
std::string ArchiveReason(const ZipError& e) {
    std::string reason = e.Reason();
    if (reason.empty()) {
        const std::size_t colon = e.Message().find(": ");
        reason = colon == std::string::npos ? e.Message() : e.Message().substr(colon + 2);
    }
    if (!reason.empty() && reason.back() == '.')
        reason.pop_back();
    return reason;
}

ZipArchive OpenOuter(std::string bytes, ZipLimits limits) {
    // A file that begins as a zip and does not read as one was cut short or damaged: it is a project file
    // all the same, and the user needs to hear that it is broken, not that it is something else.
    const bool zipStart = bytes.substr(0, 4) == std::string_view("PK\x03\x04", 4);
    try {
        return ZipArchive(std::move(bytes), {}, limits);
    } catch (const ZipError& e) {
        if (e.Kind() == ZipErrorKind::NotZip && !zipStart)
            throw ProjectError(ProjectErrorKind::NotProject,
                               "This is not an ETS project file (.knxproj): it is no zip archive.");
        if (e.Kind() == ZipErrorKind::NotZip || (e.Kind() == ZipErrorKind::Damaged && e.Entry().empty()))
            throw ProjectError(ProjectErrorKind::Damaged,
                               "The ETS project file is damaged: " + ArchiveReason(e) + ".");
        throw ProjectError(ProjectErrorKind::Damaged, DamagedProjectText(e));
    }
}

// knx_master.xml is the manufacturers' master data, megabytes long; only the root's start tag is needed.
constexpr std::size_t KnxMasterStart = 64 * 1024;

[[noreturn]] void Rethrow(const ZipError& e) {
    switch (e.Kind()) {
    case ZipErrorKind::PasswordNeeded:
        throw ProjectError(ProjectErrorKind::PasswordNeeded, ProjectPasswordNeededText);
    case ZipErrorKind::WrongPassword:
        throw ProjectError(ProjectErrorKind::WrongPassword, WrongProjectPasswordText);
    default:
        throw ProjectError(ProjectErrorKind::Damaged, DamagedProjectText(e));
    }
}

} // namespace

std::string DamagedProjectText(const ZipError& e) {
    if (e.Kind() != ZipErrorKind::Damaged || e.Entry().empty() || e.Reason().empty())
        return e.Message();
    return "The ETS project file is damaged: " + e.Entry() + ": " + e.Reason() + ".";
}

std::string Base64(std::string_view bytes) {
    static const char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    for (std::size_t i = 0; i < bytes.size(); i += 3) {
        std::size_t n = std::min<std::size_t>(3, bytes.size() - i);
        std::uint32_t group = 0;
        for (std::size_t k = 0; k < 3; ++k)
            group = group << 8 | (k < n ? static_cast<unsigned char>(bytes[i + k]) : 0u);
        for (std::size_t k = 0; k < 4; ++k)
            out += k <= n ? alphabet[(group >> (18 - 6 * k)) & 63] : '=';
    }
    return out;
}

std::string Utf8ToUtf16Le(std::string_view text) {
    std::string out;
    out.reserve(text.size() * 2);
    auto unit = [&out](std::uint32_t u) {
        out += static_cast<char>(u & 0xFF);
        out += static_cast<char>(u >> 8);
    };
    for (std::size_t i = 0; i < text.size();) {
        auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[i + k]); };
        unsigned char lead = byte(0);
        std::size_t length = lead < 0x80                   ? 1
                             : lead >= 0xC2 && lead < 0xE0 ? 2
                             : lead >= 0xE0 && lead < 0xF0 ? 3
                             : lead >= 0xF0 && lead < 0xF5 ? 4
                                                           : 0;
        std::uint32_t code = length == 1   ? lead
                             : length == 2 ? lead & 0x1Fu
                             : length == 3 ? lead & 0x0Fu
                                           : lead & 0x07u;
        bool ok = length > 0 && i + length <= text.size();
        for (std::size_t k = 1; ok && k < length; ++k) {
            ok = (byte(k) & 0xC0) == 0x80;
            code = code << 6 | (byte(k) & 0x3Fu);
        }
        // Overlong forms, surrogates and values past U+10FFFF are malformed too.
        static const std::uint32_t smallest[] = {0, 0, 0x80, 0x800, 0x10000};
        ok = ok && code >= smallest[length] && code <= 0x10FFFF && (code < 0xD800 || code > 0xDFFF);
        if (!ok) {
            unit(0xFFFD);
            ++i;
            continue;
        }
        if (code >= 0x10000) {
            unit(0xD800 + ((code - 0x10000) >> 10));
            unit(0xDC00 + ((code - 0x10000) & 0x3FF));
        } else {
            unit(code);
        }
        i += length;
    }
    return out;
}

std::string EtsZipPassword(std::string_view password) {
    return Base64(crypto::Pbkdf2Sha256(Utf8ToUtf16Le(password), EtsPasswordSalt, EtsPasswordIterations,
                                       EtsPasswordSize));
}

ProjectArchive::ProjectArchive(std::string bytes, std::optional<std::string> password, ZipLimits limits)
    : Archive_(OpenOuter(std::move(bytes), limits)), Password_(std::move(password)) {
    try {
        const ZipEntry* master = Archive_.Find("knx_master.xml");
        if (!master)
            throw ProjectError(ProjectErrorKind::NotProject,
                               "This is not an ETS project file (.knxproj): it has no knx_master.xml.");
        KnxMaster_ = Archive_.ReadStart(*master, KnxMasterStart);
        ProjectId_ = FindProjectId();

        if (const ZipEntry* installation = Archive_.Find(ProjectId_ + "/0.xml")) {
            const ZipEntry* project = Archive_.Find(ProjectId_ + "/project.xml");
            if (!project)
                throw ProjectError(ProjectErrorKind::Damaged, "The ETS project file has no " + ProjectId_ +
                                                                  "/project.xml beside " +
                                                                  installation->Name + ".");
            Installation_ = Archive_.Read(*installation);
            InstallationName_ = installation->Name;
            ProjectXml_ = Archive_.Read(*project);
            return;
        }
        const ZipEntry* packed = Archive_.Find(ProjectId_ + ".zip");
        if (!packed)
            throw ProjectError(ProjectErrorKind::Damaged,
                               "The ETS project file has no data for its project " + ProjectId_ +
                                   " (neither " + ProjectId_ + "/0.xml nor " + ProjectId_ + ".zip).");
        // The inner archive's entries are paid from the same budget as the outer one's.
        ZipArchive inner(Archive_.Read(*packed), packed->Name, limits, Archive_.Budget());
        const ZipEntry* installation = inner.Find("0.xml");
        const ZipEntry* project = inner.Find("project.xml");
        if (!installation || !project)
            throw ProjectError(ProjectErrorKind::Damaged, "The archive \"" + packed->Name + "\" has no " +
                                                              (installation ? "project.xml" : "0.xml") + ".");
        Installation_ = ReadProtected(inner, *installation);
        InstallationName_ = inner.EntryLabel(*installation);
        ProjectXml_ = ReadProtected(inner, *project);
    } catch (const ZipError& e) {
        Rethrow(e);
    }
}

std::string ProjectArchive::FindProjectId() const {
    // The signature names the project; without one, the only project folder or inner archive does.
    std::vector<std::string> signed_;
    std::vector<std::string> found;
    for (const auto& e : Archive_.Entries()) {
        // The key is the name in lower case: the id keeps the name's own letters.
        std::string name = e.Name;
        std::replace(name.begin(), name.end(), '\\', '/');
        const std::string key = ZipNameKey(name);
        auto idBefore = [&](std::string_view tail) -> std::optional<std::string> {
            if (!key.ends_with(tail) ||
                !IsProjectId(std::string_view(key).substr(0, key.size() - tail.size())))
                return std::nullopt;
            return name.substr(0, name.size() - tail.size());
        };
        if (auto id = idBefore(".signature"))
            signed_.push_back(*id);
        else if (auto zipped = idBefore(".zip"))
            found.push_back(*zipped);
        else if (auto folder = idBefore("/0.xml"))
            found.push_back(*folder);
    }
    const auto& ids = signed_.empty() ? found : signed_;
    if (ids.size() == 1)
        return ids.front();
    if (ids.empty())
        throw ProjectError(
            ProjectErrorKind::NotProject,
            "The ETS project file holds no project (no P-XXXX.signature, P-XXXX/0.xml or P-XXXX.zip).");
    // A file may name thousands: the first few tell what is wrong.
    constexpr std::size_t Shown = 5;
    std::string list;
    for (std::size_t i = 0; i < std::min(ids.size(), Shown); ++i)
        list += (list.empty() ? "" : ", ") + ids[i];
    if (ids.size() > Shown)
        list +=
            " and " + std::to_string(ids.size() - Shown) + " more; " + std::to_string(ids.size()) + " in all";
    throw ProjectError(ProjectErrorKind::Damaged, "The ETS project file holds several projects (" + list +
                                                      "); ETS exports one at a time.");
}

std::string ProjectArchive::ReadProtected(const ZipArchive& inner, const ZipEntry& entry) {
    if (entry.Encryption == ZipEncryption::None)
        return inner.Read(entry);
    Protection_ = entry.Encryption;
    if (!Password_)
        throw ProjectError(ProjectErrorKind::PasswordNeeded, ProjectPasswordNeededText);

    // ETS6 encrypts with AES under a password derived from the project password; ETS4 and ETS5 with the
    // traditional cipher under the password itself. Which one applies is the entry's to say; the other form
    // is tried second, which costs little and reads archives re-packed by hand.
    std::vector<std::string> candidates;
    if (entry.Encryption == ZipEncryption::WinZipAes) {
        if (!EtsPassword_)
            EtsPassword_ = EtsZipPassword(*Password_);
        candidates = {*EtsPassword_, *Password_};
    } else {
        candidates = {*Password_};
        // Older tools may have taken the password's single-byte form.
        if (auto latin1 = Utf8ToLatin1(*Password_); latin1 && *latin1 != *Password_)
            candidates.push_back(*latin1);
    }
    // A candidate whose verifier matched but whose data do not check may still be the wrong one of the two:
    // the damage is reported only when no other candidate reads.
    std::optional<ZipError> damaged;
    for (const auto& candidate : candidates) {
        try {
            return inner.Read(entry, candidate);
        } catch (const ZipError& e) {
            if (e.Kind() == ZipErrorKind::Damaged && !damaged)
                damaged = e;
            else if (e.Kind() != ZipErrorKind::WrongPassword)
                throw;
        }
    }
    if (damaged)
        Rethrow(*damaged);
    // An empty password is no password: say that one is needed rather than that it is wrong.
    if (Password_->empty())
        throw ProjectError(ProjectErrorKind::PasswordNeeded, ProjectPasswordNeededText);
    throw ProjectError(ProjectErrorKind::WrongPassword, WrongProjectPasswordText);
}

} // namespace zelo
