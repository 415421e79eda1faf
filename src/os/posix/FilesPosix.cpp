// Reading standard input and replacing a file on POSIX: a temporary file beside the target, fsync, rename,
// fsync of the folder; mode and owner kept; symbolic links saved through.
#include "model/Error.h"
#include "os/FileFault.h"
#include "os/posix/PosixIo.h"

#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zelo::os {

namespace {

// A system call's result with an injected fault put in front: the step fails with that error instead (the
// call itself has run, as a real failure may come after the system did part of the work).
bool Failed(FileStep step, bool failed, int& error) {
    if (int injected = InjectedFileFault(step)) {
        error = injected;
        return true;
    }
    if (failed)
        error = errno;
    return failed;
}

std::string Folder(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// The file a path finally names: symbolic links followed, a dangling one to the file it would create.
std::string FollowLinks(std::string path) {
    for (int depth = 0; depth < 40; ++depth) {
        struct stat st {};
        if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode))
            return path;
        std::string target(PATH_MAX, '\0');
        const ssize_t n = ::readlink(path.c_str(), target.data(), target.size());
        if (n <= 0)
            return path;
        target.resize(static_cast<std::size_t>(n));
        path = target.front() == '/' ? target : Folder(path) + "/" + target;
    }
    return path; // a loop of links: the open below reports it
}

bool WriteAll(int fd, std::string_view bytes, int& error) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n == 0)
            errno = ENOSPC; // a disk that takes nothing more is full
        if (Failed(FileStep::Write, n <= 0, error))
            return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

// Syncs and closes; the descriptor is closed in any case.
bool SyncAndClose(int fd, int& error) {
    const bool synced = !Failed(FileStep::Sync, ::fsync(fd) != 0, error);
    const bool closed = !Failed(FileStep::Close, ::close(fd) != 0, error);
    return synced && closed;
}

// The rare case of a folder that takes no new file: the file itself is rewritten, from its start, then cut to
// its new length.
void RewriteInPlace(const std::string& target, std::string_view bytes, const std::string& name) {
    int error = 0;
    const int fd = ::open(target.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd < 0)
        throw Exception("Can't write " + name + ": " + ErrnoText(errno));
    bool ok = WriteAll(fd, bytes, error);
    if (ok && ::ftruncate(fd, static_cast<off_t>(bytes.size())) != 0) {
        error = errno;
        ok = false;
    }
    if (!ok) {
        ::close(fd);
        throw Exception("Can't write " + name + ": " + ErrnoText(error));
    }
    if (!SyncAndClose(fd, error))
        throw Exception("Can't write " + name + ": " + ErrnoText(error));
}

} // namespace

std::string ReadStandardInput() {
    std::string bytes;
    char block[65536];
    for (;;) {
        const ssize_t n = ::read(0, block, sizeof block);
        if (n > 0) {
            bytes.append(block, static_cast<std::size_t>(n));
            continue;
        }
        if (n == 0)
            return bytes;
        if (errno == EINTR)
            continue;
        throw Exception("Can't read standard input: " + ErrnoText(errno));
    }
}

void ReplaceFileContents(const std::string& fileName, std::string_view bytes) {
    auto fail = [&](int error) { return Exception("Can't write " + fileName + ": " + ErrnoText(error)); };
    const std::string target = FollowLinks(fileName);
    struct stat old {};
    const bool exists = ::stat(target.c_str(), &old) == 0;
    if (exists && S_ISDIR(old.st_mode))
        throw fail(EISDIR);
    // A rename would replace a file the user may not write: refuse it as a write would be refused.
    if (exists && ::faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0)
        throw fail(errno);

    const std::string temporary = target + ".tmp";
    int error = 0;
    // A temporary file left by a crash is replaced; O_EXCL with O_NOFOLLOW never writes through a planted
    // link.
    (void)::unlink(temporary.c_str());
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (Failed(FileStep::Create, fd < 0, error)) {
        if (fd >= 0) {
            ::close(fd);
            ::unlink(temporary.c_str());
        }
        if (exists && (error == EACCES || error == EPERM)) {
            RewriteInPlace(target, bytes, fileName);
            return;
        }
        throw fail(error);
    }
    auto discard = [&](int reason) {
        ::unlink(temporary.c_str());
        return fail(reason);
    };
    if (exists) {
        // The owner can be set by root only; the group by its members too. What is refused stays the saver's.
        if (::fchown(fd, old.st_uid, old.st_gid) != 0) {
            [[maybe_unused]] const int groupKept = ::fchown(fd, static_cast<uid_t>(-1), old.st_gid);
        }
        (void)::fchmod(fd, old.st_mode & 07777);
    }
    if (!WriteAll(fd, bytes, error)) {
        ::close(fd);
        throw discard(error);
    }
    if (!SyncAndClose(fd, error))
        throw discard(error);
    // The one step an injected fault must stop before it happens: after it, the old file is gone.
    if (const int injected = InjectedFileFault(FileStep::Rename))
        throw discard(injected);
    if (::rename(temporary.c_str(), target.c_str()) != 0)
        throw discard(errno);
    // The rename itself reaches the disk only with its folder.
    const int folder = ::open(Folder(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder >= 0) {
        const bool failed = Failed(FileStep::SyncFolder, ::fsync(folder) != 0, error);
        ::close(folder);
        // Some file systems cannot sync a folder at all; that is no failure of this save.
        if (failed && error != EINVAL && error != ENOTSUP)
            throw fail(error);
    }
}

std::FILE* OpenFileForReading(const std::string& fileName) {
    return std::fopen(fileName.c_str(), "rb");
}

} // namespace zelo::os
