// Reading standard input and replacing a file on Windows: a temporary file beside the target, flushed, then
// put in the target's place by ReplaceFile (which keeps the target's attributes and security) or, for a new
// file, by a write-through move.
#include "model/Error.h"
#include "os/FileFault.h"
#include "os/win32/Win32Os.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <io.h>

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
    HANDLE file = ::CreateFileA(fileName.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
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

} // namespace

std::string ReadStandardInput() {
    // Text mode would turn CR LF into LF and stop at a Ctrl+Z byte: the list must arrive byte for byte.
    (void)::_setmode(::_fileno(stdin), _O_BINARY);
    std::string bytes;
    char block[65536];
    for (;;) {
        const std::size_t n = std::fread(block, 1, sizeof block, stdin);
        bytes.append(block, n);
        if (n < sizeof block) {
            if (std::ferror(stdin))
                throw Exception(std::string("Can't read standard input: ") + std::strerror(errno));
            return bytes;
        }
    }
}

void ReplaceFileContents(const std::string& fileName, std::string_view bytes) {
    auto fail = [&](DWORD error) {
        return Exception("Can't write " + fileName + ": " + SystemErrorText(error));
    };
    const DWORD attributes = ::GetFileAttributesA(fileName.c_str());
    const bool exists = attributes != INVALID_FILE_ATTRIBUTES;
    if (exists && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
        throw fail(ERROR_DIRECTORY);
    // A replace would drop the read-only mark of a file the user protected: refuse it as a write would be.
    if (exists && (attributes & FILE_ATTRIBUTE_READONLY) != 0)
        throw fail(ERROR_ACCESS_DENIED);

    const std::string temporary = fileName + ".tmp";
    DWORD error = 0;
    (void)::DeleteFileA(temporary.c_str());
    HANDLE file = ::CreateFileA(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (Failed(FileStep::Create, file == INVALID_HANDLE_VALUE, error)) {
        if (file != INVALID_HANDLE_VALUE) {
            ::CloseHandle(file);
            ::DeleteFileA(temporary.c_str());
        }
        if (exists && error == ERROR_ACCESS_DENIED) {
            RewriteInPlace(fileName, bytes);
            return;
        }
        throw fail(error);
    }
    auto discard = [&](DWORD reason) {
        ::DeleteFileA(temporary.c_str());
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
    bool renamed = false;
    if (exists)
        renamed = ::ReplaceFileA(fileName.c_str(), temporary.c_str(), nullptr,
                                 REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr) != 0;
    if (!renamed)
        renamed = ::MoveFileExA(temporary.c_str(), fileName.c_str(),
                                MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
    if (!renamed)
        throw discard(::GetLastError());
    // The write-through move reaches the disk with its folder entry: there is no folder to sync here.
    if (Failed(FileStep::SyncFolder, false, error))
        throw fail(error);
}

} // namespace zelo::os
