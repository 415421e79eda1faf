// The program's version from the version resource built into its own executable.
#include "model/Error.h"
#include "os/Paths.h"
#include "os/win32/Win32Os.h"
#include "version/VersionInfo.h"

#include <cstring>
#include <string>
#include <vector>

namespace zelo {

static_assert(sizeof(VS_FIXEDFILEINFO) == sizeof(FixedFileInfo));

void ReadVersionInfo() {
    const std::wstring path = os::WideText(os::ExecutablePath());
    DWORD unused = 0;
    const DWORD size = ::GetFileVersionInfoSizeW(path.c_str(), &unused);
    if (size == 0)
        return; // no version resource: the version stays 0.0.0.0
    std::vector<char> data(size);
    if (!::GetFileVersionInfoW(path.c_str(), 0, size, data.data()))
        throw Exception("Couldn't read version!");
    void* root = nullptr;
    UINT length = 0;
    wchar_t rootBlock[] = L"\\";
    VersionInfo.Valid = ::VerQueryValueW(data.data(), rootBlock, &root, &length) != 0 && root != nullptr &&
                        length >= sizeof(VS_FIXEDFILEINFO);
    if (VersionInfo.Valid)
        std::memcpy(&VersionInfo.FixedInfo, root, sizeof(FixedFileInfo));
}

} // namespace zelo
