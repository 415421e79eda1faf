#include "version/VersionInfo.h"

namespace zelo {

TVersionInfo VersionInfo{};

std::string VersionText(const TVersionInfo& info) {
    const auto& f = info.FixedInfo;
    return std::to_string(f.dwFileVersionMS >> 16) + "." + std::to_string(f.dwFileVersionMS & 0xFFFF) + "." +
           std::to_string(f.dwFileVersionLS >> 16) + "." + std::to_string(f.dwFileVersionLS & 0xFFFF);
}

} // namespace zelo
