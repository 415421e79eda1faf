// The program's version from the version resource built into its own executable.
#include "model/Error.h"
#include "os/Paths.h"
#include "version/VersionInfo.h"

#include <cstring>
#include <string>
#include <vector>

#ifndef NOMINMAX
#define NOMINMAX
#endif
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

namespace zelo {

static_assert(sizeof(VS_FIXEDFILEINFO) == sizeof(FixedFileInfo));

void ReadVersionInfo() {
    const std::string path = os::ExecutablePath();
    DWORD unused = 0;
    const DWORD size = ::GetFileVersionInfoSizeA(path.c_str(), &unused);
    if (size == 0)
        return; // no version resource: the version stays 0.0.0.0
    std::vector<char> data(size);
    if (!::GetFileVersionInfoA(path.c_str(), 0, size, data.data()))
        throw Exception("Couldn't read version!");
    void* root = nullptr;
    UINT length = 0;
    char rootBlock[] = "\\";
    VersionInfo.Valid = ::VerQueryValueA(data.data(), rootBlock, &root, &length) != 0 && root != nullptr &&
                        length >= sizeof(VS_FIXEDFILEINFO);
    if (VersionInfo.Valid)
        std::memcpy(&VersionInfo.FixedInfo, root, sizeof(FixedFileInfo));
}

} // namespace zelo
