// Reading standard input and replacing a file on Windows: a temporary file of this save's own beside the
// target, flushed, then put in the target's place by a write-through move, the target's attributes kept.
// Names reach the system in UTF-16 only.
#include "model/Error.h"
#include "os/FileFault.h"
#include "os/win32/Win32Os.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <io.h>
#include <utility>

namespace zelo::os {

namespace {

bool Failed(FileStep step, bool failed, DWORD& error) {
    if (int injected = InjectedFileFault(step)) {
        error = static_cast<DWORD>(injected);
        return true;
    }
    if (failed)
        error = ::GetLastError();
    return failed;
}

bool WriteAll(HANDLE file, std::string_view bytes, DWORD& error) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1u << 30));
        DWORD written = 0;
        const BOOL ok = ::WriteFile(file, bytes.data() + done, chunk, &written, nullptr);
        if (ok && written == 0)
            ::SetLastError(ERROR_DISK_FULL);
        if (Failed(FileStep::Write, !ok || written == 0, error))
            return false;
        done += written;
    }
    return true;
}

bool SyncAndClose(HANDLE file, DWORD& error) {
    const bool synced = !Failed(FileStep::Sync, ::FlushFileBuffers(file) == 0, error);
    const bool closed = !Failed(FileStep::Close, ::CloseHandle(file) == 0, error);
    return synced && closed;
}

// The rare case of a folder that takes no new file: the file itself is rewritten, then cut to its length.
void RewriteInPlace(const std::string& fileName, std::string_view bytes) {
    DWORD error = 0;
    HANDLE file = ::CreateFileW(WideText(fileName).c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        throw Exception("Can't write " + fileName + ": " + SystemErrorText(::GetLastError()));
    bool ok = WriteAll(file, bytes, error);
    if (ok && !::SetEndOfFile(file)) {
        error = ::GetLastError();
        ok = false;
    }
    if (!ok) {
        ::CloseHandle(file);
        throw Exception("Can't write " + fileName + ": " + SystemErrorText(error));
    }
    if (!SyncAndClose(file, error))
        throw Exception("Can't write " + fileName + ": " + SystemErrorText(error));
}

// A new file beside the target under a name no other save uses: the process, a count of this process's saves
// and the clock in it, and CREATE_NEW, so a file already there (the user's own "X.tmp", another saver's) is
// never opened, truncated or deleted; a taken name is passed over.
std::pair<std::wstring, HANDLE> CreateTemporaryBeside(const std::wstring& target, DWORD& error) {
    static std::atomic<unsigned> saves{0};
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::wstring name = target + L"." + std::to_wstring(::GetCurrentProcessId()) + L"-" +
                                  std::to_wstring(saves++) + L"-" + std::to_wstring(::GetTickCount()) +
                                  L".tmp";
        HANDLE file = ::CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE)
            return {name, file};
        error = ::GetLastError();
        if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS)
            break;
    }
    ::SetLastError(error);
    return {std::wstring(), INVALID_HANDLE_VALUE};
}

} // namespace

std::size_t ReadStandardInputBlock(char* buffer, std::size_t size) {
    // Text mode would turn CR LF into LF and stop at a Ctrl+Z byte: the list must arrive byte for byte.
    static const bool binary = ::_setmode(::_fileno(stdin), _O_BINARY) != -1;
    (void)binary;
    const std::size_t n = std::fread(buffer, 1, size, stdin);
    if (n == 0 && std::ferror(stdin))
        throw Exception(std::string("Can't read standard input: ") + std::strerror(errno));
    return n;
}

std::FILE* OpenFileForReading(const std::string& fileName) {
    return ::_wfopen(WideText(fileName).c_str(), L"rb");
}

void ReplaceFileContents(const std::string& fileName, std::string_view bytes) {
    auto fail = [&](DWORD error) {
        return Exception("Can't write " + fileName + ": " + SystemErrorText(error));
    };
    const std::wstring target = WideText(fileName);
    const DWORD attributes = ::GetFileAttributesW(target.c_str());
    const bool exists = attributes != INVALID_FILE_ATTRIBUTES;
    if (exists && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
        throw fail(ERROR_DIRECTORY);
    // A replace would drop the read-only mark of a file the user protected: refuse it as a write would be.
    if (exists && (attributes & FILE_ATTRIBUTE_READONLY) != 0)
        throw fail(ERROR_ACCESS_DENIED);

    DWORD error = 0;
    const auto [temporary, file] = CreateTemporaryBeside(target, error);
    if (Failed(FileStep::Create, file == INVALID_HANDLE_VALUE, error)) {
        if (file != INVALID_HANDLE_VALUE) {
            ::CloseHandle(file);
            ::DeleteFileW(temporary.c_str());
        }
        if (exists && error == ERROR_ACCESS_DENIED) {
            RewriteInPlace(fileName, bytes);
            return;
        }
        throw fail(error);
    }
    // Only the file this save created is ever deleted.
    auto discard = [&](DWORD reason) {
        ::DeleteFileW(temporary.c_str());
        return fail(reason);
    };
    if (!WriteAll(file, bytes, error)) {
        ::CloseHandle(file);
        throw discard(error);
    }
    if (!SyncAndClose(file, error))
        throw discard(error);
    // The one step an injected fault must stop before it happens: after it, the old file is gone.
    if (const int injected = InjectedFileFault(FileStep::Rename))
        throw discard(static_cast<DWORD>(injected));
    // A move over the target rather than ReplaceFile: that one parks the old file under a name of its own
    // beside it, which two saves at once can leave behind. The attributes (hidden, say) are put back.
    const bool renamed = ::MoveFileExW(temporary.c_str(), target.c_str(),
                                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
    if (renamed && exists)
        (void)::SetFileAttributesW(target.c_str(), attributes);
    if (!renamed)
        throw discard(::GetLastError());
    // The write-through move reaches the disk with its folder entry: there is no folder to sync here.
    if (Failed(FileStep::SyncFolder, false, error))
        throw fail(error);
}

} // namespace zelo::os

namespace zelo::os {

AppendFile::AppendFile(const std::string& fileName) : Name_(fileName) {
    // FILE_APPEND_DATA alone: every write goes to the end, whoever else writes there.
    HANDLE file =
        ::CreateFileW(WideText(fileName).c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                      nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        throw Exception("Can't write " + fileName + ": " + SystemErrorText(::GetLastError()));
    LARGE_INTEGER size{};
    WasEmpty_ = ::GetFileSizeEx(file, &size) == 0 || size.QuadPart == 0;
    Handle_ = reinterpret_cast<std::intptr_t>(file);
}

AppendFile::~AppendFile() {
    ::CloseHandle(reinterpret_cast<HANDLE>(Handle_));
}

void AppendFile::Append(std::string_view bytes) {
    DWORD error = 0;
    if (!WriteAll(reinterpret_cast<HANDLE>(Handle_), bytes, error))
        throw Exception("Can't write " + Name_ + ": " + SystemErrorText(error));
    WasEmpty_ = WasEmpty_ && bytes.empty();
}

} // namespace zelo::os
