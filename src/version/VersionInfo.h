#pragma once
#include <cstdint>
#include <string>

namespace zelo {

// Same members and layout as the fixed file info of a Windows version resource.
struct FixedFileInfo {
    std::uint32_t dwSignature;
    std::uint32_t dwStrucVersion;
    std::uint32_t dwFileVersionMS;
    std::uint32_t dwFileVersionLS;
    std::uint32_t dwProductVersionMS;
    std::uint32_t dwProductVersionLS;
    std::uint32_t dwFileFlagsMask;
    std::uint32_t dwFileFlags;
    std::uint32_t dwFileOS;
    std::uint32_t dwFileType;
    std::uint32_t dwFileSubtype;
    std::uint32_t dwFileDateMS;
    std::uint32_t dwFileDateLS;
};
static_assert(sizeof(FixedFileInfo) == 52);

struct TVersionInfo {
    FixedFileInfo FixedInfo{};
    bool Valid = false;
};

// The program's own version, zero until ReadVersionInfo has run at start-up.
extern TVersionInfo VersionInfo;

// Fills VersionInfo from the running executable's embedded version. Raises "Couldn't read version!" when the
// version data exists but cannot be read.
void ReadVersionInfo();

// The file version as four dot-separated decimal numbers, e.g. 1.0.2.3.
std::string VersionText(const TVersionInfo& info);

} // namespace zelo
