#include "version/VersionInfo.h"

// Linux executables carry no version resource: the build passes the project version in, and this record
// plays the resource's fixed part.
namespace zelo {

void ReadVersionInfo() {
    FixedFileInfo& f = VersionInfo.FixedInfo;
    f = FixedFileInfo{};
    f.dwSignature = 0xFEEF04BD;
    f.dwStrucVersion = 0x00010000;
    f.dwFileVersionMS = (std::uint32_t{ZELO_VERSION_MAJOR} << 16) | ZELO_VERSION_MINOR;
    f.dwFileVersionLS = (std::uint32_t{ZELO_VERSION_PATCH} << 16) | ZELO_VERSION_TWEAK;
    f.dwProductVersionMS = f.dwFileVersionMS;
    f.dwProductVersionLS = f.dwFileVersionLS;
    f.dwFileOS = 0;
    f.dwFileType = 1; // application
    VersionInfo.Valid = true;
}

} // namespace zelo
