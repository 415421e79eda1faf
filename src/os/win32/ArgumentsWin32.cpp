// The wide command line, split the way the C runtime splits it, in UTF-8.
#include "os/Arguments.h"
#include "os/win32/Win32Os.h"

#include <shellapi.h>

namespace zelo::os {

namespace {

std::string Narrow(const wchar_t* wide, UINT codePage) {
    const int size = ::WideCharToMultiByte(codePage, 0, wide, -1, nullptr, 0, nullptr, nullptr);
    if (size <= 1)
        return {};
    std::string out(static_cast<std::size_t>(size), '\0');
    ::WideCharToMultiByte(codePage, 0, wide, -1, out.data(), size, nullptr, nullptr);
    out.resize(static_cast<std::size_t>(size - 1));
    return out;
}

} // namespace

std::vector<std::string> Utf8Arguments(int argc, char** argv) {
    int count = 0;
    LPWSTR* wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    std::vector<std::string> args;
    // Should the two ever split the line differently, the runtime's own split stands.
    if (wide != nullptr && count == argc)
        for (int i = 0; i < count; ++i)
            args.push_back(Narrow(wide[i], CP_UTF8));
    else
        args.assign(argv, argv + argc);
    ::LocalFree(wide);
    return args;
}

std::string NarrowFileName(const std::string& utf8) {
    const int size = ::MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, nullptr, 0);
    if (size <= 0)
        return utf8;
    std::wstring wide(static_cast<std::size_t>(size), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, wide.data(), size);
    return Narrow(wide.c_str(), CP_ACP);
}

} // namespace zelo::os
